/*
 * Variant.h - the VARIANT (published 24-byte layout) and its core functions.
 *
 * Layout: vt (16-bit type code), three reserved 16-bit words, then a 16-byte
 * value area whose first 8 bytes hold the scalar or pointer. The base type is
 * vt & VT_TYPEMASK; VT_BYREF holds a pointer to a value of the base type (not
 * owned), VT_ARRAY a SAFEARRAY (owned), VT_BSTR a BSTR (owned), VT_DISPATCH
 * and VT_UNKNOWN an interface pointer holding one reference.
 *
 * Valid type codes: neither VT_RESERVED nor VT_VECTOR set, base type below 24
 * (except 15) or VT_RECORD (36), and not VT_EMPTY/VT_NULL with VT_ARRAY or
 * VT_BYREF. Records are not supported (E_NOTIMPL).
 *
 * None of these functions throws. A VARIANT must not be used by two threads
 * at once.
 */
#ifndef ZT_ATLCOM_VARIANT_H
#define ZT_ATLCOM_VARIANT_H

#include "ZtAtlCom/Dispatch.h"

namespace ZtAtlCom {

struct tagSAFEARRAY;
struct IRecordInfo;  // records are not supported

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_SAFEARRAY = 27,
    VT_CARRAY = 28,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_RECORD = 36,
    VT_INT_PTR = 37,
    VT_UINT_PTR = 38,
    VT_FILETIME = 64,
    VT_BLOB = 65,
    VT_CLSID = 72,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_TYPEMASK = 0x0FFF,
};

struct ZtBRECORD {
    void* pvRecord;
    IRecordInfo* pRecInfo;
};

struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                tagSAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                SCODE* pscode;
                CY* pcyVal;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                tagSAFEARRAY** pparray;
                tagVARIANT* pvarVal;
                void* byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                DECIMAL* pdecVal;
                CHAR* pcVal;
                USHORT* puiVal;
                ULONG* pulVal;
                ULONGLONG* pullVal;
                INT* pintVal;
                UINT* puintVal;
                ZtBRECORD brecVal;
            };
        };
        DECIMAL decVal;
    };
};
using VARIANT = tagVARIANT;
using VARIANTARG = tagVARIANT;
using LPVARIANT = VARIANT*;

static_assert(sizeof(VARIANT) == 24, "VARIANT is 24 bytes");

// Sets all 24 bytes to 0 (VT_EMPTY).
ZT_ATLCOM_API void VariantInit(VARIANTARG* pvarg) noexcept;

/* Releases what the VARIANT owns and makes it VT_EMPTY: BSTR freed,
 * interface released, array destroyed. BYREF: only vt is reset. ARRAY: the
 * array pointer becomes null and vt keeps its array type; a locked array
 * gives DISP_E_ARRAYISLOCKED and the VARIANT is kept. VT_RECORD: E_NOTIMPL,
 * unchanged. Invalid type code or null pvarg: E_INVALIDARG. */
ZT_ATLCOM_API HRESULT VariantClear(VARIANTARG* pvarg) noexcept;

/* Clears pvargDest (its failure returned) and copies pvargSrc into it,
 * owning its own copy: a BSTR is duplicated up to its first 0 byte (so a
 * plain C string in bstrVal is accepted), interfaces get AddRef, arrays are
 * copied with SafeArrayCopy; BYREF values are copied as the pointer.
 * Invalid source type: DISP_E_BADVARTYPE, dest untouched; records:
 * E_NOTIMPL; allocation failure: E_OUTOFMEMORY. A failure after the clear
 * leaves dest cleared. The same VARIANT for both: S_OK. */
ZT_ATLCOM_API HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) noexcept;

/* As VariantCopy, but a BYREF source is copied by value: dest gets the base
 * type and a copy of the referenced value. A null reference or a BYREF
 * VARIANT referring to another BYREF VARIANT: E_INVALIDARG; BYREF
 * VT_DECIMAL or VT_RECORD: E_NOTIMPL (dest untouched in these cases).
 * pvargDest may be pvargSrc. */
ZT_ATLCOM_API HRESULT VariantCopyInd(VARIANTARG* pvarDest, const VARIANTARG* pvargSrc) noexcept;

/* Converts pvarSrc to type vt into pvargDest (which may be pvarSrc):
 * numbers to numbers by plain truncation (no overflow check, floating point
 * truncated toward zero, VT_BOOL receives the truncated integer unchanged);
 * no text from numbers (E_NOTIMPL); VT_NULL to VT_EMPTY: DISP_E_TYPEMISMATCH;
 * a BSTR to an array of VT_UI1 and back byte for byte; other arrays only to
 * their own type. Pairs without a conversion (for instance text or VT_BOOL
 * to a number, a number to VT_DISPATCH) succeed with a zero value or null
 * pointer, which callers must not rely on. Invalid codes: DISP_E_BADVARTYPE;
 * BYREF source with a null pointer: DISP_E_TYPEMISMATCH. flags and lcid are
 * ignored. pvargDest is untouched on every failure. */
ZT_ATLCOM_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                                        VARTYPE vt) noexcept;
ZT_ATLCOM_API HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid,
                                          USHORT wFlags, VARTYPE vt) noexcept;

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_VARIANT_H
