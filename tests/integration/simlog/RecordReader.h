// RecordReader.h - a small reader of event records and notification frames,
// written apart from the simulator's builder so that a mistake in one shows
// up against the other. Every offset and size is checked against the bytes.
#ifndef ZT_TEST_RECORD_READER_H
#define ZT_TEST_RECORD_READER_H

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ZtTest {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

struct ReadArgument {
    uint16_t type = 0;
    std::vector<uint8_t> bytes;
};

struct ReadRecord {
    std::array<uint8_t, 16> eventClass{};
    uint32_t eventId = 0, keyQualifier = 0;
    uint16_t severity = 0;
    uint32_t sourceCount = 0, sourceOffset = 0, sourceSize = 0;
    uint8_t isRaised = 0;
    uint16_t eventType = 0;
    uint64_t raised = 0, cleared = 0, disposed = 0, confirmed = 0;
    uint16_t confirmation = 0;
    uint32_t jsonOffset = 0, jsonSize = 0;
    uint32_t argCount = 0, typesOffset = 0, typesSize = 0, dataOffset = 0, dataSize = 0;
    size_t length = 0;

    std::optional<uint32_t> sourceId;
    std::optional<std::array<uint8_t, 16>> sourceGuid;
    std::optional<std::string> sourceName;
    std::string json;
    std::vector<ReadArgument> args;
};

// Value size of an argument type; -1 for texts (up to and with the NUL), -2
// for codes that are not defined.
inline int ArgumentWidth(uint16_t type) {
    switch (type) {
        case 0: return 0;
        case 1: case 2: case 6: case 12: return 1;
        case 3: case 7: case 13: return 2;
        case 4: case 8: case 10: return 4;
        case 5: case 9: case 11: return 8;
        case 14: case 21: return -1;
        default: return -2;
    }
}

// Reads one record from the front of bytes; an error text, or empty when it
// was read. A text argument takes the bytes up to and with its NUL, or none
// when the data block is used up (an empty text has no bytes).
inline std::string ReadEventRecord(std::span<const uint8_t> b, ReadRecord& r) {
    if (b.size() < 120) return "shorter than the head";
    const uint8_t* p = b.data();
    std::memcpy(r.eventClass.data(), p, 16);
    r.eventId = Le32(p + 16);
    r.keyQualifier = Le32(p + 20);
    r.severity = Le16(p + 24);
    r.sourceCount = Le32(p + 28);
    r.sourceOffset = Le32(p + 32);
    r.sourceSize = Le32(p + 36);
    r.isRaised = p[40];
    r.eventType = Le16(p + 42);
    r.raised = Le64(p + 48);
    r.cleared = Le64(p + 56);
    r.disposed = Le64(p + 64);
    r.confirmation = Le16(p + 72);
    r.confirmed = Le64(p + 80);
    r.jsonOffset = Le32(p + 88);
    r.jsonSize = Le32(p + 92);
    r.argCount = Le32(p + 96);
    r.typesOffset = Le32(p + 100);
    r.typesSize = Le32(p + 104);
    r.dataOffset = Le32(p + 108);
    r.dataSize = Le32(p + 112);
    const uint64_t length = 120ull + r.sourceSize + r.jsonSize + r.typesSize + r.dataSize;
    if (length > b.size()) return "length beyond the bytes";
    r.length = static_cast<size_t>(length);
    auto within = [&](uint64_t off, uint64_t size) { return off >= 120 && off + size <= length; };
    if (!within(r.sourceOffset, r.sourceSize) || !within(r.jsonOffset, r.jsonSize) ||
        !within(r.typesOffset, r.typesSize) || !within(r.dataOffset, r.dataSize))
        return "a tail outside the record";
    if (static_cast<uint64_t>(r.sourceCount) * 12 > r.sourceSize) return "source table beyond its block";
    for (uint32_t i = 0; i < r.sourceCount; ++i) {
        const uint8_t* d = p + r.sourceOffset + 12 * i;
        uint32_t type = Le32(d), off = Le32(d + 4), size = Le32(d + 8);
        if (off < r.sourceOffset || static_cast<uint64_t>(off) + size > r.sourceOffset + r.sourceSize)
            return "source item outside its block";
        if (type == 1 && size == 4 && !r.sourceId) r.sourceId = Le32(p + off);
        if (type == 2 && size == 16 && !r.sourceGuid) {
            std::array<uint8_t, 16> g;
            std::memcpy(g.data(), p + off, 16);
            r.sourceGuid = g;
        }
        if (type == 4 && !r.sourceName) {
            if (size == 0 || p[off + size - 1] != 0) return "source name without its NUL";
            r.sourceName = std::string(reinterpret_cast<const char*>(p + off), size - 1);
        }
    }
    if (r.jsonSize == 1) return "JSON attribute of the NUL alone";
    if (r.jsonSize > 1) {
        if (p[r.jsonOffset + r.jsonSize - 1] != 0) return "JSON attribute without its NUL";
        r.json.assign(reinterpret_cast<const char*>(p + r.jsonOffset), r.jsonSize - 1);
    }
    if (r.typesSize != 2ull * r.argCount) return "types size is not twice the count";
    size_t at = r.dataOffset, end = r.dataOffset + r.dataSize;
    for (uint32_t i = 0; i < r.argCount; ++i) {
        ReadArgument a;
        a.type = Le16(p + r.typesOffset + 2 * i);
        int w = ArgumentWidth(a.type);
        if (w == -2) return "undefined argument type";
        size_t n = static_cast<size_t>(w);
        if (w == -1) {
            n = 0;
            while (at + n < end && p[at + n] != 0) ++n;
            if (at + n < end) ++n;  // the NUL
            else if (n != 0) return "text argument without its NUL";
        }
        if (at + n > end) return "argument beyond the data block";
        a.bytes.assign(p + at, p + at + n);
        at += n;
        r.args.push_back(std::move(a));
    }
    if (at != end) return "data block not used up by the arguments";
    return {};
}

// A notification frame: stream header and payload.
struct ReadFrame {
    uint32_t version = 0;
    uint16_t type = 0, format = 0;
    uint32_t length = 0;
    std::vector<uint8_t> payload;
};

inline std::string ReadNotificationFrame(std::span<const uint8_t> b, ReadFrame& f) {
    if (b.size() < 12) return "shorter than the stream header";
    f.version = Le32(b.data());
    f.type = Le16(b.data() + 4);
    f.format = Le16(b.data() + 6);
    f.length = Le32(b.data() + 8);
    if (f.length != b.size() - 12) return "payload length differs from the bytes";
    f.payload.assign(b.begin() + 12, b.end());
    return {};
}

}  // namespace ZtTest

#endif  // ZT_TEST_RECORD_READER_H
