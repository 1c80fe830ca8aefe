// Reading and writing single SAFEARRAY elements by the element rule.
#include "ZtAtlCom/SafeArray.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/detail/SafeArrayDetail.h"

#include <cstring>

namespace ZtAtlCom {

using namespace detail;

namespace {

// The element at rgIndices, after every check that keeps the access inside
// the array's data.
HRESULT Locate(SAFEARRAY* psa, LONG* rgIndices, unsigned char*& element) noexcept {
    if (!psa || !rgIndices || psa->cDims == 0) return E_INVALIDARG;
    std::size_t offset;
    HRESULT hr = ElementOffset(psa, rgIndices, offset);
    if (Failed(hr)) return hr;
    if (!psa->pvData) return E_INVALIDARG;
    element = static_cast<unsigned char*>(psa->pvData) + offset;
    return S_OK;
}

template <class T>
T Load(const void* p) noexcept {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

template <class T>
void Store(void* p, T value) noexcept {
    std::memcpy(p, &value, sizeof(T));
}

bool IsInterfaceArray(SAFEARRAY* psa) noexcept {
    const USHORT f = psa->fFeatures;
    if (f & (FADF_HAVEIID | FADF_DISPATCH)) return true;
    if (f & FADF_HAVEVARTYPE) {
        const VARTYPE vt = StoredVartype(psa);
        return vt == VT_DISPATCH || vt == VT_UNKNOWN;
    }
    return false;
}

}  // namespace

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) noexcept {
    if (!ppvData) return E_INVALIDARG;
    unsigned char* element = nullptr;
    HRESULT hr = Locate(psa, rgIndices, element);
    if (Failed(hr)) return hr;
    *ppvData = element;
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept {
    if (!pv) return E_INVALIDARG;
    unsigned char* element = nullptr;
    HRESULT hr = Locate(psa, rgIndices, element);
    if (Failed(hr)) return hr;
    const ElementKind kind = KindOf(psa);
    if (!KindFitsSize(kind, psa->cbElements)) return E_INVALIDARG;
    switch (kind) {
    case ElementKind::Variant: {
        auto* out = static_cast<VARIANT*>(pv);
        VariantInit(out);
        return VariantCopy(out, reinterpret_cast<VARIANT*>(element));
    }
    case ElementKind::Bstr: {
        const BSTR source = Load<BSTR>(element);
        BSTR copy = source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
        Store(pv, copy);
        return (source && !copy) ? E_OUTOFMEMORY : S_OK;  // an empty text copies as null
    }
    case ElementKind::Interface: {
        IUnknown* unknown = Load<IUnknown*>(element);
        if (unknown) unknown->AddRef();
        Store(pv, unknown);
        return S_OK;
    }
    case ElementKind::Record:
        return E_NOTIMPL;
    case ElementKind::Plain:
        std::memcpy(pv, element, psa->cbElements);
        return S_OK;
    }
    return E_FAIL;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept {
    unsigned char* element = nullptr;
    HRESULT hr = Locate(psa, rgIndices, element);
    if (Failed(hr)) return hr;
    const ElementKind kind = KindOf(psa);
    if (!KindFitsSize(kind, psa->cbElements)) return E_INVALIDARG;
    if (!pv && kind != ElementKind::Interface) return E_INVALIDARG;
    switch (kind) {
    case ElementKind::Variant:
        return VariantCopy(reinterpret_cast<VARIANT*>(element), static_cast<const VARIANT*>(pv));
    case ElementKind::Bstr: {
        // The copy is made before the old text is freed: the given BSTR may be the element itself.
        const BSTR given = Load<BSTR>(pv);
        const BSTR copy = given ? SysAllocString(given) : nullptr;
        SysFreeString(Load<BSTR>(element));
        Store(element, copy);
        return copy ? S_OK : E_OUTOFMEMORY;
    }
    case ElementKind::Interface: {
        auto* fresh = static_cast<IUnknown*>(pv);
        IUnknown* old = Load<IUnknown*>(element);
        if (fresh) fresh->AddRef();
        Store(element, fresh);
        if (old) old->Release();
        return S_OK;
    }
    case ElementKind::Record:
        return E_NOTIMPL;
    case ElementKind::Plain:
        std::memcpy(element, pv, psa->cbElements);
        return S_OK;
    }
    return E_FAIL;
}

HRESULT SafeArrayQueryElementInterface(SAFEARRAY* psa, ULONG index, REFIID iid, void** ppv) noexcept {
    if (!psa || (psa->fFeatures & FADF_RECORD) || !IsInterfaceArray(psa)) return E_INVALIDARG;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::size_t count;
    if (psa->cbElements != sizeof(IUnknown*) || !ElementCount(psa, count)) return E_INVALIDARG;
    if (index >= count) return DISP_E_BADINDEX;
    if (!psa->pvData) return E_INVALIDARG;
    IUnknown* unknown = Load<IUnknown*>(static_cast<unsigned char*>(psa->pvData) + std::size_t{index} * sizeof(IUnknown*));
    if (!unknown) return E_POINTER;
    return unknown->QueryInterface(iid, ppv);
}

}  // namespace ZtAtlCom
