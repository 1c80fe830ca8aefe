/*
 * Unknown.h - the root interface of every component, and error-info support.
 *
 * Interfaces are plain abstract classes whose methods return an HRESULT; there
 * is no marshalling, no apartment and no registry. Whoever receives an
 * interface pointer owns one reference and gives it back with Release.
 */
#ifndef ZT_ATLCOM_UNKNOWN_H
#define ZT_ATLCOM_UNKNOWN_H

#include "ZtAtlCom/Guid.h"
#include "ZtAtlCom/HResult.h"

namespace ZtAtlCom {

struct IUnknown {
    // S_OK and *ppvObject with one reference added, or E_NOINTERFACE with
    // *ppvObject null; E_POINTER for a null ppvObject. Any thread.
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    // Return the new count (unsigned 32-bit); Release destroys at 0.
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
ZT_DECLARE_IID(IUnknown, "00000000-0000-0000-C000-000000000046")

struct ISupportErrorInfo : IUnknown {
    // S_OK when riid is one of the class's own public interfaces listed for
    // error info, else S_FALSE. No error-info object is ever created.
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;
};
ZT_DECLARE_IID(ISupportErrorInfo, "DF0B3D60-548F-101B-8E65-08002B2BD119")

// ISupportErrorInfo for a fixed list of interface ids:
//     class CZtThing : ..., public ISupportErrorInfoImpl<&IID_IZtThing> { ... };
template <const IID*... piids>
class ISupportErrorInfoImpl : public ISupportErrorInfo {
public:
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
        return ((riid == *piids) || ...) ? S_OK : S_FALSE;
    }
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_UNKNOWN_H
