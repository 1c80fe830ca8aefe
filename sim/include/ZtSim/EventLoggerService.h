// EventLoggerService.h - the event logger service of a simulated target
// (port 132): the active-alarm list, notification frames to subscribers, the
// event log (SQLite), the requests of clients and the texts of events.
//
// Every target of a Simulator carries one, made with the target (find it with
// EventLoggerOf(target)). docs/simulator.md describes every request and reply
// byte by byte; in short (little-endian, "frame" = the 12-byte stream header
// u32 version 1, u16 type, u16 format, u32 payload length, then the payload):
//  - device notifications on index group 777, offset 0 (any other group or
//    offset is refused with 1793). Each sample is one notification frame and,
//    for every type but 4, one event record (EventRecord.h) as payload;
//  - read (200, 1): all active events, a 12-byte head (u32 version 1, u32
//    number of records, u32 byte length of the records) and the records in
//    the order the alarms were first raised;
//  - read-write (200, 2), frame type 200 with u32 count: the newest logged
//    events, newest first; read-write (200, 0), stream type 214 with optional
//    "settings": the logged events the settings select (LogSettings);
//  - write (100, 0): frame type 3 confirm one (24-byte key), 8 confirm all,
//    9 clear all (1 byte: reset confirmation), 800 send message (a record);
//    read-write (100, 0): streams 216 confirm and 218 clear by "filter" and
//    "timeStamp" (raised at or before; 0 or missing: any time);
//  - read-write (500, 0): stream 210 export ("fileName", "settings") as CSV
//    into the target's sandbox (CsvExport.h); frame types 100 message text,
//    102 class name, 104 cause/remedy, 106 class details, 108 event details;
//  - write (600, 0): clear the event log;
//  - read-write (800, 100 / 200 / 300): clear the resource cache, load and
//    unload a resource file (path text in the sandbox, ResourceCatalog.h).
// Stream replies (the read-writes of groups 100 and 500 type 210 and of group
// 200 offsets 0 and 2) open with 24 bytes: the stream header of the request's
// type (format 0), u32 request handle (0 for type 200), u32 record count or
// service result, u32 12 (the offset, from byte 12, of the records or of the
// NUL-terminated result text). Service results: 0 done; 1804 no alarm
// matched (confirm, clear); 1803 the export path is refused (outside the
// sandbox, a folder, no sandbox on this target); 1804 the export folder is
// missing; 1802 the export file could not be written.
// Request errors (the Vdl error of the reply; nothing is changed): 1798 a
// frame or stream that does not decode, or a filter or settings that are not
// valid; 1793 an unknown type, group, offset or request kind; 1797 with the
// size needed when the client's buffer is too small. Requests that change
// something (confirm and clear by filter, export) need kCommandReplySize
// bytes of reply buffer before they act; a smaller buffer gets 1797 with
// that size, and nothing is done.
//
// Alarm life cycle (what a client's active-alarm list mirrors):
//  - raise: isRaised 1, fileTimeRaised now, cleared/confirmed/disposed times 0,
//    confirmation state 2 (waiting) when the event needs confirmation, else 0;
//    the alarm is listed (raising a listed key again replaces its entry);
//  - clear (raised alarms only): isRaised 0, fileTimeCleared now;
//  - clear with reset confirmation (requests 9 and 218): as clear, and a
//    waiting confirmation ends in state 4 (reset), as a dispose ends it; an
//    alarm already cleared but waiting is cleared so too (its clear time
//    stays). Published as frame 2 (cleared): the alarm was cleared, not
//    disposed;
//  - confirm (alarms waiting only): state 3 (confirmed), fileTimeConfirmed now;
//  - an alarm leaves the list once it is neither raised nor waiting;
//  - dispose: isRaised 0, fileTimeDisposed now, a waiting state becomes 4
//    (reset); the alarm leaves the list whatever its state;
//  - clear list: every alarm leaves the list; one frame of type 4 without a
//    record (clients set isRaised 0 and turn a waiting state into 4 themselves).
// Keys are matched as clients match them: same class and id, and equal
// qualifiers or one of them 0.
//
// The event log (EventLogStore.h): one row per message and per raised alarm,
// updated with the alarm's every change (a clear list as clients apply it).
// Raising a listed alarm again starts a new row; the earlier row keeps its
// last state. Clearing the log empties it and writes the alarms still
// listed again (new rows), so the log always holds every listed alarm.
// PublishStorm and PublishRaw are load and fault tools and are not logged.
// Log() is a different thing: the journal of every frame published, kept in
// memory for tests.
//
// Threads: every call may come from any thread. Handle runs on the router
// thread of the requesting connection. Changes publish on the caller's thread
// while holding the service lock, so subscribers receive the frames in the
// order the list changed; a subscriber that stops reading its socket
// therefore stalls them.
#ifndef ZT_SIM_EVENT_LOGGER_SERVICE_H
#define ZT_SIM_EVENT_LOGGER_SERVICE_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <span>
#include <utility>
#include <vector>

#include "EventFilter.h"
#include "EventLogStore.h"
#include "EventRecord.h"
#include "ResourceCatalog.h"
#include "SimTypes.h"

