#include "TargetBridge.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <map>

#include "GatewayLog.h"
#include "ZtTool/ResultText.h"
#include "ZtTool/TimeText.h"

namespace ZtGateway {

namespace {
constexpr size_t kMaxWaitingCommands = 16;
constexpr auto kLinkCheck = std::chrono::milliseconds(200);
constexpr auto kMaxBackoff = std::chrono::milliseconds(5000);
}  // namespace

const char* TransitionName(Transition t) {
    switch (t) {
        case Transition::Message: return "message";
        case Transition::Raised: return "raised";
        case Transition::Cleared: return "cleared";
        case Transition::Confirmed: return "confirmed";
    }
    return "?";
}

TargetBridge::TargetBridge(TargetConfig config, const SourceFactory& factory, Context context)
    : config_(std::move(config)), ctx_(context) {
    nextSequence_ = ctx_.queue.NextSequence(config_.name);
    record_ = ctx_.queue.Record(config_.name);
    source_ = factory(config_, *this);
}

TargetBridge::~TargetBridge() { Stop(); }

void TargetBridge::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void TargetBridge::Stop(bool publishOffline) {
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        stop_ = true;
    }
    work_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (source_) source_->Disconnect();
    if (publishOffline && Online()) QueueStatus(false, "gateway stopped");
}

bool TargetBridge::Online() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return online_;
}

void TargetBridge::RequestReconcile() {
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        reconcileAll_ = true;
    }
    work_.notify_all();
}

bool TargetBridge::PostCommand(const Command& command) {
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        if (stop_ || commands_.size() >= kMaxWaitingCommands) return false;
        commands_.push_back(command);
    }
    work_.notify_all();
    return true;
}

std::string TargetBridge::AlarmTopic(const AlarmKey& key) const {
    return ctx_.topics.Alarm(config_.name, key.eventClass, key.eventId, key.qualifier);
}

void TargetBridge::CommitLocked(QueueCommit& commit) {
    commit.target = config_.name;
    for (auto& [topic, payload] : commit.record) {
        if (payload) {
            record_[topic] = RetainedEntry{*payload, false};
        } else {
            record_.erase(topic);
        }
    }
    ctx_.queue.Append(std::move(commit));
}

void TargetBridge::ClearIfUnknown(const std::string& topic) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (record_.count(topic)) return;
    LogInfo(config_.name, "clearing " + topic + ": retained on the broker, not active");
    QueueCommit commit;
    commit.items.push_back(QueueItem{0, {}, ItemKind::Retained, topic, {}, true});
    CommitLocked(commit);
}

void TargetBridge::MarkUnknown(const std::string& topic) {
    std::lock_guard<std::mutex> lock(mutex_);
    record_[topic].unknown = true;
}

void TargetBridge::OnSourceEvent(const SourceEvent& ev) {
    std::string now = ZtTool::FileTimeToIsoUtc(ZtTool::FileTimeNow(), 3);
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t seq = nextSequence_++;
    rapidjson::StringBuffer b;
    rapidjson::Writer<rapidjson::StringBuffer> w(b);
    w.StartObject();
    w.Key("seq");
    w.Uint64(seq);
    w.Key("target");
    w.String(config_.name.c_str());
    w.Key("transition");
    w.String(TransitionName(ev.transition));
    if (ev.transition != Transition::Message) {
        w.Key("removed");
        w.Bool(ev.removed);
    }
    w.Key("time");
    w.String(now.c_str());
    w.Key("event");
    w.RawValue(ev.json.c_str(), ev.json.size(), rapidjson::kObjectType);
    w.EndObject();

    QueueCommit commit;
    commit.items.push_back(
        QueueItem{0, {}, ItemKind::Event, ctx_.topics.Events(config_.name), std::string(b.GetString(), b.GetSize()), false});
    commit.nextSequence = nextSequence_;
    if (ev.transition != Transition::Message) {
        std::string topic = AlarmTopic(ev.key);
        auto known = record_.find(topic);
        if (ev.removed) {
            // Cleared also when the record does not know it: an empty retained
            // message costs little and leaves nothing behind.
            commit.items.push_back(QueueItem{0, {}, ItemKind::Retained, topic, {}, true});
            commit.record.emplace_back(topic, std::nullopt);
        } else if (known == record_.end() || known->second.unknown || known->second.payload != ev.json) {
            commit.items.push_back(QueueItem{0, {}, ItemKind::Retained, topic, ev.json, true});
            commit.record.emplace_back(topic, ev.json);
        }
        if (reconciling_) touched_.insert(topic);
    }
    ctx_.counters.eventsIn.fetch_add(1);
    // An event the disk then fails to take is counted as dropped; its
    // sequence number stays used, so consumers see the gap.
    CommitLocked(commit);
}

