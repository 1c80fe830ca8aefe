#include "ZtSim/EventLoggerService.h"

#include "ZtSim/Target.h"

#include <stdexcept>

namespace ZtSim {

namespace {

constexpr uint32_t kStreamVersion = 1;
constexpr uint16_t kAlarmEventType = 1;

// An alarm stays listed while it is raised or waits for a confirmation.
bool StaysListed(const EventState& s) { return s.isRaised != 0 || s.confirmationState == kConfirmationWaiting; }

}  // namespace

const char* EventResultText(EventResult result) {
    switch (result) {
        case EventResult::Ok:
            return "ok";
        case EventResult::NoSuchAlarm:
            return "no such alarm";
        case EventResult::NotRaised:
            return "alarm not raised";
        case EventResult::NotWaiting:
            return "alarm waits for no confirmation";
    }
    return "?";
}

EventLoggerService::EventLoggerService(Target& target, EventLoggerOptions options)
    : target_(target), store_(options.logFile), files_(std::move(options.files)) {
    builtIn_[{kEventReadGroup, kActiveEventsOffset}] = [this](Target&, const Request& r) {
        return ReadActiveEvents(r);
    };
    InstallRequests();
    handlers_ = builtIn_;
    for (const auto& path : options.resourceFiles) {
        std::string error;
        if (texts_.Load(path, error) != 0) throw std::runtime_error("simulator: resource file " + error);
    }
}

EventLoggerService::~EventLoggerService() = default;

Reply EventLoggerService::Handle(Target& target, const Request& request) {
    if (request.kind == RequestKind::ReadState) return Default(target, request);
    Handler handler;
    {
        std::lock_guard<std::mutex> lk(mutex_);
        auto it = handlers_.find({request.indexGroup, request.indexOffset});
        if (it != handlers_.end()) handler = it->second;
    }
    if (!handler) return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    return handler(target, request);
}

uint32_t EventLoggerService::CanSubscribe(Target&, uint32_t indexGroup, uint32_t indexOffset) {
    if (indexGroup == kEventNotificationGroup && indexOffset == 0) return 0;
    return MRX_ERR_SERVICE_NOT_SUPPORTED;
}

void EventLoggerService::SetHandler(uint32_t indexGroup, uint32_t indexOffset, Handler handler) {
    std::lock_guard<std::mutex> lk(mutex_);
    const std::pair<uint32_t, uint32_t> at{indexGroup, indexOffset};
    if (handler)
        handlers_[at] = std::move(handler);
    else if (auto it = builtIn_.find(at); it != builtIn_.end())
        handlers_[at] = it->second;
    else
        handlers_.erase(at);
}

void EventLoggerService::SetClock(Clock clock) {
    std::lock_guard<std::mutex> lk(mutex_);
    clock_ = std::move(clock);
}

uint64_t EventLoggerService::Now() const { return clock_ ? clock_() : FileTimeNow(); }

Reply EventLoggerService::ReadActiveEvents(const Request& request) {
    if (request.kind != RequestKind::Read) return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    // Longer than the client's buffer: the router answers 1797 with this size.
    return Reply::Data(ActiveEventsReply());
}

std::vector<uint8_t> EventLoggerService::Frame(uint16_t type, std::span<const uint8_t> payload, uint32_t version,
                                               std::optional<uint32_t> declaredLength) {
    Bytes b;
    b.U32(version).U16(type).U16(0).U32(declaredLength.value_or(static_cast<uint32_t>(payload.size())));
    if (!payload.empty()) b.Raw(payload.data(), payload.size());
    return b.Take();
}

size_t EventLoggerService::PublishEvent(EventFrameType type, std::vector<uint8_t> record, uint64_t time) {
    auto frame = Frame(static_cast<uint16_t>(type), record, kStreamVersion);
    size_t reached = target_.Publish(kEventLoggerPort, kEventNotificationGroup, 0, frame, time);
    if (logCapacity_ > 0) {
        if (log_.size() >= logCapacity_) log_.pop_front();
        log_.push_back(LoggedEvent{type, time, std::move(record)});
    }
    return reached;
}

EventLoggerService::AlarmList::iterator EventLoggerService::Find(const EventKey& key) {
    for (auto it = alarms_.begin(); it != alarms_.end(); ++it)
        if (it->event.Key().Matches(key)) return it;
    return alarms_.end();
}

EventResult EventLoggerService::SendMessage(const EventDescription& message) {
    std::lock_guard<std::mutex> lk(mutex_);
    EventState s;
    s.fileTimeRaised = Now();
    auto record = BuildEventRecord(message, s);
    store_.Insert(message, s, record);
    PublishEvent(EventFrameType::MessageSent, std::move(record), s.fileTimeRaised);
    return EventResult::Ok;
}

EventResult EventLoggerService::RaiseAlarm(const EventDescription& alarm) {
    std::lock_guard<std::mutex> lk(mutex_);
    EventState s;
    s.isRaised = 1;
    s.eventType = kAlarmEventType;
    s.fileTimeRaised = Now();
    s.confirmationState = alarm.needsConfirmation ? kConfirmationWaiting : kConfirmationNone;
    auto it = Find(alarm.Key());
    if (it == alarms_.end())
        it = alarms_.insert(alarms_.end(), ActiveAlarm{alarm, s});
    else
        *it = ActiveAlarm{alarm, s};
    auto record = BuildEventRecord(it->event, it->state);
    it->logSeq = store_.Insert(it->event, it->state, record);
    PublishEvent(EventFrameType::AlarmRaised, std::move(record), s.fileTimeRaised);
    return EventResult::Ok;
}

template <class Check, class Apply>
EventResult EventLoggerService::ChangeAlarm(const EventKey& key, EventFrameType type, Check check, Apply apply) {
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = Find(key);
    if (it == alarms_.end()) return EventResult::NoSuchAlarm;
    if (EventResult r = check(it->state); r != EventResult::Ok) return r;
    const uint64_t now = Now();
    apply(it->state, now);
    auto record = BuildEventRecord(it->event, it->state);
    LogChange(*it, record);
    if (type == EventFrameType::AlarmDisposed || !StaysListed(it->state)) alarms_.erase(it);
    PublishEvent(type, std::move(record), now);
    return EventResult::Ok;
}

EventResult EventLoggerService::ClearAlarm(const EventKey& key) {
    return ChangeAlarm(
        key, EventFrameType::AlarmCleared,
        [](const EventState& s) { return s.isRaised != 0 ? EventResult::Ok : EventResult::NotRaised; },
        [](EventState& s, uint64_t now) {
            s.isRaised = 0;
            s.fileTimeCleared = now;
        });
}

EventResult EventLoggerService::ConfirmAlarm(const EventKey& key) {
    return ChangeAlarm(
        key, EventFrameType::AlarmConfirmed,
        [](const EventState& s) {
            return s.confirmationState == kConfirmationWaiting ? EventResult::Ok : EventResult::NotWaiting;
        },
        [](EventState& s, uint64_t now) {
            s.confirmationState = kConfirmationDone;
            s.fileTimeConfirmed = now;
        });
}

EventResult EventLoggerService::DisposeAlarm(const EventKey& key) {
    return ChangeAlarm(
        key, EventFrameType::AlarmDisposed, [](const EventState&) { return EventResult::Ok; },
        [](EventState& s, uint64_t now) {
            s.isRaised = 0;
            s.fileTimeDisposed = now;
            // The wait ends without a confirmation, as when the list is cleared.
            if (s.confirmationState == kConfirmationWaiting) s.confirmationState = kConfirmationReset;
        });
}

EventResult EventLoggerService::ClearAlarmList() {
    std::lock_guard<std::mutex> lk(mutex_);
    // Type 4 carries no record: clients reset their own copies of the alarms;
    // the log records what they make of it.
    for (auto& a : alarms_) {
        a.state.isRaised = 0;
        if (a.state.confirmationState == kConfirmationWaiting) a.state.confirmationState = kConfirmationReset;
        LogChange(a, BuildEventRecord(a.event, a.state));
    }
    alarms_.clear();
    PublishEvent(EventFrameType::AlarmListCleared, {}, Now());
    return EventResult::Ok;
}

size_t EventLoggerService::PublishStorm(size_t count, const EventDescription& message) {
    EventDescription m = message;
    m.arguments.push_back(EventArgument::UInt32(0));
    size_t reached = 0;
    for (size_t i = 0; i < count; ++i) {
        m.arguments.back() = EventArgument::UInt32(static_cast<uint32_t>(i));
        std::lock_guard<std::mutex> lk(mutex_);
        EventState s;
        s.fileTimeRaised = Now();
        reached += PublishEvent(EventFrameType::MessageSent, BuildEventRecord(m, s), s.fileTimeRaised);
    }
    return reached;
}

size_t EventLoggerService::PublishRaw(std::span<const uint8_t> frame, uint64_t timeStamp) {
    std::lock_guard<std::mutex> lk(mutex_);
    return target_.Publish(kEventLoggerPort, kEventNotificationGroup, 0, frame,
                           timeStamp != 0 ? timeStamp : Now());
}

void EventLoggerService::LogChange(const ActiveAlarm& alarm, std::span<const uint8_t> record) {
    store_.Update(alarm.logSeq, alarm.state, record);
}

EventLoggerService::AlarmList::iterator EventLoggerService::Settle(AlarmList::iterator it, EventFrameType type,
                                                                  uint64_t now) {
    EventState& s = it->state;
    if (type == EventFrameType::AlarmConfirmed) {
        s.confirmationState = kConfirmationDone;
        s.fileTimeConfirmed = now;
    } else {
        if (s.isRaised != 0) s.fileTimeCleared = now;
        s.isRaised = 0;
    }
    auto record = BuildEventRecord(it->event, s);
    LogChange(*it, record);
    auto next = StaysListed(s) ? std::next(it) : alarms_.erase(it);
    PublishEvent(type, std::move(record), now);
    return next;
}

size_t EventLoggerService::ConfirmAlarms(const EventFilter& filter, uint64_t timeStamp) {
    std::lock_guard<std::mutex> lk(mutex_);
    const uint64_t now = Now();
    size_t changed = 0;
    for (auto it = alarms_.begin(); it != alarms_.end();) {
        const EventState& s = it->state;
        if (s.confirmationState == kConfirmationWaiting && (timeStamp == 0 || s.fileTimeRaised <= timeStamp) &&
            filter.Matches(it->event, s)) {
            it = Settle(it, EventFrameType::AlarmConfirmed, now);
            ++changed;
        } else {
            ++it;
        }
    }
    return changed;
}

size_t EventLoggerService::ClearAlarms(const EventFilter& filter, uint64_t timeStamp, bool resetConfirmation) {
    std::lock_guard<std::mutex> lk(mutex_);
    const uint64_t now = Now();
    size_t changed = 0;
    for (auto it = alarms_.begin(); it != alarms_.end();) {
        EventState& s = it->state;
        const bool waiting = s.confirmationState == kConfirmationWaiting;
        if ((s.isRaised != 0 || (resetConfirmation && waiting)) &&
            (timeStamp == 0 || s.fileTimeRaised <= timeStamp) && filter.Matches(it->event, s)) {
            if (resetConfirmation && waiting) s.confirmationState = kConfirmationReset;
            it = Settle(it, EventFrameType::AlarmCleared, now);
            ++changed;
        } else {
            ++it;
        }
    }
    return changed;
}

void EventLoggerService::VisitLog(bool oldestFirst, size_t maxCount, const EventFilter* filter,
                                  const std::function<void(LogRow&&)>& visit) const {
    size_t n = 0;
    store_.Visit(oldestFirst, [&](int64_t seq, std::span<const uint8_t> record) {
        LogRow row;
        // Rows are written by the service; one that does not decode (a file
        // changed by hand) is passed over.
        if (!ParseEventRecord(record, row.event, row.state).empty()) return true;
        if (filter != nullptr && !filter->Matches(row.event, row.state)) return true;
        row.seq = seq;
        row.record.assign(record.begin(), record.end());
        visit(std::move(row));
        return maxCount == 0 || ++n < maxCount;
    });
}

std::vector<LogRow> EventLoggerService::LoggedEvents(bool oldestFirst, size_t maxCount,
                                                     const EventFilter* filter) const {
    std::lock_guard<std::mutex> lk(mutex_);
    std::vector<LogRow> rows;
    VisitLog(oldestFirst, maxCount, filter, [&](LogRow&& r) { rows.push_back(std::move(r)); });
    return rows;
}

size_t EventLoggerService::LoggedEventCount() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return store_.Count();
}

