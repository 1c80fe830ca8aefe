/*
 * DispatchImpl.h - the dispatch half of every dual interface.
 *
 * The library's objects are called through their interface slots; no type
 * library exists and names are never resolved, so the four IDispatch
 * operations of each dual interface answer E_FAIL and touch no argument:
 *
 *     class CZtThing : public CComObjectRootEx<CComMultiThreadModel>,
 *                      public IDispatchImpl<IZtThing, &IID_IZtThing> { ... };
 *
 * The type-library id, its version and the type-info holder are template
 * arguments only (kept so that every dual class names the same shape); none
 * of them is ever loaded or consulted.
 */
#ifndef ZT_ATLCOM_DISPATCH_IMPL_H
#define ZT_ATLCOM_DISPATCH_IMPL_H

#include "ZtAtlCom/Dispatch.h"

namespace ZtAtlCom {

// Stands where a type-information cache would be; holds nothing.
struct CComTypeInfoHolder {};

template <class T, const IID* piid, const GUID* plibid = &GUID_NULL, WORD wMajor = 1, WORD wMinor = 0,
          class tihclass = CComTypeInfoHolder>
class IDispatchImpl : public T {
public:
    using _tihclass = tihclass;

    HRESULT GetTypeInfoCount(UINT* /*pctinfo*/) override { return E_FAIL; }
    HRESULT GetTypeInfo(UINT /*iTInfo*/, LCID /*lcid*/, ITypeInfo** /*ppTInfo*/) override { return E_FAIL; }
    HRESULT GetIDsOfNames(REFIID /*riid*/, LPOLESTR* /*rgszNames*/, UINT /*cNames*/, LCID /*lcid*/,
                          DISPID* /*rgDispId*/) override {
        return E_FAIL;
    }
    HRESULT Invoke(DISPID /*dispIdMember*/, REFIID /*riid*/, LCID /*lcid*/, WORD /*wFlags*/,
                   DISPPARAMS* /*pDispParams*/, tagVARIANT* /*pVarResult*/, EXCEPINFO* /*pExcepInfo*/,
                   UINT* /*puArgErr*/) override {
        return E_FAIL;
    }
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_DISPATCH_IMPL_H
