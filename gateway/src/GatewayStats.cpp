#include "GatewayStats.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "ZtTool/TimeText.h"

namespace ZtGateway {

GatewayStats::GatewayStats(const std::vector<std::string>& targets) {
    for (const auto& t : targets) targets_[t] = std::make_unique<TargetCounters>();
}

TargetCounters* GatewayStats::Target(const std::string& name) {
    auto it = targets_.find(name);
    return it == targets_.end() ? nullptr : it->second.get();
}

std::string GatewayStats::Json(const std::string& gatewayId, const Extra& extra) const {
    rapidjson::StringBuffer b;
    rapidjson::Writer<rapidjson::StringBuffer> w(b);
    w.StartObject();
    w.Key("gateway");
    w.String(gatewayId.c_str());
    w.Key("time");
    w.String(ZtTool::FileTimeToIsoUtc(ZtTool::FileTimeNow(), 3).c_str());
    w.Key("broker");
    w.StartObject();
    w.Key("connected");
    w.Bool(extra.brokerConnected);
    w.Key("reconnects");
    w.Uint64(brokerReconnects.load());
    w.Key("queued");
    w.Uint64(extra.queued);
    w.Key("queuedBytes");
    w.Uint64(extra.queuedBytes);
    w.Key("refused");
    w.Uint64(extra.refused);
    w.EndObject();
    w.Key("targets");
    w.StartObject();
    for (const auto& [name, c] : targets_) {
        w.Key(name.c_str());
        w.StartObject();
        w.Key("online");
        w.Bool(c->online.load());
        w.Key("eventsIn");
        w.Uint64(c->eventsIn.load());
        w.Key("published");
        w.Uint64(c->published.load());
        w.Key("queued");
        auto q = extra.queuedByTarget.find(name);
        w.Uint64(q == extra.queuedByTarget.end() ? 0 : q->second);
        w.Key("dropped");
        w.Uint64(c->dropped.load());
        w.Key("reconnects");
        w.Uint64(c->reconnects.load());
        w.Key("commands");
        w.Uint64(c->commands.load());
        w.EndObject();
    }
    w.EndObject();
    w.EndObject();
    return std::string(b.GetString(), b.GetSize());
}

}  // namespace ZtGateway
