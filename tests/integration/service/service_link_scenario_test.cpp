// End to end: a scenario played by the simulated event logger service reaches
// the event handler through router, registry, service proxy and job queue,
// every frame in order and every record byte for byte as the service sent it.
#include <gtest/gtest.h>

#include "EventHandlerStub.h"
#include "SimFixture.h"
#include "ZtEventLoggerUmProxy.h"
#include "ZtSim/EventLoggerService.h"
#include "ZtSim/Scenario.h"
#include "ZtSim/ScenarioRunner.h"

namespace {

using namespace ZtEventLoggerVdlProxy;

const char* CallFor(ZtSim::EventFrameType type) {
    switch (static_cast<int>(type)) {
        case 0: return "message";
        case 1: return "raised";
        case 2: return "cleared";
        case 4: return "list cleared";
        case 6: return "confirmed";
        case 7: return "disposed";
        default: return "?";
    }
}

class ServiceLinkScenario : public ZtTest::SimFixture {};

TEST_F(ServiceLinkScenario, EveryFrameArrivesInOrderWithItsRecord) {
    auto service = ZtSim::EventLoggerOf(sim->Local());
    ASSERT_TRUE(service);
    ZtSim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(ZtSim::LoadScenarioFile(std::string(ZT_SCENARIO_DIR) + "/filler_station.json", scenario, error))
        << error;

    auto adapter = std::make_shared<VdlR3AdapterCore>();
    auto* proxy = new ZtEventLoggerUmProxy(adapter, new ZtEventLoggerCommon::JobQueueEx<const ZtEventStreamHeader>(2048));
    proxy->ZtAddRef();
    ZtTest::EventHandlerStub handler;
    proxy->Initialize(&handler);
    ASSERT_EQ(adapter->Connect("localhost"), 0u);

    ZtSim::ScenarioRunner runner(service, scenario);
    runner.SetTimeScale(0.1);  // ten times faster
    ASSERT_TRUE(runner.Start());
    ASSERT_TRUE(runner.WaitUntilDone(std::chrono::seconds(30)));
    EXPECT_EQ(runner.StepsRefused(), 0u);

    auto log = service->Log();
    ASSERT_GT(log.size(), 5u);
    ASSERT_TRUE(handler.WaitCalls(log.size()));
    auto calls = handler.Calls();
    ASSERT_EQ(calls.size(), log.size());
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(calls[i].what, CallFor(log[i].type)) << "frame " << i;
        EXPECT_EQ(calls[i].record, log[i].record) << "frame " << i;
    }
    EXPECT_EQ(proxy->MalformedFrames(), 0u);
    EXPECT_EQ(proxy->LostFrames(), 0u);
    EXPECT_EQ(adapter->Disconnect(), 0u);
    proxy->ZtRelease();
}

}  // namespace
