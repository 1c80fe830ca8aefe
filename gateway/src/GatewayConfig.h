// GatewayConfig.h - the gateway's configuration file (JSON) and its checks.
//
//   {
//     "id": "hall1",                          // gateway id: <prefix>/gateway/<id>/...
//     "topicPrefix": "plant/zt",
//     "router": "127.0.0.1:48898",            // optional default of the targets' router
//     "targets": [
//       {"name": "press1", "target": "5.12.34.56.1.1", "router": "127.0.0.1:48898",
//        "languages": [1033, 1031]}
//     ],
//     "broker": {"host": "127.0.0.1", "port": 1883, "clientId": "zt-gateway-hall1",
//                "keepAliveSeconds": 30,
//                "tls": {"ca": "ca.pem", "cert": "gw.pem", "key": "gw.key"},
//                "user": "gateway", "passwordFile": "broker.password"},
//     "commands": ["confirm", "confirm-all", "clear", "send", "log"],
//     "queue": {"path": "queue.sqlite", "maxCount": 100000, "maxBytes": 67108864},
//     "statsIntervalSeconds": 5,
//     "logLevel": "info"
//   }
//
// Every fault is reported with its place, e.g.
// `targets[2].router: expected "host:port"`. Unknown members are faults too:
// a misspelt member would otherwise be ignored silently. Relative paths count
// from the folder of the configuration file.
#ifndef ZT_GATEWAY_CONFIG_H
#define ZT_GATEWAY_CONFIG_H

#include <cstdint>
#include <string>
#include <vector>

namespace ZtGateway {

// The command verbs a configuration may allow.
inline constexpr const char* kCommandVerbs[] = {"confirm", "confirm-all", "clear", "send", "log"};

struct TargetConfig {
    std::string name;    // topic segment
    std::string target;  // NetId text, local alias or route name, as the logger's Connect takes it
    std::string router;  // "host:port"
    std::vector<int32_t> languages;  // texts in these languages (default 1033)
};

struct BrokerConfig {
    std::string host = "127.0.0.1";
    uint16_t port = 1883;
    std::string clientId;  // default "zt-gateway-<id>"
    int keepAliveSeconds = 30;
    std::string caFile, certFile, keyFile;  // TLS when caFile is set
    std::string user;
    std::string password;      // read from passwordFile
    std::string passwordFile;  // as configured, resolved
};

struct QueueConfig {
    std::string path;               // default "zt-gateway-<id>.sqlite" beside the configuration
    uint64_t maxCount = 100000;     // rows
    uint64_t maxBytes = 64u << 20;  // topic + payload bytes
};

struct GatewayConfig {
    std::string id = "gateway";
    std::string topicPrefix = "zt";
    std::vector<TargetConfig> targets;
    BrokerConfig broker;
    std::vector<std::string> commands;  // allowed verbs; none by default
    QueueConfig queue;
    uint32_t statsIntervalSeconds = 5;
    std::string logLevel = "info";

    bool Allows(const std::string& verb) const;
};

// Parses configuration text; `baseDir` resolves relative paths. On failure
// returns false and `error` holds "place: what is wrong".
bool ParseGatewayConfig(const std::string& text, const std::string& baseDir, GatewayConfig& config,
                        std::string& error);
// Reads and parses a file (at most 1 MiB).
bool LoadGatewayConfig(const std::string& path, GatewayConfig& config, std::string& error);

// A topic segment the gateway accepts as a target name or gateway id:
// 1-64 characters of A-Z a-z 0-9 _ - . (no MQTT wildcard, no '/').
bool IsTopicSegment(const std::string& text);

// Reads a small text file whole (at most maxBytes); false with a message.
bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string& text, std::string& error);

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_CONFIG_H
