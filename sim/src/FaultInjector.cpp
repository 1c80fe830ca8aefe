#include "ZtSim/FaultInjector.h"

namespace ZtSim {

void FaultInjector::Add(const FaultRule& rule) {
    std::lock_guard<std::mutex> lk(mutex_);
    rules_.push_back(rule);
}

void FaultInjector::Clear() {
    std::lock_guard<std::mutex> lk(mutex_);
    rules_.clear();
}

std::optional<FaultRule> FaultInjector::Take(uint16_t port, uint32_t indexGroup, bool hasGroup) {
    FaultTarget t;
    t.port = port;
    t.indexGroup = indexGroup;
    t.hasGroup = hasGroup;
    return Take(t);
}

std::optional<FaultRule> FaultInjector::Take(const FaultTarget& t) {
    std::lock_guard<std::mutex> lk(mutex_);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->port && *it->port != t.port) continue;
        if (it->indexGroup && (!t.hasGroup || *it->indexGroup != t.indexGroup)) continue;
        if (it->indexOffset && (!t.hasGroup || *it->indexOffset != t.indexOffset)) continue;
        if (it->requestType && it->requestType != t.requestType) continue;
        FaultRule r = *it;
        if (it->count > 0 && --it->count == 0) rules_.erase(it);
        return r;
    }
    return std::nullopt;
}

namespace {

FaultRule Rule(FaultKind kind, int count, std::optional<uint16_t> port, std::optional<uint32_t> indexGroup) {
    FaultRule r;
    r.kind = kind;
    r.count = count;
    r.port = port;
    r.indexGroup = indexGroup;
    return r;
}

}  // namespace

void FaultInjector::FailNext(int count, uint32_t error, std::optional<uint16_t> port,
                             std::optional<uint32_t> indexGroup) {
    FaultRule r = Rule(FaultKind::Error, count, port, indexGroup);
    r.error = error;
    Add(r);
}

void FaultInjector::DelayNext(int count, uint32_t delayMs, std::optional<uint16_t> port,
                              std::optional<uint32_t> indexGroup) {
    FaultRule r = Rule(FaultKind::Delay, count, port, indexGroup);
    r.delayMs = delayMs;
    Add(r);
}

void FaultInjector::HintNext(int count, uint32_t size, std::optional<uint16_t> port,
                             std::optional<uint32_t> indexGroup) {
    FaultRule r = Rule(FaultKind::SizeHint, count, port, indexGroup);
    r.size = size;
    Add(r);
}

void FaultInjector::CutNext(int count, uint32_t keep, std::optional<uint16_t> port,
                            std::optional<uint32_t> indexGroup) {
    FaultRule r = Rule(FaultKind::CutReply, count, port, indexGroup);
    r.size = keep;
    Add(r);
}

void FaultInjector::DropNext(std::optional<uint16_t> port) { Add(Rule(FaultKind::Drop, 1, port, std::nullopt)); }

}  // namespace ZtSim
