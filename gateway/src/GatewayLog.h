// GatewayLog.h - the gateway's log lines on stderr: "2024-05-01T12:30:00.123Z
// WARN  broker: connection lost (...)". One line per call, written whole, so
// lines of several threads never interleave.
#ifndef ZT_GATEWAY_LOG_H
#define ZT_GATEWAY_LOG_H

#include <string>
#include <string_view>

namespace ZtGateway {

enum class LogLevel : int { Debug = 0, Info = 1, Warn = 2, Error = 3 };

// Lines below the level are not written (default Info). Any thread.
void SetLogLevel(LogLevel level);
LogLevel GetLogLevel();
// "debug", "info", "warn", "error"; false for another text.
bool ParseLogLevel(std::string_view text, LogLevel& level);

// Writes one line: time, level, area, message. Any thread.
void Log(LogLevel level, std::string_view area, std::string_view message);

inline void LogDebug(std::string_view area, std::string_view m) { Log(LogLevel::Debug, area, m); }
inline void LogInfo(std::string_view area, std::string_view m) { Log(LogLevel::Info, area, m); }
inline void LogWarn(std::string_view area, std::string_view m) { Log(LogLevel::Warn, area, m); }
inline void LogError(std::string_view area, std::string_view m) { Log(LogLevel::Error, area, m); }

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_LOG_H
