// LittleEndian.h - reading and writing the little-endian fields of target
// replies and requests (internal).
#ifndef ZT_LITTLE_ENDIAN_H
#define ZT_LITTLE_ENDIAN_H

#include <array>
#include <cstdint>

namespace ZtEventLoggerVdlApi::detail {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline std::array<uint8_t, 4> Le32Bytes(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

}  // namespace ZtEventLoggerVdlApi::detail

#endif  // ZT_LITTLE_ENDIAN_H
