#include "TopicMap.h"

#include <cctype>

namespace ZtGateway {

TopicMap::TopicMap(std::string prefix, std::string gatewayId)
    : prefix_(std::move(prefix)), gatewayId_(std::move(gatewayId)) {}

namespace {
std::string Join(std::string_view a, std::string_view b) {
    std::string s;
    s.reserve(a.size() + 1 + b.size());
    s.append(a);
    s += '/';
    s.append(b);
    return s;
}
}  // namespace

std::string TopicMap::TargetStatus(std::string_view target) const { return Join(Join(prefix_, target), "status"); }

std::string TopicMap::Alarm(std::string_view target, std::string_view eventClass, uint32_t eventId,
                            uint32_t qualifier) const {
    std::string s = Join(Join(prefix_, target), "alarms");
    s = Join(s, GuidSegment(eventClass));
    s = Join(s, std::to_string(eventId));
    return Join(s, std::to_string(qualifier));
}

std::string TopicMap::AlarmsFilter(std::string_view target) const { return Join(Join(prefix_, target), "alarms/#"); }
std::string TopicMap::Events(std::string_view target) const { return Join(Join(prefix_, target), "events"); }
std::string TopicMap::Command(std::string_view target, std::string_view verb) const {
    return Join(Join(Join(prefix_, target), "cmd"), verb);
}
std::string TopicMap::CommandResult(std::string_view target) const { return Command(target, "result"); }
std::string TopicMap::CommandFilter() const { return Join(prefix_, "+/cmd/+"); }
std::string TopicMap::GatewayStatus() const { return Join(Join(Join(prefix_, "gateway"), gatewayId_), "status"); }
std::string TopicMap::GatewayStats() const { return Join(Join(Join(prefix_, "gateway"), gatewayId_), "stats"); }

bool TopicMap::ParseCommand(std::string_view topic, std::string& target, std::string& verb) const {
    if (topic.size() <= prefix_.size() + 1 || topic.substr(0, prefix_.size()) != prefix_ ||
        topic[prefix_.size()] != '/') {
        return false;
    }
    std::string_view rest = topic.substr(prefix_.size() + 1);
    auto slash = rest.find('/');
    if (slash == std::string_view::npos || slash == 0) return false;
    std::string_view t = rest.substr(0, slash);
    rest = rest.substr(slash + 1);
    if (rest.substr(0, 4) != "cmd/") return false;
    std::string_view v = rest.substr(4);
    if (v.empty() || v.find('/') != std::string_view::npos || v == "result") return false;
    target.assign(t);
    verb.assign(v);
    return true;
}

std::string TopicMap::AllAlarmsFilter() const { return Join(prefix_, "+/alarms/#"); }

bool TopicMap::ParseAlarm(std::string_view topic, std::string& target) const {
    if (topic.size() <= prefix_.size() + 1 || topic.substr(0, prefix_.size()) != prefix_ ||
        topic[prefix_.size()] != '/') {
        return false;
    }
    std::string_view rest = topic.substr(prefix_.size() + 1);
    auto slash = rest.find('/');
    if (slash == std::string_view::npos || slash == 0 || rest.substr(slash + 1, 7) != "alarms/") return false;
    target.assign(rest.substr(0, slash));
    return true;
}

std::string GuidSegment(std::string_view g) {
    if (g.size() == 38 && g.front() == '{' && g.back() == '}') g = g.substr(1, 36);
    if (g.size() != 36) return {};
    std::string out(g);
    for (size_t i = 0; i < out.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? out[i] != '-' : !std::isxdigit(static_cast<unsigned char>(out[i]))) return {};
        out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
    }
    return out;
}

}  // namespace ZtGateway
