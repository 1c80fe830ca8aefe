#include "ZtSim/SimTypes.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "MrxWire.h"
#include "ZtSim/Target.h"

namespace ZtSim {

Reply Reply::SizeHint(uint32_t needed) {
    Reply r;
    r.error = MRX_ERR_INVALID_SIZE;
    r.data.resize(4);
    ZtMrxWire::Put32(r.data.data(), needed);
    return r;
}

uint32_t Service::CanSubscribe(Target&, uint32_t, uint32_t) { return MRX_ERR_SERVICE_NOT_SUPPORTED; }

void Service::OnSubscribed(Target&, uint32_t, uint32_t) {}

Reply Service::Default(Target& target, const Request& request) {
    if (request.kind == RequestKind::ReadState) return Reply::State(target.VdlState(), target.DeviceState());
    return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
}

std::string NetIdText(const MrxNetId& id) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%u.%u.%u.%u.%u.%u", id.b[0], id.b[1], id.b[2], id.b[3], id.b[4], id.b[5]);
    return buf;
}

std::optional<MrxNetId> ParseNetId(std::string_view text) {
    MrxNetId id{};
    size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        unsigned v = 0;
        size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            v = v * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || v > 255) return std::nullopt;
        id.b[i] = static_cast<unsigned char>(v);
        if (i < 5) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
    }
    if (pos != text.size()) return std::nullopt;
    return id;
}

uint64_t FileTimeNow() {
    using namespace std::chrono;
    // 100-ns intervals between 1601-01-01 and 1970-01-01.
    constexpr uint64_t kEpochDelta = 116444736000000000ull;
    auto since = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return kEpochDelta + static_cast<uint64_t>(since / 100);
}

Bytes& Bytes::U16(uint16_t v) {
    uint8_t b[2];
    ZtMrxWire::Put16(b, v);
    return Raw(b, 2);
}

Bytes& Bytes::U32(uint32_t v) {
    uint8_t b[4];
    ZtMrxWire::Put32(b, v);
    return Raw(b, 4);
}

Bytes& Bytes::U64(uint64_t v) {
    uint8_t b[8];
    ZtMrxWire::Put64(b, v);
    return Raw(b, 8);
}

Bytes& Bytes::Raw(const void* p, size_t n) {
    const auto* c = static_cast<const uint8_t*>(p);
    b_.insert(b_.end(), c, c + n);
    return *this;
}

Bytes& Bytes::Text(std::string_view s, bool nul) {
    Raw(s.data(), s.size());
    if (nul) b_.push_back(0);
    return *this;
}

}  // namespace ZtSim
