// FaultInjector.h - the simulated router misbehaving on purpose.
//
// A rule matches requests by port, index group, index offset and request
// type (the u16 at byte 4 of the data written, as the event logger service's
// frames and streams carry it); an unset field matches everything. Rules
// apply before the service sees the request, except CutReply, which lets the
// service answer and then cuts its reply. So, for the event logger service:
//   error 6 for the next 3 requests:  FailNext(3, 6, 132)
//   1802 for the next log read:        FailNext(1, 1802, 132, 200)
//   1797 asking for 4096 bytes:        HintNext(1, 4096, 132, 500)
//   a reply cut to 30 bytes:           CutNext(1, 30, 132, 200)
//   half a second more per request:    DelayNext(-1, 500, 132)
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
    SizeHint,  // answer 1797 with `size` as the size needed
    CutReply,  // serve the request, then send only the first `size` bytes of the reply data
};

struct FaultRule {
    FaultKind kind = FaultKind::Error;
    uint32_t error = 0;
    uint32_t delayMs = 0;
    int count = 1;  // matching requests it applies to; negative: until cleared
    std::optional<uint16_t> port;
    std::optional<uint32_t> indexGroup;
    // Fields below came later: rules written as {kind, error, delayMs, count, port, group} keep their meaning.
    std::optional<uint32_t> indexOffset = std::nullopt;
    std::optional<uint16_t> requestType = std::nullopt;
    uint32_t size = 0;  // SizeHint: the size announced; CutReply: the bytes kept
};

// What a rule is matched against.
struct FaultTarget {
    uint16_t port = 0;
    bool hasGroup = false;  // read, write, read-write and notifications carry a group
    uint32_t indexGroup = 0;
    uint32_t indexOffset = 0;
    std::optional<uint16_t> requestType;
};

// Rules are checked in the order they were added; the first rule that
// matches a request applies to it and counts down.
class FaultInjector {
public:
    void Add(const FaultRule& rule);
    void Clear();
    std::optional<FaultRule> Take(const FaultTarget& request);
    std::optional<FaultRule> Take(uint16_t port, uint32_t indexGroup, bool hasGroup);

    // Shorthands.
    void FailNext(int count, uint32_t error, std::optional<uint16_t> port = std::nullopt,
                  std::optional<uint32_t> indexGroup = std::nullopt);
    void DelayNext(int count, uint32_t delayMs, std::optional<uint16_t> port = std::nullopt,
                   std::optional<uint32_t> indexGroup = std::nullopt);
    void DropNext(std::optional<uint16_t> port = std::nullopt);
    void HintNext(int count, uint32_t size, std::optional<uint16_t> port = std::nullopt,
                  std::optional<uint32_t> indexGroup = std::nullopt);
    void CutNext(int count, uint32_t keep, std::optional<uint16_t> port = std::nullopt,
                 std::optional<uint32_t> indexGroup = std::nullopt);

private:
    std::mutex mutex_;
    std::vector<FaultRule> rules_;
};

}  // namespace ZtSim

#endif  // ZT_SIM_FAULT_INJECTOR_H
