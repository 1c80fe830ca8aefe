#include "ZtAtlCom/ComObject.h"

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ZtUnknown.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace ZtAtlCom;

struct IShared : IUnknown {
    virtual HRESULT Touch() = 0;
};
ZT_DECLARE_IID(IShared, "C3D1E0F2-0000-4000-8000-000000000001")

std::atomic<int> g_destroyed{0};

class CShared : public CComObjectRootEx<CComMultiThreadModel>, public IShared {
public:
    BEGIN_COM_MAP(CShared)
        COM_INTERFACE_ENTRY(IShared)
    END_COM_MAP()
    ~CShared() override { ++g_destroyed; }
    HRESULT Touch() override {
        ObjectLock lock(this);
        ++m_touches;
        return S_OK;
    }
    int m_touches = 0;
};

constexpr int kThreads = 4;
constexpr int kRounds = 20000;

TEST(ComObjectConcurrency, CountsHoldAcrossThreadsAndTheLastReleaseDestroysOnce) {
    IShared* shared = nullptr;
    ASSERT_EQ(Create<CShared>(&shared), S_OK);
    // Every thread owns one reference and drops it at its end, so the last
    // thread to finish destroys the object.
    for (int i = 0; i < kThreads - 1; ++i) shared->AddRef();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([shared] {
            for (int i = 0; i < kRounds; ++i) {
                IUnknown* unknown = nullptr;
                shared->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
                shared->AddRef();
                shared->Touch();
                shared->Release();
                unknown->Release();
            }
            shared->Release();
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(g_destroyed.load(), 1);
}

class Counted final : public IZtUnknown {
public:
    ULONG ZtAddRef() override { return m_count.Increment(); }
    ULONG ZtRelease() override {
        ULONG n = m_count.Decrement();
        if (n == 0) {
            ++g_destroyed;
            delete this;
        }
        return n;
    }
    HRESULT ZtQueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return ZT_E_NOINTERFACE;
    }

private:
    ZtUnknownCount m_count;
};

TEST(ComObjectConcurrency, InterlockedCountOfInternalObjects) {
    g_destroyed = 0;
    auto* object = new Counted;
    for (int i = 0; i < kThreads; ++i) object->ZtAddRef();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([object] {
            for (int i = 0; i < kRounds; ++i) {
                object->ZtAddRef();
                ZtComPtrLite<IZtUnknown> held(object);  // adopts that reference
                ZtComPtrLite<IZtUnknown> copy = held;   // and takes one more
            }
            object->ZtRelease();
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(g_destroyed.load(), 1);
}

}  // namespace
