// TargetBridge.h - one configured target inside the gateway: takes the
// controller's events from its EventSource into the durable queue (events
// with their sequence numbers, retained alarm states), keeps the link up,
// reconciles the retained alarm topics with the controller's active list and
// carries out the target's commands.
//
// Threads: OnSourceEvent runs on the source's thread and only writes to the
// queue (never the network). The bridge's own thread watches the link
// (every 200 ms), reconnects with a back-off, reconciles and runs commands
// one at a time, so a slow controller holds up only its own commands.
// PostCommand and RequestReconcile may be called from any thread.
#ifndef ZT_GATEWAY_TARGET_BRIDGE_H
#define ZT_GATEWAY_TARGET_BRIDGE_H

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "CommandHandler.h"
#include "DurableQueue.h"
#include "EventSource.h"
#include "GatewayConfig.h"
#include "GatewayStats.h"
#include "TopicMap.h"

namespace ZtGateway {

class TargetBridge : public EventSource::Listener {
public:
    using SourceFactory = std::function<std::unique_ptr<EventSource>(const TargetConfig&, EventSource::Listener&)>;
    struct Context {
        DurableQueue& queue;
        const TopicMap& topics;
        TargetCounters& counters;
    };

    TargetBridge(TargetConfig config, const SourceFactory& factory, Context context);
    ~TargetBridge();  // Stop()
    TargetBridge(const TargetBridge&) = delete;
    TargetBridge& operator=(const TargetBridge&) = delete;

    void Start();
    // Ends the thread and the link; with `publishOffline`, queues the status
    // "offline" ("gateway stopped") first.
    void Stop(bool publishOffline = false);

    // After a reconnect to the broker: publish every active alarm and the
    // status again (the broker may have lost its retained messages).
    void RequestReconcile();
    // Queues a command (checked already) for the bridge's thread; false when
    // too many wait (the caller answers "busy").
    bool PostCommand(const Command& command);

    const std::string& Name() const { return config_.name; }
    // The queued message of this retained topic was dropped: publish it again
    // at the next reconciliation.
    void MarkUnknown(const std::string& topic);
    // The broker holds a retained alarm message on this topic: one the
    // record does not know (a broker restored from an old snapshot, a run
    // whose queue file was lost) is cleared, so that subscribers see only
    // the active alarms.
    void ClearIfUnknown(const std::string& topic);
    bool Online() const;

    void OnSourceEvent(const SourceEvent& event) override;

private:
    void Run();
    void CheckLink();
    bool Reconcile(bool everything);
    void QueueStatus(bool online, const std::string& reason);
    void CommitLocked(QueueCommit& commit);
    std::string AlarmTopic(const AlarmKey& key) const;

    const TargetConfig config_;
    Context ctx_;
    std::unique_ptr<EventSource> source_;

    // Guards the sequence, the record of retained topics and the reconcile marks.
    mutable std::mutex mutex_;
    uint64_t nextSequence_ = 1;
    RetainedRecord record_;
    bool reconciling_ = false;
    std::set<std::string> touched_;  // topics the live path wrote while a reconcile read the list
    bool online_ = false;
    std::string statusPayload_;

    std::mutex workMutex_;  // guards the work below
    std::condition_variable work_;
    bool stop_ = false;
    bool reconcileAll_ = false;
    std::deque<Command> commands_;
    std::thread thread_;

    // The bridge's thread alone.
    bool everOnline_ = false;
    bool reconcileFailed_ = false;
    bool pendingAll_ = false;
    HRESULT lastConnectError_ = 0;
    std::chrono::milliseconds backoff_{250};
    std::chrono::steady_clock::time_point nextAttempt_{};
};

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_TARGET_BRIDGE_H
