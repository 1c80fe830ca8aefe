// TextCommands.cpp - text, class-name, causes, details and resources: the
// localised texts of events and the resource files they come from.
#include <fmt/format.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <memory>

#include "ArgumentText.h"
#include "EventPrint.h"
#include "LoggerSession.h"
#include "ZtTool/ComText.h"
#include "ZtTool/EventJson.h"

namespace ZtEventLog {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::Failed;

namespace {

struct TextOptions {
    std::string eventClass, eventId, qualifier = "0", path;
    std::vector<std::string> arguments;
};

// {"k1":"v1",...} of string members.
std::string JsonStrings(std::initializer_list<std::pair<const char*, std::string>> members) {
    rapidjson::StringBuffer b;
    rapidjson::Writer<rapidjson::StringBuffer> w(b);
    w.StartObject();
    for (const auto& [k, v] : members) {
        w.Key(k);
        const std::string s = ZtTool::ValidUtf8(v);
        w.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
    }
    w.EndObject();
    return std::string(b.GetString(), b.GetSize());
}

int Text(ToolContext& ctx, const TextOptions& o) {
    const GUID eventClass = ParseGuidOption(o.eventClass, "the event class");
    const auto id = static_cast<unsigned>(ParseUnsigned(o.eventId, 0xFFFFFFFFu, "the event id"));
    const auto qualifier = static_cast<unsigned>(ParseUnsigned(o.qualifier, 0xFFFFFFFFu, "--qualifier"));
    std::vector<ZtTool::EventArgument> args;
    for (const auto& a : o.arguments) args.push_back(ParseArgumentText(a));
    ZtEventArgumentsInfo info{};
    std::vector<uint8_t> data = ZtTool::EncodeArguments(args, info);
    LoggerSession session(ctx);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    for (long lang : ctx.out.Json() ? ctx.languages : std::vector<long>{ctx.Language()}) {
        ZtTool::BstrOut text;
        const HRESULT hr = session.Logger()->GetText(eventClass, id, qualifier, info, data.empty() ? nullptr : data.data(),
                                                     static_cast<int>(lang), text.Out());
        if (Failed(hr)) return ctx.Fail(hr, "cannot read the text");
        if (ctx.out.Json()) ctx.out.Line(JsonStrings({{"lang", std::to_string(lang)}, {"text", text.Str()}}));
        else ctx.out.Line(text.Str());
    }
    return kExitOk;
}

int ClassName(ToolContext& ctx, const TextOptions& o) {
    const GUID eventClass = ParseGuidOption(o.eventClass, "the event class");
    LoggerSession session(ctx);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    for (long lang : ctx.out.Json() ? ctx.languages : std::vector<long>{ctx.Language()}) {
        ZtTool::BstrOut name;
        const HRESULT hr = session.Logger()->GetEventClassName(eventClass, static_cast<int>(lang), name.Out());
        if (Failed(hr)) return ctx.Fail(hr, "cannot read the class name");
        if (ctx.out.Json()) ctx.out.Line(JsonStrings({{"lang", std::to_string(lang)}, {"name", name.Str()}}));
        else ctx.out.Line(name.Str());
    }
    return kExitOk;
}

// Cause/remedy and detail lists belong to events: the tool finds an event
// of the class and id among the active alarms, else in the log.
CComPtr<ZtAtlCom::IDispatch> FindEvent(ToolContext& ctx, LoggerSession& session, const GUID& eventClass, unsigned id,
                                       HRESULT& hr) {
    std::vector<EventItem> items;
    hr = ReadActiveAlarms(session.Logger(), items);
    if (Failed(hr)) return {};
    for (auto& item : items)
        if (item.view.eventClass == eventClass && item.view.eventId == id) return item.object;
    Selection s;
    s.filter = fmt::format("class = {} and id = {}", ZtTool::GuidText(eventClass), id);
    s.maxCount = 1;
    CComPtr<IZtExportSettings> settings = session.MakeSettings(s);
    CComPtr<IZtLoggedEventCollection> events;
    hr = session.Logger()->GetLoggedEvents2(settings, events.ReleaseAndGetAddressOf());
    if (Failed(hr)) return {};
    hr = ReadLoggedEvents(events, items);
    if (Failed(hr) || items.empty()) return {};
    (void)ctx;
    return items.front().object;
}

template <class Collection, class Item, class Each>
HRESULT Walk(Collection* c, Each each) {
    if (!c) return ZtAtlCom::S_OK;
    int count = 0;
    HRESULT hr = c->get_Count(&count);
    for (int i = 0; !Failed(hr) && i < count; ++i) {
        CComPtr<Item> item;
        hr = c->get_Item(i, item.ReleaseAndGetAddressOf());
        if (!Failed(hr) && item) each(item.p);
    }
    return hr;
}

int CausesOrDetails(ToolContext& ctx, const TextOptions& o, bool details) {
    const GUID eventClass = ParseGuidOption(o.eventClass, "the event class");
    const auto id = static_cast<unsigned>(ParseUnsigned(o.eventId, 0xFFFFFFFFu, "the event id"));
    LoggerSession session(ctx);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    HRESULT hr = ZtAtlCom::S_OK;
    CComPtr<ZtAtlCom::IDispatch> event = FindEvent(ctx, session, eventClass, id, hr);
    if (Failed(hr)) return ctx.Fail(hr, "cannot look for the event");
    if (!event) {
        ctx.out.Error(fmt::format("no event of class {} with id {} is active or in the log: its texts hang on an event",
                                  ZtTool::GuidText(eventClass), id));
        return kExitFailed;
    }
    const long lang = ctx.Language();
    CComPtr<IZtCauseRemedyCollection> causes;
    CComPtr<IZtDetailCollection> detailList;
    CComPtr<IZtAlarm3> alarm;
    CComPtr<IZtLoggedEvent4> logged;
    if (!Failed(event->QueryInterface(IID_IZtAlarm3, reinterpret_cast<void**>(&alarm.p))) && alarm) {
        hr = details ? alarm->GetDetails(lang, detailList.ReleaseAndGetAddressOf())
                     : alarm->GetCauseRemedy(lang, causes.ReleaseAndGetAddressOf());
    } else if (!Failed(event->QueryInterface(IID_IZtLoggedEvent4, reinterpret_cast<void**>(&logged.p))) && logged) {
        hr = details ? logged->GetDetails(lang, detailList.ReleaseAndGetAddressOf())
                     : logged->GetCauseRemedy(lang, causes.ReleaseAndGetAddressOf());
    } else {
        hr = ZtAtlCom::E_NOINTERFACE;
    }
    if (Failed(hr)) return ctx.Fail(hr, details ? "cannot read the details" : "cannot read the causes");
    Table table(details ? std::vector<std::string>{"NAME", "TEXT", "COMMENT"}
                        : std::vector<std::string>{"ID", "CAUSE", "REMEDY"});
    auto row = [&](const char* k1, const char* k2, const char* k3, std::string a, std::string b, std::string c) {
        if (ctx.out.Json()) ctx.out.Line(JsonStrings({{k1, a}, {k2, b}, {k3, c}}));
        else table.Row({a, b, c});
    };
    if (details) {
        hr = Walk<IZtDetailCollection, IZtDetail>(detailList.p, [&](IZtDetail* d) {
            ZtTool::BstrOut n, t, c;
            d->get_Name(n.Out());
            d->get_Text(t.Out());
            d->get_Comment(c.Out());
            row("name", "text", "comment", n.Str(), t.Str(), c.Str());
        });
    } else {
        hr = Walk<IZtCauseRemedyCollection, IZtCauseRemedy>(causes.p, [&](IZtCauseRemedy* r) {
            ZtTool::BstrOut i, c, m;
            r->get_Id(i.Out());
            r->get_Cause(c.Out());
            r->get_Remedy(m.Out());
            row("id", "cause", "remedy", i.Str(), c.Str(), m.Str());
        });
    }
    if (Failed(hr)) return ctx.Fail(hr, "cannot read the list");
    if (!ctx.out.Json()) {
        if (table.Rows() == 0) ctx.out.Line(details ? "no details" : "no causes");
        else table.Print(ctx.out);
    }
    return kExitOk;
}

int Resources(ToolContext& ctx, const std::string& verb, const std::string& path) {
    LoggerSession session(ctx);
    if (int rc = session.Open(); rc != kExitOk) return rc;
    ZtTool::BstrIn p(path);
    HRESULT hr = verb == "load" ? session.Logger()->LoadResourceFile(p)
                 : verb == "unload" ? session.Logger()->UnloadResourceFile(p)
                                    : session.Logger()->ClearResourceCache();
    if (Failed(hr)) return ctx.Fail(hr, verb == "clear-cache" ? "cannot clear the text cache" : fmt::format("cannot {} {}", verb, path));
    const std::string done = verb == "load" ? "loaded" : verb == "unload" ? "unloaded" : "cache cleared";
    ctx.out.Line(ctx.out.Json() ? JsonStrings({{"result", done}, {"path", path}}) : done);
    return kExitOk;
}

}  // namespace

void AddTextCommands(CLI::App& app, ToolContext& ctx) {
    auto to = std::make_shared<TextOptions>();
    auto* text = app.add_subcommand("text", "the message text of an event class and id, formatted with arguments");
    text->group("Texts");
    text->add_option("class", to->eventClass, "event class (GUID)")->required();
    text->add_option("id", to->eventId, "event id")->required();
    text->add_option("-q,--qualifier", to->qualifier, "key qualifier (default 0)");
    text->add_option("-a,--arg", to->arguments, "an argument, TYPE:VALUE or a bare value; repeat in order");
    OnRun(text, ctx, [to](ToolContext& c) { return Text(c, *to); });

    auto* cls = app.add_subcommand("class-name", "the name of an event class");
    cls->group("Texts");
    cls->add_option("class", to->eventClass, "event class (GUID)")->required();
    OnRun(cls, ctx, [to](ToolContext& c) { return ClassName(c, *to); });

    auto* causes = app.add_subcommand("causes", "possible causes and remedies of an event (active or logged)");
    causes->group("Texts");
    causes->add_option("class", to->eventClass, "event class (GUID)")->required();
    causes->add_option("id", to->eventId, "event id")->required();
    OnRun(causes, ctx, [to](ToolContext& c) { return CausesOrDetails(c, *to, false); });

    auto* details = app.add_subcommand("details", "detail texts of an event (active or logged)");
    details->group("Texts");
    details->add_option("class", to->eventClass, "event class (GUID)")->required();
    details->add_option("id", to->eventId, "event id")->required();
    OnRun(details, ctx, [to](ToolContext& c) { return CausesOrDetails(c, *to, true); });

    auto* res = app.add_subcommand("resources", "resource files of texts on the target");
    res->group("Texts");
    res->require_subcommand(1);
    auto* load = res->add_subcommand("load", "load a resource file (a path on the target)");
    load->add_option("path", to->path, "path on the target")->required();
    OnRun(load, ctx, [to](ToolContext& c) { return Resources(c, "load", to->path); });
    auto* unload = res->add_subcommand("unload", "unload a resource file");
    unload->add_option("path", to->path, "path on the target")->required();
    OnRun(unload, ctx, [to](ToolContext& c) { return Resources(c, "unload", to->path); });
    auto* cache = res->add_subcommand("clear-cache", "make the controller read its resource files again");
    OnRun(cache, ctx, [](ToolContext& c) { return Resources(c, "clear-cache", ""); });
}

}  // namespace ZtEventLog
