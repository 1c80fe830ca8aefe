#include "ZtSim/Scenario.h"

#include <gtest/gtest.h>

#include "EventLoggerFixture.h"
#include "ZtSim/ScenarioRunner.h"

namespace {

using namespace ZtSim;
using namespace std::chrono_literals;
using ZtTest::EventLoggerFixture;
using ZtTest::Le32;

const char* const kClassText = "{6F1E2A40-0C3B-4C59-9A62-1D7E8B3C5A01}";

std::string Steps(const std::string& steps, const std::string& extra = "") {
    return "{" + extra + "\"steps\": [" + steps + "]}";
}

TEST(ScenarioParse, ErrorsNameTheirPlace) {
    const std::string raise = std::string("\"action\": \"raise\", \"class\": \"") + kClassText + "\", \"id\": 1";
    struct Case {
        std::string json;
        const char* error;  // a part of the message
    } cases[] = {
        {"{", "JSON error"},
        {"[]", "must be a JSON object"},
        {"{}", "an array of steps"},
        {Steps("{\"action\": \"raise\"}"), "steps[0]: needs \"at\""},
        {Steps("{\"at\": 0}"), "steps[0]: needs an \"action\""},
        {Steps("{\"at\": -1, " + raise + "}"), "steps[0].at"},
        {Steps("{\"at\": 0, \"action\": \"blink\"}"), "unknown action \"blink\""},
        {Steps("{\"at\": 0, " + raise + ", \"severty\": 2}"), "unknown member \"severty\""},
        {Steps("{\"at\": 0, \"action\": \"raise\", \"class\": \"{1234}\", \"id\": 1}"), "steps[0].class"},
        {Steps("{\"at\": 0, \"action\": \"raise\", \"id\": 1}"), "needs a \"class\" and an \"id\""},
        {Steps("{\"at\": 0, " + raise + ", \"severity\": 5}"), "steps[0].severity"},
        {Steps("{\"at\": 0, " + raise + ", \"arguments\": [{\"type\": \"int8\", \"value\": 300}]}"),
         "steps[0].arguments[0].value"},
        {Steps("{\"at\": 0, " + raise + ", \"arguments\": [{\"type\": \"uint16\", \"value\": -1}]}"),
         "arguments[0].value"},
        {Steps("{\"at\": 0, " + raise + ", \"arguments\": [{\"type\": \"decimal\", \"value\": 1}]}"),
         "unknown argument type \"decimal\""},
        {Steps("{\"at\": 0, " + raise + ", \"arguments\": [{\"type\": \"char\", \"value\": \"ab\"}]}"),
         "one ASCII character"},
        {Steps("{\"at\": 0, " + raise + ", \"source\": {\"id\": 1, \"path\": \"x\"}}"), "steps[0].source"},
        {Steps("{\"at\": 0, \"action\": \"clear\", \"event\": \"nope\"}"), "no event of that name"},
        {Steps("{\"at\": 0, \"action\": \"clearList\"}", "\"repeat\": true, "), "repeated scenario"},
        {Steps("", "\"events\": {\"x\": {\"id\": \"one\"}}, "), "events.x.id"},
    };
    for (const auto& c : cases) {
        Scenario sc;
        std::string error;
        EXPECT_FALSE(ParseScenario(c.json, sc, error)) << c.json;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.json << " -> " << error;
    }
}

TEST(ScenarioParse, ArgumentValuesEncodeByTypeName) {
    struct Case {
        const char* arg;
        EventArgument expected;
    } cases[] = {
        {R"({"type": "bool", "value": true})", EventArgument::Boolean(true)},
        {R"({"type": "int8", "value": -128})", EventArgument::Int8(-128)},
        {R"({"type": "int16", "value": 32767})", EventArgument::Int16(32767)},
        {R"({"type": "int32", "value": -7})", EventArgument::Int32(-7)},
        {R"({"type": "int64", "value": -9223372036854775808})", EventArgument::Int64(INT64_MIN)},
        {R"({"type": "uint8", "value": 255})", EventArgument::UInt8(255)},
        {R"({"type": "uint16", "value": 65535})", EventArgument::UInt16(65535)},
        {R"({"type": "uint32", "value": 4294967295})", EventArgument::UInt32(UINT32_MAX)},
        {R"({"type": "uint64", "value": 18446744073709551615})", EventArgument::UInt64(UINT64_MAX)},
        {R"({"type": "float", "value": 14.5})", EventArgument::Float(14.5f)},
        {R"({"type": "double", "value": 3})", EventArgument::Double(3.0)},
        {R"({"type": "char", "value": "A"})", EventArgument::Char('A')},
        {R"({"type": "char", "value": 10})", EventArgument::Char('\n')},
        {R"({"type": "wchar", "value": 233})", EventArgument::WChar(u'\u00E9')},
        {R"({"type": "string", "value": "Batch 42"})", EventArgument::String("Batch 42")},
        {R"({"type": "bstr", "value": ""})", EventArgument::Bstr("")},
    };
    for (const auto& c : cases) {
        Scenario sc;
        std::string error;
        std::string json = Steps(std::string(R"({"at": 0, "action": "message", "class": ")") + kClassText +
                                 R"(", "id": 3, "arguments": [)" + c.arg + "]}");
        ASSERT_TRUE(ParseScenario(json, sc, error)) << c.arg << ": " << error;
        ASSERT_EQ(sc.steps.at(0).event.arguments.size(), 1u);
        EXPECT_EQ(sc.steps[0].event.arguments[0], c.expected) << c.arg;
    }
}

