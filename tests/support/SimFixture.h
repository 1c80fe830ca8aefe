// SimFixture.h - starts an in-process simulator on an ephemeral loopback port
// and points the router client at it.
#ifndef ZT_TEST_SIM_FIXTURE_H
#define ZT_TEST_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "ZtSim/Simulator.h"
#include "ZtSim/TestService.h"

namespace ZtTest {

// The simulator's local NetId and two remote routes used across the tests.
inline ZtSim::SimOptions DefaultSimOptions() {
    ZtSim::SimOptions o;
    o.localNetId = MrxNetId{{5, 80, 201, 232, 1, 1}};
    o.localName = "local-plc";
    o.routes = {{"Line2-PLC", "192.168.10.21", MrxNetId{{5, 12, 34, 56, 1, 1}}},
                {"Press", "192.168.10.22", MrxNetId{{5, 12, 34, 57, 1, 1}}}};
    return o;
}

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override { StartSim(DefaultSimOptions()); }
    void TearDown() override { sim.reset(); }

    void StartSim(const ZtSim::SimOptions& options) {
        sim = std::make_unique<ZtSim::Simulator>(options);
        // Set before any client thread exists; the router client reads it on connect.
        ::setenv("ZT_MRX_ROUTER", sim->Address().c_str(), 1);
    }
    std::shared_ptr<ZtSim::TestService> TestPort() {
        return sim->Local().ServiceAs<ZtSim::TestService>(ZtSim::kTestPort);
    }

    std::unique_ptr<ZtSim::Simulator> sim;
};

// Polls cond every millisecond until it holds or the time is up.
inline bool WaitFor(const std::function<bool()>& cond, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace ZtTest

#endif  // ZT_TEST_SIM_FIXTURE_H
