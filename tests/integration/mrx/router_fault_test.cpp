// The router misbehaving: time-outs, lost connections, malformed replies.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "CVdlSync.h"
#include "SimFixture.h"

namespace {

using ZtSim::FaultKind;
using ZtSim::FaultRule;
using ZtSim::kTestPort;

class RouterFault : public ZtTest::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_NE(sync.m_port.MrxConnect(0xFFFF, 4096, 80), 0);
        local = MrxAddr(sync.m_port.MrxGetNetId(), kTestPort);
        TestPort()->SetData(5, 0, std::vector<uint8_t>(16, 0x55));
    }
    unsigned int Read() {
        uint8_t b[16];
        return sync.VdlSyncReadReq(local, 5, 0, sizeof(b), b);
    }
    void AddFault(FaultKind kind) {
        FaultRule r;
        r.kind = kind;
        sim->Faults().Add(r);
    }
    CVdlSync sync{0, 0, "test"};
    MrxAddr local;
};

TEST_F(RouterFault, InjectedErrorForNextRequestsOnly) {
    sim->Faults().FailNext(2, 1793, kTestPort);
    EXPECT_EQ(Read(), 1793u);
    EXPECT_EQ(Read(), 1793u);
    EXPECT_EQ(Read(), 0u);
}

TEST_F(RouterFault, UnansweredRequestTimesOutAndLinkStaysUsable) {
    sync.m_timeout = 100;
    AddFault(FaultKind::NoReply);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(), 1861u);
    auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(took, std::chrono::milliseconds(95));
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(Read(), 0u);
    EXPECT_NE(sync.m_port.MrxPortConnected(), 0);
}

TEST_F(RouterFault, LateReplyAfterTimeOutIsIgnored) {
    sync.m_timeout = 50;
    sim->Faults().DelayNext(1, 200, kTestPort);
    EXPECT_EQ(Read(), 1861u);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    sync.m_timeout = 2000;
    EXPECT_EQ(Read(), 0u);
}

TEST_F(RouterFault, LostConnectionFailsEveryWaitingRequestAtOnce) {
    sim->Faults().DelayNext(1, 300, kTestPort);  // holds the connection's thread
    std::vector<std::thread> ts;
    std::atomic<int> failed{0};
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i)
        ts.emplace_back([&] {
            if (Read() == 1864u) failed++;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sim->DropConnections();
    for (auto& t : ts) t.join();
    EXPECT_EQ(failed.load(), 4);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2000));
    EXPECT_EQ(sync.m_port.MrxPortConnected(), 0);
    EXPECT_NE(sync.m_port.MrxPortIsOpen(), 0);
    EXPECT_EQ(Read(), 1864u);
    // Re-opening a port whose link was lost gives a working port again.
    EXPECT_NE(sync.m_port.MrxConnect(0xFFFF, 4096, 80), 0);
    EXPECT_EQ(Read(), 0u);
}

TEST_F(RouterFault, MalformedRepliesCloseTheConnection) {
    for (FaultKind kind : {FaultKind::Garbage, FaultKind::Truncate, FaultKind::Oversize, FaultKind::Drop}) {
        ASSERT_NE(sync.m_port.MrxConnect(0xFFFF, 4096, 80), 0);
        AddFault(kind);
        unsigned int rc = Read();
        EXPECT_TRUE(rc == 1798u || rc == 1864u) << static_cast<int>(kind) << " gave " << rc;
        EXPECT_TRUE(ZtTest::WaitFor([&] { return sync.m_port.MrxPortConnected() == 0; }, 2000))
            << static_cast<int>(kind);
        EXPECT_EQ(Read(), 1864u);
    }
}

}  // namespace
