// WatchCommands.cpp - watch (live events of a controller, across lost links)
// and demo (the same against a simulated machine started in this process).
#include <fmt/format.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

#include "Presenters.h"
#include "ZtSim/EventLoggerService.h"
#include "ZtSim/ScenarioRunner.h"
#include "ZtSim/Simulator.h"

#ifndef ZT_SOURCE_DIR
#define ZT_SOURCE_DIR ""
#endif
#ifndef ZT_INSTALL_DATADIR
#define ZT_INSTALL_DATADIR ""
#endif

namespace ZtEventLog {

namespace {

struct WatchOptions {
    double seconds = 0;
    int heartbeatMs = 2000;
    bool live = false;
};

int Watch(ToolContext& ctx, const WatchOptions& o) {
    WatchSettings s;
    s.seconds = o.seconds;
    s.heartbeatMs = o.heartbeatMs;
    if (o.live && ctx.out.OutTerminal() && !ctx.out.Json()) {
        LiveScreen screen(ctx, "zt-eventlog watch " + (ctx.options.target.empty() ? "localhost" : ctx.options.target));
        return RunWatch(ctx, screen, s);
    }
    LinePresenter lines(ctx);
    return RunWatch(ctx, lines, s);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ExecutableDir() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The demo's files: beside the installed program (share/zt-eventlog), in
// the source tree the program was built from, or in $ZT_DEMO_DATA.
std::string FindDemoFile(const std::string& name, const std::string& sourceSub) {
    std::vector<std::string> candidates;
    if (const char* dir = std::getenv("ZT_DEMO_DATA"); dir && *dir) candidates.push_back(std::string(dir) + "/" + name);
    if (std::string exe = ExecutableDir(); !exe.empty()) candidates.push_back(exe + "/../share/zt-eventlog/" + name);
    if (*ZT_INSTALL_DATADIR) candidates.push_back(std::string(ZT_INSTALL_DATADIR) + "/" + name);
    if (*ZT_SOURCE_DIR) candidates.push_back(std::string(ZT_SOURCE_DIR) + "/" + sourceSub + "/" + name);
    for (const auto& c : candidates)
        if (IsFile(c)) return c;
    return {};
}

struct DemoOptions {
    double seconds = -1;  // -1: 10 s when not on a terminal, else until Ctrl-C
    std::string scenario, resources;
    double speed = 1.0;
};

int Demo(ToolContext& ctx, const DemoOptions& o) {
    const std::string scenarioPath = o.scenario.empty() ? FindDemoFile("demo_machine.json", "sim/scenarios") : o.scenario;
    const std::string resourcePath =
        o.resources.empty() ? FindDemoFile("demo_machine.resources.json", "sim/data") : o.resources;
    if (scenarioPath.empty() || resourcePath.empty()) {
        ctx.out.Error("the demo's files (demo_machine.json, demo_machine.resources.json) were not found; "
                      "give --scenario and --resources, or set ZT_DEMO_DATA to their folder");
        return kExitFailed;
    }
    ZtSim::Scenario scenario;
    std::string error;
    if (!ZtSim::LoadScenarioFile(scenarioPath, scenario, error)) {
        ctx.out.Error(fmt::format("scenario {}: {}", scenarioPath, error));
        return kExitFailed;
    }
    ZtSim::SimOptions options;
    options.port = 0;  // a free loopback port
    options.localName = "demo-machine";
    options.resourceFiles = {resourcePath};
    std::unique_ptr<ZtSim::Simulator> sim;
    try {
        sim = std::make_unique<ZtSim::Simulator>(options);
    } catch (const std::exception& e) {
        ctx.out.Error(fmt::format("cannot start the simulated controller: {}", e.what()));
        return kExitFailed;
    }
    // The demo's own router; set before the logger opens its router port.
    ::setenv("ZT_MRX_ROUTER", sim->Address().c_str(), 1);
    ZtSim::ScenarioRunner runner(ZtSim::EventLoggerOf(sim->Local()), scenario);
    runner.SetTimeScale(1.0 / o.speed);

    WatchSettings s;
    s.onFirstConnect = [&runner] { runner.Start(); };  // from its first step on
    s.seconds = o.seconds >= 0 ? o.seconds : (ctx.out.OutTerminal() ? 0 : 10);
    const std::string title = fmt::format("zt-eventlog demo: {} (simulated controller at {})", scenario.name, sim->Address());
    int rc;
    if (ctx.out.OutTerminal() && !ctx.out.Json()) {
        LiveScreen screen(ctx, title);
        rc = RunWatch(ctx, screen, s);
    } else {
        ctx.out.Note(title);
        LinePresenter lines(ctx);
        rc = RunWatch(ctx, lines, s);
    }
    runner.Stop();
    return rc;
}

}  // namespace

void AddWatchCommands(CLI::App& app, ToolContext& ctx) {
    auto wo = std::make_shared<WatchOptions>();
    auto* watch = app.add_subcommand("watch", "show every message and alarm change as it happens; reconnects after "
                                              "a lost link and reports what changed meanwhile");
    watch->group("Live");
    watch->add_option("--seconds", wo->seconds, "end after this many seconds (default: until Ctrl-C)")
        ->check(CLI::Range(0.0, 1e7));
    watch->add_option("--heartbeat", wo->heartbeatMs, "prove the link with a request this often, in ms (default 2000)")
        ->check(CLI::Range(100, 600000));
    watch->add_flag("--live", wo->live, "on a terminal: the active-alarm table and the changes, updated in place");
    OnRun(watch, ctx, [wo](ToolContext& c) { return Watch(c, *wo); });

    auto d = std::make_shared<DemoOptions>();
    auto* demo = app.add_subcommand("demo", "start a simulated machine (axes, a conveyor, temperatures) in this "
                                            "process and show its alarms and messages live");
    demo->group("Live");
    demo->add_option("--seconds", d->seconds,
                     "end after this many seconds (default: until Ctrl-C on a terminal, else 10)")
        ->check(CLI::Range(0.0, 1e7));
    demo->add_option("--speed", d->speed, "play the scenario this many times faster (default 1)")
        ->check(CLI::Range(0.1, 100.0));
    demo->add_option("--scenario", d->scenario, "scenario file (default: the demo machine)");
    demo->add_option("--resources", d->resources, "resource file of texts (default: the demo machine's)");
    OnRun(demo, ctx, [d](ToolContext& c) { return Demo(c, *d); });
}

}  // namespace ZtEventLog
