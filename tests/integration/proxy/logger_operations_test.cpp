// Every operation of the event logger object against the simulated
// controller: its effect there, the request where the logger's own
// conversions show (flags, absent filters, texts), and the refusals.
#include "CZtEventLogger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "LoggerFixture.h"
#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComVariant.h"
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"
#include "ZtSim/FileService.h"
#include "ZtSim/RequestStream.h"

namespace {

using namespace ZtTest;
using ZtAtlCom::E_INVALIDARG;
using ZtAtlCom::E_POINTER;
using ZtAtlCom::S_OK;

constexpr HRESULT kInvalid = ZtAtlCom::MakeHResult(0x9811070Bu);
// The demo machine's axis class, with texts in English and German.
const ZtSim::EventGuid kAxes{0x4A6F1C2E, 0x8B3D, 0x4F51, {0x9C, 0x07, 0x2E, 0x5B, 0x7A, 0x9D, 0x1F, 0x30}};

template <class I>
CComPtr<I> MakeFilterObject(const ZtAtlCom::CLSID& clsid) {
    CComPtr<I> p;
    EXPECT_EQ(ZtEventLoggerVdlFilterCreateInstance(clsid, ZtAtlCom::iid_of<I>(), reinterpret_cast<void**>(&p.p)),
              S_OK);
    return p;
}

// An object that is no serialisable provider: as a filter it counts as none.
// The logger only ever asks a filter for IZtStreamSerializableProvider.
class ForeignObject final : public IUnknown {
public:
    HRESULT QueryInterface(const ZtAtlCom::IID&, void** p) override {
        *p = nullptr;
        return ZtAtlCom::E_NOINTERFACE;
    }
    ZtAtlCom::ULONG AddRef() override { return 2; }
    ZtAtlCom::ULONG Release() override { return 1; }
    IZtEventFilter* AsFilter() { return reinterpret_cast<IZtEventFilter*>(static_cast<IUnknown*>(this)); }
};

class LoggerOperations : public LoggerFixture {
protected:
    void SetUp() override {
        LoggerFixture::SetUp();
        logger = NewLogger();
        Advise(logger, &sink);
        ASSERT_EQ(logger->Connect(const_cast<char*>("localhost")), S_OK);
    }
    void TearDown() override {
        logger->Disconnect();
        logger->Release();
        LoggerFixture::TearDown();
    }
    // Requests to (group, offset) are recorded and refused with 1793 from now on.
    void Record(uint32_t group, uint32_t offset) {
        service->SetHandler(group, offset, [this](ZtSim::Target&, const ZtSim::Request& r) {
            std::lock_guard<std::mutex> lk(mutex);
            seen.emplace_back(r.data.begin(), r.data.end());
            return ZtSim::Reply::Error(1793);
        });
    }
    ZtSim::StreamValue LastStream() {
        std::lock_guard<std::mutex> lk(mutex);
        ZtSim::RequestStream stream;
        EXPECT_FALSE(seen.empty());
        if (!seen.empty()) {
            EXPECT_EQ(ZtSim::DecodeRequestStream(seen.back(), stream), "");
        }
        return stream.body;
    }
    size_t Seen() {
        std::lock_guard<std::mutex> lk(mutex);
        return seen.size();
    }
    std::map<uint32_t, uint16_t> Listed() {
        std::map<uint32_t, uint16_t> out;
        for (const auto& a : service->ActiveAlarms()) out[a.event.eventId] = a.state.confirmationState;
        return out;
    }
    std::filesystem::path Sandbox() { return sim->Files().Root(); }

