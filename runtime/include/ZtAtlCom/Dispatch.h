/*
 * Dispatch.h - the late-binding interface every dual interface derives from.
 *
 * The library's own objects answer its four methods with E_FAIL: no type
 * library exists and names are not resolved. Dispatch calls go outward only,
 * to event sinks, whose Invoke receives the arguments last first.
 */
#ifndef ZT_ATLCOM_DISPATCH_H
#define ZT_ATLCOM_DISPATCH_H

#include "ZtAtlCom/Unknown.h"

namespace ZtAtlCom {

struct tagVARIANT;
struct ITypeInfo;  // never provided by this runtime

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;

// Arguments of one dispatch call: rgvarg holds them last first.
struct DISPPARAMS {
    tagVARIANT* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) = 0;
    virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                           tagVARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};
ZT_DECLARE_IID(IDispatch, "00020400-0000-0000-C000-000000000046")

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_DISPATCH_H
