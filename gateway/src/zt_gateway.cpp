// zt-gateway: carries the alarms and messages of the configured controllers
// to an MQTT broker until SIGINT or SIGTERM.
//
//   zt-gateway --config /etc/zt-gateway.json [--log-level debug]
//
// Exit status: 0 after a signal, 1 when the gateway cannot start (the queue
// file), 2 for a bad command line or configuration.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <pthread.h>

#include "Gateway.h"
#include "GatewayConfig.h"
#include "GatewayLog.h"
#include "LoggerSource.h"

int main(int argc, char** argv) {
    using namespace ZtGateway;
    CLI::App app{"zt-gateway: alarms and messages of many controllers to an MQTT broker"};
    std::string configPath, logLevel;
    app.add_option("-c,--config", configPath, "configuration file (JSON)")->required();
    app.add_option("--log-level", logLevel, "debug, info, warn or error (overrides the configuration)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    GatewayConfig config;
    std::string error;
    if (!LoadGatewayConfig(configPath, config, error)) {
        std::cerr << "zt-gateway: " << configPath << ": " << error << '\n';
        return 2;
    }
    LogLevel level;
    if (!logLevel.empty() && !ParseLogLevel(logLevel, level)) {
        std::cerr << "zt-gateway: --log-level: expected debug, info, warn or error\n";
        return 2;
    }
    if (logLevel.empty()) ParseLogLevel(config.logLevel, level);
    SetLogLevel(level);
    // The router client reads its address from the environment when a link
    // opens: set once here, before any thread exists.
    if (!config.targets.front().router.empty()) ::setenv("ZT_MRX_ROUTER", config.targets.front().router.c_str(), 1);
    // Every thread started from here on inherits the blocked signals; main
    // alone takes them with sigwait.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Gateway gateway(config, MakeLoggerSource);
    if (!gateway.Start(error)) {
        LogError("gateway", error);
        return 1;
    }
    int sig = 0;
    sigwait(&signals, &sig);
    LogInfo("gateway", std::string("stopping (") + (sig == SIGINT ? "SIGINT" : "SIGTERM") + ")");
    gateway.Stop();
    return 0;
}
