#include "ZtAtlCom/BStr.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace ZtAtlCom;

TEST(BStr, BlockIsLengthTextAndZero) {
    BSTR b = SysAllocStringLen("ab\0cd", 5);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::string(b - 4, 10), std::string("\x05\x00\x00\x00" "ab\0cd" "\0", 10));
    EXPECT_EQ(SysStringLen(b), 5u) << "embedded 0 bytes count";
    EXPECT_EQ(SysStringByteLen(b), 5u);
    SysFreeString(b);
}

TEST(BStr, AllocationRules) {
    struct Case {
        const char* what;
        BSTR value;
        bool isNull;
        UINT length;
    } cases[] = {
        {"\"\" gives an empty text", SysAllocString(""), false, 0},
        {"SysAllocString stops at the first 0", SysAllocString("xy\0z"), false, 2},
        {"null text", SysAllocString(nullptr), true, 0},
        {"length 0 allocates nothing", SysAllocStringLen("abc", 0), true, 0},
        {"byte length 0 allocates nothing", SysAllocStringByteLen("abc", 0), true, 0},
        {"no source: text left uninitialised", SysAllocStringLen(nullptr, 3), false, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value == nullptr, c.isNull) << c.what;
        EXPECT_EQ(SysStringLen(c.value), c.length) << c.what;
        EXPECT_TRUE(!c.value || c.value[c.length] == '\0') << c.what << ": closing 0 written";
        SysFreeString(c.value);
    }
}

TEST(BStr, ReallocationKeepsTheOldValueWhenRefused) {
    BSTR b = SysAllocString("old");
    EXPECT_EQ(SysReAllocString(nullptr, "x"), 0);
    EXPECT_EQ(SysReAllocString(&b, nullptr), 0);
    EXPECT_EQ(SysReAllocStringLen(&b, "abc", 4), 0) << "shorter than n";
    EXPECT_EQ(SysReAllocStringLen(&b, "abc", 0), 0);
    EXPECT_STREQ(b, "old");
    EXPECT_EQ(SysReAllocStringLen(&b, "abcdef", 4), 1);
    EXPECT_EQ(std::string(b, SysStringLen(b)), "abcd");
    EXPECT_EQ(SysReAllocString(&b, b + 1), 1) << "the source may be the old value";
    EXPECT_STREQ(b, "bcd");
    SysFreeString(b);
}

}  // namespace
