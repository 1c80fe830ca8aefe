// gateway_bench: the gateway end to end against a real mosquitto broker on
// loopback, beside a bare client that publishes the same payloads directly.
//
//  1. Throughput: message bursts from simulated targets through the event
//     logger objects, the gateway's durable queue and its MQTT client to a
//     subscriber, against one libmosquitto client publishing the payloads the
//     subscriber received (same topics, QoS 1, same window) to the same
//     broker and subscriber. Target ratio >= 0.7.
//  2. Latency: 50 targets at 100 messages per second each; from the
//     simulator's send to the subscriber, 50th and 99th percentile, against
//     the bare client publishing at the same rate.
//
// Run the release build: build/release/bench/gateway_bench [--quick]
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchUtil.h"
#include "Gateway.h"
#include "GatewayLog.h"
#include "LoggerSource.h"
#include "MosquittoBroker.h"
#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/StandardInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerSink.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
#include "ZtSim/EventLoggerService.h"
#include "ZtSim/Simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
using ZtSim::EventLoggerService;

int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

// Counts what arrives on <prefix>/+/events and reads the send time a message
// carries in its first argument (latency part) or in the "sent" member of a
// bare payload.
class Subscriber {
public:
    explicit Subscriber(int port) {
        mosq_ = mosquitto_new("bench-sub", true, this);
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        mosquitto_message_callback_set(mosq_, &Subscriber::OnMessage);
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_subscribe(mosq_, nullptr, "zt/+/events", 1);
        mosquitto_loop_start(mosq_);
    }
    ~Subscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);  // joins: a forced stop cancels the thread mid-lock
        mosquitto_destroy(mosq_);
    }
    size_t Count() const { return count_.load(); }
    bool WaitCount(size_t n, int seconds = 60) const {
        auto end = Clock::now() + std::chrono::seconds(seconds);
        while (count_.load() < n) {
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
    void Capture(bool on) { capture_ = on; }
    void Latency(bool on) { latency_ = on; }
    std::vector<std::pair<std::string, std::string>> TakeCaptured() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::move(captured_);
    }
    std::vector<double> TakeLatencies() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::move(latencies_);
    }

private:
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* m) {
        auto* s = static_cast<Subscriber*>(self);
        int64_t now = NowNs();
        if (s->capture_ || s->latency_) {
            std::string payload(static_cast<const char*>(m->payload), static_cast<size_t>(m->payloadlen));
            std::lock_guard<std::mutex> lock(s->mutex_);
            if (s->capture_) s->captured_.emplace_back(m->topic, payload);
            if (s->latency_) {
                rapidjson::Document d;
                d.Parse(payload.c_str());
                int64_t sent = 0;
                if (d.IsObject() && d.HasMember("sent")) {
                    sent = d["sent"].GetInt64();
                } else if (d.IsObject() && d.HasMember("event") && d["event"].HasMember("arguments")) {
                    sent = d["event"]["arguments"][0]["value"].GetInt64();
                }
                if (sent > 0) s->latencies_.push_back((now - sent) / 1e6);
            }
        }
        s->count_.fetch_add(1);
    }
    mosquitto* mosq_;
    std::atomic<size_t> count_{0};
    std::atomic<bool> capture_{false}, latency_{false};
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> captured_;
    std::vector<double> latencies_;
};

// The baseline: one client, QoS 1, the gateway's window, its own loop thread.
class BarePublisher {
public:
    explicit BarePublisher(int port) {
        mosq_ = mosquitto_new("bench-bare", true, nullptr);
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_max_inflight_messages_set(mosq_, 512);
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq_);
    }
    ~BarePublisher() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);  // joins: a forced stop cancels the thread mid-lock
        mosquitto_destroy(mosq_);
    }
    void Publish(const std::string& topic, const std::string& payload) {
        mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, false);
    }

private:
    mosquitto* mosq_;
};

