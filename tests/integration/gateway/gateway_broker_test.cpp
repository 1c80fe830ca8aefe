// The gateway against a real mosquitto broker and the simulated controllers:
// events in order with their sequence numbers, the retained alarm state a
// late subscriber sees, a broker that goes away, a controller link that
// drops, commands (hostile ones included), TLS with a password.
#include "GatewayFixture.h"

#include <signal.h>

#include "ZtSim/Scenario.h"
#include "ZtSim/ScenarioRunner.h"

namespace ZtTest {
namespace {

using ZtSim::EventLoggerService;

const char* kScenario = R"({"name": "gateway test", "events": {
    "a": {"class": "{5C2E8A10-7B3D-4A61-9E05-3F712D8B4C16}", "id": 11, "severity": 3, "needsConfirmation": true},
    "b": {"class": "{5C2E8A10-7B3D-4A61-9E05-3F712D8B4C16}", "id": 12, "severity": 2},
    "c": {"class": "{5C2E8A10-7B3D-4A61-9E05-3F712D8B4C16}", "id": 13, "severity": 4,
          "arguments": [{"type": "bstr", "value": "Z"}, {"type": "double", "value": 0.5}]}},
  "steps": [{"at": 0, "action": "raise", "event": "a"}, {"at": 1, "action": "raise", "event": "b"},
            {"at": 2, "action": "clear", "event": "b"},
            {"at": 3, "action": "message", "class": "{5C2E8A10-7B3D-4A61-9E05-3F712D8B4C16}", "id": 20},
            {"at": 4, "action": "clear", "event": "a"}, {"at": 5, "action": "raise", "event": "c"}]})";

using GatewayBrokerTest = GatewayFixture;

TEST_F(GatewayBrokerTest, EventsInOrderAndRetainedStateOfSeveralControllers) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start());
    Service("Press").RaiseAlarm(GwEvent(1, true));  // active before the gateway starts: reconciled
    // Two alarms that differ in the key qualifier alone: two topics.
    for (uint32_t q : {1u, 2u}) {
        auto e = GwEvent(60);
        e.keyQualifier = q;
        Service("Line2-PLC").RaiseAlarm(e);
    }
    MqttProbe probe(broker.Port());
    ASSERT_TRUE(probe.Connect({"zt/#"}));
    auto gateway = StartGateway(Config(broker));
    ASSERT_TRUE(WaitStatus(probe, {"press", "line2"}, "online"));

    ZtSim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(ZtSim::ParseScenario(kScenario, scenario, error)) << error;
    for (const char* route : {"Press", "Line2-PLC"}) {
        ZtSim::ScenarioRunner runner(sim->FindTargetByName(route)->ServiceAs<EventLoggerService>(132), scenario);
        runner.SetTimeScale(0);
        runner.Start();
        ASSERT_TRUE(runner.WaitUntilDone(std::chrono::seconds(5)));
    }
    const std::vector<std::string> expected = {"raised 11",  "raised 12",  "cleared! 12",
                                               "message 20", "cleared 11", "raised 13"};
    for (const char* target : {"press", "line2"}) {
        std::string topic = std::string("zt/") + target + "/events";
        ASSERT_TRUE(probe.WaitFor([&](auto&) { return EventsOf(probe, topic).size() >= expected.size(); })) << target;
        auto events = EventsOf(probe, topic);
        EXPECT_EQ(Transitions(events), expected) << target;
        for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].seq, i + 1) << target;
    }
    // A subscriber that comes later sees exactly the active alarms.
    auto state = MqttProbe::RetainedState(broker.Port(), "zt/+/alarms/#");
    EXPECT_EQ(Topics(state), (std::set<std::string>{AlarmTopic("press", 1), AlarmTopic("press", 11),
                                                    AlarmTopic("press", 13), AlarmTopic("line2", 11),
                                                    AlarmTopic("line2", 13), AlarmTopic("line2", 60, 1),
                                                    AlarmTopic("line2", 60, 2)}));
    EXPECT_NE(state[AlarmTopic("press", 11)].find(R"("state":{"raised":false,"confirmation":"waiting")"),
              std::string::npos);
    EXPECT_NE(state[AlarmTopic("press", 13)].find(R"("arguments":[{"type":"bstr","value":"Z"},{"type":"double","value":0.5}])"),
              std::string::npos);
    EXPECT_NE(state[AlarmTopic("press", 1)].find(R"("texts":{"1033":)"), std::string::npos);
    // The stats count what came in and what the broker took.
    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        auto s = probe.On("zt/gateway/gw1/stats");
        return !s.empty() && s.back().payload.find(R"("press":{"online":true,"eventsIn":6,"published":6,"queued":0)") !=
                                 std::string::npos;
    })) << gateway->StatsJson();
}

