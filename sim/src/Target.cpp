#include "ZtSim/Target.h"

#include "Router.h"

namespace ZtSim {

Target::Target(Router& router, const MrxNetId& netId, std::string name)
    : router_(router), netId_(netId), name_(std::move(name)) {}

void Target::AddService(uint16_t port, std::shared_ptr<Service> service) {
    std::lock_guard<std::mutex> lk(mutex_);
    services_[port] = std::move(service);
}

void Target::RemoveService(uint16_t port) {
    std::lock_guard<std::mutex> lk(mutex_);
    services_.erase(port);
}

std::shared_ptr<Service> Target::FindService(uint16_t port) const {
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = services_.find(port);
    return it == services_.end() ? nullptr : it->second;
}

size_t Target::Publish(uint16_t port, uint32_t indexGroup, uint32_t indexOffset, std::span<const uint8_t> bytes,
                       uint64_t timeStamp) {
    return router_.Publish(netId_, port, indexGroup, indexOffset, bytes, timeStamp);
}

size_t Target::PublishBurst(uint16_t port, uint32_t indexGroup, uint32_t indexOffset,
                            const std::vector<std::vector<uint8_t>>& samples, uint64_t timeStamp,
                            const std::function<void()>& beforeWrite) {
    return router_.PublishBurst(netId_, port, indexGroup, indexOffset, samples, timeStamp, beforeWrite);
}

size_t Target::SubscriberCount(uint16_t port, uint32_t indexGroup, uint32_t indexOffset) const {
    return router_.SubscriberCount(netId_, port, indexGroup, indexOffset);
}

std::vector<RouteEntry> Target::Routes() const { return router_.Routes(); }

bool Target::IsLocal() const { return &router_.Local() == this; }

void Target::SetState(uint16_t vdlState, uint16_t deviceState) {
    std::lock_guard<std::mutex> lk(mutex_);
    schedule_.clear();
    vdlState_ = vdlState;
    deviceState_ = deviceState;
}

void Target::ScheduleStates(const std::vector<StateStep>& steps) {
    std::lock_guard<std::mutex> lk(mutex_);
    schedule_.clear();
    auto at = std::chrono::steady_clock::now();
    for (const StateStep& s : steps) {
        at += std::chrono::milliseconds(s.afterMs);
        schedule_.emplace_back(at, s.vdlState);
    }
    ApplyDueSteps();
}

void Target::ApplyDueSteps() const {
    const auto now = std::chrono::steady_clock::now();
    while (!schedule_.empty() && schedule_.front().first <= now) {
        vdlState_ = schedule_.front().second;
        schedule_.pop_front();
    }
}

uint16_t Target::VdlState() const {
    std::lock_guard<std::mutex> lk(mutex_);
    ApplyDueSteps();
    return vdlState_;
}

uint16_t Target::DeviceState() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return deviceState_;
}

}  // namespace ZtSim
