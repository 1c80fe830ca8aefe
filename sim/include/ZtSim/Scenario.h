// Scenario.h - a timed list of event calls for the simulated event logger
// service, read from JSON and played by ScenarioRunner.
//
//   {
//     "name": "Filler station",
//     "repeat": false,          // optional: play again and again until stopped
//     "periodMs": 12000,        // optional: length of one pass (at least the last step's time)
//     "events": {               // optional: named descriptions the steps refer to
//       "doorOpen": {
//         "class": "{6F1E2A40-0C3B-4C59-9A62-1D7E8B3C5A01}", "id": 1001, "qualifier": 0,
//         "severity": 3, "needsConfirmation": true,
//         "source": {"id": 12, "guid": "{...}", "name": "Filler.Door"},
//         "json": {"area": "filler"},          // a text, or any JSON value (written compactly)
//         "arguments": [{"type": "bstr", "value": "left"}, {"type": "int32", "value": 2}]
//       }
//     },
//     "steps": [
//       {"at": 0,    "action": "raise",   "event": "doorOpen"},
//       {"at": 2500, "action": "confirm", "event": "doorOpen"},
//       {"at": 4000, "action": "clear",   "event": "doorOpen"},
//       {"at": 5000, "action": "message", "class": "{...}", "id": 7, "severity": 1,
//        "arguments": [{"type": "string", "value": "Batch 42 started"}]},
//       {"at": 6000, "action": "dispose", "event": "doorOpen"},
//       {"at": 7000, "action": "clearList"}
//     ]
//   }
//
// "at" is milliseconds from the start of a pass. Steps play in the order of
// their times, steps of equal time in file order. Actions: raise, clear,
// confirm, dispose, clearList, message. A step takes the named event's fields
// and overrides them with its own; every action but clearList needs a class
// and an id. Severity is 0..4. Argument types: bool, int8, int16, int32,
// int64, uint8, uint16, uint32, uint64, float, double, char, wchar, string,
// bstr; integer values are range-checked; char and wchar take a number or a
// one-character ASCII text; string and bstr take a text.
//
// The simulator's configuration file may name a scenario with the member
// "scenario" (a path, relative to the configuration file's folder).
#ifndef ZT_SIM_SCENARIO_H
#define ZT_SIM_SCENARIO_H

#include <cstdint>
#include <string>
#include <vector>

#include "EventRecord.h"

namespace ZtSim {

enum class ScenarioAction : uint8_t { Raise, Clear, Confirm, Dispose, ClearList, Message };
const char* ScenarioActionName(ScenarioAction action);

struct ScenarioStep {
    uint32_t atMs = 0;
    ScenarioAction action = ScenarioAction::Message;
    EventDescription event;  // unused by clearList
};

struct Scenario {
    std::string name;
    bool repeat = false;
    uint32_t periodMs = 0;  // one pass: max(periodMs, time of the last step)
    std::vector<ScenarioStep> steps;  // sorted by time

    uint32_t PassMs() const;
};

// Parses scenario JSON; false with a message naming the place of the error.
bool ParseScenario(const std::string& json, Scenario& scenario, std::string& error);
bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& error);

// The "scenario" member of the simulator's configuration text, resolved
// against configPath's folder; empty when there is none. False with a message
// when the member is not a text.
bool ScenarioPathFromConfig(const std::string& configText, const std::string& configPath, std::string& scenarioPath,
                            std::string& error);

}  // namespace ZtSim

#endif  // ZT_SIM_SCENARIO_H
