#include "ZtAtlCom/BStr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace ZtAtlCom;

// The whole block: 4-byte length, text, closing 0.
std::string BlockBytes(BSTR b) {
    const UINT len = SysStringLen(b);
    return std::string(b - 4, len + 5);
}

TEST(BStr, BlockIsLengthTextAndZero) {
    BSTR b = SysAllocStringLen("ab\0cd", 5);
    ASSERT_NE(b, nullptr);
    const std::string expected("\x05\x00\x00\x00" "ab\0cd" "\0", 10);
    EXPECT_EQ(BlockBytes(b), expected);
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
        {"SysAllocString of \"\"", SysAllocString(""), false, 0},
        {"SysAllocString stops at the first 0", SysAllocString("xy\0z"), false, 2},
        {"SysAllocString of null", SysAllocString(nullptr), true, 0},
        {"SysAllocStringLen of 0 bytes", SysAllocStringLen("abc", 0), true, 0},
        {"SysAllocStringByteLen of 0 bytes", SysAllocStringByteLen("abc", 0), true, 0},
        {"SysAllocStringLen without text", SysAllocStringLen(nullptr, 3), false, 3},
        {"SysAllocStringByteLen", SysAllocStringByteLen("a\0b", 3), false, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value == nullptr, c.isNull) << c.what;
        EXPECT_EQ(SysStringLen(c.value), c.length) << c.what;
        if (c.value) {
            EXPECT_EQ(c.value[c.length], '\0') << c.what << ": closing 0 written";
        }
        SysFreeString(c.value);
    }
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(BStr, ReallocationKeepsTheOldValueWhenRefused) {
    BSTR b = SysAllocString("old");
    EXPECT_EQ(SysReAllocString(nullptr, "x"), 0);
    EXPECT_EQ(SysReAllocString(&b, nullptr), 0);
    EXPECT_EQ(SysReAllocStringLen(&b, "abc", 4), 0) << "shorter than n";
    EXPECT_EQ(SysReAllocStringLen(&b, "abc", 0), 0);
    EXPECT_EQ(SysReAllocStringLen(&b, nullptr, 1), 0);
    EXPECT_STREQ(b, "old");

    EXPECT_EQ(SysReAllocStringLen(&b, "abcdef", 4), 1);
    EXPECT_EQ(std::string(b, SysStringLen(b)), "abcd");
    EXPECT_EQ(SysReAllocString(&b, b + 1), 1) << "the source may be the old value";
    EXPECT_STREQ(b, "bcd");
    SysFreeString(b);

    BSTR none = nullptr;
    EXPECT_EQ(SysReAllocString(&none, "new"), 1);
    EXPECT_STREQ(none, "new");
    SysFreeString(none);
}

}  // namespace
