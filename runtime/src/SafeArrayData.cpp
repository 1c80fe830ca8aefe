// Typed byte access to VARIANT values and byte arrays made from buffers.
#include "ZtAtlCom/SafeArray.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/VariantValue.h"
#include "ZtAtlCom/detail/SafeArrayDetail.h"
#include "ZtAtlCom/detail/VtCoerce.h"

namespace ZtAtlCom {

using namespace detail;

namespace {

bool IsAccessibleArrayBase(VARTYPE base) noexcept {
    switch (base) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_BOOL: case VT_I1:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
        return true;
    default:
        return false;
    }
}

// The VARIANT_BOOL a VT_BOOL VARIANT (also by reference) holds; null otherwise.
VARIANT_BOOL* BooleanOf(VARIANT* v) noexcept {
    if (v->vt == VT_BOOL) return &v->boolVal;
    if (v->vt == (VT_BYREF | VT_BOOL)) return v->pboolVal;
    return nullptr;
}

}  // namespace

HRESULT VariantAccessData(VARIANT* v, std::size_t* pcbData, void** ppvData) noexcept {
    if (!v || !pcbData || !ppvData || !VtIsValid(v->vt)) return E_INVALIDARG;
    const bool byRef = (v->vt & VT_BYREF) != 0;
    const VARTYPE base = v->vt & VT_TYPEMASK;
    if (byRef && !v->byref) return E_INVALIDARG;
    if (v->vt & VT_ARRAY) {
        SAFEARRAY* psa = byRef ? *v->pparray : v->parray;
        std::size_t bytes;
        if (!IsAccessibleArrayBase(base) || !psa || !DataBytes(psa, bytes)) return E_INVALIDARG;
        *pcbData = bytes;
        *ppvData = psa->pvData;
        return S_OK;
    }
    if (base == VT_BSTR) {
        BSTR text = byRef ? *v->pbstrVal : v->bstrVal;
        *pcbData = SysStringLen(text);
        *ppvData = text;
        return S_OK;
    }
    ULONG size;
    if (base == VT_INT || base == VT_UINT || Failed(GetVarTypeByteSize(base, size))) return E_INVALIDARG;
    *pcbData = size;
    *ppvData = byRef ? v->byref : static_cast<void*>(&v->llVal);
    return S_OK;
}

HRESULT VariantAccessModifyData(VARIANT* v, std::size_t* pcbData, void** ppvData) noexcept {
    if (!v) return E_INVALIDARG;
    if (VARIANT_BOOL* b = BooleanOf(v); b && *b) *b = 1;  // one byte 0 or 1 for the writer
    return VariantAccessData(v, pcbData, ppvData);
}

HRESULT VariantUnaccessModifyData(VARIANT* v) noexcept {
    if (!v) return E_INVALIDARG;
    if (VARIANT_BOOL* b = BooleanOf(v)) *b = (*b & 1) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT VariantUnaccessData(VARIANT*) noexcept { return S_OK; }

HRESULT VariantCreateAndAccessData(VARIANT* v, VARTYPE vt, std::size_t* pcbData, void** ppvData,
                                   SAFEARRAYBOUND* rgsabound, UINT cDims) noexcept {
    if (!v || !pcbData || !ppvData || !VtIsValid(vt)) return E_INVALIDARG;
    if ((vt & VT_ARRAY) && (vt & VT_BYREF)) return E_INVALIDARG;  // no place for the array pointer
    VariantInit(v);
    v->vt = vt;
    if (vt & VT_ARRAY) {
        const VARTYPE base = vt & VT_TYPEMASK;
        ULONG size = 0;
        SAFEARRAY* psa = nullptr;
        if (Failed(GetVarTypeByteSize(base, size)) ||
            (rgsabound ? cDims == 0 : *pcbData / size > UINT32_MAX)) {
            VariantInit(v);
            return E_INVALIDARG;
        }
        if (rgsabound)
            psa = SafeArrayCreate(base, cDims, rgsabound);
        else
            psa = SafeArrayCreateVector(base, 0, static_cast<ULONG>(*pcbData / size));
        if (!psa) {
            VariantInit(v);
            return E_OUTOFMEMORY;
        }
        v->parray = psa;
    }
    HRESULT hr = VariantAccessData(v, pcbData, ppvData);
    if (Failed(hr)) {
        VariantClear(v);
        VariantInit(v);
    }
    return hr;
}

HRESULT SafeArrayFromBuffer(const void* bytes, ULONG size, SAFEARRAY** ppsaOut) noexcept {
    if (!ppsaOut) return E_POINTER;
    *ppsaOut = nullptr;
    if (!bytes) return E_INVALIDARG;
    *ppsaOut = CreateByteVector(bytes, size);
    return *ppsaOut ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToByteSafeArray(BSTR bstr, SAFEARRAY** ppsaOut) noexcept {
    if (!ppsaOut) return E_POINTER;
    *ppsaOut = nullptr;
    if (!bstr) return E_INVALIDARG;
    *ppsaOut = CreateByteVector(bstr, SysStringLen(bstr));
    return *ppsaOut ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToByteSafeArray(VARIANT& v, SAFEARRAY** ppsaOut) noexcept {
    if (!ppsaOut) return E_POINTER;
    *ppsaOut = nullptr;
    std::size_t bytes = 0;
    void* data = nullptr;
    HRESULT hr = VariantAccessData(&v, &bytes, &data);
    if (Failed(hr)) return hr;
    if (!data || bytes > UINT32_MAX) return E_INVALIDARG;
    *ppsaOut = CreateByteVector(data, static_cast<ULONG>(bytes));
    return *ppsaOut ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ZtAtlCom
