// Every C++ allocation that collections, enumerators and connection points
// make is failed in turn (this executable replaces the global operator new):
// each operation must then succeed or report its documented failure, and
// give back every reference and block it took, which the live counts and
// ASan check.
#include "CollectionObjects.h"
#include "EventObjects.h"

#include <gtest/gtest.h>

#include "AllocFailure.h"

#include <cstdlib>
#include <new>

namespace {

using ZtTest::AllocFailure::FailThisCall;

void* Allocate(std::size_t size) noexcept { return FailThisCall() ? nullptr : std::malloc(size ? size : 1); }

}  // namespace

void* ZtTestAllocate(std::size_t size) noexcept { return Allocate(size); }
#include "AllocFailureOperators.h"

namespace {

using namespace ZtTest;

using ZtTest::AllocFailure::Armed;

// Every run must give back all the objects it made.
template <class Run>
void FailEachAllocation(const char* what, Run run) {
    ZtTest::AllocFailure::FailEachAllocation(what, 60, run, [what](int n) {
        EXPECT_EQ(g_liveSinks.load() + g_liveSources.load() + g_liveItems.load() + g_liveCollections.load(), 0)
            << what << ", allocation " << n << " failing";
    });
}

void ExpectOkOr(HRESULT hr, HRESULT failure, const char* what) {
    EXPECT_TRUE(hr == S_OK || hr == failure) << what << ": " << std::hex << hr;
}

// A source with sinks advised, and what each sink should hold afterwards.
struct Source {
    explicit Source(int sinkCount) {
        CreateObject<CTestSource>(&object);
        point = PointOf(static_cast<ITestSource*>(object));
        for (int i = 0; i < sinkCount; ++i) {
            DWORD cookie = 0;
            point->Advise(sinks.emplace_back(new RecordingSink()), &cookie);
        }
    }
    ~Source() {
        point = nullptr;
        object->Release();
        for (auto* sink : sinks) {
            EXPECT_EQ(sink->Refs(), 1u);
            sink->Release();
        }
    }
    CComObject<CTestSource>* object = nullptr;
    CComPtr<IConnectionPoint> point;
    std::vector<RecordingSink*> sinks;
};

TEST(ComponentAllocFailure, ConnectionPoints) {
    FailEachAllocation("Advise until the table grows twice", [] {
        Source s(0);
        for (int i = 0; i < 5; ++i) {
            auto* sink = s.sinks.emplace_back(new RecordingSink());
            DWORD cookie = 9;
            HRESULT hr = Armed([&] { return s.point->Advise(sink, &cookie); });
            ExpectOkOr(hr, CONNECT_E_ADVISELIMIT, "Advise");
            if (Failed(hr)) {
                EXPECT_EQ(cookie, 0u);
                EXPECT_EQ(sink->Refs(), 1u);
            }
        }
    });
    FailEachAllocation("EnumConnections", [] {
        Source s(2);
        CComPtr<IEnumConnections> e;
        HRESULT hr = Armed([&] { return s.point->EnumConnections(e.ReleaseAndGetAddressOf()); });
        ExpectOkOr(hr, E_OUTOFMEMORY, "EnumConnections");
        EXPECT_EQ(Failed(hr), e == nullptr);
        CComPtr<IEnumConnections> clone;
        if (e) ExpectOkOr(Armed([&] { return e->Clone(clone.ReleaseAndGetAddressOf()); }), E_OUTOFMEMORY, "Clone");
    });
    FailEachAllocation("EnumConnectionPoints", [] {
        Source s(0);
        CComPtr<IConnectionPointContainer> container;
        s.object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.ReleaseAndGetAddressOf()));
        CComPtr<IEnumConnectionPoints> e;
        HRESULT hr = Armed([&] { return container->EnumConnectionPoints(e.ReleaseAndGetAddressOf()); });
        ExpectOkOr(hr, E_OUTOFMEMORY, "EnumConnectionPoints");
        EXPECT_EQ(Failed(hr), e == nullptr);
    });
}

TEST(ComponentAllocFailure, Collections) {
    struct Case {
        const char* what;
        HRESULT (*op)(CComObject<CTestCollection>*, ITestItem* extra);
        bool keepsExtra = false;  // on success the collection holds the extra item
    } cases[] = {
        {"Add", [](auto* c, ITestItem* extra) { return c->Add(extra); }, true},
        {"Clone",
         [](auto* c, ITestItem*) {
             CComPtr<ITestCollection> clone;
             return c->Clone(clone.ReleaseAndGetAddressOf());
         }},
        {"CloneRange",
         [](auto* c, ITestItem*) {
             CComPtr<ITestCollection> clone;
             return c->CloneRange(1, 3, clone.ReleaseAndGetAddressOf());
         }},
        {"RemoveRange", [](auto* c, ITestItem*) { return c->RemoveRange(0, 2); }},
        {"Remove",
         [](auto* c, ITestItem*) {
             CComPtr<ITestItem> item;
             c->get_Item(1, item.ReleaseAndGetAddressOf());
             return c->Remove(item);
         }},
        {"ToSafeArray",
         [](auto* c, ITestItem*) {
             SAFEARRAY* psa = nullptr;
             HRESULT hr = c->ToSafeArray(&psa);
             SafeArrayDestroy(psa);
             return hr;
         }},
        {"get__NewEnum and Clone",
         [](auto* c, ITestItem*) {
             CComPtr<IUnknown> unknown;
             HRESULT hr = c->get__NewEnum(unknown.ReleaseAndGetAddressOf());
             if (Failed(hr)) return hr;
             CComPtr<IEnumVARIANT> e, clone;
             unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.ReleaseAndGetAddressOf()));
             return e->Clone(clone.ReleaseAndGetAddressOf());
         }},
    };
    for (const auto& c : cases) {
        FailEachAllocation(c.what, [&] {
            CComObject<CTestCollection>* collection = nullptr;
            CreateObject<CTestCollection>(&collection);
            for (char name : std::string("ABCD")) collection->Add(MakeItem(name));
            CComPtr<ITestItem> extra = MakeItem('E');
            HRESULT hr = Armed([&] { return c.op(collection, extra); });
            ExpectOkOr(hr, E_OUTOFMEMORY, c.what);
            EXPECT_EQ(RefsOf(extra), Succeeded(hr) && c.keepsExtra ? 2u : 1u) << c.what;
            collection->Release();
        });
    }
}

}  // namespace