TEST_F(GatewayBrokerTest, BrokerStoppedAndRestartedLosesNothingAndKeepsOrder) {
    MosquittoBroker broker(BrokerOptions::Persistent());
    ASSERT_TRUE(broker.Start());
    ProbeOptions persistent;
    persistent.clientId = "zt-probe-persistent";
    persistent.cleanSession = false;
    MqttProbe probe(broker.Port(), persistent);
    ASSERT_TRUE(probe.Connect({"zt/press/events", "zt/press/status"}));
    auto gateway = StartGateway(Config(broker));
    ASSERT_TRUE(WaitStatus(probe, {"press"}, "online"));
    auto& press = Service("Press");
    for (uint32_t id : {1u, 2u, 3u}) press.RaiseAlarm(GwEvent(id));
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return EventsOf(probe, "zt/press/events").size() == 3; }));

    broker.Stop(SIGTERM);
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return !gateway->BrokerConnected(); }));
    press.ClearAlarm(GwEvent(2));
    press.RaiseAlarm(GwEvent(4));
    press.SendMessage(GwEvent(5));
    press.ClearAlarm(GwEvent(1));
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return gateway->StatsJson().find(R"("eventsIn":7)") != std::string::npos; }))
        << gateway->StatsJson();
    ASSERT_TRUE(broker.Start());

    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        auto e = EventsOf(probe, "zt/press/events");
        return !e.empty() && e.back().seq == 7;
    })) << broker.Log();
    // At least once: a repeat may come, but never a gap nor a step back.
    uint64_t last = 0;
    std::vector<std::string> firsts;
    for (const auto& e : EventsOf(probe, "zt/press/events")) {
        ASSERT_LE(e.seq, last + 1);
        if (e.seq == last + 1) firsts.push_back(Transitions({e})[0]);
        last = std::max(last, e.seq);
    }
    EXPECT_EQ(firsts, (std::vector<std::string>{"raised 1", "raised 2", "raised 3", "cleared! 2", "raised 4",
                                                "message 5", "cleared! 1"}));
    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        return Topics(MqttProbe::RetainedState(broker.Port(), "zt/press/alarms/#")) ==
               std::set<std::string>{AlarmTopic("press", 3), AlarmTopic("press", 4)};
    }));
    // Killed now, the broker comes back with its snapshot of the first stop:
    // alarms 1 and 2 retained again, stale. The gateway clears them.
    broker.Stop(SIGKILL);
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        return Topics(MqttProbe::RetainedState(broker.Port(), "zt/press/alarms/#")) ==
               std::set<std::string>{AlarmTopic("press", 3), AlarmTopic("press", 4)};
    })) << Topics(MqttProbe::RetainedState(broker.Port(), "zt/press/alarms/#")).size();
}

TEST_F(GatewayBrokerTest, ControllerLinkDroppedGoesOfflineAndIsReconciledOnReturn) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start());
    MqttProbe probe(broker.Port());
    ASSERT_TRUE(probe.Connect({"zt/+/status"}));
    auto& press = Service("Press");
    press.RaiseAlarm(GwEvent(31));
    press.RaiseAlarm(GwEvent(32));
    auto gateway = StartGateway(Config(broker));
    ASSERT_TRUE(WaitStatus(probe, {"press", "line2"}, "online"));

    // The controller stops answering and the links drop; meanwhile its list changes.
    sim->Faults().FailNext(-1, 6, 132);
    sim->DropConnections();
    ASSERT_TRUE(WaitStatus(probe, {"press", "line2"}, "offline"));
    press.ClearAlarm(GwEvent(31));
    press.RaiseAlarm(GwEvent(33));
    sim->Faults().Clear();
    ASSERT_TRUE(WaitStatus(probe, {"press", "line2"}, "online", 2));
    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        return Topics(MqttProbe::RetainedState(broker.Port(), "zt/press/alarms/#")) ==
               std::set<std::string>{AlarmTopic("press", 32), AlarmTopic("press", 33)};
    }));
    EXPECT_NE(gateway->StatsJson().find(R"("press":{"online":true,"eventsIn":0,)"), std::string::npos);
    EXPECT_NE(gateway->StatsJson().find(R"("reconnects":1,)"), std::string::npos) << gateway->StatsJson();
}

