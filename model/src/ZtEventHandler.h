// ZtEventHandler.h - the active-alarm list and the point where notified
// records become event objects (internal).
//
// The service proxy calls the On... operations for every notification frame
// it decodes (on the job queue's worker thread). The handler keeps one
// CZtAlarm per active alarm in a map ordered by ZtEventKey, applies each
// change to that object and reports it to the publisher (the event logger
// object), which fires the public events:
//
//   OnNewEvent            new or raised again     NotifyAlarmRaised
//   OnClearAlarm          still waiting: stays    NotifyAlarmCleared(removed)
//   OnAlarmConfirmed      still raised: stays     NotifyAlarmConfirmed(removed)
//   OnDisposeActiveAlarm  leaves the list         NotifyAlarmCleared(true)
//   OnClearAlarmList      all leave (2 becomes 4) NotifyAlarmCleared(true) each
//   OnNewMessage          a new CZtMessage        NotifyMessageSent
//   unknown key (clear, confirm, dispose): E_INVALIDARG, nothing reported.
//
// Use from the event logger object:
//
//     ZtEventHandler* handler = nullptr;
//     hr = ZtEventHandler::Create(proxy, publisher, proxyResources, &handler);  // one reference
//     proxyInit->Initialize(handler);             // the proxy takes its own reference
//     ... IZtEventListSync (ZtQueryInterface) for OnConnected / OnDisconected /
//     ... Resynchronize; handler->EventResources() for logged-event collections;
//     handler->Detach();                          // before the proxy goes away
//     handler->ZtRelease();
//
// Threads and locks. The handler lock (the platform's critical section, which
// is re-entrant) guards the map; an alarm's record changes only under its
// exclusive state lock taken inside the handler lock (order: handler lock,
// then alarm lock). NotifyAlarmRaised is made with the handler lock held, so
// a sink may call GetActiveAlarms on the same thread; the cleared, confirmed,
// disposed and list-cleared notifications are made after it is released, and
// NotifyMessageSent never takes it. Every alarm and message handed to the
// publisher is held by the handler until the publisher returns, so a sink may
// release it (or empty the list) from inside its call. The handler also holds
// itself during each call. Publisher results are ignored.
//
// Lifetime. Event objects never point at the handler or the proxy: they
// reach the service through the handler's link (ZtEventLink), which Detach
// (and the destructor) cuts, after which Confirm and the texts of every
// object made here answer ZT_E_LINK_RELEASED. The destructor releases the
// alarms still listed.
#ifndef ZT_EVENT_HANDLER_H
#define ZT_EVENT_HANDLER_H

#include <atomic>
#include <map>

#include "CZtAlarm.h"
#include "CZtMessage.h"
#include "ZtEventLink.h"
#include "ZtPalDrvIf.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

class ZtEventHandler : public IZtEventHandler, public IZtEventListSync {
public:
    using Alarm = ZtAtlCom::CComObject<CZtAlarm>;
    using AlarmMap = std::map<ZtEventKey, Alarm*, ZtEventLoggerCommon::ZtEventKeyLess>;

    // A new handler with one reference (the caller's). The three pointers
    // are not owned and must outlive the handler or Detach. E_POINTER for a
    // null out-pointer, E_OUTOFMEMORY.
    static HRESULT Create(IZtEventLoggerUmProxy* proxy, IZtEventPublisher* publisher, IResourceManager* resources,
                          ZtEventHandler** handler) noexcept;

    ZtEventHandler(const ZtEventHandler&) = delete;
    ZtEventHandler& operator=(const ZtEventHandler&) = delete;

    // IZtUnknown, shared by both interfaces: IZtEventHandler and
    // IZtEventListSync are answered, anything else ZT_E_NOINTERFACE.
    ULONG ZtAddRef() override;
    HRESULT ZtQueryInterface(const ZtAtlCom::IID& iid, void** object) override;
    ULONG ZtRelease() override;

