// ZtEventEntity.h - the event record as the service delivers it (internal).
//
// A record is one contiguous little-endian byte block: a 120-byte head, then
// the source-info block, the JSON attribute text, the argument type block and
// the argument data block, at the offsets the head gives. The client keeps
// each record as a block and reads every property straight out of it.
//
// Records come from the wire: before a record is used, CheckRecord proves
// that its head and every block it names lie inside the bytes received, and
// that its source-info items and argument values fit their types. The
// readers below may only be used on checked records.
#ifndef ZT_EVENT_ENTITY_H
#define ZT_EVENT_ENTITY_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/Guid.h"
#include "ZtAtlCom/HResult.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"

namespace ZtEventLoggerCommon {

using ZtAtlCom::GUID;
using ZtAtlCom::HRESULT;

#pragma pack(push, 1)
// Descriptor of the two argument blocks; offsets from the start of the record.
struct ZtEventArguments {
    uint32_t argumentCount;
    uint32_t typesOffset;
    uint32_t typesSize;
    uint32_t dataOffset;
    uint32_t dataSize;
};

// The identity of a record: its first 24 bytes.
struct ZtEventKey {
    GUID eventClass;
    uint32_t eventId;
    uint32_t keyQualifier;  // 0 = unspecified
};

// The fixed head. Packed, since records also sit at unaligned places (inside
// notification frames, back to back in replies).
struct ZtEventEntity {
    GUID eventClass;
    uint32_t eventId;
    uint32_t keyQualifier;
    uint16_t severityLevel;
    uint16_t reserved26;
    uint32_t sourceInfoCount;
    uint32_t sourceInfoOffset;
    uint32_t sourceInfoSize;
    uint8_t isRaised;
    uint8_t reserved41;
    uint16_t eventType;
    uint32_t reserved44;
    uint64_t fileTimeRaised;
    uint64_t fileTimeCleared;
    uint64_t fileTimeDisposed;
    uint16_t confirmationState;
    uint8_t reserved74[6];
    uint64_t fileTimeConfirmed;
    uint32_t jsonAttributeOffset;
    uint32_t jsonAttributeSize;
    ZtEventArguments arguments;
    uint32_t reserved116;
};

// One source-info descriptor: type, then offset (from the record start) and
// size of the item's data.
struct ZtSourceInfoDescriptor {
    uint32_t type;
    uint32_t offset;
    uint32_t size;
};
#pragma pack(pop)

constexpr size_t kEventHeadSize = 120;
static_assert(sizeof(ZtEventEntity) == kEventHeadSize, "record head is 120 bytes");
static_assert(sizeof(ZtEventKey) == 24, "key is the first 24 bytes");
static_assert(sizeof(ZtEventArguments) == 20, "argument descriptor is 20 bytes");
static_assert(sizeof(ZtSourceInfoDescriptor) == 12, "source-info descriptor is 12 bytes");

// Length of a record by its head: 120 + source-info size + JSON attribute size
// + type block size + data block size, summed without wrapping.
uint64_t RecordLength(const ZtEventEntity* record) noexcept;

enum class RecordCheck {
    Ok,
    HeadIncomplete,      // fewer than 120 bytes
    LengthBeyondBytes,   // the length rule gives more than the bytes received
    SourceInfoOutside,   // descriptor table or an item outside the record
    JsonOutside,         // JSON attribute outside the record
    TypesOutside,        // type block outside the record, or not 2 bytes per argument
    DataOutside,         // data block outside the record
    SourceInfoMismatch,  // an id item not 4 bytes, a GUID item not 16, a name not ending in NUL
    ArgumentsMismatch,   // an undefined type code, or the values do not fill the data block exactly
};

const char* RecordCheckText(RecordCheck check) noexcept;

// Checks that a record starting at bytes lies within the available bytes, that
// every block its head names lies within the record, and that the items and
// arguments fit their types, so that no reader of a checked record can run
// past it. Source-info items of other types are only bounds-checked. The
// arguments are walked as ArgumentAt does, and their values must use up the
// data block exactly. On Ok, *length (when not null) receives the record's
// length.
RecordCheck CheckRecord(const void* bytes, size_t available, size_t* length) noexcept;

// Where the value of one argument lies: its type code, and its offset (from
// the start of the record) and size.
struct ZtArgumentSpan {
    uint16_t type;
    uint64_t offset;
    uint32_t size;
};

// The value of argument `index` of a checked record; nullopt for an index not
// below the count. Values lie back to back in the data block, fixed-size types
// by their size. An empty text takes no bytes at all, so a text value is taken
// as the bytes up to and including the next NUL when that NUL lies inside the
// data block and the fixed-size values after it still fit behind it;
// otherwise the text is empty (size 0).
std::optional<ZtArgumentSpan> ArgumentAt(const ZtEventEntity* record, uint32_t index) noexcept;

// The key of a record (its first 24 bytes).
inline const ZtEventKey& KeyOf(const ZtEventEntity* record) noexcept {
    return *reinterpret_cast<const ZtEventKey*>(record);
}

// Key order of the active-alarm map: by qualifier when both are set and
// differ, then by event id, then by the class's raw bytes (as memcmp).
struct ZtEventKeyLess {
    bool operator()(const ZtEventKey& a, const ZtEventKey& b) const noexcept;
};
// Neither key orders before the other: class and id equal, qualifiers equal
// or at least one of them unspecified.
bool KeysEquivalent(const ZtEventKey& a, const ZtEventKey& b) noexcept;

// The first source-info descriptor of the given type, if any.
std::optional<ZtSourceInfoDescriptor> FindSourceInfo(const ZtEventEntity* record, uint32_t type) noexcept;

// Text of `size` bytes at `offset` of a record: sizes 0 and 1 give an empty
// text, size n gives the first n - 1 bytes. *text receives a BSTR the caller
// frees (null for the empty text). E_POINTER for a null out-pointer,
// E_OUTOFMEMORY when no BSTR could be made.
HRESULT RecordText(const ZtEventEntity* record, uint32_t offset, uint32_t size, ZtAtlCom::BSTR* text) noexcept;
HRESULT JsonAttribute(const ZtEventEntity* record, ZtAtlCom::BSTR* text) noexcept;

// FILETIME (100 ns since 1601) to automation DATE (days since 1899-12-30).
// 0 gives 0.0 and S_FALSE; any other value S_OK.
HRESULT FileTimeToDate(uint64_t fileTime, double* date) noexcept;

// The argument descriptor as callers see it: offsets count from the start of
// the copy GetArgumentData makes (types first, data behind them).
ZtEventLoggerVdlProxy::ZtEventArgumentsInfo ArgumentsInfo(const ZtEventEntity* record) noexcept;

// Copies the type block and, right behind it, the data block into buffer.
// E_INVALIDARG when they do not fit in size bytes (or buffer is null with a
// non-zero need); S_OK without copying when both blocks are empty.
HRESULT CopyArgumentData(const ZtEventEntity* record, void* buffer, size_t size) noexcept;

// tagEventTypeEnum of a record: 1 for any non-zero event type, else 0.
inline int32_t EventTypeOf(const ZtEventEntity* record) noexcept { return record->eventType != 0 ? 1 : 0; }

}  // namespace ZtEventLoggerCommon

#endif  // ZT_EVENT_ENTITY_H
