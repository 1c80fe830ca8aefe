#include "GatewayLog.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

#include "ZtTool/TimeText.h"

namespace ZtGateway {

namespace {
std::atomic<int> g_level{static_cast<int>(LogLevel::Info)};

const char* LevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Debug: return "DEBUG";
        case LogLevel::Info: return "INFO ";
        case LogLevel::Warn: return "WARN ";
        case LogLevel::Error: return "ERROR";
    }
    return "?    ";
}
}  // namespace

void SetLogLevel(LogLevel level) { g_level.store(static_cast<int>(level), std::memory_order_relaxed); }
LogLevel GetLogLevel() { return static_cast<LogLevel>(g_level.load(std::memory_order_relaxed)); }

bool ParseLogLevel(std::string_view text, LogLevel& level) {
    if (text == "debug") level = LogLevel::Debug;
    else if (text == "info") level = LogLevel::Info;
    else if (text == "warn") level = LogLevel::Warn;
    else if (text == "error") level = LogLevel::Error;
    else return false;
    return true;
}

void Log(LogLevel level, std::string_view area, std::string_view message) {
    if (static_cast<int>(level) < g_level.load(std::memory_order_relaxed)) return;
    std::string line = ZtTool::FileTimeToIsoUtc(ZtTool::FileTimeNow(), 3);
    line += ' ';
    line += LevelName(level);
    line += ' ';
    line.append(area);
    line += ": ";
    line.append(message);
    line += '\n';
    // One write(2) per line: stdio buffers of several threads would interleave.
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0) break;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace ZtGateway
