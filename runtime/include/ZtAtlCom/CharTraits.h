/*
 * CharTraits.h - BSTR text as standard strings.
 *
 * CharTraits<wchar_t>::From decodes the UTF-8 bytes of a BSTR into code
 * points (one per wchar_t, 32-bit here). The decoder is lenient: a byte with
 * the top bit set that does not start a complete 2-, 3- or 4-byte sequence
 * (stray continuation byte, bad lead byte, truncated sequence) is skipped and
 * produces nothing; no replacement character is written, and overlong forms
 * and surrogate values are passed through.
 *
 * Both functions read exactly the BSTR's stored length; a null BSTR gives an
 * empty string. They throw std::bad_alloc when the string cannot be allocated.
 */
#ifndef ZT_ATLCOM_CHAR_TRAITS_H
#define ZT_ATLCOM_CHAR_TRAITS_H

#include "ZtAtlCom/BaseTypes.h"
#include "ZtAtlCom/Export.h"

#include <string>

namespace ZtAtlCom {

template <class Char>
struct CharTraits;

template <>
struct CharTraits<wchar_t> {
    ZT_ATLCOM_API static std::wstring From(BSTR bstr);
};

template <>
struct CharTraits<char> {
    ZT_ATLCOM_API static std::string From(BSTR bstr);
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_CHAR_TRAITS_H