    IZtEventLogger3* logger = nullptr;
    RecordingSink sink;
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> seen;
};

TEST_F(LoggerOperations, ConfirmAndClearAllTakeOnlyMinusOneAsTrue) {
    struct Case {
        VARIANT_BOOL flag;
        std::map<uint32_t, uint16_t> after;  // id 1 waits for confirmation, id 2 does not
    } cases[] = {
        {ZtAtlCom::VARIANT_TRUE, {}},
        {1, {{1, 2}}},
        {0, {{1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flag);
        service->ClearAlarmList();
        service->RaiseAlarm(LoggerEvent(1, true));
        service->RaiseAlarm(LoggerEvent(2));
        EXPECT_EQ(logger->ClearAllAlarms(c.flag), S_OK);
        EXPECT_EQ(Listed(), c.after);
    }
    service->ClearAlarmList();
    service->RaiseAlarm(LoggerEvent(3, true));
    EXPECT_EQ(logger->ConfirmAllAlarms(), S_OK);
    EXPECT_EQ(Listed(), (std::map<uint32_t, uint16_t>{{3, 3}}));
}

TEST_F(LoggerOperations, ConfirmAndClearByFilterAndTime) {
    auto filter = MakeFilterObject<IZtEventFilter>(CLSID_ZtEventFilter);
    filter->AddEventIdExpression(2, FilterGreaterOrEqual);
    for (uint32_t id = 1; id <= 3; ++id) service->RaiseAlarm(LoggerEvent(id, true));
    EXPECT_EQ(logger->ConfirmAlarms(0, filter), S_OK);
    EXPECT_EQ(Listed(), (std::map<uint32_t, uint16_t>{{1, 2}, {2, 3}, {3, 3}}));

    // A time before every raise selects none: the service's "none matched".
    EXPECT_EQ(logger->ConfirmAlarms(1, nullptr), ZtAtlCom::MakeHResult(0x9811070Cu));
    // A filter that is no provider counts as none: every alarm matches.
    ForeignObject foreign;
    EXPECT_EQ(logger->ClearAlarms(0, 1, foreign.AsFilter()), S_OK);
    EXPECT_EQ(Listed(), (std::map<uint32_t, uint16_t>{{1, 2}}));  // 1 still waits (no reset)
    EXPECT_EQ(logger->ClearAlarms(0, ZtAtlCom::VARIANT_TRUE, nullptr), S_OK);
    EXPECT_TRUE(Listed().empty());

    // What the logger puts into the streams itself.
    Record(100, 0);
    struct Case {
        std::function<HRESULT()> call;
        std::optional<bool> reset;
        std::optional<uint64_t> timeStamp;
        bool hasFilter;
    } cases[] = {
        {[&] { return logger->ConfirmAlarms(0, nullptr); }, std::nullopt, std::nullopt, false},
        {[&] { return logger->ConfirmAlarms(0x01DA0000000000, filter); }, std::nullopt, 0x01DA0000000000, true},
        {[&] { return logger->ClearAlarms(0, 1, nullptr); }, false, std::nullopt, false},
        {[&] { return logger->ClearAlarms(0, -1, foreign.AsFilter()); }, true, std::nullopt, false},
        {[&] { return logger->ClearAlarms(-1, 0, filter); }, false, UINT64_MAX, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), ZtAtlCom::MakeHResult(0x98110701u));  // the recorder's 1793
        ZtSim::StreamValue body = LastStream();
        ASSERT_EQ(body.kind, ZtSim::StreamValue::Kind::Object);
        EXPECT_TRUE(body.Find("handle"));
        const ZtSim::StreamValue* reset = body.Find("bResetConfirmation");
        EXPECT_EQ(reset ? reset->Boolean() : std::nullopt, c.reset);
        const ZtSim::StreamValue* time = body.Find("timeStamp");
        EXPECT_EQ(time ? time->Unsigned() : std::nullopt, c.timeStamp);
        EXPECT_EQ(body.Find("filter") != nullptr, c.hasFilter);
    }
}

TEST_F(LoggerOperations, InvalidFiltersAndSettingsSendNothing) {
    auto filter = MakeFilterObject<IZtEventFilter>(CLSID_ZtEventFilter);
    filter->AddLogicalOperator();  // an OR without operands
    auto settings = MakeFilterObject<IZtExportSettings>(CLSID_ZtExportSettings);
    settings->put_Order(static_cast<tagZtEventOrderEnum>(7));
    for (auto [group, offset] : {std::pair{100u, 0u}, {200u, 0u}, {500u, 0u}}) Record(group, offset);
    CComPtr<IZtLoggedEventCollection> events;
    EXPECT_EQ(logger->ConfirmAlarms(0, filter), kInvalid);
    EXPECT_EQ(logger->ClearAlarms(0, -1, filter), kInvalid);
    EXPECT_EQ(logger->GetLoggedEvents2(settings, &events.p), kInvalid);
    EXPECT_EQ(events.p, nullptr);
    EXPECT_EQ(logger->ExportLoggedEvents(const_cast<char*>("x.csv"), settings), kInvalid);
    EXPECT_EQ(Seen(), 0u);
    // Null settings: the request goes out without a settings key.
    EXPECT_EQ(logger->GetLoggedEvents2(nullptr, &events.p), ZtAtlCom::MakeHResult(0x98110701u));
    ASSERT_EQ(Seen(), 1u);
    EXPECT_EQ(LastStream().Find("settings"), nullptr);
}

// The ids of a logged-event collection, in its order.
std::vector<uint32_t> Ids(IZtLoggedEventCollection* events) {
    std::vector<uint32_t> ids;
    int count = 0;
    events->get_Count(&count);
    for (int i = 0; i < count; ++i) {
        CComPtr<IZtLoggedEvent> e;
        events->get_Item(i, &e.p);
        unsigned int id = 0;
        e->get_EventId(&id);
        ids.push_back(id);
    }
    return ids;
}

TEST_F(LoggerOperations, TheLogIsReadByCountAndBySettingsAndCleared) {
    for (uint32_t id = 1; id <= 6; ++id) service->SendMessage(LoggerEvent(id));
    CComPtr<IZtLoggedEventCollection> events;
    EXPECT_EQ(logger->GetLoggedEvents(3, nullptr), E_POINTER);
    ASSERT_EQ(logger->GetLoggedEvents(3, &events.p), S_OK);
    EXPECT_EQ(Ids(events), (std::vector<uint32_t>{6, 5, 4}));  // newest first

    auto settings = MakeFilterObject<IZtExportSettings>(CLSID_ZtExportSettings);
    auto filter = MakeFilterObject<IZtEventFilter>(CLSID_ZtEventFilter);
    filter->AddEventIdExpression(2, FilterGreater);
    settings->put_Filter(filter);
    settings->put_MaxCount(3);
    settings->put_Order(EventOrderOldestFirst);
    events = nullptr;
    ASSERT_EQ(logger->GetLoggedEvents2(settings, &events.p), S_OK);
    EXPECT_EQ(Ids(events), (std::vector<uint32_t>{3, 4, 5}));
    events = nullptr;
    ASSERT_EQ(logger->GetLoggedEvents2(nullptr, &events.p), S_OK);
    EXPECT_EQ(Ids(events).size(), 6u);

    // Texts of logged events kept after the logger is gone fail cleanly.
    CComPtr<IZtLoggedEvent> kept;
    events->get_Item(0, &kept.p);
    EXPECT_EQ(logger->ClearLoggedEvents(), S_OK);
    EXPECT_EQ(service->LoggedEventCount(), 0u);
    EXPECT_EQ(logger->Disconnect(), S_OK);
    EXPECT_EQ(logger->ClearLoggedEvents(), S_OK) << "also while disconnected";
    logger->Release();
    logger = NewLogger();
    ZtAtlCom::BSTR text = nullptr;
    EXPECT_EQ(kept->GetText(1033, &text), ZtAtlCom::MakeHResult(0x98110748u));
    EXPECT_EQ(text, nullptr);
}

TEST_F(LoggerOperations, TextsInTwoLanguagesFromALoadedResourceFile) {
    std::filesystem::copy_file(ZT_SIM_DATA_DIR "/demo_machine.resources.json", Sandbox() / "demo.json");
    EXPECT_EQ(logger->LoadResourceFile(nullptr), E_INVALIDARG);
    EXPECT_EQ(logger->LoadResourceFile(const_cast<char*>("missing.json")), ZtAtlCom::MakeHResult(0x9811070Cu));
    ASSERT_EQ(logger->LoadResourceFile(const_cast<char*>("demo.json")), S_OK);

    // An axis alarm with its arguments, taken from the event as a host would.
    ZtSim::EventDescription axis;
    axis.eventClass = kAxes;
    axis.eventId = 10;
    axis.arguments = {ZtSim::EventArgument::String("X"), ZtSim::EventArgument::Double(1.5),
                      ZtSim::EventArgument::Double(2)};
    service->RaiseAlarm(axis);
    ASSERT_TRUE(sink.WaitCalls(1));
    CComPtr<IZtAlarmCollection> alarms;
    ASSERT_EQ(logger->get_ActiveAlarms(&alarms.p), S_OK);
    CComPtr<IZtAlarm> alarm;
    ASSERT_EQ(alarms->get_Item(0, &alarm.p), S_OK);
    ZtEventArgumentsInfo info{};
    ASSERT_EQ(alarm->GetArgumentInfo(&info), S_OK);
    std::vector<uint8_t> data(info.typesSize + info.dataSize);
    ASSERT_EQ(alarm->GetArgumentData(reinterpret_cast<void**>(data.data()), static_cast<unsigned>(data.size())),
              S_OK);

    struct Case {
        int lang;
        const char* text;
        const char* className;
    } cases[] = {
        {1033, "Axis X: following error 1.50 mm (limit 2.00 mm)", "Axes"},
        {1031, "Achse X: Schleppfehler 1.50 mm (Grenze 2.00 mm)", "Achsen"},
    };
    for (const Case& c : cases) {
        ZtAtlCom::BSTR text = nullptr, name = nullptr;
        EXPECT_EQ(logger->GetText(AsGuid(kAxes), 10, 0, info, data.data(), c.lang, &text), S_OK);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(logger->GetEventClassName(AsGuid(kAxes), c.lang, &name), S_OK);
        EXPECT_STREQ(name, c.className);
        ZtAtlCom::SysFreeString(text);
        ZtAtlCom::SysFreeString(name);
    }

    EXPECT_EQ(logger->ClearResourceCache(), S_OK);
    EXPECT_EQ(logger->UnloadResourceFile(const_cast<char*>("demo.json")), S_OK);
    EXPECT_EQ(logger->UnloadResourceFile(const_cast<char*>("demo.json")), ZtAtlCom::MakeHResult(0x9811070Cu));
    ZtAtlCom::BSTR name = nullptr;
    EXPECT_EQ(logger->GetEventClassName(AsGuid(kAxes), 1033, &name), S_OK);
    EXPECT_STRNE(name, "Axes") << "the unloaded file still answers";
    ZtAtlCom::SysFreeString(name);
}

TEST_F(LoggerOperations, SentMessagesComeBackWithTheirSourceArgumentsAndJson) {
    CComPtr<IZtSourceInfo> source;
    ASSERT_EQ(ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtSourceInfo, IID_IZtSourceInfo,
                                                       reinterpret_cast<void**>(&source.p)),
              S_OK);
    source->put_Id(77);
    ZtAtlCom::BSTR sourceName = ZtAtlCom::SysAllocString("Robot/Gripper");
    source->put_Name(sourceName);
    ZtAtlCom::SysFreeString(sourceName);
    CComPtr<IZtArguments> arguments;
    ASSERT_EQ(ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtArguments, IID_IZtArguments,
                                                       reinterpret_cast<void**>(&arguments.p)),
              S_OK);
    arguments->Add(ZtAtlCom::CComVariant(static_cast<short>(-5)));

