// Tool.h - what every subcommand of zt-eventlog shares: the global options,
// the output, the stop flag of Ctrl-C, exit codes and the registration of
// the subcommands on the command line.
#ifndef ZT_EVENTLOG_TOOL_H
#define ZT_EVENTLOG_TOOL_H

#include <CLI/CLI.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Output.h"

namespace ZtEventLog {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // the operation failed (the error is printed)
    kExitUsage = 2,   // the command line is wrong
};

// A value on the command line that is not what the option takes: exit 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct GlobalOptions {
    std::string target;     // NetId, alias or route name; empty: the local target
    std::string router;     // host:port of the message router; empty: ZT_MRX_ROUTER or the default
    int timeoutMs = 0;      // request time-out of target access; 0: the library's
    std::string language = "en";
    bool json = false;
    std::string color = "auto";
};

struct ToolContext;
using CommandAction = std::function<int(ToolContext&)>;

struct ToolContext {
    GlobalOptions options;
    Output& out;
    const std::atomic<bool>* stop;  // set by Ctrl-C (or a test); may be null
    std::vector<long> languages;    // from options.language; the first is the one shown
    CommandAction action;           // the subcommand chosen

    bool Stopped() const { return stop && stop->load(); }
    long Language() const { return languages.empty() ? 1033 : languages.front(); }
    // Sleeps up to ms in short slices; false when a stop came meanwhile.
    bool Sleep(int ms) const;
    // Prints "what: <sentence of hr>" and returns kExitFailed.
    int Fail(int32_t hr, const std::string& what);
    int FailVdl(uint32_t code, const std::string& what);
};

// Each file of subcommands adds its own to the application; the chosen one
// stores its action in ctx.action once the command line is parsed.
void AddTargetCommands(CLI::App& app, ToolContext& ctx);
void AddEventCommands(CLI::App& app, ToolContext& ctx);
void AddTextCommands(CLI::App& app, ToolContext& ctx);
void AddWatchCommands(CLI::App& app, ToolContext& ctx);

// Sets the action of sub: it runs after all options are read.
void OnRun(CLI::App* sub, ToolContext& ctx, CommandAction action);

// Parses text as a number of the range, or throws UsageError naming what.
uint64_t ParseUnsigned(const std::string& text, uint64_t max, const std::string& what);

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_TOOL_H
