// EventLoggerService.h - the event logger service of a simulated target
// (port 132), notification side: the active-alarm list, notification frames
// to subscribers and the read of all active events.
//
// Every target of a Simulator carries one, made with the target (find it with
// EventLoggerOf(target)). What it serves:
//  - device notifications on index group 777, offset 0 (any other group or
//    offset is refused with 1793). Each sample is one notification frame: a
//    12-byte stream header (u32 version 1, u16 frame type, u16 format 0, u32
//    payload length) and, for every type but 4, one event record
//    (EventRecord.h) as payload;
//  - read on index group 200, offset 1: all active events, as a 12-byte head
//    (u32 version 1, u32 number of records, u32 byte length of the records)
//    and the records back to back, in the order the alarms were first raised
//    (raising a listed alarm again keeps its place). A client buffer that is
//    too small gets 1797 and the size needed (the router's rule for reads);
//  - read state (the target's runtime state); every other request: 1793.
// Further requests (event log, commands, texts) are added per index group and
// offset with SetHandler; the log of published events (Log()) is kept for them.
//
// Alarm life cycle (what a client's active-alarm list mirrors):
//  - raise: isRaised 1, fileTimeRaised now, cleared/confirmed/disposed times 0,
//    confirmation state 2 (waiting) when the event needs confirmation, else 0;
//    the alarm is listed (raising a listed key again replaces its entry);
//  - clear (raised alarms only): isRaised 0, fileTimeCleared now;
//  - confirm (alarms waiting only): state 3 (confirmed), fileTimeConfirmed now;
//  - an alarm leaves the list once it is neither raised nor waiting;
//  - dispose: isRaised 0, fileTimeDisposed now, a waiting state becomes 4
//    (reset); the alarm leaves the list whatever its state;
//  - clear list: every alarm leaves the list; one frame of type 4 without a
//    record (clients set isRaised 0 and turn a waiting state into 4 themselves).
// Keys are matched as clients match them: same class and id, and equal
// qualifiers or one of them 0.
//
// Threads: every call may come from any thread. Handle runs on the router
// thread of the requesting connection. The event calls publish on the
// caller's thread while holding the service lock, so subscribers receive the
// frames in the order the list changed; a subscriber that stops reading its
// socket therefore stalls them.
#ifndef ZT_SIM_EVENT_LOGGER_SERVICE_H
#define ZT_SIM_EVENT_LOGGER_SERVICE_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "EventRecord.h"
#include "SimTypes.h"

namespace ZtSim {

constexpr uint16_t kEventLoggerPort = 132;
constexpr uint32_t kEventNotificationGroup = 777;
constexpr uint32_t kEventReadGroup = 200;
constexpr uint32_t kActiveEventsOffset = 1;
constexpr size_t kEventStreamHeaderSize = 12;
constexpr size_t kActiveEventsHeadSize = 12;

// Types of notification frames.
enum class EventFrameType : uint16_t {
    MessageSent = 0,
    AlarmRaised = 1,
    AlarmCleared = 2,
    AlarmListCleared = 4,
    AlarmConfirmed = 6,
    AlarmDisposed = 7,
};

// Result of an event call. Only Ok publishes a frame.
enum class EventResult : uint8_t {
    Ok,
    NoSuchAlarm,  // no listed alarm has that key
    NotRaised,    // clear of an alarm that is not raised
    NotWaiting,   // confirm of an alarm that waits for no confirmation
};
const char* EventResultText(EventResult result);

// One listed alarm.
struct ActiveAlarm {
    EventDescription event;
    EventState state;
};

// One published event, as kept in the service's log.
struct LoggedEvent {
    EventFrameType type;
    uint64_t time;                // FILETIME of the frame
    std::vector<uint8_t> record;  // empty for a cleared list
};

class EventLoggerService : public Service {
public:
    using Handler = std::function<Reply(Target&, const Request&)>;
    using Clock = std::function<uint64_t()>;

