#include "ValueText.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "ZtEventLoggerVdlApi/VdlErrors.h"

namespace {

using namespace ZtEventLoggerVdlApi::detail;

TEST(ValueText, NumbersMustBeTheWholeText) {
    EXPECT_EQ(ParseSigned("-42"), -42);
    EXPECT_EQ(ParseSigned("  +17 \n"), 17);
    bool negative = true;
    EXPECT_EQ(ParseUnsigned("18446744073709551615", negative), 18446744073709551615ull);
    EXPECT_FALSE(negative);
    EXPECT_EQ(ParseUnsigned(" -1", negative), 18446744073709551615ull);  // the parser wraps; the sign is told
    EXPECT_TRUE(negative);
    EXPECT_FLOAT_EQ(ParseFloat("1.25"), 1.25f);
    EXPECT_DOUBLE_EQ(ParseDouble("-1e300"), -1e300);

    for (const char* bad : {"", "abc", "12abc", "1.5", "0x10", "1 2", "--1"}) {
        EXPECT_THROW(ParseSigned(bad), std::invalid_argument) << bad;
        EXPECT_THROW(ParseUnsigned(bad, negative), std::invalid_argument) << bad;
    }
    EXPECT_THROW(ParseFloat("1.5x"), std::invalid_argument);
    EXPECT_THROW(ParseSigned("9223372036854775808"), std::out_of_range);
    EXPECT_THROW(ParseUnsigned("18446744073709551616", negative), std::out_of_range);
    EXPECT_THROW(ParseFloat("1e39"), std::out_of_range);
    EXPECT_THROW(ParseDouble("1e400"), std::out_of_range);
}

TEST(ValueText, Utf8AndUtf16) {
    struct Case {
        const char* utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"abc", u"abc"},
        {"gr\xC3\xBC\xC3\x9F" "e", u"gr\u00FC\u00DFe"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9D\x84\x9E", std::u16string{char16_t(0xD834), char16_t(0xDD1E)}},  // outside the basic plane
    };
    for (const auto& c : cases) {
        std::u16string u;
        ASSERT_TRUE(Utf8ToUtf16(c.utf8, u)) << c.utf8;
        EXPECT_EQ(u, c.utf16) << c.utf8;
        std::string back;
        ASSERT_TRUE(Utf16ToUtf8(u, back));
        EXPECT_EQ(back, c.utf8);
    }
    std::u16string u;
    for (const char* bad : {"\xFF", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"})
        EXPECT_FALSE(Utf8ToUtf16(bad, u)) << static_cast<int>(static_cast<unsigned char>(bad[0]));
    std::string s;
    EXPECT_FALSE(Utf16ToUtf8(std::u16string{char16_t(0xD834)}, s));               // lone high surrogate
    EXPECT_FALSE(Utf16ToUtf8(std::u16string{char16_t(0xDD1E), u'a'}, s));        // lone low surrogate
    EXPECT_FALSE(Utf16ToUtf8(std::u16string{char16_t(0xD834), u'a'}, s));        // high one not followed by a low one
}

TEST(ValueText, HexRoundTrip) {
    const uint8_t bytes[] = {0x0A, 0xFF, 0x00};
    EXPECT_EQ(HexText(bytes, 3), "0x0aff00");
    EXPECT_EQ(HexText(bytes, 0), "0x");
    std::vector<uint8_t> out;
    EXPECT_EQ(ParseHexText("0x0AFF00", 3, out), 0u);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x0A, 0xFF, 0x00}));
    EXPECT_EQ(ParseHexText("0X0aFf00", 3, out), 0u);
    struct Case {
        const char* text;
        uint32_t code;
    } cases[] = {
        {"0x0aff", 1798},       // runs out
        {"0x0aff0", 1798},      // half a byte
        {"0x0aff0g", 1798},     // not hexadecimal
        {"0x+1ff00", 1798},     // a sign is no digit
        {"0aff00", 1798},       // no prefix
        {"", 1798},
        {"0x0aff0000", 1797},   // more bytes than the symbol holds
    };
    for (const auto& c : cases) {
        out = {9};
        EXPECT_EQ(ParseHexText(c.text, 3, out), c.code) << c.text;
        EXPECT_EQ(out, std::vector<uint8_t>{9}) << c.text;  // untouched
    }
}

}  // namespace
