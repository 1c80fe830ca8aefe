// Gateway.h - the whole gateway in one object: the durable queue, one
// TargetBridge per configured target, the MQTT client, the commands and the
// stats. zt-gateway's main makes one; tests make several in one process.
//
// Threads: Start and Stop from one thread (not from a callback). Everything
// else runs on the threads of the parts (see MqttClient.h, TargetBridge.h)
// and the stats thread.
#ifndef ZT_GATEWAY_GATEWAY_H
#define ZT_GATEWAY_GATEWAY_H

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DurableQueue.h"
#include "GatewayConfig.h"
#include "GatewayStats.h"
#include "MqttClient.h"
#include "TargetBridge.h"
#include "TopicMap.h"

namespace ZtGateway {

class Gateway : private MqttClient::Handler {
public:
    Gateway(GatewayConfig config, TargetBridge::SourceFactory factory);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    // Opens the queue and starts every part; false with a message when the
    // queue cannot be opened.
    bool Start(std::string& error);
    // Stops the targets, queues their "offline" status, waits up to `drain`
    // for the broker to take what is queued, publishes the gateway's
    // "offline" status and the last stats, and disconnects.
    void Stop(std::chrono::milliseconds drain = std::chrono::milliseconds(2000));

    std::string StatsJson();
    const TopicMap& Topics() const { return topics_; }
    bool BrokerConnected() const { return mqtt_ && mqtt_->Connected(); }

private:
    void OnBrokerConnected() override;
    void OnBrokerDisconnected(const std::string& why) override;
    void OnBrokerMessage(const std::string& topic, const std::string& payload, bool retained) override;
    void OnDelivered(const std::string& target, ItemKind kind) override;

    void OnDrops(const QueueDrops& drops);
    void QueueResult(const std::string& target, const std::string& payload);
    std::string StatusJson(bool online, const std::string& reason) const;
    void StatsLoop();

    const GatewayConfig config_;
    const TargetBridge::SourceFactory factory_;
    const TopicMap topics_;
    GatewayStats stats_;
    std::unique_ptr<DurableQueue> queue_;
    std::unique_ptr<MqttClient> mqtt_;
    std::vector<std::unique_ptr<TargetBridge>> bridges_;

    std::mutex mutex_;  // guards stopping_, the drop log pace
    std::condition_variable cv_;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point lastDropLog_{};
    uint64_t dropsSinceLog_ = 0;
    std::thread statsThread_;
};

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_GATEWAY_H
