// Copying and resizing SAFEARRAYs.
#include "ZtAtlCom/SafeArray.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/detail/SafeArrayDetail.h"

#include <cstdlib>
#include <cstring>

namespace ZtAtlCom {

using namespace detail;

namespace {

// Feature bits a copy never takes over: who owns the data and the vector form.
constexpr USHORT kStorageFeatures = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE | FADF_CREATEVECTOR;

bool SameShape(SAFEARRAY* a, SAFEARRAY* b) noexcept {
    if (a->cDims != b->cDims || a->cbElements != b->cbElements) return false;
    for (USHORT d = 0; d < a->cDims; ++d)
        if (SafeArrayBounds(a)[d].cElements != SafeArrayBounds(b)[d].cElements) return false;
    return true;
}

template <class T>
T LoadAt(const unsigned char* base, std::size_t i) noexcept {
    T value;
    std::memcpy(&value, base + i * sizeof(T), sizeof(T));
    return value;
}

template <class T>
void StoreAt(unsigned char* base, std::size_t i, T value) noexcept {
    std::memcpy(base + i * sizeof(T), &value, sizeof(T));
}

HRESULT CopyElements(ElementKind kind, const unsigned char* from, unsigned char* to, std::size_t count,
                     std::size_t bytes) noexcept {
    switch (kind) {
    case ElementKind::Variant:
        for (std::size_t i = 0; i < count; ++i) {
            HRESULT hr = VariantCopy(reinterpret_cast<VARIANT*>(to) + i, reinterpret_cast<const VARIANT*>(from) + i);
            if (Failed(hr)) return hr;  // stop at the first failure, never report it as success
        }
        return S_OK;
    case ElementKind::Bstr:
        for (std::size_t i = 0; i < count; ++i) {
            SysFreeString(LoadAt<BSTR>(to, i));
            StoreAt<BSTR>(to, i, nullptr);
            const BSTR source = LoadAt<BSTR>(from, i);
            if (!source) continue;
            const BSTR copy = SysAllocStringLen(source, SysStringLen(source));
            if (!copy) return E_OUTOFMEMORY;  // also for an empty text, which copies as null
            StoreAt<BSTR>(to, i, copy);
        }
        return S_OK;
    case ElementKind::Interface:
        for (std::size_t i = 0; i < count; ++i) {
            IUnknown* fresh = LoadAt<IUnknown*>(from, i);
            IUnknown* old = LoadAt<IUnknown*>(to, i);
            if (fresh) fresh->AddRef();
            StoreAt(to, i, fresh);
            if (old) old->Release();
        }
        return S_OK;
    case ElementKind::Record:
        return E_NOTIMPL;
    case ElementKind::Plain:
        if (bytes) std::memcpy(to, from, bytes);
        return S_OK;
    }
    return E_FAIL;
}

}  // namespace

HRESULT SafeArrayCopyData(SAFEARRAY* psaSource, SAFEARRAY* psaTarget) noexcept {
    if (!psaSource || !psaTarget || !SameShape(psaSource, psaTarget)) return E_INVALIDARG;
    if (!psaSource->pvData) return S_OK;
    if (!psaTarget->pvData || (psaSource->fFeatures & FADF_DATADELETED)) return E_INVALIDARG;
    if (psaSource == psaTarget) return S_OK;  // freeing the target's texts would free the source's
    std::size_t count, bytes;
    if (!ElementCount(psaSource, count) || !DataBytes(psaSource, bytes)) return E_INVALIDARG;
    // The target's old elements are released by the source's element rule:
    // arrays of different element kinds are refused before anything changes.
    const ElementKind kind = KindOf(psaSource);
    if (kind != KindOf(psaTarget) || !KindFitsSize(kind, psaSource->cbElements)) return E_INVALIDARG;
    psaTarget->fFeatures = static_cast<USHORT>((psaSource->fFeatures & ~kStorageFeatures) |
                                               (psaTarget->fFeatures & FADF_CREATEVECTOR));
    HRESULT hr = CopyElements(kind, static_cast<const unsigned char*>(psaSource->pvData),
                              static_cast<unsigned char*>(psaTarget->pvData), count, bytes);
    if (Failed(hr)) return hr;
    if ((psaSource->fFeatures & FADF_HAVEIID) && (psaTarget->fFeatures & FADF_HAVEIID))
        StoreIid(psaTarget, StoredIid(psaSource));
    else if (psaSource->fFeatures & FADF_HAVEVARTYPE)
        StoreVartype(psaTarget, StoredVartype(psaSource));
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) noexcept {
    if (!ppsaOut) return E_INVALIDARG;
    if (!psa) return S_OK;
    if (psa->cbElements == 0) return E_INVALIDARG;
    *ppsaOut = nullptr;
    SAFEARRAY* copy = nullptr;
    HRESULT hr;
    if (psa->fFeatures & (FADF_RECORD | FADF_HAVEIID | FADF_HAVEVARTYPE)) {
        VARTYPE vt;
        hr = SafeArrayGetVartype(psa, &vt);
        if (Succeeded(hr)) hr = SafeArrayAllocDescriptorEx(vt, psa->cDims, &copy);
        if (Failed(hr)) return hr;
    } else {
        if (psa->cDims == 0) return E_INVALIDARG;
        hr = SafeArrayAllocDescriptor(psa->cDims, &copy);
        if (Failed(hr)) return hr;
        copy->cbElements = psa->cbElements;
    }
    // The element kind is taken over now, so that a copy of an array without
    // data still owns what is later put into it.
    copy->fFeatures = static_cast<USHORT>((copy->fFeatures | psa->fFeatures) & ~(kStorageFeatures | FADF_DATADELETED));
    std::memcpy(SafeArrayBounds(copy), SafeArrayBounds(psa), kSafeArrayBoundBytes * psa->cDims);
    hr = SafeArrayAllocData(copy);
    if (Succeeded(hr)) hr = SafeArrayCopyData(psa, copy);
    if (Failed(hr)) {
        SafeArrayDestroy(copy);
        return hr;
    }
    *ppsaOut = copy;
    return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) noexcept {
    if (!psa || !psaboundNew || psa->cDims == 0) return E_INVALIDARG;
    if (psa->fFeatures & (FADF_FIXEDSIZE | FADF_CREATEVECTOR)) return E_INVALIDARG;
    if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
    SAFEARRAYBOUND& last = SafeArrayBounds(psa)[0];
    const ULONG oldCount = last.cElements;
    const ULONG newCount = psaboundNew->cElements;
    // Data the array does not own cannot be replaced by a larger block.
    if (newCount > oldCount && (psa->fFeatures & (FADF_STATIC | FADF_AUTO | FADF_EMBEDDED))) return E_INVALIDARG;
    std::size_t sliceElements = 1;
    for (USHORT d = 1; d < psa->cDims; ++d)
        if (__builtin_mul_overflow(sliceElements, std::size_t{SafeArrayBounds(psa)[d].cElements}, &sliceElements))
            return E_OUTOFMEMORY;
    std::size_t sliceBytes, newBytes;
    if (__builtin_mul_overflow(sliceElements, std::size_t{psa->cbElements}, &sliceBytes) ||
        __builtin_mul_overflow(sliceBytes, std::size_t{newCount}, &newBytes))
        return E_OUTOFMEMORY;
    last.lLbound = psaboundNew->lLbound;
    if (newCount == oldCount) return S_OK;
    if (newCount < oldCount) {
        DestroyElements(psa, newCount * sliceElements, (oldCount - newCount) * sliceElements);
    } else {
        void* grown = std::calloc(1, newBytes ? newBytes : 1);
        if (!grown) return E_OUTOFMEMORY;
        if (psa->pvData) {
            std::memcpy(grown, psa->pvData, oldCount * sliceBytes);
            std::free(psa->pvData);
        }
        psa->pvData = grown;
    }
    last.cElements = newCount;
    return S_OK;
}

}  // namespace ZtAtlCom
