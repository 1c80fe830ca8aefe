// EventCommands.cpp - active, log, confirm, clear, clear-log, send and export:
// the event logger object's requests.
#include <fmt/format.h>
#include <rapidjson/document.h>

#include <future>
#include <memory>

#include "ArgumentText.h"
#include "EventPrint.h"
#include "LoggerSession.h"
#include "ZtTool/ComText.h"
#include "ZtTool/ResultText.h"
#include "ZtTool/TimeText.h"

namespace ZtEventLog {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::Failed;

namespace {

constexpr int32_t kNoneMatched = static_cast<int32_t>(0x9811070Cu);

// Runs a request with the progress display (the request blocks; the display
// runs on its own thread).
template <class F>
auto WithProgress(ToolContext& ctx, const std::string& label, F f) {
    Progress progress(ctx.out, label);
    return f();
}

int Active(ToolContext& ctx, bool noTexts) {
    LoggerSession session(ctx);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    std::vector<EventItem> items;
    if (HRESULT hr = ReadActiveAlarms(session.Logger(), items); Failed(hr))
        return ctx.Fail(hr, "cannot read the active alarms");
    if (!noTexts) FetchTexts(ctx, items);
    PrintEventList(ctx, items, false);
    return kExitOk;
}

struct LogOptions {
    unsigned count = 20;
    Selection selection;
    bool noTexts = false;
};

int Log(ToolContext& ctx, LogOptions o) {
    LoggerSession session(ctx);
    const bool bySettings = !o.selection.filter.empty() || o.selection.oldestFirst;
    CComPtr<IZtExportSettings> settings;
    if (bySettings) {
        o.selection.maxCount = o.count;
        settings = session.MakeSettings(o.selection);  // bad filter text: before any connection
    }
    if (int rc = session.Open(); rc != kExitOk) return rc;
    CComPtr<IZtLoggedEventCollection> events;
    const HRESULT hr = WithProgress(ctx, "reading the event log", [&] {
        return bySettings ? session.Logger()->GetLoggedEvents2(settings, events.ReleaseAndGetAddressOf())
                          : session.Logger()->GetLoggedEvents(o.count, events.ReleaseAndGetAddressOf());
    });
    if (Failed(hr)) return ctx.Fail(hr, "cannot read the event log");
    std::vector<EventItem> items;
    if (HRESULT r = ReadLoggedEvents(events, items); Failed(r)) return ctx.Fail(r, "cannot read the logged events");
    if (!o.noTexts) FetchTexts(ctx, items);
    PrintEventList(ctx, items, true);
    return kExitOk;
}

struct AlarmOptions {
    std::string eventClass;
    std::string eventId;
    std::string filter;
    std::string before;
    bool all = false;
    bool reset = false;
};

// The filter of confirm and clear: one alarm by class and id, a filter, both
// (joined by and), or none with --all.
std::string AlarmFilterText(const AlarmOptions& o) {
    const bool one = !o.eventClass.empty();
    if (one && o.eventId.empty()) throw UsageError("give the alarm as CLASS ID");
    if (o.all && (one || !o.filter.empty())) throw UsageError("--all selects every alarm: give no alarm and no --filter");
    if (!o.all && !one && o.filter.empty()) throw UsageError("say which alarms: CLASS ID, --filter TEXT or --all");
    std::string text;
    if (one) {
        const GUID g = ParseGuidOption(o.eventClass, "the alarm's class");
        const uint64_t id = ParseUnsigned(o.eventId, 0xFFFFFFFFu, "the alarm's id");
        text = fmt::format("class = {} and id = {}", ZtTool::GuidText(g), id);
    }
    if (!o.filter.empty()) text = text.empty() ? o.filter : fmt::format("{} and ({})", text, o.filter);
    return text;
}

long BeforeTime(const AlarmOptions& o) {
    if (o.before.empty()) return 0;
    auto t = ZtTool::ParseTimeText(o.before);
    if (!t) throw UsageError(fmt::format("--before takes a time such as 2024-05-01T12:30:00Z, now or a FILETIME, not '{}'",
                                         o.before));
    return static_cast<long>(*t);
}

int ConfirmOrClear(ToolContext& ctx, const AlarmOptions& o, bool clear) {
    LoggerSession session(ctx);
    const std::string text = AlarmFilterText(o);
    const long before = BeforeTime(o);
    CComPtr<IZtEventFilter> filter = session.MakeFilter(text);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    IZtEventLogger3* logger = session.Logger();
    HRESULT hr;
    if (o.all && before == 0) {
        hr = clear ? logger->ClearAllAlarms(o.reset ? ZtAtlCom::VARIANT_TRUE : ZtAtlCom::VARIANT_FALSE)
                   : logger->ConfirmAllAlarms();
    } else {
        hr = clear ? logger->ClearAlarms(before, o.reset ? ZtAtlCom::VARIANT_TRUE : ZtAtlCom::VARIANT_FALSE, filter)
                   : logger->ConfirmAlarms(before, filter);
    }
    const char* verb = clear ? "cleared" : "confirmed";
    if (hr == kNoneMatched) {
        ctx.out.Error(fmt::format("no alarm {}: none of the active alarms matched{}", verb,
                                  clear ? " (only raised alarms can be cleared)" : " (only alarms waiting for a confirmation can be confirmed)"));
        return kExitFailed;
    }
    if (Failed(hr)) return ctx.Fail(hr, clear ? "cannot clear" : "cannot confirm");
    if (ctx.out.Json()) ctx.out.Line(fmt::format("{{\"result\":\"{}\"}}", verb));
    else ctx.out.Line(verb);
    return kExitOk;
}

int ClearLog(ToolContext& ctx) {
    LoggerSession session(ctx);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    const HRESULT hr = session.Logger()->ClearLoggedEvents();
    if (Failed(hr)) return ctx.Fail(hr, "cannot clear the event log");
    ctx.out.Line(ctx.out.Json() ? "{\"result\":\"log cleared\"}" : "log cleared");
    return kExitOk;
}

struct SendOptions {
    std::string eventClass;
    std::string eventId;
    std::string severity = "info";
    std::vector<std::string> arguments;
    std::string sourceId, sourceGuid, sourceName, json;
    bool hasSourceName = false;
};

template <class I>
CComPtr<I> Make(const ZtAtlCom::CLSID& clsid) {
    CComPtr<I> p;
    const HRESULT hr = ZtEventLoggerVdlProxyLib::CreateInstance(clsid, ZtAtlCom::iid_of<I>(),
                                                                reinterpret_cast<void**>(p.ReleaseAndGetAddressOf()));
    if (Failed(hr) || !p) throw std::runtime_error("cannot make a message object: " + ZtTool::DescribeResult(hr));
    return p;
}

int Send(ToolContext& ctx, const SendOptions& o) {
    const GUID eventClass = ParseGuidOption(o.eventClass, "--class");
    const auto eventId = static_cast<unsigned>(ParseUnsigned(o.eventId, 0xFFFFFFFFu, "--id"));
    const int severity = ParseSeverity(o.severity);
    std::vector<ZtTool::EventArgument> args;
    for (const auto& a : o.arguments) args.push_back(ParseArgumentText(a));
    if (!o.json.empty()) {
        rapidjson::Document doc;
        doc.Parse<rapidjson::kParseValidateEncodingFlag>(o.json.data(), o.json.size());
        if (doc.HasParseError())
            throw UsageError(fmt::format("--json takes JSON text; this one is not valid at character {}", doc.GetErrorOffset() + 1));
    }
    std::optional<uint32_t> sourceId;
    if (!o.sourceId.empty()) sourceId = static_cast<uint32_t>(ParseUnsigned(o.sourceId, 0xFFFFFFFFu, "--source-id"));
    std::optional<GUID> sourceGuid;
    if (!o.sourceGuid.empty()) sourceGuid = ParseGuidOption(o.sourceGuid, "--source-guid");

    LoggerSession session(ctx);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    CComPtr<IZtArguments> arguments;
    if (!args.empty()) {
        arguments = Make<IZtArguments>(CLSID_ZtArguments);
        for (size_t i = 0; i < args.size(); ++i) {
            if (HRESULT hr = arguments->Add(ArgumentVariant(args[i])); Failed(hr))
                return ctx.Fail(hr, fmt::format("cannot add argument {}", i + 1));
        }
    }
    CComPtr<IZtSourceInfo> source;
    if (sourceId || sourceGuid || o.hasSourceName) {
        source = Make<IZtSourceInfo>(CLSID_ZtSourceInfo);
        HRESULT hr = ZtAtlCom::S_OK;
        if (sourceId && Failed(hr = source->put_Id(*sourceId))) return ctx.Fail(hr, "cannot set the source id");
        if (sourceGuid && Failed(hr = source->put_Guid(*sourceGuid))) return ctx.Fail(hr, "cannot set the source GUID");
        if (o.hasSourceName) {
            ZtTool::BstrIn name(o.sourceName);
            if (Failed(hr = source->put_Name(name))) return ctx.Fail(hr, "cannot set the source name");
        }
    }
    ZtTool::BstrIn json(o.json);
    const HRESULT hr = session.Logger()->SendZtMessage(eventClass, eventId, static_cast<tagSeverityLevelEnum>(severity),
                                                       json, source, arguments);
    if (Failed(hr)) return ctx.Fail(hr, "cannot send the message");
    ctx.out.Line(ctx.out.Json() ? "{\"result\":\"sent\"}" : "sent");
    return kExitOk;
}

struct ExportOptions {
    std::string file;
    Selection selection;
    std::string csvLanguage;
};

int Export(ToolContext& ctx, ExportOptions o) {
    if (!o.csvLanguage.empty()) {
        auto lang = ZtTool::ParseLanguage(o.csvLanguage);
        if (!lang) throw UsageError(fmt::format("--csv-lang takes en, de, ... or a number, not '{}'", o.csvLanguage));
        o.selection.csvLanguage = *lang;
    }
    if (o.selection.delimiter.size() > 1 &&
        !(o.selection.delimiter == "\\t" || o.selection.delimiter == "tab"))
        throw UsageError("--delimiter takes one character (or tab)");
    if (o.selection.delimiter == "\\t" || o.selection.delimiter == "tab") o.selection.delimiter = "\t";
    LoggerSession session(ctx);
    CComPtr<IZtExportSettings> settings = session.MakeSettings(o.selection);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    ZtTool::BstrIn file(o.file);
    const HRESULT hr = WithProgress(ctx, "exporting to " + o.file, [&] {
        return session.Logger()->ExportLoggedEvents(file, settings);
    });
    if (Failed(hr)) return ctx.Fail(hr, fmt::format("cannot export to {}", o.file));
    ctx.out.Line(ctx.out.Json() ? fmt::format("{{\"result\":\"exported\",\"file\":\"{}\"}}", o.file)
                                : fmt::format("exported to {} on the target", o.file));
    return kExitOk;
}

void AddSelectionOptions(CLI::App* sub, Selection& s) {
    sub->add_option("-f,--filter", s.filter, "filter syntax, e.g. 'severity >= error and source ~ \"Axis\"'");
    sub->add_flag("--oldest-first", s.oldestFirst, "oldest events first (default: newest first)");
}

void AddAlarmOptions(CLI::App* sub, AlarmOptions& o, bool clear) {
    sub->add_option("class", o.eventClass, "one alarm: its event class (GUID)");
    sub->add_option("id", o.eventId, "and its event id");
    sub->add_option("-f,--filter", o.filter, "the alarms a filter selects (filter syntax)");
    sub->add_option("--before", o.before, "only alarms raised at or before this time (ISO 8601, now or a FILETIME)");
    sub->add_flag("--all", o.all, "every alarm");
    if (clear) sub->add_flag("--reset", o.reset, "also end waiting confirmations (state reset)");
}

}  // namespace

void AddEventCommands(CLI::App& app, ToolContext& ctx) {
    auto noTexts = std::make_shared<bool>(false);
    auto* active = app.add_subcommand("active", "list the active alarms");
    active->group("Events");
    active->add_flag("--no-texts", *noTexts, "leave out the message texts (no text requests)");
    OnRun(active, ctx, [noTexts](ToolContext& c) { return Active(c, *noTexts); });

    auto lo = std::make_shared<LogOptions>();
    auto* log = app.add_subcommand("log", "read the event log: the newest events, or those a filter selects");
    log->group("Events");
    log->add_option("-n,--count", lo->count, "at most this many events (default 20; 0 with a filter: all)")
        ->check(CLI::Range(0u, 1000000u));
    AddSelectionOptions(log, lo->selection);
    log->add_flag("--no-texts", lo->noTexts, "leave out the message texts");
    OnRun(log, ctx, [lo](ToolContext& c) { return Log(c, *lo); });

    auto co = std::make_shared<AlarmOptions>();
    auto* confirm = app.add_subcommand("confirm", "confirm alarms that wait for a confirmation: one, all or by filter");
    confirm->group("Events");
    AddAlarmOptions(confirm, *co, false);
    OnRun(confirm, ctx, [co](ToolContext& c) { return ConfirmOrClear(c, *co, false); });

    auto cl = std::make_shared<AlarmOptions>();
    auto* clear = app.add_subcommand("clear", "clear raised alarms: one, all or by filter");
    clear->group("Events");
    AddAlarmOptions(clear, *cl, true);
    OnRun(clear, ctx, [cl](ToolContext& c) { return ConfirmOrClear(c, *cl, true); });

    auto* clearLog = app.add_subcommand("clear-log", "empty the event log (the active alarms stay in it)");
    clearLog->group("Events");
    OnRun(clearLog, ctx, ClearLog);

    auto so = std::make_shared<SendOptions>();
    auto* send = app.add_subcommand("send", "send a message of your own; the controller logs it and reports it");
    send->group("Events");
    send->add_option("--class", so->eventClass, "event class (GUID)")->required();
    send->add_option("--id", so->eventId, "event id")->required();
    send->add_option("--severity", so->severity, "verbose, info (default), warning, error, critical or 0..4");
    send->add_option("-a,--arg", so->arguments, "an argument, TYPE:VALUE (uint16:4, bstr:Z, double:0.5) or a bare "
                                                "value; repeat in order");
    send->add_option("--source-id", so->sourceId, "source id (number)");
    send->add_option("--source-guid", so->sourceGuid, "source GUID");
    send->add_option("--source-name", so->sourceName, "source name")->each([so](const std::string&) {
        so->hasSourceName = true;
    });
    send->add_option("--json", so->json, "JSON attribute (JSON text)");
    OnRun(send, ctx, [so](ToolContext& c) { return Send(c, *so); });

    auto eo = std::make_shared<ExportOptions>();
    auto* exp = app.add_subcommand("export", "export the event log as CSV into a file on the target");
    exp->group("Events");
    exp->add_option("file", eo->file, "file on the target (inside its file area)")->required();
    AddSelectionOptions(exp, eo->selection);
    exp->add_option("-n,--max", eo->selection.maxCount, "at most this many events (default: all)");
    exp->add_option("--delimiter", eo->selection.delimiter, "field delimiter: one character, or tab (default ,)");
    exp->add_flag("--no-header", eo->selection.noHeader, "leave out the header line");
    exp->add_option("--csv-lang", eo->csvLanguage, "language of the texts in the file (default: --lang)");
    OnRun(exp, ctx, [eo](ToolContext& c) { return Export(c, *eo); });
}

}  // namespace ZtEventLog
