// Cli.h - runs the zt-eventlog command line. main() passes its argv and the
// stop flag that its signal handler sets; tests pass an argument vector and
// string streams and read what was printed.
#ifndef ZT_EVENTLOG_CLI_H
#define ZT_EVENTLOG_CLI_H

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace ZtEventLog {

struct CliStreams {
    std::ostream& out;
    std::ostream& err;
    bool outTerminal = false;
    bool errTerminal = false;
};

// args without the program name. Returns the exit status (0 done, 1 the
// operation failed, 2 the command line is wrong). Never throws.
int RunCli(const std::vector<std::string>& args, CliStreams streams, const std::atomic<bool>* stop = nullptr);

// The reference of every subcommand in Markdown, made from the help texts
// of the command line itself (the hidden subcommand help-markdown).
std::string HelpMarkdown();
// The table of result codes (name, value, meaning) in Markdown, from the
// code table of ZtResultCodes.h (hidden subcommand help-codes).
std::string CodesMarkdown();

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_CLI_H
