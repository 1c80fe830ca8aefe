// zt-eventlog: connects to a controller through the message router.
//
//   zt-eventlog demo      start an embedded simulated controller, connect to a
//                         target by route name, list the route table, read the
//                         target state and show notification samples arriving
//   zt-eventlog routes    list the route table of the router at ZT_MRX_ROUTER
//   zt-eventlog state -t TARGET [-p PORT]
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"
#include "ZtSim/Simulator.h"
#include "ZtSim/TestService.h"

namespace {

using namespace ZtEventLoggerVdlApi;

std::string NetIdText(const MrxNetId& id) {
    char b[32];
    std::snprintf(b, sizeof(b), "%u.%u.%u.%u.%u.%u", id.b[0], id.b[1], id.b[2], id.b[3], id.b[4], id.b[5]);
    return b;
}

void PrintRoutes(VdlR3AdapterImpl& adapter) {
    auto [routes, rc] = adapter.ListVdlRoutes();
    std::printf("route table (%zu routes%s):\n", routes.size(), rc != 0 ? ", incomplete" : "");
    std::printf("  %-16s %-20s %s\n", "name", "address", "NetId");
    for (const auto& r : routes) std::printf("  %-16s %-20s %s\n", r.name.c_str(), r.firstText.c_str(), NetIdText(r.netId).c_str());
}

int PrintState(VdlR3AdapterImpl& adapter, unsigned short port) {
    unsigned short vdl = 0, device = 0;
    uint32_t rc = adapter.VdlSyncReadStateReq(port, &vdl, &device);
    if (rc != 0) {
        std::printf("state of port %u: error %u\n", port, rc);
        return 1;
    }
    std::printf("state of port %u: runtime state %u, device state %u\n", port, vdl, device);
    return 0;
}

class PrintingListener : public IVdlNotificationListener, public IConnectionStateListener {
public:
    uint32_t OnVdlNotification(unsigned short port, long timeStamp, unsigned long size, void* data,
                               long userValue) override {
        std::string text(static_cast<const char*>(data), size);
        std::printf("  sample on port %u (subscription %ld, time %ld): %s\n", port, userValue, timeStamp, text.c_str());
        std::fflush(stdout);
        received++;
        return 0;
    }
    uint32_t OnConnectionStateChaned(ConnectionState state) override {
        static const char* names[] = {"", "Connected", "Disconnected", "TargetChanging"};
        int s = static_cast<int>(state);
        std::printf("connection state: %s\n", s >= 1 && s <= 3 ? names[s] : "?");
        return 0;
    }
    std::atomic<int> received{0};
};

int Demo(const std::string& route, int samples) {
    ZtSim::SimOptions options;
    options.localName = "local-plc";
    options.routes = {{"Line2-PLC", "192.168.10.21", MrxNetId{{5, 12, 34, 56, 1, 1}}},
                      {"Press", "192.168.10.22", MrxNetId{{5, 12, 34, 57, 1, 1}}}};
    ZtSim::Simulator sim(options);
    ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);
    std::printf("embedded simulated controller listening on %s\n", sim.Address().c_str());

    VdlR3AdapterImpl adapter;
    PrintingListener listener;
    adapter.AddListener(&listener);
    std::printf("connecting to \"%s\"\n", route.c_str());
    if (uint32_t rc = adapter.Connect(route); rc != 0) {
        std::printf("connect failed: error %u\n", rc);
        return 1;
    }
    std::printf("connected to %s\n", NetIdText(adapter.TargetNetId()).c_str());
    PrintRoutes(adapter);
    PrintState(adapter, ZtSim::kSystemServicePort);

    if (uint32_t rc = adapter.VdlSyncAddDeviceNotificationReq(ZtSim::kTestPort, 777, 0, &listener, 1); rc != 0) {
        std::printf("subscription failed: error %u\n", rc);
        return 1;
    }
    ZtSim::Target* target = sim.FindTarget(adapter.TargetNetId());
    std::printf("subscribed; the target publishes %d samples:\n", samples);
    for (int i = 1; i <= samples; ++i) {
        std::string text = "sample " + std::to_string(i) + " of " + std::to_string(samples);
        target->Publish(ZtSim::kTestPort, 777, 0, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (int i = 0; i < 100 && listener.received.load() < samples; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    adapter.VdlSyncDelDeviceNotificationReq(ZtSim::kTestPort, &listener, 1);
    adapter.Disconnect();
    std::printf("received %d of %d samples; disconnected\n", listener.received.load(), samples);
    return listener.received.load() == samples ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Event logger client: connects to a controller through the message router"};
    app.require_subcommand(1);
    std::string route = "Line2-PLC", target;
    int samples = 5;
    unsigned short port = 10000;
    auto* demo = app.add_subcommand("demo", "run against an embedded simulated controller");
    demo->add_option("-t,--target", route, "route name to connect by");
    demo->add_option("-n,--samples", samples, "notification samples to publish");
    auto* routes = app.add_subcommand("routes", "list the router's route table");
    auto* state = app.add_subcommand("state", "read a target's state");
    state->add_option("-t,--target", target, "NetId, alias or route name");
    state->add_option("-p,--port", port, "service port");
    CLI11_PARSE(app, argc, argv);

    if (*demo) return Demo(route, samples);
    VdlR3AdapterImpl adapter;
    if (uint32_t rc = adapter.Connect(*routes ? std::string() : target); rc != 0) {
        std::fprintf(stderr, "zt-eventlog: connect failed: error %u\n", rc);
        return 1;
    }
    if (*routes) PrintRoutes(adapter);
    int rc = *state ? PrintState(adapter, port) : 0;
    adapter.Disconnect();
    return rc;
}
