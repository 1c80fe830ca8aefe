#include "ZtSim/SystemService.h"

#include "ZtSim/Target.h"

namespace ZtSim {

SystemService::SystemService(bool servesRouteTable) : servesRouteTable_(servesRouteTable) {}

void SystemService::SetGroupHandler(uint32_t indexGroup, Handler handler) {
    std::lock_guard<std::mutex> lk(mutex_);
    groups_[indexGroup] = std::move(handler);
}

void SystemService::SetControlHandler(Handler handler) {
    std::lock_guard<std::mutex> lk(mutex_);
    control_ = std::move(handler);
}

Reply SystemService::Handle(Target& target, const Request& request) {
    Handler h;
    {
        std::lock_guard<std::mutex> lk(mutex_);
        if (request.kind == RequestKind::WriteControl) {
            h = control_;
        } else if (request.kind != RequestKind::ReadState) {
            auto it = groups_.find(request.indexGroup);
            if (it != groups_.end()) h = it->second;
        }
    }
    if (h) return h(target, request);
    if (request.kind == RequestKind::Read && request.indexGroup == kRouteTableGroup && servesRouteTable_)
        return RouteTable(target, request);
    return Default(target, request);
}

// Layout: NetId (6), transport and flags (26, not read by clients), length of
// the address text with its NUL (4), length of the name with its NUL (4),
// reserved (4), the address text, the name.
std::vector<uint8_t> SystemService::RouteRecord(const RouteEntry& route) {
    Bytes b;
    b.Raw(route.netId.b, 6)
        .U16(1)   // transport: TCP
        .U16(0)   // flags
        .U32(0)   // time-out
        .Zeros(18)
        .U32(static_cast<uint32_t>(route.address.size() + 1))
        .U32(static_cast<uint32_t>(route.name.size() + 1))
        .U32(0)
        .Text(route.address)
        .Text(route.name);
    return b.Take();
}

Reply SystemService::RouteTable(Target& target, const Request& request) {
    auto routes = target.Routes();
    if (request.indexOffset >= routes.size()) return Reply::Error(MRX_ERR_NOT_FOUND);
    return Reply::Data(RouteRecord(routes[request.indexOffset]));
}

}  // namespace ZtSim
