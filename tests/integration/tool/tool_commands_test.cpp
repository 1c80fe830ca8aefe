// Every subcommand of zt-eventlog end to end against the in-process
// simulator, and the JSON lines of --json parsed back.
#include <rapidjson/document.h>

#include <fstream>

#include "ToolFixture.h"

namespace {

using ZtTest::RunTool;
using ZtTest::ToolRun;

struct Step {
    std::vector<std::string> args;
    int rc;
    const char* out;  // part of stdout ("" for none expected)
    const char* err;  // part of stderr ("" for none expected)
};

void RunSteps(const std::vector<Step>& steps) {
    for (const auto& s : steps) {
        std::string line;
        for (const auto& a : s.args) line += a + " ";
        const ToolRun r = RunTool(s.args);
        EXPECT_EQ(r.rc, s.rc) << line << "\nstdout: " << r.out << "\nstderr: " << r.err;
        EXPECT_NE(r.out.find(s.out), std::string::npos) << line << "\nstdout: " << r.out;
        EXPECT_NE(r.err.find(s.err), std::string::npos) << line << "\nstderr: " << r.err;
    }
}

std::vector<rapidjson::Document> JsonLines(const std::string& text) {
    std::vector<rapidjson::Document> docs;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.empty()) continue;
        rapidjson::Document d;
        d.Parse(line.c_str());
        EXPECT_FALSE(d.HasParseError()) << line;
        EXPECT_TRUE(d.IsObject()) << line;
        docs.push_back(std::move(d));
    }
    return docs;
}

class ToolCommands : public ZtTest::ToolFixture {};

TEST_F(ToolCommands, EventLoggerSubcommands) {
    const std::string cls = ZtTest::kAxesClass;
    ASSERT_EQ(Events()->RaiseAlarm(ZtTest::AxisAlarm(10, "Z")), ZtSim::EventResult::Ok);
    ASSERT_EQ(Events()->RaiseAlarm(ZtTest::AxisAlarm(11, "Y")), ZtSim::EventResult::Ok);
    RunSteps({
        {{"active"}, 0, "Axis Z: following error 0.47 mm (limit 0.25 mm)", ""},
        {{"active", "--lang", "de"}, 0, "Achse Y hat Software-Endschalter + bei 612.5 mm erreicht", ""},
        {{"-t", "Line2-PLC", "active"}, 0, "no active alarms", ""},
        {{"-t", "NoSuchRoute", "active"}, 1, "", "0x98110749 ZT_E_VDL_TARGET_NOT_FOUND"},
        {{"log", "-n", "1"}, 0, "Axis Y reached", ""},
        {{"log", "--filter", "severity >= error", "--oldest-first"}, 0, "Machine.Axes.Z", ""},
        {{"text", cls, "10", "-a", "bstr:Q", "-a", "double:1.5", "-a", "double:0.2"}, 0,
         "Axis Q: following error 1.50 mm (limit 0.20 mm)", ""},
        {{"class-name", cls, "--lang", "de"}, 0, "Achsen", ""},
        {{"causes", cls, "10"}, 0, "Mechanical load too high", ""},
        {{"details", cls, "10", "--lang", "de"}, 0, "Antrieb", ""},
        {{"causes", cls, "99"}, 1, "", "no event of class"},
        {{"confirm", cls, "11"}, 1, "", "no alarm confirmed"},
        {{"confirm", cls, "10"}, 0, "confirmed", ""},
        {{"clear", "--filter", "source ~ \"Axes.Y\""}, 0, "cleared", ""},
        {{"clear", "--all", "--before", "2000-01-01"}, 1, "", "no alarm cleared"},
        {{"clear", "--all", "--reset"}, 0, "cleared", ""},
        {{"active"}, 0, "no active alarms", ""},
        {{"send", "--class", cls, "--id", "12", "--severity", "warning", "-a", "bstr:W", "--source-id", "7",
          "--source-name", "Tool", "--json", "{\"from\":\"test\"}"},
         0, "sent", ""},
        {{"log", "-n", "1"}, 0, "Axis W referenced", ""},
        {{"export", "missing/x.csv"}, 1, "", "cannot export to missing/x.csv"},
        {{"file", "mkdir", "logs"}, 0, "", ""},
        {{"export", "logs/x.csv", "--delimiter", ";", "-n", "2"}, 0, "exported", ""},
        {{"file", "get", "logs/x.csv"}, 0, "Seq;Type;Severity", ""},
        {{"resources", "load", "nothing.json"}, 1, "", "cannot load nothing.json"},
        {{"resources", "clear-cache"}, 0, "cache cleared", ""},
        {{"clear-log"}, 0, "log cleared", ""},
    });
}

