// RouteRecord.h - decoding one row of the router's route table (internal).
#ifndef ZT_ROUTE_RECORD_H
#define ZT_ROUTE_RECORD_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "ZtEventLoggerVdlApi/VdlListeners.h"

namespace ZtEventLoggerVdlApi::detail {

constexpr size_t kRouteRecordBuffer = 2048;
constexpr size_t kRouteTextLengthOffset = 32;
constexpr size_t kRouteFirstTextOffset = 44;

// Layout: NetId at 0 (6 bytes), the length L of the first text with its NUL at
// 32 (4 bytes), the first text at 44 (L bytes, NUL-terminated), the name after
// it up to the next NUL. Every length is checked against size: a record whose
// texts run past the bytes given, or lack their NUL, is refused.
std::optional<VdlRoute> DecodeRouteRecord(const uint8_t* bytes, size_t size);

}  // namespace ZtEventLoggerVdlApi::detail

#endif  // ZT_ROUTE_RECORD_H