namespace ZtSim {

constexpr uint16_t kEventLoggerPort = 132;
constexpr uint32_t kEventNotificationGroup = 777;
constexpr uint32_t kEventReadGroup = 200;
constexpr uint32_t kActiveEventsOffset = 1;
constexpr size_t kEventStreamHeaderSize = 12;
constexpr size_t kActiveEventsHeadSize = 12;
constexpr uint32_t kCommandGroup = 100;
constexpr uint32_t kLoggedEventsOffset = 0;
constexpr uint32_t kNewestEventsOffset = 2;
constexpr uint32_t kQueryGroup = 500;
constexpr uint32_t kClearLogGroup = 600;
constexpr uint32_t kResourceGroup = 800;
constexpr uint32_t kClearCacheOffset = 100;
constexpr uint32_t kLoadResourceOffset = 200;
constexpr uint32_t kUnloadResourceOffset = 300;
constexpr size_t kStreamReplyHeadSize = 24;
// Results carry texts of at most this many bytes, NUL included.
constexpr size_t kMaxResultText = 64;
constexpr size_t kCommandReplySize = kStreamReplyHeadSize + kMaxResultText;

// Request types.
enum RequestType : uint16_t {
    kRequestConfirmOne = 3,
    kRequestConfirmAll = 8,
    kRequestClearAll = 9,
    kRequestMessageText = 100,
    kRequestClassName = 102,
    kRequestCauseRemedy = 104,
    kRequestClassDetails = 106,
    kRequestEventDetails = 108,
    kRequestNewestEvents = 200,
    kRequestExport = 210,
    kRequestLoggedEvents = 214,
    kRequestConfirmAlarms = 216,
    kRequestClearAlarms = 218,
    kRequestSendMessage = 800,
};

// Service results in stream replies (beside 0).
constexpr uint32_t kResultWriteFailed = 1802;
constexpr uint32_t kResultRefused = 1803;
constexpr uint32_t kResultNoneFound = 1804;

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
    int64_t logSeq = 0;  // its row in the event log (0: none)
};

// One row of the event log.
struct LogRow {
    int64_t seq = 0;
    EventDescription event;
    EventState state;
    std::vector<uint8_t> record;
};

class FileService;

struct EventLoggerOptions {
    std::string logFile;                     // SQLite file of the event log; empty: in memory
    std::vector<std::string> resourceFiles;  // loaded at start, in order
    std::shared_ptr<FileService> files;      // the sandbox of exports and resource requests; null: none
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
    // Throws std::runtime_error when the log file or a resource file cannot be used.
    explicit EventLoggerService(Target& target, EventLoggerOptions options = {});
    ~EventLoggerService() override;

    Reply Handle(Target& target, const Request& request) override;
    uint32_t CanSubscribe(Target& target, uint32_t indexGroup, uint32_t indexOffset) override;

    // Serves (group, offset) with handler for every request kind but read
    // state, in place of the built-in answer; a null handler brings the
    // built-in answer back.
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

    // Confirm and clear by filter: the listed alarms that match the filter
    // and were raised at or before timeStamp (0: any time). Confirm takes the
    // alarms waiting for confirmation; clear the raised ones and, with
    // resetConfirmation, those waiting too (see the life cycle above). Each
    // change publishes its frame. Returns how many alarms changed.
    size_t ConfirmAlarms(const EventFilter& filter, uint64_t timeStamp = 0);
    size_t ClearAlarms(const EventFilter& filter, uint64_t timeStamp = 0, bool resetConfirmation = false);

    // The event log: rows, newest or oldest first, at most maxCount (0: all)
    // selected by filter (null: every row).
    std::vector<LogRow> LoggedEvents(bool oldestFirst = false, size_t maxCount = 0,
                                     const EventFilter* filter = nullptr) const;
    size_t LoggedEventCount() const;
    void ClearLoggedEvents();
    // Rows that could not be written (a full disk).
    size_t LogFailures() const;

    // Texts and resource files.
    ResourceCatalog& Texts() { return texts_; }

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
    // The new state of a listed alarm goes to its log row; mutex_ held.
    void LogChange(const ActiveAlarm& alarm, std::span<const uint8_t> record);
    // A clear or confirm of one alarm: new state, frame, log, unlisting;
    // mutex_ held. Returns the iterator after the alarm.
    AlarmList::iterator Settle(AlarmList::iterator it, EventFrameType type, uint64_t now);
    // Visits log rows that decode and match, up to maxCount; mutex_ held.
    void VisitLog(bool oldestFirst, size_t maxCount, const EventFilter* filter,
                  const std::function<void(LogRow&&)>& visit) const;

    // Requests (EventLoggerRequests.cpp, EventLoggerQueries.cpp).
    void InstallRequests();
    Reply CommandWrite(const Request& request);
    Reply AlarmStream(const Request& request);
    Reply NewestEvents(const Request& request);
    Reply LoggedEventsStream(const Request& request);
    Reply ClearLogWrite(const Request& request);
    Reply Query(const Request& request);
    Reply Export(const Request& request, uint32_t handle, const StreamValue& body);
    Reply TextQuery(const Request& request, uint16_t type, std::span<const uint8_t> payload);
    Reply ResourceRequest(const Request& request);

    Target& target_;
    mutable std::mutex mutex_;
    Clock clock_;
    AlarmList alarms_;  // in raise order
    std::deque<LoggedEvent> log_;
    size_t logCapacity_ = 100000;
    std::map<std::pair<uint32_t, uint32_t>, Handler> handlers_;
    std::map<std::pair<uint32_t, uint32_t>, Handler> builtIn_;
    mutable EventLogStore store_;
    ResourceCatalog texts_;
    std::shared_ptr<FileService> files_;
};

// The event logger service of a target (null if it was removed or replaced).
std::shared_ptr<EventLoggerService> EventLoggerOf(const Target& target);

}  // namespace ZtSim

#endif  // ZT_SIM_EVENT_LOGGER_SERVICE_H
