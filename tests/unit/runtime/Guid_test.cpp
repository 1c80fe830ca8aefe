#include "ZtAtlCom/Guid.h"

#include "ZtAtlCom/Dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace ZtAtlCom;
using ZtCppUtils::detail::GuidStringToGuid;

constexpr GUID kSample = {0x199C67F3, 0x1E75, 0xB688, {0x45, 0x2B, 0xBB, 0x4D, 0xE5, 0xE2, 0xC5, 0x12}};

TEST(Guid, MemoryLayoutIsLittleEndianFields) {
    const unsigned char expected[16] = {0xF3, 0x67, 0x9C, 0x19, 0x75, 0x1E, 0x88, 0xB6,
                                        0x45, 0x2B, 0xBB, 0x4D, 0xE5, 0xE2, 0xC5, 0x12};
    EXPECT_EQ(std::memcmp(&kSample, expected, 16), 0);
}

TEST(Guid, CompileTimeIdsMatchTheirText) {
    constexpr GUID parsed = detail::ParseGuidLiteral("{199c67f3-1E75-B688-452B-BB4DE5E2C512}");
    static_assert(parsed == kSample);
    EXPECT_EQ(iid_of<IUnknown>(), (GUID{0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}));
    EXPECT_FALSE(IID_IDispatch == IID_IUnknown);
}

TEST(Guid, StringFromGuidNeedsRoomFor39) {
    char buffer[64];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(StringFromGUID2(kSample, buffer, 38), 0);
    EXPECT_EQ(buffer[0], '#') << "nothing written";
    EXPECT_EQ(StringFromGUID2(kSample, nullptr, 64), 0);
    ASSERT_EQ(StringFromGUID2(kSample, buffer, 39), 39);
    EXPECT_STREQ(buffer, "{199C67F3-1E75-B688-452B-BB4DE5E2C512}");
    EXPECT_EQ(buffer[39], '#') << "exactly 39 characters";
}

TEST(Guid, TextRoundTripsThroughBothForms) {
    char text[39];
    ASSERT_EQ(StringFromGUID2(kSample, text, 39), 39);
    GUID g{};
    ASSERT_TRUE(GuidStringToGuid(text, &g));
    EXPECT_EQ(g, kSample);
    const std::string bare(text + 1, 36);
    GUID h{};
    ASSERT_TRUE(GuidStringToGuid(bare.c_str(), &h));
    EXPECT_EQ(h, kSample);
}

TEST(Guid, ParsingAcceptsAndRejects) {
    const GUID unknown = IID_IUnknown;
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
        {"00000000-0000-0000-C000-00000000004", false},     // 35 characters
        {"{00000000-0000-0000-C000-000000000046)", false},  // last is not "}"
        {"00000000-0000-0000-C000-0000000-0046", false},    // hyphen in a digit position
        {"00000000+0000-0000-C000-000000000046", false},    // no hyphen at 8
        {"0000000G-0000-0000-C000-000000000046", false},    // not a digit
        {"{00000000-0000-0000-C000-000000000046", false},
    };
    for (const auto& c : cases) {
        GUID g = kSample;
        EXPECT_EQ(GuidStringToGuid(c.text, &g), c.ok) << c.text;
        EXPECT_EQ(g, c.ok ? unknown : kSample) << c.text << (c.ok ? "" : ": untouched on failure");
    }
}

TEST(Guid, EmptyTextIsTheZeroGuid) {
    GUID g = kSample;
    EXPECT_TRUE(GuidStringToGuid(nullptr, &g));
    EXPECT_EQ(g, GUID_NULL);
    g = kSample;
    EXPECT_TRUE(GuidStringToGuid("", &g));
    EXPECT_EQ(g, GUID_NULL);
    EXPECT_FALSE(GuidStringToGuid("", nullptr));
}

}  // namespace
