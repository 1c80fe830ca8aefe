// The command line of zt-eventlog: bad input gives a clear message and exit
// status 2 before anything is connected, never a crash; help and the
// reference come from the same definitions.
#include <fstream>

#include "ToolFixture.h"

namespace {

using ZtTest::RunTool;

struct BadLine {
    std::vector<std::string> args;
    const char* message;  // part of what stderr must say
};

TEST(ToolCommandLine, BadInputIsAUsageError) {
    const char* cls = ZtTest::kAxesClass;
    const std::vector<BadLine> table = {
        {{}, "subcommand is required"},
        {{"nonsense"}, "unknown subcommand 'nonsense'"},
        {{"log", "-n", "abc"}, "--count"},
        {{"log", "--bogus"}, "--bogus"},
        {{"--lang", "xx", "active"}, "--lang takes"},
        {{"--router", "nohost", "active"}, "--router takes host:port"},
        {{"--router", "h:99999", "active"}, "--router takes host:port"},
        {{"--color", "pink", "active"}, "--color"},
        {{"--timeout", "0", "active"}, "--timeout"},
        {{"symbol"}, "subcommand is required"},
        {{"file", "get"}, "path is required"},
        {{"confirm"}, "say which alarms"},
        {{"confirm", "--all", "--filter", "id = 1"}, "--all selects every alarm"},
        {{"confirm", cls}, "give the alarm as CLASS ID"},
        {{"confirm", "not-a-guid", "10"}, "takes a GUID"},
        {{"confirm", cls, "x"}, "takes a number"},
        {{"clear", "--all", "--before", "yesterday"}, "--before takes a time"},
        {{"clear", "--filter", "severity >="}, "column 12: expected a value after '>='"},
        {{"clear", "--filter", "severity >= 7"}, "column 13"},
        {{"clear", "--filter", "source ~ \"Axis"}, "no closing quote"},
        {{"clear", "--filter", "(id = 1"}, "never closed"},
        {{"clear", "--filter", "foo = 3"}, "unknown field 'foo'"},
        {{"log", "--filter", "id = 1)"}, "no matching '('"},
        {{"export", "x.csv", "--filter", "active = 1"}, "compared with true or false"},
        {{"export", "x.csv", "--delimiter", ";;"}, "--delimiter takes one character"},
        {{"export", "x.csv", "--csv-lang", "klingon"}, "--csv-lang takes"},
        {{"send", "--class", cls}, "--id is required"},
        {{"send", "--class", "{123}", "--id", "1"}, "takes a GUID"},
        {{"send", "--class", cls, "--id", "4294967296"}, "at most 4294967295"},
        {{"send", "--class", cls, "--id", "1", "--severity", "loud"}, "--severity takes"},
        {{"send", "--class", cls, "--id", "1", "-a", "uint8:300"}, "type uint8"},
        {{"send", "--class", cls, "--id", "1", "-a", "int16:-40000"}, "type int16"},
        {{"send", "--class", cls, "--id", "1", "-a", "double:abc"}, "type double"},
        {{"send", "--class", cls, "--id", "1", "-a", "bool:maybe"}, "type bool"},
        {{"send", "--class", cls, "--id", "1", "-a", "wchar:x"}, "cannot be sent"},
        {{"send", "--class", cls, "--id", "1", "--json", "{\"a\":"}, "--json takes JSON text"},
        {{"send", "--class", cls, "--id", "1", "--source-id", "-1"}, "--source-id takes a number"},
        {{"text", cls}, "id is required"},
        {{"text", cls, "10", "--qualifier", "q"}, "--qualifier takes a number"},
        {{"watch", "--heartbeat", "5"}, "--heartbeat"},
        {{"demo", "--speed", "0"}, "--speed"},
    };
    for (const auto& row : table) {
        std::string line;
        for (const auto& a : row.args) line += a + " ";
        const ZtTest::ToolRun r = RunTool(row.args);
        EXPECT_EQ(r.rc, 2) << line << "\n" << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << line << "\nstderr: " << r.err;
        EXPECT_TRUE(r.out.empty()) << line << "\nstdout: " << r.out;
    }
}

TEST(ToolCommandLine, HelpVersionAndReference) {
    const ZtTest::ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.rc, 0);
    for (const char* sub : {"watch", "demo", "active", "log", "confirm", "clear", "clear-log", "send", "export", "text",
                            "class-name", "causes", "details", "resources", "routes", "symbol", "file", "info", "state",
                            "config-mode", "restart"})
        EXPECT_NE(help.out.find(sub), std::string::npos) << sub;
    EXPECT_EQ(help.out.find("help-markdown"), std::string::npos) << "the reference command stays hidden";
    const ZtTest::ToolRun sub = RunTool({"confirm", "--help"});
    EXPECT_EQ(sub.rc, 0);
    EXPECT_NE(sub.out.find("--before"), std::string::npos);
    const ZtTest::ToolRun version = RunTool({"--version"});
    EXPECT_EQ(version.rc, 0);
    EXPECT_NE(version.out.find("zt-eventlog 2.1"), std::string::npos);
    // Every subcommand, nested ones included, has its section in the reference.
    const std::string md = ZtEventLog::HelpMarkdown();
    for (const char* section : {"## zt-eventlog watch", "## zt-eventlog symbol write", "## zt-eventlog file exists",
                                "## zt-eventlog resources clear-cache"})
        EXPECT_NE(md.find(section), std::string::npos) << section;
}

TEST(ToolCommandLine, ReferenceDocumentIsUpToDate) {
    std::ifstream file(ZT_TOOL_REFERENCE, std::ios::binary);
    ASSERT_TRUE(file) << ZT_TOOL_REFERENCE;
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_TRUE(text.str() == ZtEventLog::HelpMarkdown()) << "run scripts/gen-docs to bring docs/zt-eventlog.md up to date";
}

}  // namespace
