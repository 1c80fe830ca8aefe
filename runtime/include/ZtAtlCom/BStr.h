/*
 * BStr.h - length-prefixed texts (BSTR).
 *
 * A BSTR points at the first text byte of a malloc block laid out as
 *     4-byte unsigned length L (host order) | L text bytes | one 0 byte
 * (block size L + 5). L counts bytes; the text may hold any bytes, including
 * 0, and is UTF-8 by convention. A null BSTR is the empty text. Texts handed
 * to a host are freed by it with SysFreeString.
 *
 * No function throws or reports an HRESULT: allocating functions return null
 * on failure, reallocating ones return 0 and keep the old value. Callers turn
 * a null result into E_OUTOFMEMORY where a non-empty value was expected.
 * All functions are reentrant.
 */
#ifndef ZT_ATLCOM_BSTR_H
#define ZT_ATLCOM_BSTR_H

#include "ZtAtlCom/BaseTypes.h"
#include "ZtAtlCom/Export.h"

namespace ZtAtlCom {

// New BSTR of the bytes up to the first 0 of psz ("" gives a valid empty
// BSTR). Null psz or allocation failure: null.
ZT_ATLCOM_API BSTR SysAllocString(const OLECHAR* psz) noexcept;

// New BSTR of length len; copies len bytes from pch when it is not null, else
// leaves the text uninitialised; always writes the closing 0. len 0: null
// without allocating.
ZT_ATLCOM_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT len) noexcept;

// The same as SysAllocStringLen (bytes and characters are the same here).
ZT_ATLCOM_API BSTR SysAllocStringByteLen(const char* psz, UINT len) noexcept;

// Replaces *pbstr by a new BSTR of psz (as SysAllocString), freeing the old
// one; 1 on success. 0 with nothing changed for a null pbstr or psz, or on
// allocation failure. psz may point into *pbstr.
ZT_ATLCOM_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) noexcept;

// As SysReAllocString with exactly len bytes of psz; 0 without change also
// when len is 0 or psz holds fewer than len bytes before its first 0.
ZT_ATLCOM_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) noexcept;

// Frees the block; null is ignored.
ZT_ATLCOM_API void SysFreeString(BSTR bstr) noexcept;

// The stored length L; 0 for null.
ZT_ATLCOM_API UINT SysStringLen(BSTR bstr) noexcept;
ZT_ATLCOM_API UINT SysStringByteLen(BSTR bstr) noexcept;

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_BSTR_H
