// Block layout and element rules shared by the SAFEARRAY functions.
//
// Block: 16-byte prefix | descriptor head (24 bytes) | cDims bounds of 8 bytes
// | vector data. Every size computed here is checked for overflow, and every
// element walk stays within element count x cbElements bytes of pvData.
#ifndef ZT_ATLCOM_DETAIL_SAFE_ARRAY_DETAIL_H
#define ZT_ATLCOM_DETAIL_SAFE_ARRAY_DETAIL_H

#include "ZtAtlCom/SafeArray.h"

namespace ZtAtlCom::detail {

constexpr std::size_t kSafeArrayPrefixBytes = 16;
constexpr std::size_t kSafeArrayHeadBytes = 24;  // cDims up to pvData
constexpr std::size_t kSafeArrayBoundBytes = 8;
constexpr std::size_t kSafeArrayVectorHeader = kSafeArrayPrefixBytes + kSafeArrayHeadBytes + kSafeArrayBoundBytes;

constexpr std::size_t DescriptorBlockBytes(UINT cDims) noexcept {
    return kSafeArrayPrefixBytes + kSafeArrayHeadBytes + kSafeArrayBoundBytes * cDims;
}

inline unsigned char* SafeArrayBlock(SAFEARRAY* psa) noexcept {
    return reinterpret_cast<unsigned char*>(psa) - kSafeArrayPrefixBytes;
}

// Bounds as stored (entry 0 is the caller's last dimension); reached through
// a pointer because the declared array has one entry only.
inline SAFEARRAYBOUND* SafeArrayBounds(SAFEARRAY* psa) noexcept { return psa->rgsabound; }
inline const SAFEARRAYBOUND* SafeArrayBounds(const SAFEARRAY* psa) noexcept { return psa->rgsabound; }

VARTYPE StoredVartype(SAFEARRAY* psa) noexcept;
void StoreVartype(SAFEARRAY* psa, VARTYPE vt) noexcept;
void StoreIid(SAFEARRAY* psa, const GUID& iid) noexcept;
GUID StoredIid(SAFEARRAY* psa) noexcept;

// Product of all cElements (0 when cDims is 0); false when it overflows.
bool ElementCount(const SAFEARRAY* psa, std::size_t& count) noexcept;
// Element count x cbElements; false when it overflows.
bool DataBytes(const SAFEARRAY* psa, std::size_t& bytes) noexcept;

enum class ElementKind { Plain, Bstr, Interface, Variant, Record };

// The element rule by feature flags.
ElementKind KindOf(const SAFEARRAY* psa) noexcept;
// True when cbElements is the size the kind's elements need.
bool KindFitsSize(ElementKind kind, ULONG cbElements) noexcept;

// Releases the owned elements [first, first + count) and zeroes their bytes;
// plain and record elements are left alone. Elements whose size does not
// match the kind are never interpreted.
void DestroyElements(SAFEARRAY* psa, std::size_t first, std::size_t count) noexcept;

// Byte offset of the element at rgIndices (caller's order):
// DISP_E_BADINDEX when an index lies outside its dimension.
HRESULT ElementOffset(SAFEARRAY* psa, const LONG* rgIndices, std::size_t& offset) noexcept;

// A VT_UI1 vector (lower bound 0) holding a copy of size bytes; null on failure.
SAFEARRAY* CreateByteVector(const void* bytes, ULONG size) noexcept;

// BSTR to a VT_UI1 vector of its stored bytes, and a one-dimensional array of
// 1-byte elements back to a BSTR of exactly its bytes.
HRESULT VtBstrToVector(BSTR bstr, SAFEARRAY** ppsa) noexcept;
HRESULT VtVectorToBstr(SAFEARRAY* psa, BSTR* pbstr) noexcept;

}  // namespace ZtAtlCom::detail

#endif  // ZT_ATLCOM_DETAIL_SAFE_ARRAY_DETAIL_H
