/*
 * EventJson.h - the JSON form of events for scripts and the gateway: one
 * object per event, written compactly on one line.
 *
 *   {"change":"raised","kind":"alarm","class":"{4A6F...}","className":"Axes","id":10,
 *    "severity":3,"severityName":"error","type":"alarm",
 *    "state":{"raised":true,"confirmation":"waiting","confirmationState":2},
 *    "raised":{"utc":"2024-05-01T12:30:00.123Z","fileTime":133590402001230000},
 *    "cleared":null,"confirmed":null,
 *    "source":{"id":13,"guid":"{B5E3...}","name":"Machine.Axes.Z"},
 *    "arguments":[{"type":"bstr","value":"Z"},{"type":"double","value":0.473}],
 *    "json":{"axis":"Z"},"text":"Axis Z: following error 0.47 mm","texts":{"1033":"...","1031":"..."}}
 *
 * "change" is present only when given (watch: raised, cleared, confirmed,
 * message, removed, ...). "state" is written for alarms and logged events
 * (logged: "active", "withConfirmation"). Times not set are null. "json" is
 * the attribute parsed when it is valid JSON, else its text, absent when
 * empty. Texts are present once ReadTexts filled them ("text" is the first
 * language). Source members are present only for the items the event has.
 * Arguments of 64-bit integer types are JSON numbers (exact up to 2^53 in
 * most readers). Strings are UTF-8; invalid sequences are replaced so that
 * the line always parses.
 */
#ifndef ZT_TOOL_EVENT_JSON_H
#define ZT_TOOL_EVENT_JSON_H

#include <string>
#include <string_view>

#include "ZtTool/EventView.h"

namespace ZtTool {

// The event as one line of JSON without a line end; change may be empty.
std::string EventJsonLine(const EventView& view, std::string_view change = {});

// Text with any invalid UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

}  // namespace ZtTool

#endif  // ZT_TOOL_EVENT_JSON_H
