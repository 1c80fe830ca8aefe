#include "ZtSim/SimConfig.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <fstream>
#include <sstream>

namespace ZtSim {

namespace {

bool NetIdMember(const rapidjson::Value& v, const char* key, MrxNetId& out, std::string& error) {
    auto it = v.FindMember(key);
    if (it == v.MemberEnd()) return true;
    if (!it->value.IsString()) {
        error = std::string("\"") + key + "\" must be a NetId text";
        return false;
    }
    auto id = ParseNetId(it->value.GetString());
    if (!id) {
        error = std::string("\"") + key + "\" is not a NetId: " + it->value.GetString();
        return false;
    }
    out = *id;
    return true;
}

template <class T>
bool UintMember(const rapidjson::Value& v, const char* key, T& out, uint32_t max, std::string& error) {
    auto it = v.FindMember(key);
    if (it == v.MemberEnd()) return true;
    if (!it->value.IsUint() || it->value.GetUint() > max) {
        error = std::string("\"") + key + "\" must be a number of 0.." + std::to_string(max);
        return false;
    }
    out = static_cast<T>(it->value.GetUint());
    return true;
}

bool StringMember(const rapidjson::Value& v, const char* key, std::string& out, std::string& error) {
    auto it = v.FindMember(key);
    if (it == v.MemberEnd()) return true;
    if (!it->value.IsString()) {
        error = std::string("\"") + key + "\" must be a text";
        return false;
    }
    out = it->value.GetString();
    return true;
}

}  // namespace

bool ParseSimOptions(const std::string& json, SimOptions& options, std::string& error) {
    rapidjson::Document doc;
    doc.Parse(json.c_str(), json.size());
    if (doc.HasParseError()) {
        error = std::string("JSON error at offset ") + std::to_string(doc.GetErrorOffset()) + ": " +
                rapidjson::GetParseError_En(doc.GetParseError());
        return false;
    }
    if (!doc.IsObject()) {
        error = "the configuration must be a JSON object";
        return false;
    }
    if (!StringMember(doc, "bind", options.bindAddress, error) || !StringMember(doc, "name", options.localName, error) ||
        !NetIdMember(doc, "netId", options.localNetId, error))
        return false;
    if (doc.HasMember("port")) {
        const auto& port = doc["port"];
        if (!port.IsUint() || port.GetUint() > 65535) {
            error = "\"port\" must be a number of 0..65535";
            return false;
        }
        options.port = static_cast<uint16_t>(port.GetUint());
    }
    if (!StringMember(doc, "symbolFile", options.symbolFile, error) ||
        !StringMember(doc, "sandbox", options.sandbox, error) ||
        !StringMember(doc, "targetInfo", options.targetInfo, error) ||
        !UintMember(doc, "symbolPort", options.symbolPort, 65535, error) ||
        !StringMember(doc, "eventLog", options.eventLog, error))
        return false;
    if (auto it = doc.FindMember("resourceFiles"); it != doc.MemberEnd()) {
        if (!it->value.IsArray()) {
            error = "\"resourceFiles\" must be an array of paths";
            return false;
        }
        for (const auto& f : it->value.GetArray()) {
            if (!f.IsString()) {
                error = "\"resourceFiles\" must be an array of paths";
                return false;
            }
            options.resourceFiles.emplace_back(f.GetString(), f.GetStringLength());
        }
    }
    if (doc.HasMember("stateTiming")) {
        const auto& timing = doc["stateTiming"];
        constexpr uint32_t kMaxDelay = 600000;
        StateTiming& t = options.stateTiming;
        if (!timing.IsObject()) {
            error = "\"stateTiming\" must be an object";
            return false;
        }
        if (!UintMember(timing, "leaveMs", t.leaveMs, kMaxDelay, error) ||
            !UintMember(timing, "configMs", t.configMs, kMaxDelay, error) ||
            !UintMember(timing, "restartMs", t.restartMs, kMaxDelay, error))
            return false;
    }
    if (doc.HasMember("routes")) {
        const auto& routes = doc["routes"];
        if (!routes.IsArray()) {
            error = "\"routes\" must be an array";
            return false;
        }
        for (const auto& r : routes.GetArray()) {
            if (!r.IsObject()) {
                error = "each route must be an object";
                return false;
            }
            RouteEntry route;
            if (!StringMember(r, "name", route.name, error) || !StringMember(r, "address", route.address, error) ||
                !NetIdMember(r, "netId", route.netId, error))
                return false;
            if (route.name.empty()) {
                error = "a route needs a \"name\"";
                return false;
            }
            options.routes.push_back(route);
        }
    }
    return true;
}

bool ReadTextFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

bool ParseRouteArgument(const std::string& arg, RouteEntry& route, std::string& error) {
    auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "route must be name=netid[@address]: " + arg;
        return false;
    }
    route.name = arg.substr(0, eq);
    std::string rest = arg.substr(eq + 1);
    auto at = rest.find('@');
    route.address = at == std::string::npos ? std::string() : rest.substr(at + 1);
    auto id = ParseNetId(rest.substr(0, at));
    if (!id) {
        error = "route NetId is not valid: " + arg;
        return false;
    }
    route.netId = *id;
    if (route.address.empty()) route.address = route.name;
    return true;
}

}  // namespace ZtSim
