#include "ZtSim/StateMachine.h"

#include "ZtSim/SystemService.h"
#include "ZtSim/Target.h"

namespace ZtSim {

void StateMachine::Register(const std::shared_ptr<StateMachine>& machine, SystemService& service) {
    service.SetControlHandler([machine](Target& t, const Request& r) { return machine->Control(t, r); });
}

Reply StateMachine::Control(Target& target, const Request& request) {
    requests_.fetch_add(1);
    switch (request.vdlState) {
        case kControlToConfig:
            target.ScheduleStates({{timing_.leaveMs, kStateReconfig}, {timing_.configMs, kStateConfig}});
            return Reply::Ok();
        case kControlToRun:
            target.ScheduleStates({{timing_.leaveMs, kStateReconfig}, {timing_.restartMs, kStateRun}});
            return Reply::Ok();
        default:
            return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    }
}

}  // namespace ZtSim
