// Library entry of libZtEventLoggerVdlFilter_2.1: the class factory and the
// version function, the library's only exports.
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"

#include "CZtEventFilter.h"
#include "CZtExportSettings.h"

namespace {

using namespace ZtAtlCom;

// Made and queried in two steps so that a failed query leaves nothing
// alive and *ppv null.
template <class T>
HRESULT CreateAs(const IID& iid, void** ppv) noexcept {
    *ppv = nullptr;
    CComPtr<IUnknown> object;
    HRESULT hr = Create<T>(object.ReleaseAndGetAddressOf());
    if (Failed(hr)) return hr;
    return object->QueryInterface(iid, ppv);
}

}  // namespace

extern "C" {

HRESULT ZtEventLoggerVdlFilterCreateInstance(const CLSID& clsid, const IID& iid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    if (clsid == ZtEventLoggerVdlProxy::CLSID_ZtEventFilter)
        return CreateAs<ZtEventLoggerVdlFilter::CZtEventFilter>(iid, ppv);
    if (clsid == ZtEventLoggerVdlProxy::CLSID_ZtExportSettings)
        return CreateAs<ZtEventLoggerVdlFilter::CZtExportSettings>(iid, ppv);
    return REGDB_E_CLASSNOTREG;
}

uint32_t ZtEventLoggerVdlFilterVersion(uint32_t* major, uint32_t* minor, uint32_t* build) noexcept {
    if (major) *major = 2;
    if (minor) *minor = 1;
    if (build) *build = 0;
    return 0;
}

}  // extern "C"
