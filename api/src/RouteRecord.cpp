#include "RouteRecord.h"

#include <cstring>

namespace ZtEventLoggerVdlApi::detail {

std::optional<VdlRoute> DecodeRouteRecord(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size < kRouteFirstTextOffset) return std::nullopt;
    uint32_t len = static_cast<uint32_t>(bytes[kRouteTextLengthOffset]) |
                   (static_cast<uint32_t>(bytes[kRouteTextLengthOffset + 1]) << 8) |
                   (static_cast<uint32_t>(bytes[kRouteTextLengthOffset + 2]) << 16) |
                   (static_cast<uint32_t>(bytes[kRouteTextLengthOffset + 3]) << 24);
    if (len == 0 || len > size - kRouteFirstTextOffset) return std::nullopt;
    const char* first = reinterpret_cast<const char*>(bytes + kRouteFirstTextOffset);
    const void* firstEnd = std::memchr(first, 0, len);
    if (firstEnd == nullptr) return std::nullopt;
    const size_t nameOffset = kRouteFirstTextOffset + len;
    const char* name = reinterpret_cast<const char*>(bytes + nameOffset);
    const void* nameEnd = std::memchr(name, 0, size - nameOffset);
    if (nameEnd == nullptr) return std::nullopt;

    VdlRoute route;
    std::memcpy(route.netId.b, bytes, 6);
    route.firstText.assign(first, static_cast<const char*>(firstEnd));
    route.name.assign(name, static_cast<const char*>(nameEnd));
    return route;
}

}  // namespace ZtEventLoggerVdlApi::detail
