// ZtEventLoggerUmProxy.h - the one link to the event logger service.
//
// Follows the router adapter's connection state: on Connected it subscribes to
// the service's notification frames and starts the activity monitor; on
// Disconnected it stops the monitor, unsubscribes and drops queued frames. It
// copies every incoming frame into the job queue (router client thread) and,
// on the queue's worker thread, dispatches each frame to the event handler.
//
// The handler's active-alarm list (IZtEventListSync, when the handler has it)
// is kept in step on the worker thread too, in order with the frames: the
// list is rebuilt from the service's active events before the first frame of
// a new subscription, emptied once the batch under way when the link went
// down is done, and reconciled (Resynchronize) before the next frame after
// any lost frame, or on its own when no frame follows. Running these reads
// on the worker means no lock of the adapter, the handler or a host's sink is
// held across them by a host thread, and no frame is applied to the list out
// of order with them.
//
// Threads: construction, Initialize, the connection-state calls (inside the
// adapter's Connect/Disconnect) and requests on host threads; OnVdlNotification
// on a router client thread; OnNotification on the queue worker; Consume on
// the activity monitor's own thread.
#ifndef ZT_EVENT_LOGGER_UM_PROXY_H
#define ZT_EVENT_LOGGER_UM_PROXY_H

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <memory>
#include <thread>

#include "JobQueueEx.h"
#include "ServiceProtocol.h"
#include "ZtEventLoggerVdlApi/VdlListeners.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterCore.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

using ZtEventLoggerCommon::IJobQueueEx;
using ZtEventLoggerCommon::IJobQueueExCallbackReceiver;
using ZtEventLoggerVdlApi::ConnectionState;
using ZtEventLoggerVdlApi::VdlR3AdapterCore;

