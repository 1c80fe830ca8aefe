// RequestStream.h - the key/value request streams clients send to the event
// logger service, decoded into a small value tree.
//
// A stream is the 12-byte stream header (u32 version 1, u16 request type,
// u16 body format, u32 payload length) and a body of exactly one value:
//  - format 1: JSON text, optionally followed by NUL bytes;
//  - any other format: the binary form, one tag byte per item:
//      1 start object   2 start array   3 key (u64 hash follows)
//      4 value (type byte and value follow)   5 end array   6 end object
//    type bytes: 1 bool (1 byte), 2 int8, 3 int16, 4 int32, 5 int64,
//    6 uint8, 7 uint16, 8 uint32, 9 uint64, 10 float, 11 double,
//    12 text up to and with its NUL, 13 GUID (16-byte memory image).
// Keys are known only by their hash (KeyHash); JSON member names are hashed
// the same way, so a lookup works alike for both forms.
//
// Decoding is strict: every byte is checked against the bytes received; an
// unknown tag or type byte, a key outside an object or a value without its
// key, a container left open or closed by the wrong tag, a truncated value,
// nesting deeper than kMaxStreamDepth, or bytes after the body value make the
// stream malformed. Free functions and plain data: callable from any thread.
#ifndef ZT_SIM_REQUEST_STREAM_H
#define ZT_SIM_REQUEST_STREAM_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "EventRecord.h"

namespace ZtSim {

constexpr size_t kMaxStreamDepth = 64;
constexpr uint16_t kStreamFormatJson = 1;

// The 64-bit hash a binary stream carries in place of a key: the text up to
// its first '.' (or its end), folded from the last character to the first.
uint64_t KeyHash(std::string_view key);

class StreamValue {
public:
    enum class Kind : uint8_t { Null, Bool, Int, Uint, Double, Text, Guid, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    int64_t sint = 0;     // Int: every signed value, and JSON integers below 0
    uint64_t uint = 0;    // Uint: every unsigned value, and JSON integers from 0
    double real = 0;      // Double: float and double
    std::string text;     // Text
    EventGuid guid;       // Guid
    std::vector<StreamValue> items;  // elements of an array, member values of an object
    std::vector<uint64_t> keys;      // member key hashes of an object, one per item

    // The first member of an object with that key (hash), else null.
    const StreamValue* Find(uint64_t keyHash) const;
    const StreamValue* Find(std::string_view key) const { return Find(KeyHash(key)); }

    // Typed reads; nullopt when the value is of another kind or out of range.
    // Integers of either signedness read as long as the value fits.
    std::optional<uint64_t> Unsigned(uint64_t max = UINT64_MAX) const;
    std::optional<int64_t> Signed() const;
    std::optional<bool> Boolean() const;
    std::optional<std::string_view> Text() const;
    // A GUID value, or a text in the form "{XXXXXXXX-XXXX-...}" (JSON carries GUIDs so).
    std::optional<EventGuid> Guid() const;
};

struct RequestStream {
    uint16_t type = 0;
    uint16_t format = 0;
    StreamValue body;
};

// Decodes a stream (header and body) from the bytes of a request; bytes
// behind the declared payload are ignored. Empty on success, else why not.
std::string DecodeRequestStream(std::span<const uint8_t> bytes, RequestStream& out);
// Decodes a binary or JSON body alone.
std::string DecodeBinaryBody(std::span<const uint8_t> body, StreamValue& out);
std::string DecodeJsonBody(std::span<const uint8_t> body, StreamValue& out);

}  // namespace ZtSim

#endif  // ZT_SIM_REQUEST_STREAM_H