ZtSim::EventDescription Message(uint32_t id) {
    ZtSim::EventDescription d;
    d.eventClass = ZtSim::EventGuid{0x6A1F0C22, 0x1B3D, 0x4C51, {0x9A, 0x07, 0x2E, 0x5B, 0x7A, 0x9D, 0x1F, 0x31}};
    d.eventId = id;
    d.severity = 1;
    d.source.id = 7;
    d.source.name = "Bench.Station";
    d.jsonAttribute = R"({"line":1})";
    return d;
}

struct Setup {
    std::unique_ptr<ZtSim::Simulator> sim;
    std::vector<std::shared_ptr<EventLoggerService>> services;
    std::unique_ptr<ZtGateway::Gateway> gateway;
};

Setup StartAll(int targets, int brokerPort, const std::string& queuePath, std::vector<int32_t> languages = {}) {
    Setup s;
    ZtSim::SimOptions o;
    for (int i = 0; i < targets; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "T%02d", i);
        o.routes.push_back({name, "10.0.0." + std::to_string(i + 1),
                            MrxNetId{{5, 12, 34, static_cast<uint8_t>(100 + i), 1, 1}}});
    }
    s.sim = std::make_unique<ZtSim::Simulator>(o);
    ::setenv("ZT_MRX_ROUTER", s.sim->Address().c_str(), 1);
    ZtGateway::GatewayConfig c;
    c.id = "bench";
    c.topicPrefix = "zt";
    for (const auto& r : o.routes) {
        // Texts cost requests to the controller per event: measured apart.
        c.targets.push_back({r.name, r.name, s.sim->Address(), languages});
        s.services.push_back(s.sim->FindTargetByName(r.name)->ServiceAs<EventLoggerService>(132));
    }
    c.broker.port = static_cast<uint16_t>(brokerPort);
    c.broker.clientId = "bench-gateway";
    c.queue.path = queuePath;
    c.queue.maxCount = 1000000;
    c.queue.maxBytes = uint64_t{1} << 32;
    s.gateway = std::make_unique<ZtGateway::Gateway>(c, ZtGateway::MakeLoggerSource);
    std::string error;
    if (!s.gateway->Start(error)) {
        std::fprintf(stderr, "gateway: %s\n", error.c_str());
        std::exit(1);
    }
    // Every target online and subscribed.
    auto end = Clock::now() + std::chrono::seconds(30);
    while (s.sim->SubscriptionCount() < static_cast<size_t>(targets) || !s.gateway->BrokerConnected()) {
        if (Clock::now() > end) std::exit(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return s;
}

// The input side alone: event logger objects on the same targets with a sink
// that only counts, for the ceiling the controllers and the logger set.
class CountingSink : public ZtEventLoggerVdlProxy::ZtEventLoggerSink {
public:
    std::atomic<size_t> count{0};
    ZtAtlCom::HRESULT MessageSent(ZtEventLoggerVdlProxy::IZtMessage*) override {
        count.fetch_add(1);
        return ZtAtlCom::S_OK;
    }
};

double LoggerAlone(const Setup& s, size_t perTarget, int rounds) {
    using namespace ZtEventLoggerVdlProxy;
    std::vector<ZtAtlCom::CComPtr<IZtEventLogger3>> loggers;
    std::vector<ZtAtlCom::CComPtr<ZtAtlCom::IConnectionPoint>> points;
    auto* sink = new CountingSink;
    for (size_t i = 0; i < s.services.size(); ++i) {
        ZtAtlCom::CComPtr<IZtEventLogger3> logger;
        ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                 reinterpret_cast<void**>(logger.ReleaseAndGetAddressOf()));
        ZtAtlCom::CComPtr<ZtAtlCom::IConnectionPointContainer> c;
        logger->QueryInterface(ZtAtlCom::iid_of<ZtAtlCom::IConnectionPointContainer>(),
                               reinterpret_cast<void**>(c.ReleaseAndGetAddressOf()));
        ZtAtlCom::CComPtr<ZtAtlCom::IConnectionPoint> point;
        c->FindConnectionPoint(IID__IZtEventLoggerEvents, point.ReleaseAndGetAddressOf());
        ZtAtlCom::DWORD cookie = 0;
        point->Advise(sink, &cookie);
        char name[32];
        std::snprintf(name, sizeof(name), "T%02zu", i);
        BSTR target = ZtAtlCom::SysAllocString(name);
        logger->Connect(target);
        ZtAtlCom::SysFreeString(target);
        loggers.push_back(logger);
        points.push_back(point);
    }
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        size_t before = sink->count.load();
        auto t0 = Clock::now();
        std::vector<std::thread> storms;
        for (auto& svc : s.services) storms.emplace_back([&, svc] { svc->PublishStorm(perTarget, Message(1)); });
        for (auto& t : storms) t.join();
        // The gateway's own loggers take the same frames meanwhile: both are counted.
        while (sink->count.load() < before + perTarget * s.services.size()) std::this_thread::yield();
        times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    for (auto& l : loggers) l->Disconnect();
    loggers.clear();
    points.clear();
    sink->Release();
    return ZtBench::Median(times);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void Throughput(const ZtTest::MosquittoBroker& broker, const std::string& dir, int rounds) {
    constexpr int kTargets = 4;
    constexpr size_t kPerTarget = 2000;  // within the logger's queue of 2048 frames
    const size_t n = kTargets * kPerTarget;
    Setup s = StartAll(kTargets, broker.Port(), dir + "/throughput.sqlite");
    Subscriber sub(broker.Port());
    BarePublisher bare(broker.Port());
    std::vector<std::pair<std::string, std::string>> payloads;
    std::vector<double> ours, base, intake;
    for (int r = 0; r < rounds + 1; ++r) {  // round 0 warms up and captures the payloads
        size_t before = sub.Count();
        sub.Capture(r == 0);
        auto t0 = Clock::now();
        std::vector<std::thread> storms;
        for (auto& svc : s.services) storms.emplace_back([&, svc] { svc->PublishStorm(kPerTarget, Message(1)); });
        for (auto& t : storms) t.join();
        // The input side: when the gateway had taken every event in.
        std::string want = "\"eventsIn\":" + std::to_string(kPerTarget * static_cast<size_t>(r + 1));
        while (true) {
            std::string stats = s.gateway->StatsJson();
            size_t found = 0;
            for (size_t p = stats.find(want); p != std::string::npos; p = stats.find(want, p + 1)) ++found;
            if (found == kTargets) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        double in = std::chrono::duration<double>(Clock::now() - t0).count();
        if (!sub.WaitCount(before + n)) {
            std::fprintf(stderr, "gateway round %d: %zu of %zu arrived\n", r, sub.Count() - before, n);
            std::exit(1);
        }
        double t = std::chrono::duration<double>(Clock::now() - t0).count();
        if (r == 0) {
            payloads = sub.TakeCaptured();
        } else {
            ours.push_back(t);
            intake.push_back(in);
        }
        if (r == 0) continue;
        before = sub.Count();
        t0 = Clock::now();
        for (const auto& [topic, payload] : payloads) bare.Publish(topic, payload);
        if (!sub.WaitCount(before + payloads.size())) std::exit(1);
        base.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    double o = ZtBench::Median(ours), b = ZtBench::Median(base), in = ZtBench::Median(intake);
    std::printf("throughput, %d targets x %zu messages (%zu payload bytes average)\n", kTargets, kPerTarget,
                payloads.empty() ? 0 : [&] {
                    size_t sum = 0;
                    for (auto& p : payloads) sum += p.second.size();
                    return sum / payloads.size();
                }());
    std::printf("  gateway   %10.0f events/s to the subscriber (taken in from the controllers at %.0f/s)\n", n / o,
                n / in);
    std::printf("  bare      %10.0f messages/s, one client publishing the same payloads\n", n / b);
    std::printf("  ratio     %10.3f  (target >= 0.70: %s)\n", b / o, b / o >= 0.7 ? "met" : "NOT met");
    std::printf("  limited by: %s\n", in > 0.8 * o ? "the input side (controller -> logger -> gateway queue)"
                                                   : "the output side (queue -> broker -> subscriber)");
    s.gateway->Stop();
    // The same storms into loggers whose sink only counts (the gateway stopped).
    double alone = LoggerAlone(s, kPerTarget, rounds);
    std::printf("  input alone %8.0f events/s: simulator -> event logger objects -> a sink that counts\n", n / alone);
}

// With the texts of one language in every event: two requests to the
// controller per event (text and class name) on the logger's worker thread.
void ThroughputWithTexts(const ZtTest::MosquittoBroker& broker, const std::string& dir) {
    constexpr int kTargets = 4;
    constexpr size_t kPerTarget = 1000;
    Setup s = StartAll(kTargets, broker.Port(), dir + "/texts.sqlite", {1033});
    Subscriber sub(broker.Port());
    size_t before = sub.Count();
    auto t0 = Clock::now();
    std::vector<std::thread> storms;
    for (auto& svc : s.services) storms.emplace_back([&, svc] { svc->PublishStorm(kPerTarget, Message(1)); });
    for (auto& t : storms) t.join();
    if (!sub.WaitCount(before + kTargets * kPerTarget)) std::exit(1);
    double t = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("throughput with texts in one language, %d targets x %zu messages\n", kTargets, kPerTarget);
    std::printf("  gateway   %10.0f events/s (each event costs two text requests to its controller)\n",
                kTargets * kPerTarget / t);
    s.gateway->Stop();
}

void Latency(const ZtTest::MosquittoBroker& broker, const std::string& dir, int seconds) {
    constexpr int kTargets = 50;
    constexpr int kRate = 100;  // per target and second
    Setup s = StartAll(kTargets, broker.Port(), dir + "/latency.sqlite");
    Subscriber sub(broker.Port());
    BarePublisher bare(broker.Port());
    auto run = [&](const std::function<void(int, int64_t)>& send) {
        sub.TakeLatencies();
        sub.Latency(true);
        const int ticks = seconds * kRate;
        size_t before = sub.Count();
        auto start = Clock::now();
        for (int tick = 0; tick < ticks; ++tick) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(1000000 / kRate) * tick);
            for (int t = 0; t < kTargets; ++t) send(t, NowNs());
        }
        sub.WaitCount(before + static_cast<size_t>(ticks) * kTargets);
        sub.Latency(false);
        return sub.TakeLatencies();
    };
    auto ours = run([&](int t, int64_t now) {
        ZtSim::EventDescription m = Message(2);
        m.arguments = {ZtSim::EventArgument::Int64(now)};
        s.services[static_cast<size_t>(t)]->SendMessage(m);
    });
    auto base = run([&](int t, int64_t now) {
        char topic[32];
        std::snprintf(topic, sizeof(topic), "zt/T%02d/events", t);
        bare.Publish(topic, "{\"sent\":" + std::to_string(now) + "}");
    });
    double o50 = Percentile(ours, 0.5), o99 = Percentile(ours, 0.99);
    double b50 = Percentile(base, 0.5), b99 = Percentile(base, 0.99);
    std::printf("latency, %d targets x %d messages/s for %d s (send -> subscriber)\n", kTargets, kRate, seconds);
    std::printf("  gateway   p50 %7.2f ms  p99 %7.2f ms  (%zu messages)\n", o50, o99, ours.size());
    std::printf("  bare      p50 %7.2f ms  p99 %7.2f ms  (%zu messages)\n", b50, b99, base.size());
    std::printf("  ratio     p50 %7.2f     p99 %7.2f\n", o50 / b50, o99 / b99);
    s.gateway->Stop();
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    ZtGateway::SetLogLevel(ZtGateway::LogLevel::Warn);
    ZtTest::MosquittoBroker broker;
    if (!broker.Start()) {
        std::fprintf(stderr, "cannot start mosquitto\n");
        return 1;
    }
    Throughput(broker, broker.Dir(), quick ? 3 : 5);
    ThroughputWithTexts(broker, broker.Dir());
    Latency(broker, broker.Dir(), quick ? 2 : 5);
    return 0;
}