    // The service publishes on `target`, which must outlive it (the target
    // owns it; keep no reference beyond the Simulator's life).
    explicit EventLoggerService(Target& target);

    Reply Handle(Target& target, const Request& request) override;
    uint32_t CanSubscribe(Target& target, uint32_t indexGroup, uint32_t indexOffset) override;

    // Serves (group, offset) with handler for every request kind but read
    // state, in place of the built-in answer; a null handler removes it.
    // The handler runs on a router thread without the service lock.
    void SetHandler(uint32_t indexGroup, uint32_t indexOffset, Handler handler);
    // Time source of records and frames (FILETIME); null: FileTimeNow. The
    // clock is called with the service lock held: it must not call the service.
    void SetClock(Clock clock);

    // Events. Each publishes its frame (with the record in its new state)
    // and returns Ok, or changes nothing and returns why not. Clear, confirm
    // and dispose use only the key of a description.
    EventResult SendMessage(const EventDescription& message);
    EventResult RaiseAlarm(const EventDescription& alarm);
    EventResult ClearAlarm(const EventKey& key);
    EventResult ConfirmAlarm(const EventKey& key);
    EventResult DisposeAlarm(const EventKey& key);
    EventResult ClearAlarm(const EventDescription& alarm) { return ClearAlarm(alarm.Key()); }
    EventResult ConfirmAlarm(const EventDescription& alarm) { return ConfirmAlarm(alarm.Key()); }
    EventResult DisposeAlarm(const EventDescription& alarm) { return DisposeAlarm(alarm.Key()); }
    EventResult ClearAlarmList();

    // Sends `count` message frames as fast as possible, each the record of
    // `message` with one more argument: a UInt32 sequence number from 0.
    // Returns how many samples reached subscribers in all.
    size_t PublishStorm(size_t count, const EventDescription& message);

    // A notification frame: stream header and payload. declaredLength
    // replaces the payload length in the header (to announce more or fewer
    // bytes than follow).
    static std::vector<uint8_t> Frame(uint16_t type, std::span<const uint8_t> payload, uint32_t version = 1,
                                      std::optional<uint32_t> declaredLength = std::nullopt);
    // Publishes bytes as they are (any type, version or length) to the
    // subscribers of group 777; not logged, the list is not touched.
    // Returns how many subscribers it reached. timeStamp 0: the clock's now.
    size_t PublishRaw(std::span<const uint8_t> frame, uint64_t timeStamp = 0);

    // Snapshots.
    std::vector<ActiveAlarm> ActiveAlarms() const;
    // The reply of the read of all active events (head and records).
    std::vector<uint8_t> ActiveEventsReply() const;
    // Published events, oldest first; at most LogCapacity() (the oldest go first).
    std::vector<LoggedEvent> Log() const;
    void SetLogCapacity(size_t capacity);
    size_t SubscriberCount() const;

private:
    using AlarmList = std::vector<ActiveAlarm>;
    AlarmList::iterator Find(const EventKey& key);
    uint64_t Now() const;
    // Clear, confirm and dispose: finds the alarm, asks check whether the
    // change applies, applies it with the time, publishes and unlists.
    template <class Check, class Apply>
    EventResult ChangeAlarm(const EventKey& key, EventFrameType type, Check check, Apply apply);
    // Builds the frame of type for record, publishes it and logs it; mutex_ held.
    size_t PublishEvent(EventFrameType type, std::vector<uint8_t> record, uint64_t time);
    Reply ReadActiveEvents(const Request& request);

    Target& target_;
    mutable std::mutex mutex_;
    Clock clock_;
    AlarmList alarms_;  // in raise order
    std::deque<LoggedEvent> log_;
    size_t logCapacity_ = 100000;
    std::map<std::pair<uint32_t, uint32_t>, Handler> handlers_;
};

// The event logger service of a target (null if it was removed or replaced).
std::shared_ptr<EventLoggerService> EventLoggerOf(const Target& target);

}  // namespace ZtSim

#endif  // ZT_SIM_EVENT_LOGGER_SERVICE_H
