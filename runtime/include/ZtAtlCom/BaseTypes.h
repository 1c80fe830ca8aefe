/*
 * BaseTypes.h - scalar types of the component runtime.
 *
 * The widths are those of the published automation layouts on a 64-bit host:
 * LONG and ULONG are 32-bit (the C++ type `long` is 64-bit here and is only
 * used where a 64-bit value is meant), pointers are 8 bytes.
 */
#ifndef ZT_ATLCOM_BASE_TYPES_H
#define ZT_ATLCOM_BASE_TYPES_H

#include <cstddef>
#include <cstdint>

namespace ZtAtlCom {

using HRESULT = std::int32_t;  // negative: failure
using SCODE = std::int32_t;
using BYTE = std::uint8_t;
using CHAR = char;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using WORD = std::uint16_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using FLOAT = float;
using DOUBLE = double;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using VARTYPE = std::uint16_t;

// -1 (VARIANT_TRUE) or 0 (VARIANT_FALSE).
using VARIANT_BOOL = std::int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Automation date: days since 1899-12-30 as a double.
using DATE = double;

// Currency: a 64-bit integer scaled by 10000.
struct CY {
    LONGLONG int64;
};

// 96-bit decimal; occupies the first 16 bytes of a VARIANT.
struct DECIMAL {
    USHORT wReserved;
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    ULONGLONG Lo64;
};

// Texts are 8-bit characters holding UTF-8 (see BStr.h).
using OLECHAR = char;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

static_assert(sizeof(CY) == 8, "CY is 8 bytes");
static_assert(sizeof(DECIMAL) == 16, "DECIMAL is 16 bytes");

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_BASE_TYPES_H
