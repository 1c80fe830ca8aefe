#include "ZtAtlCom/ZtCollection.h"

#include "CollectionObjects.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using namespace ZtTest;

// Items A..E; the collection starts with the names given.
class CollectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (char c = 'A'; c <= 'E'; ++c) items[c] = MakeItem(c);
    }
    void TearDown() override {
        collection = nullptr;
        items.clear();
        EXPECT_EQ(g_liveItems.load(), 0) << "an item leaked or was released once too often";
        EXPECT_EQ(g_liveCollections.load(), 0);
    }
    CComObject<CTestCollection>* Fill(const std::string& names) {
        CComObject<CTestCollection>* object = nullptr;
        EXPECT_EQ(CreateObject<CTestCollection>(&object), S_OK);
        for (char c : names) EXPECT_EQ(object->Add(items[c]), S_OK);
        collection.Attach(object);
        return object;
    }

    std::map<char, CComPtr<ITestItem>> items;
    CComPtr<ITestCollection> collection;
};

TEST_F(CollectionTest, DispatchOperationsAreStubs) {
    Fill("A");
    DISPID id = 0;
    EXPECT_EQ(collection->GetIDsOfNames(IID_NULL, nullptr, 0, 0, &id), E_FAIL);
    EXPECT_EQ(collection->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(items['A']->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_FAIL);
}

TEST_F(CollectionTest, ItemIndexIsCheckedAndTheCallerGetsItsOwnReference) {
    Fill("");
    ITestItem* item = reinterpret_cast<ITestItem*>(0x1);
    EXPECT_EQ(collection->get_Item(0, &item), E_INVALIDARG);
    EXPECT_EQ(item, nullptr);
    Fill("ABC");
    for (int bad : {-1, 3, 1 << 30}) EXPECT_EQ(collection->get_Item(bad, &item), E_INVALIDARG) << bad;
    EXPECT_EQ(collection->get_Item(0, nullptr), E_POINTER);
    int count = 0, size = 0;
    EXPECT_EQ(collection->get_Count(nullptr), E_POINTER);
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(collection->get_Size(&size), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(size, 3);

    ULONG before = RefsOf(items['B']);
    ASSERT_EQ(collection->get_Item(1, &item), S_OK);
    EXPECT_EQ(item, items['B'].p);
    EXPECT_EQ(RefsOf(items['B']), before + 1);
    item->Release();
}

TEST_F(CollectionTest, VectorOperations) {
    struct Case {
        const char* what;
        std::function<HRESULT(CComObject<CTestCollection>&, std::map<char, CComPtr<ITestItem>>&)> op;
        HRESULT expected;
        const char* after;
    } cases[] = {
        {"RemoveRange of an empty range", [](auto& c, auto&) { return c.RemoveRange(1, 1); }, E_INVALIDARG, "ABCD"},
        {"RemoveRange from -1", [](auto& c, auto&) { return c.RemoveRange(-1, 2); }, E_INVALIDARG, "ABCD"},
        {"RemoveRange past the end", [](auto& c, auto&) { return c.RemoveRange(2, 5); }, E_INVALIDARG, "ABCD"},
        {"RemoveRange reversed", [](auto& c, auto&) { return c.RemoveRange(3, 1); }, E_INVALIDARG, "ABCD"},
        {"RemoveRange middle", [](auto& c, auto&) { return c.RemoveRange(1, 3); }, S_OK, "AD"},
        {"RemoveRange all", [](auto& c, auto&) { return c.RemoveRange(0, 4); }, S_OK, ""},
        {"Remove null", [](auto& c, auto&) { return c.Remove(nullptr); }, E_INVALIDARG, "ABCD"},
        {"Remove absent item", [](auto& c, auto& i) { return c.Remove(i['E']); }, S_FALSE, "ABCD"},
        {"Remove through another interface of the item",
         [](auto& c, auto& i) {
             CComPtr<ITestItemView> view;
             i['C']->QueryInterface(IID_ITestItemView, reinterpret_cast<void**>(view.ReleaseAndGetAddressOf()));
             EXPECT_NE(static_cast<ITestItem*>(view.p), i['C'].p);
             return c.Remove(view);
         },
         S_OK, "ABD"},
        {"Remove takes the first of two",
         [](auto& c, auto& i) { return c.Add(i['A']) == S_OK ? c.Remove(i['A']) : E_FAIL; }, S_OK, "BCDA"},
        {"SetAt replaces", [](auto& c, auto& i) { return c.SetAt(1, i['E']); }, S_OK, "AECD"},
        {"SetAt with the same item", [](auto& c, auto& i) { return c.SetAt(0, i['A']); }, S_OK, "ABCD"},
        {"SetAt at the count", [](auto& c, auto& i) { return c.SetAt(4, i['E']); }, E_INVALIDARG, "ABCD"},
        {"SetAt at -1", [](auto& c, auto& i) { return c.SetAt(-1, i['E']); }, E_INVALIDARG, "ABCD"},
        {"SetAt null", [](auto& c, auto&) { return c.SetAt(0, nullptr); }, E_INVALIDARG, "ABCD"},
        {"Add null", [](auto& c, auto&) { return c.Add(nullptr); }, E_INVALIDARG, "ABCD"},
        {"Add", [](auto& c, auto& i) { return c.Add(i['E']); }, S_OK, "ABCDE"},
        {"RemoveAll", [](auto& c, auto&) { return c.RemoveAll(); }, S_OK, ""},
    };
    for (const auto& c : cases) {
        auto* object = Fill("ABCD");
        EXPECT_EQ(c.op(*object, items), c.expected) << c.what;
        EXPECT_EQ(Names(collection), c.after) << c.what;
        collection = nullptr;
        // Every item is back to the test's single reference: nothing kept, nothing over-released.
        for (auto& [name, item] : items) EXPECT_EQ(RefsOf(item), 1u) << c.what << ", item " << name;
    }
    Fill("");
    EXPECT_EQ(static_cast<CComObject<CTestCollection>*>(collection.p)->Remove(items['A']), S_FALSE);
}

TEST_F(CollectionTest, ClonesAreIndependentCollectionsOfTheSameClass) {
    struct Case {
        int first, last;
        bool range;
        HRESULT expected;
        const char* names;
    } cases[] = {
        {0, 0, false, S_OK, "ABCD"}, {1, 3, true, S_OK, "BC"},          {0, 4, true, S_OK, "ABCD"},
        {1, 1, true, E_INVALIDARG, ""}, {0, 5, true, E_INVALIDARG, ""}, {-1, 2, true, E_INVALIDARG, ""},
    };
    for (const auto& c : cases) {
        auto* object = Fill("ABCD");
        CComPtr<ITestCollection> clone;
        HRESULT hr = c.range ? object->CloneRange(c.first, c.last, clone.ReleaseAndGetAddressOf())
                             : object->Clone(clone.ReleaseAndGetAddressOf());
        ASSERT_EQ(hr, c.expected) << c.first << ".." << c.last;
        if (Failed(hr)) {
            EXPECT_EQ(clone, nullptr);
            continue;
        }
        EXPECT_EQ(Names(clone), c.names);
        static_cast<CComObject<CTestCollection>*>(clone.p)->RemoveAll();
        EXPECT_EQ(Names(collection), "ABCD");
    }
    EXPECT_EQ(static_cast<CComObject<CTestCollection>*>(collection.p)->Clone(nullptr), E_POINTER);
    EXPECT_EQ(static_cast<CComObject<CTestCollection>*>(collection.p)->CloneRange(0, 2, nullptr), E_POINTER);
}

TEST_F(CollectionTest, ToSafeArrayHandsOutTheItemsAsDispatch) {
    auto* object = Fill("ABC");
    EXPECT_EQ(object->ToSafeArray(nullptr), E_POINTER);
    SAFEARRAY* psa = nullptr;
    ASSERT_EQ(object->ToSafeArray(&psa), S_OK);
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(psa, 1, &lower);
    SafeArrayGetUBound(psa, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 2);
    auto* elements = static_cast<VARIANT*>(psa->pvData);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(elements[i].vt, VT_DISPATCH);
        EXPECT_EQ(NameOf(elements[i].pdispVal), "ABC"[i]);
    }
    EXPECT_EQ(RefsOf(items['A']), 3u);  // the test's, the collection's, the array's
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(RefsOf(items['A']), 2u);

    // An item without IDispatch stops it: nothing is handed out, nothing kept.
    CComPtr<ITestItem> hidden = MakeItem('H', false);
    object->Add(hidden);
    psa = reinterpret_cast<SAFEARRAY*>(0x1);
    EXPECT_EQ(object->ToSafeArray(&psa), E_NOINTERFACE);
    EXPECT_EQ(psa, nullptr);
    EXPECT_EQ(RefsOf(items['A']), 2u);

    Fill("");
    ASSERT_EQ(static_cast<CComObject<CTestCollection>*>(collection.p)->ToSafeArray(&psa), S_OK);
    ULONG count = 9;
    SafeArrayGetElementCount(psa, &count);
    EXPECT_EQ(count, 0u);
    SafeArrayDestroy(psa);
}

TEST_F(CollectionTest, CreateMovesTheItemsInAndDropsNullOnes) {
    std::vector<CComPtr<ITestItem>> source{items['B'], nullptr, items['A']};
    ASSERT_EQ((Create<CTestCollection, ITestCollection>(collection.ReleaseAndGetAddressOf(), std::move(source))),
              S_OK);
    EXPECT_EQ(Names(collection), "BA");
    EXPECT_EQ(RefsOf(items['B']), 2u);
}

}  // namespace
