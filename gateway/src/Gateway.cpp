#include "Gateway.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "CommandHandler.h"
#include "GatewayLog.h"
#include "ZtTool/TimeText.h"

namespace ZtGateway {

namespace {
std::vector<std::string> Names(const GatewayConfig& c) {
    std::vector<std::string> names;
    for (const auto& t : c.targets) names.push_back(t.name);
    return names;
}
}  // namespace

Gateway::Gateway(GatewayConfig config, TargetBridge::SourceFactory factory)
    : config_(std::move(config)),
      factory_(std::move(factory)),
      topics_(config_.topicPrefix, config_.id),
      stats_(Names(config_)) {}

Gateway::~Gateway() { Stop(std::chrono::milliseconds(0)); }

std::string Gateway::StatusJson(bool online, const std::string& reason) const {
    uint64_t now = ZtTool::FileTimeNow();
    rapidjson::StringBuffer b;
    rapidjson::Writer<rapidjson::StringBuffer> w(b);
    w.StartObject();
    w.Key("gateway");
    w.String(config_.id.c_str());
    w.Key("state");
    w.String(online ? "online" : "offline");
    if (online) {
        w.Key("since");
        w.String(ZtTool::FileTimeToIsoUtc(now, 3).c_str());
        w.Key("sinceFileTime");
        w.Uint64(now);
        w.Key("targets");
        w.StartArray();
        for (const auto& t : config_.targets) w.String(t.name.c_str());
        w.EndArray();
    }
    if (!reason.empty()) {
        w.Key("reason");
        w.String(reason.c_str());
    }
    w.EndObject();
    return std::string(b.GetString(), b.GetSize());
}

bool Gateway::Start(std::string& error) {
    queue_ = DurableQueue::Open(config_.queue.path, {config_.queue.maxCount, config_.queue.maxBytes}, error);
    if (!queue_) return false;
    if (queue_->Count() > 0) {
        LogInfo("queue", std::to_string(queue_->Count()) + " messages from before wait for the broker");
    }
    MqttOptions o;
    o.host = config_.broker.host;
    o.port = config_.broker.port;
    o.clientId = config_.broker.clientId;
    o.keepAliveSeconds = config_.broker.keepAliveSeconds;
    o.caFile = config_.broker.caFile;
    o.certFile = config_.broker.certFile;
    o.keyFile = config_.broker.keyFile;
    o.user = config_.broker.user;
    o.password = config_.broker.password;
    o.willTopic = topics_.GatewayStatus();
    o.willPayload = StatusJson(false, "connection lost");
    // The retained alarm topics as the broker holds them come back at every
    // subscription: what the record does not know is cleared.
    o.subscriptions = {{topics_.CommandFilter(), false}, {topics_.AllAlarmsFilter(), true}};
    mqtt_ = std::make_unique<MqttClient>(o, *queue_, static_cast<MqttClient::Handler&>(*this));
    queue_->SetObserver({[this] { mqtt_->Wake(); }, [this](const QueueDrops& d) { OnDrops(d); }});
    for (const TargetConfig& t : config_.targets) {
        TargetBridge::Context ctx{*queue_, topics_, *stats_.Target(t.name)};
        bridges_.push_back(std::make_unique<TargetBridge>(t, factory_, ctx));
    }
    mqtt_->Start();
    for (auto& b : bridges_) b->Start();
    statsThread_ = std::thread([this] { StatsLoop(); });
    LogInfo("gateway", "started: " + std::to_string(bridges_.size()) + " targets, broker " + o.host + ":" +
                           std::to_string(o.port) + ", prefix " + topics_.Prefix());
    return true;
}

void Gateway::Stop(std::chrono::milliseconds drain) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    cv_.notify_all();
    if (statsThread_.joinable()) statsThread_.join();
    for (auto& b : bridges_) b->Stop(true);
    if (queue_) queue_->Flush();
    if (mqtt_) {
        std::string stats = StatsJson();
        mqtt_->PublishNow(topics_.GatewayStats(), stats, 1, false);
        mqtt_->Stop(drain, topics_.GatewayStatus(), StatusJson(false, "stopped"));
        LogInfo("gateway", "stopped; stats " + StatsJson());
    }
    if (queue_) {
        // No report of the writer may reach the client once it is gone.
        queue_->SetObserver({});
        queue_->Flush();
    }
    bridges_.clear();
    mqtt_.reset();
    queue_.reset();
}

