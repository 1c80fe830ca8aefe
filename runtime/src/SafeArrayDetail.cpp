// Block layout, sizes and element rules shared by the SAFEARRAY functions.
#include "ZtAtlCom/detail/SafeArrayDetail.h"

#include "ZtAtlCom/BStr.h"

#include <cstring>

namespace ZtAtlCom::detail {

namespace {
constexpr std::size_t kVartypeOffset = kSafeArrayPrefixBytes - sizeof(std::uint32_t);
}

VARTYPE StoredVartype(SAFEARRAY* psa) noexcept {
    std::uint32_t vt;
    std::memcpy(&vt, SafeArrayBlock(psa) + kVartypeOffset, sizeof(vt));
    return static_cast<VARTYPE>(vt);
}

void StoreVartype(SAFEARRAY* psa, VARTYPE vt) noexcept {
    const std::uint32_t wide = vt;
    std::memcpy(SafeArrayBlock(psa) + kVartypeOffset, &wide, sizeof(wide));
}

void StoreIid(SAFEARRAY* psa, const GUID& iid) noexcept { std::memcpy(SafeArrayBlock(psa), &iid, sizeof(GUID)); }

GUID StoredIid(SAFEARRAY* psa) noexcept {
    GUID iid;
    std::memcpy(&iid, SafeArrayBlock(psa), sizeof(GUID));
    return iid;
}

bool ElementCount(const SAFEARRAY* psa, std::size_t& count) noexcept {
    if (psa->cDims == 0) {
        count = 0;
        return true;
    }
    std::size_t product = 1;
    const SAFEARRAYBOUND* bounds = SafeArrayBounds(psa);
    for (USHORT d = 0; d < psa->cDims; ++d)
        if (__builtin_mul_overflow(product, std::size_t{bounds[d].cElements}, &product)) return false;
    count = product;
    return true;
}

bool DataBytes(const SAFEARRAY* psa, std::size_t& bytes) noexcept {
    std::size_t count;
    return ElementCount(psa, count) && !__builtin_mul_overflow(count, std::size_t{psa->cbElements}, &bytes);
}

ElementKind KindOf(const SAFEARRAY* psa) noexcept {
    const USHORT f = psa->fFeatures;
    if (f & FADF_BSTR) return ElementKind::Bstr;
    if (f & (FADF_UNKNOWN | FADF_DISPATCH)) return ElementKind::Interface;
    if (f & FADF_VARIANT) return ElementKind::Variant;
    if (f & FADF_RECORD) return ElementKind::Record;
    return ElementKind::Plain;
}

bool KindFitsSize(ElementKind kind, ULONG cbElements) noexcept {
    switch (kind) {
    case ElementKind::Bstr: return cbElements == sizeof(BSTR);
    case ElementKind::Interface: return cbElements == sizeof(IUnknown*);
    case ElementKind::Variant: return cbElements == sizeof(VARIANT);
    default: return true;
    }
}

void DestroyElements(SAFEARRAY* psa, std::size_t first, std::size_t count) noexcept {
    const ElementKind kind = KindOf(psa);
    if (kind == ElementKind::Plain || kind == ElementKind::Record) return;
    if (!psa->pvData || !KindFitsSize(kind, psa->cbElements)) return;
    std::size_t total;
    if (!ElementCount(psa, total) || first >= total) return;
    if (count > total - first) count = total - first;
    auto* p = static_cast<unsigned char*>(psa->pvData) + first * psa->cbElements;
    for (std::size_t i = 0; i < count; ++i, p += psa->cbElements) {
        if (kind == ElementKind::Bstr) {
            BSTR b;
            std::memcpy(&b, p, sizeof(b));
            SysFreeString(b);
        } else if (kind == ElementKind::Interface) {
            IUnknown* unknown;
            std::memcpy(&unknown, p, sizeof(unknown));
            if (unknown) unknown->Release();
        } else {
            VariantClear(reinterpret_cast<VARIANT*>(p));
        }
    }
    // No dangling pointers stay behind in data that outlives its elements.
    std::memset(static_cast<unsigned char*>(psa->pvData) + first * psa->cbElements, 0, count * psa->cbElements);
}

HRESULT ElementOffset(SAFEARRAY* psa, const LONG* rgIndices, std::size_t& offset) noexcept {
    const SAFEARRAYBOUND* bounds = SafeArrayBounds(psa);
    std::size_t linear = 0;
    std::size_t stride = 1;
    for (USHORT k = 0; k < psa->cDims; ++k) {
        const SAFEARRAYBOUND& b = bounds[psa->cDims - 1 - k];  // caller's dimension k
        const std::int64_t index = rgIndices[k];
        if (index < b.lLbound || index >= std::int64_t{b.lLbound} + b.cElements) return DISP_E_BADINDEX;
        linear += static_cast<std::size_t>(index - b.lLbound) * stride;
        stride *= b.cElements;
    }
    std::size_t bytes;
    if (!DataBytes(psa, bytes)) return E_INVALIDARG;  // never true for data that exists
    offset = linear * psa->cbElements;
    return S_OK;
}

SAFEARRAY* CreateByteVector(const void* bytes, ULONG size) noexcept {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, size);
    if (psa && size) std::memcpy(psa->pvData, bytes, size);
    return psa;
}

HRESULT VtBstrToVector(BSTR bstr, SAFEARRAY** ppsa) noexcept {
    if (!ppsa) return E_INVALIDARG;
    *ppsa = CreateByteVector(bstr, SysStringLen(bstr));
    return *ppsa ? S_OK : E_OUTOFMEMORY;
}

HRESULT VtVectorToBstr(SAFEARRAY* psa, BSTR* pbstr) noexcept {
    if (!pbstr) return E_INVALIDARG;
    *pbstr = nullptr;
    if (!psa || psa->cDims != 1 || psa->cbElements != 1) return E_INVALIDARG;
    const ULONG count = SafeArrayBounds(psa)[0].cElements;
    if (count == 0) return E_OUTOFMEMORY;  // a BSTR of no bytes is null: reported as no text made
    if (!psa->pvData) return E_INVALIDARG;
    *pbstr = SysAllocStringLen(static_cast<const char*>(psa->pvData), count);
    return *pbstr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ZtAtlCom::detail
