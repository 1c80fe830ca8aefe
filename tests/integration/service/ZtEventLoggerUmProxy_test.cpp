#include "ZtEventLoggerUmProxy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "EventHandlerStub.h"
#include "RecordBytes.h"
#include "SimFixture.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtEventLoggerCommon::JobQueueEx;
using ZtTest::EventHandlerStub;

constexpr unsigned short kPort = 132;

std::vector<uint8_t> Frame(uint16_t type, uint32_t eventId, uint32_t version = 1) {
    std::vector<uint8_t> payload;
    if (type == 0 || type == 1 || type == 2 || type == 6 || type == 7) {
        ZtTest::RecordLayout s;
        s.eventId = eventId;
        s.json = "{\"n\":1}";
        s.types = {4};
        s.data = {1, 0, 0, 0};
        payload = ZtTest::BuildRecord(s);
    }
    return ZtTest::BuildFrame(version, type, payload);
}

// A job queue whose frame memory can be made to run out.
class AllocFailingQueue final : public ZtEventLoggerUmProxy::Queue {
public:
    explicit AllocFailingQueue(unsigned capacity) : m_inner(new JobQueueEx<const ZtEventStreamHeader>(capacity)) {
        m_inner->ZtAddRef();
    }
    ZtAtlCom::ULONG ZtAddRef() override { return ++m_refs; }
    ZtAtlCom::ULONG ZtRelease() override {
        ZtAtlCom::ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    ZtAtlCom::HRESULT ZtQueryInterface(const ZtAtlCom::IID& iid, void** p) override {
        return m_inner->ZtQueryInterface(iid, p);
    }
    void Init(IJobQueueExCallbackReceiver<const ZtEventStreamHeader>* r) override { m_inner->Init(r); }
    ZtAtlCom::HRESULT Enqueue(const ZtEventStreamHeader* f) override { return m_inner->Enqueue(f); }
    void Clear() override { m_inner->Clear(); }
    bool Suspend(unsigned ms, bool resume) override { return m_inner->Suspend(ms, resume); }
    bool Resume() override { return m_inner->Resume(); }
    bool WaitFinished(unsigned ms) override { return m_inner->WaitFinished(ms); }
    bool IsEmpty() override { return m_inner->IsEmpty(); }
    uint64_t DroppedFrames() const override { return m_inner->DroppedFrames(); }
    void* AllocateFrame(size_t size) override { return failing ? nullptr : m_inner->AllocateFrame(size); }
    void ReleaseFrame(const ZtEventStreamHeader* f) override { m_inner->ReleaseFrame(f); }
    void Wake() override { m_inner->Wake(); }

    std::atomic<bool> failing{false};

private:
    ~AllocFailingQueue() override { m_inner->ZtRelease(); }
    std::atomic<ZtAtlCom::ULONG> m_refs{0};
    ZtEventLoggerUmProxy::Queue* m_inner;
};

class ServiceProxy : public ZtTest::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        service = std::make_shared<ZtSim::TestService>();
        sim->Local().AddService(kPort, service);
        MakeProxy(2048);
    }
    void TearDown() override {
        handler.Open();
        adapter->Disconnect();
        if (proxy != nullptr) proxy->ZtRelease();
        SimFixture::TearDown();
    }
    void MakeProxy(unsigned capacity) {
        adapter = std::make_shared<VdlR3AdapterCore>();
        queue = new AllocFailingQueue(capacity);
        proxy = new ZtEventLoggerUmProxy(adapter, queue);
        proxy->ZtAddRef();
        proxy->Initialize(&handler);
    }
    size_t Publish(const std::vector<uint8_t>& frame) { return sim->Local().Publish(kPort, 777, 0, frame); }
    // A sample as the router client hands it over, on the test's thread.
    uint32_t Deliver(std::vector<uint8_t> frame) {
        return proxy->OnVdlNotification(kPort, 0, frame.size(), frame.data(), 0);
    }
    size_t Subscribers() { return sim->Local().SubscriberCount(kPort, 777, 0); }

    std::shared_ptr<ZtSim::TestService> service;
    std::shared_ptr<VdlR3AdapterCore> adapter;
    ZtEventLoggerUmProxy* proxy = nullptr;
    AllocFailingQueue* queue = nullptr;  // owned by the proxy
    EventHandlerStub handler;
};

TEST_F(ServiceProxy, InterfacesAnswered) {
    void* p = nullptr;
    EXPECT_EQ(proxy->ZtQueryInterface(IID_IZtEventLoggerUmProxy, &p), 0);
    EXPECT_EQ(p, static_cast<IZtEventLoggerUmProxy*>(proxy));
    static_cast<IZtEventLoggerUmProxy*>(p)->ZtRelease();
    EXPECT_EQ(proxy->ZtQueryInterface(IID_IResourceManager, &p), 0);
    EXPECT_EQ(p, static_cast<IResourceManager*>(proxy));
    static_cast<IResourceManager*>(p)->ZtRelease();
    EXPECT_EQ(proxy->ZtQueryInterface(IID_IZtEventHandler, &p), ZtAtlCom::MakeHResult(0x9811071Au));
    EXPECT_EQ(p, nullptr);
}

