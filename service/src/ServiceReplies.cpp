#include "ServiceReplies.h"

#include <cstring>
#include <new>

#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

using ZtEventLoggerCommon::CheckRecord;
using ZtEventLoggerCommon::kEventHeadSize;
using ZtEventLoggerCommon::RecordCheck;

namespace {

constexpr size_t kHeaderSize = sizeof(ZtEventStreamHeader);

uint32_t U32(const uint8_t* p) noexcept {
    uint32_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

// The end of the payload (12 + P), or 0 when the reply is shorter than
// `head` or its payload does not cover the fields of the head or lies beyond
// the bytes received.
size_t PayloadEnd(const uint8_t* bytes, size_t size, size_t head) noexcept {
    if (bytes == nullptr || size < head) return 0;
    const uint64_t payload = U32(bytes + 8);
    if (payload > size - kHeaderSize || payload < head - kHeaderSize) return 0;
    return kHeaderSize + static_cast<size_t>(payload);
}

// Start of the data an offset field (counted from 12) points to, or 0 when it
// points into the head or beyond the payload.
size_t DataStart(const uint8_t* bytes, size_t fieldAt, size_t head, size_t end) noexcept {
    const uint64_t at = kHeaderSize + static_cast<uint64_t>(U32(bytes + fieldAt));
    if (at < head || at > end) return 0;
    return static_cast<size_t>(at);
}

}  // namespace

HRESULT CopyRecords(const uint8_t* block, size_t available, uint32_t count, std::vector<ZtEventEntity*>& out) noexcept {
    if (count == 0) return ZtAtlCom::S_OK;
    // Every record has at least its head: a count that cannot fit is refused
    // before any memory is set aside for it.
    if (block == nullptr || count > available / kEventHeadSize) return ZT_E_BAD_REPLY;
    const size_t before = out.size();
    try {
        out.reserve(before + count);
    } catch (...) {
        return ZtAtlCom::E_OUTOFMEMORY;
    }
    HRESULT hr = ZtAtlCom::S_OK;
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        size_t length = 0;
        if (CheckRecord(block + at, available - at, &length) != RecordCheck::Ok) {
            hr = ZT_E_BAD_REPLY;
            break;
        }
        auto* copy = new (std::nothrow) unsigned char[length];
        if (copy == nullptr) {
            hr = ZtAtlCom::E_OUTOFMEMORY;
            break;
        }
        std::memcpy(copy, block + at, length);
        out.push_back(reinterpret_cast<ZtEventEntity*>(copy));  // capacity reserved: no throw
        at += length;
    }
    if (ZtAtlCom::Failed(hr)) {
        for (size_t i = before; i < out.size(); ++i) FreeEventRecord(out[i]);
        out.resize(before);
    }
    return hr;
}

HRESULT ParseActiveEventsReply(const uint8_t* bytes, size_t size, std::vector<ZtEventEntity*>& out) noexcept {
    if (bytes == nullptr || size < kActiveEventsHeadSize) return ZT_E_BAD_REPLY;
    const uint32_t count = U32(bytes + 4);
    const uint32_t length = U32(bytes + 8);
    if (length > size - kActiveEventsHeadSize) return ZT_E_BAD_REPLY;
    return CopyRecords(bytes + kActiveEventsHeadSize, length, count, out);
}

HRESULT ParseStreamRecords(const uint8_t* bytes, size_t size, std::vector<ZtEventEntity*>& out) noexcept {
    const size_t end = PayloadEnd(bytes, size, kStreamReplyHeadSize);
    if (end == 0) return ZT_E_BAD_REPLY;
    const uint32_t count = U32(bytes + 16);
    if (count == 0) return ZtAtlCom::S_OK;
    const size_t start = DataStart(bytes, 20, kStreamReplyHeadSize, end);
    if (start == 0) return ZT_E_BAD_REPLY;
    return CopyRecords(bytes + start, end - start, count, out);
}

HRESULT ParseStreamResult(const uint8_t* bytes, size_t size, uint32_t* result) noexcept {
    const size_t end = PayloadEnd(bytes, size, kStreamReplyHeadSize);
    if (end == 0 || result == nullptr) return ZT_E_BAD_REPLY;
    *result = U32(bytes + 16);
    return ZtAtlCom::S_OK;
}

HRESULT ServiceResultToHResult(uint32_t result) noexcept {
    const HRESULT hr = VdlErrorToHResult(result);
    return result != 0 && ZtAtlCom::Succeeded(hr) ? ZT_E_BAD_REPLY : hr;
}

HRESULT ParseTextReply(const uint8_t* bytes, size_t size, std::string_view* text) noexcept {
    const size_t end = PayloadEnd(bytes, size, kTextReplyHeadSize);
    if (end == 0 || text == nullptr) return ZT_E_BAD_REPLY;
    const uint32_t length = U32(bytes + 24);
    if (length <= 1) {
        *text = {};
        return ZtAtlCom::S_OK;
    }
    const size_t start = DataStart(bytes, 20, kTextReplyHeadSize, end);
    if (start == 0 || length > end - start || bytes[start + length - 1] != 0) return ZT_E_BAD_REPLY;
    *text = std::string_view(reinterpret_cast<const char*>(bytes + start), length - 1);
    return ZtAtlCom::S_OK;
}

HRESULT ParseListReply(const uint8_t* bytes, size_t size, std::vector<std::string_view>& texts) noexcept {
    const size_t end = PayloadEnd(bytes, size, kListReplyHeadSize);
    if (end == 0) return ZT_E_BAD_REPLY;
    const uint64_t wanted = 3ull * U32(bytes + 20);
    if (wanted == 0) return ZtAtlCom::S_OK;
    size_t at = DataStart(bytes, 24, kListReplyHeadSize, end);
    // Each text takes at least its NUL.
    if (at == 0 || wanted > end - at) return ZT_E_BAD_REPLY;
    const size_t before = texts.size();
    try {
        texts.reserve(before + static_cast<size_t>(wanted));
    } catch (...) {
        return ZtAtlCom::E_OUTOFMEMORY;
    }
    for (uint64_t i = 0; i < wanted; ++i) {
        const void* nul = at < end ? std::memchr(bytes + at, 0, end - at) : nullptr;
        if (nul == nullptr) {
            texts.resize(before);
            return ZT_E_BAD_REPLY;
        }
        const size_t n = static_cast<const uint8_t*>(nul) - (bytes + at);
        texts.emplace_back(reinterpret_cast<const char*>(bytes + at), n);
        at += n + 1;
    }
    return ZtAtlCom::S_OK;
}

}  // namespace ZtEventLoggerVdlProxy
