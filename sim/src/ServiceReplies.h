// ServiceReplies.h - the reply layouts of the simulated event logger
// service's requests and the reading of its hand-built request frames
// (internal to the simulator).
#ifndef ZT_SIM_SERVICE_REPLIES_H
#define ZT_SIM_SERVICE_REPLIES_H

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ZtSim/ResourceCatalog.h"
#include "ZtSim/SimTypes.h"

namespace ZtSim {

// A request frame: its type and the payload its header announces (bytes
// behind the payload are the frame's reserved tail and are ignored).
struct RequestFrame {
    uint16_t type = 0;
    uint16_t format = 0;
    std::span<const uint8_t> payload;
};
// nullopt when the bytes are shorter than the header, the version is not 1
// or the payload runs beyond the bytes.
std::optional<RequestFrame> ReadRequestFrame(std::span<const uint8_t> bytes);

// Stream reply: 24-byte head (stream header, handle, count or result, 12) and body.
std::vector<uint8_t> StreamReply(uint16_t type, uint32_t handle, uint32_t value, std::span<const uint8_t> body);
// A stream reply with a result other than 0 and its text (cut to kMaxResultText with the NUL).
std::vector<uint8_t> ResultReply(uint16_t type, uint32_t handle, uint32_t result, std::string_view text);
// Text reply: header, u32 0, u32 language, u32 16, u32 length with NUL, text and NUL.
std::vector<uint8_t> TextReply(uint16_t type, const ResourceCatalog::Text& text);
// List reply: header, u32 0, u32 language, u32 entries, u32 16, three NUL-terminated texts per entry.
std::vector<uint8_t> ListReply(uint16_t type, const ResourceCatalog::List& list);

// 1798: the request's bytes do not decode (or its filter or settings are not valid).
inline Reply Malformed() { return Reply::Error(MRX_ERR_INVALID_DATA); }
inline Reply NotSupported() { return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED); }

}  // namespace ZtSim

#endif  // ZT_SIM_SERVICE_REPLIES_H
