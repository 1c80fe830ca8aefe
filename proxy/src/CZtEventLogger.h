// CZtEventLogger.h - the event logger object (internal; hosts create it with
// CLSID_ZtEventLogger and see IZtEventLogger3 and its older versions).
//
// Each object owns a complete service link, built by its constructor: the
// router adapter (shared with the service proxy), the service proxy with its
// job queue (capacity 2048, one worker thread) and the event handler with the
// active-alarm list. The handler reports every change through
// IZtEventPublisher; the object fires the alarm's own event first and then
// its own, on the worker thread (ConnectionPoint.h does the calls).
//
// Connection. Connect and Disconnect of host threads are serialised by the
// link lock, which is never held while waiting for the worker: a sink may
// itself connect, disconnect or release the object from inside its call. The
// list follows the link on the worker thread (ZtEventLoggerUmProxy.h): a host
// thread's Connect returns once it holds the service's active alarms, its
// Disconnect once the batch under way has been delivered and the list is
// empty. From then on no sink is called (the live flag, cleared first thing,
// also stops the rest of a batch when a sink disconnects from inside it).
//
// Destruction disconnects first (also when the router went away under a
// link still subscribed), waits for the worker unless it runs there, cuts
// the handler's link (alarms kept by hosts then refuse Confirm cleanly) and
// releases handler, resources, proxy and adapter in that order. On the worker
// thread the proxy and the queue end after the batch (they defer themselves).
#ifndef ZT_CZT_EVENT_LOGGER_H
#define ZT_CZT_EVENT_LOGGER_H

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ConnectionPoint.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventHandler.h"
#include "ZtEventLoggerUmProxy.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerInterfaces.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

