// An event source as the library's classes declare one, and a sink that
// records what reaches it, for the connection-point tests.
#ifndef ZT_TESTS_RUNTIME_EVENT_OBJECTS_H
#define ZT_TESTS_RUNTIME_EVENT_OBJECTS_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ConnectionPoint.h"
#include "ZtAtlCom/DispatchImpl.h"

#include "TrackedObjects.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace ZtTest {

using namespace ZtAtlCom;

struct _ITestEvents : IDispatch {};
ZT_DECLARE_IID(_ITestEvents, "7E0B5C30-0000-4000-8000-000000000001")
struct ITestSource : IDispatch {};
ZT_DECLARE_IID(ITestSource, "7E0B5C30-0000-4000-8000-000000000002")

inline std::atomic<int> g_liveSources{0};
inline std::atomic<int> g_liveSinks{0};

class CTestSource : public CComObjectRootEx<CComMultiThreadModel>,
                    public IConnectionPointContainerImpl<CTestSource>,
                    public IConnectionPointImpl<CTestSource, &IID__ITestEvents>,
                    public IDispatchImpl<ITestSource, &IID_ITestSource> {
public:
    BEGIN_COM_MAP(CTestSource)
        COM_INTERFACE_ENTRY(ITestSource)
        COM_INTERFACE_ENTRY(IConnectionPointContainer)
        COM_INTERFACE_ENTRY2(IDispatch, ITestSource)
    END_COM_MAP()
    BEGIN_CONNECTION_POINT_MAP(CTestSource)
        CONNECTION_POINT_ENTRY(IID__ITestEvents)
    END_CONNECTION_POINT_MAP()

    CTestSource() { ++g_liveSources; }
    ~CTestSource() override { --g_liveSources; }
};

// One VARIANT as a sink saw it.
struct SeenArgument {
    VARTYPE vt;
    SHORT i2;
    IDispatch* dispatch;
    ULONG dispatchRefs;  // the argument object's count during the call
};

struct SeenCall {
    DISPID id;
    bool nullIid;
    LCID lcid;
    WORD flags;
    UINT cArgs, cNamedArgs;
    bool argsNull, namedNull, outputsNull;
    std::vector<SeenArgument> args;
};

// A sink with its own count (it starts with the creator's reference). It
// answers the events interface unless told otherwise, records each call,
// runs onInvoke inside it and answers result (or throws when asked).
class RecordingSink final : public _ITestEvents {
public:
    explicit RecordingSink(HRESULT result = S_OK, HRESULT queryFailure = S_OK)
        : m_result(result), m_queryFailure(queryFailure) {
        ++g_liveSinks;
    }

    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        bool events = iid == IID__ITestEvents;
        if (events && m_queryFailure != S_OK) return m_queryFailure;
        if (!(iid == IID_IUnknown || iid == IID_IDispatch || events)) return E_NOINTERFACE;
        *ppv = static_cast<_ITestEvents*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) {
            --g_liveSinks;
            delete this;
        }
        return n;
    }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr) override {
        SeenCall call{id, riid == IID_NULL, lcid, flags, 0, 0, true, true, !result && !excepInfo && !argErr, {}};
        if (params) {
            call.cArgs = params->cArgs;
            call.cNamedArgs = params->cNamedArgs;
            call.argsNull = params->rgvarg == nullptr;
            call.namedNull = params->rgdispidNamedArgs == nullptr;
            for (UINT i = 0; params->rgvarg && i < params->cArgs; ++i) {
                const VARIANT& v = params->rgvarg[i];
                SeenArgument a{v.vt, v.vt == VT_I2 ? v.iVal : SHORT(0), v.vt == VT_DISPATCH ? v.pdispVal : nullptr, 0};
                if (a.dispatch) a.dispatch->AddRef(), a.dispatchRefs = a.dispatch->Release();
                call.args.push_back(a);
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_calls.push_back(call);
        }
        ++m_callCount;
        if (onInvoke) onInvoke();
        if (m_throws) throw std::runtime_error("sink failed");
        return m_result;
    }

    ULONG Refs() const { return m_refs; }
    std::vector<SeenCall> Calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    int CallCount() const { return m_callCount; }

    std::function<void()> onInvoke;
    bool m_throws = false;

private:
    std::atomic<ULONG> m_refs{1};
    HRESULT m_result;
    HRESULT m_queryFailure;
    mutable std::mutex m_mutex;
    std::vector<SeenCall> m_calls;
    std::atomic<int> m_callCount{0};
};

// The connection point of a source, found the way a host finds it.
inline CComPtr<IConnectionPoint> PointOf(IUnknown* source) {
    CComPtr<IConnectionPointContainer> container;
    CComPtr<IConnectionPoint> point;
    source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.ReleaseAndGetAddressOf()));
    if (container) container->FindConnectionPoint(IID__ITestEvents, point.ReleaseAndGetAddressOf());
    return point;
}

}  // namespace ZtTest

#endif  // ZT_TESTS_RUNTIME_EVENT_OBJECTS_H
