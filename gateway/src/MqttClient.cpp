#include "MqttClient.h"

#include <fcntl.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>

#include "GatewayLog.h"

namespace ZtGateway {

namespace {
std::once_flag g_libInit;
// Commands are small; anything larger is not even delivered to us.
constexpr uint32_t kMaxIncomingPacket = 256 * 1024;

// Publish results that are about the message, not the connection.
bool RefusedMessage(int rc) {
    return rc == MOSQ_ERR_OVERSIZE_PACKET || rc == MOSQ_ERR_PAYLOAD_SIZE || rc == MOSQ_ERR_MALFORMED_UTF8 ||
           rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_QOS_NOT_SUPPORTED;
}

std::string MosqError(int rc) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
    return mosquitto_strerror(rc);
}
}  // namespace

MqttClient::MqttClient(MqttOptions options, DurableQueue& queue, Handler& handler)
    : options_(std::move(options)), queue_(queue), handler_(handler), backoff_(options_.minBackoff) {
    std::call_once(g_libInit, [] { mosquitto_lib_init(); });
    int fds[2];
    if (::pipe(fds) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
        for (int fd : fds) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
}

MqttClient::~MqttClient() {
    Stop(std::chrono::milliseconds(0));
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void MqttClient::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void MqttClient::Wake() {
    // One byte in the pipe is enough until the thread has read it.
    if (wakePending_.exchange(true)) return;
    char c = 1;
    // A full pipe already wakes the thread: the failed write is harmless.
    [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &c, 1);
}

void MqttClient::PublishNow(std::string topic, std::string payload, int qos, bool retain) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (direct_.size() >= 1000) direct_.pop_front();  // a stuck broker must not grow this
        direct_.push_back(Direct{std::move(topic), std::move(payload), qos, retain});
    }
    Wake();
}

void MqttClient::Stop(std::chrono::milliseconds drain, const std::string& lastTopic, const std::string& lastPayload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stop_) {
            stop_ = true;
            drainUntil_ = std::chrono::steady_clock::now() + drain;
            lastTopic_ = lastTopic;
            lastPayload_ = lastPayload;
        }
    }
    Wake();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void MqttClient::WaitWake(std::chrono::milliseconds timeout) {
    pollfd p{wakeRead_, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(timeout.count()));
    char buf[256];
    while (::read(wakeRead_, buf, sizeof(buf)) > 0) {
    }
    // After the pipe is empty: a Wake from now on writes again, and one that
    // came just before finds its rows in the next round anyway.
    wakePending_.store(false);
}

bool MqttClient::Drained() {
    std::lock_guard<std::mutex> lock(mutex_);
    return direct_.empty() && inFlight_.empty() && queue_.Count() == 0;
}

bool MqttClient::Open(std::string& why) {
    mosq_ = mosquitto_new(options_.clientId.c_str(), true, this);
    if (!mosq_) {
        why = "cannot create the MQTT client";
        return false;
    }
    // MQTT 5: subscriptions with "retain as published", so a retained command
    // is told apart from a live one, and a maximum packet size the broker
    // must respect towards us.
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_max_inflight_messages_set(mosq_, static_cast<unsigned>(options_.window));
    mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnectCb);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnectCb);
    mosquitto_publish_v5_callback_set(mosq_, &MqttClient::OnPublishCb);
    mosquitto_message_callback_set(mosq_, &MqttClient::OnMessageCb);
    int rc = MOSQ_ERR_SUCCESS;
    if (!options_.willTopic.empty()) {
        rc = mosquitto_will_set(mosq_, options_.willTopic.c_str(), static_cast<int>(options_.willPayload.size()),
                                options_.willPayload.data(), 1, true);
    }
    if (rc == MOSQ_ERR_SUCCESS && !options_.user.empty()) {
        rc = mosquitto_username_pw_set(mosq_, options_.user.c_str(),
                                       options_.password.empty() ? nullptr : options_.password.c_str());
    }
    if (rc == MOSQ_ERR_SUCCESS && !options_.caFile.empty()) {
        rc = mosquitto_tls_set(mosq_, options_.caFile.c_str(), nullptr,
                               options_.certFile.empty() ? nullptr : options_.certFile.c_str(),
                               options_.keyFile.empty() ? nullptr : options_.keyFile.c_str(), nullptr);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_opts_set(mosq_, 1, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        why = "MQTT client settings: " + MosqError(rc);
        return false;
    }
    // A blocking connect: this thread has nothing else to do meanwhile. The
    // broker's answer (CONNACK) arrives through the loop.
    mosquitto_property* props = nullptr;
    mosquitto_property_add_int32(&props, MQTT_PROP_MAXIMUM_PACKET_SIZE, kMaxIncomingPacket);
    rc = mosquitto_connect_bind_v5(mosq_, options_.host.c_str(), options_.port, options_.keepAliveSeconds, nullptr,
                                   props);
    mosquitto_property_free_all(&props);
    if (rc != MOSQ_ERR_SUCCESS) {
        why = "cannot connect to " + options_.host + ":" + std::to_string(options_.port) + ": " + MosqError(rc);
        return false;
    }
    return true;
}