std::string Gateway::StatsJson() {
    GatewayStats::Extra extra;
    if (mqtt_) {
        extra.brokerConnected = mqtt_->Connected();
        extra.refused = mqtt_->Refused();
    }
    if (queue_) {
        extra.queued = queue_->Count();
        extra.queuedBytes = queue_->Bytes();
        for (const auto& t : config_.targets) extra.queuedByTarget[t.name] = queue_->CountFor(t.name);
    }
    return stats_.Json(config_.id, extra);
}

void Gateway::StatsLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!cv_.wait_for(lock, std::chrono::seconds(config_.statsIntervalSeconds), [this] { return stopping_; })) {
        lock.unlock();
        mqtt_->PublishNow(topics_.GatewayStats(), StatsJson(), 0, false);
        lock.lock();
    }
}

void Gateway::OnBrokerConnected() {
    mqtt_->PublishNow(topics_.GatewayStatus(), StatusJson(true, {}), 1, true);
    if (mqtt_->Connects() > 1) stats_.brokerReconnects.fetch_add(1);
    for (auto& b : bridges_) b->RequestReconcile();
}

void Gateway::OnBrokerDisconnected(const std::string& why) {
    LogWarn("broker", "events wait in the queue until the broker is back (" + why + ")");
}

void Gateway::OnDelivered(const std::string& target, ItemKind kind) {
    if (kind != ItemKind::Event) return;
    if (TargetCounters* c = stats_.Target(target)) c->published.fetch_add(1);
}

void Gateway::OnDrops(const QueueDrops& drops) {
    uint64_t total = 0;
    for (const auto& [target, n] : drops.byTarget) {
        if (TargetCounters* c = stats_.Target(target)) c->dropped.fetch_add(n);
        total += n;
    }
    for (const auto& [target, topic] : drops.retained) {
        for (auto& b : bridges_) {
            if (b->Name() == target) b->MarkUnknown(topic);
        }
    }
    if (total == 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    dropsSinceLog_ += total;
    auto now = std::chrono::steady_clock::now();
    // Once every few seconds: a full queue drops on every event.
    if (now - lastDropLog_ >= std::chrono::seconds(5)) {
        LogWarn("queue", "full: dropped the " + std::to_string(dropsSinceLog_) + " oldest messages");
        dropsSinceLog_ = 0;
        lastDropLog_ = now;
    }
}

void Gateway::QueueResult(const std::string& target, const std::string& payload) {
    QueueCommit commit;
    commit.target = target;
    commit.items.push_back(QueueItem{0, target, ItemKind::Result, topics_.CommandResult(target), payload, false});
    queue_->Append(std::move(commit));
}

void Gateway::OnBrokerMessage(const std::string& topic, const std::string& payload, bool retained) {
    std::string target, verb;
    if (topics_.ParseAlarm(topic, target)) {
        if (!retained || payload.empty()) return;
        for (auto& b : bridges_) {
            if (b->Name() == target) b->ClearIfUnknown(topic);
        }
        return;
    }
    if (!topics_.ParseCommand(topic, target, verb)) return;
    auto it = std::find_if(bridges_.begin(), bridges_.end(), [&](const auto& b) { return b->Name() == target; });
    if (it == bridges_.end()) return;  // another gateway's target
    if (retained) {
        // A retained command would act again on every reconnect.
        LogWarn(target, "retained command on " + topic + " ignored");
        return;
    }
    Command command;
    std::string error;
    bool known = std::any_of(std::begin(kCommandVerbs), std::end(kCommandVerbs), [&](const char* v) { return verb == v; });
    bool parsed = ParseCommand(verb, payload, command, error);
    if (known && !config_.Allows(verb)) {
        LogWarn(target, "command " + verb + " refused: not allowed by the configuration");
        QueueResult(target, CommandError(command, kNotAllowed, "verb not allowed by the configuration"));
        return;
    }
    if (!parsed) {
        LogWarn(target, "malformed command on " + topic + ": " + error);
        QueueResult(target, CommandError(command, ZtAtlCom::E_INVALIDARG, error));
        return;
    }
    if (!(*it)->PostCommand(command)) {
        QueueResult(target, CommandError(command, ZtAtlCom::E_FAIL, "busy: too many commands wait for this target"));
    }
}

}  // namespace ZtGateway
