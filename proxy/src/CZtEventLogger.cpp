// The event logger object: building and tearing down the service link,
// connection, and the events fired on the host's sinks.
#include "CZtEventLogger.h"

#include <new>

#include "JobQueueEx.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::E_INVALIDARG;
using ZtAtlCom::E_OUTOFMEMORY;
using ZtAtlCom::E_POINTER;
using ZtAtlCom::E_UNEXPECTED;
using ZtAtlCom::Failed;
using ZtAtlCom::S_OK;
using ZtAtlCom::SHORT;

namespace {

// What Connect and Disconnect return for the adapter's result: a Vdl error
// is positive and would read as success to every host, so it is mapped into
// the service range; a listener's refusal is already an HRESULT.
HRESULT LinkResult(uint32_t rc) noexcept {
    if (rc == 0) return S_OK;
    if (static_cast<int32_t>(rc) < 0) return ZtAtlCom::MakeHResult(rc);
    return VdlErrorToHResult(rc);
}

SHORT Flag(bool removed) noexcept { return removed ? ZtAtlCom::VARIANT_TRUE : ZtAtlCom::VARIANT_FALSE; }

// A reference on the logger for one notification: a sink of the alarm's event
// may release the logger's last reference before the logger's event is fired.
// It is taken only while the count is above zero: a host thread that has just
// let the count reach zero is destroying the object, and a reference taken
// and dropped again in that moment would destroy it a second time.
class SelfHold {
public:
    explicit SelfHold(CZtEventLogger* logger) noexcept : m_logger(logger) {
        long count = logger->m_dwRef.load(std::memory_order_relaxed);
        while (count > 0 && !logger->m_dwRef.compare_exchange_weak(count, count + 1, std::memory_order_acquire,
                                                                   std::memory_order_relaxed)) {
        }
        if (count <= 0) m_logger = nullptr;
    }
    ~SelfHold() {
        if (m_logger != nullptr) m_logger->Release();
    }
    bool Held() const noexcept { return m_logger != nullptr; }
    SelfHold(const SelfHold&) = delete;
    SelfHold& operator=(const SelfHold&) = delete;

private:
    CZtEventLogger* m_logger;
};

}  // namespace

CZtEventLogger::CZtEventLogger() noexcept {
    try {
        Build();
    } catch (...) {
        m_buildResult = E_OUTOFMEMORY;
    }
}

void CZtEventLogger::Build() {
    m_adapter = std::make_shared<VdlR3AdapterCore>();

    // The proxy's storage first, then its queue; the proxy takes the queue over.
    void* storage = ::operator new(sizeof(ZtEventLoggerUmProxy), std::nothrow);
    if (storage == nullptr) {
        m_buildResult = E_OUTOFMEMORY;
        return;
    }
    ZtEventLoggerCommon::NotificationQueue* queue = nullptr;
    try {
        queue = new ZtEventLoggerCommon::NotificationQueue(kQueueCapacity);
    } catch (...) {
        ::operator delete(storage);
        throw;
    }
    queue->ZtAddRef();  // ours until the proxy holds its own
    if (!queue->Running()) {
        queue->ZtRelease();
        ::operator delete(storage);
        m_buildResult = E_OUTOFMEMORY;
        return;
    }
    ZtEventLoggerUmProxy* proxy = nullptr;
    try {
        proxy = ::new (storage) ZtEventLoggerUmProxy(m_adapter, queue);
    } catch (...) {
        queue->ZtRelease();
        ::operator delete(storage);
        throw;
    }
    queue->ZtRelease();

    void* p = nullptr;
    if (Failed(proxy->ZtQueryInterface(g_IID_IZtEventLoggerUmProxy, &p))) {
        proxy->ZtAddRef();  // nothing else holds it: this ends it
        proxy->ZtRelease();
        m_buildResult = E_OUTOFMEMORY;
        return;
    }
    m_proxy.Attach(static_cast<IZtEventLoggerUmProxy*>(p));
    m_link = proxy;
    m_resources = m_proxy;  // queried for IResourceManager
    if (!m_resources || !proxy->Ready()) {
        m_buildResult = E_OUTOFMEMORY;
        return;
    }

    ZtEventHandler* handler = nullptr;
    if (Failed(ZtEventHandler::Create(m_proxy.GetInterfacePtr(), this, m_resources.GetInterfacePtr(), &handler))) {
        m_buildResult = E_OUTOFMEMORY;
        return;
    }
    m_handlerImpl = handler;
    m_handler.Attach(handler);

    ZtAtlCom::_zt_com_ptr_t<ZtAtlCom::_zt_com_IIID<IZtEventLoggerUmProxyInit>> init(m_proxy);
    if (!init) {
        m_buildResult = E_OUTOFMEMORY;
        return;
    }
    init->Initialize(m_handler.GetInterfacePtr());
}

CZtEventLogger::~CZtEventLogger() = default;