TEST(ScenarioParse, NamedEventsStepsOverridesAndOrder) {
    const std::string json = std::string(R"({
      "name": "t", "periodMs": 50,
      "events": {"door": {"class": ")") + kClassText + R"(", "id": 7, "severity": 2, "needsConfirmation": true,
                          "source": {"id": 5, "name": "Door"}, "json": {"a": [1, "x"]}}},
      "steps": [
        {"at": 30, "action": "clear", "event": "door"},
        {"at": 10, "action": "raise", "event": "door", "qualifier": 4, "comment": "kept apart"},
        {"at": 10, "action": "confirm", "event": "door"},
        {"at": 20, "action": "clearList"}
      ]})";
    Scenario sc;
    std::string error;
    ASSERT_TRUE(ParseScenario(json, sc, error)) << error;
    ASSERT_EQ(sc.steps.size(), 4u);
    // By time; equal times in file order.
    EXPECT_EQ(sc.steps[0].action, ScenarioAction::Raise);
    EXPECT_EQ(sc.steps[1].action, ScenarioAction::Confirm);
    EXPECT_EQ(sc.steps[2].action, ScenarioAction::ClearList);
    EXPECT_EQ(sc.steps[3].action, ScenarioAction::Clear);
    const auto& e = sc.steps[0].event;
    EXPECT_EQ(e.eventId, 7u);
    EXPECT_EQ(e.keyQualifier, 4u);
    EXPECT_EQ(sc.steps[1].event.keyQualifier, 0u);  // an override stays in its step
    EXPECT_TRUE(e.needsConfirmation);
    EXPECT_EQ(e.source.id, 5u);
    EXPECT_EQ(e.source.name, "Door");
    EXPECT_FALSE(e.source.guid);
    EXPECT_EQ(e.jsonAttribute, R"({"a":[1,"x"]})");
    EXPECT_EQ(sc.PassMs(), 50u);
}

TEST(ScenarioParse, PathFromTheConfiguration) {
    struct Case {
        const char* config;
        const char* configPath;
        bool ok;
        const char* path;
    } cases[] = {
        {R"({"scenario": "line.json"})", "/etc/zt/sim.json", true, "/etc/zt/line.json"},
        {R"({"scenario": "/srv/line.json"})", "/etc/zt/sim.json", true, "/srv/line.json"},
        {R"({"scenario": "line.json"})", "sim.json", true, "line.json"},
        {R"({"port": 1})", "/etc/zt/sim.json", true, ""},
        {R"({"scenario": 3})", "/etc/zt/sim.json", false, ""},
    };
    for (const auto& c : cases) {
        std::string path = "stale", error;
        EXPECT_EQ(ScenarioPathFromConfig(c.config, c.configPath, path, error), c.ok) << c.config;
        EXPECT_EQ(path, c.path) << c.config;
    }
}

class ScenarioPlay : public EventLoggerFixture {};

