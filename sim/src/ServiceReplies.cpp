#include "ServiceReplies.h"

#include <algorithm>

#include "MrxWire.h"
#include "ZtSim/EventLoggerService.h"

namespace ZtSim {

namespace {

constexpr uint32_t kVersion = 1;
constexpr uint32_t kBodyOffset = 12;  // from byte 12: the block starts at 24
constexpr uint32_t kTextOffset = 16;  // from byte 12: the text starts at 28

Bytes& Header(Bytes& b, uint16_t type, size_t payload) {
    return b.U32(kVersion).U16(type).U16(0).U32(static_cast<uint32_t>(payload));
}

}  // namespace

std::optional<RequestFrame> ReadRequestFrame(std::span<const uint8_t> bytes) {
    if (bytes.size() < kEventStreamHeaderSize || ZtMrxWire::Get32(bytes.data()) != kVersion) return std::nullopt;
    RequestFrame f;
    f.type = ZtMrxWire::Get16(bytes.data() + 4);
    f.format = ZtMrxWire::Get16(bytes.data() + 6);
    const uint32_t length = ZtMrxWire::Get32(bytes.data() + 8);
    if (length > bytes.size() - kEventStreamHeaderSize) return std::nullopt;
    f.payload = bytes.subspan(kEventStreamHeaderSize, length);
    return f;
}

std::vector<uint8_t> StreamReply(uint16_t type, uint32_t handle, uint32_t value, std::span<const uint8_t> body) {
    Bytes b;
    Header(b, type, kStreamReplyHeadSize - kEventStreamHeaderSize + body.size()).U32(handle).U32(value).U32(kBodyOffset);
    if (!body.empty()) b.Raw(body.data(), body.size());
    return b.Take();
}

std::vector<uint8_t> ResultReply(uint16_t type, uint32_t handle, uint32_t result, std::string_view text) {
    text = text.substr(0, std::min(text.size(), kMaxResultText - 1));
    std::vector<uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    return StreamReply(type, handle, result, body);
}

std::vector<uint8_t> TextReply(uint16_t type, const ResourceCatalog::Text& text) {
    const auto length = static_cast<uint32_t>(text.text.size() + 1);
    Bytes b;
    Header(b, type, 16 + length).U32(0).U32(text.langId).U32(kTextOffset).U32(length).Text(text.text);
    return b.Take();
}

std::vector<uint8_t> ListReply(uint16_t type, const ResourceCatalog::List& list) {
    size_t texts = 0;
    for (const auto& e : list.entries)
        for (const auto& t : e) texts += t.size() + 1;
    Bytes b;
    Header(b, type, 16 + texts)
        .U32(0)
        .U32(list.langId)
        .U32(static_cast<uint32_t>(list.entries.size()))
        .U32(kTextOffset);
    for (const auto& e : list.entries)
        for (const auto& t : e) b.Text(t);
    return b.Take();
}

}  // namespace ZtSim
