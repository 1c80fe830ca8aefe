// GUID text in both directions.
#include "ZtAtlCom/Guid.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#if defined(__FreeBSD__)
#include <uuid.h>
#else
#include <uuid/uuid.h>
#endif

namespace ZtAtlCom {
namespace {

constexpr int kGuidTextChars = 36;
constexpr int kBracedGuidChars = 39;  // braces and the closing 0 included

// The platform's text of guid (36 characters, case as the platform writes
// it); false when the conversion fails.
bool PlatformGuidText(const GUID& guid, char (&text)[kGuidTextChars + 1]) noexcept {
#if defined(__FreeBSD__)
    // The platform's uuid_t has the GUID's memory layout.
    uuid_t uu;
    static_assert(sizeof(uu) == sizeof(GUID), "uuid_t and GUID differ");
    std::memcpy(&uu, &guid, sizeof(uu));
    char* s = nullptr;
    uint32_t status = 0;
    uuid_to_string(&uu, &s, &status);
    bool ok = status == uuid_s_ok && s && std::strlen(s) == kGuidTextChars;
    if (ok) std::memcpy(text, s, kGuidTextChars + 1);
    std::free(s);
    return ok;
#else
    // libuuid keeps the 16 bytes in text order: the three leading fields big-endian.
    uuid_t uu;
    uu[0] = static_cast<unsigned char>(guid.Data1 >> 24);
    uu[1] = static_cast<unsigned char>(guid.Data1 >> 16);
    uu[2] = static_cast<unsigned char>(guid.Data1 >> 8);
    uu[3] = static_cast<unsigned char>(guid.Data1);
    uu[4] = static_cast<unsigned char>(guid.Data2 >> 8);
    uu[5] = static_cast<unsigned char>(guid.Data2);
    uu[6] = static_cast<unsigned char>(guid.Data3 >> 8);
    uu[7] = static_cast<unsigned char>(guid.Data3);
    std::memcpy(uu + 8, guid.Data4, 8);
    char out[kGuidTextChars + 1] = {};
    uuid_unparse_upper(uu, out);
    if (std::strlen(out) != kGuidTextChars) return false;
    std::memcpy(text, out, sizeof(out));
    return true;
#endif
}

}  // namespace

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) noexcept {
    if (!buffer || cchMax < kBracedGuidChars) return 0;
    char text[kGuidTextChars + 1];
    if (!PlatformGuidText(guid, text)) return 0;
    buffer[0] = '{';
    for (int i = 0; i < kGuidTextChars; ++i)
        buffer[1 + i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    buffer[kGuidTextChars + 1] = '}';
    buffer[kGuidTextChars + 2] = '\0';
    return kBracedGuidChars;
}

}  // namespace ZtAtlCom

namespace ZtCppUtils::detail {
namespace {

bool IsHyphenPosition(int i) noexcept { return i == 8 || i == 13 || i == 18 || i == 23; }

int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads digits hexadecimal digits already known to be valid.
std::uint32_t ReadHex(const char* s, int digits) noexcept {
    std::uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = (v << 4) | static_cast<std::uint32_t>(HexValue(s[i]));
    return v;
}

}  // namespace

bool GuidStringToGuid(const char* text, ZtAtlCom::GUID* guid) noexcept {
    if (!guid) return false;
    if (!text || text[0] == '\0') {
        *guid = ZtAtlCom::GUID_NULL;
        return true;
    }
    // Never read beyond what a well-formed text can hold.
    const std::size_t length = strnlen(text, 39);
    const char* s = text;
    if (text[0] == '{') {
        if (length != 38 || text[37] != '}') return false;
        s = text + 1;
    } else if (length != 36) {
        return false;
    }
    for (int i = 0; i < 36; ++i) {
        bool ok = IsHyphenPosition(i) ? s[i] == '-' : HexValue(s[i]) >= 0;
        if (!ok) return false;
    }
    ZtAtlCom::GUID g;
    g.Data1 = ReadHex(s, 8);
    g.Data2 = static_cast<std::uint16_t>(ReadHex(s + 9, 4));
    g.Data3 = static_cast<std::uint16_t>(ReadHex(s + 14, 4));
    const std::uint32_t clockSeq = ReadHex(s + 19, 4);  // stored high byte first
    g.Data4[0] = static_cast<std::uint8_t>(clockSeq >> 8);
    g.Data4[1] = static_cast<std::uint8_t>(clockSeq);
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<std::uint8_t>(ReadHex(s + 24 + 2 * i, 2));
    *guid = g;
    return true;
}

}  // namespace ZtCppUtils::detail
