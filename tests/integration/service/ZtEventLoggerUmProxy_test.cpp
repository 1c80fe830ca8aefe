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
        auto* queue = new JobQueueEx<const ZtEventStreamHeader>(capacity);
        proxy = new ZtEventLoggerUmProxy(adapter, queue);
        proxy->ZtAddRef();
        proxy->Initialize(&handler);
    }
    size_t Publish(const std::vector<uint8_t>& frame) { return sim->Local().Publish(kPort, 777, 0, frame); }
    size_t Subscribers() { return sim->Local().SubscriberCount(kPort, 777, 0); }

    std::shared_ptr<ZtSim::TestService> service;
    std::shared_ptr<VdlR3AdapterCore> adapter;
    ZtEventLoggerUmProxy* proxy = nullptr;
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

TEST_F(ServiceProxy, MalformedFramesAreRefusedAtArrival) {
    ASSERT_EQ(adapter->Connect("localhost"), 0u);
    auto bad = Frame(1, 1);
    uint32_t huge = 0x7FFFFFF0u;
    std::memcpy(bad.data() + 12 + 92, &huge, 4);  // JSON size far beyond the frame
    auto lying = Frame(2, 2);
    std::memcpy(lying.data() + 8, &huge, 4);  // payload length beyond the sample
    Publish(bad);
    Publish(lying);
    Publish(Frame(1, 3));
    ASSERT_TRUE(handler.WaitCalls(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(handler.Calls().size(), 1u);
    EXPECT_EQ(handler.Calls()[0].eventId, 3u);
    EXPECT_EQ(proxy->MalformedFrames(), 2u);
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
