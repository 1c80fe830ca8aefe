#include "CallbackSink.h"

#include "HandleRegistry.h"
#include "ZtAtlCom/Variant.h"

namespace ZtProxyC {

using ZtAtlCom::S_OK;
using ZtAtlCom::VARIANT;
using ZtAtlCom::VARIANT_BOOL;

namespace {

// The innermost pass of the current thread, so that Close knows which of
// the callbacks inside are its own caller's.
thread_local const CallbackGate::Pass* t_innermost = nullptr;

// rgvarg[index] of a dispatch call as an interface pointer (VT_DISPATCH or
// VT_UNKNOWN, also by reference); false when it is something else.
bool ObjectArgument(const DISPPARAMS* params, UINT index, IUnknown** object) noexcept {
    if (!params || params->cArgs <= index || !params->rgvarg) return false;
    const VARIANT& v = params->rgvarg[index];
    switch (v.vt) {
        case ZtAtlCom::VT_DISPATCH: *object = v.pdispVal; return true;
        case ZtAtlCom::VT_UNKNOWN: *object = v.punkVal; return true;
        case ZtAtlCom::VT_DISPATCH | ZtAtlCom::VT_BYREF: *object = v.ppdispVal ? *v.ppdispVal : nullptr; return true;
        case ZtAtlCom::VT_UNKNOWN | ZtAtlCom::VT_BYREF: *object = v.ppunkVal ? *v.ppunkVal : nullptr; return true;
        default: return false;
    }
}

bool BoolArgument(const DISPPARAMS* params, UINT index, VARIANT_BOOL* value) noexcept {
    if (!params || params->cArgs <= index || !params->rgvarg) return false;
    const VARIANT& v = params->rgvarg[index];
    if (v.vt == ZtAtlCom::VT_I2 || v.vt == ZtAtlCom::VT_BOOL) return *value = v.iVal, true;
    if ((v.vt == (ZtAtlCom::VT_I2 | ZtAtlCom::VT_BYREF) || v.vt == (ZtAtlCom::VT_BOOL | ZtAtlCom::VT_BYREF)) && v.piVal)
        return *value = *v.piVal, true;
    return false;
}

}  // namespace

// ---- gate ---------------------------------------------------------------

CallbackGate::Pass::Pass(CallbackGate& gate) noexcept : m_gate(gate) {
    std::lock_guard<std::mutex> lock(gate.m_mutex);
    if (gate.m_closed) return;
    ++gate.m_inside;
    m_entered = true;
    m_outer = t_innermost;
    t_innermost = this;
}

CallbackGate::Pass::~Pass() {
    if (!m_entered) return;
    t_innermost = m_outer;
    std::lock_guard<std::mutex> lock(m_gate.m_mutex);
    if (--m_gate.m_inside == 0) m_gate.m_left.notify_all();
}

void CallbackGate::Close() noexcept {
    int own = 0;
    for (const Pass* p = t_innermost; p; p = p->m_outer)
        if (&p->m_gate == this) ++own;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closed = true;
    m_left.wait(lock, [&] { return m_inside <= own; });
}

// ---- the logger's events --------------------------------------------------

HRESULT LoggerCallbackSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) {
    using namespace ZtEventLoggerVdlProxy;
    IUnknown* object = nullptr;
    VARIANT_BOOL removed = 0;
    switch (member) {
        case DispIdActiveAlarmListChanged: return S_OK;
        case DispIdMessageSent:
            if (!ObjectArgument(params, 0, &object)) return ZtAtlCom::DISP_E_TYPEMISMATCH;
            return Deliver(m_callbacks.message_sent, object);
        case DispIdAlarmRaised:
            if (!ObjectArgument(params, 0, &object)) return ZtAtlCom::DISP_E_TYPEMISMATCH;
            return Deliver(m_callbacks.alarm_raised, object);
        case DispIdAlarmCleared:
        case DispIdAlarmConfirmed:
            // Arguments come last first: removed, then the alarm.
            if (!BoolArgument(params, 0, &removed) || !ObjectArgument(params, 1, &object))
                return ZtAtlCom::DISP_E_TYPEMISMATCH;
            return Deliver(member == DispIdAlarmCleared ? m_callbacks.alarm_cleared : m_callbacks.alarm_confirmed,
                           object, removed);
        default: return ZtAtlCom::E_NOTIMPL;
    }
}

HRESULT LoggerCallbackSink::MessageSent(ZtEventLoggerVdlProxy::IZtMessage* message) {
    return Deliver(m_callbacks.message_sent, message);
}
HRESULT LoggerCallbackSink::AlarmRaised(ZtEventLoggerVdlProxy::IZtAlarm* alarm) {
    return Deliver(m_callbacks.alarm_raised, alarm);
}
HRESULT LoggerCallbackSink::AlarmCleared(ZtEventLoggerVdlProxy::IZtAlarm* alarm, VARIANT_BOOL removed) {
    return Deliver(m_callbacks.alarm_cleared, alarm, removed);
}
HRESULT LoggerCallbackSink::AlarmConfirmed(ZtEventLoggerVdlProxy::IZtAlarm* alarm, VARIANT_BOOL removed) {
    return Deliver(m_callbacks.alarm_confirmed, alarm, removed);
}

HRESULT LoggerCallbackSink::Deliver(void (*callback)(void*, void*), IUnknown* object) noexcept {
    if (!callback) return S_OK;
    CallbackGate::Pass pass(m_gate);
    if (!pass) return S_OK;
    void* handle = RegisterObject(object);
    if (object && !handle) return ZtAtlCom::E_OUTOFMEMORY;
    callback(m_context, handle);
    return S_OK;
}

HRESULT LoggerCallbackSink::Deliver(Changed callback, IUnknown* object, VARIANT_BOOL removed) noexcept {
    if (!callback) return S_OK;
    CallbackGate::Pass pass(m_gate);
    if (!pass) return S_OK;
    void* handle = RegisterObject(object);
    if (object && !handle) return ZtAtlCom::E_OUTOFMEMORY;
    callback(m_context, handle, removed == ZtAtlCom::VARIANT_TRUE ? 1 : 0);
    return S_OK;
}

// ---- an alarm's own events --------------------------------------------------

HRESULT AlarmCallbackSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    using namespace ZtEventLoggerVdlProxy;
    switch (member) {
        case DispIdAlarmEventRaised: return Raised();
        case DispIdAlarmEventCleared: return Cleared();
        case DispIdAlarmEventConfirmed: return Confirmed();
        default: return S_OK;
    }
}

HRESULT AlarmCallbackSink::Deliver(void (*callback)(void*, void*)) noexcept {
    if (!callback) return S_OK;
    CallbackGate::Pass pass(m_gate);
    if (!pass) return S_OK;
    // Always S_OK: a failure here would make the logger withhold its own
    // event of this alarm from every sink (the alarm fires first).
    void* handle = RegisterObject(m_alarm);
    if (handle) callback(m_context, handle);
    return S_OK;
}

}  // namespace ZtProxyC
