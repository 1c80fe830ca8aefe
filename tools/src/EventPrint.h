// EventPrint.h - events as the tool shows them: table rows and one-line
// forms for people, JSON lines for scripts; and reading the events of the
// logger's collections with their texts.
#ifndef ZT_EVENTLOG_EVENT_PRINT_H
#define ZT_EVENTLOG_EVENT_PRINT_H

#include <string>
#include <vector>

#include "Output.h"
#include "Tool.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
#include "ZtTool/EventView.h"

namespace ZtEventLog {

// An event with the object it was read from (for texts and details).
struct EventItem {
    ZtTool::EventView view;
    ZtAtlCom::CComPtr<ZtAtlCom::IDispatch> object;
};

// The current active alarms of the logger (properties only). S_OK or the failure.
int32_t ReadActiveAlarms(ZtEventLoggerVdlProxy::IZtEventLogger3* logger, std::vector<EventItem>& items);
// The events of a logged-event collection (properties only).
int32_t ReadLoggedEvents(ZtEventLoggerVdlProxy::IZtLoggedEventCollection* events, std::vector<EventItem>& items);
// Fills the texts of every item in the tool's languages, with a progress
// display for long lists; a text that cannot be read is left empty.
void FetchTexts(ToolContext& ctx, std::vector<EventItem>& items);

// The class as shown: its name when known, else the GUID.
std::string ClassLabel(const ZtTool::EventView& view);
std::string SourceLabel(const ZtTool::EventView& view);
std::string StateLabel(const Output& out, const ZtTool::EventView& view);

// A table of alarms (active) or events (log), or JSON lines.
void PrintEventList(ToolContext& ctx, const std::vector<EventItem>& items, bool logged);
// textWidth > 0: texts clipped to it and times without the date (the live screen).
Table EventTable(const Output& out, const std::vector<EventItem>& items, bool logged, size_t textWidth = 0);
// One line for a change as watch prints it: time, change, severity, class, id, source, text.
std::string ChangeLine(const Output& out, const std::string& change, const ZtTool::EventView& view);

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_EVENT_PRINT_H
