// ServiceFrames.h - the request frames the service proxy builds by hand and
// the read-write exchange every reply-carrying request goes through
// (internal).
//
// A hand-built frame is the 12-byte header (version 1, type, format 0,
// payload length), the payload, and reserved zero bytes behind it (4, or 3
// for clear-all-alarms). Every byte not named is 0. Payloads, offsets from
// the start of the frame:
//   3   confirm event:      12 the 24-byte event key                      (40 bytes)
//   8   confirm all alarms: none                                          (16)
//   9   clear all alarms:   12 reset-confirmation flag (1 byte, 0/1)       (16)
//   200 logged events:      12 u32 number of events wanted                (20)
//   100 message text:       12 u16 0 | 14 u16 0 | 16 u32 language | 20 class
//                           | 36 u32 event id | 40 u32 qualifier | 44 u32 argument count
//                           | 48 u32 52 | 52 u32 T | 56 u32 52 + T | 60 u32 D
//                           | 64 T type bytes | 64 + T D data bytes   (68 + T + D)
//   102 event class name:   12 u16 0 | 14 u16 0 | 16 u32 language | 20 class (40)
//   104 cause/remedy:       as 102, then 36 u32 event id               (44)
//   106 class details:      as 102                                     (40)
//   108 event details:      as 104                                     (44)
// The language is the low 32 bits of the caller's id.
#ifndef ZT_SERVICE_FRAMES_H
#define ZT_SERVICE_FRAMES_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ServiceProtocol.h"
#include "ZtEventEntity.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::GUID;
using ZtEventLoggerCommon::ZtEventArguments;
using ZtEventLoggerCommon::ZtEventKey;

enum RequestType : uint16_t {
    kRequestConfirmEvent = 3,
    kRequestConfirmAllAlarms = 8,
    kRequestClearAllAlarms = 9,
    kRequestMessageText = 100,
    kRequestClassName = 102,
    kRequestCauseRemedy = 104,
    kRequestClassDetails = 106,
    kRequestEventDetails = 108,
    kRequestLoggedEvents = 200,
};

using RequestFrame = std::vector<unsigned char>;

// Each throws std::bad_alloc.
RequestFrame ConfirmEventFrame(const ZtEventKey& key);
RequestFrame ConfirmAllAlarmsFrame();
RequestFrame ClearAllAlarmsFrame(bool resetConfirmation);
RequestFrame LoggedEventsFrame(uint32_t count);
// The argument blocks are copied from argumentBase + their offsets when the
// base is not null and the count is not 0; otherwise they are sent as zeros.
// Throws std::invalid_argument when 68 + T + D does not fit in 32 bits.
RequestFrame MessageTextFrame(const ZtEventKey& key, const ZtEventArguments& arguments, const void* argumentBase,
                              int64_t languageId);
RequestFrame ClassNameFrame(const GUID& eventClass, int64_t languageId);
RequestFrame CauseRemedyFrame(const GUID& eventClass, uint32_t eventId, int64_t languageId);
RequestFrame ClassDetailsFrame(const GUID& eventClass, int64_t languageId);
RequestFrame EventDetailsFrame(const GUID& eventClass, uint32_t eventId, int64_t languageId);

// A read-write of request to (132, group, offset) with reply as the reply
// buffer, under retry. Returns the last Vdl error (0 on success); on success
// bytesRead is the number of reply bytes received (never more than the
// buffer), otherwise 0. reply may have grown as the retry policy says.
uint32_t ReadWrite(ZtEventLoggerVdlApi::VdlR3AdapterCore& adapter, uint32_t indexGroup, uint32_t indexOffset,
                   const void* request, size_t requestSize, ReplyBuffer& reply, RequestRetry& retry,
                   size_t& bytesRead);

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_SERVICE_FRAMES_H
