// Texts, resource files and the CSV export of the simulated event logger
// service, through the router adapter.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "EventLoggerFixture.h"
#include "StreamWriter.h"
#include "ZtSim/FileService.h"
#include "ZtSim/Scenario.h"

namespace {

using namespace ZtSim;
using ZtTest::Le32;
using ZtTest::StreamWriter;
using ZtTest::Wire;

const EventGuid kAxes{0x3B0C1F6A, 0x55D2, 0x4E8B, {0x9A, 0x41, 0x0D, 0x2E, 0x6C, 0x7B, 0x18, 0xF3}};

const char* kResources = R"({
  "classes": [{
    "class": "{3B0C1F6A-55D2-4E8B-9A41-0D2E6C7B18F3}",
    "name": {"1033": "Axes", "1031": "Achsen"},
    "details": [{"name": "Area", "text": {"1033": "Motion", "1031": "Bewegung"}, "comment": ""}],
    "events": [
      {"id": 17, "text": {"1033": "{0} {1} {2} {3} {4} {5} {6} {7} {8} {9:.1f} {10:.2f} {11}{12} {13}/{14}",
                          "1031": "Achse {13}: {10:.3f} mm, {0}"},
       "causeRemedy": [{"id": "1", "cause": {"1033": "Load too high", "1031": "Last zu hoch"},
                        "remedy": {"1033": "Reduce the load", "1031": "Last verringern"}},
                       {"id": "2", "cause": "Brake", "remedy": {"1033": "Check \"brake\", then go on"}}],
       "details": [{"name": "Axis", "text": "X", "comment": {"1033": "first"}}]},
      {"id": 18, "text": "Axis {0}; limit, \"soft\"\nreached"}
    ]
  }]
})";

std::vector<uint8_t> TextReplyBytes(uint16_t type, uint32_t lang, const std::string& text) {
    Wire w;
    w.U32(1).U16(type).U16(0).U32(static_cast<uint32_t>(16 + text.size() + 1));
    w.U32(0).U32(lang).U32(16).U32(static_cast<uint32_t>(text.size() + 1)).Text(text);
    return w.bytes;
}

std::vector<uint8_t> ListReplyBytes(uint16_t type, uint32_t lang, const std::vector<std::array<std::string, 3>>& list) {
    Wire body;
    for (const auto& e : list)
        for (const auto& t : e) body.Text(t);
    Wire w;
    w.U32(1).U16(type).U16(0).U32(static_cast<uint32_t>(16 + body.bytes.size()));
    w.U32(0).U32(lang).U32(static_cast<uint32_t>(list.size())).U32(16).Put(body.bytes.data(), body.bytes.size());
    return w.bytes;
}

std::vector<uint8_t> QueryFrame(uint16_t type, uint32_t lang, uint32_t id) {
    Wire p;
    p.U16(0).U16(0).U32(lang).Guid(kAxes);
    if (type == kRequestCauseRemedy || type == kRequestEventDetails) p.U32(id);
    return ZtTest::Frame(type, p.bytes);
}

std::vector<uint8_t> MessageQuery(uint32_t lang, uint32_t id, const std::vector<EventArgument>& args) {
    Wire types, data;
    for (const auto& a : args) {
        types.U16(a.type);
        data.Put(a.bytes.data(), a.bytes.size());
    }
    const auto t = static_cast<uint32_t>(types.bytes.size()), d = static_cast<uint32_t>(data.bytes.size());
    Wire p;
    p.U16(0).U16(0).U32(lang).Guid(kAxes).U32(id).U32(0);
    p.U32(static_cast<uint32_t>(args.size())).U32(52).U32(t).U32(52 + t).U32(d);
    p.Put(types.bytes.data(), t).Put(data.bytes.data(), d);
    return ZtTest::Frame(kRequestMessageText, p.bytes);
}

std::vector<uint8_t> PathText(const std::string& path) { return Wire().Text(path).bytes; }

