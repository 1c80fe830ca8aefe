// CallbackSink.h - the sinks that carry a C host's event callbacks
// (internal).
//
// IZtEventLogger_AdviseCallbacks and IZtAlarm_AdviseCallbacks advise one of
// these on the source's connection point. The source calls Invoke on its
// worker thread; the sink decodes the dispatch arguments, registers each
// object for the callback (the callee releases it) and calls the host's
// function. The typed methods of the event interfaces do the same, so the
// sink is a complete implementation of them.
//
// A gate makes UnadviseCallbacks a clean end: once it is closed no new
// callback starts, and closing waits for the callbacks running on other
// threads (not for one on the closing thread itself: a callback that
// unadvises its own advise). The host may then free its context.
//
// The destructor touches nothing but the sink: it may run inside a source's
// Unadvise or destruction, on any thread.
#ifndef ZT_CALLBACK_SINK_H
#define ZT_CALLBACK_SINK_H

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "ZtAtlCom/Dispatch.h"
#include "ZtAtlCom/Guid.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerInterfaces.h"
#include "ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h"

namespace ZtProxyC {

using ZtAtlCom::DISPID;
using ZtAtlCom::DISPPARAMS;
using ZtAtlCom::EXCEPINFO;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IID;
using ZtAtlCom::IUnknown;
using ZtAtlCom::LCID;
using ZtAtlCom::REFIID;
using ZtAtlCom::UINT;
using ZtAtlCom::ULONG;
using ZtAtlCom::WORD;

// Lets callbacks in and waits for them to leave once closed.
class CallbackGate {
public:
    // One callback passing the gate on this thread.
    class Pass {
    public:
        explicit Pass(CallbackGate& gate) noexcept;
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        explicit operator bool() const noexcept { return m_entered; }

    private:
        friend class CallbackGate;
        CallbackGate& m_gate;
        bool m_entered = false;
        const Pass* m_outer = nullptr;  // the pass this thread was in before
    };

    // No callback starts any more; returns when the ones running on other
    // threads have ended.
    void Close() noexcept;

private:
    std::mutex m_mutex;
    std::condition_variable m_left;
    bool m_closed = false;
    int m_inside = 0;
};

// What UnadviseCallbacks finds on a sink it advised (a private interface).
struct ICallbackSink : IUnknown {
    virtual void CloseGate() noexcept = 0;
};
ZT_DECLARE_IID(ICallbackSink, "6563F720-26B4-4A6F-B0E7-24BC6D6A88D0")

// Reference counting, identity and the dispatch stubs of both sinks.
template <class Events>
class CallbackSinkBase : public Events, public ICallbackSink {
public:
    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return ZtAtlCom::E_POINTER;
        *ppv = nullptr;
        if (iid == ZtAtlCom::iid_of<IUnknown>() || iid == ZtAtlCom::iid_of<ZtAtlCom::IDispatch>() ||
            iid == ZtAtlCom::iid_of<Events>())
            *ppv = static_cast<Events*>(this);
        else if (iid == ZtAtlCom::iid_of<ICallbackSink>())
            *ppv = static_cast<ICallbackSink*>(this);
        else
            return ZtAtlCom::E_NOINTERFACE;
        AddRef();
        return ZtAtlCom::S_OK;
    }
    ULONG AddRef() override { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override {
        ULONG left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return ZtAtlCom::E_NOTIMPL;
    }
    HRESULT GetTypeInfo(UINT, LCID, ZtAtlCom::ITypeInfo** info) override {
        if (info) *info = nullptr;
        return ZtAtlCom::E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID, ZtAtlCom::LPOLESTR*, UINT, LCID, DISPID*) override { return ZtAtlCom::E_NOTIMPL; }

    void CloseGate() noexcept override { m_gate.Close(); }

protected:
    CallbackSinkBase() = default;
    virtual ~CallbackSinkBase() = default;

    CallbackGate m_gate;

private:
    std::atomic<ULONG> m_refs{1};
};

class LoggerCallbackSink final : public CallbackSinkBase<ZtEventLoggerVdlProxy::_IZtEventLoggerEvents> {
public:
    // One reference, for the caller.
    LoggerCallbackSink(const ZtEventLoggerCallbacks& callbacks, void* context) noexcept
        : m_callbacks(callbacks), m_context(context) {}

    HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, ZtAtlCom::VARIANT*, EXCEPINFO*,
                   UINT*) override;

    HRESULT ActiveAlarmListChanged() override { return ZtAtlCom::S_OK; }
    HRESULT MessageSent(ZtEventLoggerVdlProxy::IZtMessage* message) override;
    HRESULT AlarmRaised(ZtEventLoggerVdlProxy::IZtAlarm* alarm) override;
    HRESULT AlarmCleared(ZtEventLoggerVdlProxy::IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) override;
    HRESULT AlarmConfirmed(ZtEventLoggerVdlProxy::IZtAlarm* alarm, ZtAtlCom::VARIANT_BOOL removed) override;

private:
    using Changed = void (*)(void*, void*, char);
    HRESULT Deliver(void (*callback)(void*, void*), IUnknown* object) noexcept;
    HRESULT Deliver(Changed callback, IUnknown* object, ZtAtlCom::VARIANT_BOOL removed) noexcept;

    const ZtEventLoggerCallbacks m_callbacks;
    void* const m_context;
};

class AlarmCallbackSink final : public CallbackSinkBase<ZtEventLoggerVdlProxy::_IZtAlarmEvents> {
public:
    // alarm: the alarm's canonical IUnknown, held without a reference (the
    // alarm holds the sink; it is alive whenever it fires).
    AlarmCallbackSink(const ZtAlarmCallbacks& callbacks, void* context, IUnknown* alarm) noexcept
        : m_callbacks(callbacks), m_context(context), m_alarm(alarm) {}

    HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, ZtAtlCom::VARIANT*, EXCEPINFO*,
                   UINT*) override;

    HRESULT Raised() override { return Deliver(m_callbacks.raised); }
    HRESULT Cleared() override { return Deliver(m_callbacks.cleared); }
    HRESULT Confirmed() override { return Deliver(m_callbacks.confirmed); }

private:
    HRESULT Deliver(void (*callback)(void*, void*)) noexcept;

    const ZtAlarmCallbacks m_callbacks;
    void* const m_context;
    IUnknown* const m_alarm;
};

}  // namespace ZtProxyC

#endif  // ZT_CALLBACK_SINK_H
