/*
 * ZtEventLoggerSink.h - base classes for a host's event sinks.
 *
 * The logger and its alarms call their sinks through IDispatch::Invoke only
 * (ZtEventLoggerInterfaces.h lists the dispatch numbers and arguments). These
 * bases do the unpacking: derive, override the events of interest, create the
 * sink with new (it starts with one reference, the creator's) and advise it.
 *
 *     class Printer : public ZtEventLoggerVdlProxy::ZtEventLoggerSink {
 *         HRESULT AlarmRaised(IZtAlarm* alarm) override { ...; return S_OK; }
 *     };
 *     auto* sink = new Printer;
 *     IConnectionPointContainer* container = ...;  // QueryInterface on the logger
 *     IConnectionPoint* point = nullptr;
 *     container->FindConnectionPoint(IID__IZtEventLoggerEvents, &point);
 *     DWORD cookie = 0;
 *     point->Advise(sink, &cookie);  // the logger holds a reference of its own
 *     ...
 *     point->Unadvise(cookie);
 *     point->Release();
 *     sink->Release();
 *
 * Threads: the event methods run on the logger's worker thread, one at a
 * time, never on a host thread; the object arguments are referenced for the
 * call only (AddRef to keep one). A method may call back into the logger and
 * the alarm, and may release the last reference of either. The reference
 * count is atomic, so the sink may be released on any thread.
 *
 * Invoke answers DISP_E_MEMBERNOTFOUND (0x80020003) for an unknown dispatch
 * number, DISP_E_BADPARAMCOUNT (0x8002000E) for a wrong argument count and
 * DISP_E_TYPEMISMATCH (0x80020005) for arguments of the wrong type or an
 * object without the expected interface; otherwise the method's result.
 */
#ifndef ZT_EVENT_LOGGER_SINK_H
#define ZT_EVENT_LOGGER_SINK_H

#include <atomic>

#include "ZtAtlCom/HResult.h"
#include "ZtAtlCom/Variant.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerInterfaces.h"

namespace ZtEventLoggerVdlProxy {

namespace detail {

inline constexpr HRESULT kDispMemberNotFound = ZtAtlCom::MakeHResult(0x80020003u);
inline constexpr HRESULT kDispBadParamCount = ZtAtlCom::MakeHResult(0x8002000Eu);

// IUnknown and the type-information half of IDispatch for a sink of Itf.
template <class Itf>
class SinkBase : public Itf {
public:
    SinkBase(const SinkBase&) = delete;
    SinkBase& operator=(const SinkBase&) = delete;

