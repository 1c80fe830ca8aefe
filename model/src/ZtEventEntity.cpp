#include "ZtEventEntity.h"

#include <cstring>

namespace ZtEventLoggerCommon {

namespace {

// The FILETIME of 1899-12-30 00:00 UTC, where DATE counts from.
constexpr uint64_t kDateEpochFileTime = 94353120000000000ull;
constexpr double kFileTimePerDay = 8.64e11;

// [offset, offset + size) inside [0, length), computed without wrapping.
bool Inside(uint64_t offset, uint64_t size, uint64_t length) noexcept {
    return offset <= length && size <= length - offset;
}

ZtEventEntity Head(const void* bytes) noexcept {
    ZtEventEntity h;
    std::memcpy(&h, bytes, sizeof(h));
    return h;
}

constexpr uint32_t kSourceInfoId = 1;
constexpr uint32_t kSourceInfoGuid = 2;
constexpr uint32_t kSourceInfoName = 4;
constexpr uint16_t kArgString = 14;
constexpr uint16_t kArgBstr = 21;
constexpr uint32_t kUndefined = 0xFFFFFFFFu;

// Value bytes of a fixed-size argument type; 0 for the texts, kUndefined for
// the codes no value has (15..20, above 21).
uint32_t FixedValueSize(uint16_t type) noexcept {
    static constexpr uint32_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 2, 4, 8, 4, 8, 1, 2, 0};
    if (type < sizeof(kSizes) / sizeof(kSizes[0])) return kSizes[type];
    return type == kArgBstr ? 0 : kUndefined;
}

bool IsText(uint16_t type) noexcept { return type == kArgString || type == kArgBstr; }

// Walks the type block over the data block of a record whose blocks lie
// inside its bytes, up to argument `stop` (or all of them). Fills *span with
// the value of argument `stop`; *end receives the data offset after the last
// value walked. False for an undefined type code or a value that does not fit.
bool WalkArguments(const uint8_t* record, const ZtEventArguments& a, uint32_t stop, ZtArgumentSpan* span,
                   uint64_t* end) noexcept {
    const uint8_t* types = record + a.typesOffset;
    const uint8_t* data = record + a.dataOffset;
    auto typeAt = [types](uint32_t i) {
        uint16_t t;
        std::memcpy(&t, types + 2 * static_cast<size_t>(i), 2);
        return t;
    };
    // Bytes the fixed-size values still need: a text must leave room for them.
    uint64_t fixedLeft = 0;
    for (uint32_t i = 0; i < a.argumentCount; ++i) {
        const uint32_t size = FixedValueSize(typeAt(i));
        if (size == kUndefined) return false;
        fixedLeft += size;
    }
    uint64_t pos = 0;
    const uint32_t last = stop < a.argumentCount ? stop : a.argumentCount - 1;
    for (uint32_t i = 0; a.argumentCount != 0 && i <= last; ++i) {
        const uint16_t type = typeAt(i);
        uint64_t size = FixedValueSize(type);
        if (IsText(type)) {
            const void* nul = pos < a.dataSize ? std::memchr(data + pos, 0, a.dataSize - pos) : nullptr;
            if (nul != nullptr) {
                const uint64_t taken = static_cast<const uint8_t*>(nul) - (data + pos) + 1;
                if (pos + taken + fixedLeft <= a.dataSize) size = taken;
            }
        } else {
            if (size > a.dataSize - pos) return false;
            fixedLeft -= size;
        }
        if (i == stop && span != nullptr)
            *span = {type, a.dataOffset + pos, static_cast<uint32_t>(size)};
        pos += size;
    }
    if (end != nullptr) *end = pos;
    return true;
}

// An item of a known source-info type must hold what its readers take.
bool SourceItemFits(const uint8_t* record, const ZtSourceInfoDescriptor& d) noexcept {
    switch (d.type) {
        case kSourceInfoId: return d.size == 4;
        case kSourceInfoGuid: return d.size == 16;
        case kSourceInfoName: return d.size >= 1 && record[static_cast<size_t>(d.offset) + d.size - 1] == 0;
        default: return true;
    }
}

}  // namespace

uint64_t RecordLength(const ZtEventEntity* record) noexcept {
    return kEventHeadSize + static_cast<uint64_t>(record->sourceInfoSize) + record->jsonAttributeSize +
           record->arguments.typesSize + record->arguments.dataSize;
}

const char* RecordCheckText(RecordCheck check) noexcept {
    switch (check) {
        case RecordCheck::Ok: return "ok";
        case RecordCheck::HeadIncomplete: return "record head incomplete";
        case RecordCheck::LengthBeyondBytes: return "record longer than the bytes received";
        case RecordCheck::SourceInfoOutside: return "source information outside the record";
        case RecordCheck::JsonOutside: return "JSON attribute outside the record";
        case RecordCheck::TypesOutside: return "argument types outside the record";
        case RecordCheck::DataOutside: return "argument data outside the record";
        case RecordCheck::SourceInfoMismatch: return "source information item does not fit its type";
        case RecordCheck::ArgumentsMismatch: return "argument values do not fit their types";
    }
    return "unknown";
}

