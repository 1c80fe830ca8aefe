// Library entry of libZtEventLoggerVdlProxy_2.1: the class factory, the ProgID
// lookup and the version. The interface ids the service link compares against
// are copied at load time by ZtServiceInterfaces.cpp; nothing else runs then.
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"

#include <cstring>
#include <new>

#include "CZtArgumentEntry.h"
#include "CZtArguments.h"
#include "CZtEventLogger.h"
#include "CZtSourceInfo.h"

namespace {

using namespace ZtAtlCom;
using namespace ZtEventLoggerVdlProxy;

// Makes one component with the factory's reference steps: count 0 after the
// constructor, the final-construct bracket, then AddRef (1), the identity
// query (2), Release (1), the query for iid, and the release of the identity
// (so a failed query leaves nothing alive).
template <class T>
HRESULT CreateComponent(const IID& iid, void** ppv) noexcept {
    using Object = CComObject<T>;
    void* storage = detail::AllocateComObject<T>(sizeof(Object));
    if (storage == nullptr) return E_OUTOFMEMORY;
    std::memset(storage, 0, sizeof(Object));
    Object* object = nullptr;
    try {
        object = ::new (storage) Object();
    } catch (...) {
        detail::FreeComObject<T>(storage);
        return E_OUTOFMEMORY;
    }
    // A constructor that could not build all it owns (the logger's service
    // link) leaves nothing behind.
    if constexpr (requires { object->BuildResult(); }) {
        if (Failed(object->BuildResult())) {
            delete object;
            return E_OUTOFMEMORY;
        }
    }
    object->InternalAddRef();
    HRESULT hr = object->FinalConstruct();
    object->InternalRelease();
    if (Failed(hr)) {
        delete object;
        return hr;
    }
    object->AddRef();
    IUnknown* identity = nullptr;
    hr = object->QueryInterface(iid_of<IUnknown>(), reinterpret_cast<void**>(&identity));
    object->Release();
    if (Failed(hr) || identity == nullptr) return Failed(hr) ? hr : E_NOINTERFACE;
    hr = identity->QueryInterface(iid, ppv);
    identity->Release();
    return hr;
}

}  // namespace

namespace ZtEventLoggerVdlProxyLib {

HRESULT CreateInstance(const CLSID& clsid, const IID& iid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    // Compared in this order; the first equal class id wins.
    if (clsid == CLSID_ZtSourceInfo) return CreateComponent<CZtSourceInfo>(iid, ppv);
    if (clsid == CLSID_ZtEventLogger) return CreateComponent<CZtEventLogger>(iid, ppv);
    if (clsid == CLSID_ZtArgumentEntry) return CreateComponent<CZtArgumentEntry>(iid, ppv);
    if (clsid == CLSID_ZtArguments) return CreateComponent<CZtArguments>(iid, ppv);
    return REGDB_E_CLASSNOTREG;
}

HRESULT CLSIDFromProgID(const char*, CLSID&) noexcept { return CO_E_CLASSSTRING; }

}  // namespace ZtEventLoggerVdlProxyLib

extern "C" {

HRESULT ZtEventLoggerVdlProxyLibCreateInstance(const CLSID& clsid, const IID& iid, void** ppv) noexcept {
    return ZtEventLoggerVdlProxyLib::CreateInstance(clsid, iid, ppv);
}

HRESULT ZtEventLoggerVdlProxyLibCLSIDFromProgID(const char*, CLSID*) noexcept { return CO_E_CLASSSTRING; }

uint32_t ZTEVENTLOGGERVDLPROXYLIBVersion(uint32_t* major, uint32_t* minor, uint32_t* build) noexcept {
    if (major != nullptr) *major = 2;
    if (minor != nullptr) *minor = 1;
    if (build != nullptr) *build = 0;
    return 0;
}

}  // extern "C"
