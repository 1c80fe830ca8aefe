// zt-target-sim: runs the simulated controller as a daemon until SIGINT or SIGTERM.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "ZtSim/ScenarioRunner.h"
#include "ZtSim/SimConfig.h"
#include "ZtSim/FileService.h"
#include "ZtSim/Simulator.h"

namespace {

// Plays the scenario on the local target, printing each step as it plays.
std::unique_ptr<ZtSim::ScenarioRunner> StartScenario(ZtSim::Simulator& sim, const ZtSim::Scenario& scenario) {
    auto runner = std::make_unique<ZtSim::ScenarioRunner>(ZtSim::EventLoggerOf(sim.Local()), scenario);
    runner->SetObserver([](const ZtSim::ScenarioStep& step, ZtSim::EventResult result) {
        std::string event;
        if (step.action != ZtSim::ScenarioAction::ClearList)
            event = ZtSim::GuidText(step.event.eventClass) + " " + std::to_string(step.event.eventId);
        std::printf("scenario %6u ms: %-9s %s: %s\n", step.atMs, ZtSim::ScenarioActionName(step.action),
                    event.c_str(), ZtSim::EventResultText(result));
        std::fflush(stdout);
    });
    std::printf("playing scenario \"%s\": %zu steps%s\n", scenario.name.c_str(), scenario.steps.size(),
                scenario.repeat ? ", repeated" : "");
    runner->Start();
    return runner;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Simulated controller: message router, system service, symbol service, files, event logger service "
                 "and test service"};
    std::string config, bind, netId, name;
    int port = -1;
    std::vector<std::string> routes;
    app.add_option("-c,--config", config, "JSON configuration file");
    app.add_option("-p,--port", port, "TCP port to listen on (0: any)")->check(CLI::Range(0, 65535));
    app.add_option("-b,--bind", bind, "address to listen on");
    app.add_option("--netid", netId, "MrxNetId of the local target");
    app.add_option("--name", name, "name of the local target");
    app.add_option("-r,--route", routes, "remote target: name=netid[@address] (repeatable)");
    std::string symbols, sandbox;
    int symbolPort = -1;
    app.add_option("--symbols", symbols, "JSON symbol file of the local target's symbol service");
    app.add_option("--symbol-port", symbolPort, "port of the symbol service (default 851)")
        ->check(CLI::Range(1, 65535));
    app.add_option("--sandbox", sandbox, "folder of the file requests (default: a temporary folder)");
    std::string eventLog;
    std::vector<std::string> resources;
    app.add_option("--event-log", eventLog, "SQLite file of the event log (default: in memory)");
    app.add_option("--resources", resources, "resource file of event texts (JSON; repeatable, later ones first)");
    std::string scenarioPath;
    app.add_option("--scenario", scenarioPath, "JSON scenario of alarms and messages played on the local target");
    CLI11_PARSE(app, argc, argv);

    ZtSim::SimOptions options;
    options.port = 47800;
    std::string error;
    if (!config.empty()) {
        std::string text;
        if (!ZtSim::ReadTextFile(config, text, error) || !ZtSim::ParseSimOptions(text, options, error)) {
            std::cerr << "zt-target-sim: " << error << "\n";
            return 2;
        }
        std::string fromConfig;
        if (!ZtSim::ScenarioPathFromConfig(text, config, fromConfig, error)) {
            std::cerr << "zt-target-sim: " << error << "\n";
            return 2;
        }
        if (scenarioPath.empty()) scenarioPath = fromConfig;
    }
    if (port >= 0) options.port = static_cast<uint16_t>(port);
    if (!bind.empty()) options.bindAddress = bind;
    if (!name.empty()) options.localName = name;
    if (!symbols.empty()) options.symbolFile = symbols;
    if (symbolPort > 0) options.symbolPort = static_cast<uint16_t>(symbolPort);
    if (!sandbox.empty()) options.sandbox = sandbox;
    if (!eventLog.empty()) options.eventLog = eventLog;
    options.resourceFiles.insert(options.resourceFiles.end(), resources.begin(), resources.end());
    if (!netId.empty()) {
        auto id = ZtSim::ParseNetId(netId);
        if (!id) {
            std::cerr << "zt-target-sim: not a NetId: " << netId << "\n";
            return 2;
        }
        options.localNetId = *id;
    }
    for (const auto& r : routes) {
        ZtSim::RouteEntry route;
        if (!ZtSim::ParseRouteArgument(r, route, error)) {
            std::cerr << "zt-target-sim: " << error << "\n";
            return 2;
        }
        options.routes.push_back(route);
    }

    ZtSim::Scenario scenario;
    if (!scenarioPath.empty() && !ZtSim::LoadScenarioFile(scenarioPath, scenario, error)) {
        std::cerr << "zt-target-sim: " << error << "\n";
        return 2;
    }

    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before any thread starts
    try {
        ZtSim::Simulator sim(options);
        std::printf("zt-target-sim listening on %s, local target %s (%s), %zu routes\n", sim.Address().c_str(),
                    ZtSim::NetIdText(options.localNetId).c_str(), options.localName.c_str(), sim.Routes().size());
        std::printf("symbols on port %u, files in %s\n", static_cast<unsigned>(options.symbolPort),
                    sim.Files().Root().c_str());
        std::printf("event log %s, %zu resource files\n",
                    options.eventLog.empty() ? "in memory" : options.eventLog.c_str(), options.resourceFiles.size());
        std::fflush(stdout);
        std::unique_ptr<ZtSim::ScenarioRunner> runner;
        if (!scenarioPath.empty()) runner = StartScenario(sim, scenario);
        int sig = 0;
        sigwait(&set, &sig);
        std::printf("zt-target-sim stopping\n");
    } catch (const std::exception& e) {
        std::cerr << "zt-target-sim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
