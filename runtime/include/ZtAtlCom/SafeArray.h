/*
 * SafeArray.h - SAFEARRAY descriptors (published layout) and their functions.
 *
 * Descriptor: cDims, fFeatures (16-bit each), cbElements, cLocks (32-bit
 * each), pvData, then one bound (cElements, lLbound) per dimension. Every
 * descriptor made here lives in one malloc block that starts 16 bytes before
 * it: these bytes hold the element IID (FADF_HAVEIID) or, in their last 4
 * bytes, the element VARTYPE (FADF_HAVEVARTYPE). Vectors (FADF_CREATEVECTOR)
 * carry their data in the same block, right after the single bound, and can
 * be neither redimensioned nor given new data. Only descriptors made by these
 * functions may be passed to them.
 *
 * Dimensions: SafeArrayCreate stores the caller's bounds in reverse (caller's
 * bound k in rgsabound[cDims-1-k]). Index lists and the dimension numbers of
 * SafeArrayGetLBound/UBound (1 = first) use the caller's order; index 0
 * varies fastest in memory. SafeArrayRedim changes rgsabound[0], the
 * caller's last dimension.
 *
 * Elements by feature: FADF_BSTR BSTRs owned by the array, FADF_UNKNOWN or
 * FADF_DISPATCH interface pointers holding one reference each, FADF_VARIANT
 * VARIANTs owned by the array, FADF_RECORD records (E_NOTIMPL), otherwise
 * plain bytes of cbElements each.
 *
 * Nothing throws. Locking functions have no effect: this runtime never raises
 * cLocks; arrays shared between threads need the caller's own lock.
 */
#ifndef ZT_ATLCOM_SAFE_ARRAY_H
#define ZT_ATLCOM_SAFE_ARRAY_H

#include "ZtAtlCom/Variant.h"

namespace ZtAtlCom {

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};
using SAFEARRAY = tagSAFEARRAY;
using LPSAFEARRAY = SAFEARRAY*;

static_assert(sizeof(SAFEARRAY) == 32, "descriptor with one bound is 32 bytes");

enum : USHORT {
    FADF_AUTO = 0x0001,
    FADF_STATIC = 0x0002,
    FADF_EMBEDDED = 0x0004,
    FADF_FIXEDSIZE = 0x0010,
    FADF_RECORD = 0x0020,
    FADF_HAVEIID = 0x0040,
    FADF_HAVEVARTYPE = 0x0080,
    FADF_BSTR = 0x0100,
    FADF_UNKNOWN = 0x0200,
    FADF_DISPATCH = 0x0400,
    FADF_VARIANT = 0x0800,
    FADF_DATADELETED = 0x1000,
    FADF_CREATEVECTOR = 0x2000,
};

// --- descriptors --------------------------------------------------------

// A zero-filled descriptor of cDims dimensions (cDims 0 or above 65535, or a
// null out: E_INVALIDARG); the caller fills in the other fields.
ZT_ATLCOM_API HRESULT SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) noexcept;
// As above, typed: VT_RECORD cbElements 32; VT_UNKNOWN/VT_DISPATCH
// FADF_HAVEIID with that interface's id, cbElements 8; other types
// FADF_HAVEVARTYPE with vt stored, cbElements by type (0 when unsized).
ZT_ATLCOM_API HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut) noexcept;
// Zero-filled data of element count x cbElements bytes; nothing for vectors
// and FADF_STATIC. E_OUTOFMEMORY also when the size does not fit.
ZT_ATLCOM_API HRESULT SafeArrayAllocData(SAFEARRAY* psa) noexcept;
ZT_ATLCOM_API HRESULT SafeArraySetIID(SAFEARRAY* psa, REFGUID guid) noexcept;
ZT_ATLCOM_API HRESULT SafeArrayGetIID(SAFEARRAY* psa, GUID* pguid) noexcept;
ZT_ATLCOM_API HRESULT SafeArraySetRecordInfo(SAFEARRAY* psa, IRecordInfo* prinfo) noexcept;    // E_NOTIMPL
ZT_ATLCOM_API HRESULT SafeArrayGetRecordInfo(SAFEARRAY* psa, IRecordInfo** prinfo) noexcept;   // E_NOTIMPL
ZT_ATLCOM_API HRESULT SafeArrayCompareDimensions(SAFEARRAY* psa1, SAFEARRAY* psa2) noexcept;  // E_NOTIMPL
ZT_ATLCOM_API UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept;       // 0 for null
ZT_ATLCOM_API UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept;  // 0 for null
ZT_ATLCOM_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept;
// As SafeArrayGetVartype, but a stored VT_UNKNOWN reads VT_DISPATCH with FADF_DISPATCH.
ZT_ATLCOM_API HRESULT SafeArrayGetActualVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept;
ZT_ATLCOM_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) noexcept;
ZT_ATLCOM_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) noexcept;
// Product of all cElements as 32-bit (0 when cDims is 0).
ZT_ATLCOM_API HRESULT SafeArrayGetElementCount(SAFEARRAY* psa, ULONG* pcElements) noexcept;

// --- creation (null on failure; a failed creation frees all it allocated) ---

// Null for VT_RECORD, null bounds, cDims 0 and element types without a size.
ZT_ATLCOM_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) noexcept;
// As SafeArrayCreate; for VT_UNKNOWN/VT_DISPATCH a non-null pvExtra is the element IID.
ZT_ATLCOM_API SAFEARRAY* SafeArrayCreateEx(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound,
                                           void* pvExtra) noexcept;
// A one-dimensional vector in one zero-filled block of 48 + data bytes.
ZT_ATLCOM_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) noexcept;
// Only for VT_UNKNOWN/VT_DISPATCH; a non-null pvExtra is the element IID.
ZT_ATLCOM_API SAFEARRAY* SafeArrayCreateVectorEx(VARTYPE vt, LONG lLbound, ULONG cElements,
                                                 void* pvExtra) noexcept;
