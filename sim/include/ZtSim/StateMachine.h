// StateMachine.h - how a simulated target's runtime changes state when a host
// asks it to (write control on the system service, port 10000).
//
//   write control 16 (to configuration mode): the runtime keeps its state for
//       leaveMs, reconfigures (state 16) for configMs, then reports 15.
//   write control 2 (restart into run): the same with restartMs, then 5.
// Any other control state gives 1793. The device state and data are ignored.
// Asking again while a change runs starts the change anew.
#ifndef ZT_SIM_STATE_MACHINE_H
#define ZT_SIM_STATE_MACHINE_H

#include <atomic>
#include <memory>

#include "SimTypes.h"

namespace ZtSim {

class SystemService;

constexpr uint16_t kControlToConfig = 16;
constexpr uint16_t kControlToRun = 2;

// Delays of the state changes, in milliseconds. The defaults are those of a
// small real runtime; tests shorten them.
struct StateTiming {
    uint32_t leaveMs = 100;     // until the runtime leaves its state
    uint32_t configMs = 400;    // reconfiguring on the way into configuration mode
    uint32_t restartMs = 1500;  // reconfiguring on the way into run
};

class StateMachine {
public:
    explicit StateMachine(const StateTiming& timing) : timing_(timing) {}

    // Serves write control of the given system service, which then shares
    // the ownership of machine.
    static void Register(const std::shared_ptr<StateMachine>& machine, SystemService& service);
    Reply Control(Target& target, const Request& request);
    size_t ControlRequests() const { return requests_.load(); }

private:
    const StateTiming timing_;
    std::atomic<size_t> requests_{0};
};

}  // namespace ZtSim

#endif  // ZT_SIM_STATE_MACHINE_H
