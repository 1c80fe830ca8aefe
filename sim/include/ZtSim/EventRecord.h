// EventRecord.h - event records as the simulated event logger service sends
// them: one ZtEventEntity per event, a 120-byte head and its tails.
//
// Head (little-endian, offsets from the first byte of the record):
//   0 eventClass (GUID, 16)   16 eventId (u32)        20 keyQualifier (u32)
//  24 severityLevel (u16)     26 reserved (2)         28 sourceInfoCount (u32)
//  32 sourceInfoOffset (u32)  36 sourceInfoSize (u32) 40 isRaised (u8)
//  41 reserved (1)            42 eventType (u16)      44 reserved (4)
//  48 fileTimeRaised (u64)    56 fileTimeCleared      64 fileTimeDisposed
//  72 confirmationState (u16) 74 reserved (6)         80 fileTimeConfirmed
//  88 jsonAttributeOffset     92 jsonAttributeSize    96 arguments: count,
//     typesOffset, typesSize, dataOffset, dataSize (five u32)   116 reserved (4)
//
// Tails, in this order and at the offsets the head names:
//  - source info: 12-byte descriptors (type, offset, size) for the id (type 1,
//    u32), the GUID (type 2, 16 bytes) and the name (type 4, UTF-8 + NUL),
//    each present item once in that order, then their data in table order;
//  - the JSON attribute: text + NUL, size 0 when empty;
//  - the argument types: one u16 code per argument;
//  - the argument data: the values back to back, no padding.
// Length = 120 + sourceInfoSize + jsonAttributeSize + typesSize + dataSize.
// Every offset names where its tail starts, also when the tail is empty, so
// offset + size never points past the record.
//
// Everything here is plain data and free functions: callable from any thread.
#ifndef ZT_SIM_EVENT_RECORD_H
#define ZT_SIM_EVENT_RECORD_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ZtSim {

constexpr size_t kEventRecordHeadSize = 120;
constexpr size_t kEventKeySize = 24;

// A GUID in its field form; Bytes() gives the 16-byte little-endian layout.
struct EventGuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    void Bytes(uint8_t out[16]) const;
    // From the 16-byte little-endian layout.
    static EventGuid FromBytes(const uint8_t in[16]);
    friend bool operator==(const EventGuid&, const EventGuid&) = default;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either case, braces
// required); nullopt for anything else.
std::optional<EventGuid> ParseGuid(std::string_view text);
// The same form with upper-case digits.
std::string GuidText(const EventGuid& guid);

// Argument type codes of the type block.
enum class ArgType : uint16_t {
    None = 0,
    Boolean = 1,
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Int64 = 5,
    UInt8 = 6,
    UInt16 = 7,
    UInt32 = 8,
    UInt64 = 9,
    Float = 10,
    Double = 11,
    Char = 12,
    WChar = 13,
    String = 14,
    Bstr = 21,
};

// One argument: its type code and the value bytes as they go into the data
// block. The factories encode a value by its type; Raw takes any code and
// bytes as given (for records a well-behaved service would not send).
struct EventArgument {
    uint16_t type = 0;
    std::vector<uint8_t> bytes;

    static EventArgument Boolean(bool v);
    static EventArgument Int8(int8_t v);
    static EventArgument Int16(int16_t v);
    static EventArgument Int32(int32_t v);
    static EventArgument Int64(int64_t v);
    static EventArgument UInt8(uint8_t v);
    static EventArgument UInt16(uint16_t v);
    static EventArgument UInt32(uint32_t v);
    static EventArgument UInt64(uint64_t v);
    static EventArgument Float(float v);
    static EventArgument Double(double v);
    static EventArgument Char(char v);
    static EventArgument WChar(char16_t v);
    // Text + NUL; an empty text has no data bytes at all.
    static EventArgument String(std::string_view text);
    static EventArgument Bstr(std::string_view text);
    static EventArgument Raw(uint16_t type, std::vector<uint8_t> bytes);

    friend bool operator==(const EventArgument&, const EventArgument&) = default;
};

// The source of an event: up to three items, each optional.
struct EventSource {
    std::optional<uint32_t> id;
    std::optional<EventGuid> guid;
    std::optional<std::string> name;  // an empty name is still an item (1 byte: the NUL)

    friend bool operator==(const EventSource&, const EventSource&) = default;
};

// The first 24 bytes of a record: what an event is found again by.
struct EventKey {
    EventGuid eventClass;
    uint32_t eventId = 0;
    uint32_t keyQualifier = 0;  // 0: unspecified

    // Same class and id, and equal qualifiers or one of them 0.
    bool Matches(const EventKey& other) const;
};

// What an event is: everything of a record that does not change over an
// alarm's life.
struct EventDescription {
    EventGuid eventClass;
    uint32_t eventId = 0;
    uint32_t keyQualifier = 0;
    uint16_t severity = 0;  // 0..4
    EventSource source;
    std::string jsonAttribute;  // empty: none
    std::vector<EventArgument> arguments;
    bool needsConfirmation = false;  // alarms only: raised alarms wait for a confirmation

    EventKey Key() const { return {eventClass, eventId, keyQualifier}; }
};

// Confirmation states carried in records.
enum ConfirmationState : uint16_t {
    kConfirmationNone = 0,     // needs no confirmation
    kConfirmationWaiting = 2,  // waiting for confirmation
    kConfirmationDone = 3,     // confirmed
    kConfirmationReset = 4,    // the wait ended by a reset of the alarm list
};

// What changes over an alarm's life: the state fields of the head.
struct EventState {
    uint8_t isRaised = 0;
    uint16_t eventType = 0;  // 0 message, 1 alarm
    uint64_t fileTimeRaised = 0;
    uint64_t fileTimeCleared = 0;
    uint64_t fileTimeDisposed = 0;
    uint16_t confirmationState = kConfirmationNone;
    uint64_t fileTimeConfirmed = 0;

    friend bool operator==(const EventState&, const EventState&) = default;
};

// Builds the record of an event in the state given.
std::vector<uint8_t> BuildEventRecord(const EventDescription& event, const EventState& state);

// Value bytes of an argument type: 0..8, kTextArgument for the texts (up to
// and with the NUL, none for an empty text), nullopt for undefined codes.
constexpr int kTextArgument = -1;
std::optional<int> ArgumentWidth(uint16_t type);

// Reads `count` arguments from their type block (2 bytes each) and data
// block, which the values must fill exactly. Empty on success, else why not.
std::string ParseArguments(uint32_t count, std::span<const uint8_t> types, std::span<const uint8_t> data,
                           std::vector<EventArgument>& out);

// Reads the record at the front of bytes (a client's, or one of the log),
// checking every offset and size against the bytes. Source items of types
// other than 1, 2 and 4 are passed over; of each type the first counts.
// needsConfirmation is taken from the confirmation state (not 0). On success
// `length` is the record's length and the result is empty, else it says why.
std::string ParseEventRecord(std::span<const uint8_t> bytes, EventDescription& event, EventState& state,
                             size_t* length = nullptr);

}  // namespace ZtSim

#endif  // ZT_SIM_EVENT_RECORD_H
