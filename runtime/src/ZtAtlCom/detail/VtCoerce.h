// Type codes and the coercion core behind VariantChangeType.
#ifndef ZT_ATLCOM_DETAIL_VT_COERCE_H
#define ZT_ATLCOM_DETAIL_VT_COERCE_H

#include "ZtAtlCom/Variant.h"

namespace ZtAtlCom::detail {

// Neither VT_RESERVED nor VT_VECTOR; base below 24 except 15, or VT_RECORD;
// no VT_EMPTY/VT_NULL base with VT_ARRAY or VT_BYREF.
bool VtIsValid(VARTYPE vt) noexcept;

// Element size for arrays and BYREF copies; 0 for codes without one.
ULONG VtSize(VARTYPE vt) noexcept;

// Type groups of the coercion and comparison tables (exact codes, no flags).
bool VtIsSignedInt(VARTYPE vt) noexcept;    // VT_I1, VT_I2, VT_I4, VT_INT, VT_I8
bool VtIsUnsignedInt(VARTYPE vt) noexcept;  // VT_UI1, VT_UI2, VT_UI4, VT_UINT, VT_UI8
bool VtIsFloat(VARTYPE vt) noexcept;        // VT_R4, VT_R8

// Value as signed 64-bit (VT_I2, VT_BOOL, VT_I4, VT_INT, VT_I1 sign-extended;
// VT_I8), as unsigned 64-bit (VT_UI1, VT_UI2, VT_UI4, VT_UINT zero-extended;
// VT_UI8), as double (VT_R4, VT_R8); 0 for other types.
LONGLONG VtGetInt64(const VARIANT& v) noexcept;
ULONGLONG VtGetUint64(const VARIANT& v) noexcept;
double VtGetDouble(const VARIANT& v) noexcept;

// Scalar coercion of source into result (cleared first) as type vt; result's
// vt is set on success. Neither side may be an array.
HRESULT VtCoerce(VARIANT* result, const VARIANT* source, VARTYPE vt) noexcept;

// Coercion where source or target is an array: VT_ARRAY|VT_UI1 to VT_BSTR and
// back, otherwise a copy of an array of the same type.
HRESULT VtCoerceArray(VARIANT* result, const VARIANT* source, VARTYPE vt) noexcept;

}  // namespace ZtAtlCom::detail

#endif  // ZT_ATLCOM_DETAIL_VT_COERCE_H
