// ZtBinaryStreamWriter.h - the binary form of request bodies (internal).
//
// One tag byte per call, then the call's data, little-endian:
//   1 StartObject   2 StartArray   5 EndArray   6 EndObject
//   3 Key: the 64-bit hash of the key (ZtStreamKeyHash), never its text
//   4 Value: a type byte, then the value:
//     1 bool (1 byte, 0/1)  2 signed char  3 short  4 int  5 long (8)
//     6 unsigned char  7 unsigned short  8 unsigned int  9 unsigned long (8)
//     10 float  11 double  12 text and its NUL (a null text: the NUL alone)
//     13 GUID (its 16-byte memory image)
// Every call is one run of bytes written into the buffer; it returns false
// only when the buffer holds no data array.
#ifndef ZT_BINARY_STREAM_WRITER_H
#define ZT_BINARY_STREAM_WRITER_H

#include <cstdint>
#include <cstring>

#include "ZtStreamBuffer.h"

namespace ZtEventLoggerVdlProxy {

// Hash of a key, from its last character back to its first; the key ends at
// its NUL or its first '.', whichever comes first ("a.b" hashes as "a").
// r = ~(r >> 3) + ~s + (r << 7) for each character s (sign-extended), r
// starting at 0 and all sums modulo 2^64; null or empty keys give 0.
uint64_t ZtStreamKeyHash(const char* key) noexcept;

template <class Buffer>
class ZtBinaryStreamWriter final : public ZtStreamObject<IZtStreamWriter, &g_IID_IZtStreamWriter> {
public:
    // Writes into buffer, which it does not own and which must outlive it.
    // The count starts at 0.
    explicit ZtBinaryStreamWriter(Buffer* buffer) noexcept : m_buffer(buffer) {}

    bool StartObject() override { return Tag(kStartObject); }
    bool StartArray() override { return Tag(kStartArray); }
    bool Key(const char* key) override {
        unsigned char run[9] = {kKey};
        const uint64_t hash = ZtStreamKeyHash(key);
        std::memcpy(run + 1, &hash, sizeof(hash));
        return m_buffer->Write(run, sizeof(run));
    }
    bool Value(bool value) override { return Typed(1, static_cast<uint8_t>(value ? 1 : 0)); }
    bool Value(signed char value) override { return Typed(2, value); }
    bool Value(short value) override { return Typed(3, value); }
    bool Value(int value) override { return Typed(4, value); }
    bool Value(long value) override { return Typed(5, value); }
    bool Value(unsigned char value) override { return Typed(6, value); }
    bool Value(unsigned short value) override { return Typed(7, value); }
    bool Value(unsigned int value) override { return Typed(8, value); }
    bool Value(unsigned long value) override { return Typed(9, value); }
    bool Value(float value) override { return Typed(10, value); }
    bool Value(double value) override { return Typed(11, value); }
    bool Value(const char* value) override {
        const unsigned char head[2] = {kValue, 12};
        if (value == nullptr) value = "";
        return m_buffer->Write(head, sizeof(head)) && m_buffer->Write(value, std::strlen(value) + 1);
    }
    bool Value(const GUID& value) override { return Typed(13, value); }
    bool EndArray() override { return Tag(kEndArray); }
    bool EndObject() override { return Tag(kEndObject); }

private:
    enum : unsigned char { kStartObject = 1, kStartArray = 2, kKey = 3, kValue = 4, kEndArray = 5, kEndObject = 6 };

    ~ZtBinaryStreamWriter() override = default;

    bool Tag(unsigned char tag) { return m_buffer->Write(&tag, 1); }
    // Values are stored in the host's little-endian form.
    template <class T>
    bool Typed(unsigned char type, const T& value) {
        unsigned char run[2 + sizeof(T)] = {kValue, type};
        std::memcpy(run + 2, &value, sizeof(T));
        return m_buffer->Write(run, sizeof(run));
    }

    Buffer* m_buffer;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_BINARY_STREAM_WRITER_H
