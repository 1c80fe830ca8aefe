/*
 * TimeText.h - the time stamps of events (FILETIME: 100 ns since 1601-01-01
 * UTC, 0 = not set) as text, and text as time stamps.
 *
 *     FileTimeToIsoUtc(133590402000000000)      "2024-05-01T12:30:00.000Z"
 *     FileTimeToLocalText(ft)                    "2024-05-01 14:30:00.000" (the host's zone)
 *     ParseTimeText("2024-05-01T14:30+02:00")   133590402000000000
 *
 * Pure functions, any thread (local time uses localtime_r).
 */
#ifndef ZT_TOOL_TIME_TEXT_H
#define ZT_TOOL_TIME_TEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZtTool {

// 100 ns ticks between 1601-01-01 and 1970-01-01.
inline constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;

uint64_t FileTimeNow();

// ISO 8601 in UTC with `digits` fraction digits (0 to 7); "" for 0 (not set)
// and for times beyond the year 9999.
std::string FileTimeToIsoUtc(uint64_t fileTime, int digits = 3);
// Local time "YYYY-MM-DD HH:MM:SS.mmm"; timeOnly gives "HH:MM:SS.mmm". "" for 0.
std::string FileTimeToLocalText(uint64_t fileTime, bool timeOnly = false);

// A FILETIME number, "now", or ISO 8601: a date, optionally 'T' or a blank
// and hh:mm[:ss[.fraction]], optionally 'Z' or an offset (+02:00, -0500,
// +02). Without a zone the time is local time; UTC needs 'Z'. Years 1601 to
// 9999. nullopt for anything else.
std::optional<uint64_t> ParseTimeText(std::string_view text);

}  // namespace ZtTool

#endif  // ZT_TOOL_TIME_TEXT_H
