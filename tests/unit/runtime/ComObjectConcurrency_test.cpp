#include "ZtAtlCom/ComObject.h"

#include "ZtAtlCom/ComCreate.h"

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

TEST(ComObjectConcurrency, CountsHoldAcrossThreadsAndTheLastReleaseDestroysOnce) {
    constexpr int kThreads = 4;
    IShared* shared = nullptr;
    ASSERT_EQ(Create<CShared>(&shared), S_OK);
    // Each thread owns one reference and drops it at its end: whichever ends
    // last destroys the object.
    for (int i = 1; i < kThreads; ++i) shared->AddRef();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([shared] {
            for (int i = 0; i < 20000; ++i) {
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

}  // namespace