TEST_F(ServiceProxy, ConnectSubscribesAndFramesReachTheHandlerInOrder) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    EXPECT_EQ(Subscribers(), 1u);
    EXPECT_TRUE(proxy->MonitorRunning());
    for (uint16_t type : {1, 0, 6, 2, 3, 5, 4, 7}) Publish(Frame(type, 100 + type));
    ASSERT_TRUE(handler.WaitCalls(6));
    auto calls = handler.Calls();
    std::vector<std::string> what;
    for (auto& c : calls) what.push_back(c.what);
    EXPECT_EQ(what, (std::vector<std::string>{"raised", "message", "confirmed", "cleared", "list cleared", "disposed"}));
    EXPECT_EQ(calls[0].eventId, 101u);
    EXPECT_EQ(calls[5].eventId, 107u);
    EXPECT_EQ(adapter->Disconnect(), 0u);
    EXPECT_EQ(Subscribers(), 0u);
    EXPECT_FALSE(proxy->MonitorRunning());
}

TEST_F(ServiceProxy, ReconnectWhileMarkedConnectedFailsWith1807ThenRecovers) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    // TargetChanging (ignored), Connected: the subscription exists already.
    EXPECT_EQ(adapter->Connect("localhost"), 0x9811070Fu);
    EXPECT_EQ(Subscribers(), 0u);  // Disconnected followed: the proxy unsubscribed
    EXPECT_FALSE(proxy->MonitorRunning());
    EXPECT_EQ(adapter->Connect("localhost"), 0u);
    EXPECT_EQ(Subscribers(), 1u);
    Publish(Frame(1, 5));
    EXPECT_TRUE(handler.WaitCalls(1));
}

TEST_F(ServiceProxy, SubscriptionErrorsAreMapped) {
    sim->Local().RemoveService(kPort);  // no service: the probe answers 6
    EXPECT_EQ(adapter->Connect("localhost"), 0x98220002u);
    sim->Local().AddService(kPort, service);
    sim->Faults().FailNext(1, 1793, kPort);  // the probe fails
    EXPECT_EQ(adapter->Connect("localhost"), 0x98110701u);
    EXPECT_EQ(adapter->Connect("localhost"), 0u);
}

TEST_F(ServiceProxy, SampleWhileNotConnectedIsDropped) {
    auto f = Frame(1, 9);
    EXPECT_EQ(proxy->OnVdlNotification(kPort, 0, f.size(), f.data(), 0), 0u);
    EXPECT_EQ(proxy->OnVdlNotification(kPort, 0, 0, f.data(), 0), 1798u);
    EXPECT_EQ(proxy->OnVdlNotification(kPort, 0, f.size(), nullptr, 0), 1798u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(handler.Calls().empty());
}

// Each loss is counted and marks the active-alarm list for resynchronisation;
// the frames after it still arrive.
TEST_F(ServiceProxy, EveryLostFrameIsCountedAndMarksResync) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    uint32_t huge = 0x7FFFFFF0u;
    auto bigJson = Frame(1, 1);
    std::memcpy(bigJson.data() + 12 + 92, &huge, 4);  // JSON size far beyond the frame
    auto lying = Frame(2, 2);
    std::memcpy(lying.data() + 8, &huge, 4);  // payload length beyond the sample
    auto shortValue = Frame(1, 3);
    shortValue[12 + 120 + 8] = 11;  // after head and JSON: the Int32 argument claims to be a Double
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
        bool noMemory;
        uint32_t result;
        uint64_t malformed;
    } cases[] = {
        {"record outside the frame", bigJson, false, 1798, 1},
        {"payload beyond the sample", lying, false, 1798, 1},
        {"argument value shorter than its type", shortValue, false, 1798, 1},
        {"version 2 (refused at dispatch)", Frame(1, 4, 2), false, 0, 1},
        {"no memory for the copy", Frame(1, 5), true, 25, 0},
    };
    for (const auto& c : cases) {
        const uint64_t lost = proxy->LostFrames(), malformed = proxy->MalformedFrames();
        proxy->TakeResyncRequest();
        queue->failing = c.noMemory;
        EXPECT_EQ(Deliver(c.frame), c.result) << c.what;
        queue->failing = false;
        EXPECT_TRUE(ZtTest::WaitFor([&] { return proxy->LostFrames() == lost + 1; })) << c.what;
        EXPECT_EQ(proxy->MalformedFrames(), malformed + c.malformed) << c.what;
        EXPECT_TRUE(proxy->ResyncRequested()) << c.what;
    }
    EXPECT_EQ(Deliver(Frame(1, 9)), 0u);
    ASSERT_TRUE(handler.WaitCalls(1));
    EXPECT_EQ(handler.Calls()[0].eventId, 9u);
    EXPECT_EQ(handler.Calls().size(), 1u);
}