    struct Case {
        const char* json;
        const char* expectedJson;
        bool withObjects;
    } cases[] = {
        {"{\"n\":1}", "{\"n\":1}", true},
        {nullptr, "", false},  // null: the JSON block is empty
    };
    uint32_t id = 40;
    for (const Case& c : cases) {
        sink.Forget();
        const HRESULT hr = logger->SendZtMessage(AsGuid(kLoggerClass), ++id, SeverityWarning,
                                                 const_cast<char*>(c.json), c.withObjects ? source.p : nullptr,
                                                 c.withObjects ? arguments.p : nullptr);
        ASSERT_EQ(hr, S_OK);
        ASSERT_TRUE(sink.WaitCalls(1));
        EXPECT_EQ(sink.Calls()[0].id, DispIdMessageSent);
        EXPECT_EQ(sink.Calls()[0].eventId, id);
        auto rows = service->LoggedEvents(false, 1);
        ASSERT_EQ(rows.size(), 1u);
        const ZtSim::EventDescription& logged = rows[0].event;
        EXPECT_EQ(logged.eventId, id);
        EXPECT_EQ(logged.severity, 2);
        EXPECT_EQ(logged.jsonAttribute, c.expectedJson);
        if (c.withObjects) {
            EXPECT_EQ(logged.source.id, std::optional<uint32_t>(77));
            EXPECT_EQ(logged.source.name, std::optional<std::string>("Robot/Gripper"));
            EXPECT_EQ(logged.arguments, std::vector<ZtSim::EventArgument>{ZtSim::EventArgument::Int16(-5)});
        } else {
            EXPECT_EQ(logged.source, ZtSim::EventSource{});
            EXPECT_TRUE(logged.arguments.empty());
        }
    }
}

