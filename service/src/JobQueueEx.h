// JobQueueEx.h - moves notification frames off the router client's thread.
//
// Producers (router client threads) append frames with Enqueue; one worker
// thread owned by the queue hands them, in arrival order and in batches, to
// the receiver. The queue can be suspended (new frames are held back while
// those queued before are drained) and resumed, and tells whether it is idle.
//
// Frames are byte blocks the producer allocates with the queue's
// AllocateFrame; from a successful or over-capacity Enqueue on, the queue owns
// them and releases them after the receiver returned, in Clear, when the
// worker stops and in the destructor. A frame that was not enqueued goes back
// with ReleaseFrame.
#ifndef ZT_JOB_QUEUE_EX_H
#define ZT_JOB_QUEUE_EX_H

#include <atomic>
#include <cstdint>
#include <list>
#include <thread>

#include "FramePool.h"
#include "ServiceProtocol.h"
#include "ZtAtlCom/ZtUnknown.h"
#include "ZtPalDrvIf.h"

namespace ZtEventLoggerCommon {

using ZtAtlCom::HRESULT;

// Receives batches of frames on the worker thread, in arrival order. The
// frames belong to the queue and are valid only during the call; a batch is
// empty when the worker was woken without a frame (Wake). The receiver may
// call Enqueue, Clear, Wake or IsEmpty, and may release the last reference of
// the queue; it must not Suspend with a wait.
template <class T>
struct IJobQueueExCallbackReceiver {
    virtual void OnNotification(const std::list<T*>& frames) = 0;

protected:
    ~IJobQueueExCallbackReceiver() = default;
};

template <class T>
struct IJobQueueEx : ZtAtlCom::IZtUnknown {
    virtual void Init(IJobQueueExCallbackReceiver<T>* receiver) = 0;
    // S_OK; E_FAIL (0x80004005) when the list grew above the capacity (the
    // frame is queued all the same); E_POINTER when no list takes frames (the
    // frame stays with the caller).
    virtual HRESULT Enqueue(T* frame) = 0;
    // Drops every queued frame; the batch under way is not touched.
    virtual void Clear() = 0;
    // Holds new frames back and waits up to milliseconds for the frames queued
    // before to be processed. True when idle was reached (or already suspended).
    virtual bool Suspend(unsigned int milliseconds, bool resumeOnTimeout) = 0;
    virtual bool Resume() = 0;
    // True when nothing is pending or the queue is suspended; otherwise whether
    // the worker became idle within the time.
    virtual bool WaitFinished(unsigned int milliseconds) = 0;
    // True when the worker has processed every frame enqueued so far.
    virtual bool IsEmpty() = 0;
    virtual ~IJobQueueEx() = default;
    // Frames dropped by Clear since construction.
    virtual uint64_t DroppedFrames() const = 0;
    // Memory for a frame of size bytes (null when out of memory), and its release.
    virtual void* AllocateFrame(size_t size) = 0;
    virtual void ReleaseFrame(T* frame) = 0;
    // Has the worker call the receiver once more, with an empty batch when no
    // frame is queued: work the receiver has to do without a frame (after a
    // Clear, say) needs no memory that may be missing. Also while suspended.
    virtual void Wake() = 0;
};

template <class T>
class JobQueueEx final : public IJobQueueEx<T> {
public:
    explicit JobQueueEx(unsigned int capacity);
    ~JobQueueEx() override;
    JobQueueEx(const JobQueueEx&) = delete;
    JobQueueEx& operator=(const JobQueueEx&) = delete;

    ZtAtlCom::ULONG ZtAddRef() override;
    HRESULT ZtQueryInterface(const ZtAtlCom::IID& iid, void** object) override;
    ZtAtlCom::ULONG ZtRelease() override;
    void Init(IJobQueueExCallbackReceiver<T>* receiver) override;
    HRESULT Enqueue(T* frame) override;
    void Clear() override;
    bool Suspend(unsigned int milliseconds, bool resumeOnTimeout) override;
    bool Resume() override;
    bool WaitFinished(unsigned int milliseconds) override;
    bool IsEmpty() override;
    uint64_t DroppedFrames() const override { return m_dropped.load(); }
    void* AllocateFrame(size_t size) override { return m_pool.Allocate(size); }
    void ReleaseFrame(T* frame) override { m_pool.Release(frame); }
    void Wake() override;
    // Whether the worker thread runs (it may not start when threads or events
    // cannot be made).
    bool Running() const noexcept { return m_thread != nullptr; }

    // The worker thread routine.
    static uint32_t Consume(void* queue);

    // How long the destructor waits for the worker before it waits without limit.
    static constexpr uint32_t kStopWaitMs = 10000;

private:
    class Mutex {
    public:
        Mutex() { OsUserInitializeCriticalSection(&m_cs); }
        ~Mutex() { OsUserDeleteCriticalSection(&m_cs); }
        void lock() { OsUserEnterCriticalSection(&m_cs); }
        void unlock() { OsUserLeaveCriticalSection(&m_cs); }

    private:
        OS_CRITICAL_SECTION m_cs;
    };

    void FreeAll(std::list<T*>& frames);
    void SignalWork(bool on);
    void SignalIdle(bool on);
    std::list<T*>& Slot(int index) { return index == 0 ? m_listA : m_listB; }

    ZtAtlCom::ZtUnknownCount m_refs;
    FramePool m_pool;  // first in, last out: frames in the lists below come from it
    OS_HANDLE m_work;   // manual reset: frames wait for the worker
    OS_HANDLE m_idle;   // manual reset: the worker found nothing more to do
    OS_HANDLE m_stop;   // automatic reset: the worker is to end
    OS_HANDLE m_thread = nullptr;
    Mutex m_lock;
    std::list<T*> m_listA, m_listB;
    int m_writeSlot = 0;
    int m_readSlot = 0;
    std::list<T*> m_batch;
    std::list<T*> m_spare;  // emptied list nodes, reused by Enqueue
    static constexpr size_t kMaxSpareNodes = 65536;
    const unsigned int m_capacity;
    bool m_suspended = false;
    uint64_t m_suspension = 0;  // counts suspensions, so a timed-out Suspend ends only its own
    bool m_pending = false;
    bool m_wake = false;      // Wake was called: the worker calls the receiver even without frames
    bool m_workSet = false;  // mirrors of the two manual-reset events, under the lock
    bool m_idleSet = true;
    IJobQueueExCallbackReceiver<T>* m_receiver = nullptr;
    std::atomic<uint64_t> m_dropped{0};
    // Set when the queue is destroyed from its own worker (a receiver released
    // the last reference): the worker then ends without touching the queue.
    std::atomic<bool>* m_orphaned = nullptr;
    std::atomic<std::thread::id> m_workerId{};
};

using NotificationQueue = JobQueueEx<const ZtEventStreamHeader>;
extern template class JobQueueEx<const ZtEventStreamHeader>;

}  // namespace ZtEventLoggerCommon

#endif  // ZT_JOB_QUEUE_EX_H
