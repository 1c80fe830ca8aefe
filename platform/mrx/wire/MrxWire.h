// MrxWire.h - frames of the router protocol (internal to the router client and
// the simulated router; docs/router-protocol.md describes the layout).
//
// Every frame is a 32-byte little-endian header followed by a payload whose
// layout depends on the command and on whether the frame is a request or a
// reply. Decoders check every length against the bytes they are given.
#ifndef ZT_MRX_WIRE_H
#define ZT_MRX_WIRE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace ZtMrxWire {

constexpr size_t kHeaderSize = 32;
// Largest frame either side accepts; anything larger is a protocol error.
constexpr uint32_t kMaxPayload = 64u * 1024u * 1024u;
constexpr uint32_t kMaxFrame = kMaxPayload + kHeaderSize;

constexpr uint32_t kHelloMagic = 0x584D525Au;  // "ZRMX" in little-endian byte order
constexpr uint16_t kProtocolVersion = 1;
constexpr uint16_t kAnyPort = 0xFFFF;

enum class Command : uint16_t {
    Hello = 1,
    Read = 2,
    Write = 3,
    ReadWrite = 4,
    ReadState = 5,
    WriteControl = 6,
    AddNotification = 7,
    DelNotification = 8,
    Sample = 9,
};
constexpr uint16_t kLastCommand = 9;

constexpr uint16_t kFlagReply = 0x0001;

struct Header {
    uint32_t length = 0;  // whole frame, header included
    uint16_t command = 0;
    uint16_t flags = 0;
    uint32_t invokeId = 0;
    uint32_t error = 0;
    uint8_t targetNetId[6] = {};
    uint16_t targetPort = 0;
    uint8_t sourceNetId[6] = {};
    uint16_t sourcePort = 0;

    bool IsReply() const { return (flags & kFlagReply) != 0; }
    uint32_t PayloadSize() const { return length - static_cast<uint32_t>(kHeaderSize); }
};

enum class Status {
    Ok,
    TooShort,    // fewer bytes than the layout needs
    TooLong,     // declared length above the bound, or bytes left over
    BadCommand,  // unknown command or flags
    BadLength,   // a length field disagrees with the bytes present
};

const char* StatusText(Status s);

// Little-endian helpers on unaligned bytes.
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }
inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put64(uint8_t* p, uint64_t v) {
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Header. DecodeHeader needs kHeaderSize bytes; it checks the declared length
// (at least the header, at most kMaxFrame), the command and the flags.
void EncodeHeader(const Header& h, uint8_t out[kHeaderSize]);
Status DecodeHeader(std::span<const uint8_t> bytes, Header& out);

// Request payloads.
struct Hello {
    uint32_t magic = kHelloMagic;
    uint16_t version = kProtocolVersion;
    uint16_t port = kAnyPort;  // request: wanted port; reply: assigned port
    uint8_t netId[6] = {};     // reply: the router's own MrxNetId
};
constexpr size_t kHelloSize = 16;

struct ReadRequest {
    uint32_t indexGroup = 0, indexOffset = 0, length = 0;
};
constexpr size_t kReadRequestSize = 12;

struct WriteRequest {
    uint32_t indexGroup = 0, indexOffset = 0;
    std::span<const uint8_t> data;  // payload bytes after the 12-byte head
};
constexpr size_t kWriteRequestHead = 12;

struct ReadWriteRequest {
    uint32_t indexGroup = 0, indexOffset = 0, readLength = 0;
    std::span<const uint8_t> data;
};
constexpr size_t kReadWriteRequestHead = 16;

struct WriteControlRequest {
    uint16_t vdlState = 0, deviceState = 0;
    std::span<const uint8_t> data;
};
constexpr size_t kWriteControlRequestHead = 8;

struct AddNotificationRequest {
    uint32_t indexGroup = 0, indexOffset = 0;
    uint8_t attrib[32] = {};
};
constexpr size_t kAddNotificationRequestSize = 40;

constexpr size_t kDelNotificationRequestSize = 4;  // notification handle

// Reply payloads. Read and read-write replies carry a 4-byte length and the
// data; an error reply may carry the same shape (the 1797 size hint) or nothing.
constexpr size_t kDataReplyHead = 4;
constexpr size_t kReadStateReplySize = 4;        // vdlState, deviceState
constexpr size_t kAddNotificationReplySize = 4;  // notification handle

// Sample: the 16-byte notification header (handle, time stamp, size) and the data.
constexpr size_t kSampleHead = 16;
struct Sample {
    uint32_t handle = 0;
    uint64_t timeStamp = 0;
    std::span<const uint8_t> data;
};

Status DecodeHello(std::span<const uint8_t> payload, Hello& out);
Status DecodeRead(std::span<const uint8_t> payload, ReadRequest& out);
Status DecodeWrite(std::span<const uint8_t> payload, WriteRequest& out);
Status DecodeReadWrite(std::span<const uint8_t> payload, ReadWriteRequest& out);
Status DecodeWriteControl(std::span<const uint8_t> payload, WriteControlRequest& out);
Status DecodeAddNotification(std::span<const uint8_t> payload, AddNotificationRequest& out);
Status DecodeU32(std::span<const uint8_t> payload, uint32_t& out);  // exactly four bytes
Status DecodeReadState(std::span<const uint8_t> payload, uint16_t& vdlState, uint16_t& deviceState);
// A data reply: empty (allowed only when allowEmpty) or length + that many bytes.
Status DecodeDataReply(std::span<const uint8_t> payload, bool allowEmpty, std::span<const uint8_t>& data);
Status DecodeSample(std::span<const uint8_t> payload, Sample& out);

// Builders: each returns a whole frame (header with the length filled in).
class FrameBuilder {
public:
    explicit FrameBuilder(const Header& h, size_t payloadReserve = 0);
    FrameBuilder& U16(uint16_t v);
    FrameBuilder& U32(uint32_t v);
    FrameBuilder& U64(uint64_t v);
    FrameBuilder& Bytes(const void* p, size_t n);
    // Fills in the length and hands the frame out.
    std::vector<uint8_t> Finish();

private:
    Header header_;
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> EncodeHello(const Header& h, const Hello& hello);

// Splits a byte stream into frames. Feed bytes with Append; Next yields one
// complete frame at a time. After a protocol error the reader stays failed.
class FrameReader {
public:
    void Append(const uint8_t* p, size_t n);
    // Ok with header/payload set: a frame; TooShort: need more bytes; other: protocol error.
    Status Next(Header& header, std::vector<uint8_t>& payload);

private:
    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
    Status failed_ = Status::Ok;
};

}  // namespace ZtMrxWire

#endif  // ZT_MRX_WIRE_H
