// StreamWriter.h - request bytes as clients build them: binary key/value
// streams (keys hashed), hand-built frames, filter items. Written apart from
// the simulator's decoder so that a mistake in one shows up against the other.
#ifndef ZT_TEST_STREAM_WRITER_H
#define ZT_TEST_STREAM_WRITER_H

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ZtSim/EventRecord.h"

namespace ZtTest {

inline uint64_t HashKey(std::string_view key) {
    uint64_t r = 0;
    const size_t end = std::min(key.find('.'), key.size());
    for (size_t i = end; i-- > 0;) {
        const uint64_t s = static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(key[i])));
        r = ~(r >> 3) + ~s + (r << 7);
    }
    return r;
}

class Wire {
public:
    Wire& U8(uint8_t v) { return Put(&v, 1); }
    Wire& U16(uint16_t v) { return Le(v, 2); }
    Wire& U32(uint32_t v) { return Le(v, 4); }
    Wire& U64(uint64_t v) { return Le(v, 8); }
    Wire& Text(std::string_view s) {
        Put(s.data(), s.size());
        return U8(0);
    }
    Wire& Guid(const ZtSim::EventGuid& g) {
        uint8_t b[16];
        g.Bytes(b);
        return Put(b, 16);
    }
    Wire& Put(const void* p, size_t n) {
        const auto* c = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), c, c + n);
        return *this;
    }
    Wire& Le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    std::vector<uint8_t> bytes;
};

// The binary writer's calls.
class StreamWriter {
public:
    StreamWriter& Obj() { return Tag(1); }
    StreamWriter& Arr() { return Tag(2); }
    StreamWriter& Key(std::string_view k) {
        Tag(3);
        w.U64(HashKey(k));
        return *this;
    }
    StreamWriter& EndArr() { return Tag(5); }
    StreamWriter& EndObj() { return Tag(6); }
    StreamWriter& Bool(bool v) { return Val(1).U8Val(v ? 1 : 0); }
    StreamWriter& I32(int32_t v) { Val(4); w.U32(static_cast<uint32_t>(v)); return *this; }
    StreamWriter& U16(uint16_t v) { Val(7); w.U16(v); return *this; }
    StreamWriter& U32(uint32_t v) { Val(8); w.U32(v); return *this; }
    StreamWriter& U64(uint64_t v) { Val(9); w.U64(v); return *this; }
    StreamWriter& Str(std::string_view s) { Val(12); w.Text(s); return *this; }
    StreamWriter& Guid(const ZtSim::EventGuid& g) { Val(13); w.Guid(g); return *this; }
    StreamWriter& Raw(std::initializer_list<uint8_t> b) { w.Put(b.begin(), b.size()); return *this; }

    // The whole stream: header (version 1, type, format, payload length) and
    // body, at least 16 bytes as the serializer sends them.
    std::vector<uint8_t> Stream(uint16_t type, uint16_t format = 0) const {
        Wire s;
        s.U32(1).U16(type).U16(format).U32(static_cast<uint32_t>(w.bytes.size()));
        s.Put(w.bytes.data(), w.bytes.size());
        while (s.bytes.size() < 16) s.U8(0);
        return s.bytes;
    }
    Wire w;

private:
    StreamWriter& Tag(uint8_t t) { w.U8(t); return *this; }
    StreamWriter& Val(uint8_t type) { w.U8(4).U8(type); return *this; }
    StreamWriter& U8Val(uint8_t v) { w.U8(v); return *this; }
};

// A JSON body (format 1) as the JSON writer sends it: text and NUL.
inline std::vector<uint8_t> JsonStream(uint16_t type, std::string_view json) {
    Wire s;
    s.U32(1).U16(type).U16(1).U32(static_cast<uint32_t>(json.size() + 1)).Text(json);
    return s.bytes;
}

// A hand-built frame: header, payload and the 4 reserved bytes.
inline std::vector<uint8_t> Frame(uint16_t type, const std::vector<uint8_t>& payload) {
    Wire s;
    s.U32(1).U16(type).U16(0).U32(static_cast<uint32_t>(payload.size()));
    s.Put(payload.data(), payload.size()).U32(0);
    return s.bytes;
}

}  // namespace ZtTest

#endif  // ZT_TEST_STREAM_WRITER_H