TEST_F(ToolCommands, TargetAccessSubcommands) {
    const std::string local = ::testing::TempDir() + "/tool_put.txt";
    {
        std::ofstream f(local);
        f << "line one\nline two\n";
    }
    RunSteps({
        {{"routes"}, 0, "Line2-PLC", ""},
        {{"info"}, 0, "local-plc", ""},
        {{"state"}, 0, "run (state 5", ""},
        {{"-t", "Press", "state"}, 0, "run", ""},
        {{"symbol", "read", "MAIN.nInt", "MAIN.nSint"}, 0, "MAIN.nInt = -1234\nMAIN.nSint = -1", ""},
        {{"symbol", "write", "MAIN.nDint", "1234"}, 0, "", ""},
        {{"symbol", "read", "MAIN.nDint"}, 0, "1234", ""},
        {{"symbol", "write", "MAIN.nDint", "fast"}, 2, "", "is not one"},
        {{"symbol", "write", "MAIN.nUsint", "256"}, 1, "", "cannot write MAIN.nUsint"},
        {{"symbol", "info", "MAIN.nInt"}, 0, "signed 16-bit", ""},
        {{"symbol", "read", "MAIN.nothing"}, 1, "", "cannot read MAIN.nothing"},
        {{"file", "put", local, "put.txt"}, 0, "", ""},
        {{"file", "get", "put.txt"}, 0, "line one\nline two\n", ""},
        {{"file", "exists", "put.txt"}, 0, "yes", ""},
        {{"file", "rm", "put.txt"}, 0, "", ""},
        {{"file", "exists", "put.txt"}, 1, "no", ""},
        {{"file", "rm", "put.txt"}, 1, "", "0x9811070C ZT_E_VDL_NOT_FOUND"},
        {{"file", "get", "../../etc/passwd"}, 1, "", "cannot read"},
        {{"config-mode"}, 0, "in configuration mode", ""},
        {{"state"}, 0, "config", ""},
        {{"restart"}, 0, "running", ""},
    });
}

TEST_F(ToolCommands, JsonLinesParseBack) {
    ASSERT_EQ(Events()->RaiseAlarm(ZtTest::AxisAlarm(10, "Z")), ZtSim::EventResult::Ok);
    const ToolRun active = RunTool({"--json", "--lang", "en,de", "active"});
    ASSERT_EQ(active.rc, 0) << active.err;
    auto docs = JsonLines(active.out);
    ASSERT_EQ(docs.size(), 1u);
    const auto& a = docs[0];
    EXPECT_STREQ(a["kind"].GetString(), "alarm");
    EXPECT_STREQ(a["class"].GetString(), ZtTest::kAxesClass);
    EXPECT_EQ(a["id"].GetUint(), 10u);
    EXPECT_EQ(a["qualifier"].GetUint(), 3u);
    EXPECT_EQ(a["severity"].GetInt(), 3);
    EXPECT_TRUE(a["state"]["raised"].GetBool());
    EXPECT_STREQ(a["state"]["confirmation"].GetString(), "waiting");
    EXPECT_GT(a["raised"]["fileTime"].GetUint64(), 0u);
    EXPECT_EQ(std::string(a["raised"]["utc"].GetString()).back(), 'Z');
    EXPECT_TRUE(a["cleared"].IsNull());
    EXPECT_EQ(a["source"]["id"].GetUint(), 13u);
    EXPECT_STREQ(a["source"]["name"].GetString(), "Machine.Axes.Z");
    ASSERT_EQ(a["arguments"].Size(), 3u);
    EXPECT_STREQ(a["arguments"][0]["type"].GetString(), "bstr");
    EXPECT_DOUBLE_EQ(a["arguments"][1]["value"].GetDouble(), 0.473);
    EXPECT_STREQ(a["json"]["axis"].GetString(), "Z");
    EXPECT_STREQ(a["texts"]["1031"].GetString(), "Achse Z: Schleppfehler 0.47 mm (Grenze 0.25 mm)");
    EXPECT_STREQ(a["className"].GetString(), "Axes");

    const ToolRun log = RunTool({"--json", "log", "-n", "5"});
    ASSERT_EQ(log.rc, 0) << log.err;
    docs = JsonLines(log.out);
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_STREQ(docs[0]["kind"].GetString(), "logged");
    EXPECT_TRUE(docs[0]["state"]["active"].GetBool());
    EXPECT_TRUE(docs[0]["state"]["withConfirmation"].GetBool());

    const ToolRun routes = RunTool({"--json", "routes"});
    docs = JsonLines(routes.out);
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_STREQ(docs[0]["netId"].GetString(), "5.12.34.56.1.1");
    const ToolRun state = RunTool({"--json", "state"});
    docs = JsonLines(state.out);
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_STREQ(docs[0]["stateName"].GetString(), "run");
}

}  // namespace
