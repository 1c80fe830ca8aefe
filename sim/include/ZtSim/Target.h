// Target.h - one simulated controller: its NetId, its services by port and
// its runtime state.
#ifndef ZT_SIM_TARGET_H
#define ZT_SIM_TARGET_H

#include <chrono>
#include <deque>
#include <map>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "SimTypes.h"

namespace ZtSim {

class Router;

// Runtime states a target reports through read state.
enum : uint16_t {
    kStateInvalid = 0,
    kStateRun = 5,
    kStateStop = 6,
    kStateError = 11,
    kStateConfig = 15,    // configuration mode
    kStateReconfig = 16,  // between states while the runtime reconfigures
};

// One step of a scheduled state change: afterMs after the step before it (or
// after the schedule was made, for the first), the target reports vdlState.
struct StateStep {
    uint32_t afterMs = 0;
    uint16_t vdlState = 0;
};

class Target {
public:
    Target(Router& router, const MrxNetId& netId, std::string name);

    const MrxNetId& NetId() const { return netId_; }
    const std::string& Name() const { return name_; }

    // Services. Adding a service to a port replaces the one there.
    void AddService(uint16_t port, std::shared_ptr<Service> service);
    void RemoveService(uint16_t port);
    std::shared_ptr<Service> FindService(uint16_t port) const;
    template <class T>
    std::shared_ptr<T> ServiceAs(uint16_t port) const {
        return std::dynamic_pointer_cast<T>(FindService(port));
    }

    // Sends one sample to every subscriber of (port, group, offset); returns
    // how many subscriptions it reached. timeStamp 0 means now.
    size_t Publish(uint16_t port, uint32_t indexGroup, uint32_t indexOffset, std::span<const uint8_t> bytes,
                   uint64_t timeStamp = 0);
    // The same for many samples at once, made first and then written to each
    // subscriber in one go (load tools: the sender outpaces any client);
    // beforeWrite (may be empty) runs once everything is made, right before
    // the first write. Returns how many subscriptions got the whole burst.
    size_t PublishBurst(uint16_t port, uint32_t indexGroup, uint32_t indexOffset,
                        const std::vector<std::vector<uint8_t>>& samples, uint64_t timeStamp = 0,
                        const std::function<void()>& beforeWrite = {});
    size_t SubscriberCount(uint16_t port, uint32_t indexGroup, uint32_t indexOffset) const;

    // The router's route table (the same for every target of this router).
    std::vector<RouteEntry> Routes() const;
    // Whether this is the router's own (local) target.
    bool IsLocal() const;

    // Runtime state (vdl state, device state) answered by read state.
    // SetState also cancels a schedule still running.
    void SetState(uint16_t vdlState, uint16_t deviceState = 0);
    // The runtime state then changes by itself, step by step, as time passes
    // (seen by every reader of the state); replaces a schedule still running.
    void ScheduleStates(const std::vector<StateStep>& steps);
    uint16_t VdlState() const;
    uint16_t DeviceState() const;

private:
    Router& router_;
    const MrxNetId netId_;
    const std::string name_;
    mutable std::mutex mutex_;
    std::map<uint16_t, std::shared_ptr<Service>> services_;
    mutable uint16_t vdlState_ = kStateRun;  // advanced by the schedule when read
    uint16_t deviceState_ = 0;
    // Steps not reached yet, applied when the state is read (caller holds mutex_).
    void ApplyDueSteps() const;
    mutable std::deque<std::pair<std::chrono::steady_clock::time_point, uint16_t>> schedule_;
};

}  // namespace ZtSim

#endif  // ZT_SIM_TARGET_H
