#include "JobQueueEx.h"

#include <mutex>
#include <utility>

namespace ZtEventLoggerCommon {

template <class T>
JobQueueEx<T>::JobQueueEx(unsigned int capacity)
    : m_work(OsUserCreateEvent(nullptr, 1, 0, nullptr)),
      m_idle(OsUserCreateEvent(nullptr, 1, 1, nullptr)),
      m_stop(OsUserCreateEvent(nullptr, 0, 0, nullptr)),
      m_capacity(capacity),
      m_orphaned(new std::atomic<bool>(false)) {
    // Without its events the queue cannot run a worker; it then only collects
    // frames (and frees them), and WaitFinished/IsEmpty report on what it has.
    if (m_work != nullptr && m_idle != nullptr && m_stop != nullptr) {
        OS_HANDLE thread = nullptr;
        if (OsUserCreateThreadEx(nullptr, &JobQueueEx::Consume, this, 0, &thread, 0, nullptr) != 0)
            m_thread = thread;
    }
}

template <class T>
JobQueueEx<T>::~JobQueueEx() {
    if (m_thread != nullptr) {
        if (m_workerId.load() == std::this_thread::get_id()) {
            // Destroyed by a receiver on the worker: the worker finishes its
            // batch and ends on its own, without touching this queue again.
            m_orphaned->store(true);
            m_orphaned = nullptr;
        } else {
            OsUserSetEvent(m_stop);
            // A receiver still inside a host callback would run on freed
            // memory if the queue went away under it: after the grace period
            // keep waiting.
            if (OsUserWaitForSingleObject(m_thread, kStopWaitMs) != OS_WAIT_OBJECT_0)
                OsUserWaitForSingleObject(m_thread, OS_INFINITE);
        }
        OsUserCloseHandle(m_thread);
    }
    delete m_orphaned;
    for (OS_HANDLE h : {m_stop, m_work, m_idle})
        if (h != nullptr) OsUserCloseHandle(h);
    FreeAll(m_listA);
    FreeAll(m_listB);
    FreeAll(m_batch);
    m_spare.clear();
}

// The work and idle events change only under the queue lock, so their state
// is mirrored there and a producer pays for an event call only when the
// state really changes.
template <class T>
void JobQueueEx<T>::SignalWork(bool on) {
    if (m_workSet == on) return;
    m_workSet = on;
    on ? OsUserSetEvent(m_work) : OsUserResetEvent(m_work);
}

template <class T>
void JobQueueEx<T>::SignalIdle(bool on) {
    if (m_idleSet == on) return;
    m_idleSet = on;
    on ? OsUserSetEvent(m_idle) : OsUserResetEvent(m_idle);
}

template <class T>
void JobQueueEx<T>::FreeAll(std::list<T*>& frames) {
    m_pool.ReleaseAll(frames);
    frames.clear();
}

template <class T>
ZtAtlCom::ULONG JobQueueEx<T>::ZtAddRef() {
    return m_refs.Increment();
}

template <class T>
HRESULT JobQueueEx<T>::ZtQueryInterface(const ZtAtlCom::IID&, void** object) {
    if (object != nullptr) *object = nullptr;
    return ZtAtlCom::ZT_E_NOINTERFACE;
}

template <class T>
ZtAtlCom::ULONG JobQueueEx<T>::ZtRelease() {
    ZtAtlCom::ULONG n = m_refs.Decrement();
    if (n == 0) delete this;
    return n;
}

template <class T>
void JobQueueEx<T>::Init(IJobQueueExCallbackReceiver<T>* receiver) {
    std::lock_guard<Mutex> lk(m_lock);
    m_receiver = receiver;
}

template <class T>
HRESULT JobQueueEx<T>::Enqueue(T* frame) {
    std::lock_guard<Mutex> lk(m_lock);
    std::list<T*>& list = Slot(m_writeSlot);
    if (!m_spare.empty()) {
        list.splice(list.end(), m_spare, m_spare.begin());
        list.back() = frame;
    } else {
        try {
            list.push_back(frame);
        } catch (...) {
            return ZtAtlCom::E_POINTER;  // not taken: the frame stays with the caller
        }
    }
    HRESULT hr = list.size() > m_capacity ? ZtAtlCom::E_FAIL : ZtAtlCom::S_OK;
    SignalIdle(false);
    m_pending = true;
    if (!m_suspended) SignalWork(true);
    return hr;
}

template <class T>
void JobQueueEx<T>::Clear() {
    std::lock_guard<Mutex> lk(m_lock);
    m_dropped.fetch_add(m_listA.size() + m_listB.size());
    FreeAll(m_listA);
    FreeAll(m_listB);
}

template <class T>
void JobQueueEx<T>::Wake() {
    std::lock_guard<Mutex> lk(m_lock);
    m_wake = true;
    m_pending = true;
    SignalIdle(false);
    SignalWork(true);
}

template <class T>
bool JobQueueEx<T>::Suspend(unsigned int milliseconds, bool resumeOnTimeout) {
    uint64_t mine;
    {
        std::lock_guard<Mutex> lk(m_lock);
        if (m_suspended) return true;
        m_suspended = true;
        if (m_thread == nullptr) return true;
        mine = ++m_suspension;
        m_writeSlot = 1 - m_readSlot;
    }
    if (OsUserWaitForSingleObject(m_idle, milliseconds) == OS_WAIT_OBJECT_0) return true;
    if (!resumeOnTimeout) return false;
    std::lock_guard<Mutex> lk(m_lock);
    // Resumed meanwhile, perhaps suspended again by another caller: that
    // suspension is not ours to end.
    if (!m_suspended || m_suspension != mine) return false;
    m_suspended = false;
    // The frames held back go behind those the worker has not reached yet,
    // and both sides use the list the worker reads.
    std::list<T*>& held = Slot(m_writeSlot);
    m_writeSlot = m_readSlot;
    Slot(m_readSlot).splice(Slot(m_readSlot).end(), held);
    if (!Slot(m_readSlot).empty()) m_pending = true;
    if (m_pending) SignalWork(true);
    return false;
}

template <class T>
bool JobQueueEx<T>::Resume() {
    std::lock_guard<Mutex> lk(m_lock);
    if (!m_suspended || m_thread == nullptr) return true;
    m_suspended = false;
    const int oldRead = m_readSlot;
    m_readSlot = m_writeSlot;
    // Frames the worker had not reached yet (a suspension that timed out) were
    // queued before those held back: keep them, and keep them first.
    if (oldRead != m_readSlot) Slot(m_readSlot).splice(Slot(m_readSlot).begin(), Slot(oldRead));
    if (!Slot(m_readSlot).empty()) m_pending = true;
    if (m_pending) SignalWork(true);
    return true;
}

template <class T>
bool JobQueueEx<T>::WaitFinished(unsigned int milliseconds) {
    {
        std::lock_guard<Mutex> lk(m_lock);
        if (!m_pending || m_suspended) return true;
    }
    return OsUserWaitForSingleObject(m_idle, milliseconds) == OS_WAIT_OBJECT_0;
}

template <class T>
bool JobQueueEx<T>::IsEmpty() {
    std::lock_guard<Mutex> lk(m_lock);
    return OsUserWaitForSingleObject(m_idle, 0) == OS_WAIT_OBJECT_0;
}

template <class T>
uint32_t JobQueueEx<T>::Consume(void* queue) {
    auto* q = static_cast<JobQueueEx*>(queue);
    std::atomic<bool>* orphaned = q->m_orphaned;
    q->m_workerId.store(std::this_thread::get_id());
    OS_HANDLE handles[2] = {q->m_work, q->m_stop};
    for (;;) {
        if (OsUserWaitForMultipleObjects(2, handles, 0, OS_INFINITE) != OS_WAIT_OBJECT_0) {
            std::lock_guard<Mutex> lk(q->m_lock);
            q->FreeAll(q->m_batch);
            return 0;
        }
        std::list<T*> batch;
        IJobQueueExCallbackReceiver<T>* receiver;
        {
            std::lock_guard<Mutex> lk(q->m_lock);
            // One exchange per batch: the read list becomes the batch.
            q->m_batch.swap(q->Slot(q->m_readSlot));
            const bool woken = std::exchange(q->m_wake, false);
            q->m_pending = !q->m_batch.empty() || woken;
            if (q->m_batch.empty() && !woken) {
                q->SignalWork(false);
                q->SignalIdle(true);
                continue;
            }
            batch.swap(q->m_batch);
            receiver = q->m_receiver;
        }
        if (receiver != nullptr) receiver->OnNotification(batch);
        if (orphaned->load()) {  // the queue and its pool are gone
            for (T* f : batch) FramePool::FreeDirect(f);
            delete orphaned;
            return 0;
        }
        // The frames go back to the pool and the list nodes to the producers,
        // so that a steady stream allocates nothing at all.
        q->m_pool.ReleaseAll(batch);
        for (T*& f : batch) f = nullptr;
        std::lock_guard<Mutex> lk(q->m_lock);
        if (q->m_spare.size() < kMaxSpareNodes) q->m_spare.splice(q->m_spare.end(), batch);
    }
}

template class JobQueueEx<const ZtEventStreamHeader>;

}  // namespace ZtEventLoggerCommon
