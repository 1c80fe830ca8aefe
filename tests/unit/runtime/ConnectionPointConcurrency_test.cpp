#include "ZtAtlCom/ConnectionPoint.h"

#include "CollectionObjects.h"
#include "EventObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>

namespace {

using namespace ZtTest;

// One thread fires while another advises and unadvises; the table's
// reference is the only one a sink has, so an unadvise during its call
// must not destroy it under the firing thread.
TEST(ConnectionPointConcurrency, FiringWhileSinksComeAndGo) {
    CComObject<CTestSource>* source = nullptr;
    ASSERT_EQ(CreateObject<CTestSource>(&source), S_OK);
    CComPtr<IConnectionPoint> point = PointOf(static_cast<ITestSource*>(source));
    std::atomic<bool> done{false};
    std::atomic<int> fired{0};

    std::thread firer([&] {
        while (!done.load()) {
            FireEvent<1>(source->m_vec, source);
            ++fired;
        }
    });
    std::thread changer([&] {
        // On a loaded machine the rounds could all be over before the firer
        // ran once; the point is firing while the table changes.
        while (fired.load() == 0) std::this_thread::yield();
        std::deque<DWORD> cookies;
        for (int round = 0; round < 3000; ++round) {
            auto* sink = new RecordingSink();
            if (round % 7 == 0) {
                // This one leaves from inside its own call, on the firing thread.
                sink->onInvoke = [sink, p = point.p] {
                    CComPtr<IEnumConnections> e;
                    if (Succeeded(p->EnumConnections(e.ReleaseAndGetAddressOf()))) {
                        CONNECTDATA record{};
                        while (e->Next(1, &record, nullptr) == S_OK) {
                            if (record.pUnk == static_cast<IUnknown*>(sink)) p->Unadvise(record.dwCookie);
                            record.pUnk->Release();
                        }
                    }
                };
            }
            DWORD cookie = 0;
            EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
            sink->Release();
            cookies.push_back(cookie);
            if (cookies.size() > 6) {  // keeps the table growing past its first 4 slots
                point->Unadvise(cookies.front());
                cookies.pop_front();
            }
        }
        for (DWORD cookie : cookies) point->Unadvise(cookie);
        done = true;
    });
    changer.join();
    firer.join();
    EXPECT_GT(fired.load(), 0);
    point = nullptr;
    source->Release();
    EXPECT_EQ(g_liveSinks.load(), 0);
    EXPECT_EQ(g_liveSources.load(), 0);
}

// A collection changed by one thread while another reads and enumerates it.
TEST(CollectionConcurrency, ReadersAndEnumeratorsWhileTheVectorChanges) {
    CComObject<CTestCollection>* collection = nullptr;
    ASSERT_EQ(CreateObject<CTestCollection>(&collection), S_OK);
    CComPtr<ITestItem> a = MakeItem('A'), b = MakeItem('B');
    std::atomic<bool> done{false};

    std::thread reader([&] {
        CComPtr<IUnknown> unknown;
        collection->get__NewEnum(unknown.ReleaseAndGetAddressOf());
        CComPtr<IEnumVARIANT> e;
        unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.ReleaseAndGetAddressOf()));
        while (!done.load()) {
            VARIANT v[3];
            ULONG fetched = 0;
            e->Next(3, v, &fetched);
            for (ULONG i = 0; i < fetched; ++i) VariantClear(&v[i]);
            if (fetched < 3) e->Reset();
            int count = 0;
            collection->get_Count(&count);
            CComPtr<ITestItem> item;
            collection->get_Item(count / 2, item.ReleaseAndGetAddressOf());
        }
    });
    for (int round = 0; round < 3000; ++round) {
        collection->Add(a);
        collection->Add(b);
        collection->SetAt(0, b);
        if (round % 5 == 0) collection->RemoveRange(0, 2);
        collection->Remove(a);
        if (round % 50 == 0) collection->RemoveAll();
    }
    done = true;
    reader.join();
    collection->Release();
    a = nullptr;
    b = nullptr;
    EXPECT_EQ(g_liveItems.load(), 0);
    EXPECT_EQ(g_liveCollections.load(), 0);
}

}  // namespace
