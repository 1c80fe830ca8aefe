/*
 * EventView.h - one message, alarm or logged event as plain data, read once
 * through the public event interfaces, for printing, JSON and comparison.
 *
 * This is the piece the command-line tool and the gateway share (with
 * EventJson.h, TimeText.h and ResultText.h), in the internal static library
 * zt_tool_common. Typical use in a sink, on the logger's worker thread:
 *
 *     ZtTool::EventView view;
 *     ZtTool::ReadAlarm(alarm, view);            // properties only: no request
 *     queue.push({view, CComPtr<IZtAlarm3>(alarm)});
 *   ... later, on a thread of the host's own:
 *     ZtTool::ReadTexts(alarm, {1033, 1031}, view);  // one request per language
 *     std::string line = ZtTool::EventJsonLine(view, "raised");
 *
 * Reading never throws. Read* return the first failing HRESULT; the fields
 * read before it are kept. Texts cost one request each (GetText,
 * GetEventClassName) and are left out of Read* so that a sink never waits on
 * the controller. All functions may run on any thread; an EventView is a
 * value without references to the objects it was read from.
 */
#ifndef ZT_TOOL_EVENT_VIEW_H
#define ZT_TOOL_EVENT_VIEW_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"

namespace ZtTool {

using ZtAtlCom::GUID;
using ZtAtlCom::HRESULT;

// One typed argument of an event: its wire type code and its value.
struct EventArgument {
    ZtEventLoggerVdlProxy::tagZtEventArgumentTypeEnum type = ZtEventLoggerVdlProxy::ArgNone;
    std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string> value;
};

enum class EventKind { Message, Alarm, Logged };

struct EventView {
    EventKind kind = EventKind::Message;
    GUID eventClass{};
    uint32_t eventId = 0;
    uint32_t keyQualifier = 0;  // 0 = unspecified (IZtEventIdentity)
    int32_t severity = 0;   // 0 verbose .. 4 critical
    int32_t eventType = 0;  // 0 message, 1 alarm
    std::optional<uint32_t> sourceId;
    std::optional<GUID> sourceGuid;
    std::optional<std::string> sourceName;
    uint64_t raised = 0;     // FILETIME, 0 = not set
    uint64_t cleared = 0;    // alarms and logged events
    uint64_t confirmed = 0;  // alarms and logged events
    bool isRaised = false;   // alarms: raised now
    int32_t confirmationState = 0;    // alarms: tagConfirmationStateEnum
    bool withConfirmation = false;    // logged events: the alarm needed a confirmation
    bool isActive = false;            // logged events: active when logged
    std::string json;                 // the JSON attribute text, "" when none
    bool argumentsRead = false;       // false when the arguments could not be read
    std::vector<EventArgument> arguments;
    // Filled by ReadTexts: (language id, text); the class name in the first language.
    std::vector<std::pair<long, std::string>> texts;
    std::string className;

    bool IsAlarm() const { return eventType != 0; }
    // The text in the language, or the first one read, or "".
    const std::string& Text(long langId = 0) const;
};

// The properties of a message, an alarm or a logged event (no request).
HRESULT ReadMessage(ZtEventLoggerVdlProxy::IZtMessage* message, EventView& view);
HRESULT ReadAlarm(ZtEventLoggerVdlProxy::IZtAlarm* alarm, EventView& view);
HRESULT ReadLoggedEvent(ZtEventLoggerVdlProxy::IZtLoggedEvent* event, EventView& view);
// Whichever of the three the dispatch object of an event argument is.
HRESULT ReadEventObject(ZtAtlCom::IDispatch* object, EventView& view);

// The message text in each language and the class name in the first (one
// request each). A failed text is left out; the first failure is returned.
HRESULT ReadTexts(ZtAtlCom::IDispatch* object, const std::vector<long>& langIds, EventView& view);

// Decodes the copy IZtEvent::GetArgumentData writes (type block, then data
// block, as info describes). False, with the arguments decoded so far, when
// the bytes do not hold what info claims.
bool DecodeArguments(const ZtEventLoggerVdlProxy::ZtEventArgumentsInfo& info, const uint8_t* bytes, size_t size,
                     std::vector<EventArgument>& arguments);
// Encodes arguments the same way (for IZtEventLogger::GetText): the bytes
// and their description.
std::vector<uint8_t> EncodeArguments(const std::vector<EventArgument>& arguments,
                                     ZtEventLoggerVdlProxy::ZtEventArgumentsInfo& info);

// Argument type names as the scenarios and the tool write them ("uint16",
// "bstr", ...) and back (nullopt for an unknown name).
const char* ArgumentTypeName(ZtEventLoggerVdlProxy::tagZtEventArgumentTypeEnum type);
std::optional<ZtEventLoggerVdlProxy::tagZtEventArgumentTypeEnum> ArgumentTypeFromName(std::string_view name);
// The value as a user reads it ("0.473", "true", "Z").
std::string ArgumentValueText(const EventArgument& argument);

// "verbose", "info", "warning", "error", "critical" (a number beyond 4).
std::string SeverityName(int32_t severity);
// "none", "waiting", "confirmed", "reset", or the number.
std::string ConfirmationName(int32_t state);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back (braces optional).
std::string GuidText(const GUID& guid);
std::optional<GUID> ParseGuid(std::string_view text);
// Language ids: "1033", "en", "de", ... (nullopt for an unknown name) and a
// comma-separated list of them.
std::optional<long> ParseLanguage(std::string_view text);
std::optional<std::vector<long>> ParseLanguageList(std::string_view text);

// The identity of an alarm across reconnections (class, id, source, raise
// time) and whether two views of it differ in state.
std::string AlarmIdentity(const EventView& view);
bool SameAlarmState(const EventView& a, const EventView& b);

}  // namespace ZtTool

#endif  // ZT_TOOL_EVENT_VIEW_H
