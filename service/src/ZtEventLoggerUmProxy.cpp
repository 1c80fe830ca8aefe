#include "ZtEventLoggerUmProxy.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "ZtEventLoggerVdlApi/VdlErrors.h"

namespace ZtEventLoggerVdlProxy {

using ZtEventLoggerVdlApi::VDL_ERR_INVALID_DATA;
using ZtEventLoggerVdlApi::VDL_ERR_NO_MEMORY;

ZtEventLoggerUmProxy::ZtEventLoggerUmProxy(std::shared_ptr<VdlR3AdapterCore> adapter, Queue* queue)
    : m_adapter(std::move(adapter)) {
    if (queue != nullptr) {
        queue->ZtAddRef();
        m_queue.reset(queue);
    }
    if (m_adapter) m_adapter->AddListener(AsListener());
    if (m_queue) m_queue->Init(this);
    m_stop = OsUserCreateEvent(nullptr, 0, 0, nullptr);
    m_activity = OsUserCreateEvent(nullptr, 0, 0, nullptr);
}

ZtEventLoggerUmProxy::~ZtEventLoggerUmProxy() {
    StopMonitor();
    if (m_adapter) m_adapter->RemoveListener(AsListener());
    // The queue first: its worker may still be dispatching to the handler, and
    // it signals the activity event, which is closed only after that.
    m_queue.reset();
    OsUserCloseHandle(m_stop);
    OsUserCloseHandle(m_activity);
    m_adapter.reset();
    m_handler = nullptr;
}

ZtAtlCom::ULONG ZtEventLoggerUmProxy::ZtAddRef() { return m_refs.Increment(); }

ZtAtlCom::ULONG ZtEventLoggerUmProxy::ZtRelease() {
    ZtAtlCom::ULONG n = m_refs.Decrement();
    if (n == 0) {
        if (m_dispatcher.load() == std::this_thread::get_id())
            m_destroyAfterBatch = true;
        else
            delete this;
    }
    return n;
}

HRESULT ZtEventLoggerUmProxy::ZtQueryInterface(const ZtAtlCom::IID& iid, void** object) {
    if (object == nullptr) return ZtAtlCom::E_POINTER;
    *object = nullptr;
    if (iid == g_IID_IZtEventLoggerUmProxy)
        *object = static_cast<IZtEventLoggerUmProxy*>(this);
    else if (iid == g_IID_IZtEventLoggerUmProxyInit)
        *object = static_cast<IZtEventLoggerUmProxyInit*>(this);
    else if (iid == g_IID_IResourceManager)
        *object = static_cast<IResourceManager*>(this);
    else
        return ZtAtlCom::ZT_E_NOINTERFACE;
    ZtAddRef();
    return ZtAtlCom::S_OK;
}

void ZtEventLoggerUmProxy::Initialize(IZtEventHandler* handler) {
    if (m_handler.GetInterfacePtr() == handler) return;
    m_handler = ZtAtlCom::_zt_com_ptr_t<ZtAtlCom::_zt_com_IIID<IZtEventHandler>>(handler);
}

uint32_t ZtEventLoggerUmProxy::OnConnectionStateChaned(ConnectionState state) {
    switch (state) {
        case ConnectionState::Connected: return static_cast<uint32_t>(OnConnected());
        case ConnectionState::Disconnected: return static_cast<uint32_t>(OnDisconected());
        default: return 0;
    }
}

HRESULT ZtEventLoggerUmProxy::OnConnected() {
    // Frames of the new subscription wait until the link is marked up, so the
    // worker rebuilds the list before it applies any of them.
    if (m_queue) m_queue->Suspend(0, false);
    uint32_t rc = m_adapter->VdlSyncAddDeviceNotificationReq(kServicePort, kGroupNotification, 0,
                                                             AsNotificationListener(), 0);
    if (rc != 0) {
        if (m_queue) m_queue->Resume();
        return SubscriptionErrorToHResult(rc);
    }
    // The rebuild reads every active event; an older loss needs no reconcile.
    m_resyncRequested.store(false);
    AdvanceLink(true);
    // A stop signal left over from a monitor that ended on its own while being
    // stopped must not end the new one at once.
    OsUserResetEvent(m_stop);
    OS_HANDLE thread = nullptr;
    if (OsUserCreateThreadEx(nullptr, &ZtEventLoggerUmProxy::Consume, this, 0, &thread, 0, nullptr) != 0) {
        OS_HANDLE previous = m_monitor.exchange(thread);
        if (previous != nullptr) {  // cannot happen while connects are serialised; never leak a handle
            OsUserCloseHandle(previous);
        }
    }
    if (m_queue) m_queue->Resume();
    Wake();
    return ZtAtlCom::S_OK;
}

void ZtEventLoggerUmProxy::StopMonitor() {
    OS_HANDLE monitor = m_monitor.exchange(nullptr);
    if (monitor == nullptr) return;
    OsUserSetEvent(m_stop);
    OsUserWaitForSingleObject(monitor, kStopWaitMs);
    OsUserCloseHandle(monitor);
}

HRESULT ZtEventLoggerUmProxy::OnDisconected() {
    AdvanceLink(false);
    StopMonitor();
    m_adapter->VdlSyncDelDeviceNotificationReq(kServicePort, AsNotificationListener(), 0);
    if (m_queue) m_queue->Clear();
    Wake();  // the list is emptied on the worker, also when no frame is under way
    return ZtAtlCom::S_OK;
}

void ZtEventLoggerUmProxy::NoteLost(uint64_t frames) noexcept {
    m_lostFrames.fetch_add(frames);
    m_resyncRequested.store(true);
    // No frame may follow the loss (the one lost was the last for a while):
    // the worker reconciles on its own. Waking needs no memory.
    Wake();
}

void ZtEventLoggerUmProxy::Wake() noexcept {
    if (m_queue) m_queue->Wake();
}

uint64_t ZtEventLoggerUmProxy::AdvanceLink(bool up) noexcept {
    uint64_t state = m_link.load();
    uint64_t next = 0;
    do {
        next = (((state >> 1) + 1) << 1) | (up ? 1u : 0u);
    } while (!m_link.compare_exchange_weak(state, next));
    return next;
}

void ZtEventLoggerUmProxy::NoteMalformed() noexcept {
    m_malformedFrames.fetch_add(1);
    NoteLost(1);
}

uint32_t ZtEventLoggerUmProxy::OnVdlNotification(unsigned short, long, unsigned long size, void* data, long) {
    if (size == 0 || data == nullptr) return VDL_ERR_INVALID_DATA;
    // Checked at the boundary: a frame or record that does not fit the bytes
    // received is never queued, so the worker reads only what arrived.
    if (CheckNotificationFrame(data, size) != FrameCheck::Ok) {
        NoteMalformed();
        return VDL_ERR_INVALID_DATA;
    }
    if (!m_queue) return 0;
    void* copy = m_queue->AllocateFrame(size);
    if (copy == nullptr) {
        NoteLost(1);
        return VDL_ERR_NO_MEMORY;
    }
    std::memcpy(copy, data, size);
    auto* frame = static_cast<const ZtEventStreamHeader*>(copy);
    if (!m_adapter->IsConnected()) {
        m_queue->ReleaseFrame(frame);
        return 0;
    }
    HRESULT hr = m_queue->Enqueue(frame);
    if (ZtAtlCom::Succeeded(hr)) return 0;
    // Over capacity (the copy is queued) or not taken (the copy is ours): the
    // queue is cleared to keep up. The loss is counted and the active-alarm
    // list marked for a read of all active events from the service.
    const uint64_t before = m_queue->DroppedFrames();
    m_queue->Clear();
    uint64_t lost = m_queue->DroppedFrames() - before;
    if (hr != ZtAtlCom::E_FAIL) {
        m_queue->ReleaseFrame(frame);
        ++lost;
    }
    NoteLost(lost);
    return 0;
}

void ZtEventLoggerUmProxy::OnNotification(const std::list<const ZtEventStreamHeader*>& frames) {
    m_dispatcher.store(std::this_thread::get_id());
    SyncLink(SyncPoint::BatchStart);
    const uint64_t batchLink = m_link.load();
    for (const ZtEventStreamHeader* frame : frames) {
        // Frames that slipped in after the link went down are not applied.
        if (!LinkUp(batchLink)) break;
        const uint64_t now = m_link.load();
        if (now != batchLink) {
            // A newer subscription: the rest is of the old one, whose effects
            // the rebuild of the list has read already.
            if (LinkUp(now)) break;
            // Gone down: the batch under way is still delivered, then the list
            // is emptied.
            m_deliveredWhileDown = true;
        } else if (m_resyncRequested.load(std::memory_order_relaxed)) {
            SyncLink(SyncPoint::BeforeFrame);
        }
        Dispatch(frame, true);
    }
    if (std::exchange(m_batchActivity, false)) NoteActivity();
    SyncLink(SyncPoint::BatchEnd);
    m_dispatcher.store(std::thread::id());
    if (m_destroyAfterBatch) delete this;
}

void ZtEventLoggerUmProxy::SyncLinkNow() noexcept {
    if (OnDispatchThread()) SyncLink(SyncPoint::BatchEnd);
}

void ZtEventLoggerUmProxy::SyncLink(SyncPoint point) noexcept {
    const uint64_t state = m_link.load();
    const bool changed = state != m_linkApplied;
    const bool up = LinkUp(state);
    // A link that went down during a batch: the rest of the batch reaches the
    // handler first, the list is emptied at its end.
    if (!up && point == SyncPoint::BeforeFrame) return;
    const bool emptyAgain = !up && m_deliveredWhileDown;
    const bool reconcile = up && !changed && m_resyncRequested.load();
    if (!changed && !emptyAgain && !reconcile) return;

    IZtEventListSync* sync = nullptr;
    if (m_handler && !m_destroyAfterBatch)
        m_handler->ZtQueryInterface(ZtAtlCom::iid_of<IZtEventListSync>(), reinterpret_cast<void**>(&sync));
    if (sync != nullptr) {
        if (changed && up) {
            // A list that cannot be read now is reconciled before the next
            // frame (its alarms are then reported as raised).
            if (ZtAtlCom::Failed(sync->OnConnected())) m_resyncRequested.store(true);
        } else if (!up) {
            sync->OnDisconected();
        } else if (m_resyncRequested.exchange(false) && ZtAtlCom::Failed(sync->Resynchronize()) &&
                   m_link.load() == state) {
            m_resyncRequested.store(true);  // tried again before the next frame
        }
        sync->ZtRelease();
    }
    if (!up) m_deliveredWhileDown = false;
    if (changed) {
        m_linkApplied = state;
        {
            std::lock_guard<std::mutex> lk(m_linkMutex);
            m_linkDone = state;
        }
        m_linkChanged.notify_all();
    }
}

void ZtEventLoggerUmProxy::WaitLinkHandled(uint64_t state) {
    std::unique_lock<std::mutex> lk(m_linkMutex);
    m_linkChanged.wait(lk, [&] { return (m_linkDone >> 1) >= (state >> 1); });
}

HRESULT ZtEventLoggerUmProxy::OnNotification(const ZtEventStreamHeader* frame) {
    const HRESULT hr = Dispatch(frame, false);
    if (std::exchange(m_batchActivity, false)) NoteActivity();
    return hr;
}

// Frames of a batch were checked on arrival (OnVdlNotification) and live in
// the queue's memory since: their records are not checked a second time.
// Activity is noted once per batch, which is all the monitor needs.
HRESULT ZtEventLoggerUmProxy::Dispatch(const ZtEventStreamHeader* frame, bool checkedOnArrival) {
    bool activity = false;
    HRESULT hr = DispatchNotificationFrame(frame, m_handler.GetInterfacePtr(), &activity, checkedOnArrival);
    if (hr == ZT_E_FRAME_VERSION || hr == ZT_E_BAD_RECORD) NoteMalformed();
    if (activity) m_batchActivity = true;
    return hr;
}

// The monitor only needs to know that the link was busy within its quiet
// time. Waking it for every frame would cost a thread switch per frame, so
// the event is set at most every kActivitySignalMs; the time of the latest
// activity tells the monitor the rest.
void ZtEventLoggerUmProxy::NoteActivity() noexcept {
    const int64_t now = NowMs();
    m_lastActivityMs.store(now, std::memory_order_relaxed);
    if (now - m_lastSignalMs.load(std::memory_order_relaxed) < kActivitySignalMs) return;
    m_lastSignalMs.store(now, std::memory_order_relaxed);
    OsUserSetEvent(m_activity);
}

int64_t ZtEventLoggerUmProxy::NowMs() noexcept {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t ZtEventLoggerUmProxy::Consume(void* p) {
    auto* proxy = static_cast<ZtEventLoggerUmProxy*>(p);
    OS_HANDLE handles[2] = {proxy->m_activity, proxy->m_stop};
    for (;;) {
        uint32_t w = OsUserWaitForMultipleObjects(2, handles, 0, kQuietMs);
        if (w == OS_WAIT_OBJECT_0) continue;  // activity
        if (w != OS_WAIT_TIMEOUT) return 0;   // stop (or the events are gone)
        // Activity not signalled (see NoteActivity) still counts.
        if (NowMs() - proxy->m_lastActivityMs.load(std::memory_order_relaxed) < kQuietMs) continue;
        if (proxy->m_adapter->IsConnected() && proxy->m_queue && proxy->m_queue->IsEmpty()) {
            // Quiet with nothing queued: end, closing the handle unless a stop
            // has already taken it (then the stopper waits for us and closes it).
            OS_HANDLE self = proxy->m_monitor.exchange(nullptr);
            if (self != nullptr) OsUserCloseHandle(self);
            return 0;
        }
    }
}

}  // namespace ZtEventLoggerVdlProxy
