#include "JobQueueEx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace ZtEventLoggerCommon;
using Frame = const ZtEventStreamHeader;

bool ZtTestWait(const std::function<bool()>& cond) {
    for (int i = 0; i < 5000 && !cond(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return cond();
}

// Frames come from the queue; the type field carries a sequence number.
Frame* MakeFrame(IJobQueueEx<Frame>* q, uint16_t seq) {
    auto* f = static_cast<ZtEventStreamHeader*>(q->AllocateFrame(sizeof(ZtEventStreamHeader)));
    f->version = 1;
    f->type = seq;
    f->format = 0;
    f->payloadLength = 0;
    return f;
}

// Records what it receives; can be held at a gate to keep the worker busy.
class Receiver : public IJobQueueExCallbackReceiver<Frame> {
public:
    void OnNotification(const std::list<Frame*>& frames) override {
        {
            std::unique_lock<std::mutex> lk(m);
            entered++;
            cv.notify_all();
            cv.wait(lk, [&] { return open; });
            for (Frame* f : frames) seen.push_back(f->type);
            batches++;
        }
        cv.notify_all();
        if (onBatch) onBatch();
    }
    void Close() {
        std::lock_guard<std::mutex> lk(m);
        open = false;
    }
    void Open() {
        {
            std::lock_guard<std::mutex> lk(m);
            open = true;
        }
        cv.notify_all();
    }
    bool WaitEntered(int n) {
        std::unique_lock<std::mutex> lk(m);
        return cv.wait_for(lk, std::chrono::seconds(5), [&] { return entered >= n; });
    }
    bool WaitSeen(size_t n) {
        std::unique_lock<std::mutex> lk(m);
        return cv.wait_for(lk, std::chrono::seconds(5), [&] { return seen.size() >= n; });
    }
    std::vector<uint16_t> Seen() {
        std::lock_guard<std::mutex> lk(m);
        return seen;
    }

    std::mutex m;
    std::condition_variable cv;
    bool open = true;
    int entered = 0, batches = 0;
    std::vector<uint16_t> seen;
    std::function<void()> onBatch;
};

class JobQueue : public ::testing::Test {
protected:
    void SetUp() override {
        queue = new JobQueueEx<Frame>(capacity);
        queue->ZtAddRef();
        queue->Init(&receiver);
    }
    void TearDown() override {
        receiver.Open();
        if (queue != nullptr) {
            EXPECT_EQ(queue->ZtRelease(), 0u);
        }
    }
    unsigned capacity = 2048;
    Receiver receiver;
    JobQueueEx<Frame>* queue = nullptr;
};

TEST_F(JobQueue, DeliversInOrderAndBecomesIdle) {
    for (uint16_t i = 0; i < 500; ++i) ASSERT_EQ(queue->Enqueue(MakeFrame(queue, i)), ZtAtlCom::S_OK);
    ASSERT_TRUE(queue->WaitFinished(5000));
    auto seen = receiver.Seen();
    ASSERT_EQ(seen.size(), 500u);
    for (uint16_t i = 0; i < 500; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_TRUE(queue->IsEmpty());
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(queue->ZtQueryInterface(ZtAtlCom::GUID_NULL, &p), ZtAtlCom::MakeHResult(0x9811071Au));
    EXPECT_EQ(p, nullptr);
}

TEST_F(JobQueue, IsEmptyFalseFromEnqueueUntilProcessed) {
    EXPECT_TRUE(queue->IsEmpty());
    receiver.Close();
    queue->Enqueue(MakeFrame(queue, 1));
    ASSERT_TRUE(receiver.WaitEntered(1));
    EXPECT_FALSE(queue->IsEmpty());  // the worker holds the frame
    receiver.Open();
    ASSERT_TRUE(queue->WaitFinished(5000));
    EXPECT_TRUE(queue->IsEmpty());
}

TEST_F(JobQueue, OverCapacityIsReportedAndTheFrameKept) {
    receiver.Close();
    queue->Enqueue(MakeFrame(queue, 0));
    ASSERT_TRUE(receiver.WaitEntered(1));  // worker blocked with frame 0
    for (uint16_t i = 1; i <= 2048; ++i) ASSERT_EQ(queue->Enqueue(MakeFrame(queue, i)), ZtAtlCom::S_OK) << i;
    EXPECT_EQ(queue->Enqueue(MakeFrame(queue, 2049)), ZtAtlCom::E_FAIL);  // the 2049th queued frame
    receiver.Open();
    ASSERT_TRUE(receiver.WaitSeen(2050));
    EXPECT_EQ(receiver.Seen().back(), 2049);
}

TEST_F(JobQueue, ClearDropsQueuedFramesButNotTheBatchUnderWay) {
    receiver.Close();
    queue->Enqueue(MakeFrame(queue, 1));
    ASSERT_TRUE(receiver.WaitEntered(1));
    queue->Enqueue(MakeFrame(queue, 2));
    queue->Enqueue(MakeFrame(queue, 3));
    queue->Clear();
    EXPECT_EQ(queue->DroppedFrames(), 2u);
    receiver.Open();
    ASSERT_TRUE(queue->WaitFinished(5000));
    EXPECT_EQ(receiver.Seen(), (std::vector<uint16_t>{1}));
}

TEST_F(JobQueue, SuspendHoldsFramesBackUntilResume) {
    receiver.Close();
    queue->Enqueue(MakeFrame(queue, 1));
    ASSERT_TRUE(receiver.WaitEntered(1));
    queue->Enqueue(MakeFrame(queue, 2));  // queued before the suspension
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        receiver.Open();
    });
    EXPECT_TRUE(queue->Suspend(5000, false));  // the worker drains 1 and 2
    opener.join();
    EXPECT_TRUE(queue->Suspend(0, false));  // already suspended: true at once
    queue->Enqueue(MakeFrame(queue, 3));
    queue->Enqueue(MakeFrame(queue, 4));
    EXPECT_TRUE(queue->WaitFinished(0));  // suspended: true at once
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(receiver.Seen(), (std::vector<uint16_t>{1, 2}));
    EXPECT_TRUE(queue->Resume());
    ASSERT_TRUE(receiver.WaitSeen(4));
    EXPECT_EQ(receiver.Seen(), (std::vector<uint16_t>{1, 2, 3, 4}));
    EXPECT_TRUE(queue->Resume());  // running: nothing changes
    queue->Enqueue(MakeFrame(queue, 5));
    ASSERT_TRUE(receiver.WaitSeen(5));
}

TEST_F(JobQueue, TimedOutSuspendWithResumeKeepsOrder) {
    receiver.Close();
    queue->Enqueue(MakeFrame(queue, 1));
    ASSERT_TRUE(receiver.WaitEntered(1));
    queue->Enqueue(MakeFrame(queue, 2));
    std::thread producer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        queue->Enqueue(MakeFrame(queue, 3));  // held back by the suspension
    });
    EXPECT_FALSE(queue->Suspend(60, true));  // worker blocked: times out, resumes
    producer.join();
    receiver.Open();
    ASSERT_TRUE(receiver.WaitSeen(3));
    ASSERT_TRUE(queue->WaitFinished(5000));
    EXPECT_EQ(receiver.Seen(), (std::vector<uint16_t>{1, 2, 3}));
}