    HRESULT QueryInterface(const ZtAtlCom::IID& iid, void** object) override {
        if (object == nullptr) return ZtAtlCom::E_POINTER;
        *object = nullptr;
        if (!(iid == ZtAtlCom::iid_of<ZtAtlCom::IUnknown>()) && !(iid == ZtAtlCom::iid_of<IDispatch>()) &&
            !(iid == ZtAtlCom::iid_of<Itf>()))
            return ZtAtlCom::E_NOINTERFACE;
        *object = static_cast<Itf*>(this);
        AddRef();
        return ZtAtlCom::S_OK;
    }
    ZtAtlCom::ULONG AddRef() override { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    ZtAtlCom::ULONG Release() override {
        const ZtAtlCom::ULONG left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetTypeInfoCount(ZtAtlCom::UINT*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetTypeInfo(ZtAtlCom::UINT, ZtAtlCom::LCID, ZtAtlCom::ITypeInfo**) override {
        return ZtAtlCom::E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(const ZtAtlCom::IID&, ZtAtlCom::LPOLESTR*, ZtAtlCom::UINT, ZtAtlCom::LCID,
                          ZtAtlCom::DISPID*) override {
        return ZtAtlCom::E_NOTIMPL;
    }

protected:
    SinkBase() = default;
    virtual ~SinkBase() = default;

    // The object of a VT_DISPATCH argument as interface I (one reference,
    // released by the holder); null with DISP_E_TYPEMISMATCH otherwise. A
    // null object is passed on as null.
    template <class I>
    class Arg {
    public:
        explicit Arg(const ZtAtlCom::VARIANT& v) noexcept {
            if (v.vt != ZtAtlCom::VT_DISPATCH) {
                m_hr = ZtAtlCom::DISP_E_TYPEMISMATCH;
            } else if (v.pdispVal != nullptr &&
                       ZtAtlCom::Failed(v.pdispVal->QueryInterface(ZtAtlCom::iid_of<I>(), reinterpret_cast<void**>(&m_p)))) {
                m_p = nullptr;
                m_hr = ZtAtlCom::DISP_E_TYPEMISMATCH;
            }
        }
        ~Arg() {
            if (m_p != nullptr) m_p->Release();
        }
        Arg(const Arg&) = delete;
        Arg& operator=(const Arg&) = delete;
        I* get() const noexcept { return m_p; }
        HRESULT result() const noexcept { return m_hr; }

    private:
        I* m_p = nullptr;
        HRESULT m_hr = ZtAtlCom::S_OK;
    };

    // The VARIANT_BOOL of a VT_I2 (or VT_BOOL) argument.
    static bool Flag(const ZtAtlCom::VARIANT& v, VARIANT_BOOL* flag) noexcept {
        if (v.vt != ZtAtlCom::VT_I2 && v.vt != ZtAtlCom::VT_BOOL) return false;
        *flag = v.iVal;
        return true;
    }

    // Argument count check: the parameter block holds exactly n positional ones.
    static HRESULT Count(const ZtAtlCom::DISPPARAMS* params, ZtAtlCom::UINT n) noexcept {
        const ZtAtlCom::UINT have = params != nullptr ? params->cArgs : 0;
        if (have != n || (n > 0 && params->rgvarg == nullptr)) return kDispBadParamCount;
        return ZtAtlCom::S_OK;
    }

private:
    std::atomic<ZtAtlCom::ULONG> m_refs{1};
};

}  // namespace detail

// A sink of the logger's events (_IZtEventLoggerEvents); every event does
// nothing until overridden.
class ZtEventLoggerSink : public detail::SinkBase<_IZtEventLoggerEvents> {
public:
    HRESULT ActiveAlarmListChanged() override { return ZtAtlCom::S_OK; }
    HRESULT MessageSent(IZtMessage*) override { return ZtAtlCom::S_OK; }
    HRESULT AlarmRaised(IZtAlarm*) override { return ZtAtlCom::S_OK; }
    HRESULT AlarmCleared(IZtAlarm*, VARIANT_BOOL) override { return ZtAtlCom::S_OK; }
    HRESULT AlarmConfirmed(IZtAlarm*, VARIANT_BOOL) override { return ZtAtlCom::S_OK; }

    HRESULT Invoke(ZtAtlCom::DISPID member, const ZtAtlCom::IID&, ZtAtlCom::LCID, ZtAtlCom::WORD,
                   ZtAtlCom::DISPPARAMS* params, ZtAtlCom::VARIANT*, ZtAtlCom::EXCEPINFO*,
                   ZtAtlCom::UINT*) override {
        HRESULT hr = ZtAtlCom::S_OK;
        switch (member) {
            case DispIdActiveAlarmListChanged:
                return ZtAtlCom::Failed(hr = Count(params, 0)) ? hr : ActiveAlarmListChanged();
            case DispIdMessageSent: {
                if (ZtAtlCom::Failed(hr = Count(params, 1))) return hr;
                Arg<IZtMessage> message(params->rgvarg[0]);
                return ZtAtlCom::Failed(message.result()) ? message.result() : MessageSent(message.get());
            }
            case DispIdAlarmRaised: {
                if (ZtAtlCom::Failed(hr = Count(params, 1))) return hr;
                Arg<IZtAlarm> alarm(params->rgvarg[0]);
                return ZtAtlCom::Failed(alarm.result()) ? alarm.result() : AlarmRaised(alarm.get());
            }
            case DispIdAlarmCleared:
            case DispIdAlarmConfirmed: {
                // Last argument first: the flag, then the alarm.
                if (ZtAtlCom::Failed(hr = Count(params, 2))) return hr;
                VARIANT_BOOL removed = 0;
                if (!Flag(params->rgvarg[0], &removed)) return ZtAtlCom::DISP_E_TYPEMISMATCH;
                Arg<IZtAlarm> alarm(params->rgvarg[1]);
                if (ZtAtlCom::Failed(alarm.result())) return alarm.result();
                return member == DispIdAlarmCleared ? AlarmCleared(alarm.get(), removed)
                                                    : AlarmConfirmed(alarm.get(), removed);
            }
            default: return detail::kDispMemberNotFound;
        }
    }
};

// A sink of one alarm's own events (_IZtAlarmEvents), advised on the alarm's
// connection point; called just before the logger's event of the same change.
class ZtAlarmSink : public detail::SinkBase<_IZtAlarmEvents> {
public:
    HRESULT Raised() override { return ZtAtlCom::S_OK; }
    HRESULT Cleared() override { return ZtAtlCom::S_OK; }
    HRESULT Confirmed() override { return ZtAtlCom::S_OK; }

    HRESULT Invoke(ZtAtlCom::DISPID member, const ZtAtlCom::IID&, ZtAtlCom::LCID, ZtAtlCom::WORD,
                   ZtAtlCom::DISPPARAMS* params, ZtAtlCom::VARIANT*, ZtAtlCom::EXCEPINFO*,
                   ZtAtlCom::UINT*) override {
        if (member < DispIdAlarmEventRaised || member > DispIdAlarmEventConfirmed) return detail::kDispMemberNotFound;
        if (HRESULT hr = Count(params, 0); ZtAtlCom::Failed(hr)) return hr;
        if (member == DispIdAlarmEventRaised) return Raised();
        return member == DispIdAlarmEventCleared ? Cleared() : Confirmed();
    }
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_LOGGER_SINK_H
