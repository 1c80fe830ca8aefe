// CreateHandle and ReleaseHandle: the ends of every handle's life.
#include "CallPattern.h"
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"

using namespace ZtProxyC;

ZTC_API HRESULT CreateHandle(GUID clsid, void** handle) noexcept {
    if (!handle) return ZtAtlCom::E_INVALIDARG;
    try {
        const ZtAtlCom::CLSID id = ToGuid(clsid);
        const ZtAtlCom::IID& unknown = ZtAtlCom::iid_of<ZtAtlCom::IUnknown>();
        void* p = nullptr;
        HRESULT hr = ZtEventLoggerVdlProxyLibCreateInstance(id, unknown, &p);
        // The filter and settings components live in a library of their
        // own; every id the event logger library knows keeps its answer.
        if (hr == ZtAtlCom::REGDB_E_CLASSNOTREG) hr = ZtEventLoggerVdlFilterCreateInstance(id, unknown, &p);
        if (ZtAtlCom::Failed(hr)) return hr;
        CComPtr<ZtAtlCom::IUnknown> object;
        object.Attach(static_cast<ZtAtlCom::IUnknown*>(p));
        void* registered = RegisterObject(object);
        *handle = registered;
        return registered ? ZtAtlCom::S_OK : ZtAtlCom::E_FAIL;
    } catch (...) {
        return ZtAtlCom::detail::HResultFromCurrentException();
    }
}

ZTC_API HRESULT ReleaseHandle(void* handle) noexcept { return Registry().Unregister(handle); }
