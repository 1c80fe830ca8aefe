// EventSink.cpp - the tool's sink: Invoke on the logger's worker thread.
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

HRESULT EventSink::QueryInterface(const ZtAtlCom::IID& iid, void** ppv) {
    if (!ppv) return ZtAtlCom::E_POINTER;
    if (iid == ZtAtlCom::IID_IUnknown || iid == ZtAtlCom::IID_IDispatch || iid == IID__IZtEventLoggerEvents) {
        *ppv = static_cast<_IZtEventLoggerEvents*>(this);
        AddRef();
        return ZtAtlCom::S_OK;
    }
    *ppv = nullptr;
    return ZtAtlCom::E_NOINTERFACE;
}

ZtAtlCom::ULONG EventSink::AddRef() { return ++m_refs; }

ZtAtlCom::ULONG EventSink::Release() {
    const ZtAtlCom::ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT EventSink::GetTypeInfoCount(ZtAtlCom::UINT* count) {
    if (!count) return ZtAtlCom::E_POINTER;
    *count = 0;
    return ZtAtlCom::S_OK;
}

HRESULT EventSink::GetTypeInfo(ZtAtlCom::UINT, ZtAtlCom::LCID, ZtAtlCom::ITypeInfo**) { return ZtAtlCom::E_NOTIMPL; }

HRESULT EventSink::GetIDsOfNames(const ZtAtlCom::IID&, ZtAtlCom::LPOLESTR*, ZtAtlCom::UINT, ZtAtlCom::LCID,
                                 ZtAtlCom::DISPID*) {
    return ZtAtlCom::E_NOTIMPL;
}

HRESULT EventSink::Invoke(ZtAtlCom::DISPID id, const ZtAtlCom::IID&, ZtAtlCom::LCID, ZtAtlCom::WORD,
                          ZtAtlCom::DISPPARAMS* params, VARIANT*, ZtAtlCom::EXCEPINFO*, ZtAtlCom::UINT*) {
    // Arguments come last first: the object is the last element.
    auto object = [&](ZtAtlCom::UINT count) -> ZtAtlCom::IDispatch* {
        if (!params || params->cArgs != count || !params->rgvarg) return nullptr;
        const VARIANT& v = params->rgvarg[count - 1];
        return v.vt == ZtAtlCom::VT_DISPATCH ? v.pdispVal : nullptr;
    };
    auto removed = [&] {
        const VARIANT& v = params->rgvarg[0];
        return (v.vt == ZtAtlCom::VT_I2 || v.vt == ZtAtlCom::VT_BOOL) && v.iVal != 0;
    };
    switch (id) {
    case DispIdActiveAlarmListChanged: return ZtAtlCom::S_OK;
    case DispIdMessageSent: return Queue(Change::Message, object(1), false);
    case DispIdAlarmRaised: return Queue(Change::Raised, object(1), false);
    case DispIdAlarmCleared: {
        ZtAtlCom::IDispatch* o = object(2);
        return Queue(Change::Cleared, o, o && removed());
    }
    case DispIdAlarmConfirmed: {
        ZtAtlCom::IDispatch* o = object(2);
        return Queue(Change::Confirmed, o, o && removed());
    }
    default: return ZtAtlCom::S_OK;  // members of later versions are not ours to refuse
    }
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

HRESULT EventSink::ActiveAlarmListChanged() { return ZtAtlCom::S_OK; }
HRESULT EventSink::MessageSent(IZtMessage* message) { return Queue(Change::Message, message, false); }
HRESULT EventSink::AlarmRaised(IZtAlarm* alarm) { return Queue(Change::Raised, alarm, false); }
HRESULT EventSink::AlarmCleared(IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) {
    return Queue(Change::Cleared, alarm, removed != 0);
}
HRESULT EventSink::AlarmConfirmed(IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) {
    return Queue(Change::Confirmed, alarm, removed != 0);
}

}  // namespace ZtEventLog
