/*
 * Guid.h - GUIDs, interface ids bound to interface types, and GUID text.
 *
 * A GUID is 16 bytes: Data1 (32-bit), Data2 and Data3 (16-bit), Data4 (8
 * bytes), little-endian. Interface and class ids are GUIDs.
 *
 * Declaring an interface id. Right after an interface declaration, in the same
 * namespace, write
 *
 *     struct IZtThing : ZtAtlCom::IDispatch { ... };
 *     ZT_DECLARE_IID(IZtThing, "8553E857-3EB7-EE60-84B1-823448218033")
 *
 * This defines the constant IID_IZtThing and binds it to the type, so that
 * ZtAtlCom::iid_of<IZtThing>() (spelled ZT_UUIDOF(IZtThing) where that reads
 * better) yields it at compile time. The text is checked when compiling. A
 * type without a declared id does not compile where its id is asked for; an
 * interface never inherits the id of its base. For a type whose name cannot
 * be pasted (a template instance) bind an existing constant with
 * ZT_BIND_IID(Type, constant).
 */
#ifndef ZT_ATLCOM_GUID_H
#define ZT_ATLCOM_GUID_H

#include "ZtAtlCom/BaseTypes.h"
#include "ZtAtlCom/Export.h"

namespace ZtAtlCom {

struct _GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using GUID = _GUID;
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

// Equal when all 16 bytes are equal.
constexpr bool operator==(const GUID& a, const GUID& b) noexcept {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};

namespace detail {

consteval unsigned GuidLiteralDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    throw "interface id: not a hexadecimal digit";  // not a constant: fails the build
}

consteval std::uint32_t GuidLiteralHex(const char* s, int digits) {
    std::uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = (v << 4) | GuidLiteralDigit(s[i]);
    return v;
}

// Compile-time GUID from "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", braces optional.
template <std::size_t N>
consteval GUID ParseGuidLiteral(const char (&text)[N]) {
    static_assert(N == 37 || N == 39, "interface id: 36 characters, or 38 with braces");
    const char* s = text + (N == 39 ? 1 : 0);
    if (N == 39 && (text[0] != '{' || text[37] != '}')) throw "interface id: braces";
    if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') throw "interface id: hyphens";
    GUID g{};
    g.Data1 = GuidLiteralHex(s, 8);
    g.Data2 = static_cast<std::uint16_t>(GuidLiteralHex(s + 9, 4));
    g.Data3 = static_cast<std::uint16_t>(GuidLiteralHex(s + 14, 4));
    g.Data4[0] = static_cast<std::uint8_t>(GuidLiteralHex(s + 19, 2));
    g.Data4[1] = static_cast<std::uint8_t>(GuidLiteralHex(s + 21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<std::uint8_t>(GuidLiteralHex(s + 24 + 2 * i, 2));
    return g;
}

}  // namespace detail

// Tag through which an interface type finds its id by argument-dependent
// lookup; only an exact match of the type binds.
template <class I>
struct IidTag {};

template <class I>
constexpr const IID& iid_of() noexcept {
    return ZtIidOf(IidTag<I>{});
}

/* Writes the braced upper-case text of guid and a closing 0 ("{%08X-%04X-%04X-
 * %02X%02X-%02X%02X%02X%02X%02X%02X}", 39 characters in all) to buffer and
 * returns 39. Returns 0 and writes nothing when buffer is null, cchMax is
 * below 39 or the platform conversion fails. */
ZT_ATLCOM_API int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) noexcept;

}  // namespace ZtAtlCom

namespace ZtCppUtils::detail {

/* Parses GUID text: 36 characters, or 38 with braces, hexadecimal digits of
 * either case. Null or empty text gives the zero GUID. Returns false for a
 * null out-pointer or malformed text, leaving *guid untouched; reads at most
 * 39 bytes of text. */
ZT_ATLCOM_API bool GuidStringToGuid(const char* text, ZtAtlCom::GUID* guid) noexcept;

}  // namespace ZtCppUtils::detail

// [[maybe_unused]]: interfaces declared in an unnamed namespace (tests) may
// never have their id asked for.
#define ZT_BIND_IID(Type, iidConstant)                                                \
    [[maybe_unused]] constexpr const ::ZtAtlCom::IID& ZtIidOf(::ZtAtlCom::IidTag<Type>) noexcept { \
        return iidConstant;                                                           \
    }

#define ZT_DECLARE_IID(Interface, text)                                                            \
    inline constexpr ::ZtAtlCom::IID IID_##Interface = ::ZtAtlCom::detail::ParseGuidLiteral(text); \
    ZT_BIND_IID(Interface, IID_##Interface)

#define ZT_UUIDOF(Type) (::ZtAtlCom::iid_of<Type>())

#endif  // ZT_ATLCOM_GUID_H
