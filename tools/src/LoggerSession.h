// LoggerSession.h - one event logger object for one subcommand: made through
// the class factory, connected to the chosen target, with the filter and
// settings objects the subcommand needs. Everything is released when the
// session ends (destructor: disconnect, then release).
#ifndef ZT_EVENTLOG_LOGGER_SESSION_H
#define ZT_EVENTLOG_LOGGER_SESSION_H

#include <cstdint>
#include <optional>
#include <string>

#include "Tool.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"

namespace ZtEventLog {

using ZtAtlCom::CComPtr;
using ZtEventLoggerVdlProxy::IZtEventFilter;
using ZtEventLoggerVdlProxy::IZtEventLogger3;
using ZtEventLoggerVdlProxy::IZtExportSettings;

// What selects events for log reads and exports.
struct Selection {
    std::string filter;           // filter syntax; empty: every event
    unsigned maxCount = 0;        // 0: no limit
    bool oldestFirst = false;
    std::string delimiter;        // CSV only; empty: the default
    bool noHeader = false;        // CSV only
    std::optional<long> csvLanguage;
};

class LoggerSession {
public:
    explicit LoggerSession(ToolContext& ctx) : m_ctx(ctx) {}
    ~LoggerSession() { Close(); }
    LoggerSession(const LoggerSession&) = delete;
    LoggerSession& operator=(const LoggerSession&) = delete;

    // Makes the logger and connects it; prints the failure and returns the
    // exit status when one of them fails, kExitOk otherwise.
    int Open();
    // Makes the logger only (Connect comes later, as in watch).
    int Create();
    // Connects to the target; the result as an HRESULT (Vdl codes mapped).
    int32_t Connect();
    void Disconnect();
    // Disconnects and releases the logger.
    void Close();

    IZtEventLogger3* Logger() const { return m_logger; }
    bool Connected() const;
    // The target text handed to Connect ("localhost" stands for the local
    // target, so that a reconnection always announces itself to the logger).
    std::string TargetText() const;

    // A filter made from filter syntax (throws UsageError naming the column
    // of a fault), or null for empty text.
    CComPtr<IZtEventFilter> MakeFilter(const std::string& text) const;
    CComPtr<IZtExportSettings> MakeSettings(const Selection& selection) const;

private:
    ToolContext& m_ctx;
    CComPtr<IZtEventLogger3> m_logger;
};

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_LOGGER_SESSION_H
