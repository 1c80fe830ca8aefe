// MqttClient.h - the gateway's one connection to the broker (libmosquitto),
// driven by a thread of its own.
//
// The thread takes rows of the durable queue in id order, publishes them with
// QoS 1 and removes each row only when its PUBACK came back. At most
// `window` messages are unacknowledged at once. When the connection is lost,
// the libmosquitto instance is thrown away and a new one connects after a
// back-off (0.2 s doubling to 5 s); everything not acknowledged is sent again
// from the oldest row, so the order holds and nothing is lost (a message may
// arrive twice: QoS 1 is at least once, and the sequence numbers tell).
//
// Threads: Start, Wake, PublishNow, Connected and the counters from any
// thread; Stop from one thread, not from a handler. The handler is called on
// the client's thread and must not block.
#ifndef ZT_GATEWAY_MQTT_CLIENT_H
#define ZT_GATEWAY_MQTT_CLIENT_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DurableQueue.h"

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;
typedef struct mqtt5__property mosquitto_property;

namespace ZtGateway {

struct MqttOptions {
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string clientId;
    int keepAliveSeconds = 30;
    std::string caFile, certFile, keyFile;  // TLS when caFile is set
    std::string user, password;
    std::string willTopic, willPayload;  // retained, QoS 1
    // QoS 1, made on every connect, never with our own messages, retained
    // ones marked as such; retainedToo also asks for the retained messages
    // the broker holds (else none are sent at subscription).
    struct Subscription {
        std::string filter;
        bool retainedToo = false;
    };
    std::vector<Subscription> subscriptions;
    size_t window = 512;
    std::chrono::milliseconds minBackoff{200};
    std::chrono::milliseconds maxBackoff{5000};
};

class MqttClient {
public:
    class Handler {
    public:
        // After the broker accepted the connection and the subscriptions were sent.
        virtual void OnBrokerConnected() = 0;
        virtual void OnBrokerDisconnected(const std::string& why) = 0;
        virtual void OnBrokerMessage(const std::string& topic, const std::string& payload, bool retained) = 0;
        // The broker acknowledged this queue row (it has been removed).
        virtual void OnDelivered(const std::string& target, ItemKind kind) = 0;

    protected:
        ~Handler() = default;
    };

    MqttClient(MqttOptions options, DurableQueue& queue, Handler& handler);
    ~MqttClient();  // Stop(0)
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    void Start();
    // New rows are in the queue.
    void Wake();
    // A message that is not stored: sent once when connected (QoS as given),
    // dropped when not. Stats and the gateway's own status go this way.
    void PublishNow(std::string topic, std::string payload, int qos, bool retain);
    // Ends the thread. With a drain time, waits that long at most for the
    // queue and the messages of PublishNow to be acknowledged first; then
    // publishes lastTopic/lastPayload (retained, when lastTopic is set),
    // disconnects cleanly and joins.
    void Stop(std::chrono::milliseconds drain, const std::string& lastTopic = {}, const std::string& lastPayload = {});

    bool Connected() const { return connected_.load(); }
    uint64_t Connects() const { return connects_.load(); }  // connections accepted by the broker
    uint64_t Published() const { return published_.load(); }  // queue rows acknowledged
    uint64_t Refused() const { return refused_.load(); }      // rows the broker would never take

private:
    struct InFlight {
        int64_t rowId = 0;  // 0: a message of PublishNow
        std::string target;
        ItemKind kind = ItemKind::Event;
    };
    struct Direct {
        std::string topic, payload;
        int qos = 0;
        bool retain = false;
    };

    void Run();
    bool Open(std::string& why);
    void Close(const std::string& why);
    void PumpOut();
    void Settle();
    void WaitWake(std::chrono::milliseconds timeout);
    bool Drained();

    static void OnConnectCb(mosquitto*, void* self, int rc);
    static void OnDisconnectCb(mosquitto*, void* self, int rc);
    static void OnPublishCb(mosquitto*, void* self, int mid, int reason, const mosquitto_property* props);
    static void OnMessageCb(mosquitto*, void* self, const mosquitto_message* message);

    const MqttOptions options_;
    DurableQueue& queue_;
    Handler& handler_;
    std::thread thread_;
    int wakeRead_ = -1, wakeWrite_ = -1;

    std::mutex mutex_;  // guards stop_, drainUntil_, direct_
    bool stop_ = false;
    std::chrono::steady_clock::time_point drainUntil_{};
    std::string lastTopic_, lastPayload_;
    std::deque<Direct> direct_;

    // Owned by the client's thread alone.
    mosquitto* mosq_ = nullptr;
    bool accepted_ = false;  // CONNACK with success
    bool lost_ = false;
    std::string lostWhy_;
    std::map<int, InFlight> inFlight_;
    std::vector<InFlight> acked_;
    int64_t lastSent_ = 0;
    std::chrono::milliseconds backoff_;
    std::chrono::steady_clock::time_point nextAttempt_{};

    std::atomic<bool> wakePending_{false};
    std::atomic<bool> connected_{false};
    std::atomic<uint64_t> connects_{0};
    std::atomic<uint64_t> published_{0};
    std::atomic<uint64_t> refused_{0};
};

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_MQTT_CLIENT_H