TEST_F(JobQueue, TimedOutSuspendThenResumeLosesNothing) {
    receiver.Close();
    queue->Enqueue(MakeFrame(queue, 1));
    ASSERT_TRUE(receiver.WaitEntered(1));
    queue->Enqueue(MakeFrame(queue, 2));  // still in the read list when the suspension times out
    EXPECT_FALSE(queue->Suspend(30, false));
    queue->Enqueue(MakeFrame(queue, 3));  // held back
    EXPECT_TRUE(queue->Resume());
    receiver.Open();
    ASSERT_TRUE(receiver.WaitSeen(3));
    EXPECT_EQ(receiver.Seen(), (std::vector<uint16_t>{1, 2, 3}));
}

// A Suspend(ms, true) that times out after another thread resumed and
// suspended again must not end that other suspension nor strand a frame.
TEST_F(JobQueue, TimedOutSuspendAfterAnotherResumeAndSuspendStrandsNothing) {
    receiver.Close();
    queue->Enqueue(MakeFrame(queue, 1));
    ASSERT_TRUE(receiver.WaitEntered(1));  // the worker is busy: no suspension reaches idle
    queue->Enqueue(MakeFrame(queue, 2));
    std::thread waiter([&] { EXPECT_FALSE(queue->Suspend(300, true)); });
    // Pending and suspended is the one state in which WaitFinished(0) is true.
    ASSERT_TRUE(ZtTestWait([&] { return queue->WaitFinished(0); }));
    queue->Enqueue(MakeFrame(queue, 3));  // held back by the first suspension
    EXPECT_TRUE(queue->Resume());
    EXPECT_FALSE(queue->Suspend(0, false));  // the second suspension, still in force after the waiter
    queue->Enqueue(MakeFrame(queue, 4));
    waiter.join();
    EXPECT_TRUE(queue->WaitFinished(0)) << "the waiter ended a suspension it did not start";
    EXPECT_TRUE(queue->Resume());
    queue->Enqueue(MakeFrame(queue, 5));
    receiver.Open();
    ASSERT_TRUE(receiver.WaitSeen(5));
    EXPECT_EQ(receiver.Seen(), (std::vector<uint16_t>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(queue->WaitFinished(5000));
    EXPECT_TRUE(queue->IsEmpty());
}

TEST(JobQueueSelfRelease, ReleasedFromItsOwnReceiver) {
    // The receiver outlives the worker's last steps after the release.
    static Receiver receiver;
    static std::atomic<bool> released{false};
    auto* q = new JobQueueEx<Frame>(16);
    q->ZtAddRef();
    q->Init(&receiver);
    receiver.onBatch = [q] {
        if (!released.exchange(true)) q->ZtRelease();  // the last reference, on the worker
    };
    q->Enqueue(MakeFrame(q, 9));
    ASSERT_TRUE(ZtTestWait([] { return released.load(); }));
    ASSERT_TRUE(receiver.WaitSeen(1));
}

TEST(JobQueueStress, ProducersAndWorker) {
    auto* q = new JobQueueEx<Frame>(1u << 20);
    q->ZtAddRef();
    Receiver r;
    q->Init(&r);
    std::vector<std::thread> producers;
    for (int p = 0; p < 3; ++p)
        producers.emplace_back([q] {
            for (int i = 0; i < 3000; ++i) q->Enqueue(MakeFrame(q, static_cast<uint16_t>(i)));
        });
    std::thread suspender([q] {
        for (int i = 0; i < 50; ++i) {
            q->Suspend(1, i % 2 == 0);
            q->Resume();
        }
    });
    for (auto& t : producers) t.join();
    suspender.join();
    q->Resume();
    ASSERT_TRUE(r.WaitSeen(9000));
    EXPECT_EQ(r.Seen().size(), 9000u);
    q->ZtRelease();
}

}  // namespace

namespace {

TEST(FramePool, ReusesBlocksBySizeClassWithinItsBound) {
    ZtEventLoggerCommon::FramePool pool;
    struct Case {
        size_t size;
        bool reused;  // a released block of this size comes back for the same size
    } cases[] = {{1, true}, {256, true}, {257, true}, {65536, true}, {65537, false}};
    for (const auto& c : cases) {
        void* a = pool.Allocate(c.size);
        ASSERT_NE(a, nullptr);
        std::memset(a, 0xAB, c.size);  // the whole size is usable
        EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % alignof(std::max_align_t), 0u);
        pool.Release(a);
        void* b = pool.Allocate(c.size);
        if (c.reused) {
            EXPECT_EQ(a, b) << c.size;
        }
        pool.Release(b);
    }
    // Memory kept for reuse stays within the bound; the rest is freed at once.
    std::vector<void*> many;
    for (int i = 0; i < 200; ++i) many.push_back(pool.Allocate(65536));
    for (void* p : many) pool.Release(p);
    EXPECT_LE(pool.PooledBytes(), ZtEventLoggerCommon::FramePool::kMaxPooledBytes);
    pool.Release(nullptr);
}

}  // namespace
