#include "MrxWire.h"

namespace ZtMrxWire {

const char* StatusText(Status s) {
    switch (s) {
        case Status::Ok: return "ok";
        case Status::TooShort: return "frame too short";
        case Status::TooLong: return "frame too long";
        case Status::BadCommand: return "unknown command";
        case Status::BadLength: return "length field disagrees with the frame";
    }
    return "unknown";
}

void EncodeHeader(const Header& h, uint8_t out[kHeaderSize]) {
    Put32(out + 0, h.length);
    Put16(out + 4, h.command);
    Put16(out + 6, h.flags);
    Put32(out + 8, h.invokeId);
    Put32(out + 12, h.error);
    std::memcpy(out + 16, h.targetNetId, 6);
    Put16(out + 22, h.targetPort);
    std::memcpy(out + 24, h.sourceNetId, 6);
    Put16(out + 30, h.sourcePort);
}

Status DecodeHeader(std::span<const uint8_t> bytes, Header& out) {
    if (bytes.size() < kHeaderSize) return Status::TooShort;
    const uint8_t* p = bytes.data();
    Header h;
    h.length = Get32(p);
    h.command = Get16(p + 4);
    h.flags = Get16(p + 6);
    h.invokeId = Get32(p + 8);
    h.error = Get32(p + 12);
    std::memcpy(h.targetNetId, p + 16, 6);
    h.targetPort = Get16(p + 22);
    std::memcpy(h.sourceNetId, p + 24, 6);
    h.sourcePort = Get16(p + 30);
    if (h.length < kHeaderSize) return Status::BadLength;
    if (h.length > kMaxFrame) return Status::TooLong;
    if (h.command == 0 || h.command > kLastCommand) return Status::BadCommand;
    if ((h.flags & ~kFlagReply) != 0) return Status::BadCommand;
    out = h;
    return Status::Ok;
}

namespace {
Status Exact(std::span<const uint8_t> p, size_t n) {
    if (p.size() < n) return Status::TooShort;
    if (p.size() > n) return Status::TooLong;
    return Status::Ok;
}
}  // namespace

Status DecodeHello(std::span<const uint8_t> payload, Hello& out) {
    if (Status s = Exact(payload, kHelloSize); s != Status::Ok) return s;
    const uint8_t* p = payload.data();
    out.magic = Get32(p);
    out.version = Get16(p + 4);
    out.port = Get16(p + 6);
    std::memcpy(out.netId, p + 8, 6);
    return out.magic == kHelloMagic ? Status::Ok : Status::BadCommand;
}

Status DecodeRead(std::span<const uint8_t> payload, ReadRequest& out) {
    if (Status s = Exact(payload, kReadRequestSize); s != Status::Ok) return s;
    out.indexGroup = Get32(payload.data());
    out.indexOffset = Get32(payload.data() + 4);
    out.length = Get32(payload.data() + 8);
    return Status::Ok;
}

Status DecodeWrite(std::span<const uint8_t> payload, WriteRequest& out) {
    if (payload.size() < kWriteRequestHead) return Status::TooShort;
    const uint8_t* p = payload.data();
    uint32_t len = Get32(p + 8);
    if (len != payload.size() - kWriteRequestHead) return Status::BadLength;
    out.indexGroup = Get32(p);
    out.indexOffset = Get32(p + 4);
    out.data = payload.subspan(kWriteRequestHead);
    return Status::Ok;
}

Status DecodeReadWrite(std::span<const uint8_t> payload, ReadWriteRequest& out) {
    if (payload.size() < kReadWriteRequestHead) return Status::TooShort;
    const uint8_t* p = payload.data();
    uint32_t writeLen = Get32(p + 12);
    if (writeLen != payload.size() - kReadWriteRequestHead) return Status::BadLength;
    out.indexGroup = Get32(p);
    out.indexOffset = Get32(p + 4);
    out.readLength = Get32(p + 8);
    out.data = payload.subspan(kReadWriteRequestHead);
    return Status::Ok;
}

Status DecodeWriteControl(std::span<const uint8_t> payload, WriteControlRequest& out) {
    if (payload.size() < kWriteControlRequestHead) return Status::TooShort;
    const uint8_t* p = payload.data();
    uint32_t len = Get32(p + 4);
    if (len != payload.size() - kWriteControlRequestHead) return Status::BadLength;
    out.vdlState = Get16(p);
    out.deviceState = Get16(p + 2);
    out.data = payload.subspan(kWriteControlRequestHead);
    return Status::Ok;
}

Status DecodeAddNotification(std::span<const uint8_t> payload, AddNotificationRequest& out) {
    if (Status s = Exact(payload, kAddNotificationRequestSize); s != Status::Ok) return s;
    out.indexGroup = Get32(payload.data());
    out.indexOffset = Get32(payload.data() + 4);
    std::memcpy(out.attrib, payload.data() + 8, 32);
    return Status::Ok;
}

Status DecodeU32(std::span<const uint8_t> payload, uint32_t& out) {
    if (Status s = Exact(payload, 4); s != Status::Ok) return s;
    out = Get32(payload.data());
    return Status::Ok;
}

Status DecodeReadState(std::span<const uint8_t> payload, uint16_t& vdlState, uint16_t& deviceState) {
    if (Status s = Exact(payload, kReadStateReplySize); s != Status::Ok) return s;
    vdlState = Get16(payload.data());
    deviceState = Get16(payload.data() + 2);
    return Status::Ok;
}

Status DecodeDataReply(std::span<const uint8_t> payload, bool allowEmpty, std::span<const uint8_t>& data) {
    if (payload.empty() && allowEmpty) {
        data = {};
        return Status::Ok;
    }
    if (payload.size() < kDataReplyHead) return Status::TooShort;
    uint32_t len = Get32(payload.data());
    if (len != payload.size() - kDataReplyHead) return Status::BadLength;
    data = payload.subspan(kDataReplyHead);
    return Status::Ok;
}

Status DecodeSample(std::span<const uint8_t> payload, Sample& out) {
    if (payload.size() < kSampleHead) return Status::TooShort;
    const uint8_t* p = payload.data();
    uint32_t size = Get32(p + 12);
    if (size != payload.size() - kSampleHead) return Status::BadLength;
    out.handle = Get32(p);
    out.timeStamp = Get64(p + 4);
    out.data = payload.subspan(kSampleHead);
    return Status::Ok;
}

FrameBuilder::FrameBuilder(const Header& h, size_t payloadReserve) : header_(h) {
    bytes_.reserve(kHeaderSize + payloadReserve);
    bytes_.resize(kHeaderSize);
}

FrameBuilder& FrameBuilder::U16(uint16_t v) {
    uint8_t b[2];
    Put16(b, v);
    return Bytes(b, 2);
}

FrameBuilder& FrameBuilder::U32(uint32_t v) {
    uint8_t b[4];
    Put32(b, v);
    return Bytes(b, 4);
}

FrameBuilder& FrameBuilder::U64(uint64_t v) {
    uint8_t b[8];
    Put64(b, v);
    return Bytes(b, 8);
}

FrameBuilder& FrameBuilder::Bytes(const void* p, size_t n) {
    if (n != 0) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    return *this;
}

std::vector<uint8_t> FrameBuilder::Finish() {
    header_.length = static_cast<uint32_t>(bytes_.size());
    EncodeHeader(header_, bytes_.data());
    return std::move(bytes_);
}

std::vector<uint8_t> EncodeHello(const Header& h, const Hello& hello) {
    Header hh = h;
    hh.command = static_cast<uint16_t>(Command::Hello);
    return FrameBuilder(hh, kHelloSize)
        .U32(hello.magic)
        .U16(hello.version)
        .U16(hello.port)
        .Bytes(hello.netId, 6)
        .U16(0)
        .Finish();
}

void FrameReader::Append(const uint8_t* p, size_t n) {
    if (failed_ != Status::Ok || n == 0) return;
    if (pos_ > 0 && pos_ == buf_.size()) {
        buf_.clear();
        pos_ = 0;
    } else if (pos_ > 65536 && pos_ * 2 > buf_.size()) {
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
        pos_ = 0;
    }
    buf_.insert(buf_.end(), p, p + n);
}

Status FrameReader::Next(Header& header, std::vector<uint8_t>& payload) {
    if (failed_ != Status::Ok) return failed_;
    std::span<const uint8_t> avail(buf_.data() + pos_, buf_.size() - pos_);
    if (avail.size() < kHeaderSize) return Status::TooShort;
    Header h;
    Status s = DecodeHeader(avail, h);
    if (s != Status::Ok) {
        failed_ = s;
        return s;
    }
    if (avail.size() < h.length) return Status::TooShort;
    payload.assign(avail.begin() + kHeaderSize, avail.begin() + h.length);
    header = h;
    pos_ += h.length;
    return Status::Ok;
}

}  // namespace ZtMrxWire
