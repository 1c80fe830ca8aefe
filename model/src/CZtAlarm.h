// CZtAlarm.h - an alarm of the active-alarm list (internal; hosts see
// IZtAlarm3 and its older versions).
//
// The event handler makes one per active alarm and keeps it in its list:
//     CComObject<CZtAlarm>* alarm = nullptr;
//     hr = CreateObject<CZtAlarm>(&alarm, record, link);  // one reference
// While listed, the same object follows every raise, clear and confirmation:
// the handler replaces its record or applies the new state (the operations
// below, only under the handler's lock). Once it leaves the list it keeps the
// last state as long as a host holds it.
//
// Every read of the record holds the alarm's shared state lock; every change
// its exclusive lock (lock order: handler lock, then state lock). A replaced
// record is freed only after the readers inside have left.
//
// Events: the alarm is an event source for _IZtAlarmEvents (Raised 1,
// Cleared 2, Confirmed 3, no arguments) but never fires them itself; the
// publisher calls FireRaised/FireCleared/FireConfirmed when the handler
// reports the change, on the thread that reports it.
#ifndef ZT_CZT_ALARM_H
#define ZT_CZT_ALARM_H

#include "ZtAlarmStateLock.h"
#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ConnectionPoint.h"
#include "ZtEventImpl.h"

namespace ZtEventLoggerVdlProxy {

class CZtAlarm : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                 public ZtAtlCom::ISupportErrorInfoImpl<&IID_IZtAlarm, &IID_IZtAlarm2>,
                 public ZtAtlCom::IConnectionPointContainerImpl<CZtAlarm>,
                 public ZtAtlCom::IConnectionPointImpl<CZtAlarm, &IID__IZtAlarmEvents>,
                 public ZtEventImpl<CZtAlarm, IZtAlarm3, &IID_IZtAlarm3> {
public:
    BEGIN_COM_MAP(CZtAlarm)
        COM_INTERFACE_ENTRY(IZtAlarm3)
        COM_INTERFACE_ENTRY2(IDispatch, IZtAlarm3)
        COM_INTERFACE_ENTRY_IID(IID_IZtEvent, IZtAlarm3)
        COM_INTERFACE_ENTRY_IID(IID_IZtAlarm, IZtAlarm3)
        COM_INTERFACE_ENTRY_IID(IID_IZtAlarm2, IZtAlarm3)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY(IZtEventIdentity)
        COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()
    BEGIN_CONNECTION_POINT_MAP(CZtAlarm)
        CONNECTION_POINT_ENTRY(IID__IZtAlarmEvents)
    END_CONNECTION_POINT_MAP()

    // ---- IZtAlarm (E_POINTER for null out-pointers) ------------------------
    // The service's byte unchanged: 1 when raised, 0 when not (not -1).
    HRESULT get_IsRaised(VARIANT_BOOL* raised) override;
    HRESULT get_TimeCleared(DATE* time) override;
    HRESULT get_FileTimeCleared(long* fileTime) override;
    HRESULT get_ConfirmationState(tagConfirmationStateEnum* state) override;
    // Sends the confirmation for the alarm's key and returns S_OK whatever the
    // request's outcome (the state changes when the service's confirmation
    // arrives); ZT_E_LINK_RELEASED, with nothing sent, once the logger is gone.
    HRESULT Confirm() override;
    HRESULT get_TimeConfirmed(DATE* time) override;
    HRESULT get_FileTimeConfirmed(long* fileTime) override;

    // ---- for the publisher: the alarm's own events on its sinks -----------
    HRESULT FireRaised() noexcept { return Fire<1>(); }
    HRESULT FireCleared() noexcept { return Fire<2>(); }
    HRESULT FireConfirmed() noexcept { return Fire<3>(); }

    // ---- for the event handler (under its lock) ---------------------------
    // A raised-again alarm: a private copy of the new record replaces the old
    // one. E_INVALIDARG or E_OUTOFMEMORY keep the old record.
    HRESULT ReplaceRecord(const ZtEventEntity* record) noexcept;
    // isRaised, confirmationState and fileTimeCleared from the record.
    void ApplyClearedAlarmState(const ZtEventEntity* record) noexcept;
    // confirmationState and fileTimeConfirmed from the record.
    void ApplyConfrimedState(const ZtEventEntity* record) noexcept;
    // isRaised and confirmationState; fileTimeCleared and fileTimeDisposed
    // both take the record's fileTimeDisposed.
    void ApplyDisposeState(const ZtEventEntity* record) noexcept;
    // The list was reset: not raised; waiting for confirmation (2) becomes 4.
    void ResetActiveState() noexcept;
    // Raised, or waiting for confirmation.
    bool IsActive() noexcept;

    // The state fields the list reconciles by.
    struct State {
        bool raised;
        uint16_t confirmationState;
        uint64_t fileTimeRaised;
    };
    State CurrentState() noexcept;
    // Whether the alarm's record holds the same bytes as record.
    bool HoldsRecord(const ZtEventEntity* record) noexcept;

    // ZtEventImpl reads the record under this guard.
    ZtAlarmStateLock::Shared SharedRecordLock() noexcept { return ZtAlarmStateLock::Shared(m_stateLock); }

private:
    // f(record) under the exclusive lock; nothing when there is no record.
    template <class F>
    void Change(F&& f) noexcept {
        ZtAlarmStateLock::Exclusive guard(m_stateLock);
        if (m_record) f(m_record.get());
    }

    ZtAlarmStateLock m_stateLock;  // reader count, writer flag
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_ALARM_H