void EventLoggerService::ClearLoggedEvents() {
    std::lock_guard<std::mutex> lk(mutex_);
    store_.Clear();
    for (auto& a : alarms_) a.logSeq = store_.Insert(a.event, a.state, BuildEventRecord(a.event, a.state));
}

size_t EventLoggerService::LogFailures() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return store_.Failures();
}

std::vector<ActiveAlarm> EventLoggerService::ActiveAlarms() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return alarms_;
}

std::vector<uint8_t> EventLoggerService::ActiveEventsReply() const {
    std::lock_guard<std::mutex> lk(mutex_);
    Bytes records;
    for (const auto& a : alarms_) {
        auto r = BuildEventRecord(a.event, a.state);
        records.Raw(r.data(), r.size());
    }
    Bytes b;
    b.U32(kStreamVersion).U32(static_cast<uint32_t>(alarms_.size())).U32(static_cast<uint32_t>(records.Size()));
    if (records.Size() != 0) b.Raw(records.Vec().data(), records.Size());
    return b.Take();
}

std::vector<LoggedEvent> EventLoggerService::Log() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return {log_.begin(), log_.end()};
}

void EventLoggerService::SetLogCapacity(size_t capacity) {
    std::lock_guard<std::mutex> lk(mutex_);
    logCapacity_ = capacity;
    while (log_.size() > logCapacity_) log_.pop_front();
}

size_t EventLoggerService::SubscriberCount() const {
    return target_.SubscriberCount(kEventLoggerPort, kEventNotificationGroup, 0);
}

std::shared_ptr<EventLoggerService> EventLoggerOf(const Target& target) {
    return target.ServiceAs<EventLoggerService>(kEventLoggerPort);
}

}  // namespace ZtSim
