#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"

#include <gtest/gtest.h>

#include "AdapterTestUtil.h"
#include "SimFixture.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterCore.h"
#include "ZtSim/SystemService.h"

namespace {

using namespace ZtEventLoggerVdlApi;
using ZtTest::RecordingListener;

const MrxNetId kLocal{{5, 80, 201, 232, 1, 1}};
const MrxNetId kLine2{{5, 12, 34, 56, 1, 1}};

class Adapter : public ZtTest::SimFixture {
protected:
    // Counts route-table reads, to tell whether a Connect looked a name up.
    void CountRouteReads() {
        auto sys = sim->Local().ServiceAs<ZtSim::SystemService>(ZtSim::kSystemServicePort);
        sys->SetGroupHandler(ZtSim::kRouteTableGroup, [this](ZtSim::Target& t, const ZtSim::Request& r) {
            routeReads++;
            auto routes = t.Routes();
            if (r.indexOffset >= routes.size()) return ZtSim::Reply::Error(1804);
            return ZtSim::Reply::Data(ZtSim::SystemService::RouteRecord(routes[r.indexOffset]));
        });
    }
    VdlR3AdapterImpl adapter;
    std::atomic<int> routeReads{0};
};

TEST_F(Adapter, TargetTextsResolve) {
    CountRouteReads();
    struct Case {
        const char* text;
        uint32_t error;
        MrxNetId netId;
        bool readsRoutes;
    } cases[] = {
        {"", 0, kLocal, false},
        {"localhost", 0, kLocal, false},
        {"127.0.0.1", 0, kLocal, false},
        {"127.0.0.1.1.1", 0, kLocal, false},
        {"5.12.34.56.1.1", 0, kLine2, false},
        {"1.2.3.4.5.6.", 0, MrxNetId{{1, 2, 3, 4, 5, 6}}, false},  // a trailing dot passes the shape scan
        {"0.0.0.0.0.255", 0, MrxNetId{{0, 0, 0, 0, 0, 255}}, false},
        {"5.12.34.56.1.256", 1865, MrxNetId{}, false},
        {"1.2.3", 1865, MrxNetId{}, false},
        {"1.2.3.4.5.6666", 1865, MrxNetId{}, false},             // a last group of four digits passes the scan
        {"1.2.3.4.5.66666", 1865, MrxNetId{}, true},             // five do not: a computer name
        {"1.2.3.4.5.6.7", 1865, MrxNetId{}, true},                // seven groups: a computer name
        {"1234.1.1.1.1.1", 1865, MrxNetId{}, true},               // four-digit group: a computer name
        {"LOCALHOST", 1865, MrxNetId{}, true},                    // aliases are case-sensitive
        {"line2-plc", 0, kLine2, true},
        {"LINE2-PLC", 0, kLine2, true},
        {"Press", 0, MrxNetId{{5, 12, 34, 57, 1, 1}}, true},
        {"Line2-PLC ", 1865, MrxNetId{}, true},
        {"Line2", 1865, MrxNetId{}, true},
    };
    ASSERT_EQ(adapter.Connect(""), 0u);
    for (const auto& c : cases) {
        int before = routeReads.load();
        auto [id, err] = adapter.MrxNetIdFromString(c.text);
        EXPECT_EQ(err, c.error) << c.text;
        EXPECT_EQ(id, c.netId) << c.text;
        EXPECT_EQ(routeReads.load() > before, c.readsRoutes) << c.text;
    }
}

TEST_F(Adapter, NetIdShapeScan) {
    struct Case {
        const char* text;
        bool shape;
    } cases[] = {{"", true},          {"1.2.3.4.5.6", true}, {"1.2.3.4.5.6.", true}, {"1.2.3.4.5.6666", true},
                 {"1.2.3.4.5.6.7", false}, {"1234.5", false}, {".1", false},        {"1..2", false},
                 {"1.a", false},      {"1.2.3", true},       {"-1.2.3.4.5.6", false}};
    for (const auto& c : cases) EXPECT_EQ(VdlR3AdapterImpl::IsNetId(c.text), c.shape) << c.text;
}

TEST_F(Adapter, LocalAliasWhileUnconnectedIsZero) {
    auto [id, err] = adapter.MrxNetIdFromString("localhost");
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(id, MrxNetId{});
}

TEST_F(Adapter, ComputerNameEdgeCases) {
    ASSERT_EQ(adapter.Connect(""), 0u);
    EXPECT_EQ(adapter.MrxNetIdFromComputerName("").second, 1865u);
    EXPECT_EQ(adapter.MrxNetIdFromComputerName(std::string_view("Press\0junk", 10)).first,
              (MrxNetId{{5, 12, 34, 57, 1, 1}}));
    // The table is read anew: a route added after the first lookup is found.
    EXPECT_EQ(adapter.MrxNetIdFromComputerName("NewLine").second, 1865u);
    sim->AddRoute({"NewLine", "10.0.0.9", MrxNetId{{7, 7, 7, 7, 1, 1}}});
    EXPECT_EQ(adapter.MrxNetIdFromComputerName("newline").first, (MrxNetId{{7, 7, 7, 7, 1, 1}}));
    auto [routes, rc] = adapter.ListVdlRoutes();
    EXPECT_EQ(rc, 0u);
    ASSERT_EQ(routes.size(), 3u);
    EXPECT_EQ(routes[0].name, "Line2-PLC");
    EXPECT_EQ(routes[0].firstText, "192.168.10.21");
    EXPECT_EQ(routes[0].netId, kLine2);
}

TEST_F(Adapter, MalformedRouteRecordsAreRefusedNotRead) {
    ASSERT_EQ(adapter.Connect(""), 0u);
    auto sys = sim->Local().ServiceAs<ZtSim::SystemService>(ZtSim::kSystemServicePort);
    std::vector<uint8_t> good = ZtSim::SystemService::RouteRecord({"Good", "10.1.1.1", kLine2});
    std::vector<uint8_t> noNul(2048, 'x');  // texts with no NUL anywhere
    noNul[32] = 5;
    noNul[33] = noNul[34] = noNul[35] = 0;
    std::vector<uint8_t> longL = good;  // first-text length beyond the buffer
    longL[32] = 0xFF;
    longL[33] = 0xFF;
    // A bad row is skipped: the routes after it are still listed and reachable.
    std::vector<uint8_t> later = ZtSim::SystemService::RouteRecord({"Later", "10.1.1.2", kLine2});
    for (const auto& bad : {noNul, longL}) {
        sys->SetGroupHandler(ZtSim::kRouteTableGroup, [&](ZtSim::Target&, const ZtSim::Request& r) {
            if (r.indexOffset == 0) return ZtSim::Reply::Data(good);
            if (r.indexOffset == 1) return ZtSim::Reply::Data(bad);
            if (r.indexOffset == 2) return ZtSim::Reply::Data(later);
            return ZtSim::Reply::Error(1804);
        });
        auto [routes, rc] = adapter.ListVdlRoutes();
        EXPECT_EQ(rc, 1798u);
        ASSERT_EQ(routes.size(), 2u);
        EXPECT_EQ(routes[0].name, "Good");
        EXPECT_EQ(routes[1].name, "Later");
        EXPECT_EQ(adapter.MrxNetIdFromComputerName("good").second, 0u);
        EXPECT_EQ(adapter.MrxNetIdFromComputerName("other").second, 1798u);
        EXPECT_EQ(adapter.Connect("later"), 0u);
        EXPECT_EQ(adapter.TargetNetId(), kLine2);
    }
}

TEST_F(Adapter, ListenersSeeStatesInOrder) {
    RecordingListener a, b;
    ASSERT_EQ(adapter.AddListener(&a), 0u);
    ASSERT_EQ(adapter.AddListener(&b), 0u);
    ASSERT_EQ(adapter.AddListener(&a), 0u);  // not added twice
    EXPECT_EQ(adapter.Connect("5.12.34.56.1.1"), 0u);
    EXPECT_EQ(adapter.TargetNetId(), kLine2);
    EXPECT_EQ(a.States(), (std::vector<int>{1}));
    // Connect again with a target: TargetChanging, then Connected.
    EXPECT_EQ(adapter.Connect("Press"), 0u);
    EXPECT_EQ(b.States(), (std::vector<int>{1, 3, 1}));
    // Marked connected, empty target, port open: nothing at all.
    EXPECT_EQ(adapter.Connect(""), 0u);
    EXPECT_EQ(b.States(), (std::vector<int>{1, 3, 1}));
    // Disconnect, then the same target again: 2, then 3 and 1.
    EXPECT_EQ(adapter.Disconnect(), 0u);
    EXPECT_FALSE(adapter.IsConnected());
    EXPECT_EQ(adapter.Connect("Press"), 0u);
    EXPECT_EQ(a.States(), (std::vector<int>{1, 3, 1, 2, 3, 1}));
    // Disconnect, then an empty target: the port re-opens, no listener call.
    EXPECT_EQ(adapter.Disconnect(), 0u);
    a.Clear();
    EXPECT_EQ(adapter.Connect(""), 0u);
    EXPECT_TRUE(adapter.IsConnected());
    EXPECT_TRUE(a.States().empty());
    EXPECT_EQ(adapter.TargetNetId(), (MrxNetId{{5, 12, 34, 57, 1, 1}}));
    EXPECT_EQ(adapter.RemoveListener(&a), 0u);
    EXPECT_EQ(adapter.RemoveListener(&a), 0u);
    EXPECT_EQ(adapter.AddListener(nullptr), 1803u);
    EXPECT_EQ(adapter.RemoveListener(nullptr), 1803u);
}

TEST_F(Adapter, RefusalTellsEveryListenerDisconnected) {
    RecordingListener first, refusing(0x9811070F), never;
    adapter.AddListener(&first);
    adapter.AddListener(&refusing);
    adapter.AddListener(&never);
    EXPECT_EQ(adapter.Connect("localhost"), 0x9811070Fu);
    EXPECT_EQ(first.States(), (std::vector<int>{1, 2}));
    EXPECT_EQ(refusing.States(), (std::vector<int>{1, 2}));
    EXPECT_EQ(never.States(), (std::vector<int>{2}));
    // The mark was cleared: the next Connect does not send TargetChanging.
    adapter.RemoveListener(&refusing);
    first.Clear();
    EXPECT_EQ(adapter.Connect("localhost"), 0u);
    EXPECT_EQ(first.States(), (std::vector<int>{1}));
}

TEST_F(Adapter, ResolutionFailureCallsNoListener) {
    RecordingListener l;
    adapter.AddListener(&l);
    for (const char* t : {"5.12.34.56.1.256", "1.2.3", "NoSuchRoute"}) EXPECT_EQ(adapter.Connect(t), 1865u) << t;
    EXPECT_TRUE(l.States().empty());
    EXPECT_EQ(adapter.TargetNetId(), MrxNetId{});
}

TEST_F(Adapter, RequestsAndLengthChecks) {
    ASSERT_EQ(adapter.Connect(""), 0u);
    uint8_t buf[8] = {};
    EXPECT_EQ(adapter.VdlSyncReadReq(ZtSim::kTestPort, 1, 0, 0x100000000ul, buf), 1844u);
    EXPECT_EQ(adapter.VdlSyncWriteReq(ZtSim::kTestPort, 1, 0, 0x100000000ul, buf), 1844u);
    EXPECT_EQ(adapter.VdlSyncWriteControlReq(ZtSim::kTestPort, 1, 0, 0x100000000ul, buf), 1844u);
    unsigned long bytesRead = 77;
    EXPECT_EQ(adapter.VdlSyncReadWriteReq(ZtSim::kTestPort, 1, 0, 8, buf, 0x100000000ul, buf, bytesRead), 1844u);
    EXPECT_EQ(bytesRead, 77u);
    EXPECT_EQ(adapter.VdlSyncReadWriteReq(ZtSim::kTestPort, 1, 0, 0x100000000ul, buf, 8, buf), 1844u);
    EXPECT_EQ(TestPort()->RequestCount(), 0u);  // none reached the router

    uint8_t w[4] = {1, 2, 3, 4};
    EXPECT_EQ(adapter.VdlSyncReadWriteReq(ZtSim::kTestPort, ZtSim::kEchoGroup, 0, 8, buf, 4, w, bytesRead), 0u);
    EXPECT_EQ(bytesRead, 4u);
    unsigned short s1 = 0, s2 = 0;
    EXPECT_EQ(adapter.VdlSyncReadStateReq(ZtSim::kTestPort, &s1, &s2), 0u);
    EXPECT_EQ(s1, 5);
    EXPECT_EQ(adapter.VdlSyncReadReq(4711, 1, 0, 8, buf), 6u);
}

TEST_F(Adapter, RequestOnUnconnectedAdapterReachesRouterClient) {
    uint8_t buf[4];
    EXPECT_EQ(adapter.VdlSyncReadReq(ZtSim::kTestPort, 1, 0, 4, buf), 1864u);
    EXPECT_EQ(adapter.Disconnect(), 1864u);  // nothing to close
}

TEST_F(Adapter, TimeoutSetAndGet) {
    EXPECT_EQ(adapter.VdlSyncGetTimeout(), 5000u);
    EXPECT_EQ(adapter.VdlSyncSetTimeout(0), 1863u);
    EXPECT_EQ(adapter.VdlSyncSetTimeout(-5), 1863u);
    EXPECT_EQ(adapter.VdlSyncGetTimeout(), 5000u);
    EXPECT_EQ(adapter.VdlSyncSetTimeout(150), 0u);
    EXPECT_EQ(adapter.VdlSyncGetTimeout(), 150u);
    ASSERT_EQ(adapter.Connect(""), 0u);
    sim->Faults().DelayNext(1, 400, ZtSim::kTestPort);
    uint8_t buf[4];
    EXPECT_EQ(adapter.VdlSyncReadReq(ZtSim::kTestPort, 1, 0, 4, buf), 1861u);
}

TEST(AdapterNoRouter, ConnectGivesClearErrorWithoutHanging) {
    ::setenv("ZT_MRX_ROUTER", "127.0.0.1:1", 1);
    VdlR3AdapterCore core;
    RecordingListener l;
    core.AddListener(&l);
    EXPECT_EQ(core.Connect("localhost"), 1864u);
    EXPECT_FALSE(core.IsConnected());
    EXPECT_TRUE(l.States().empty());
    EXPECT_EQ(core.Connect(nullptr), 1803u);
    VdlR3AdapterCore other;
    EXPECT_TRUE(core == core);
    EXPECT_TRUE(core != other);
}

}  // namespace
