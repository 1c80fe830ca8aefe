// ReplyBytes.h - replies of the event logger service built byte by byte for
// tests, independently of the library's parsers.
#ifndef ZT_TEST_REPLY_BYTES_H
#define ZT_TEST_REPLY_BYTES_H

#include <cstdint>
#include <string>
#include <vector>

namespace ZtTest {

using Bytes = std::vector<uint8_t>;

inline void Le32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// Bytes of a text, its NULs included ("a\0b" needs the length form).
inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
// "01 0A FF" and the like; spaces are skipped.
inline Bytes Hex(const std::string& text) {
    Bytes out;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

// Header (version 1, type, format 0, payload length), the words at 12, 16,
// 20 (and 24 when four are given), then the body. payload: the length the
// header claims; by default the true one.
inline Bytes ServiceReply(uint16_t type, std::initializer_list<uint32_t> words, const Bytes& body,
                          int64_t payload = -1) {
    Bytes r = {1, 0, 0, 0, static_cast<uint8_t>(type), static_cast<uint8_t>(type >> 8), 0, 0};
    Le32(r, payload >= 0 ? static_cast<uint32_t>(payload) : static_cast<uint32_t>(4 * words.size() + body.size()));
    for (uint32_t w : words) Le32(r, w);
    return Cat(r, body);
}
// Stream reply: handle, record count or result, block offset (from 12).
inline Bytes StreamReply(uint16_t type, uint32_t handle, uint32_t countOrResult, uint32_t offset, const Bytes& body,
                         int64_t payload = -1) {
    return ServiceReply(type, {handle, countOrResult, offset}, body, payload);
}
// Text reply: language, text offset (from 12), text length with its NUL.
inline Bytes TextReply(uint16_t type, uint32_t language, uint32_t offset, uint32_t length, const Bytes& body,
                       int64_t payload = -1) {
    return ServiceReply(type, {0, language, offset, length}, body, payload);
}
// List reply: language, entry count, offset (from 12) of the first text.
inline Bytes ListReply(uint16_t type, uint32_t language, uint32_t count, uint32_t offset, const Bytes& body,
                       int64_t payload = -1) {
    return ServiceReply(type, {0, language, count, offset}, body, payload);
}
// The read of all active events: version, count, byte length, records.
inline Bytes ActiveReply(uint32_t count, uint32_t length, const Bytes& body) {
    Bytes r;
    Le32(r, 1);
    Le32(r, count);
    Le32(r, length);
    return Cat(r, body);
}

}  // namespace ZtTest

#endif  // ZT_TEST_REPLY_BYTES_H
