#include "TargetPath.h"

#include <gtest/gtest.h>

namespace {

using ZtEventLoggerVdlApi::detail::PathChain;
using Chain = std::vector<std::string>;

TEST(TargetPath, ChainOfAncestors) {
    struct Case {
        const char* path;
        Chain chain;
    } cases[] = {
        {"a/b/c", {"a/b/c", "a/b", "a"}},
        {"a\\b\\c", {"a\\b\\c", "a\\b", "a"}},
        {"a/b\\c", {"a/b\\c", "a/b", "a"}},
        {"a//b/", {"a//b/", "a"}},
        {"a", {"a"}},
        {"", {""}},
        {"/x/y", {"/x/y", "/x"}},
        {"/", {"/"}},
        {"C:\\data\\logs", {"C:\\data\\logs", "C:\\data"}},
        {"C:data", {"C:data"}},
    };
    for (const auto& c : cases) EXPECT_EQ(PathChain(c.path), c.chain) << c.path;
}

}  // namespace
