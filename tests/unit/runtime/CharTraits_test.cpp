#include "ZtAtlCom/CharTraits.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/detail/Utf8Decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ZtAtlCom;

std::wstring Decode(const std::string& bytes) {
    BSTR b = SysAllocStringLen(bytes.data(), static_cast<UINT>(bytes.size()));
    std::wstring out = CharTraits<wchar_t>::From(b);
    SysFreeString(b);
    return out;
}

TEST(CharTraits, DecodesAndSkipsBadBytes) {
    struct Case {
        const char* what;
        std::string bytes;
        std::wstring expected;
    } cases[] = {
        {"the 0xFF byte vanishes", "\x41\xC3\xA9\xFF\x42", L"\x41\xE9\x42"},
        {"three bytes", "\xE2\x82\xAC", L"\x20AC"},
        {"four bytes", "\xF0\x9F\x98\x80", L"\x1F600"},
        {"stray continuation byte", "a\x80" "b", L"ab"},
        {"truncated two-byte sequence at the end", "ab\xC3", L"ab"},
        {"truncated three-byte sequence", "\xE2\x82z", L"z"},
        {"lead byte without continuation", "\xC3" "A", L"A"},
        {"bad lead byte", "\xF8\x88\x80\x80\x80" "x", L"x"},
        {"overlong form passes", "\xC0\x80", std::wstring(1, L'\0')},
        {"surrogate value passes", "\xED\xA0\x80", L"\xD800"},
        {"embedded 0 byte", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"long ASCII run", "abcdefghijklmnopqrstuvwxyz0123456789", L"abcdefghijklmnopqrstuvwxyz0123456789"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.expected) << c.what;
}

TEST(CharTraits, NullAndEmptyGiveEmptyStrings) {
    EXPECT_TRUE(CharTraits<wchar_t>::From(nullptr).empty());
    BSTR empty = SysAllocString("");
    EXPECT_TRUE(CharTraits<wchar_t>::From(empty).empty());
    EXPECT_TRUE(CharTraits<char>::From(empty).empty());
    SysFreeString(empty);
    BSTR bytes = SysAllocStringLen("x\0y", 3);
    EXPECT_EQ(CharTraits<char>::From(bytes), std::string("x\0y", 3));
    SysFreeString(bytes);
}

// The four-at-a-time path starts only at aligned positions; the result must
// not depend on where the text lies.
TEST(CharTraits, ResultDoesNotDependOnAlignment) {
    const std::string text = "abcd\xC3\xA9" "efghijkl\xF0\x9F\x98\x80mnopq\x80rstu";
    std::vector<unsigned char> storage(text.size() + 8);
    std::wstring first;
    for (std::size_t shift = 0; shift < 4; ++shift) {
        std::copy(text.begin(), text.end(), storage.begin() + static_cast<std::ptrdiff_t>(shift));
        detail::utf32_counter counter;
        detail::utf8_decoder::process(storage.data() + shift, text.size(), counter);
        std::wstring out(counter.count, L'?');
        detail::utf32_writer writer{out.data()};
        detail::utf8_decoder::process(storage.data() + shift, text.size(), writer);
        EXPECT_EQ(writer.out, out.data() + out.size()) << "count and output agree";
        if (shift == 0) first = out;
        EXPECT_EQ(out, first) << "shift " << shift;
    }
    EXPECT_EQ(first, L"abcd\xE9" L"efghijkl\x1F600mnopqrstu");
}

}  // namespace
