#include "ZtSim/Simulator.h"

#include "Router.h"

namespace ZtSim {

Simulator::Simulator(SimOptions options) : router_(std::make_unique<Router>(options)) {}

Simulator::~Simulator() { router_->Stop(); }

uint16_t Simulator::Port() const { return router_->Port(); }

std::string Simulator::Address() const { return router_->Options().bindAddress + ":" + std::to_string(Port()); }

Target& Simulator::Local() { return router_->Local(); }

Target* Simulator::FindTarget(const MrxNetId& netId) { return router_->FindTarget(netId); }

Target* Simulator::FindTargetByName(std::string_view name) { return router_->FindTargetByName(name); }

Target& Simulator::AddRoute(const RouteEntry& route) { return router_->AddRoute(route); }

std::vector<RouteEntry> Simulator::Routes() const { return router_->Routes(); }

FileService& Simulator::Files() { return router_->Files(); }

FaultInjector& Simulator::Faults() { return router_->Faults(); }

void Simulator::DropConnections() { router_->DropConnections(); }

size_t Simulator::ConnectionCount() const { return router_->ConnectionCount(); }

size_t Simulator::SubscriptionCount() const { return router_->SubscriptionCount(); }

void Simulator::Stop() { router_->Stop(); }

}  // namespace ZtSim
