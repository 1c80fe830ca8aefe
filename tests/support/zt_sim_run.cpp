// zt-sim-run: runs a program against an in-process simulated controller.
//
//     zt-sim-run [--scenario FILE | --no-scenario] [--resources FILE]...
//                [--time-scale F] [--timeout S] -- PROGRAM [ARGS...]
//
// Starts the simulator on a free loopback port with the resource files
// loaded (default: the demo machine's texts), plays the scenario on the
// local target (default: the demo machine, repeated as the file says), sets
// ZT_MRX_ROUTER for the child, runs PROGRAM and returns its exit status
// (128 + the signal when it was killed, 124 when it ran past --timeout and
// was killed). The child connects to the local target, "" or "localhost".
// Tests and examples of every language use it, so one launcher serves all.
#include <sys/wait.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ZtSim/EventLoggerService.h"
#include "ZtSim/ScenarioRunner.h"
#include "ZtSim/Simulator.h"

extern char** environ;

// Default files, relative to the source tree when the build names it.
#ifndef ZT_SOURCE_DIR
#define ZT_SOURCE_DIR "."
#endif

namespace {

struct Options {
    std::string scenario = ZT_SOURCE_DIR "/sim/scenarios/demo_machine.json";
    std::vector<std::string> resources;
    bool defaultResources = true;
    double timeScale = 1.0;
    double timeoutSeconds = 120;
    std::vector<char*> command;
};

int Usage(const char* why) {
    std::fprintf(stderr,
                 "zt-sim-run: %s\nusage: zt-sim-run [--scenario FILE | --no-scenario] [--resources FILE]... "
                 "[--time-scale F] [--timeout S] -- PROGRAM [ARGS...]\n",
                 why);
    return 2;
}

// False with a message for arguments that do not parse.
bool Parse(int argc, char** argv, Options& o, std::string& error) {
    int i = 1;
    auto value = [&](const char* name) -> const char* {
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };
    auto number = [&](const char* name, double& out) {
        const char* v = value(name);
        if (!v) return false;
        char* end = nullptr;
        out = std::strtod(v, &end);
        if (end == v || *end) return error = std::string(name) + ": not a number: " + v, false;
        return true;
    };
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            for (++i; i < argc; ++i) o.command.push_back(argv[i]);
            break;
        }
        if (a == "--scenario") {
            const char* v = value("--scenario");
            if (!v) return false;
            o.scenario = v;
        } else if (a == "--no-scenario") {
            o.scenario.clear();
        } else if (a == "--resources") {
            const char* v = value("--resources");
            if (!v) return false;
            o.resources.push_back(v);
            o.defaultResources = false;
        } else if (a == "--time-scale") {
            if (!number("--time-scale", o.timeScale)) return false;
        } else if (a == "--timeout") {
            if (!number("--timeout", o.timeoutSeconds)) return false;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (o.command.empty()) return error = "no program given", false;
    if (o.defaultResources) o.resources.push_back(ZT_SOURCE_DIR "/sim/data/demo_machine.resources.json");
    o.command.push_back(nullptr);
    return true;
}

// Waits for the child; kills it once the time is up.
int WaitForChild(pid_t child, double timeoutSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(child, &status, WNOHANG);
        if (r == child) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return 1;
        }
        if (r < 0) return 1;
        if (std::chrono::steady_clock::now() > end) {
            std::fprintf(stderr, "zt-sim-run: %s ran longer than %.0f s, killed\n", "program", timeoutSeconds);
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return 124;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!Parse(argc, argv, o, error)) return Usage(error.c_str());
    try {
        ZtSim::SimOptions simOptions;
        simOptions.localName = "zt-sim";
        simOptions.resourceFiles = o.resources;
        ZtSim::Simulator sim(simOptions);

        std::unique_ptr<ZtSim::ScenarioRunner> runner;
        if (!o.scenario.empty()) {
            ZtSim::Scenario scenario;
            if (!ZtSim::LoadScenarioFile(o.scenario, scenario, error)) return Usage(error.c_str());
            runner = std::make_unique<ZtSim::ScenarioRunner>(ZtSim::EventLoggerOf(sim.Local()), scenario);
            runner->SetTimeScale(o.timeScale);
            runner->Start();
        }

        // Set before the child exists; it inherits the environment.
        ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);
        pid_t child = 0;
        if (int err = posix_spawnp(&child, o.command[0], nullptr, nullptr, o.command.data(), environ); err != 0) {
            std::fprintf(stderr, "zt-sim-run: cannot start %s: %s\n", o.command[0], std::strerror(err));
            return 127;
        }
        const int status = WaitForChild(child, o.timeoutSeconds);
        if (runner) runner->Stop();
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zt-sim-run: %s\n", e.what());
        return 1;
    }
}