void CZtEventLogger::FinalRelease() noexcept {
    if (m_link != nullptr) {
        // Also a link the router dropped under it still holds its
        // subscription: ending it keeps no registry entry of a freed proxy.
        if (m_adapter->IsConnected() || ZtEventLoggerUmProxy::LinkUp(m_link->LinkState())) DisconnectLink();
        // Work the worker still does for the link (a sink disconnected just
        // before this) must not call into a freed object.
        if (!m_link->OnDispatchThread()) m_link->WaitLinkHandled(m_link->LinkState());
    }
    m_live.store(false);
    if (m_handlerImpl != nullptr) m_handlerImpl->Detach();
    m_handlerImpl = nullptr;
    m_handler = nullptr;
    m_resources = nullptr;
    m_link = nullptr;
    m_proxy = nullptr;  // on the worker thread it ends after the batch
    m_adapter.reset();
}

// ---- connection ------------------------------------------------------------

HRESULT CZtEventLogger::Connect(BSTR target) {
    if (target == nullptr) return E_POINTER;
    if (m_link == nullptr) return E_UNEXPECTED;
    const bool onWorker = m_link->OnDispatchThread();
    uint32_t rc = 0;
    uint64_t state = 0;
    try {
        std::lock_guard<std::mutex> lock(m_linkLock);
        // Live before the adapter is asked: the worker may deliver the first
        // frames of the new link before Connect returns.
        m_live.store(true);
        rc = m_adapter->Connect(target);
        state = m_link->LinkState();
        if (rc == 0 && !ZtEventLoggerUmProxy::LinkUp(state)) {
            // The adapter re-opened its port for the target chosen before
            // without telling its listeners (an empty target after a
            // Disconnect), so nothing subscribed: naming that target does.
            rc = m_adapter->Connect(m_lastTarget.empty() ? "localhost" : m_lastTarget.c_str());
            state = m_link->LinkState();
        }
        const bool up = ZtEventLoggerUmProxy::LinkUp(state);
        if (rc == 0 && up && *target != '\0') m_lastTarget = target;
        m_live.store(up);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    // The list is rebuilt (or, after a refusal, emptied) on the worker; a host
    // thread waits for it without the link lock, which a sink may need.
    if (onWorker)
        m_link->SyncLinkNow();
    else
        m_link->WaitLinkHandled(state);
    return LinkResult(rc);
}

HRESULT CZtEventLogger::Disconnect() {
    if (m_link == nullptr) return E_UNEXPECTED;
    return LinkResult(DisconnectLink());
}

uint32_t CZtEventLogger::DisconnectLink() {
    const bool onWorker = m_link->OnDispatchThread();
    uint32_t rc = 0;
    uint64_t state = 0;
    {
        std::lock_guard<std::mutex> lock(m_linkLock);
        m_live.store(false);
        rc = m_adapter->Disconnect();
        state = m_link->LinkState();
    }
    // A host thread returns once the batch under way has been delivered and
    // the list is empty; on the worker (a sink) that batch is this one.
    if (onWorker)
        m_link->SyncLinkNow();
    else
        m_link->WaitLinkHandled(state);
    return rc;
}

HRESULT CZtEventLogger::get_IsConnected(VARIANT_BOOL* connected) {
    if (connected == nullptr) return E_POINTER;
    *connected = m_adapter && m_adapter->IsConnected() ? ZtAtlCom::VARIANT_TRUE : ZtAtlCom::VARIANT_FALSE;
    return S_OK;
}

// ---- events ----------------------------------------------------------------

HRESULT CZtEventLogger::NotifyMessageSent(CZtMessage* message) {
    if (!m_live.load(std::memory_order_acquire)) return S_OK;
    SelfHold hold(this);
    if (!hold.Held()) return S_OK;  // being destroyed: no sink is called any more
    IZtMessage* itf = message != nullptr ? static_cast<IZtMessage3*>(message) : nullptr;
    return Fire<DispIdMessageSent>(itf);
}

// The alarm's own event, then the logger's; a sink of the first may have
// disconnected (nothing more is fired then) or released the logger.
template <ZtAtlCom::DISPID N, class FireAlarm, class... Args>
HRESULT CZtEventLogger::NotifyAlarm(CZtAlarm* alarm, FireAlarm fireAlarm, const Args&... args) noexcept {
    if (alarm == nullptr) return E_INVALIDARG;
    if (!m_live.load(std::memory_order_acquire)) return S_OK;
    SelfHold hold(this);
    if (!hold.Held()) return S_OK;  // being destroyed: no sink is called any more
    HRESULT hr = fireAlarm(alarm);
    if (Failed(hr) || !m_live.load(std::memory_order_acquire)) return hr;
    IZtAlarm* itf = static_cast<IZtAlarm3*>(alarm);
    return Fire<N>(args..., itf);  // last argument first
}

HRESULT CZtEventLogger::NotifyAlarmRaised(CZtAlarm* alarm) {
    return NotifyAlarm<DispIdAlarmRaised>(alarm, [](CZtAlarm* a) { return a->FireRaised(); });
}

HRESULT CZtEventLogger::NotifyAlarmCleared(CZtAlarm* alarm, bool removed) {
    return NotifyAlarm<DispIdAlarmCleared>(alarm, [](CZtAlarm* a) { return a->FireCleared(); }, Flag(removed));
}

HRESULT CZtEventLogger::NotifyAlarmConfirmed(CZtAlarm* alarm, bool removed) {
    return NotifyAlarm<DispIdAlarmConfirmed>(alarm, [](CZtAlarm* a) { return a->FireConfirmed(); },
                                             Flag(removed));
}

}  // namespace ZtEventLoggerVdlProxy
