// EventSource.h - what the gateway needs of one controller: its live events,
// its active alarms and the requests of the commands. LoggerSource runs it on
// an event logger object; tests put a scripted source in its place.
//
// Threads: the listener is called on the source's own thread, one event at a
// time, in the controller's order, and must not block on the network. The
// other calls come from the gateway's thread of that target; they may block
// for a request's time-out.
#ifndef ZT_GATEWAY_EVENT_SOURCE_H
#define ZT_GATEWAY_EVENT_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "ZtAtlCom/HResult.h"

namespace ZtGateway {

using ZtAtlCom::HRESULT;

// The key of an alarm: class as GUID text "{...}", id and qualifier.
struct AlarmKey {
    std::string eventClass;
    uint32_t eventId = 0;
    uint32_t qualifier = 0;
    bool operator==(const AlarmKey&) const = default;
};

enum class Transition { Message, Raised, Cleared, Confirmed };
const char* TransitionName(Transition t);

struct SourceEvent {
    Transition transition = Transition::Message;
    bool removed = false;  // the alarm has just left the active list
    AlarmKey key;          // class and id of a message too
    std::string json;      // the JSON object of the message or alarm, state after the transition
};

struct SourceAlarm {
    AlarmKey key;
    std::string json;
};

struct MessageArgument {
    std::string type;  // bool, int8 ... uint64, float, double, string
    std::string text;  // string value, or the number as text
    double number = 0;
    int64_t integer = 0;
    uint64_t uinteger = 0;
    bool boolean = false;
};

struct MessageRequest {
    std::string eventClass;  // GUID text
    uint32_t eventId = 0;
    int32_t severity = 1;
    std::string json;  // JSON attribute text; empty: none
    bool hasSourceId = false;
    uint32_t sourceId = 0;
    std::string sourceGuid;  // empty: none
    bool hasSourceName = false;
    std::string sourceName;
    std::vector<MessageArgument> arguments;
};

class EventSource {
public:
    class Listener {
    public:
        virtual void OnSourceEvent(const SourceEvent& event) = 0;

    protected:
        ~Listener() = default;
    };
    virtual ~EventSource() = default;

    // (Re)opens the link to the controller; S_OK once the active list holds
    // the controller's alarms. Events reach the listener only while connected.
    virtual HRESULT Connect() = 0;
    virtual void Disconnect() = 0;
    virtual bool IsConnected() = 0;
    virtual HRESULT ActiveAlarms(std::vector<SourceAlarm>& alarms) = 0;
    // Confirms the listed alarm with this key; 0x98110000 + 1804 (not found)
    // when no listed alarm has it.
    virtual HRESULT ConfirmAlarm(const AlarmKey& key) = 0;
    virtual HRESULT ConfirmAll() = 0;
    // Filter text in the tool's syntax; a bad text gives E_INVALIDARG and its
    // message in `error`.
    virtual HRESULT ClearByFilter(const std::string& filterText, bool resetConfirmation, std::string& error) = 0;
    virtual HRESULT SendMessage(const MessageRequest& message) = 0;
    // The newest `count` logged events, newest first, as JSON objects.
    virtual HRESULT ReadLog(uint32_t count, std::vector<std::string>& events) = 0;
};

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_EVENT_SOURCE_H
