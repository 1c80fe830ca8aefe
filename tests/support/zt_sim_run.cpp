// zt-sim-run - runs one program against a fresh simulated controller.
//
//   zt-sim-run [--scenario FILE] [--resources FILE]... [--time-scale F] -- PROGRAM [ARGS...]
//
// Starts the in-process simulator on a free loopback port (with the
// scenario playing, repeated as the file says, its times multiplied by F),
// points the router client at it through ZT_MRX_ROUTER, runs PROGRAM as a
// child with that environment and returns the child's exit status (1 when
// it could not be started or died of a signal). Tests of the examples and
// of the C binding use it to give a program a controller to talk to.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ZtSim/ScenarioRunner.h"
#include "ZtSim/Simulator.h"

extern char** environ;

int main(int argc, char** argv) {
    ZtSim::SimOptions options;
    std::string scenarioPath;
    double timeScale = 1.0;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--scenario" && hasValue)
            scenarioPath = argv[++i];
        else if (arg == "--resources" && hasValue)
            options.resourceFiles.emplace_back(argv[++i]);
        else if (arg == "--time-scale" && hasValue)
            timeScale = std::atof(argv[++i]);
        else {
            std::fprintf(stderr, "zt-sim-run: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr, "usage: zt-sim-run [--scenario F] [--resources F] [--time-scale X] -- PROGRAM [ARGS]\n");
        return 2;
    }
    char** child = argv + i + 1;

    try {
        ZtSim::Simulator sim(options);
        std::unique_ptr<ZtSim::ScenarioRunner> runner;
        if (!scenarioPath.empty()) {
            ZtSim::Scenario scenario;
            std::string error;
            if (!ZtSim::LoadScenarioFile(scenarioPath, scenario, error)) {
                std::fprintf(stderr, "zt-sim-run: %s: %s\n", scenarioPath.c_str(), error.c_str());
                return 2;
            }
            runner = std::make_unique<ZtSim::ScenarioRunner>(ZtSim::EventLoggerOf(sim.Local()), scenario);
            runner->SetTimeScale(timeScale);
            runner->Start();
        }
        ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);
        pid_t pid = 0;
        if (posix_spawnp(&pid, child[0], nullptr, nullptr, child, environ) != 0) {
            std::fprintf(stderr, "zt-sim-run: cannot start %s\n", child[0]);
            return 1;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) return 1;
        }
        if (runner) runner->Stop();
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zt-sim-run: %s\n", e.what());
        return 1;
    }
}
