// VARIANT lifetime: init, clear, copy, copy by value, type change.
#include "ZtAtlCom/Variant.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/SafeArray.h"
#include "ZtAtlCom/detail/VtCoerce.h"

#include <cstring>

namespace ZtAtlCom {

using detail::VtIsValid;

void VariantInit(VARIANTARG* pvarg) noexcept {
    if (pvarg) std::memset(static_cast<void*>(pvarg), 0, sizeof(VARIANT));
}

HRESULT VariantClear(VARIANTARG* pvarg) noexcept {
    if (!pvarg || !VtIsValid(pvarg->vt)) return E_INVALIDARG;
    const VARTYPE vt = pvarg->vt;
    if (vt & VT_BYREF) {
        pvarg->vt = VT_EMPTY;  // the referenced value is not ours
        return S_OK;
    }
    if (vt & VT_ARRAY) {
        HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (Failed(hr)) return hr;
        pvarg->parray = nullptr;  // vt keeps its array type
        return S_OK;
    }
    switch (vt) {
    case VT_BSTR:
        SysFreeString(pvarg->bstrVal);
        pvarg->bstrVal = nullptr;
        break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (pvarg->punkVal) pvarg->punkVal->Release();
        pvarg->punkVal = nullptr;
        break;
    case VT_RECORD:
        return E_NOTIMPL;
    default:
        break;
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

namespace {

// A deep copy of src into the uninitialised copy. On failure copy holds what
// was made (VT_EMPTY, or a BSTR VARIANT with a null text) and nothing else.
HRESULT DeepCopy(VARIANT* copy, const VARIANTARG* src) noexcept {
    const VARTYPE vt = src->vt;
    VariantInit(copy);
    if (vt == VT_RECORD) return E_NOTIMPL;
    std::memcpy(static_cast<void*>(copy), src, sizeof(VARIANT));
    if (vt & VT_BYREF) return S_OK;
    if (vt & VT_ARRAY) {
        copy->parray = nullptr;
        HRESULT hr = SafeArrayCopy(src->parray, &copy->parray);
        if (Failed(hr)) VariantInit(copy);
        return hr;
    }
    switch (vt) {
    case VT_BSTR:
        // Measured up to the first 0: hosts may put a plain C string here.
        copy->bstrVal = SysAllocString(src->bstrVal);
        if (src->bstrVal && !copy->bstrVal) return E_OUTOFMEMORY;
        break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (copy->punkVal) copy->punkVal->AddRef();
        break;
    default:
        break;
    }
    return S_OK;
}

}  // namespace

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) noexcept {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (!VtIsValid(pvargSrc->vt)) return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc) return S_OK;
    // The source may live inside the destination (an element of its array, a
    // text it owns): copy first, clear after.
    VARIANT copy;
    const HRESULT hr = DeepCopy(&copy, pvargSrc);
    const HRESULT cleared = VariantClear(pvargDest);
    if (Failed(cleared)) {
        VariantClear(&copy);
        return cleared;
    }
    std::memcpy(static_cast<void*>(pvargDest), &copy, sizeof(VARIANT));
    return hr;
}

namespace {

// Copies the value a BYREF VARIANT refers to into the cleared dest.
HRESULT CopyReferenced(VARIANTARG* dest, const VARIANT& ref) noexcept {
    const VARTYPE base = ref.vt & VT_TYPEMASK;
    if (ref.vt & VT_ARRAY) {
        dest->parray = nullptr;
        HRESULT hr = SafeArrayCopy(*ref.pparray, &dest->parray);
        if (Failed(hr)) return hr;
    } else if (base == VT_BSTR) {
        dest->bstrVal = SysAllocString(*ref.pbstrVal);
        if (*ref.pbstrVal && !dest->bstrVal) return E_OUTOFMEMORY;
    } else if (base == VT_DISPATCH || base == VT_UNKNOWN) {
        dest->punkVal = *ref.ppunkVal;
        if (dest->punkVal) dest->punkVal->AddRef();
    } else if (base == VT_VARIANT) {
        return VariantCopyInd(dest, ref.pvarVal);  // sets dest's type itself
    } else {
        std::memcpy(&dest->llVal, ref.byref, detail::VtSize(base));
    }
    dest->vt = ref.vt & ~VT_BYREF;
    return S_OK;
}

}  // namespace

HRESULT VariantCopyInd(VARIANTARG* pvarDest, const VARIANTARG* pvargSrc) noexcept {
    if (!pvarDest || !pvargSrc) return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
    if (!VtIsValid(pvargSrc->vt)) return DISP_E_BADVARTYPE;
    // Every check before dest changes.
    const VARIANT ref = *pvargSrc;  // BYREF owns nothing: a plain copy is a move
    const VARTYPE base = ref.vt & VT_TYPEMASK;
    if (!ref.byref) return E_INVALIDARG;
    if (!(ref.vt & VT_ARRAY) && (base == VT_DECIMAL || base == VT_RECORD)) return E_NOTIMPL;
    if (!(ref.vt & VT_ARRAY) && base == VT_VARIANT && (ref.pvarVal->vt == (VT_BYREF | VT_VARIANT)))
        return E_INVALIDARG;
    // The value is copied before dest changes, so that a reference into dest
    // itself still reads the value it refers to.
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = CopyReferenced(&copy, ref);
    if (pvarDest != pvargSrc) {
        HRESULT cleared = VariantClear(pvarDest);
        if (Failed(cleared)) {
            VariantClear(&copy);
            return cleared;
        }
    }
    if (Failed(hr)) {
        VariantClear(&copy);
        VariantInit(pvarDest);
        return hr;
    }
    std::memcpy(static_cast<void*>(pvarDest), &copy, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) noexcept {
    return VariantChangeTypeEx(pvargDest, pvarSrc, 0, wFlags, vt);
}

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID, USHORT, VARTYPE vt) noexcept {
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    if (!VtIsValid(pvarSrc->vt) || !VtIsValid(vt)) return DISP_E_BADVARTYPE;
    if ((pvarSrc->vt & VT_BYREF) && !pvarSrc->byref) return DISP_E_TYPEMISMATCH;
    VARIANT source;
    VariantInit(&source);
    HRESULT hr = VariantCopyInd(&source, pvarSrc);
    if (Failed(hr)) return hr;
    VARIANT converted;
    VariantInit(&converted);
    if ((source.vt & VT_ARRAY) || (vt & VT_ARRAY))
        hr = detail::VtCoerceArray(&converted, &source, vt);
    else
        hr = detail::VtCoerce(&converted, &source, vt);
    if (Succeeded(hr)) {
        converted.vt = vt;
        // The result is moved, not copied: a copy would measure a BSTR made
        // from bytes only up to its first 0.
        hr = VariantClear(pvargDest);
        if (Succeeded(hr)) {
            std::memcpy(static_cast<void*>(pvargDest), &converted, sizeof(VARIANT));
            VariantInit(&converted);
        }
    }
    VariantClear(&converted);
    VariantClear(&source);
    return hr;
}

}  // namespace ZtAtlCom
