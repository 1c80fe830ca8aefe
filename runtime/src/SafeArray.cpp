// SAFEARRAY descriptors, creation, destruction and data access.
#include "ZtAtlCom/SafeArray.h"

#include "ZtAtlCom/detail/SafeArrayDetail.h"
#include "ZtAtlCom/detail/VtCoerce.h"

#include <cstdlib>
#include <cstring>

namespace ZtAtlCom {

using namespace detail;

namespace {

SAFEARRAY* DescriptorInBlock(void* block) noexcept {
    return reinterpret_cast<SAFEARRAY*>(static_cast<unsigned char*>(block) + kSafeArrayPrefixBytes);
}

void FreeBlock(SAFEARRAY* psa) noexcept { std::free(SafeArrayBlock(psa)); }

USHORT KindFlagFor(VARTYPE vt) noexcept {
    switch (vt) {
    case VT_BSTR: return FADF_BSTR;
    case VT_DISPATCH: return FADF_DISPATCH;
    case VT_VARIANT: return FADF_VARIANT;
    case VT_UNKNOWN: return FADF_UNKNOWN;
    default: return 0;
    }
}

// Features of a vector by element type: kind flag, then IID or VARTYPE.
USHORT VectorFeaturesFor(VARTYPE vt) noexcept {
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) return FADF_CREATEVECTOR | KindFlagFor(vt) | FADF_HAVEIID;
    return FADF_CREATEVECTOR | KindFlagFor(vt) | FADF_HAVEVARTYPE;
}

const IID& InterfaceIidFor(VARTYPE vt) noexcept {
    return vt == VT_DISPATCH ? iid_of<IDispatch>() : iid_of<IUnknown>();
}

HRESULT VartypeOf(SAFEARRAY* psa, VARTYPE* pvt, bool actual) noexcept {
    if (!psa || !pvt) return E_INVALIDARG;
    const USHORT f = psa->fFeatures;
    if (f & FADF_RECORD) {
        *pvt = VT_RECORD;
    } else if (f & FADF_HAVEIID) {
        *pvt = (f & FADF_DISPATCH) ? VT_DISPATCH : VT_UNKNOWN;
    } else if (f & FADF_HAVEVARTYPE) {
        VARTYPE vt = StoredVartype(psa);
        if (actual && vt == VT_UNKNOWN && (f & FADF_DISPATCH)) vt = VT_DISPATCH;
        *pvt = vt;
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

const SAFEARRAYBOUND* CallerBound(SAFEARRAY* psa, UINT nDim) noexcept {
    if (!psa || nDim < 1 || nDim > psa->cDims) return nullptr;
    return &SafeArrayBounds(psa)[psa->cDims - nDim];
}

}  // namespace

HRESULT SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) noexcept {
    if (cDims == 0 || cDims > 0xFFFF || !ppsaOut) return E_INVALIDARG;
    // Zero-filled, so that the fields the caller does not set are defined.
    void* block = std::calloc(1, DescriptorBlockBytes(cDims));
    if (!block) return E_OUTOFMEMORY;
    SAFEARRAY* psa = DescriptorInBlock(block);
    psa->cDims = static_cast<USHORT>(cDims);
    *ppsaOut = psa;
    return S_OK;
}

HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut) noexcept {
    HRESULT hr = SafeArrayAllocDescriptor(cDims, ppsaOut);
    if (Failed(hr)) return hr;
    SAFEARRAY* psa = *ppsaOut;
    if (vt == VT_RECORD) {
        psa->cbElements = VtSize(VT_RECORD);
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        psa->fFeatures = FADF_HAVEIID;
        StoreIid(psa, InterfaceIidFor(vt));
        psa->cbElements = sizeof(IUnknown*);
    } else {
        psa->fFeatures = FADF_HAVEVARTYPE;
        StoreVartype(psa, vt);
        psa->cbElements = VtSize(vt);
    }
    return S_OK;
}

HRESULT SafeArrayAllocData(SAFEARRAY* psa) noexcept {
    if (!psa) return E_INVALIDARG;
    if (psa->fFeatures & (FADF_CREATEVECTOR | FADF_STATIC)) return S_OK;
    std::size_t bytes;
    if (!DataBytes(psa, bytes)) return E_OUTOFMEMORY;
    // At least one byte: a present array always has a data pointer.
    void* data = std::calloc(1, bytes ? bytes : 1);
    if (!data) return E_OUTOFMEMORY;
    psa->pvData = data;
    return S_OK;
}

HRESULT SafeArraySetIID(SAFEARRAY* psa, REFGUID guid) noexcept {
    if (!psa || !(psa->fFeatures & FADF_HAVEIID)) return E_INVALIDARG;
    StoreIid(psa, guid);
    return S_OK;
}

HRESULT SafeArrayGetIID(SAFEARRAY* psa, GUID* pguid) noexcept {
    if (!psa || !pguid || !(psa->fFeatures & FADF_HAVEIID)) return E_INVALIDARG;
    *pguid = StoredIid(psa);
    return S_OK;
}

HRESULT SafeArraySetRecordInfo(SAFEARRAY*, IRecordInfo*) noexcept { return E_NOTIMPL; }
HRESULT SafeArrayGetRecordInfo(SAFEARRAY*, IRecordInfo**) noexcept { return E_NOTIMPL; }
HRESULT SafeArrayCompareDimensions(SAFEARRAY*, SAFEARRAY*) noexcept { return E_NOTIMPL; }

UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept { return psa ? psa->cDims : 0; }
UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept { return VartypeOf(psa, pvt, false); }
HRESULT SafeArrayGetActualVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept { return VartypeOf(psa, pvt, true); }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) noexcept {
    const SAFEARRAYBOUND* b = CallerBound(psa, nDim);
    if (!b || !plLbound) return E_INVALIDARG;
    *plLbound = b->lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) noexcept {
    const SAFEARRAYBOUND* b = CallerBound(psa, nDim);
    if (!b || !plUbound) return E_INVALIDARG;
    *plUbound = static_cast<LONG>(std::int64_t{b->lLbound} + b->cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetElementCount(SAFEARRAY* psa, ULONG* pcElements) noexcept {
    if (!psa || !pcElements) return E_INVALIDARG;
    ULONG product = psa->cDims ? 1 : 0;
    for (USHORT d = 0; d < psa->cDims; ++d) product *= SafeArrayBounds(psa)[d].cElements;
    *pcElements = product;
    return S_OK;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) noexcept {
    if (vt == VT_RECORD || !rgsabound || cDims == 0 || VtSize(vt) == 0) return nullptr;
    SAFEARRAY* psa = nullptr;
    if (Failed(SafeArrayAllocDescriptorEx(vt, cDims, &psa))) return nullptr;
    psa->fFeatures |= KindFlagFor(vt);
    for (UINT k = 0; k < cDims; ++k) SafeArrayBounds(psa)[cDims - 1 - k] = rgsabound[k];
    if (Failed(SafeArrayAllocData(psa))) {
        FreeBlock(psa);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateEx(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound, void* pvExtra) noexcept {
    if (vt == VT_RECORD) return nullptr;
    SAFEARRAY* psa = SafeArrayCreate(vt, cDims, rgsabound);
    if (psa && pvExtra && (vt == VT_UNKNOWN || vt == VT_DISPATCH) && (psa->fFeatures & FADF_HAVEIID)) {
        GUID iid;
        std::memcpy(&iid, pvExtra, sizeof(iid));
        StoreIid(psa, iid);
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) noexcept {
    if (vt == VT_RECORD) return nullptr;
    const ULONG size = VtSize(vt);
    void* block = std::calloc(1, kSafeArrayVectorHeader + std::size_t{cElements} * size);
    if (!block) return nullptr;
    SAFEARRAY* psa = DescriptorInBlock(block);
    psa->cDims = 1;
    psa->fFeatures = VectorFeaturesFor(vt);
    psa->cbElements = size;
    psa->pvData = static_cast<unsigned char*>(block) + kSafeArrayVectorHeader;
    SafeArrayBounds(psa)[0] = {cElements, lLbound};
    if (psa->fFeatures & FADF_HAVEIID)
        StoreIid(psa, InterfaceIidFor(vt));
    else
        StoreVartype(psa, vt);
    return psa;
}

SAFEARRAY* SafeArrayCreateVectorEx(VARTYPE vt, LONG lLbound, ULONG cElements, void* pvExtra) noexcept {
    if (vt != VT_UNKNOWN && vt != VT_DISPATCH) return nullptr;
    SAFEARRAY* psa = SafeArrayCreateVector(vt, lLbound, cElements);
    if (psa && pvExtra) {
        GUID iid;
        std::memcpy(&iid, pvExtra, sizeof(iid));
        StoreIid(psa, iid);
    }
    return psa;
}

HRESULT SafeArrayDestroyData(SAFEARRAY* psa) noexcept {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
    std::size_t count = 0;
    if (!(psa->fFeatures & FADF_DATADELETED) && ElementCount(psa, count)) DestroyElements(psa, 0, count);
    std::size_t bytes = 0;
    if (psa->fFeatures & FADF_STATIC) {
        if (psa->pvData && DataBytes(psa, bytes)) std::memset(psa->pvData, 0, bytes);
    } else if (psa->fFeatures & FADF_CREATEVECTOR) {
        psa->fFeatures |= FADF_DATADELETED;  // the data lives in the descriptor block
    } else {
        std::free(psa->pvData);
        psa->pvData = nullptr;
    }
    return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept {
    if (!psa) return S_OK;
    HRESULT hr = SafeArrayDestroyData(psa);
    if (Failed(hr)) return hr;
    FreeBlock(psa);
    return S_OK;
}

HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa) noexcept {
    if (!psa) return S_OK;
    if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
    std::size_t count = 0;
    if ((psa->fFeatures & FADF_CREATEVECTOR) && !(psa->fFeatures & FADF_DATADELETED) && ElementCount(psa, count))
        DestroyElements(psa, 0, count);
    FreeBlock(psa);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) noexcept {
    if (!psa || !ppvData) return E_INVALIDARG;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayAccessDataExt(SAFEARRAY* psa, std::size_t* pcbData, void** ppvData) noexcept {
    if (!psa || !pcbData || !ppvData) return E_INVALIDARG;
    std::size_t bytes = psa->cbElements;
    if (psa->cDims != 0 && !DataBytes(psa, bytes)) return E_INVALIDARG;
    *pcbData = bytes;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY*) noexcept { return S_OK; }
HRESULT SafeArrayLock(SAFEARRAY*) noexcept { return S_OK; }
HRESULT SafeArrayUnlock(SAFEARRAY*) noexcept { return S_OK; }

}  // namespace ZtAtlCom
