// ZtEventTypes.h - enumerations and the argument descriptor of events.
#ifndef ZT_EVENT_TYPES_H
#define ZT_EVENT_TYPES_H

#include <cstdint>

namespace ZtEventLoggerVdlProxy {

// Kind of an event: derived from the record (any non-zero event type is an alarm).
enum tagEventTypeEnum : int32_t {
    EventTypeMessage = 0,
    EventTypeAlarm = 1,
};

// Severity, passed through from the record.
enum tagSeverityLevelEnum : int32_t {
    SeverityVerbose = 0,
    SeverityInfo = 1,
    SeverityWarning = 2,
    SeverityError = 3,
    SeverityCritical = 4,
};

// Confirmation state of an alarm. States 1 and 3 are the service's own and
// are passed through unchanged, as are values not listed.
enum tagConfirmationStateEnum : int32_t {
    ConfirmationNotRequired = 0,
    ConfirmationStateOne = 1,
    ConfirmationWaitForConfirmation = 2,
    ConfirmationStateThree = 3,
    ConfirmationReset = 4,
};

// Kinds of source information.
enum tagZtSourceInfoTypeEnum : int32_t {
    SourceInfoId = 1,    // unsigned 32-bit number
    SourceInfoGuid = 2,  // GUID
    SourceInfoName = 4,  // UTF-8 text
};

// Type codes of event arguments, with the bytes each value takes.
enum tagZtEventArgumentTypeEnum : int32_t {
    ArgNone = 0,      // 0 bytes
    ArgBoolean = 1,   // 1 byte, 0 or 1
    ArgInt8 = 2,      // 1
    ArgInt16 = 3,     // 2
    ArgInt32 = 4,     // 4
    ArgInt64 = 5,     // 8
    ArgUInt8 = 6,     // 1
    ArgUInt16 = 7,    // 2
    ArgUInt32 = 8,    // 4
    ArgUInt64 = 9,    // 8
    ArgFloat = 10,    // 4, IEEE single
    ArgDouble = 11,   // 8, IEEE double
    ArgChar = 12,     // 1
    ArgWChar = 13,    // 2
    ArgString = 14,   // UTF-8 text and its NUL; an empty text takes 0 bytes
    ArgBstr = 21,     // as ArgString
};

// Where the argument blocks lie. In a record the offsets count from the start
// of the record; in the copy made by GetArgumentData the type block comes
// first (typesOffset 0) and the data block right behind it (dataOffset =
// typesSize).
struct ZtEventArgumentsInfo {
    uint32_t argumentCount;
    uint32_t typesOffset;
    uint32_t typesSize;  // 2 bytes per argument
    uint32_t dataOffset;
    uint32_t dataSize;
};
static_assert(sizeof(ZtEventArgumentsInfo) == 20, "five 32-bit words");

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_TYPES_H
