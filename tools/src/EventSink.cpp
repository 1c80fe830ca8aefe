// EventSink.cpp - the tool's sink: called on the logger's worker thread.
#include "EventSink.h"

namespace ZtEventLog {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::Failed;
using ZtAtlCom::VARIANT;

const char* ChangeName(Change change) {
    switch (change) {
    case Change::Message: return "message";
    case Change::Raised: return "raised";
    case Change::Cleared: return "cleared";
    case Change::Confirmed: return "confirmed";
    }
    return "";
}

void EventQueue::Push(LiveEvent event) {
    std::optional<LiveEvent> dropped;  // released outside the lock
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        if (m_events.size() >= kCapacity) {
            dropped = std::move(m_events.front());
            m_events.pop_front();
            ++m_dropped;
        }
        m_events.push_back(std::move(event));
    }
    m_cv.notify_one();
}

bool EventQueue::Pop(LiveEvent& event, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lk(m_mutex);
    if (!m_cv.wait_for(lk, timeout, [this] { return !m_events.empty(); })) return false;
    event = std::move(m_events.front());
    m_events.pop_front();
    return true;
}

void EventQueue::Clear() {
    std::deque<LiveEvent> old;
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        old.swap(m_events);
    }
}

CComPtr<EventSink> EventSink::Create(std::shared_ptr<EventQueue> queue) {
    CComPtr<EventSink> sink;
    sink.Attach(new EventSink(std::move(queue)));
    return sink;
}

HRESULT EventSink::Advise(IZtEventLogger3* logger) {
    if (!logger) return ZtAtlCom::E_POINTER;
    CComPtr<ZtAtlCom::IConnectionPointContainer> container;
    HRESULT hr = logger->QueryInterface(ZtAtlCom::IID_IConnectionPointContainer, reinterpret_cast<void**>(&container.p));
    if (Failed(hr)) return hr;
    CComPtr<ZtAtlCom::IConnectionPoint> point;
    hr = container->FindConnectionPoint(IID__IZtEventLoggerEvents, point.ReleaseAndGetAddressOf());
    if (Failed(hr)) return hr;
    if (!point) return ZtAtlCom::E_FAIL;
    ZtAtlCom::DWORD cookie = 0;
    hr = point->Advise(static_cast<_IZtEventLoggerEvents*>(this), &cookie);
    if (Failed(hr)) return hr;
    m_point = point;
    m_cookie = cookie;
    return ZtAtlCom::S_OK;
}

void EventSink::Unadvise() {
    if (!m_point) return;
    m_point->Unadvise(m_cookie);
    m_point.Release();
}

HRESULT EventSink::Queue(Change change, ZtAtlCom::IDispatch* object, bool removed) {
    if (!object) return ZtAtlCom::E_INVALIDARG;
    LiveEvent e;
    e.change = change;
    e.removed = removed;
    ZtTool::ReadEventObject(object, e.view);
    e.object = object;
    m_queue->Push(std::move(e));
    return ZtAtlCom::S_OK;
}

HRESULT EventSink::MessageSent(IZtMessage* message) { return Queue(Change::Message, message, false); }
HRESULT EventSink::AlarmRaised(IZtAlarm* alarm) { return Queue(Change::Raised, alarm, false); }
HRESULT EventSink::AlarmCleared(IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) {
    return Queue(Change::Cleared, alarm, removed != 0);
}
HRESULT EventSink::AlarmConfirmed(IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) {
    return Queue(Change::Confirmed, alarm, removed != 0);
}

}  // namespace ZtEventLog
