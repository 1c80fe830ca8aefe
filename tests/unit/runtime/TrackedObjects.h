// Interface objects whose reference counts and destruction tests watch.
#ifndef ZT_TESTS_RUNTIME_TRACKED_OBJECTS_H
#define ZT_TESTS_RUNTIME_TRACKED_OBJECTS_H

#include "ZtAtlCom/Dispatch.h"

#include <atomic>

namespace ZtTest {

using namespace ZtAtlCom;

// Starts with one reference (the creator's); answers IUnknown and, unless
// told otherwise, IDispatch; counts its destructions in *destroyed.
class TrackedDispatch final : public IDispatch {
public:
    explicit TrackedDispatch(int* destroyed = nullptr, bool answersDispatch = true)
        : m_destroyed(destroyed), m_answersDispatch(answersDispatch) {}

    HRESULT QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (iid == iid_of<IUnknown>() || (m_answersDispatch && iid == iid_of<IDispatch>())) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) {
            if (m_destroyed) ++*m_destroyed;
            delete this;
        }
        return n;
    }
    HRESULT GetTypeInfoCount(UINT*) override { return E_FAIL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_FAIL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_FAIL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, tagVARIANT*, EXCEPINFO*, UINT*) override {
        return E_FAIL;
    }

    ULONG Refs() const { return m_refs; }

private:
    std::atomic<ULONG> m_refs{1};
    int* m_destroyed;
    bool m_answersDispatch;
};

// The count of p's object (taken and given back).
inline ULONG RefsOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

}  // namespace ZtTest

#endif  // ZT_TESTS_RUNTIME_TRACKED_OBJECTS_H
