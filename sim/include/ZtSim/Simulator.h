// Simulator.h - the simulated controller: a message router on a TCP port with
// a local target and remote targets reachable by route name.
//
// Tests start one in-process on an ephemeral loopback port and point the
// router client at it (Simulator::Address() is the value for ZT_MRX_ROUTER).
// Every target gets the system service on port 10000 (route table, state,
// state changes, target information) and the test service on port kTestPort;
// the local target also gets the symbol service on options.symbolPort and the
// file requests in its sandbox folder (see TargetAccess.h). Every target also
// gets the event logger service on port 132 (see EventLoggerService.h).
#ifndef ZT_SIM_SIMULATOR_H
#define ZT_SIM_SIMULATOR_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FaultInjector.h"
#include "StateMachine.h"
#include "SymbolService.h"
#include "Target.h"

namespace ZtSim {

constexpr uint16_t kSystemServicePort = 10000;
constexpr uint16_t kTestPort = 20000;

struct SimOptions {
    std::string bindAddress = "127.0.0.1";
    uint16_t port = 0;  // 0: an ephemeral port
    MrxNetId localNetId{{5, 80, 201, 232, 1, 1}};
    std::string localName = "zt-sim";
    std::vector<RouteEntry> routes;
    // Target access of the local target.
    std::string symbolFile;  // JSON symbols (SymbolService.h); empty: the built-in ones
    uint16_t symbolPort = kDefaultSymbolPort;
    std::string sandbox;     // folder of the file requests; empty: a temporary one, removed at the end
    std::string targetInfo;  // target information text; empty: made from the name and the NetId
    StateTiming stateTiming;  // every target
    // Event logger service of the local target (remote targets: in memory, built-in texts).
    std::string eventLog;                    // SQLite file of the event log; empty: in memory
    std::vector<std::string> resourceFiles;  // resource files loaded at start (ResourceCatalog.h)
};

class FileService;

class Simulator {
public:
    explicit Simulator(SimOptions options = {});  // listens at once; throws std::runtime_error on failure
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    uint16_t Port() const;
    std::string Address() const;  // "host:port"

    Target& Local();
    Target* FindTarget(const MrxNetId& netId);
    Target* FindTargetByName(std::string_view name);
    // Adds a route to the router's table and a remote target behind it.
    Target& AddRoute(const RouteEntry& route);
    std::vector<RouteEntry> Routes() const;

    // The local target's file requests (sandbox folder, open files).
    FileService& Files();

    FaultInjector& Faults();
    // Closes every client connection now (their pending requests fail).
    void DropConnections();
    size_t ConnectionCount() const;
    size_t SubscriptionCount() const;
    // Stops listening and closes every connection; the destructor does it too.
    void Stop();

private:
    std::unique_ptr<Router> router_;
};

}  // namespace ZtSim

#endif  // ZT_SIM_SIMULATOR_H
