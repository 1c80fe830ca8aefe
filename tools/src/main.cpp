// zt-eventlog: the program. Ctrl-C (SIGINT) and SIGTERM only set a flag; the
// running subcommand sees it, ends its loop and releases every object on the
// main thread.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>

#include "Cli.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int) { g_stop.store(true); }

}  // namespace

int main(int argc, char** argv) {
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler only stores a lock-free flag");
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a write error, not a silent death

    std::vector<std::string> args(argv + 1, argv + argc);
    ZtEventLog::CliStreams streams{std::cout, std::cerr, isatty(STDOUT_FILENO) == 1, isatty(STDERR_FILENO) == 1};
    return ZtEventLog::RunCli(args, streams, &g_stop);
}
