// EventPrint.cpp - tables and lines of events.
#include "EventPrint.h"

#include <fmt/format.h>

#include "ZtTool/EventJson.h"
#include "ZtTool/TimeText.h"

namespace ZtEventLog {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::CComPtr;
using ZtAtlCom::Failed;

int32_t ReadActiveAlarms(IZtEventLogger3* logger, std::vector<EventItem>& items) {
    items.clear();
    CComPtr<IZtAlarmCollection> alarms;
    HRESULT hr = logger->get_ActiveAlarms(alarms.ReleaseAndGetAddressOf());
    if (Failed(hr)) return hr;
    if (!alarms) return ZtAtlCom::S_OK;
    int count = 0;
    if (Failed(hr = alarms->get_Count(&count))) return hr;
    for (int i = 0; i < count; ++i) {
        CComPtr<IZtAlarm> alarm;
        if (Failed(hr = alarms->get_Item(i, alarm.ReleaseAndGetAddressOf())) || !alarm) continue;
        EventItem item;
        ZtTool::ReadAlarm(alarm, item.view);
        item.object = alarm.p;
        items.push_back(std::move(item));
    }
    return ZtAtlCom::S_OK;
}

int32_t ReadLoggedEvents(IZtLoggedEventCollection* events, std::vector<EventItem>& items) {
    items.clear();
    if (!events) return ZtAtlCom::S_OK;
    int count = 0;
    HRESULT hr = events->get_Count(&count);
    if (Failed(hr)) return hr;
    for (int i = 0; i < count; ++i) {
        CComPtr<IZtLoggedEvent> event;
        if (Failed(events->get_Item(i, event.ReleaseAndGetAddressOf())) || !event) continue;
        EventItem item;
        ZtTool::ReadLoggedEvent(event, item.view);
        item.object = event.p;
        items.push_back(std::move(item));
    }
    return ZtAtlCom::S_OK;
}

void FetchTexts(ToolContext& ctx, std::vector<EventItem>& items) {
    // In human output only the first language is shown: fetch only that one.
    std::vector<long> langs = ctx.out.Json() ? ctx.languages : std::vector<long>{ctx.Language()};
    Progress progress(ctx.out, "reading texts");
    for (size_t i = 0; i < items.size() && !ctx.Stopped(); ++i) {
        progress.Update(i, items.size());
        ZtTool::ReadTexts(items[i].object, langs, items[i].view);
    }
}

std::string ClassLabel(const ZtTool::EventView& v) {
    return v.className.empty() ? ZtTool::GuidText(v.eventClass) : v.className;
}

std::string SourceLabel(const ZtTool::EventView& v) {
    if (v.sourceName) return *v.sourceName;
    if (v.sourceId) return fmt::format("#{}", *v.sourceId);
    if (v.sourceGuid) return ZtTool::GuidText(*v.sourceGuid);
    return "";
}

std::string StateLabel(const Output& out, const ZtTool::EventView& v) {
    if (v.kind == ZtTool::EventKind::Logged) {
        if (!v.IsAlarm()) return "message";
        return v.isActive ? out.Paint("active", Style::Bold) : "ended";
    }
    if (v.kind == ZtTool::EventKind::Message) return "message";
    std::string s = v.isRaised ? out.Paint("raised", Style::Bold) : "cleared";
    if (v.confirmationState == ConfirmationWaitForConfirmation) s += ", " + out.Paint("unconfirmed", Style::Yellow);
    else if (v.confirmationState == ConfirmationStateThree) s += ", confirmed";
    else if (v.confirmationState == ConfirmationReset) s += ", reset";
    return s;
}

Table EventTable(const Output& out, const std::vector<EventItem>& items, bool logged, size_t textWidth) {
    Table t({"RAISED", "SEVERITY", "STATE", "CLASS", "ID", "SOURCE", "TEXT"});
    for (const auto& item : items) {
        const auto& v = item.view;
        std::string text = v.Text();
        if (textWidth) text = Clip(text, textWidth);
        std::string raised = ZtTool::FileTimeToLocalText(v.raised, textWidth > 0);
        if (logged && v.cleared) raised += " .. " + ZtTool::FileTimeToLocalText(v.cleared, true);
        t.Row({raised, out.Paint(ZtTool::SeverityName(v.severity), Output::SeverityStyle(v.severity)), StateLabel(out, v),
               ClassLabel(v), fmt::format("{}", v.eventId), SourceLabel(v), text});
    }
    return t;
}

void PrintEventList(ToolContext& ctx, const std::vector<EventItem>& items, bool logged) {
    if (ctx.out.Json()) {
        for (const auto& item : items) ctx.out.Line(ZtTool::EventJsonLine(item.view));
        return;
    }
    if (items.empty()) {
        ctx.out.Line(logged ? "no events" : "no active alarms");
        return;
    }
    EventTable(ctx.out, items, logged).Print(ctx.out);
}

std::string ChangeLine(const Output& out, const std::string& change, const ZtTool::EventView& v) {
    const uint64_t when = change == "cleared" && v.cleared ? v.cleared
                          : change == "confirmed" && v.confirmed ? v.confirmed : v.raised;
    Style style = change == "raised" ? Output::SeverityStyle(v.severity) : change == "message" ? Style::Cyan : Style::Green;
    return fmt::format("{}  {}  {:<8}  {} #{}  {}  {}", ZtTool::FileTimeToLocalText(when, true),
                       out.Paint(fmt::format("{:<9}", change), style), ZtTool::SeverityName(v.severity), ClassLabel(v),
                       v.eventId, SourceLabel(v), v.Text());
}

}  // namespace ZtEventLog
