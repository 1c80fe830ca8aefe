// The built-in resource set of the simulated event logger service: the texts
// of the bundled filler station scenario, in English and German. The format
// is the resource file format of ResourceCatalog.h.
#include "ZtSim/ResourceCatalog.h"

namespace ZtSim {

const char* DefaultResourceJson() {
    return R"json({
  "classes": [
    {
      "class": "{DBBBD680-3FF6-4C18-867A-621D76226F85}",
      "name": {"1033": "Batch", "1031": "Charge"},
      "events": [
        {"id": 100, "text": {"1033": "Batch {0} started, {1} bottles planned",
                             "1031": "Charge {0} gestartet, {1} Flaschen geplant"}},
        {"id": 101, "text": {"1033": "Batch {0} finished: {1} bottles, {2:.2f} % rejected",
                             "1031": "Charge {0} beendet: {1} Flaschen, {2:.2f} % ausgeschleust"}}
      ]
    },
    {
      "class": "{C937A3F3-2C20-45CA-B097-0E6E3CC73AC8}",
      "name": {"1033": "Process", "1031": "Prozess"},
      "events": [
        {"id": 2001, "text": {"1033": "Product tank level low: {0:.1f} % (limit {1} %)",
                              "1031": "F\u00fcllstand Produkttank niedrig: {0:.1f} % (Grenze {1} %)"},
         "causeRemedy": [{"id": "1", "cause": {"1033": "Supply valve closed", "1031": "Zulaufventil geschlossen"},
                          "remedy": {"1033": "Open the supply valve", "1031": "Zulaufventil \u00f6ffnen"}}]},
        {"id": 2040, "text": {"1033": "Label sensor dirty, signal quality {0} %",
                              "1031": "Etikettensensor verschmutzt, Signalqualit\u00e4t {0} %"}},
        {"id": 2107, "text": {"1033": "Capper motor {0} overtemperature: {1:.1f} \u00b0C",
                              "1031": "Verschlie\u00dfermotor {0} \u00dcbertemperatur: {1:.1f} \u00b0C"},
         "causeRemedy": [{"id": "1", "cause": {"1033": "Fan filter clogged", "1031": "L\u00fcfterfilter verstopft"},
                          "remedy": {"1033": "Clean the fan filter", "1031": "L\u00fcfterfilter reinigen"}}]}
      ]
    },
    {
      "class": "{6C5F9DF0-8F02-4D64-8E22-B86695E883C6}",
      "name": {"1033": "Safety", "1031": "Sicherheit"},
      "events": [
        {"id": 300, "text": {"1033": "Emergency stop {0} pressed", "1031": "Not-Halt {0} bet\u00e4tigt"}},
        {"id": 310, "text": {"1033": "Guard door {0} open", "1031": "Schutzt\u00fcr {0} offen"}}
      ]
    }
  ]
})json";
}

}  // namespace ZtSim