class EventTexts : public ZtTest::EventLoggerFixture {
protected:
    void SetUp() override {
        EventLoggerFixture::SetUp();
        root = sim->Files().Root();
        std::filesystem::create_directories(root / "res");
        WriteText(root / "res" / "axes.json", kResources);
    }
    static void WriteText(const std::filesystem::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    static std::string ReadText(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    uint32_t ReadWrite(uint32_t group, uint32_t offset, std::vector<uint8_t> in, std::vector<uint8_t>* out = nullptr) {
        std::vector<uint8_t> buf(65536);
        unsigned long got = 0;
        uint32_t rc = adapter.VdlSyncReadWriteReq(kEventLoggerPort, group, offset, buf.size(), buf.data(), in.size(),
                                                  in.data(), got);
        buf.resize(rc == 0 ? got : 0);
        if (out) *out = buf;
        return rc;
    }
    std::vector<uint8_t> Query(std::vector<uint8_t> frame) {
        std::vector<uint8_t> out;
        EXPECT_EQ(ReadWrite(kQueryGroup, 0, std::move(frame), &out), 0u);
        return out;
    }
    uint32_t Load(const std::string& path) { return ReadWrite(kResourceGroup, kLoadResourceOffset, PathText(path)); }
    uint32_t Unload(const std::string& path) {
        return ReadWrite(kResourceGroup, kUnloadResourceOffset, PathText(path));
    }
    std::filesystem::path root;
};

TEST_F(EventTexts, MessageTextsInTwoLanguagesWithEveryArgumentType) {
    ASSERT_EQ(Load("res/axes.json"), 0u);
    using A = EventArgument;
    const std::vector<A> args = {A::Boolean(false), A::Int8(-8),  A::Int16(-16),  A::Int32(-32),    A::Int64(-64),
                                 A::UInt8(8),       A::UInt16(16), A::UInt32(32), A::UInt64(64),    A::Float(1.25f),
                                 A::Double(2.125),  A::Char('c'),  A::WChar(u'\u00df'), A::Bstr("X"), A::String("")};
    EXPECT_EQ(Query(MessageQuery(1033, 17, args)),
              TextReplyBytes(100, 1033, "false -8 -16 -32 -64 8 16 32 64 1.2 2.12 c\xC3\x9F X/"));
    EXPECT_EQ(Query(MessageQuery(1031, 17, args)), TextReplyBytes(100, 1031, "Achse X: 2.125 mm, false"));
    // French is not there: English, and the reply says so.
    EXPECT_EQ(Query(MessageQuery(1036, 17, args)).at(16), 0x09);  // 1033 = 0x0409
    // An empty text has no bytes: only as the last argument is it told from the next one.
    // Fewer arguments than placeholders: those stay as written.
    EXPECT_EQ(Query(MessageQuery(1031, 17, {A::Bstr("on")})), TextReplyBytes(100, 1031, "Achse {13}: {10:.3f} mm, on"));
    // Unknown events and classes.
    EXPECT_EQ(Query(MessageQuery(1031, 99, {})),
              TextReplyBytes(100, 1033, "event 99 of class {3B0C1F6A-55D2-4E8B-9A41-0D2E6C7B18F3}"));
    EXPECT_EQ(Query(QueryFrame(kRequestClassName, 1031, 0)), TextReplyBytes(102, 1031, "Achsen"));
    ASSERT_EQ(Unload("res/axes.json"), 0u);
    EXPECT_EQ(Query(QueryFrame(kRequestClassName, 1031, 0)),
              TextReplyBytes(102, 1033, "{3B0C1F6A-55D2-4E8B-9A41-0D2E6C7B18F3}"));
    // Argument blocks that do not fit the query are refused.
    auto bad = MessageQuery(1033, 17, {A::UInt32(1)});
    bad[12 + 40] = 200;  // types size beyond the payload
    EXPECT_EQ(ReadWrite(kQueryGroup, 0, bad), 1798u);
}

TEST_F(EventTexts, CauseRemedyAndDetailLists) {
    ASSERT_EQ(Load("res/axes.json"), 0u);
    EXPECT_EQ(Query(QueryFrame(kRequestCauseRemedy, 1031, 17)),
              ListReplyBytes(104, 1031, {{"1", "Last zu hoch", "Last verringern"},
                                         {"2", "Brake", "Check \"brake\", then go on"}}));
    EXPECT_EQ(Query(QueryFrame(kRequestClassDetails, 1033, 0)), ListReplyBytes(106, 1033, {{"Area", "Motion", ""}}));
    EXPECT_EQ(Query(QueryFrame(kRequestEventDetails, 1031, 17)), ListReplyBytes(108, 1031, {{"Axis", "X", "first"}}));
    EXPECT_EQ(Query(QueryFrame(kRequestEventDetails, 1031, 18)), ListReplyBytes(108, 1031, {}));
}

TEST_F(EventTexts, ResourceFilesLoadUnloadAndCache) {
    struct Case {
        const char* what;
        uint32_t offset;
        std::string path;
        uint32_t error;
    } cases[] = {
        {"missing file", kLoadResourceOffset, "res/none.json", 1804},
        {"outside the sandbox", kLoadResourceOffset, "../axes.json", 1803},
        {"absolute path", kLoadResourceOffset, "/etc/passwd", 1803},
        {"not loaded", kUnloadResourceOffset, "res/axes.json", 1804},
        {"invalid file", kLoadResourceOffset, "res/bad.json", 1798},
        {"unknown member", kLoadResourceOffset, "res/odd.json", 1798},
        {"loads", kLoadResourceOffset, "res/axes.json", 0},
        {"loads again", kLoadResourceOffset, "res//axes.json", 0},
        {"unloads", kUnloadResourceOffset, "res/axes.json", 0},
        {"once", kUnloadResourceOffset, "res/axes.json", 1804},
    };
    WriteText(root / "res" / "bad.json", "{\"classes\": [");
    WriteText(root / "res" / "odd.json", "{\"classes\": [], \"colour\": 1}");
    for (const auto& c : cases)
        EXPECT_EQ(ReadWrite(kResourceGroup, c.offset, PathText(c.path)), c.error) << c.what;
    EXPECT_TRUE(service->Texts().Loaded().empty());

    // The cache holds a file's texts until it is cleared.
    ASSERT_EQ(Load("res/axes.json"), 0u);
    std::string changed = kResources;
    changed.replace(changed.find("Achsen"), 6, "Antriebe");
    WriteText(root / "res" / "axes.json", changed);
    EXPECT_EQ(Query(QueryFrame(kRequestClassName, 1031, 0)), TextReplyBytes(102, 1031, "Achsen"));
    ASSERT_EQ(ReadWrite(kResourceGroup, kClearCacheOffset, {}), 0u);
    EXPECT_EQ(Query(QueryFrame(kRequestClassName, 1031, 0)), TextReplyBytes(102, 1031, "Antriebe"));
}

TEST_F(EventTexts, ExportWritesCsvIntoTheSandbox) {
    ASSERT_EQ(Load("res/axes.json"), 0u);
    service->SetClock([] { return 116444736000000000ull + 10000000ull * 86400; });  // 1970-01-02
    EventDescription limit;
    limit.eventClass = kAxes;
    limit.eventId = 18;
    limit.severity = 3;
    limit.source.id = 4;
    limit.source.name = "Axis;X";
    limit.jsonAttribute = R"({"a":"b"})";
    limit.arguments = {EventArgument::Bstr("X")};
    ASSERT_EQ(service->RaiseAlarm(limit), EventResult::Ok);
    EventDescription named = limit;
    named.eventId = 17;
    named.source = {};
    named.jsonAttribute.clear();
    named.arguments = {EventArgument::Boolean(true)};
    ASSERT_EQ(service->SendMessage(named), EventResult::Ok);

    auto exportTo = [&](const std::string& file, const std::function<void(StreamWriter&)>& settings) {
        StreamWriter w;
        w.Obj().Key("handle").U16(9).Key("fileName").Str(file);
        if (settings) settings(w.Key("settings"));
        w.EndObj();
        std::vector<uint8_t> reply;
        EXPECT_EQ(ReadWrite(kQueryGroup, 0, w.Stream(kRequestExport), &reply), 0u);
        return reply.size() >= 24 ? Le32(reply.data() + 16) : 0xFFFFFFFFu;
    };
    // German, ';', a header line, oldest first.
    ASSERT_EQ(exportTo("out/de.csv", nullptr), kResultNoneFound);  // no folder "out"
    std::filesystem::create_directory(root / "out");
    ASSERT_EQ(exportTo("out/de.csv",
                       [](StreamWriter& w) {
                           w.Obj().Key("order").U16(1).Key("csv").Obj().Key("delimiter").Str(";");
                           w.Key("header").Bool(true).Key("langId").I32(1031).EndObj().EndObj();
                       }),
              0u);
    const std::string t = "1970-01-02T00:00:00.0000000Z";
    EXPECT_EQ(ReadText(root / "out" / "de.csv"),
              "Seq;Type;Severity;Class;ClassName;EventId;Qualifier;SourceId;SourceName;Raised;Cleared;Confirmed;"
              "Disposed;ConfirmationState;Text;Json\r\n"
              "1;Alarm;3;{3B0C1F6A-55D2-4E8B-9A41-0D2E6C7B18F3};Achsen;18;0;4;\"Axis;X\";" + t +
                  ";;;;0;\"Axis X; limit, \"\"soft\"\"\nreached\";\"{\"\"a\"\":\"\"b\"\"}\"\r\n"
              "2;Message;3;{3B0C1F6A-55D2-4E8B-9A41-0D2E6C7B18F3};Achsen;17;0;;;" + t +
                  ";;;;0;Achse {13}: {10:.3f} mm, true;\r\n");
    // Defaults: ',', a header, English, newest first; at most one event.
    ASSERT_EQ(exportTo("out/en.csv", [](StreamWriter& w) { w.Obj().Key("maxCount").U32(1).EndObj(); }), 0u);
    const std::string en = ReadText(root / "out" / "en.csv");
    EXPECT_EQ(en.substr(en.find("\r\n") + 2),
              "2,Message,3,{3B0C1F6A-55D2-4E8B-9A41-0D2E6C7B18F3},Axes,17,0,,," + t +
                  ",,,,0,true {1} {2} {3} {4} {5} {6} {7} {8} {9:.1f} {10:.2f} {11}{12} {13}/{14},\r\n");
    // Paths that leave the sandbox are refused, and nothing is written.
    EXPECT_EQ(exportTo("../escape.csv", nullptr), kResultRefused);
    EXPECT_EQ(exportTo("out", nullptr), kResultRefused);
    EXPECT_FALSE(std::filesystem::exists(root.parent_path() / "escape.csv"));
}

// Every event of the demo scenario and of the bundled filler station has its
// text in English and German, every placeholder filled.
TEST(DemoTexts, EveryScenarioEventHasItsTexts) {
    struct Case {
        const char* scenario;
        const char* resources;  // empty: the built-in set
    } cases[] = {{ZT_SCENARIO_DIR "/demo_machine.json", ZT_SIM_DATA_DIR "/demo_machine.resources.json"},
                 {ZT_SCENARIO_DIR "/filler_station.json", ""}};
    for (const auto& c : cases) {
        Scenario sc;
        std::string error;
        ASSERT_TRUE(LoadScenarioFile(c.scenario, sc, error)) << error;
        ResourceCatalog texts;
        if (*c.resources) {
            ASSERT_EQ(texts.Load(c.resources, error), 0u) << error;
        }
        for (const auto& step : sc.steps) {
            for (uint32_t lang : {kLangEnglish, kLangGerman}) {
                auto t = texts.MessageText(step.event.Key(), step.event.arguments, lang);
                EXPECT_EQ(t.langId, lang) << c.scenario << " " << step.event.eventId;
                EXPECT_EQ(t.text.find('{'), std::string::npos) << t.text;
                EXPECT_EQ(texts.ClassName(step.event.eventClass, lang).langId, lang) << step.event.eventId;
            }
        }
    }
}

}  // namespace