TEST_F(LoggerOperations, ExportsAreWrittenIntoTheSandbox) {
    for (uint32_t id = 1; id <= 4; ++id) service->SendMessage(LoggerEvent(id));
    auto settings = MakeFilterObject<IZtExportSettings>(CLSID_ZtExportSettings);
    settings->put_MaxCount(2);
    CComPtr<IZtCsvExportSettings> csv;
    settings->QueryInterface(IID_IZtCsvExportSettings, reinterpret_cast<void**>(&csv.p));
    ZtAtlCom::BSTR delimiter = ZtAtlCom::SysAllocString(";");
    csv->put_Delimiter(delimiter);
    ZtAtlCom::SysFreeString(delimiter);

    ASSERT_EQ(logger->ExportLoggedEvents(const_cast<char*>("log.csv"), settings), S_OK);
    std::ifstream file(Sandbox() / "log.csv", std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(content, line)) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("Seq;Type;Severity;Class;ClassName;EventId;", 0), 0u) << lines[0];
    EXPECT_NE(lines[1].find(";Message;4;"), std::string::npos) << lines[1];  // id 4: severity 4
    EXPECT_NE(lines[2].find(";Message;3;"), std::string::npos) << lines[2];

    EXPECT_EQ(logger->ExportLoggedEvents(const_cast<char*>("../outside.csv"), nullptr),
              ZtAtlCom::MakeHResult(0x9811070Bu));
    EXPECT_EQ(logger->ExportLoggedEvents(nullptr, nullptr), ZtAtlCom::MakeHResult(0x9811070Bu))
        << "a null name is the empty name: the sandbox itself is refused";
}

}  // namespace