class ZtEventLoggerUmProxy : public IZtEventLoggerUmProxy,
                             public IZtEventLoggerUmProxyInit,
                             public IResourceManager,
                             public ZtEventLoggerVdlApi::IConnectionStateListener,
                             public ZtEventLoggerVdlApi::IVdlNotificationListener,
                             public IJobQueueExCallbackReceiver<const ZtEventStreamHeader> {
public:
    using Queue = IJobQueueEx<const ZtEventStreamHeader>;

    // Registers with the adapter as a connection-state listener and with the
    // queue (when not null) as its receiver. The count starts at 0.
    ZtEventLoggerUmProxy(std::shared_ptr<VdlR3AdapterCore> adapter, Queue* queue);
    ZtEventLoggerUmProxy(const ZtEventLoggerUmProxy&) = delete;
    ZtEventLoggerUmProxy& operator=(const ZtEventLoggerUmProxy&) = delete;

    // IZtUnknown, shared by the three counted bases.
    ZtAtlCom::ULONG ZtAddRef() override;
    HRESULT ZtQueryInterface(const ZtAtlCom::IID& iid, void** object) override;
    ZtAtlCom::ULONG ZtRelease() override;

    // Requests (IZtEventLoggerUmProxy).
    HRESULT ReadActiveEvents(std::vector<ZtEventEntity*>& events) override;
    HRESULT GetLoggedEvents(std::vector<ZtEventEntity*>& events, uint32_t count) override;
    HRESULT GetLoggedEvents2(std::vector<ZtEventEntity*>& events, IZtStreamSerializable* settings) override;
    HRESULT ClearLoggedEvents() override;
    HRESULT ConfirmAlarms(int64_t timeStamp, IZtStreamSerializable* filter) override;
    HRESULT ClearAlarms(int64_t timeStamp, bool resetConfirmation, IZtStreamSerializable* filter) override;
    HRESULT ClearAllAlarms(bool resetConfirmation) override;
    HRESULT ConfirmAllAlarms() override;
    HRESULT ConfirmEvent(const ZtEventKey& key) override;
    HRESULT SendMessage(SerializedStream* stream) override;
    HRESULT ExportLoggedEvents(const char* fileName, IZtStreamSerializable* settings) override;

    // The class's own slots, in this order.
    void Initialize(IZtEventHandler* handler) override;
    uint32_t OnConnectionStateChaned(ConnectionState state) override;
    uint32_t OnVdlNotification(unsigned short port, long timeStamp, unsigned long size, void* data,
                               long userValue) override;
    void OnNotification(const std::list<const ZtEventStreamHeader*>& frames) override;
    virtual HRESULT OnNotification(const ZtEventStreamHeader* frame);
    using IResourceManager::GetMessageString;
    HRESULT GetMessageString(const ZtEventKey& key, const ZtEventLoggerCommon::ZtEventArguments& arguments,
                             void* argumentData, int64_t languageId, char** text) override;
    HRESULT GetEventClassName(const GUID& eventClass, int64_t languageId, char** text) override;
    HRESULT GetCauseRemedy(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                           std::vector<CauseRemedy>& out) override;
    HRESULT GetEventClassDetails(const GUID& eventClass, int64_t languageId, std::vector<Detail>& out) override;
    HRESULT GetEventDetails(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                            std::vector<Detail>& out) override;
    virtual HRESULT VdlSyncReadWrite(unsigned long indexGroup, unsigned long indexOffset, unsigned long writeLength,
                                     const void* writeData);
    HRESULT ClearResourceCache() override;
    HRESULT LoadResourceFile(const std::string& path) override;
    HRESULT UnloadResourceFile(const std::string& path) override;

    // The two halves of OnConnectionStateChaned.
    HRESULT OnConnected();
    HRESULT OnDisconected();

    // The activity monitor's thread routine.
    static uint32_t Consume(void* proxy);

    // Every notification frame the link lost: those dropped when a full queue
    // is cleared, samples whose copy could not be allocated, and frames refused
    // as malformed (counted also in MalformedFrames). Each loss marks the
    // active-alarm list for resynchronisation from the service (read of all
    // active events). Samples dropped while the adapter is not connected are
    // no loss: the list is rebuilt when the link comes up.
    uint64_t LostFrames() const noexcept { return m_lostFrames.load(); }
    // Frames refused as malformed: at arrival because the frame or its record
    // did not fit the bytes received or its types, at dispatch because of a
    // version other than 1.
    uint64_t MalformedFrames() const noexcept { return m_malformedFrames.load(); }
    bool ResyncRequested() const noexcept { return m_resyncRequested.load(); }
    // Returns whether a resynchronisation was requested, and clears the mark.
    bool TakeResyncRequest() noexcept { return m_resyncRequested.exchange(false); }
    bool MonitorRunning() const noexcept { return m_monitor.load() != nullptr; }
    // Whether construction got its events (without them no monitor can run).
    bool Ready() const noexcept { return m_stop != nullptr && m_activity != nullptr; }

    // The link's state: a sequence number that grows with every subscription
    // and every Disconnected, times two, plus 1 while subscribed.
    uint64_t LinkState() const noexcept { return m_link.load(); }
    static constexpr bool LinkUp(uint64_t state) noexcept { return (state & 1) != 0; }
    // Waits until the worker has brought the list to `state` or a later one
    // (rebuilt, or emptied after the batch under way). Never call it on the
    // worker thread, nor while holding a lock a host's sink may need.
    void WaitLinkHandled(uint64_t state);
    // The same on the worker thread itself, from inside a batch (a host's sink
    // that connects or disconnects): done at once.
    void SyncLinkNow() noexcept;
    // Whether the calling thread is the worker, inside a batch.
    bool OnDispatchThread() const noexcept { return m_dispatcher.load() == std::this_thread::get_id(); }

    // The quiet time after which the activity monitor ends by itself.
    static constexpr uint32_t kQuietMs = 5000;
    static constexpr uint32_t kStopWaitMs = 10000;
    // The activity event is set at most this often (the monitor also reads
    // the time of the latest activity).
    static constexpr int64_t kActivitySignalMs = 250;

private:
    ~ZtEventLoggerUmProxy();
    void StopMonitor();
    void NoteLost(uint64_t frames) noexcept;
    enum class SyncPoint { BatchStart, BeforeFrame, BatchEnd };
    void SyncLink(SyncPoint point) noexcept;
    uint64_t AdvanceLink(bool up) noexcept;
    void Wake() noexcept;
    void NoteMalformed() noexcept;
    void NoteActivity() noexcept;
    HRESULT Dispatch(const ZtEventStreamHeader* frame, bool checkedOnArrival);
    static int64_t NowMs() noexcept;
    IConnectionStateListener* AsListener() { return this; }
    IVdlNotificationListener* AsNotificationListener() { return this; }

    ZtAtlCom::ZtUnknownCount m_refs;
    ZtAtlCom::_zt_com_ptr_t<ZtAtlCom::_zt_com_IIID<IZtEventHandler>> m_handler;
    std::shared_ptr<VdlR3AdapterCore> m_adapter;
    ZtAtlCom::ZtComPtrLite<Queue> m_queue;
    // Taken out with an atomic exchange by whoever closes it, so it is closed
    // exactly once and never waited on after closing.
    std::atomic<OS_HANDLE> m_monitor{nullptr};
    OS_HANDLE m_activity = nullptr;  // automatic reset
    std::atomic<int64_t> m_lastActivityMs{0};  // steady clock
    std::atomic<int64_t> m_lastSignalMs{0};    // when the activity event was last set
    OS_HANDLE m_stop = nullptr;      // automatic reset
    RequestHandleCounter m_requestHandles;

    // The worker thread while it dispatches a batch: a last release made there
    // (by the handler, or a host sink behind it) defers the destruction until
    // the batch is done, so that the loop never runs on a freed proxy.
    std::atomic<std::thread::id> m_dispatcher{};
    bool m_destroyAfterBatch = false;  // worker thread only
    bool m_batchActivity = false;      // worker thread only: a frame of the batch was activity

    // Link state (LinkState), what the worker has applied to the list of it,
    // and the same published for WaitLinkHandled.
    std::atomic<uint64_t> m_link{0};
    uint64_t m_linkApplied = 0;       // worker thread only
    bool m_deliveredWhileDown = false;  // worker thread only: the list needs emptying again
    std::mutex m_linkMutex;
    std::condition_variable m_linkChanged;
    uint64_t m_linkDone = 0;  // under m_linkMutex

    std::atomic<uint64_t> m_lostFrames{0};
    std::atomic<uint64_t> m_malformedFrames{0};
    std::atomic<bool> m_resyncRequested{false};
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_LOGGER_UM_PROXY_H
