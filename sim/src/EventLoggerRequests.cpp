// The event and alarm requests of the simulated event logger service:
// commands on group 100, log reads on group 200, clearing the log on 600.
#include <cstring>

#include "MrxWire.h"
#include "ServiceReplies.h"
#include "ZtSim/EventLoggerService.h"
#include "ZtSim/RequestStream.h"

namespace ZtSim {

namespace {

EventKey KeyAt(const uint8_t* p) {
    EventKey k;
    k.eventClass = EventGuid::FromBytes(p);
    k.eventId = ZtMrxWire::Get32(p + 16);
    k.keyQualifier = ZtMrxWire::Get32(p + 20);
    return k;
}

// The handle of a stream (0 when it has none).
std::optional<uint32_t> HandleOf(const StreamValue& body) {
    const StreamValue* h = body.Find("handle");
    if (h == nullptr) return 0u;
    auto v = h->Unsigned(UINT32_MAX);
    if (!v) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

}  // namespace

void EventLoggerService::InstallRequests() {
    auto on = [this](uint32_t group, uint32_t offset, Reply (EventLoggerService::*serve)(const Request&)) {
        builtIn_[{group, offset}] = [this, serve](Target&, const Request& r) { return (this->*serve)(r); };
    };
    on(kCommandGroup, 0, &EventLoggerService::CommandWrite);
    on(kEventReadGroup, kLoggedEventsOffset, &EventLoggerService::LoggedEventsStream);
    on(kEventReadGroup, kNewestEventsOffset, &EventLoggerService::NewestEvents);
    on(kQueryGroup, 0, &EventLoggerService::Query);
    on(kClearLogGroup, 0, &EventLoggerService::ClearLogWrite);
    for (uint32_t offset : {kClearCacheOffset, kLoadResourceOffset, kUnloadResourceOffset})
        on(kResourceGroup, offset, &EventLoggerService::ResourceRequest);
}

Reply EventLoggerService::CommandWrite(const Request& request) {
    if (request.kind == RequestKind::ReadWrite) return AlarmStream(request);
    if (request.kind != RequestKind::Write) return NotSupported();
    auto frame = ReadRequestFrame(request.data);
    if (!frame) return Malformed();
    const auto& p = frame->payload;
    switch (frame->type) {
        case kRequestConfirmOne: {
            if (p.size() != kEventKeySize) return Malformed();
            // Only an alarm that waits can be confirmed; anything else is not there to confirm.
            EventResult r = ConfirmAlarm(KeyAt(p.data()));
            return r == EventResult::Ok ? Reply::Ok() : Reply::Error(MRX_ERR_NOT_FOUND);
        }
        case kRequestConfirmAll:
            if (!p.empty()) return Malformed();
            ConfirmAlarms(EventFilter{});
            return Reply::Ok();
        case kRequestClearAll:
            if (p.size() != 1 || p[0] > 1) return Malformed();
            ClearAlarms(EventFilter{}, 0, p[0] == 1);
            return Reply::Ok();
        case kRequestSendMessage: {
            EventDescription message;
            EventState state;
            size_t length = 0;
            if (!ParseEventRecord(p, message, state, &length).empty() || length != p.size()) return Malformed();
            // The service's record: a message raised now, whatever the client put into the state fields.
            message.needsConfirmation = false;
            SendMessage(message);
            return Reply::Ok();
        }
        default:
            return NotSupported();
    }
}

Reply EventLoggerService::AlarmStream(const Request& request) {
    RequestStream stream;
    if (!DecodeRequestStream(request.data, stream).empty()) {
        auto frame = ReadRequestFrame(request.data);
        const bool known = frame && (frame->type == kRequestConfirmAlarms || frame->type == kRequestClearAlarms);
        return known || !frame ? Malformed() : NotSupported();
    }
    if (stream.type != kRequestConfirmAlarms && stream.type != kRequestClearAlarms) return NotSupported();
    const StreamValue& body = stream.body;
    auto handle = HandleOf(body);
    if (body.kind != StreamValue::Kind::Object || !handle) return Malformed();
    uint64_t timeStamp = 0;
    if (const auto* t = body.Find("timeStamp")) {
        auto v = t->Unsigned();
        if (!v) return Malformed();
        timeStamp = *v;
    }
    bool reset = false;
    if (const auto* r = body.Find("bResetConfirmation")) {
        auto v = r->Boolean();
        if (!v) return Malformed();
        reset = *v;
    }
    EventFilter filter;
    if (const auto* f = body.Find("filter"); f && !filter.Compile(*f).empty()) return Malformed();
    // The reply must fit before anything changes: a client told 1797 sends the request again.
    if (request.readLength < kCommandReplySize) return Reply::SizeHint(kCommandReplySize);
    const size_t changed = stream.type == kRequestConfirmAlarms ? ConfirmAlarms(filter, timeStamp)
                                                                : ClearAlarms(filter, timeStamp, reset);
    if (changed == 0) return Reply::Data(ResultReply(stream.type, *handle, kResultNoneFound, "no alarm matched"));
    return Reply::Data(StreamReply(stream.type, *handle, 0, {}));
}

Reply EventLoggerService::NewestEvents(const Request& request) {
    if (request.kind != RequestKind::ReadWrite) return NotSupported();
    auto frame = ReadRequestFrame(request.data);
    if (!frame) return Malformed();
    if (frame->type != kRequestNewestEvents) return NotSupported();
    if (frame->payload.size() != 4) return Malformed();
    const uint32_t count = ZtMrxWire::Get32(frame->payload.data());
    Bytes records;
    uint32_t n = 0;
    if (count != 0) {
        std::lock_guard<std::mutex> lk(mutex_);
        VisitLog(false, count, nullptr, [&](LogRow&& row) {
            records.Raw(row.record.data(), row.record.size());
            ++n;
        });
    }
    return Reply::Data(StreamReply(kRequestNewestEvents, 0, n, records.Vec()));
}

Reply EventLoggerService::LoggedEventsStream(const Request& request) {
    if (request.kind != RequestKind::ReadWrite) return NotSupported();
    RequestStream stream;
    if (!DecodeRequestStream(request.data, stream).empty()) {
        auto frame = ReadRequestFrame(request.data);
        return !frame || frame->type == kRequestLoggedEvents ? Malformed() : NotSupported();
    }
    if (stream.type != kRequestLoggedEvents) return NotSupported();
    auto handle = HandleOf(stream.body);
    if (stream.body.kind != StreamValue::Kind::Object || !handle) return Malformed();
    LogSettings settings;
    if (const auto* s = stream.body.Find("settings"); s && !settings.Parse(*s).empty()) return Malformed();
    Bytes records;
    uint32_t n = 0;
    {
        std::lock_guard<std::mutex> lk(mutex_);
        VisitLog(settings.oldestFirst, settings.maxCount, &settings.filter, [&](LogRow&& row) {
            records.Raw(row.record.data(), row.record.size());
            ++n;
        });
    }
    return Reply::Data(StreamReply(kRequestLoggedEvents, *handle, n, records.Vec()));
}

Reply EventLoggerService::ClearLogWrite(const Request& request) {
    if (request.kind != RequestKind::Write) return NotSupported();
    ClearLoggedEvents();
    return Reply::Ok();
}

}  // namespace ZtSim
