// Live events for C hosts: callbacks advised on a logger or an alarm
// through a sink of the binding's own (CallbackSink.h).
#include "CallPattern.h"
#include "CallbackSink.h"
#include "ZtAtlCom/StandardInterfaces.h"

#include <new>

using namespace ZtProxyC;
using ZtAtlCom::IConnectionPoint;
using ZtAtlCom::IConnectionPointContainer;
using ZtEventLoggerVdlProxy::IZtAlarm;
using ZtEventLoggerVdlProxy::IZtEventLogger;

namespace {

// The connection point of the events iid on the object of handle, which
// must answer I. E_NOINTERFACE like every other lookup.
template <class I>
HRESULT FindPoint(const void* handle, const ZtAtlCom::IID& events, CComPtr<IConnectionPoint>& point) noexcept {
    CComPtr<I> source = Lookup<I>(handle);
    if (!source) return ZtAtlCom::E_NOINTERFACE;
    CComPtr<IConnectionPointContainer> container;
    if (ZtAtlCom::Failed(source.QueryInterface(container.ReleaseAndGetAddressOf())) || !container)
        return ZtAtlCom::E_NOINTERFACE;
    return container->FindConnectionPoint(events, point.ReleaseAndGetAddressOf());
}

HRESULT AdviseSink(IConnectionPoint* point, IUnknown* sink, unsigned int* cookie) noexcept {
    ZtAtlCom::DWORD value = 0;
    HRESULT hr = point->Advise(sink, &value);
    sink->Release();  // the connection point holds its own reference now
    if (ZtAtlCom::Failed(hr)) return hr;
    *cookie = value;
    return ZtAtlCom::S_OK;
}

// Closes the gate of the binding's sink behind cookie (so that no callback
// of it runs on another thread once this returns), then unadvises it.
HRESULT UnadviseSink(IConnectionPoint* point, unsigned int cookie) noexcept {
    CComPtr<ZtAtlCom::IEnumConnections> connections;
    HRESULT hr = point->EnumConnections(connections.ReleaseAndGetAddressOf());
    if (ZtAtlCom::Failed(hr)) return hr;
    CComPtr<IUnknown> sink;
    ZtAtlCom::CONNECTDATA data{};
    while (connections->Next(1, &data, nullptr) == ZtAtlCom::S_OK) {
        if (data.dwCookie == cookie && !sink) sink.Attach(data.pUnk);
        else if (data.pUnk) data.pUnk->Release();
    }
    if (!sink) return ZtAtlCom::CONNECT_E_NOCONNECTION;
    CComPtr<ICallbackSink> ours;
    if (ZtAtlCom::Succeeded(sink.QueryInterface(ours.ReleaseAndGetAddressOf())) && ours) ours->CloseGate();
    return point->Unadvise(cookie);
}

// Advises a new sink of type Sink, made by make(), on the events of the
// handle's object, which must answer Source. E_NOINTERFACE comes first, as
// for every lookup; then the pointers.
template <class Source, class Events, class Callbacks, class Make>
HRESULT Advise(void* h, const Callbacks* callbacks, unsigned int* cookie, Make make) noexcept {
    try {
        CComPtr<IConnectionPoint> point;
        HRESULT hr = FindPoint<Source>(h, ZtAtlCom::iid_of<Events>(), point);
        if (hr == ZtAtlCom::E_NOINTERFACE) return hr;
        if (!callbacks || !cookie) return ZtAtlCom::E_INVALIDARG;
        if (ZtAtlCom::Failed(hr)) return hr;
        Events* sink = make();
        if (!sink) return ZtAtlCom::E_OUTOFMEMORY;
        return AdviseSink(point, sink, cookie);
    } catch (...) {
        return ZtAtlCom::detail::HResultFromCurrentException();
    }
}

template <class Source, class Events>
HRESULT Unadvise(void* h, unsigned int cookie) noexcept {
    try {
        CComPtr<IConnectionPoint> point;
        HRESULT hr = FindPoint<Source>(h, ZtAtlCom::iid_of<Events>(), point);
        return ZtAtlCom::Failed(hr) ? hr : Normalise(UnadviseSink(point, cookie));
    } catch (...) {
        return ZtAtlCom::detail::HResultFromCurrentException();
    }
}

}  // namespace

ZTC_API HRESULT IZtEventLogger_AdviseCallbacks(void* h, const ZtEventLoggerCallbacks* callbacks, void* context,
                                               unsigned int* cookie) noexcept {
    return Advise<IZtEventLogger, ZtEventLoggerVdlProxy::_IZtEventLoggerEvents>(h, callbacks, cookie, [&] {
        return new (std::nothrow) LoggerCallbackSink(*callbacks, context);
    });
}

ZTC_API HRESULT IZtEventLogger_UnadviseCallbacks(void* h, unsigned int cookie) noexcept {
    return Unadvise<IZtEventLogger, ZtEventLoggerVdlProxy::_IZtEventLoggerEvents>(h, cookie);
}

ZTC_API HRESULT IZtAlarm_AdviseCallbacks(void* h, const ZtAlarmCallbacks* callbacks, void* context,
                                         unsigned int* cookie) noexcept {
    // A registered handle is the alarm's canonical IUnknown: the sink
    // registers it again for each callback.
    return Advise<IZtAlarm, ZtEventLoggerVdlProxy::_IZtAlarmEvents>(h, callbacks, cookie, [&] {
        return new (std::nothrow) AlarmCallbackSink(*callbacks, context, static_cast<IUnknown*>(h));
    });
}

ZTC_API HRESULT IZtAlarm_UnadviseCallbacks(void* h, unsigned int cookie) noexcept {
    return Unadvise<IZtAlarm, ZtEventLoggerVdlProxy::_IZtAlarmEvents>(h, cookie);
}
