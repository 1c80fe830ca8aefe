// Typed values out of VARIANTs.
#include "ZtAtlCom/VariantValue.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/CharTraits.h"
#include "ZtAtlCom/SafeArray.h"
#include "ZtAtlCom/detail/SafeArrayDetail.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace ZtAtlCom {

HRESULT GetVarTypeByteSize(VARTYPE vt, ULONG& size) noexcept {
    switch (vt) {
    case VT_BOOL: case VT_I1: case VT_UI1: size = 1; return S_OK;
    case VT_I2: case VT_UI2: size = 2; return S_OK;
    case VT_I4: case VT_R4: case VT_UI4: case VT_INT: case VT_UINT: size = 4; return S_OK;
    case VT_R8: case VT_I8: case VT_UI8: size = 8; return S_OK;
    default: return E_INVALIDARG;
    }
}

namespace {

// Reads member of a VARIANT of type vt directly, or of a converted copy.
template <class T>
HRESULT GetAs(const VARIANT& v, VARTYPE vt, T VARIANT::*member, T& out) noexcept {
    if (v.vt == vt) {
        out = v.*member;
        return S_OK;
    }
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeTypeEx(&converted, &v, 0, 0, vt);
    if (Succeeded(hr)) out = converted.*member;
    VariantClear(&converted);
    return hr;
}

// The value converted to VT_BSTR, handed to take(BSTR) while it lives.
template <class Take>
HRESULT WithText(const VARIANT& v, Take&& take) noexcept {
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeTypeEx(&text, &v, 0, 0, VT_BSTR);
    if (Succeeded(hr)) {
        HRESULT taken = take(text.bstrVal);
        if (Failed(taken)) hr = taken;
    }
    VariantClear(&text);
    return hr;
}

}  // namespace

HRESULT VariantGetValue(const VARIANT& v, double& out) noexcept { return GetAs(v, VT_R8, &VARIANT::dblVal, out); }
HRESULT VariantGetValue(const VARIANT& v, float& out) noexcept { return GetAs(v, VT_R4, &VARIANT::fltVal, out); }
HRESULT VariantGetValue(const VARIANT& v, char& out) noexcept { return GetAs(v, VT_I1, &VARIANT::cVal, out); }
HRESULT VariantGetValue(const VARIANT& v, signed char& out) noexcept {
    char c = 0;
    HRESULT hr = GetAs(v, VT_I1, &VARIANT::cVal, c);
    if (Succeeded(hr)) out = static_cast<signed char>(c);
    return hr;
}
HRESULT VariantGetValue(const VARIANT& v, unsigned char& out) noexcept { return GetAs(v, VT_UI1, &VARIANT::bVal, out); }
HRESULT VariantGetValue(const VARIANT& v, short& out) noexcept { return GetAs(v, VT_I2, &VARIANT::iVal, out); }
HRESULT VariantGetValue(const VARIANT& v, unsigned short& out) noexcept {
    return GetAs(v, VT_UI2, &VARIANT::uiVal, out);
}
HRESULT VariantGetValue(const VARIANT& v, int& out) noexcept { return GetAs(v, VT_I4, &VARIANT::lVal, out); }
HRESULT VariantGetValue(const VARIANT& v, unsigned int& out) noexcept { return GetAs(v, VT_UI4, &VARIANT::ulVal, out); }
HRESULT VariantGetValue(const VARIANT& v, long& out) noexcept {
    LONGLONG value = 0;
    HRESULT hr = GetAs(v, VT_I8, &VARIANT::llVal, value);
    if (Succeeded(hr)) out = value;
    return hr;
}
HRESULT VariantGetValue(const VARIANT& v, unsigned long& out) noexcept {
    ULONGLONG value = 0;
    HRESULT hr = GetAs(v, VT_UI8, &VARIANT::ullVal, value);
    if (Succeeded(hr)) out = value;
    return hr;
}

HRESULT VariantGetValue(const VARIANT& v, char** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return WithText(v, [out](BSTR text) -> HRESULT {
        const std::size_t length = text ? std::strlen(text) : 0;
        if (length == 0) return S_OK;
        auto* copy = static_cast<char*>(std::malloc(length + 1));
        if (!copy) return E_OUTOFMEMORY;
        std::memcpy(copy, text, length + 1);
        *out = copy;
        return S_OK;
    });
}

HRESULT VariantGetValue(const VARIANT& v, wchar_t** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return WithText(v, [out](BSTR text) -> HRESULT {
        try {
            const std::wstring wide = CharTraits<wchar_t>::From(text);
            if (wide.empty()) return S_OK;
            auto* copy = static_cast<wchar_t*>(std::malloc((wide.size() + 1) * sizeof(wchar_t)));
            if (!copy) return E_OUTOFMEMORY;
            std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
            *out = copy;
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    });
}

HRESULT Variant2Value(const VARIANT& v, long& number, char*& text) noexcept {
    if (number != 0 || text != nullptr) return E_INVALIDARG;
    const bool byRef = (v.vt & ~VT_TYPEMASK) == VT_BYREF;
    const VARTYPE base = byRef ? (v.vt & VT_TYPEMASK) : v.vt;
    if (byRef && !v.byref) return E_INVALIDARG;
    switch (base) {
    case VT_I2: number = byRef ? *v.piVal : v.iVal; break;
    case VT_I4: case VT_INT: number = byRef ? *v.plVal : v.lVal; break;
    case VT_UI2: number = byRef ? *v.puiVal : v.uiVal; break;
    case VT_UI4: case VT_UINT: number = byRef ? *v.pulVal : v.ulVal; break;
    case VT_BSTR: text = byRef ? *v.pbstrVal : v.bstrVal; break;
    default: break;
    }
    return S_OK;
}

HRESULT VariantToGUID(const VARIANT& v, GUID& out) noexcept {
    switch (v.vt) {
    case VT_BSTR:
        return ZtCppUtils::detail::GuidStringToGuid(v.bstrVal, &out) ? S_OK : E_FAIL;
    case VT_ARRAY | VT_UI1: {
        SAFEARRAY* psa = v.parray;
        if (!psa || psa->cDims != 1 || psa->cbElements != 1 || !psa->pvData ||
            detail::SafeArrayBounds(psa)[0].cElements != sizeof(GUID))
            return E_INVALIDARG;
        std::memcpy(&out, psa->pvData, sizeof(GUID));
        return S_OK;
    }
    case VT_LPWSTR:
        return E_NOTIMPL;
    default:
        return E_INVALIDARG;  // VT_CLSID included: no VARIANT of this runtime carries one
    }
}

}  // namespace ZtAtlCom
