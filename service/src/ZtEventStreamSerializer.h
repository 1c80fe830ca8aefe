// ZtEventStreamSerializer.h - the request streams whose content varies
// (internal).
//
// Every stream opens with the 12-byte frame header (version 1, request type,
// body format, payload length counted from offset 12). The four key/value
// streams carry one object written through an IZtStreamWriter:
//   214 logged events:  {handle: u16, [settings: ...]}
//   216 confirm alarms: {handle: u16, [timeStamp: u64 unless 0], [filter: ...]}
//   218 clear alarms:   {handle: u16, [timeStamp], bResetConfirmation: bool, [filter]}
//   210 export:         {handle: u16, fileName: text, [settings: ...]}
// where a filter or settings object serialises itself under its key (left
// out when null). The body is binary unless the format is JSON. The
// send-message stream (800) carries one event record as the service keeps
// them, built from the message's class, id, severity, JSON attribute, source
// info and arguments.
//
// Each operation returns a new stream that the caller frees
// (FreeSerializedStream), or null when memory ran out. Nothing throws.
// Streams are built on the calling thread; the objects passed in are used
// only during the call.
#ifndef ZT_EVENT_STREAM_SERIALIZER_H
#define ZT_EVENT_STREAM_SERIALIZER_H

#include <cstdint>

#include "ZtEventLoggerVdlProxy/ZtArgumentInterfaces.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerCommon {

using ZtEventLoggerVdlProxy::IZtStreamSerializable;
using ZtEventLoggerVdlProxy::SerializedStream;

// Body format (header offset 6): JSON is written as 1, anything else is the
// binary form, written as 0.
enum ZtEventLoggerDataFormat : int32_t {
    ZtDataFormatBinary = 0,
    ZtDataFormatJson = 1,
};

enum ZtRequestStreamType : uint16_t {
    kStreamExportLoggedEvents = 210,
    kStreamGetLoggedEvents = 214,
    kStreamConfirmAlarms = 216,
    kStreamClearAlarms = 218,
    kStreamSendMessage = 800,
};

class ZtEventStreamSerializer {
public:
    static SerializedStream* CreateGetLoggedEventsStream(IZtStreamSerializable* settings, uint16_t handle,
                                                         ZtEventLoggerDataFormat format) noexcept;
    // A time stamp of 0 means none; any other one, negative ones too, is
    // written as an unsigned 64-bit value.
    static SerializedStream* CreateConfirmAlarmsStream(int64_t timeStamp, IZtStreamSerializable* filter,
                                                       uint16_t handle, ZtEventLoggerDataFormat format) noexcept;
    static SerializedStream* CreateClearAlarmsStream(int64_t timeStamp, bool resetConfirmation,
                                                     IZtStreamSerializable* filter, uint16_t handle,
                                                     ZtEventLoggerDataFormat format) noexcept;
    // A null file name is written as the empty text.
    static SerializedStream* CreateExportLoggedEventsStream(const char* fileName, IZtStreamSerializable* settings,
                                                            uint16_t handle, ZtEventLoggerDataFormat format) noexcept;

    // The capacity a key/value stream starts with; it grows by doubling.
    static constexpr uint64_t kFirstCapacity = 1024;
};

}  // namespace ZtEventLoggerCommon

namespace ZtEventLoggerVdlProxy {

class ZtEventStreamSerializer : public ZtEventLoggerCommon::ZtEventStreamSerializer {
public:
    // The send-message request: header (type 800, format 0, payload length E)
    // and one record of E bytes, then 4 zero bytes. The record has the head of
    // a service record (class, id, severity; times, qualifier and states 0),
    // then the source-info table at 120 with the items' data behind it, the
    // JSON attribute (jsonLength + 1 bytes with its NUL, none when jsonLength
    // is 0), the argument type codes (2 bytes each) and the argument data.
    // sourceInfo and arguments may be null. An item or argument that cannot
    // be read is written with type code 0 and no data, so the record's sizes
    // always match its contents.
    static SerializedStream* CreateSendMessageStream(const GUID& eventClass, uint32_t eventId,
                                                     tagSeverityLevelEnum severity, const char* jsonAttribute,
                                                     uint32_t jsonLength, IZtSourceInfo* sourceInfo,
                                                     IZtArguments* arguments) noexcept;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_STREAM_SERIALIZER_H
