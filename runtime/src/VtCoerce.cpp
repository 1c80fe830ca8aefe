// Type codes and the coercion core: numbers convert to numbers by plain
// truncation, nothing converts to text, and pairs without a conversion
// succeed with a zero value.
#include "ZtAtlCom/detail/VtCoerce.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/SafeArray.h"
#include "ZtAtlCom/detail/SafeArrayDetail.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace ZtAtlCom::detail {

bool VtIsValid(VARTYPE vt) noexcept {
    if (vt & (VT_RESERVED | VT_VECTOR)) return false;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (base == 15 || (base >= 24 && base != VT_RECORD)) return false;
    if ((vt & (VT_ARRAY | VT_BYREF)) && (base == VT_EMPTY || base == VT_NULL)) return false;
    return true;
}

ULONG VtSize(VARTYPE vt) noexcept {
    switch (vt) {
    case VT_I1: case VT_UI1:
        return 1;
    case VT_I2: case VT_BOOL: case VT_UI2:
        return 2;
    case VT_I4: case VT_R4: case VT_ERROR: case VT_UI4: case VT_INT: case VT_UINT:
        return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN:
    case VT_I8: case VT_UI8: case VT_INT_PTR: case VT_UINT_PTR:
        return 8;
    case VT_VARIANT:
        return 24;
    case VT_RECORD:
        return 32;
    default:
        return 0;
    }
}

bool VtIsSignedInt(VARTYPE vt) noexcept {
    return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_I8;
}
bool VtIsUnsignedInt(VARTYPE vt) noexcept {
    return vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT || vt == VT_UI8;
}
bool VtIsFloat(VARTYPE vt) noexcept { return vt == VT_R4 || vt == VT_R8; }

LONGLONG VtGetInt64(const VARIANT& v) noexcept {
    switch (v.vt) {
    case VT_I2: case VT_BOOL: return v.iVal;
    case VT_I4: case VT_INT: return v.lVal;
    case VT_I1: return static_cast<signed char>(v.cVal);
    case VT_I8: return v.llVal;
    default: return 0;
    }
}

ULONGLONG VtGetUint64(const VARIANT& v) noexcept {
    switch (v.vt) {
    case VT_UI1: return v.bVal;
    case VT_UI2: return v.uiVal;
    case VT_UI4: case VT_UINT: return v.ulVal;
    case VT_UI8: return v.ullVal;
    default: return 0;
    }
}

double VtGetDouble(const VARIANT& v) noexcept {
    if (v.vt == VT_R4) return v.fltVal;
    if (v.vt == VT_R8) return v.dblVal;
    return 0.0;
}

namespace {

// Truncation toward zero; values outside the intermediate type and NaN give
// its lowest value, as the processor's truncating conversion does.
std::int32_t TruncateToInt32(double d) noexcept {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(d);
}

std::int64_t TruncateToInt64(double d) noexcept {
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

// From -2^63 up to below 2^64; negative values give their two's complement.
std::uint64_t TruncateToUint64(double d) noexcept {
    if (d >= 0.0 && d < 18446744073709551616.0) return static_cast<std::uint64_t>(d);
    if (d < 0.0 && d >= -9223372036854775808.0) return static_cast<std::uint64_t>(static_cast<std::int64_t>(d));
    return 0x8000000000000000ull;
}

VARTYPE ComparableType(VARTYPE vt) noexcept {
    if (vt == VT_INT) return VT_I4;
    if (vt == VT_UINT) return VT_UI4;
    return vt;
}

enum class Group { Signed, Unsigned, Float, Other };

Group GroupOf(VARTYPE vt) noexcept {
    if (VtIsSignedInt(vt)) return Group::Signed;
    if (VtIsUnsignedInt(vt)) return Group::Unsigned;
    if (VtIsFloat(vt)) return Group::Float;
    return Group::Other;
}

// The integer a numeric source gives for an integer target: its 64 bits for
// integer sources; for floating point the truncation of the target's row.
std::uint64_t IntegerBits(const VARIANT& source, Group group, VARTYPE target) noexcept {
    if (group == Group::Signed) return static_cast<std::uint64_t>(VtGetInt64(source));
    if (group == Group::Unsigned) return VtGetUint64(source);
    const double d = VtGetDouble(source);
    switch (target) {
    case VT_UI4: case VT_UINT: case VT_I8:
        return static_cast<std::uint64_t>(TruncateToInt64(d));
    case VT_UI8:
        return TruncateToUint64(d);
    default:
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(TruncateToInt32(d)));
    }
}

HRESULT QueryInto(IUnknown* from, const IID& iid, void** out) noexcept {
    *out = nullptr;
    if (!from) return S_OK;  // null stays null
    return from->QueryInterface(iid, out);
}

}  // namespace

