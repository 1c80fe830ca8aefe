// ServiceReplies.h - the replies of the event logger service, read without a
// connection (internal).
//
// Every reply is untrusted: each count, offset, size and text is checked
// against the bytes actually received before anything is read or copied, and
// a parser that fails appends nothing. Layouts (little-endian; offsets from
// the first byte of the reply):
//
//  active events (read of group 200, offset 1):
//    0 u32 version | 4 u32 record count | 8 u32 byte length L of the records
//    | 12 the records back to back, within [12, 12 + L)
//  stream reply (read-write with a stream, the logged-event reads by count):
//    0 u32 version | 4 u16 type | 6 u16 format | 8 u32 payload length P (from 12)
//    | 12 u32 request handle | 16 u32 record count, or the service's result
//    | 20 u32 offset from 12 of the record block or the error text
//  text reply (message text, event class name):
//    header | 12 u32 0 | 16 u32 language id | 20 u32 text offset from 12
//    | 24 u32 text length including its NUL | the text and NUL
//  list reply (cause/remedy, details):
//    header | 12 u32 0 | 16 u32 language id | 20 u32 entry count
//    | 24 u32 offset from 12 of the first text | per entry three NUL-terminated texts
// Data lies within the payload ([12, 12 + P)), and P within the bytes received.
#ifndef ZT_SERVICE_REPLIES_H
#define ZT_SERVICE_REPLIES_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ServiceProtocol.h"
#include "ZtEventEntity.h"

namespace ZtEventLoggerVdlProxy {

using ZtEventLoggerCommon::ZtEventEntity;

// A reply whose counts, offsets, sizes or texts do not fit the bytes received
// (Vdl error 1798, "invalid data", in the service range).
constexpr HRESULT ZT_E_BAD_REPLY = ZtAtlCom::MakeHResult(0x98110706u);

constexpr size_t kActiveEventsHeadSize = 12;
constexpr size_t kStreamReplyHeadSize = 24;
constexpr size_t kTextReplyHeadSize = 28;
constexpr size_t kListReplyHeadSize = 28;

// Copies `count` records lying back to back in [block, block + available)
// into blocks of their own (FreeEventRecord) appended to out. Each record is
// checked as a whole (CheckRecord). ZT_E_BAD_REPLY or E_OUTOFMEMORY with
// nothing appended.
HRESULT CopyRecords(const uint8_t* block, size_t available, uint32_t count, std::vector<ZtEventEntity*>& out) noexcept;

// The read of all active events.
HRESULT ParseActiveEventsReply(const uint8_t* bytes, size_t size, std::vector<ZtEventEntity*>& out) noexcept;

// A stream reply carrying records (logged events by count or by settings).
// A count of 0 appends nothing and succeeds whatever the offset says.
HRESULT ParseStreamRecords(const uint8_t* bytes, size_t size, std::vector<ZtEventEntity*>& out) noexcept;

// A stream reply carrying the service's result (commands, export): S_OK with
// *result, or ZT_E_BAD_REPLY when the head does not fit. The service's error
// text behind the head is not read: it is not passed on.
HRESULT ParseStreamResult(const uint8_t* bytes, size_t size, uint32_t* result) noexcept;
// The HRESULT of a service result: 0 stays S_OK, r becomes 0x98110000 + r. A
// result that would not map to a failure (r of 0x10000 and above with the top
// bit set) is a malformed reply, never a success.
HRESULT ServiceResultToHResult(uint32_t result) noexcept;

// A text reply: *text views the text without its NUL (empty for a length of
// 0 or 1). The view points into bytes.
HRESULT ParseTextReply(const uint8_t* bytes, size_t size, std::string_view* text) noexcept;

// A list reply: three views per entry, in reply order, appended to texts
// (nothing appended on failure). The views point into bytes.
HRESULT ParseListReply(const uint8_t* bytes, size_t size, std::vector<std::string_view>& texts) noexcept;

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_SERVICE_REPLIES_H
