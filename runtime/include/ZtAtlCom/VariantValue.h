/*
 * VariantValue.h - reading typed values out of VARIANTs, comparing them, and
 * the byte sizes of the library's typed argument data.
 *
 * None of these functions throws.
 */
#ifndef ZT_ATLCOM_VARIANT_VALUE_H
#define ZT_ATLCOM_VARIANT_VALUE_H

#include "ZtAtlCom/Variant.h"

namespace ZtAtlCom {

/* Byte size of a value of type vt in typed argument data: VT_I2 2, VT_I4 4,
 * VT_R4 4, VT_R8 8, VT_BOOL 1 (one byte, not 2), VT_I1 1, VT_UI1 1, VT_UI2 2,
 * VT_UI4 4, VT_I8 8, VT_UI8 8, VT_INT 4, VT_UINT 4; any other code
 * E_INVALIDARG (size untouched). */
ZT_ATLCOM_API HRESULT GetVarTypeByteSize(VARTYPE vt, ULONG& size) noexcept;

/* Reads the value as T: directly when v.vt is T's type, otherwise converted
 * with VariantChangeTypeEx (its HRESULT returned; out untouched on failure).
 * Types: double VT_R8, float VT_R4, char and signed char VT_I1, unsigned char
 * VT_UI1, short VT_I2, unsigned short VT_UI2, int VT_I4, unsigned int VT_UI4,
 * long VT_I8, unsigned long VT_UI8. */
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, double& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, float& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, char& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, signed char& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, unsigned char& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, short& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, unsigned short& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, int& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, unsigned int& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, long& out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, unsigned long& out) noexcept;

/* The value as text, converted to VT_BSTR first (conversion failure
 * returned). *out receives a malloc block holding the text up to its first 0
 * and a closing 0 (char), or its code points and a closing 0 (wchar_t); the
 * caller frees it with free. An empty text leaves *out null with S_OK. Null
 * out: E_POINTER; allocation failure: E_OUTOFMEMORY. */
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, char** out) noexcept;
ZT_ATLCOM_API HRESULT VariantGetValue(const VARIANT& v, wchar_t** out) noexcept;

/* Splits v into a number or a text. number must be 0 and text null on entry
 * (else E_INVALIDARG). VT_I2, VT_I4, VT_INT (sign-extended), VT_UI2, VT_UI4,
 * VT_UINT (zero-extended) go to number; for VT_BSTR the BSTR itself (not a
 * copy, still owned by v) goes to text; BYREF forms are read through the
 * reference (a null reference: E_INVALIDARG). Any other type: S_OK with
 * nothing set. */
ZT_ATLCOM_API HRESULT Variant2Value(const VARIANT& v, long& number, char*& text) noexcept;

/* A GUID from VT_BSTR text (GUID text rules of Guid.h; malformed: E_FAIL) or
 * from a one-dimensional VT_ARRAY|VT_UI1 of exactly 16 one-byte elements
 * (else E_INVALIDARG); VT_LPWSTR: E_NOTIMPL; every other type, VT_CLSID
 * included: E_INVALIDARG. out is untouched on failure. */
ZT_ATLCOM_API HRESULT VariantToGUID(const VARIANT& v, GUID& out) noexcept;

constexpr HRESULT VARCMP_LT = 0;
constexpr HRESULT VARCMP_EQ = 1;
constexpr HRESULT VARCMP_GT = 2;
constexpr HRESULT VARCMP_NULL = 3;
constexpr ULONG NORM_IGNORECASE = 0x1;

/* Orders left against right: VARCMP_LT, VARCMP_EQ, VARCMP_GT, or VARCMP_NULL
 * for a null argument or a NaN. Signed and unsigned integers compare as
 * 64-bit numbers, floating point with any number as double; two texts with
 * strcmp (strcasecmp with NORM_IGNORECASE in flags); a text with a number
 * after parsing the text in base 10 as the number's kind (text that is no
 * number: E_INVALIDARG, out of range: E_BOUNDS); a text with a VT_BOOL
 * against "true"/"false" (the boolean's value) ignoring case. Any other pair,
 * BYREF operands included: E_INVALIDARG. lcid is ignored. */
ZT_ATLCOM_API HRESULT VarCmp(const VARIANT* pvarLeft, const VARIANT* pvarRight, LCID lcid, ULONG dwFlags) noexcept;

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_VARIANT_VALUE_H