// The last reference released from inside a batch (as a host sink releasing
// the logger would): the rest of the batch is still dispatched, then the
// proxy goes on the worker thread.
TEST_F(ServiceProxy, AHandlerMayReleaseTheLastReferenceDuringABatch) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    ZtEventLoggerUmProxy* last = proxy;
    std::atomic<int> handlerRefsAtThird{-1};
    handler.onCall = [&](uint32_t id) {
        if (id == 2) {
            adapter->Disconnect();  // what the logger does before it lets go of the proxy
            last->ZtRelease();
        }
        if (id == 3) handlerRefsAtThird = handler.Refs();
    };
    handler.Close();
    ASSERT_EQ(Deliver(Frame(1, 1)), 0u);
    ASSERT_TRUE(handler.WaitEntered(1));  // the worker holds frame 1; 2 and 3 form the next batch
    ASSERT_EQ(Deliver(Frame(1, 2)), 0u);
    ASSERT_EQ(Deliver(Frame(1, 3)), 0u);
    proxy = nullptr;  // the handler releases it
    handler.Open();
    ASSERT_TRUE(handler.WaitCalls(3));
    // The proxy lets go of the handler last when it is destroyed, after the batch.
    EXPECT_TRUE(ZtTest::WaitFor([&] { return handler.Refs() == 0; })) << "the proxy was not destroyed";
    EXPECT_EQ(handlerRefsAtThird.load(), 1) << "the proxy was destroyed before its batch was done";
}

TEST_F(ServiceProxy, DisconnectDropsQueuedFramesButDeliversTheBatchUnderWay) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    handler.Close();
    Publish(Frame(1, 1));
    ASSERT_TRUE(handler.WaitEntered(1));  // the worker holds frame 1
    for (uint32_t i = 2; i <= 5; ++i) Publish(Frame(1, i));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // frames 2..5 are queued
    EXPECT_EQ(adapter->Disconnect(), 0u);
    handler.Open();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto calls = handler.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].eventId, 1u);
}

TEST_F(ServiceProxy, FullQueueIsClearedCountedAndMarkedForResync) {
    adapter->Disconnect();
    proxy->ZtRelease();
    MakeProxy(8);
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    handler.Close();
    Publish(Frame(1, 0));
    ASSERT_TRUE(handler.WaitEntered(1));
    for (uint32_t i = 1; i <= 20; ++i) Publish(Frame(1, i));
    ASSERT_TRUE(ZtTest::WaitFor([&] { return proxy->LostFrames() > 0; }));
    EXPECT_TRUE(proxy->ResyncRequested());
    handler.Open();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto calls = handler.Calls();
    // Every frame is either delivered or counted as lost; delivered ones stay in order.
    EXPECT_EQ(calls.size() + proxy->LostFrames(), 21u);
    for (size_t i = 1; i < calls.size(); ++i) EXPECT_LT(calls[i - 1].eventId, calls[i].eventId);
    EXPECT_TRUE(proxy->TakeResyncRequest());
    EXPECT_FALSE(proxy->ResyncRequested());
}

TEST_F(ServiceProxy, MonitorEndsAfterQuietTimeAndDisconnectStillWorks) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    EXPECT_TRUE(proxy->MonitorRunning());
    Publish(Frame(5, 0));  // type 5 is not activity
    std::this_thread::sleep_for(std::chrono::milliseconds(ZtEventLoggerUmProxy::kQuietMs / 2));
    EXPECT_TRUE(proxy->MonitorRunning());
    ASSERT_TRUE(ZtTest::WaitFor([&] { return !proxy->MonitorRunning(); }, ZtEventLoggerUmProxy::kQuietMs + 3000));
    EXPECT_EQ(adapter->Disconnect(), 0u);
    EXPECT_EQ(Subscribers(), 0u);
    // A new connection starts a new monitor.
    EXPECT_EQ(adapter->Connect("localhost"), 0u);
    EXPECT_TRUE(proxy->MonitorRunning());
}

TEST_F(ServiceProxy, ReconnectingWhileFramesFlowDoesNotDeadlock) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    std::atomic<bool> stop{false};
    std::thread publisher([&] {
        while (!stop) Publish(Frame(3, 0));
    });
    for (int i = 0; i < 20; ++i) {
        uint32_t rc = adapter->Connect(i % 3 == 0 ? "5.80.201.232.1.1" : "localhost");
        EXPECT_TRUE(rc == 0 || rc == 0x9811070Fu) << rc;
        if (i % 5 == 4) adapter->Disconnect();
    }
    stop = true;
    publisher.join();
}

}  // namespace
