#include "TargetPath.h"

namespace ZtEventLoggerVdlApi::detail {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Length of the root at the start of path: a drive "X:" and/or one separator.
size_t RootLength(std::string_view path) {
    size_t n = 0;
    if (path.size() >= 2 && path[1] == ':') n = 2;
    if (n < path.size() && IsSeparator(path[n])) ++n;
    return n;
}

}  // namespace

std::vector<std::string> PathChain(std::string_view path) {
    std::vector<std::string> chain{std::string(path)};
    const size_t root = RootLength(path);
    std::string_view rest = path;
    for (;;) {
        while (rest.size() > root && IsSeparator(rest.back())) rest.remove_suffix(1);
        // Drop the last part and the separators before it.
        size_t end = rest.size();
        while (end > root && !IsSeparator(rest[end - 1])) --end;
        while (end > root && IsSeparator(rest[end - 1])) --end;
        if (end <= root) break;
        rest = rest.substr(0, end);
        chain.emplace_back(rest);
    }
    return chain;
}

}  // namespace ZtEventLoggerVdlApi::detail
