// EventSink.h - the tool's sink on the event logger's connection point. The
// logger calls it on its worker thread; it reads each event's properties
// there (no request) and queues them with a reference to the object, so that
// texts are fetched and lines printed on the tool's main thread.
#ifndef ZT_EVENTLOG_EVENT_SINK_H
#define ZT_EVENTLOG_EVENT_SINK_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "ZtEventLoggerVdlProxy/ZtEventLoggerSink.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
#include "ZtTool/EventView.h"

namespace ZtEventLog {

using ZtAtlCom::CComPtr;
using ZtAtlCom::HRESULT;

enum class Change { Message, Raised, Cleared, Confirmed };
const char* ChangeName(Change change);

struct LiveEvent {
    Change change = Change::Message;
    bool removed = false;  // the alarm left the active list with this change
    ZtTool::EventView view;
    CComPtr<ZtAtlCom::IDispatch> object;  // for texts; released on the thread that drops the event
};

// Events from the worker thread to the main thread, in order. Bounded: when
// the main thread falls far behind, the oldest are dropped and counted.
class EventQueue {
public:
    void Push(LiveEvent event);
    // Waits up to timeout for an event; false when none came.
    bool Pop(LiveEvent& event, std::chrono::milliseconds timeout);
    void Clear();
    size_t Dropped() const { return m_dropped.load(); }

private:
    static constexpr size_t kCapacity = 10000;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<LiveEvent> m_events;
    std::atomic<size_t> m_dropped{0};
};

// Invoke and the reference count come from the library's sink base.
class EventSink final : public ZtEventLoggerVdlProxy::ZtEventLoggerSink {
public:
    // A new sink with one reference, held by the pointer returned.
    static CComPtr<EventSink> Create(std::shared_ptr<EventQueue> queue);

    // Advises the sink on the logger (S_OK or the failure); Unadvise undoes it.
    HRESULT Advise(ZtEventLoggerVdlProxy::IZtEventLogger3* logger);
    void Unadvise();

    HRESULT MessageSent(ZtEventLoggerVdlProxy::IZtMessage* message) override;
    HRESULT AlarmRaised(ZtEventLoggerVdlProxy::IZtAlarm* alarm) override;
    HRESULT AlarmCleared(ZtEventLoggerVdlProxy::IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) override;
    HRESULT AlarmConfirmed(ZtEventLoggerVdlProxy::IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) override;

private:
    explicit EventSink(std::shared_ptr<EventQueue> queue) : m_queue(std::move(queue)) {}
    ~EventSink() override = default;
    HRESULT Queue(Change change, ZtAtlCom::IDispatch* object, bool removed);

    std::shared_ptr<EventQueue> m_queue;
    CComPtr<ZtAtlCom::IConnectionPoint> m_point;
    ZtAtlCom::DWORD m_cookie = 0;
};

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_EVENT_SINK_H