void MqttClient::Close(const std::string& why) {
    bool wasConnected = accepted_;
    if (mosq_) mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    accepted_ = false;
    lost_ = false;
    {
        // Unacknowledged rows stay queued and go again, oldest first.
        std::lock_guard<std::mutex> lock(mutex_);
        inFlight_.clear();
    }
    lastSent_ = 0;
    connected_.store(false);
    nextAttempt_ = std::chrono::steady_clock::now() + backoff_;
    backoff_ = std::min(backoff_ * 2, options_.maxBackoff);
    if (wasConnected) handler_.OnBrokerDisconnected(why);
}

void MqttClient::PumpOut() {
    std::deque<Direct> direct;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        direct.swap(direct_);
    }
    for (Direct& d : direct) {
        int mid = 0;
        if (mosquitto_publish(mosq_, &mid, d.topic.c_str(), static_cast<int>(d.payload.size()), d.payload.data(),
                              d.qos, d.retain) == MOSQ_ERR_SUCCESS &&
            d.qos > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            inFlight_[mid] = InFlight{};
        }
    }
    while (true) {
        size_t room;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            room = inFlight_.size() < options_.window ? options_.window - inFlight_.size() : 0;
        }
        if (room == 0) return;
        std::vector<QueueItem> items = queue_.Peek(lastSent_, room);
        if (items.empty()) return;
        for (QueueItem& item : items) {
            int mid = 0;
            int rc = mosquitto_publish(mosq_, &mid, item.topic.c_str(), static_cast<int>(item.payload.size()),
                                       item.payload.data(), 1, item.retain);
            if (RefusedMessage(rc)) {
                // This row can never go: waiting for it would stop the queue.
                LogError("broker", "message to " + item.topic + " refused: " + MosqError(rc) + "; dropped");
                refused_.fetch_add(1);
                queue_.Remove({item.id});
                lastSent_ = item.id;
                continue;
            }
            if (rc != MOSQ_ERR_SUCCESS) {
                lost_ = true;
                lostWhy_ = "publish failed: " + MosqError(rc);
                return;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            inFlight_[mid] = InFlight{item.id, std::move(item.target), item.kind};
            lastSent_ = item.id;
        }
    }
}

void MqttClient::Settle() {
    std::vector<InFlight> acked;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        acked.swap(acked_);
    }
    if (acked.empty()) return;
    std::vector<int64_t> ids;
    ids.reserve(acked.size());
    for (const InFlight& a : acked) {
        if (a.rowId) ids.push_back(a.rowId);
    }
    queue_.Remove(ids);
    published_.fetch_add(ids.size());
    for (const InFlight& a : acked) {
        if (a.rowId) handler_.OnDelivered(a.target, a.kind);
    }
}

