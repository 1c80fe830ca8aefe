// GatewayFixture.h - the in-process simulator with two routes, a real
// mosquitto broker, and gateway configurations for them; helpers that read
// the gateway's payloads back.
#ifndef ZT_TEST_GATEWAY_FIXTURE_H
#define ZT_TEST_GATEWAY_FIXTURE_H

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Gateway.h"
#include "LoggerSource.h"
#include "MosquittoBroker.h"
#include "SimFixture.h"
#include "TopicMap.h"
#include "ZtSim/EventLoggerService.h"

namespace ZtTest {

inline const ZtSim::EventGuid kGwClass{0x5C2E8A10, 0x7B3D, 0x4A61, {0x9E, 0x05, 0x3F, 0x71, 0x2D, 0x8B, 0x4C, 0x16}};
inline const std::string kGwClassText = "5C2E8A10-7B3D-4A61-9E05-3F712D8B4C16";

inline ZtSim::EventDescription GwEvent(uint32_t id, bool needsConfirmation = false) {
    ZtSim::EventDescription d;
    d.eventClass = kGwClass;
    d.eventId = id;
    d.severity = static_cast<uint16_t>(id % 5);
    d.needsConfirmation = needsConfirmation;
    d.source.id = id;
    d.source.name = "Cell" + std::to_string(id);
    d.jsonAttribute = "{\"cell\":" + std::to_string(id) + "}";
    d.arguments = {ZtSim::EventArgument::UInt32(id)};
    return d;
}

// One event of <prefix>/<target>/events, read back.
struct SeenEvent {
    uint64_t seq = 0;
    std::string transition;
    bool removed = false;
    uint32_t id = 0;
};

inline std::vector<SeenEvent> EventsOf(const MqttProbe& probe, const std::string& topic) {
    std::vector<SeenEvent> out;
    for (const auto& m : probe.On(topic)) {
        rapidjson::Document d;
        d.Parse(m.payload.c_str());
        if (!d.IsObject() || !d.HasMember("seq")) continue;
        SeenEvent e{d["seq"].GetUint64(), d["transition"].GetString(),
                    d.HasMember("removed") && d["removed"].GetBool(), d["event"]["id"].GetUint()};
        out.push_back(e);
    }
    return out;
}

// "raised 11", "cleared! 12" (! = removed), "message 20".
inline std::vector<std::string> Transitions(const std::vector<SeenEvent>& events) {
    std::vector<std::string> out;
    for (const auto& e : events) out.push_back(e.transition + (e.removed ? "! " : " ") + std::to_string(e.id));
    return out;
}

inline std::string AlarmTopic(const std::string& target, uint32_t id, uint32_t qualifier = 0) {
    return "zt/" + target + "/alarms/" + kGwClassText + "/" + std::to_string(id) + "/" + std::to_string(qualifier);
}

inline std::set<std::string> Topics(const std::map<std::string, std::string>& state) {
    std::set<std::string> t;
    for (const auto& [k, v] : state) t.insert(k);
    return t;
}

inline std::string JsonField(const std::string& payload, const char* name) {
    rapidjson::Document d;
    d.Parse(payload.c_str());
    if (!d.IsObject() || !d.HasMember(name)) return {};
    const auto& v = d[name];
    if (v.IsString()) return v.GetString();
    if (v.IsBool()) return v.GetBool() ? "true" : "false";
    if (v.IsUint64()) return std::to_string(v.GetUint64());
    return "?";
}

class GatewayFixture : public SimFixture {
protected:
    ZtSim::EventLoggerService& Service(const std::string& route) {
        return *sim->FindTargetByName(route)->ServiceAs<ZtSim::EventLoggerService>(132);
    }
    // press -> route "Press", line2 -> route "Line2-PLC".
    ZtGateway::GatewayConfig Config(const MosquittoBroker& broker, std::vector<std::string> commands = {}) {
        ZtGateway::GatewayConfig c;
        c.id = "gw1";
        c.topicPrefix = "zt";
        c.targets = {{"press", "Press", sim->Address(), {1033}}, {"line2", "Line2-PLC", sim->Address(), {}}};
        c.broker.port = static_cast<uint16_t>(broker.Port());
        c.broker.clientId = "zt-gateway-test";
        c.commands = std::move(commands);
        c.queue.path = ":memory:";
        c.statsIntervalSeconds = 1;
        return c;
    }
    std::unique_ptr<ZtGateway::Gateway> StartGateway(const ZtGateway::GatewayConfig& config) {
        auto g = std::make_unique<ZtGateway::Gateway>(config, ZtGateway::MakeLoggerSource);
        std::string error;
        EXPECT_TRUE(g->Start(error)) << error;
        return g;
    }
    // Waits until the retained status of every target says `state`.
    static bool WaitStatus(const MqttProbe& probe, const std::vector<std::string>& targets, const std::string& state,
                           size_t atLeast = 1) {
        return probe.WaitFor([&](const std::vector<MqttMessage>&) {
            for (const auto& t : targets) {
                auto seen = probe.On("zt/" + t + "/status");
                size_t n = 0;
                for (auto& m : seen) n += JsonField(m.payload, "state") == state;
                if (seen.empty() || n < atLeast || JsonField(seen.back().payload, "state") != state) return false;
            }
            return true;
        });
    }
};

}  // namespace ZtTest

#endif  // ZT_TEST_GATEWAY_FIXTURE_H