// A VT_UI1 vector (lower bound 0) holding a copy of size bytes.
ZT_ATLCOM_API HRESULT SafeArrayFromBuffer(const void* bytes, ULONG size, SAFEARRAY** ppsaOut) noexcept;
// The same from a BSTR's stored bytes, or from the bytes VariantAccessData reports.
ZT_ATLCOM_API HRESULT ToByteSafeArray(BSTR bstr, SAFEARRAY** ppsaOut) noexcept;
ZT_ATLCOM_API HRESULT ToByteSafeArray(VARIANT& v, SAFEARRAY** ppsaOut) noexcept;

// --- destruction (DISP_E_ARRAYISLOCKED while cLocks is not 0) ------------

// Destroys the elements; static data is zeroed, a vector's data marked
// FADF_DATADELETED (and zeroed), other data freed.
ZT_ATLCOM_API HRESULT SafeArrayDestroyData(SAFEARRAY* psa) noexcept;
ZT_ATLCOM_API HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept;  // null: S_OK
// Frees the descriptor block (a vector's elements first); other data is the caller's.
ZT_ATLCOM_API HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa) noexcept;

// --- copying and resizing ----------------------------------------------

// A copy with its own data, never a vector. Null source: S_OK, *ppsaOut untouched.
ZT_ATLCOM_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) noexcept;
// Copies the elements into an array of the same shape (lower bounds aside);
// stops at the first element that fails and returns that failure.
ZT_ATLCOM_API HRESULT SafeArrayCopyData(SAFEARRAY* psaSource, SAFEARRAY* psaTarget) noexcept;
// New count and lower bound of the caller's last dimension. Vectors and
// FADF_FIXEDSIZE arrays: E_INVALIDARG; growing arrays whose data the array
// does not own (FADF_STATIC, FADF_AUTO, FADF_EMBEDDED): E_INVALIDARG.
ZT_ATLCOM_API HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) noexcept;

// --- element access (one index per dimension, caller's order) ------------

// Out-of-range index: DISP_E_BADINDEX; array without data: E_INVALIDARG.
ZT_ATLCOM_API HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) noexcept;
// VARIANT: *pv is made VT_EMPTY and receives a copy; BSTR: a copy by stored
// length (a null element gives null; an empty one null and E_OUTOFMEMORY);
// interface: the pointer with AddRef; plain: cbElements bytes.
ZT_ATLCOM_API HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept;
// pv points to the value, except for interface arrays where it is the
// pointer. BSTR: the old element is freed, a copy of *pv up to its first 0
// stored (a null *pv leaves null and returns E_OUTOFMEMORY).
ZT_ATLCOM_API HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept;
// Queries the interface element at linear index for iid. Not an interface
// array: E_INVALIDARG; index beyond the elements: DISP_E_BADINDEX; null
// element: E_POINTER (*ppv null).
ZT_ATLCOM_API HRESULT SafeArrayQueryElementInterface(SAFEARRAY* psa, ULONG index, REFIID iid,
                                                     void** ppv) noexcept;
ZT_ATLCOM_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) noexcept;
// Byte count = cbElements x all cElements (cbElements when cDims is 0).
ZT_ATLCOM_API HRESULT SafeArrayAccessDataExt(SAFEARRAY* psa, std::size_t* pcbData, void** ppvData) noexcept;
ZT_ATLCOM_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) noexcept;  // no effect
ZT_ATLCOM_API HRESULT SafeArrayLock(SAFEARRAY* psa) noexcept;          // no effect
ZT_ATLCOM_API HRESULT SafeArrayUnlock(SAFEARRAY* psa) noexcept;        // no effect

// --- typed buffers in VARIANTs ------------------------------------------

/* The bytes of a VARIANT's value: for an array (also BYREF) of VT_I2, VT_I4,
 * VT_R4, VT_R8, VT_BOOL, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8 or VT_UI8 its
 * data; for VT_BSTR (also BYREF) the text and its stored length; for a
 * scalar (also BYREF) of the types of GetVarTypeByteSize except VT_INT and
 * VT_UINT the value's address and that size (VT_BOOL: 1 byte). Anything
 * else, a null array or a null reference: E_INVALIDARG. */
ZT_ATLCOM_API HRESULT VariantAccessData(VARIANT* v, std::size_t* pcbData, void** ppvData) noexcept;
// As VariantAccessData; a VT_BOOL is first made 1 or 0 so that a writer sees one byte.
ZT_ATLCOM_API HRESULT VariantAccessModifyData(VARIANT* v, std::size_t* pcbData, void** ppvData) noexcept;
// A VT_BOOL becomes VARIANT_TRUE when bit 0 is set, else VARIANT_FALSE.
ZT_ATLCOM_API HRESULT VariantUnaccessModifyData(VARIANT* v) noexcept;
ZT_ATLCOM_API HRESULT VariantUnaccessData(VARIANT* v) noexcept;  // no effect
/* Makes v a fresh VARIANT of type vt and reports the bytes to fill. For an
 * array type the base type needs a GetVarTypeByteSize size: with bounds,
 * SafeArrayCreate(base, cDims, rgsabound); without, a vector of *pcbData /
 * size elements. Invalid vt: E_INVALIDARG with v untouched; any later
 * failure leaves v VT_EMPTY with nothing allocated. */
ZT_ATLCOM_API HRESULT VariantCreateAndAccessData(VARIANT* v, VARTYPE vt, std::size_t* pcbData, void** ppvData,
                                                 SAFEARRAYBOUND* rgsabound, UINT cDims) noexcept;

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_SAFE_ARRAY_H