bool TargetBridge::Reconcile(bool everything) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reconciling_ = true;
        touched_.clear();
    }
    // The list is read without our lock: the logger fires raised events with
    // its own lock held, and those take ours.
    std::vector<SourceAlarm> alarms;
    HRESULT hr = source_->ActiveAlarms(alarms);
    std::lock_guard<std::mutex> lock(mutex_);
    reconciling_ = false;
    if (ZtAtlCom::Failed(hr)) {
        LogWarn(config_.name, "cannot read the active alarms: " + ZtTool::DescribeResult(hr) + "; tried again later");
        return false;
    }
    std::map<std::string, const std::string*> wanted;
    for (const SourceAlarm& a : alarms) wanted[AlarmTopic(a.key)] = &a.json;
    QueueCommit commit;
    size_t cleared = 0, published = 0;
    for (const auto& [topic, entry] : record_) {
        // A topic the live path wrote meanwhile holds a newer state than our list.
        if (wanted.count(topic) || touched_.count(topic)) continue;
        commit.items.push_back(QueueItem{0, {}, ItemKind::Retained, topic, {}, true});
        commit.record.emplace_back(topic, std::nullopt);
        ++cleared;
    }
    for (const auto& [topic, json] : wanted) {
        if (touched_.count(topic)) continue;
        auto known = record_.find(topic);
        if (!everything && known != record_.end() && !known->second.unknown && known->second.payload == *json) continue;
        commit.items.push_back(QueueItem{0, {}, ItemKind::Retained, topic, *json, true});
        commit.record.emplace_back(topic, *json);
        ++published;
    }
    touched_.clear();
    if (commit.items.empty()) return true;
    LogInfo(config_.name, "reconciled: " + std::to_string(alarms.size()) + " active, " + std::to_string(published) +
                              " published, " + std::to_string(cleared) + " cleared");
    CommitLocked(commit);
    return true;
}

void TargetBridge::QueueStatus(bool online, const std::string& reason) {
    uint64_t now = ZtTool::FileTimeNow();
    rapidjson::StringBuffer b;
    rapidjson::Writer<rapidjson::StringBuffer> w(b);
    w.StartObject();
    w.Key("target");
    w.String(config_.name.c_str());
    w.Key("address");
    w.String(config_.target.c_str());
    w.Key("state");
    w.String(online ? "online" : "offline");
    w.Key("since");
    w.String(ZtTool::FileTimeToIsoUtc(now, 3).c_str());
    w.Key("sinceFileTime");
    w.Uint64(now);
    if (!reason.empty()) {
        w.Key("reason");
        w.String(reason.c_str());
    }
    w.EndObject();
    std::lock_guard<std::mutex> lock(mutex_);
    online_ = online;
    statusPayload_.assign(b.GetString(), b.GetSize());
    ctx_.counters.online.store(online);
    QueueCommit commit;
    commit.items.push_back(
        QueueItem{0, {}, ItemKind::Status, ctx_.topics.TargetStatus(config_.name), statusPayload_, true});
    CommitLocked(commit);
}

void TargetBridge::CheckLink() {
    bool connected = source_->IsConnected();
    if (connected) {
        if (reconcileFailed_) reconcileFailed_ = !Reconcile(false);
        return;
    }
    if (Online()) {
        LogWarn(config_.name, "controller link lost");
        QueueStatus(false, "link lost");
    }
    auto now = std::chrono::steady_clock::now();
    if (now < nextAttempt_) return;
    HRESULT hr = source_->Connect();
    if (ZtAtlCom::Failed(hr)) {
        if (hr != lastConnectError_ || !everOnline_) {
            LogWarn(config_.name, "cannot connect to " + config_.target + ": " + ZtTool::DescribeResult(hr) + "; retrying");
        }
        if (!everOnline_ && lastConnectError_ == 0) QueueStatus(false, ZtTool::DescribeResult(hr));
        lastConnectError_ = hr;
        nextAttempt_ = now + backoff_;
        backoff_ = std::min(backoff_ * 2, std::chrono::duration_cast<std::chrono::milliseconds>(kMaxBackoff));
        return;
    }
    if (everOnline_) ctx_.counters.reconnects.fetch_add(1);
    LogInfo(config_.name, "connected to " + config_.target);
    everOnline_ = true;
    lastConnectError_ = 0;
    backoff_ = std::chrono::milliseconds(250);
    QueueStatus(true, {});
    reconcileFailed_ = !Reconcile(false);
}

void TargetBridge::Run() {
    while (true) {
        bool all = false;
        std::deque<Command> commands;
        {
            std::unique_lock<std::mutex> lock(workMutex_);
            if (stop_) return;
            all = std::exchange(reconcileAll_, false);
            commands.swap(commands_);
        }
        if (all) {
            // The broker may have lost its retained messages: the status now,
            // every active alarm once the link is up.
            pendingAll_ = true;
            std::lock_guard<std::mutex> lock(mutex_);
            if (!statusPayload_.empty()) {
                QueueCommit commit;
                commit.items.push_back(
                    QueueItem{0, {}, ItemKind::Status, ctx_.topics.TargetStatus(config_.name), statusPayload_, true});
                CommitLocked(commit);
            }
        }
        CheckLink();
        if (pendingAll_ && source_->IsConnected()) pendingAll_ = !Reconcile(true);
        for (const Command& c : commands) {
            std::string result = ExecuteCommand(*source_, c);
            ctx_.counters.commands.fetch_add(1);
            LogInfo(config_.name, "command " + c.verb + (c.hasId ? " (" + c.id + ")" : std::string()) + " done");
            std::lock_guard<std::mutex> lock(mutex_);
            QueueCommit commit;
            commit.items.push_back(
                QueueItem{0, {}, ItemKind::Result, ctx_.topics.CommandResult(config_.name), std::move(result), false});
            CommitLocked(commit);
        }
        std::unique_lock<std::mutex> lock(workMutex_);
        work_.wait_for(lock, kLinkCheck, [&] { return stop_ || reconcileAll_ || !commands_.empty(); });
    }
}

}  // namespace ZtGateway
