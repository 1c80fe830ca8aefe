#include "CVdlSync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "SimFixture.h"
#include "ZtSim/SystemService.h"

namespace {

using ZtSim::kTestPort;

class MrxClient : public ZtTest::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_NE(sync.m_port.MrxConnect(0xFFFF, 4096, 80), 0);
        local = MrxAddr(sync.m_port.MrxGetNetId(), kTestPort);
    }
    CVdlSync sync{0, 0, "test"};
    MrxAddr local;
};

TEST_F(MrxClient, HandshakeGivesRouterNetIdAndPort) {
    EXPECT_EQ(sync.m_port.MrxGetNetId(), (MrxNetId{{5, 80, 201, 232, 1, 1}}));
    EXPECT_NE(sync.m_port.MrxPortConnected(), 0);
    EXPECT_NE(sync.m_port.MrxGetPort(), 0);
    EXPECT_EQ(sync.m_timeout.load(), 5000);
    EXPECT_EQ(sync.m_port.MrxDisconnect(), 1);
    EXPECT_EQ(sync.m_port.MrxPortConnected(), 0);
    EXPECT_EQ(sync.m_port.MrxDisconnect(), 0);
    EXPECT_EQ(sync.m_port.MrxGetLastError(), 1864u);
}

TEST_F(MrxClient, ReadWriteAndEcho) {
    uint8_t w[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(sync.VdlSyncWriteReq(local, 7, 9, 5, w), 0u);
    EXPECT_EQ(TestPort()->Data(7, 9), std::vector<uint8_t>(w, w + 5));
    uint8_t r[8] = {};
    EXPECT_EQ(sync.VdlSyncReadReq(local, 7, 9, 8, r), 0u);
    EXPECT_EQ(0, std::memcmp(r, w, 5));

    std::vector<uint8_t> big(100000), back(100000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    unsigned int n = 0;
    EXPECT_EQ(sync.VdlSyncReadWriteReq(local, ZtSim::kEchoGroup, 0, 100000, back.data(), 100000, big.data(), n), 0u);
    EXPECT_EQ(n, 100000u);
    EXPECT_EQ(back, big);
}

TEST_F(MrxClient, ErrorCodesFromRouterAndService) {
    uint8_t buf[16];
    MrxAddr noPort(local.netId, 4711), noTarget(MrxNetId{{9, 9, 9, 9, 9, 9}}, kTestPort);
    struct Case {
        MrxAddr* addr;
        uint32_t group;
        unsigned int expect;
    } cases[] = {
        {&noPort, 1, 6},
        {&noTarget, 1, 7},
        {&local, 99, 1804},  // nothing set at (99, 0)
    };
    for (auto& c : cases) EXPECT_EQ(sync.VdlSyncReadReq(*c.addr, c.group, 0, sizeof(buf), buf), c.expect);
    unsigned short a = 0, b = 0;
    EXPECT_EQ(sync.VdlSyncReadStateReq(noTarget, &a, &b), 7u);
    EXPECT_EQ(sync.VdlSyncReadStateReq(local, &a, &b), 0u);
    EXPECT_EQ(a, 5);
}

TEST_F(MrxClient, TooSmallReplyBufferCarriesSizeHint) {
    TestPort()->SetData(3, 0, std::vector<uint8_t>(300, 0x11));
    uint8_t buf[64];
    std::memset(buf, 0xEE, sizeof(buf));
    unsigned int n = 0;
    EXPECT_EQ(sync.VdlSyncReadWriteReq(local, 3, 0, 64, buf, 0, nullptr, n), 1797u);
    uint32_t needed;
    std::memcpy(&needed, buf, 4);
    EXPECT_EQ(needed, 300u);
    EXPECT_EQ(buf[4], 0xEE);  // nothing beyond the hint was written
}

TEST_F(MrxClient, WriteControlReachesService) {
    uint8_t d[3] = {9, 8, 7};
    EXPECT_EQ(sync.VdlSyncWriteControlReq(local, 16, 2, 3, d), 0u);
    auto [v, dev, data] = TestPort()->LastControl();
    EXPECT_EQ(v, 16);
    EXPECT_EQ(dev, 2);
    EXPECT_EQ(data, std::vector<uint8_t>(d, d + 3));
}

TEST_F(MrxClient, NullBuffersAreRefused) {
    unsigned short s = 0;
    VdlNotificationAttrib attr{};
    unsigned int h = 0;
    EXPECT_EQ(sync.VdlSyncReadReq(local, 1, 0, 4, nullptr), 1803u);
    EXPECT_EQ(sync.VdlSyncWriteReq(local, 1, 0, 4, nullptr), 1803u);
    EXPECT_EQ(sync.VdlSyncReadStateReq(local, &s, nullptr), 1803u);
    EXPECT_EQ(sync.VdlSyncAddDeviceNotificationReq(local, 1, 0, &attr, nullptr, 0, &h), 1803u);
}

struct Received {
    std::mutex m;
    std::vector<std::vector<uint8_t>> samples;
    std::vector<unsigned int> users;
    std::thread::id thread;
};
Received* g_received = nullptr;

void OnSample(MrxAddr*, VdlNotificationHeader* h, unsigned int user) {
    std::lock_guard<std::mutex> lk(g_received->m);
    auto* p = reinterpret_cast<uint8_t*>(h) + sizeof(VdlNotificationHeader);
    g_received->samples.emplace_back(p, p + h->sampleSize);
    g_received->users.push_back(user);
    g_received->thread = std::this_thread::get_id();
}

TEST_F(MrxClient, NotificationsArriveInOrderOnAClientThreadUntilDeleted) {
    Received rec;
    g_received = &rec;
    VdlNotificationAttrib attr{8192, 3, 0, 0, {0, 0, 0, 0}};
    unsigned int handle = 0;
    ASSERT_EQ(sync.VdlSyncAddDeviceNotificationReq(local, 777, 0, &attr, OnSample, 42, &handle), 0u);
    EXPECT_EQ(sim->Local().SubscriberCount(kTestPort, 777, 0), 1u);
    for (uint8_t i = 0; i < 50; ++i) {
        uint8_t b[3] = {i, static_cast<uint8_t>(i + 1), 0};
        sim->Local().Publish(kTestPort, 777, 0, b);
    }
    ASSERT_TRUE(ZtTest::WaitFor([&] {
        std::lock_guard<std::mutex> lk(rec.m);
        return rec.samples.size() == 50;
    }));
    {
        std::lock_guard<std::mutex> lk(rec.m);
        for (uint8_t i = 0; i < 50; ++i) EXPECT_EQ(rec.samples[i][0], i);
        EXPECT_EQ(rec.users[0], 42u);
        EXPECT_NE(rec.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(sync.VdlSyncDelDeviceNotificationReq(local, handle), 0u);
    EXPECT_EQ(sync.VdlSyncDelDeviceNotificationReq(local, handle), 1804u);
    EXPECT_EQ(sim->Local().Publish(kTestPort, 777, 0, std::vector<uint8_t>{1}), 0u);
    g_received = nullptr;
}

TEST_F(MrxClient, ManyThreadsShareOnePort) {
    std::vector<std::thread> ts;
    std::atomic<int> ok{0};
    for (int t = 0; t < 6; ++t)
        ts.emplace_back([&, t] {
            std::vector<uint8_t> w(1000 + t * 100, static_cast<uint8_t>(t)), r(w.size());
            for (int i = 0; i < 200; ++i) {
                unsigned int n = 0;
                if (sync.VdlSyncReadWriteReq(local, ZtSim::kEchoGroup, 0, static_cast<unsigned>(r.size()), r.data(),
                                             static_cast<unsigned>(w.size()), w.data(), n) == 0 &&
                    r == w)
                    ok++;
            }
        });
    for (auto& t : ts) t.join();
    EXPECT_EQ(ok.load(), 1200);
}

TEST(MrxNoRouter, ConnectFailsAtOnceWithClearError) {
    ::setenv("ZT_MRX_ROUTER", "127.0.0.1:1", 1);
    CVdlSync sync(0, 0, "x");
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(sync.m_port.MrxConnect(0xFFFF, 4096, 80), 0);
    EXPECT_EQ(sync.m_port.MrxGetLastError(), 1864u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
    MrxAddr a;
    uint8_t b[4];
    EXPECT_EQ(sync.VdlSyncReadReq(a, 1, 1, 4, b), 1864u);
}

}  // namespace
