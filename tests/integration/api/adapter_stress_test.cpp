// Requests from four threads while samples flow and a fifth thread connects
// and disconnects the same adapter; run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "AdapterTestUtil.h"
#include "SimFixture.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"

namespace {

using namespace ZtEventLoggerVdlApi;
using ZtSim::kTestPort;

// Subscribes when connected and unsubscribes when disconnected, as a service
// link does.
class Subscriber : public IConnectionStateListener, public ZtTest::SampleListener {
public:
    explicit Subscriber(VdlR3AdapterImpl& a) : adapter_(a) {}
    uint32_t OnConnectionStateChaned(ConnectionState s) override {
        if (s == ConnectionState::Connected) return adapter_.VdlSyncAddDeviceNotificationReq(kTestPort, 777, 0, this, 0);
        if (s == ConnectionState::Disconnected) adapter_.VdlSyncDelDeviceNotificationReq(kTestPort, this, 0);
        return 0;
    }

private:
    VdlR3AdapterImpl& adapter_;
};

class AdapterStress : public ZtTest::SimFixture {
protected:
    void ExpectNothingLeft() {
        {
            std::shared_lock<std::shared_mutex> lk(VdlR3AdapterImpl::g_mutex_notification_listener);
            EXPECT_TRUE(VdlR3AdapterImpl::g_notification_listner.empty())
                << VdlR3AdapterImpl::g_notification_listner.size() << " registry entries left";
        }
        EXPECT_EQ(sim->SubscriptionCount(), 0u) << "subscriptions left at the router";
    }
};

TEST_F(AdapterStress, RequestsSamplesAndReconnectsTogether) {
    VdlR3AdapterImpl adapter, steady;
    Subscriber sub(adapter);
    ZtTest::SampleListener steadyListener;
    adapter.AddListener(&sub);
    ASSERT_EQ(adapter.Connect("localhost"), 0u);
    ASSERT_EQ(steady.Connect("localhost"), 0u);
    ASSERT_EQ(steady.VdlSyncAddDeviceNotificationReq(kTestPort, 777, 0, &steadyListener, 0), 0u);

    std::atomic<bool> stop{false};
    std::atomic<int> okRequests{0}, badResults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            std::vector<uint8_t> w(64 + t, static_cast<uint8_t>(t)), r(w.size());
            while (!stop.load()) {
                unsigned long n = 0;
                uint32_t rc = adapter.VdlSyncReadWriteReq(kTestPort, ZtSim::kEchoGroup, 0, r.size(), r.data(),
                                                          w.size(), w.data(), n);
                if (rc == 0 && r == w && n == w.size())
                    okRequests++;
                else if (rc != 1864 && rc != 1861)
                    badResults++;
            }
        });
    threads.emplace_back([&] {  // the publisher
        uint8_t b[16] = {1};
        while (!stop.load()) {
            sim->Local().Publish(kTestPort, 777, 0, b);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    threads.emplace_back([&] {  // the fifth: connect and disconnect
        for (int i = 0; i < 40; ++i) {
            adapter.Disconnect();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            uint32_t rc = adapter.Connect(i % 2 ? "localhost" : "5.80.201.232.1.1");
            if (rc != 0) badResults++;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop = true;
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(badResults.load(), 0);
    EXPECT_GT(okRequests.load(), 100);
    EXPECT_GT(steadyListener.Count(), 10u);
    EXPECT_GT(sub.Count(), 0u);
    adapter.Disconnect();
    steady.VdlSyncDelDeviceNotificationReq(kTestPort, &steadyListener, 0);
    ExpectNothingLeft();
}

// Adds and removals of one subscription from several threads: whatever the
// interleaving, every entry has its listener, and once all is removed neither
// an entry nor a subscription at the router is left.
TEST_F(AdapterStress, AddsAndRemovalsOfOneSubscriptionRace) {
    VdlR3AdapterImpl adapter;
    ASSERT_EQ(adapter.Connect("localhost"), 0u);
    ASSERT_EQ(adapter.VdlSyncSetTimeout(3000), 0u);
    ZtTest::SampleListener listener;
    std::atomic<int> badResults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 150; ++i) {
                uint32_t rc = adapter.VdlSyncAddDeviceNotificationReq(kTestPort, 777, 0, &listener, 0);
                if (rc != 0 && rc != 1807 && rc != 1804) badResults++;
            }
        });
    threads.emplace_back([&] {
        for (int i = 0; i < 300; ++i) {
            uint32_t rc = adapter.VdlSyncDelDeviceNotificationReq(kTestPort, &listener, 0);
            if (rc != 0 && rc != 1804) badResults++;
        }
    });
    threads.emplace_back([&] {  // samples meet entries in every state
        uint8_t b[4] = {1};
        for (int i = 0; i < 300; ++i) sim->Local().Publish(kTestPort, 777, 0, b);
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(badResults.load(), 0);
    EXPECT_EQ(adapter.VdlSyncGetTimeout(), 3000u);
    adapter.VdlSyncDelDeviceNotificationReq(kTestPort, &listener, 0);
    ExpectNothingLeft();
}

}  // namespace