HRESULT VtCoerce(VARIANT* result, const VARIANT* source, VARTYPE vt) noexcept {
    if (!result || !source) return E_INVALIDARG;
    if (ComparableType(source->vt) == ComparableType(vt)) return VariantCopy(result, source);
    HRESULT hr = VariantClear(result);
    if (Failed(hr)) return hr;
    VariantInit(result);
    const Group group = GroupOf(source->vt);
    switch (vt) {
    case VT_EMPTY:
        if (source->vt == VT_NULL) return DISP_E_TYPEMISMATCH;
        break;
    case VT_I1: case VT_UI1:
    case VT_I2: case VT_UI2: case VT_BOOL:
    case VT_I4: case VT_INT:
    case VT_UI4: case VT_UINT:
    case VT_I8: case VT_UI8:
        if (group != Group::Other) {
            // Little-endian: the low bytes of the 64-bit pattern are the truncation.
            result->ullVal = IntegerBits(*source, group, vt);
            const ULONG size = VtSize(vt);
            if (size < 8) std::memset(reinterpret_cast<unsigned char*>(&result->ullVal) + size, 0, 8 - size);
        }
        break;
    case VT_R4:
        if (group == Group::Signed) result->fltVal = static_cast<float>(VtGetInt64(*source));
        if (group == Group::Unsigned) result->fltVal = static_cast<float>(VtGetUint64(*source));
        if (group == Group::Float) result->fltVal = static_cast<float>(VtGetDouble(*source));
        break;
    case VT_R8:
        if (group == Group::Signed) result->dblVal = static_cast<double>(VtGetInt64(*source));
        if (group == Group::Unsigned) result->dblVal = static_cast<double>(VtGetUint64(*source));
        if (group == Group::Float) result->dblVal = VtGetDouble(*source);
        break;
    case VT_BSTR:
    case VT_RECORD:
        return E_NOTIMPL;
    case VT_DISPATCH:
        if (source->vt == VT_UNKNOWN) {
            hr = QueryInto(source->punkVal, iid_of<IDispatch>(), reinterpret_cast<void**>(&result->pdispVal));
            if (Failed(hr)) return hr;
        }
        break;
    case VT_UNKNOWN:
        if (source->vt == VT_DISPATCH) {
            hr = QueryInto(source->pdispVal, iid_of<IUnknown>(), reinterpret_cast<void**>(&result->punkVal));
            if (Failed(hr)) return hr;
        }
        break;
    default:
        break;  // VT_NULL, VT_CY, VT_DATE, VT_ERROR, VT_VARIANT, VT_DECIMAL, other codes: no value
    }
    result->vt = vt;
    return S_OK;
}

HRESULT VtCoerceArray(VARIANT* result, const VARIANT* source, VARTYPE vt) noexcept {
    if (!result || !source) return E_INVALIDARG;
    constexpr VARTYPE kByteArray = VT_ARRAY | VT_UI1;
    HRESULT hr = VariantClear(result);
    if (Failed(hr)) return hr;
    VariantInit(result);
    if (vt == VT_BSTR && source->vt == kByteArray) {
        hr = VtVectorToBstr(source->parray, &result->bstrVal);
    } else if (vt == kByteArray && source->vt == VT_BSTR) {
        hr = VtBstrToVector(source->bstrVal, &result->parray);
    } else if (vt != source->vt) {
        return DISP_E_TYPEMISMATCH;
    } else if (vt & VT_ARRAY) {
        hr = SafeArrayCopy(source->parray, &result->parray);
    } else {
        return VariantCopy(result, source);
    }
    if (Failed(hr)) {
        VariantInit(result);
        return hr;
    }
    result->vt = vt;
    return S_OK;
}

}  // namespace ZtAtlCom::detail
