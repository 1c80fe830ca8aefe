// SystemService.h - the system service of a simulated target (port 10000).
//
// Index groups are served by handlers; other parts of the simulator add
// theirs with SetGroupHandler. Built in: the route table (group 803, offset =
// route number; the local target only). Read state answers the target's
// runtime state; write control goes to the control handler (1793 without one).
#ifndef ZT_SIM_SYSTEM_SERVICE_H
#define ZT_SIM_SYSTEM_SERVICE_H

#include <functional>
#include <map>
#include <mutex>

#include "SimTypes.h"

namespace ZtSim {

constexpr uint32_t kRouteTableGroup = 803;

class SystemService : public Service {
public:
    using Handler = std::function<Reply(Target&, const Request&)>;

    explicit SystemService(bool servesRouteTable);
    void SetGroupHandler(uint32_t indexGroup, Handler handler);
    void SetControlHandler(Handler handler);
    Reply Handle(Target& target, const Request& request) override;

    // The record the router's route table gives for one route.
    static std::vector<uint8_t> RouteRecord(const RouteEntry& route);

private:
    Reply RouteTable(Target& target, const Request& request);

    const bool servesRouteTable_;
    std::mutex mutex_;
    std::map<uint32_t, Handler> groups_;
    Handler control_;
};

}  // namespace ZtSim

#endif  // ZT_SIM_SYSTEM_SERVICE_H
