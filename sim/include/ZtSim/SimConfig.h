// SimConfig.h - the simulator's JSON configuration.
//
//   {
//     "bind": "127.0.0.1", "port": 47800,
//     "netId": "5.80.201.232.1.1", "name": "zt-sim",
//     "routes": [ {"name": "Line2", "address": "192.168.10.21", "netId": "5.12.34.56.1.1"} ],
//     "symbolFile": "symbols.json", "symbolPort": 851, "sandbox": "/var/tmp/zt-sim",
//     "targetInfo": "...", "stateTiming": {"leaveMs": 100, "configMs": 400, "restartMs": 1500},
//     "eventLog": "events.sqlite", "resourceFiles": ["sim/data/demo_machine.resources.json"]
//   }
//
// Every member is optional. Unknown members are left to other readers of the
// same file (services that take their own settings from it), such as
// "scenario": "scenarios/line.json" (Scenario.h, read by zt-target-sim).
#ifndef ZT_SIM_SIM_CONFIG_H
#define ZT_SIM_SIM_CONFIG_H

#include <string>

#include "Simulator.h"

namespace ZtSim {

// Fills options from JSON text; false with a message on a syntax or type error.
bool ParseSimOptions(const std::string& json, SimOptions& options, std::string& error);
// Reads a whole file; false with a message when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& text, std::string& error);
// Parses "name=netid@address" (address optional) as given on the command line.
bool ParseRouteArgument(const std::string& arg, RouteEntry& route, std::string& error);

}  // namespace ZtSim

#endif  // ZT_SIM_SIM_CONFIG_H
