#include "ZtAtlCom/Guid.h"

#include "ZtAtlCom/Dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace ZtAtlCom;
using ZtCppUtils::detail::GuidStringToGuid;

constexpr GUID kSample = {0x199C67F3, 0x1E75, 0xB688, {0x45, 0x2B, 0xBB, 0x4D, 0xE5, 0xE2, 0xC5, 0x12}};
static_assert(detail::ParseGuidLiteral("{199c67f3-1E75-B688-452B-BB4DE5E2C512}") == kSample);

TEST(Guid, MemoryLayoutIsLittleEndianFields) {
    const unsigned char expected[16] = {0xF3, 0x67, 0x9C, 0x19, 0x75, 0x1E, 0x88, 0xB6,
                                        0x45, 0x2B, 0xBB, 0x4D, 0xE5, 0xE2, 0xC5, 0x12};
    EXPECT_EQ(std::memcmp(&kSample, expected, 16), 0);
}

TEST(Guid, StringFromGuidNeedsRoomFor39AndRoundTrips) {
    char buffer[64];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(StringFromGUID2(kSample, buffer, 38), 0);
    EXPECT_EQ(buffer[0], '#') << "nothing written";
    ASSERT_EQ(StringFromGUID2(kSample, buffer, 39), 39);
    EXPECT_STREQ(buffer, "{199C67F3-1E75-B688-452B-BB4DE5E2C512}");
    EXPECT_EQ(buffer[39], '#') << "exactly 39 characters";
    for (const std::string& text : {std::string(buffer), std::string(buffer + 1, 36)}) {
        GUID g{};
        ASSERT_TRUE(GuidStringToGuid(text.c_str(), &g)) << text;
        EXPECT_EQ(g, kSample) << text;
    }
}

TEST(Guid, ParsingAcceptsAndRejects) {
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {
        {"{00000000-0000-0000-C000-000000000046}", true},
        {"00000000-0000-0000-C000-000000000046", true},
        {"{00000000-0000-0000-c000-000000000046}", true},
        {"00000000-0000-0000-c000-000000000046", true},
        {"00000000-0000-0000-C000-0000000000466", false},   // 37 characters
        {"{00000000-0000-0000-C000-000000000046}}", false},  // 39 characters
        {"{00000000-0000-0000-C000-000000000046)", false},  // last is not "}"
        {"00000000-0000-0000-C000-0000000-0046", false},    // hyphen in a digit position
        {"00000000+0000-0000-C000-000000000046", false},    // no hyphen at 8
        {"0000000G-0000-0000-C000-000000000046", false},    // not a digit
    };
    for (const auto& c : cases) {
        GUID g = kSample;
        EXPECT_EQ(GuidStringToGuid(c.text, &g), c.ok) << c.text;
        EXPECT_EQ(g, c.ok ? IID_IUnknown : kSample) << c.text << (c.ok ? "" : ": untouched on failure");
    }
    for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
        GUID g = kSample;
        EXPECT_TRUE(GuidStringToGuid(empty, &g));
        EXPECT_EQ(g, GUID_NULL);
    }
    EXPECT_FALSE(GuidStringToGuid("", nullptr));
}

}  // namespace
