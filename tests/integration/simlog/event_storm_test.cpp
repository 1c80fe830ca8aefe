// Notification storms and event calls from many threads at once.
#include <gtest/gtest.h>

#include <thread>

#include "EventLoggerFixture.h"
#include "ZtSim/EventLoggerService.h"

namespace {

using namespace ZtSim;
using ZtTest::EventLoggerFixture;
using ZtTest::Le32;
using ZtTest::TestEvent;

class EventStorm : public EventLoggerFixture {
protected:
    // Sequence numbers of the storm frames (message id kStormId) a listener got, in arrival order.
    static std::vector<uint32_t> StormSequence(ZtTest::SampleListener& l) {
        std::vector<uint32_t> seq;
        for (const auto& s : l.Samples()) {
            ZtTest::ReadFrame f;
            EXPECT_EQ(ZtTest::ReadNotificationFrame(s.bytes, f), "");
            if (f.type != 0) continue;
            ZtTest::ReadRecord r;
            EXPECT_EQ(ZtTest::ReadEventRecord(f.payload, r), "");
            if (r.eventId != kStormId || r.args.empty()) continue;
            seq.push_back(Le32(r.args.back().bytes.data()));
        }
        return seq;
    }
    static constexpr uint32_t kStormId = 4242;
};

TEST_F(EventStorm, EverySubscriberGetsTheWholeStormInOrder) {
    constexpr size_t kFrames = 5000;
    Subscribe();
    ZtTest::Subscriber second("");

    // Alarms come and go and a client reads the list while the storm runs.
    std::atomic<bool> stormDone{false};
    size_t reached = 0;
    std::thread storm([&] {
        reached = service->PublishStorm(kFrames, TestEvent(kStormId));
        stormDone = true;
    });
    size_t alarmFrames = 0, reads = 0;
    for (uint32_t id = 1; !stormDone || id < 20; ++id) {
        // EXPECT only: the storm thread must be joined whatever happens.
        EXPECT_EQ(service->RaiseAlarm(TestEvent(id % 50)), EventResult::Ok);
        EXPECT_EQ(service->ClearAlarm(TestEvent(id % 50).Key()), EventResult::Ok);
        alarmFrames += 2;
        std::vector<uint8_t> buf(4095);
        EXPECT_EQ(second.adapter.VdlSyncReadReq(kEventLoggerPort, kEventReadGroup, kActiveEventsOffset, buf.size(),
                                                buf.data()),
                  0u);
        ++reads;
    }
    storm.join();
    EXPECT_EQ(reached, 2 * kFrames);
    EXPECT_GT(reads, 0u);
    EXPECT_TRUE(service->ActiveAlarms().empty());

    std::vector<uint32_t> expected(kFrames);
    for (size_t i = 0; i < kFrames; ++i) expected[i] = static_cast<uint32_t>(i);
    for (auto* l : {&listener, &second.listener}) {
        ASSERT_TRUE(ZtTest::WaitFor([&] { return l->Count() >= kFrames + alarmFrames; }, 30000)) << l->Count();
        EXPECT_EQ(StormSequence(*l), expected);
    }
}

TEST_F(EventStorm, FramesOfEachThreadKeepTheirOrder) {
    constexpr uint32_t kThreads = 4, kRounds = 150;
    Subscribe();
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (uint32_t i = 0; i < kRounds; ++i) {
                auto d = TestEvent(1000 * (t + 1) + i, i % 2 == 0);
                EXPECT_EQ(service->RaiseAlarm(d), EventResult::Ok);
                EXPECT_EQ(service->ClearAlarm(d.Key()), EventResult::Ok);
                if (d.needsConfirmation) {
                    EXPECT_EQ(service->ConfirmAlarm(d.Key()), EventResult::Ok);
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_TRUE(service->ActiveAlarms().empty());
    const size_t total = kThreads * (kRounds * 2 + kRounds / 2);
    auto notes = Notifications(total);
    ASSERT_EQ(notes.size(), total);
    // Per thread: raise, clear (and confirm) of each id before the next id.
    std::vector<std::vector<std::pair<uint16_t, uint32_t>>> perThread(kThreads);
    for (const auto& n : notes) {
        ASSERT_TRUE(n.record);
        perThread[n.record->eventId / 1000 - 1].emplace_back(n.frame.type, n.record->eventId);
    }
    for (uint32_t t = 0; t < kThreads; ++t) {
        std::vector<std::pair<uint16_t, uint32_t>> expected;
        for (uint32_t i = 0; i < kRounds; ++i) {
            uint32_t id = 1000 * (t + 1) + i;
            expected.emplace_back(1, id);
            expected.emplace_back(2, id);
            if (i % 2 == 0) expected.emplace_back(6, id);
        }
        EXPECT_EQ(perThread[t], expected) << "thread " << t;
    }
    // The log saw the same order as the subscriber.
    auto log = service->Log();
    ASSERT_EQ(log.size(), total);
    for (size_t i = 0; i < total; ++i) EXPECT_EQ(log[i].record, notes[i].frame.payload) << i;
}

TEST_F(EventStorm, LogKeepsTheNewestEvents) {
    service->SetLogCapacity(100);
    EXPECT_EQ(service->PublishStorm(1000, TestEvent(kStormId)), 0u);  // nobody subscribed
    auto log = service->Log();
    ASSERT_EQ(log.size(), 100u);
    for (size_t i = 0; i < log.size(); ++i) {
        ZtTest::ReadRecord r;
        ASSERT_EQ(ZtTest::ReadEventRecord(log[i].record, r), "");
        EXPECT_EQ(Le32(r.args.back().bytes.data()), 900 + i);
    }
    service->SetLogCapacity(10);
    EXPECT_EQ(service->Log().size(), 10u);
}

}  // namespace