class CZtEventLogger : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                       public ZtAtlCom::ISupportErrorInfoImpl<&IID_IZtEventLogger, &IID_IZtEventLogger2,
                                                              &IID_IZtEventLogger3>,
                       public ZtAtlCom::IConnectionPointContainerImpl<CZtEventLogger>,
                       public ZtAtlCom::IConnectionPointImpl<CZtEventLogger, &IID__IZtEventLoggerEvents>,
                       public ZtAtlCom::IDispatchImpl<IZtEventLogger3, &IID_IZtEventLogger3>,
                       public IZtEventPublisher {
public:
    BEGIN_COM_MAP(CZtEventLogger)
        COM_INTERFACE_ENTRY(IZtEventLogger3)
        COM_INTERFACE_ENTRY_IID(IID_IZtEventLogger2, IZtEventLogger3)
        COM_INTERFACE_ENTRY_IID(IID_IZtEventLogger, IZtEventLogger3)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY(IConnectionPointContainer)
        COM_INTERFACE_ENTRY2(IDispatch, IZtEventLogger3)
    END_COM_MAP()
    BEGIN_CONNECTION_POINT_MAP(CZtEventLogger)
        CONNECTION_POINT_ENTRY(IID__IZtEventLoggerEvents)
    END_CONNECTION_POINT_MAP()

    // Builds the service link; BuildResult tells whether it is whole.
    CZtEventLogger() noexcept;
    ~CZtEventLogger() override;
    // S_OK, or E_OUTOFMEMORY when an allocation, the worker thread or a
    // query of the link failed (the factory then destroys the object).
    HRESULT BuildResult() const noexcept { return m_buildResult; }
    // Runs first in destruction, while the object still answers its count.
    void FinalRelease() noexcept;

    // ---- IZtEventLogger (connection; CZtEventLogger.cpp) ------------------
    // Results: S_OK; a Vdl error e of the adapter as 0x98110000 + e; a
    // listener's refusal as it is; E_POINTER for a null target.
    HRESULT Connect(BSTR target) override;
    HRESULT Disconnect() override;
    HRESULT get_IsConnected(VARIANT_BOOL* connected) override;

    // ---- operations (CZtEventLoggerOperations.cpp) -------------------------
    HRESULT get_ActiveAlarms(IZtAlarmCollection** alarms) override;
    HRESULT ClearAllAlarms(VARIANT_BOOL resetConfirmation) override;
    HRESULT ConfirmAllAlarms() override;
    HRESULT GetLoggedEvents(unsigned int count, IZtLoggedEventCollection** events) override;
    HRESULT ClearLoggedEvents() override;
    HRESULT GetText(GUID eventClass, unsigned int eventId, unsigned int keyQualifier,
                    ZtEventArgumentsInfo argumentsInfo, void* argumentData, int langId, BSTR* text) override;
    HRESULT GetEventClassName(GUID eventClass, int langId, BSTR* name) override;
    HRESULT SendZtMessage(GUID eventClass, unsigned int eventId, tagSeverityLevelEnum severity, BSTR json,
                          IZtSourceInfo* sourceInfo, IZtArguments* arguments) override;
    HRESULT ExportLoggedEvents(BSTR fileName, IZtExportSettings* settings) override;
    HRESULT GetLoggedEvents2(IZtExportSettings* settings, IZtLoggedEventCollection** events) override;
    HRESULT ConfirmAlarms(long timeStamp, IZtEventFilter* filter) override;
    HRESULT ClearAlarms(long timeStamp, VARIANT_BOOL resetConfirmation, IZtEventFilter* filter) override;
    HRESULT ClearResourceCache() override;
    HRESULT LoadResourceFile(BSTR path) override;
    HRESULT UnloadResourceFile(BSTR path) override;

    // ---- IZtEventPublisher (worker thread, called by the handler) ----------
    // Only while live. The alarm's own event first; its failure is returned
    // and the logger's event is not fired (a null alarm: E_INVALIDARG).
    HRESULT NotifyMessageSent(CZtMessage* message) override;
    HRESULT NotifyAlarmRaised(CZtAlarm* alarm) override;
    HRESULT NotifyAlarmCleared(CZtAlarm* alarm, bool removed) override;
    HRESULT NotifyAlarmConfirmed(CZtAlarm* alarm, bool removed) override;

    // For tests: the service link, and the proxy as such.
    ZtEventLoggerUmProxy* ServiceLink() const noexcept { return m_link; }
    ZtEventHandler* Handler() const noexcept { return m_handlerImpl; }

    // The worker's queue capacity.
    static constexpr unsigned int kQueueCapacity = 2048;

private:
    void Build();
    template <ZtAtlCom::DISPID N, class FireAlarm, class... Args>
    HRESULT NotifyAlarm(CZtAlarm* alarm, FireAlarm fireAlarm, const Args&... args) noexcept;
    // Connect and Disconnect without the checks; waits for the worker unless
    // it runs there.
    uint32_t DisconnectLink();
    // The logged-event collection of records (the records stay ours).
    HRESULT MakeLoggedEvents(std::vector<ZtEventEntity*>& records, IZtLoggedEventCollection** events) noexcept;

    // The four fields of the link: set by the constructor, cleared by
    // destruction only, so operations read them without a lock.
    std::shared_ptr<VdlR3AdapterCore> m_adapter;
    ZtAtlCom::_zt_com_ptr_t<ZtAtlCom::_zt_com_IIID<IZtEventLoggerUmProxy>> m_proxy;
    ZtAtlCom::_zt_com_ptr_t<ZtAtlCom::_zt_com_IIID<IResourceManager>> m_resources;
    ZtAtlCom::_zt_com_ptr_t<ZtAtlCom::_zt_com_IIID<IZtEventHandler>> m_handler;
    // The same proxy and handler as their classes (not owned).
    ZtEventLoggerUmProxy* m_link = nullptr;
    ZtEventHandler* m_handlerImpl = nullptr;

    std::mutex m_linkLock;          // Connect / Disconnect
    std::string m_lastTarget;       // under m_linkLock: the target of the last connection made
    std::atomic<bool> m_live{false};  // sinks are called
    HRESULT m_buildResult = ZtAtlCom::S_OK;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_EVENT_LOGGER_H
