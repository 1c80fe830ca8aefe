// TargetPath.h - paths on the target's file system (internal).
#ifndef ZT_TARGET_PATH_H
#define ZT_TARGET_PATH_H

#include <string>
#include <string_view>
#include <vector>

namespace ZtEventLoggerVdlApi::detail {

// The path and its ancestors, the path itself first and as given:
// "a/b/c" -> "a/b/c", "a/b", "a". Parts are separated by '/' or '\' (either,
// as the target's system may use both); separators at the end of a part are
// dropped from its ancestors. A root ("/", "\", "C:", "C:\") stays on every
// ancestor but is never one of its own. The empty path gives itself.
std::vector<std::string> PathChain(std::string_view path);

}  // namespace ZtEventLoggerVdlApi::detail

#endif  // ZT_TARGET_PATH_H
