// FaultInjector.h - the simulated router misbehaving on purpose.
#ifndef ZT_SIM_FAULT_INJECTOR_H
#define ZT_SIM_FAULT_INJECTOR_H

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace ZtSim {

enum class FaultKind : uint8_t {
    Error,     // answer with the given error code instead of serving the request
    Delay,     // wait delayMs, then serve the request normally
    Drop,      // close the client's connection without answering
    NoReply,   // swallow the request: the client times out
    Truncate,  // answer with a data reply whose length field exceeds the bytes sent
    Oversize,  // answer with more data than the client asked for
    Garbage,   // answer with a frame of an unknown command
};

struct FaultRule {
    FaultKind kind = FaultKind::Error;
    uint32_t error = 0;
    uint32_t delayMs = 0;
    int count = 1;  // matching requests it applies to; negative: until cleared
    std::optional<uint16_t> port;
    std::optional<uint32_t> indexGroup;
};

// Rules are checked in the order they were added; the first rule that
// matches a request applies to it and counts down.
class FaultInjector {
public:
    void Add(const FaultRule& rule);
    void Clear();
    std::optional<FaultRule> Take(uint16_t port, uint32_t indexGroup, bool hasGroup);

    // Shorthands.
    void FailNext(int count, uint32_t error, std::optional<uint16_t> port = std::nullopt);
    void DelayNext(int count, uint32_t delayMs, std::optional<uint16_t> port = std::nullopt);
    void DropNext(std::optional<uint16_t> port = std::nullopt);

private:
    std::mutex mutex_;
    std::vector<FaultRule> rules_;
};

}  // namespace ZtSim

#endif  // ZT_SIM_FAULT_INJECTOR_H
