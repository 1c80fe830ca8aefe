// TimeText.h - FILETIME (100 ns since 1601-01-01 UTC) as ISO 8601 text.
#ifndef ZT_GATEWAY_TIME_TEXT_H
#define ZT_GATEWAY_TIME_TEXT_H

#include <cstdint>
#include <string>

namespace ZtGateway {

// The system clock as a FILETIME.
uint64_t NowFileTime();
// "2024-05-01T12:30:00.1234567Z" (all seven digits, the event log's precision);
// empty text for 0 (not set).
std::string IsoTime(uint64_t fileTime);
// "2024-05-01T12:30:00.123Z", for log lines and status.
std::string IsoTimeMs(uint64_t fileTime);

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_TIME_TEXT_H