// The sample scenario, ten times faster: every frame in order, nothing refused,
// and an empty list at the end.
TEST_F(ScenarioPlay, SampleScenarioPlaysEndToEnd) {
    Scenario sc;
    std::string error;
    ASSERT_TRUE(LoadScenarioFile(ZT_SCENARIO_DIR "/filler_station.json", sc, error)) << error;
    ASSERT_FALSE(sc.steps.empty());
    Subscribe();
    ScenarioRunner runner(service, sc);
    runner.SetTimeScale(0.1);
    std::vector<EventResult> results;
    runner.SetObserver([&](const ScenarioStep&, EventResult r) { results.push_back(r); });
    ASSERT_TRUE(runner.Start());
    ASSERT_TRUE(runner.WaitUntilDone(10s));
    EXPECT_EQ(runner.StepsPlayed(), sc.steps.size());
    EXPECT_EQ(runner.StepsRefused(), 0u);
    EXPECT_EQ(runner.PassesDone(), 1u);
    EXPECT_EQ(results, std::vector<EventResult>(sc.steps.size(), EventResult::Ok));
    EXPECT_TRUE(service->ActiveAlarms().empty());

    auto notes = Notifications(sc.steps.size());
    ASSERT_EQ(notes.size(), sc.steps.size());
    const uint16_t typeOf[] = {1, 2, 6, 7, 4, 0};  // by ScenarioAction
    for (size_t i = 0; i < notes.size(); ++i) {
        const auto& step = sc.steps[i];
        EXPECT_EQ(notes[i].frame.type, typeOf[static_cast<int>(step.action)]) << i;
        ASSERT_TRUE(notes[i].record) << i;
        EXPECT_EQ(notes[i].record->eventId, step.event.eventId) << i;
        ASSERT_EQ(notes[i].record->args.size(), step.event.arguments.size()) << i;
        for (size_t a = 0; a < step.event.arguments.size(); ++a)
            EXPECT_EQ(notes[i].record->args[a].bytes, step.event.arguments[a].bytes) << i;
    }
}

TEST_F(ScenarioPlay, StepsPlayAtTheirTimesAndRefusalsAreCounted) {
    const std::string json = std::string(R"({"steps": [
        {"at": 0, "action": "raise", "class": ")") + kClassText + R"(", "id": 1},
        {"at": 150, "action": "clear", "class": ")" + kClassText + R"(", "id": 2},
        {"at": 300, "action": "clearList"}]})";
    Scenario sc;
    std::string error;
    ASSERT_TRUE(ParseScenario(json, sc, error)) << error;
    Subscribe();
    ScenarioRunner runner(service, sc);
    std::vector<std::pair<ScenarioAction, EventResult>> seen;
    runner.SetObserver([&](const ScenarioStep& s, EventResult r) { seen.emplace_back(s.action, r); });
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(runner.Start());
    EXPECT_FALSE(runner.Start());  // already playing
    ASSERT_TRUE(runner.WaitUntilDone(5s));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 300ms);
    EXPECT_FALSE(runner.Running());
    EXPECT_EQ(runner.StepsPlayed(), 3u);
    EXPECT_EQ(runner.StepsRefused(), 1u);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1], std::make_pair(ScenarioAction::Clear, EventResult::NoSuchAlarm));
    auto notes = Notifications(2);  // the refused clear published nothing
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].frame.type, 1u);
    EXPECT_EQ(notes[1].frame.type, 4u);
    EXPECT_GE(static_cast<uint64_t>(notes[1].timeStamp - notes[0].timeStamp), 3000000u - 200000u);  // ~300 ms
}

TEST_F(ScenarioPlay, RepeatedScenarioPlaysUntilStopped) {
    Scenario sc;
    std::string error;
    ASSERT_TRUE(ParseScenario(std::string(R"({"repeat": true, "periodMs": 20, "steps": [
        {"at": 0, "action": "message", "class": ")") + kClassText + R"(", "id": 9}]})",
                              sc, error))
        << error;
    Subscribe();
    ScenarioRunner runner(service, sc);
    ASSERT_TRUE(runner.Start());
    ASSERT_TRUE(ZtTest::WaitFor([&] { return runner.PassesDone() >= 3; }));
    EXPECT_FALSE(runner.WaitUntilDone(30ms));
    runner.Stop();
    EXPECT_FALSE(runner.Running());
    EXPECT_TRUE(runner.WaitUntilDone(0ms));
    const size_t played = runner.StepsPlayed();
    EXPECT_GE(played, 3u);
    EXPECT_EQ(Notifications(played).size(), played);
}

TEST_F(ScenarioPlay, StopEndsALongWaitAndStartPlaysAgain) {
    Scenario sc;
    std::string error;
    ASSERT_TRUE(ParseScenario(std::string(R"({"steps": [
        {"at": 0, "action": "raise", "class": ")") + kClassText + R"(", "id": 5},
        {"at": 600000, "action": "clear", "class": ")" + kClassText + R"(", "id": 5}]})",
                              sc, error))
        << error;
    ScenarioRunner runner(service, sc);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(runner.Start());
        ASSERT_TRUE(ZtTest::WaitFor([&] { return runner.StepsPlayed() == 1; }));
        auto t0 = std::chrono::steady_clock::now();
        runner.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
        EXPECT_EQ(runner.StepsPlayed(), 1u);
        EXPECT_EQ(runner.PassesDone(), 0u);
    }
    ASSERT_EQ(service->ActiveAlarms().size(), 1u);  // raised twice, listed once
    EXPECT_EQ(service->Log().size(), 2u);
}

}  // namespace