    // ---- notifications (E_POINTER for a null record) -------------------
    // E_INVALIDARG for a record that fails its check; E_OUTOFMEMORY when the
    // alarm or the copy cannot be made (a raised-again alarm keeps its old
    // record). Either way nothing is reported.
    HRESULT OnNewEvent(ZtEventEntity* record) override;
    HRESULT OnClearAlarm(ZtEventEntity* record) override;
    HRESULT OnNewMessage(ZtEventEntity* record) override;
    HRESULT OnDisposeActiveAlarm(ZtEventEntity* record) override;
    HRESULT OnAlarmConfirmed(ZtEventEntity* record) override;
    HRESULT OnClearAlarmList() override;

    // ---- requests (forwarded; the list changes when the service's
    // notifications come back). ZT_E_LINK_RELEASED after Detach.
    HRESULT ConfirmEvent(ZtEventEntity* record) override;
    // Appends the listed alarms in key order, one reference each.
    HRESULT GetActiveAlarms(std::vector<ZtAtlCom::CComPtr<IZtAlarm>>& alarms) override;
    HRESULT ClearAllAlarms(bool resetConfirmation) override;
    HRESULT ConfirmAllAlarms() override;

protected:
    ~ZtEventHandler() override;

public:
    // ---- IZtEventListSync (the slots after the destructors) -------------
    // The list becomes the service's active events (what was listed before
    // is dropped); nothing is reported. The read's failure leaves the list
    // unchanged; E_OUTOFMEMORY (or E_INVALIDARG for a record that fails its
    // check) when some alarms could not be made: the others are listed.
    HRESULT OnConnected() override;
    HRESULT OnDisconected() override;
    // Reconciles the list with the service's active events and reports each
    // difference as its ordinary event: an alarm no longer listed leaves
    // (not raised, 2 becomes 4) with NotifyAlarmCleared(true); a new one is
    // NotifyAlarmRaised; a changed one gets the new record and, by its new
    // state, NotifyAlarmCleared(false) (not raised, still waiting),
    // NotifyAlarmConfirmed(false) (only the confirmation ended) or
    // NotifyAlarmRaised (anything else: raised again). The read's failure
    // changes nothing and is returned; E_OUTOFMEMORY (E_INVALIDARG for a
    // refused record) when some change could not be made (the next call
    // makes it).
    HRESULT Resynchronize() override;

    // ---- for the event logger object -------------------------------------
    // What logged events should be given as their resources: the link, so
    // that their texts fail cleanly once the logger is gone. No reference
    // added; it lives as long as the handler or any event object.
    IResourceManager* EventResources() const noexcept { return m_link.get(); }
    // Stops every use of the proxy, the resources and the publisher: no
    // publisher call starts after it returns (one in progress on another
    // thread is not waited for), and the requests and texts in flight have
    // returned. Later requests answer ZT_E_LINK_RELEASED; the list itself
    // keeps following notifications.
    void Detach() noexcept;

private:
    ZtEventHandler(ZtEventLink* link, IZtEventPublisher* publisher) noexcept;

    class Lock;
    class Hold;
    template <class Call>
    void Publish(Call&& call) noexcept;
    // Applies a state change to a listed alarm (clear or confirm).
    template <class Apply, class Notify>
    HRESULT ChangeListed(ZtEventEntity* record, Apply&& apply, Notify&& notify);
    HRESULT InsertNew(AlarmMap& map, const ZtEventEntity* record, Alarm** made) noexcept;
    static void ReleaseAll(AlarmMap& map) noexcept;

    ZtAtlCom::ZtUnknownCount m_refs;
    AlarmMap m_alarms;  // one reference per alarm
    ZtAtlCom::ZtComPtrLite<ZtEventLink> m_link;
    std::atomic<IZtEventPublisher*> m_publisher;
    OS_CRITICAL_SECTION m_lock;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_HANDLER_H
