// AccessFixture.h - a simulator with fast state changes and a target-access
// object connected to its local target, checking after every test that no
// symbol handle and no file was left open on the target.
#ifndef ZT_TEST_ACCESS_FIXTURE_H
#define ZT_TEST_ACCESS_FIXTURE_H

#include <memory>

#include "SimFixture.h"
#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"
#include "ZtSim/FileService.h"
#include "ZtSim/SymbolService.h"
#include "ZtSim/SystemService.h"

namespace ZtTest {

// Longer than one poll of the state changes (100 ms), so that a change that
// did not wait for the runtime to leave its state shows.
constexpr uint32_t kLeaveMs = 150;
constexpr uint32_t kConfigMs = 200;
constexpr uint32_t kRestartMs = 300;

class AccessFixture : public SimFixture {
protected:
    void SetUp() override {
        ZtSim::SimOptions o = DefaultSimOptions();
        o.stateTiming = {kLeaveMs, kConfigMs, kRestartMs};
        StartSim(o);
        symbols = sim->Local().ServiceAs<ZtSim::SymbolService>(ZtSim::kDefaultSymbolPort);
        system = sim->Local().ServiceAs<ZtSim::SystemService>(ZtSim::kSystemServicePort);
        access = std::make_unique<ZtEventLoggerVdlApi::VdlAccessImpl>("", ZtSim::kDefaultSymbolPort);
    }
    void TearDown() override {
        access.reset();
        EXPECT_EQ(symbols->LiveHandles(), 0u);
        EXPECT_EQ(sim->Files().OpenFiles(), 0u);
        SimFixture::TearDown();
    }
    std::filesystem::path Sandbox() { return sim->Files().Root(); }

    std::shared_ptr<ZtSim::SymbolService> symbols;
    std::shared_ptr<ZtSim::SystemService> system;
    std::unique_ptr<ZtEventLoggerVdlApi::VdlAccessImpl> access;
};

}  // namespace ZtTest

#endif  // ZT_TEST_ACCESS_FIXTURE_H
