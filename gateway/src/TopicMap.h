// TopicMap.h - the gateway's topic names, made in one place:
//
//   <prefix>/<target>/status                          retained link state
//   <prefix>/<target>/alarms/<class>/<id>/<qualifier>  retained active alarm
//   <prefix>/<target>/events                          every transition, QoS 1
//   <prefix>/<target>/cmd/<verb>                      commands in
//   <prefix>/<target>/cmd/result                      command results out
//   <prefix>/gateway/<id>/status, .../stats           the gateway itself
//
// The class is written as its GUID without braces in upper case
// ("4A6F1C2E-8B3D-4F51-9C07-2E5B7A9D1F30"), id and qualifier in decimal.
#ifndef ZT_GATEWAY_TOPIC_MAP_H
#define ZT_GATEWAY_TOPIC_MAP_H

#include <cstdint>
#include <string>
#include <string_view>

namespace ZtGateway {

class TopicMap {
public:
    TopicMap(std::string prefix, std::string gatewayId);

    const std::string& Prefix() const { return prefix_; }
    std::string TargetStatus(std::string_view target) const;
    std::string Alarm(std::string_view target, std::string_view eventClass, uint32_t eventId,
                      uint32_t qualifier) const;
    std::string AlarmsFilter(std::string_view target) const;  // ".../alarms/#"
    std::string Events(std::string_view target) const;
    std::string Command(std::string_view target, std::string_view verb) const;
    std::string CommandResult(std::string_view target) const;
    std::string CommandFilter() const;  // "<prefix>/+/cmd/+"
    std::string GatewayStatus() const;
    std::string GatewayStats() const;

    // Splits "<prefix>/<target>/cmd/<verb>"; false for any other topic
    // (the result topic included).
    bool ParseCommand(std::string_view topic, std::string& target, std::string& verb) const;
    // "<prefix>/+/alarms/#", and the target of such a topic (false for others).
    std::string AllAlarmsFilter() const;
    bool ParseAlarm(std::string_view topic, std::string& target) const;

private:
    std::string prefix_;
    std::string gatewayId_;
};

// "{4a6f...}" or "4A6F..." -> "4A6F..." (upper case, no braces); empty when
// the text is not a GUID.
std::string GuidSegment(std::string_view guidText);

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_TOPIC_MAP_H