RecordCheck CheckRecord(const void* bytes, size_t available, size_t* length) noexcept {
    if (bytes == nullptr || available < kEventHeadSize) return RecordCheck::HeadIncomplete;
    const ZtEventEntity h = Head(bytes);
    const uint64_t len = RecordLength(&h);
    if (len > available) return RecordCheck::LengthBeyondBytes;

    if (h.sourceInfoCount != 0) {
        const uint64_t table = static_cast<uint64_t>(h.sourceInfoCount) * sizeof(ZtSourceInfoDescriptor);
        if (!Inside(h.sourceInfoOffset, table, len)) return RecordCheck::SourceInfoOutside;
        const auto* p = static_cast<const uint8_t*>(bytes) + h.sourceInfoOffset;
        for (uint32_t i = 0; i < h.sourceInfoCount; ++i) {
            ZtSourceInfoDescriptor d;
            std::memcpy(&d, p + i * sizeof(d), sizeof(d));
            if (!Inside(d.offset, d.size, len)) return RecordCheck::SourceInfoOutside;
            if (!SourceItemFits(static_cast<const uint8_t*>(bytes), d)) return RecordCheck::SourceInfoMismatch;
        }
    }
    if (h.jsonAttributeSize != 0 && !Inside(h.jsonAttributeOffset, h.jsonAttributeSize, len))
        return RecordCheck::JsonOutside;
    const ZtEventArguments& a = h.arguments;
    if (static_cast<uint64_t>(a.argumentCount) * 2 != a.typesSize ||
        (a.typesSize != 0 && !Inside(a.typesOffset, a.typesSize, len)))
        return RecordCheck::TypesOutside;
    if (a.dataSize != 0 && !Inside(a.dataOffset, a.dataSize, len)) return RecordCheck::DataOutside;
    // A data block the values do not use up means the two blocks disagree.
    uint64_t used = 0;
    if (!WalkArguments(static_cast<const uint8_t*>(bytes), a, kUndefined, nullptr, &used) || used != a.dataSize)
        return RecordCheck::ArgumentsMismatch;
    if (length != nullptr) *length = static_cast<size_t>(len);
    return RecordCheck::Ok;
}

std::optional<ZtArgumentSpan> ArgumentAt(const ZtEventEntity* record, uint32_t index) noexcept {
    const ZtEventArguments a = record->arguments;
    if (index >= a.argumentCount) return std::nullopt;
    ZtArgumentSpan span{};
    if (!WalkArguments(reinterpret_cast<const uint8_t*>(record), a, index, &span, nullptr)) return std::nullopt;
    return span;
}

bool ZtEventKeyLess::operator()(const ZtEventKey& a, const ZtEventKey& b) const noexcept {
    if (a.keyQualifier != 0 && b.keyQualifier != 0 && a.keyQualifier != b.keyQualifier)
        return a.keyQualifier < b.keyQualifier;
    if (a.eventId != b.eventId) return a.eventId < b.eventId;
    return std::memcmp(&a.eventClass, &b.eventClass, sizeof(GUID)) < 0;
}

bool KeysEquivalent(const ZtEventKey& a, const ZtEventKey& b) noexcept {
    ZtEventKeyLess less;
    return !less(a, b) && !less(b, a);
}

std::optional<ZtSourceInfoDescriptor> FindSourceInfo(const ZtEventEntity* record, uint32_t type) noexcept {
    const auto* table = reinterpret_cast<const uint8_t*>(record) + record->sourceInfoOffset;
    for (uint32_t i = 0; i < record->sourceInfoCount; ++i) {
        ZtSourceInfoDescriptor d;
        std::memcpy(&d, table + i * sizeof(d), sizeof(d));
        if (d.type == type) return d;
    }
    return std::nullopt;
}

HRESULT RecordText(const ZtEventEntity* record, uint32_t offset, uint32_t size, ZtAtlCom::BSTR* text) noexcept {
    if (text == nullptr) return ZtAtlCom::E_POINTER;
    *text = nullptr;
    if (size <= 1) return ZtAtlCom::S_OK;
    const char* p = reinterpret_cast<const char*>(record) + offset;
    *text = ZtAtlCom::SysAllocStringByteLen(p, size - 1);
    return *text != nullptr ? ZtAtlCom::S_OK : ZtAtlCom::E_OUTOFMEMORY;
}

HRESULT JsonAttribute(const ZtEventEntity* record, ZtAtlCom::BSTR* text) noexcept {
    return RecordText(record, record->jsonAttributeOffset, record->jsonAttributeSize, text);
}

HRESULT FileTimeToDate(uint64_t fileTime, double* date) noexcept {
    if (date == nullptr) return ZtAtlCom::E_POINTER;
    if (fileTime == 0) {
        *date = 0.0;
        return ZtAtlCom::S_FALSE;
    }
    // Unsigned arithmetic as the wire value is unsigned; times before 1899
    // wrap to very large dates (not a range the conversion is meant for).
    *date = static_cast<double>(fileTime - kDateEpochFileTime) / kFileTimePerDay;
    return ZtAtlCom::S_OK;
}

ZtEventLoggerVdlProxy::ZtEventArgumentsInfo ArgumentsInfo(const ZtEventEntity* record) noexcept {
    const ZtEventArguments a = record->arguments;
    return {a.argumentCount, 0, a.typesSize, a.typesSize, a.dataSize};
}

HRESULT CopyArgumentData(const ZtEventEntity* record, void* buffer, size_t size) noexcept {
    const ZtEventArguments a = record->arguments;
    const uint64_t need = static_cast<uint64_t>(a.typesSize) + a.dataSize;
    if (need > size) return ZtAtlCom::E_INVALIDARG;
    if (need == 0) return ZtAtlCom::S_OK;
    if (buffer == nullptr) return ZtAtlCom::E_INVALIDARG;
    const auto* base = reinterpret_cast<const uint8_t*>(record);
    auto* out = static_cast<uint8_t*>(buffer);
    if (a.typesSize != 0) std::memcpy(out, base + a.typesOffset, a.typesSize);
    if (a.dataSize != 0) std::memcpy(out + a.typesSize, base + a.dataOffset, a.dataSize);
    return ZtAtlCom::S_OK;
}

}  // namespace ZtEventLoggerCommon
