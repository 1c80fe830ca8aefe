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
        {"three and four bytes", "\xE2\x82\xAC\xF0\x9F\x98\x80", L"\x20AC\x1F600"},
        {"stray continuation byte", "a\x80" "b", L"ab"},
        {"truncated sequence at the end", "ab\xC3", L"ab"},
        {"truncated three-byte sequence", "\xE2\x82z", L"z"},
        {"bad lead byte and its tail", "\xF8\x88\x80\x80\x80" "x", L"x"},
        {"overlong form and surrogate pass", "\xC0\x80\xED\xA0\x80", std::wstring(L"\0\xD800", 2)},
        {"embedded 0 byte", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"empty", "", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.expected) << c.what;
    EXPECT_TRUE(CharTraits<wchar_t>::From(nullptr).empty());
}

// Plain ASCII goes four bytes at a time from aligned positions only: the
// result, and the count taken first, must not depend on where the text lies.
TEST(CharTraits, ResultDoesNotDependOnAlignment) {
    const std::string text = "abcd\xC3\xA9" "efghijkl\xF0\x9F\x98\x80mnopq\x80rstu";
    std::vector<unsigned char> storage(text.size() + 4);
    for (std::size_t shift = 0; shift < 4; ++shift) {
        std::copy(text.begin(), text.end(), storage.begin() + static_cast<std::ptrdiff_t>(shift));
        detail::utf32_counter counter;
        detail::utf8_decoder::process(storage.data() + shift, text.size(), counter);
        std::wstring out(counter.count, L'?');
        detail::utf32_writer writer{out.data()};
        detail::utf8_decoder::process(storage.data() + shift, text.size(), writer);
        EXPECT_EQ(writer.out, out.data() + out.size()) << "count and output agree";
        EXPECT_EQ(out, L"abcd\xE9" L"efghijkl\x1F600mnopqrstu") << "shift " << shift;
    }
}

}  // namespace
