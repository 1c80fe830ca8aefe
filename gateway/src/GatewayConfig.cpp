#include "GatewayConfig.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "GatewayLog.h"

namespace ZtGateway {

namespace {

using Value = rapidjson::Value;

// Collects the first fault with its place; every check returns false once one is set.
class Checker {
public:
    explicit Checker(std::string& error) : error_(error) {}
    bool Fail(const std::string& place, const std::string& what) {
        if (error_.empty()) error_ = place + ": " + what;
        return false;
    }
    bool Failed() const { return !error_.empty(); }

    bool KnownMembers(const Value& object, const std::string& place, std::initializer_list<const char*> names) {
        for (auto it = object.MemberBegin(); it != object.MemberEnd(); ++it) {
            std::string key(it->name.GetString(), it->name.GetStringLength());
            bool known = std::any_of(names.begin(), names.end(), [&](const char* n) { return key == n; });
            if (!known) return Fail(Join(place, key), "unknown member");
        }
        return true;
    }
    bool Text(const Value& object, const std::string& place, const char* name, std::string& out, size_t maxLen = 4096,
              bool required = false) {
        auto it = object.FindMember(name);
        if (it == object.MemberEnd()) return required ? Fail(Join(place, name), "missing") : true;
        if (!it->value.IsString()) return Fail(Join(place, name), "expected a text");
        if (it->value.GetStringLength() > maxLen) {
            return Fail(Join(place, name), "longer than " + std::to_string(maxLen) + " bytes");
        }
        out.assign(it->value.GetString(), it->value.GetStringLength());
        if (out.find('\0') != std::string::npos) return Fail(Join(place, name), "holds a NUL character");
        return true;
    }
    bool Unsigned(const Value& object, const std::string& place, const char* name, uint64_t min, uint64_t max,
                  uint64_t& out) {
        auto it = object.FindMember(name);
        if (it == object.MemberEnd()) return true;
        if (!it->value.IsUint64() || it->value.GetUint64() < min || it->value.GetUint64() > max) {
            return Fail(Join(place, name),
                        "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
        }
        out = it->value.GetUint64();
        return true;
    }
    static std::string Join(const std::string& place, const std::string& name) {
        return place.empty() ? name : place + "." + name;
    }

private:
    std::string& error_;
};

std::string Resolve(const std::string& baseDir, const std::string& path) {
    if (path.empty() || path[0] == '/' || baseDir.empty()) return path;
    return baseDir + "/" + path;
}

// "host:port" with a non-empty host and a port 1..65535.
bool IsHostPort(const std::string& text) {
    auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() || text.size() - colon > 6) return false;
    unsigned long port = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        port = port * 10 + static_cast<unsigned long>(text[i] - '0');
    }
    if (port == 0 || port > 65535) return false;
    return text.find_first_of(" \t/") == std::string::npos;
}

bool IsTopicPrefix(const std::string& text) {
    if (text.empty() || text.size() > 256 || text.front() == '/' || text.back() == '/') return false;
    if (text.find("//") != std::string::npos) return false;
    for (unsigned char c : text) {
        if (c == '+' || c == '#' || c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

bool ParseTargets(Checker& c, const Value& doc, const std::string& defaultRouter, GatewayConfig& config) {
    auto it = doc.FindMember("targets");
    if (it == doc.MemberEnd()) return c.Fail("targets", "missing (list at least one target)");
    if (!it->value.IsArray() || it->value.Empty()) return c.Fail("targets", "expected a list of at least one target");
    if (it->value.Size() > 1000) return c.Fail("targets", "more than 1000 targets");
    std::set<std::string> names;
    for (rapidjson::SizeType i = 0; i < it->value.Size(); ++i) {
        const Value& t = it->value[i];
        std::string place = "targets[" + std::to_string(i) + "]";
        if (!t.IsObject()) return c.Fail(place, "expected an object");
        if (!c.KnownMembers(t, place, {"name", "target", "router", "languages"})) return false;
        TargetConfig target;
        if (!c.Text(t, place, "name", target.name, 64, true)) return false;
        if (!IsTopicSegment(target.name)) {
            return c.Fail(place + ".name", "expected 1-64 characters of A-Z a-z 0-9 _ - .");
        }
        if (target.name == "gateway") return c.Fail(place + ".name", "\"gateway\" is the gateway's own topic");
        if (!names.insert(target.name).second) return c.Fail(place + ".name", "\"" + target.name + "\" appears twice");
        if (!c.Text(t, place, "target", target.target, 256, true)) return false;
        target.router = defaultRouter;
        if (!c.Text(t, place, "router", target.router, 256)) return false;
        if (!target.router.empty() && !IsHostPort(target.router)) return c.Fail(place + ".router", "expected \"host:port\"");
        auto langs = t.FindMember("languages");
        if (langs == t.MemberEnd()) {
            target.languages = {1033};
        } else {
            if (!langs->value.IsArray() || langs->value.Size() > 16) {
                return c.Fail(place + ".languages", "expected a list of at most 16 language ids (1033, 1031, ...)");
            }
            for (rapidjson::SizeType k = 0; k < langs->value.Size(); ++k) {
                const Value& l = langs->value[k];
                if (!l.IsInt() || l.GetInt() <= 0 || l.GetInt() > 0xFFFF) {
                    return c.Fail(place + ".languages[" + std::to_string(k) + "]",
                                  "expected a language id from 1 to 65535");
                }
                target.languages.push_back(l.GetInt());
            }
        }
        config.targets.push_back(std::move(target));
    }
    // The router client takes its address from the process environment when a
    // link is opened, so one process reaches one router; routes behind it
    // reach every controller.
    const std::string& first = config.targets.front().router;
    for (size_t i = 1; i < config.targets.size(); ++i) {
        if (config.targets[i].router != first) {
            return c.Fail("targets[" + std::to_string(i) + "].router",
                          "every target of one gateway goes through one router (\"" +
                              (first.empty() ? std::string("the default") : first) +
                              "\" in targets[0]); reach other controllers by routes, or run one gateway per router");
        }
    }
    return true;
}

bool ParseBroker(Checker& c, const Value& doc, const std::string& baseDir, GatewayConfig& config) {
    BrokerConfig& b = config.broker;
    b.clientId = "zt-gateway-" + config.id;
    auto it = doc.FindMember("broker");
    if (it == doc.MemberEnd()) return true;
    const Value& v = it->value;
    if (!v.IsObject()) return c.Fail("broker", "expected an object");
    if (!c.KnownMembers(v, "broker", {"host", "port", "clientId", "keepAliveSeconds", "tls", "user", "passwordFile"})) {
        return false;
    }
    if (!c.Text(v, "broker", "host", b.host, 255)) return false;
    if (b.host.empty()) return c.Fail("broker.host", "expected a host name or address");
    uint64_t port = b.port, keepAlive = static_cast<uint64_t>(b.keepAliveSeconds);
    if (!c.Unsigned(v, "broker", "port", 1, 65535, port)) return false;
    if (!c.Unsigned(v, "broker", "keepAliveSeconds", 5, 3600, keepAlive)) return false;
    b.port = static_cast<uint16_t>(port);
    b.keepAliveSeconds = static_cast<int>(keepAlive);
    if (!c.Text(v, "broker", "clientId", b.clientId, 23 * 4)) return false;
    if (b.clientId.empty()) return c.Fail("broker.clientId", "expected a non-empty text");
    if (!c.Text(v, "broker", "user", b.user, 1024)) return false;
    auto tls = v.FindMember("tls");
    if (tls != v.MemberEnd()) {
        if (!tls->value.IsObject()) return c.Fail("broker.tls", "expected an object");
        if (!c.KnownMembers(tls->value, "broker.tls", {"ca", "cert", "key"})) return false;
        if (!c.Text(tls->value, "broker.tls", "ca", b.caFile, 4096, true)) return false;
        if (!c.Text(tls->value, "broker.tls", "cert", b.certFile)) return false;
        if (!c.Text(tls->value, "broker.tls", "key", b.keyFile)) return false;
        if (b.certFile.empty() != b.keyFile.empty()) {
            return c.Fail("broker.tls", "cert and key go together (a client certificate needs its key)");
        }
        b.caFile = Resolve(baseDir, b.caFile);
        b.certFile = Resolve(baseDir, b.certFile);
        b.keyFile = Resolve(baseDir, b.keyFile);
        for (const auto* f : {&b.caFile, &b.certFile, &b.keyFile}) {
            if (!f->empty() && !std::ifstream(*f).good()) {
                const char* name = f == &b.caFile ? "ca" : f == &b.certFile ? "cert" : "key";
                return c.Fail(std::string("broker.tls.") + name, "cannot read \"" + *f + "\"");
            }
        }
    }
    if (!c.Text(v, "broker", "passwordFile", b.passwordFile)) return false;
    if (!b.passwordFile.empty()) {
        if (b.user.empty()) return c.Fail("broker.passwordFile", "a password needs broker.user");
        b.passwordFile = Resolve(baseDir, b.passwordFile);
        std::string text, why;
        if (!ReadSmallFile(b.passwordFile, 4096, text, why)) return c.Fail("broker.passwordFile", why);
        // The first line is the password; its line end is not part of it.
        b.password = text.substr(0, text.find_first_of("\r\n"));
        if (b.password.empty()) return c.Fail("broker.passwordFile", "the file's first line is empty");
    }
    return true;
}

bool ParseQueue(Checker& c, const Value& doc, const std::string& baseDir, GatewayConfig& config) {
    QueueConfig& q = config.queue;
    q.path = "zt-gateway-" + config.id + ".sqlite";
    auto it = doc.FindMember("queue");
    if (it != doc.MemberEnd()) {
        const Value& v = it->value;
        if (!v.IsObject()) return c.Fail("queue", "expected an object");
        if (!c.KnownMembers(v, "queue", {"path", "maxCount", "maxBytes"})) return false;
        if (!c.Text(v, "queue", "path", q.path)) return false;
        if (q.path.empty()) return c.Fail("queue.path", "expected a file name");
        if (!c.Unsigned(v, "queue", "maxCount", 10, 100000000, q.maxCount)) return false;
        if (!c.Unsigned(v, "queue", "maxBytes", 65536, uint64_t{1} << 40, q.maxBytes)) return false;
    }
    if (q.path != ":memory:") q.path = Resolve(baseDir, q.path);
    return true;
}

bool ParseCommands(Checker& c, const Value& doc, GatewayConfig& config) {
    auto it = doc.FindMember("commands");
    if (it == doc.MemberEnd()) return true;
    if (!it->value.IsArray()) return c.Fail("commands", "expected a list of verbs");
    for (rapidjson::SizeType i = 0; i < it->value.Size(); ++i) {
        std::string place = "commands[" + std::to_string(i) + "]";
        const Value& v = it->value[i];
        std::string verb = v.IsString() ? std::string(v.GetString(), v.GetStringLength()) : std::string();
        bool known = std::any_of(std::begin(kCommandVerbs), std::end(kCommandVerbs),
                                 [&](const char* k) { return verb == k; });
        if (!known) return c.Fail(place, "expected one of confirm, confirm-all, clear, send, log");
        if (!config.Allows(verb)) config.commands.push_back(verb);
    }
    return true;
}

}  // namespace

bool GatewayConfig::Allows(const std::string& verb) const {
    return std::find(commands.begin(), commands.end(), verb) != commands.end();
}

bool IsTopicSegment(const std::string& text) {
    if (text.empty() || text.size() > 64) return false;
    return std::all_of(text.begin(), text.end(), [](char ch) {
        return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
               ch == '-' || ch == '.';
    });
}

bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read \"" + path + "\"";
        return false;
    }
    text.clear();
    char buf[4096];
    while (in.read(buf, sizeof(buf)) || in.gcount() > 0) {
        text.append(buf, static_cast<size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            error = "\"" + path + "\" is larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
    }
    return true;
}

bool ParseGatewayConfig(const std::string& text, const std::string& baseDir, GatewayConfig& config,
                        std::string& error) {
    error.clear();
    config = GatewayConfig{};
    rapidjson::Document doc;
    doc.Parse<rapidjson::kParseStopWhenDoneFlag>(text.data(), text.size());
    if (doc.HasParseError()) {
        // Line and column of the offset, which a reader finds faster than an offset.
        size_t offset = doc.GetErrorOffset(), line = 1, column = 1;
        for (size_t i = 0; i < offset && i < text.size(); ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                rapidjson::GetParseError_En(doc.GetParseError());
        return false;
    }
    Checker c(error);
    if (!doc.IsObject()) return c.Fail("(top)", "expected a JSON object");
    if (!c.KnownMembers(doc, "", {"id", "topicPrefix", "router", "targets", "broker", "commands", "queue",
                                  "statsIntervalSeconds", "logLevel"})) {
        return false;
    }
    if (!c.Text(doc, "", "id", config.id, 64)) return false;
    if (!IsTopicSegment(config.id)) return c.Fail("id", "expected 1-64 characters of A-Z a-z 0-9 _ - .");
    if (!c.Text(doc, "", "topicPrefix", config.topicPrefix, 256)) return false;
    if (!IsTopicPrefix(config.topicPrefix)) {
        return c.Fail("topicPrefix", "expected topic levels such as \"plant/zt\" (no + or #, no empty level)");
    }
    std::string router;
    if (!c.Text(doc, "", "router", router, 256)) return false;
    if (!router.empty() && !IsHostPort(router)) return c.Fail("router", "expected \"host:port\"");
    if (!ParseTargets(c, doc, router, config)) return false;
    if (!ParseBroker(c, doc, baseDir, config)) return false;
    if (!ParseCommands(c, doc, config)) return false;
    if (!ParseQueue(c, doc, baseDir, config)) return false;
    uint64_t interval = config.statsIntervalSeconds;
    if (!c.Unsigned(doc, "", "statsIntervalSeconds", 1, 3600, interval)) return false;
    config.statsIntervalSeconds = static_cast<uint32_t>(interval);
    if (!c.Text(doc, "", "logLevel", config.logLevel, 16)) return false;
    LogLevel level;
    if (!ParseLogLevel(config.logLevel, level)) return c.Fail("logLevel", "expected debug, info, warn or error");
    return !c.Failed();
}

bool LoadGatewayConfig(const std::string& path, GatewayConfig& config, std::string& error) {
    std::string text;
    if (!ReadSmallFile(path, 1u << 20, text, error)) return false;
    auto slash = path.rfind('/');
    std::string baseDir = slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    return ParseGatewayConfig(text, baseDir, config, error);
}

}  // namespace ZtGateway
