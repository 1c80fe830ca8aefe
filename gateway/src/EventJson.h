// EventJson.h - the JSON objects of messages, alarms and logged events that
// the gateway publishes, read through the public event interfaces:
//
//   {"type":"alarm","class":"{4A6F...}","id":10,"qualifier":0,"severity":"error",
//    "severityLevel":3,"raised":"2024-05-01T12:30:00.1234567Z","raisedFileTime":133590...,
//    "isRaised":true,"confirmationState":"waiting",
//    "source":{"id":13,"guid":"{B5E3...}","name":"Machine.Axes.Z"},
//    "arguments":[{"type":"bstr","value":"Z"},{"type":"double","value":0.473}],
//    "json":{"axis":"Z"},"texts":{"1033":"Following error on axis Z"}}
//
// Times that are not set are left out; "json" holds the attribute as JSON
// when it parses, else as a text; texts are fetched from the controller in
// the languages asked for (one request each).
#ifndef ZT_GATEWAY_EVENT_JSON_H
#define ZT_GATEWAY_EVENT_JSON_H

#include <cstdint>
#include <string>
#include <vector>

#include "EventSource.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"

namespace ZtGateway {

std::string MessageJson(ZtEventLoggerVdlProxy::IZtMessage* message, const std::vector<int32_t>& languages);
std::string AlarmJson(ZtEventLoggerVdlProxy::IZtAlarm* alarm, const std::vector<int32_t>& languages);
std::string LoggedEventJson(ZtEventLoggerVdlProxy::IZtLoggedEvent* event, const std::vector<int32_t>& languages);

// Class and id of an event. The public interfaces do not carry the key
// qualifier, so it is 0.
AlarmKey KeyOf(ZtEventLoggerVdlProxy::IZtEvent* event);
std::string GuidText(const ZtAtlCom::GUID& guid);

// Decodes an argument copy (types block, then data block) into the JSON
// array of {"type","value"}; bounds-checked: a block that does not add up
// gives the arguments read so far and {"type":"invalid"}.
std::string ArgumentsJson(const uint8_t* bytes, size_t size, uint32_t count, uint32_t typesSize);

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_EVENT_JSON_H
