// SimTypes.h - requests, replies and services of the simulated controller.
#ifndef ZT_SIM_SIM_TYPES_H
#define ZT_SIM_SIM_TYPES_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "MrxTypes.h"

namespace ZtSim {

class Target;

enum class RequestKind : uint8_t { Read, Write, ReadWrite, ReadState, WriteControl };

// One Vdl request as the router hands it to a service.
struct Request {
    RequestKind kind = RequestKind::Read;
    MrxAddr source;                 // the client's router NetId and port
    uint16_t port = 0;              // the service port on the target
    uint32_t indexGroup = 0;
    uint32_t indexOffset = 0;
    uint32_t readLength = 0;        // bytes the client accepts (read, read-write)
    std::span<const uint8_t> data;  // bytes written (write, read-write, write control)
    uint16_t vdlState = 0;          // write control
    uint16_t deviceState = 0;
};

// One row of the router's route table.
struct RouteEntry {
    std::string name;     // route name a host may connect by
    std::string address;  // the route's address text
    MrxNetId netId{};
};

// A service's answer. For read and read-write, data longer than the request's
// readLength is turned by the router into error 1797 with the size needed.
struct Reply {
    uint32_t error = 0;
    std::vector<uint8_t> data;
    uint16_t vdlState = 0;  // read state
    uint16_t deviceState = 0;

    static Reply Ok() { return {}; }
    static Reply Error(uint32_t e) {
        Reply r;
        r.error = e;
        return r;
    }
    static Reply Data(std::vector<uint8_t> bytes) {
        Reply r;
        r.data = std::move(bytes);
        return r;
    }
    // Error 1797 with the size the service needs in the first four bytes.
    static Reply SizeHint(uint32_t needed);
    static Reply State(uint16_t vdl, uint16_t device) {
        Reply r;
        r.vdlState = vdl;
        r.deviceState = device;
        return r;
    }
};

// A service listening on one port of a target. Handle runs on the router
// thread of the client connection that sent the request, so services are
// called from several threads at once and guard their own state.
class Service {
public:
    virtual ~Service() = default;
    virtual Reply Handle(Target& target, const Request& request) = 0;
    // 0 when a device notification on (group, offset) may be added, else the error.
    virtual uint32_t CanSubscribe(Target& target, uint32_t indexGroup, uint32_t indexOffset);
    // Called after a subscription was made and its reply sent.
    virtual void OnSubscribed(Target& target, uint32_t indexGroup, uint32_t indexOffset);

protected:
    // Read state from the target's runtime state; every other kind: 1793.
    static Reply Default(Target& target, const Request& request);
};

// NetId text "a.b.c.d.e.f".
std::string NetIdText(const MrxNetId& id);
std::optional<MrxNetId> ParseNetId(std::string_view text);

// Current time as FILETIME (100 ns since 1601-01-01 UTC).
uint64_t FileTimeNow();

// Little-endian byte building for reply records.
class Bytes {
public:
    Bytes& U8(uint8_t v) { b_.push_back(v); return *this; }
    Bytes& U16(uint16_t v);
    Bytes& U32(uint32_t v);
    Bytes& U64(uint64_t v);
    Bytes& Raw(const void* p, size_t n);
    Bytes& Text(std::string_view s, bool nul = true);
    Bytes& Zeros(size_t n) { b_.insert(b_.end(), n, 0); return *this; }
    size_t Size() const { return b_.size(); }
    std::vector<uint8_t>& Vec() { return b_; }
    std::vector<uint8_t> Take() { return std::move(b_); }

private:
    std::vector<uint8_t> b_;
};

}  // namespace ZtSim

#endif  // ZT_SIM_SIM_TYPES_H