void MqttClient::Run() {
    while (true) {
        bool stopping;
        std::chrono::steady_clock::time_point drainUntil;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping = stop_;
            drainUntil = drainUntil_;
        }
        auto now = std::chrono::steady_clock::now();
        if (stopping && (!accepted_ || now >= drainUntil || Drained())) break;
        if (!mosq_) {
            if (stopping) break;
            if (now < nextAttempt_) {
                WaitWake(std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt_ - now) +
                         std::chrono::milliseconds(1));
                continue;
            }
            std::string why;
            if (!Open(why)) {
                LogWarn("broker", why);
                Close(why);
            }
            continue;
        }
        if (accepted_) PumpOut();
        pollfd p[2] = {{mosquitto_socket(mosq_), POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (mosquitto_want_write(mosq_)) p[0].events |= POLLOUT;
        ::poll(p, 2, 100);
        if (p[1].revents) {
            char buf[256];
            while (::read(wakeRead_, buf, sizeof(buf)) > 0) {
            }
            wakePending_.store(false);
        }
        int rc = MOSQ_ERR_SUCCESS;
        if (p[0].revents & (POLLIN | POLLERR | POLLHUP)) rc = mosquitto_loop_read(mosq_, 1);
        if (rc == MOSQ_ERR_SUCCESS && mosquitto_want_write(mosq_)) rc = mosquitto_loop_write(mosq_, 1);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop_misc(mosq_);
        Settle();
        if (rc != MOSQ_ERR_SUCCESS && !lost_) {
            lost_ = true;
            lostWhy_ = rc == MOSQ_ERR_CONN_LOST ? "connection lost" : MosqError(rc);
        }
        if (lost_) {
            std::string why = lostWhy_;
            if (accepted_) LogWarn("broker", "disconnected: " + why);
            Close(why);
        }
    }
    if (mosq_) {
        if (accepted_) {
            if (!lastTopic_.empty()) {
                mosquitto_publish(mosq_, nullptr, lastTopic_.c_str(), static_cast<int>(lastPayload_.size()),
                                  lastPayload_.data(), 1, true);
            }
            mosquitto_disconnect(mosq_);
            // Let the last packets leave: a few rounds, bounded.
            for (int i = 0; i < 20 && mosquitto_want_write(mosq_); ++i) {
                if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS) break;
            }
        }
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }
    connected_.store(false);
}

void MqttClient::OnConnectCb(mosquitto*, void* obj, int rc) {
    auto* self = static_cast<MqttClient*>(obj);
    if (rc != 0) {
        self->lost_ = true;
        self->lostWhy_ = std::string("broker refused the connection: ") + mosquitto_connack_string(rc);
        LogError("broker", self->lostWhy_);
        return;
    }
    self->accepted_ = true;
    self->backoff_ = self->options_.minBackoff;
    for (const auto& sub : self->options_.subscriptions) {
        int options = MQTT_SUB_OPT_NO_LOCAL | MQTT_SUB_OPT_RETAIN_AS_PUBLISHED |
                      (sub.retainedToo ? MQTT_SUB_OPT_SEND_RETAIN_ALWAYS : MQTT_SUB_OPT_SEND_RETAIN_NEVER);
        mosquitto_subscribe_v5(self->mosq_, nullptr, sub.filter.c_str(), 1, options, nullptr);
    }
    self->connects_.fetch_add(1);
    self->connected_.store(true);
    LogInfo("broker", "connected to " + self->options_.host + ":" + std::to_string(self->options_.port));
    self->handler_.OnBrokerConnected();
}

void MqttClient::OnDisconnectCb(mosquitto*, void* obj, int rc) {
    auto* self = static_cast<MqttClient*>(obj);
    if (!self->lost_) {
        self->lost_ = true;
        self->lostWhy_ = rc == 0 ? "disconnected" : "connection lost";
    }
}

void MqttClient::OnPublishCb(mosquitto*, void* obj, int mid, int reason, const mosquitto_property*) {
    auto* self = static_cast<MqttClient*>(obj);
    std::lock_guard<std::mutex> lock(self->mutex_);
    auto it = self->inFlight_.find(mid);
    if (it == self->inFlight_.end()) return;
    if (reason >= 0x80) {
        // The broker took the message and will not pass it on (not
        // authorised, too large): sending it again would give the same.
        LogError("broker", "broker refused a message (reason " + std::to_string(reason) + "); dropped");
        self->refused_.fetch_add(1);
    }
    self->acked_.push_back(std::move(it->second));
    self->inFlight_.erase(it);
}

void MqttClient::OnMessageCb(mosquitto*, void* obj, const mosquitto_message* m) {
    auto* self = static_cast<MqttClient*>(obj);
    if (!m || !m->topic) return;
    std::string payload;
    if (m->payload && m->payloadlen > 0) payload.assign(static_cast<const char*>(m->payload), m->payloadlen);
    self->handler_.OnBrokerMessage(m->topic, payload, m->retain);
}

}  // namespace ZtGateway