TEST_F(GatewayBrokerTest, CommandsHostilePayloadsAndRetainedCommands) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start());
    auto& press = Service("Press");
    press.RaiseAlarm(GwEvent(41, true));
    MqttProbe probe(broker.Port());
    ASSERT_TRUE(probe.Connect({"zt/press/#"}));
    auto gateway = StartGateway(Config(broker, {"confirm", "clear", "send", "log"}));
    ASSERT_TRUE(WaitStatus(probe, {"press"}, "online"));
    const std::string cls = "{" + kGwClassText + "}";

    // A retained command is never acted on, not even when it arrives live.
    probe.Publish("zt/press/cmd/confirm", R"({"id":"r1","class":")" + cls + R"(","eventId":41})", true);
    struct Case {
        std::string verb, payload, error;
    } cases[] = {
        {"confirm", "not json", "not a JSON object"},
        {"confirm", "[1,2]", "not a JSON object"},
        {"confirm", R"({"id":5})", "id: expected a text"},
        {"confirm", "{\"id\":\"\xC3\x28\"}", "not a JSON object in UTF-8"},
        {"confirm", R"({"id":"h1","class":"nope","eventId":1})", "class: expected a GUID"},
        {"confirm", R"({"id":"h2","class":")" + cls + R"(","eventId":-1})", "eventId: expected a whole number"},
        {"confirm", R"({"id":"h3","class":")" + cls + R"(","eventId":1,"extra":1})", "unknown member \"extra\""},
        {"clear", R"({"id":"h4","filter":"severity >="})", "filter: column 12"},
        {"clear", R"({"id":"h5"})", "filter: expected the filter as text"},
        {"send", R"({"id":"h6","class":")" + cls + R"(","eventId":1,"arguments":[{"type":"int8","value":300}]})",
         "int8 takes a whole number from -128 to 127"},
        {"send", R"({"id":"h7","class":")" + cls + R"(","eventId":1,"arguments":[{"type":"blob","value":1}]})",
         "type must be"},
        {"log", R"({"id":"h8","count":0})", "count: expected 1 to 1000"},
        {"log", R"({"id":"h9","count":1})" + std::string(70000, ' '), "larger than 65536 bytes"},
        {"confirm-all", R"({"id":"h10"})", "not allowed by the configuration"},
        {"explode", R"({"id":"h11"})", "unknown verb"},
    };
    // Far above the gateway's packet limit: the broker does not pass it on.
    probe.Publish("zt/press/cmd/log", std::string(300000, '{'));
    for (const Case& c : cases) probe.Publish("zt/press/cmd/" + c.verb, c.payload);
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return probe.On("zt/press/cmd/result").size() >= std::size(cases); }));
    auto results = probe.On("zt/press/cmd/result");
    ASSERT_EQ(results.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(JsonField(results[i].payload, "ok"), "false") << results[i].payload;
        EXPECT_NE(JsonField(results[i].payload, "error").find(cases[i].error), std::string::npos)
            << cases[i].payload.substr(0, 80) << " -> " << results[i].payload;
    }
    EXPECT_EQ(JsonField(results[4].payload, "id"), "h1");
    EXPECT_EQ(press.ActiveAlarms().front().state.confirmationState, ZtSim::kConfirmationWaiting);

    // The gateway still serves: confirm, send, log.
    probe.Publish("zt/press/cmd/confirm", R"({"id":"ok1","class":")" + cls + R"(","eventId":41})");
    probe.Publish("zt/press/cmd/send", R"({"id":"ok2","class":")" + cls +
                                           R"(","eventId":77,"severity":"warning","json":{"batch":42},)"
                                           R"("source":{"name":"HMI"},"arguments":[{"type":"string","value":"B42"}]})");
    probe.Publish("zt/press/cmd/log", R"({"id":"ok3","count":2})");
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return probe.On("zt/press/cmd/result").size() == std::size(cases) + 3; }));
    results = probe.On("zt/press/cmd/result");
    for (size_t i = std::size(cases); i < results.size(); ++i) {
        EXPECT_EQ(JsonField(results[i].payload, "ok"), "true") << results[i].payload;
    }
    EXPECT_NE(results.back().payload.find(R"("events":[{"kind":"logged","class":)"), std::string::npos)
        << results.back().payload;
    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        auto t = Transitions(EventsOf(probe, "zt/press/events"));
        return t == std::vector<std::string>{"confirmed 41", "message 77"};
    }));
    EXPECT_NE(probe.On("zt/press/events").back().payload.find(R"("json":{"batch":42})"), std::string::npos);
}

TEST_F(GatewayBrokerTest, TlsWithUserAndPassword) {
    MosquittoBroker broker(BrokerOptions::Secured());
    ASSERT_TRUE(broker.Start()) << broker.Log();
    ProbeOptions secured;
    secured.caFile = broker.CaFile();
    secured.user = MosquittoBroker::kUser;
    secured.password = MosquittoBroker::kPassword;
    MqttProbe probe(broker.Port(), secured);
    ASSERT_TRUE(probe.Connect({"zt/#"}));
    auto config = Config(broker);
    config.broker.caFile = broker.CaFile();
    config.broker.user = MosquittoBroker::kUser;
    config.broker.password = MosquittoBroker::kPassword;
    auto gateway = StartGateway(config);
    ASSERT_TRUE(probe.WaitFor([&](auto&) {
        auto s = probe.On("zt/gateway/gw1/status");
        return !s.empty() && JsonField(s.back().payload, "state") == "online";
    })) << broker.Log();
    Service("Press").RaiseAlarm(GwEvent(51));
    ASSERT_TRUE(probe.WaitFor([&](auto&) { return !probe.On(AlarmTopic("press", 51)).empty(); }));
    gateway->Stop();
    auto s = probe.On("zt/gateway/gw1/status");
    EXPECT_EQ(JsonField(s.back().payload, "state"), "offline");
}

}  // namespace
}  // namespace ZtTest
