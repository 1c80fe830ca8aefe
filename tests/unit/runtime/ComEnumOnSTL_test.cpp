#include "ZtAtlCom/ComEnumOnSTL.h"

#include "CollectionObjects.h"

#include <gtest/gtest.h>

namespace {

using namespace ZtTest;

struct NextResult {
    HRESULT hr;
    ULONG fetched;
    std::string names;
};

// Next(celt) into fresh VARIANTs; the names of what came out, then cleared.
NextResult NextOf(IEnumVARIANT* e, ULONG celt) {
    VARIANT v[8];
    ULONG fetched = 99;
    NextResult r{e->Next(celt, v, &fetched), fetched, ""};
    for (ULONG i = 0; i < fetched && i < 8; ++i) {
        r.names += v[i].vt == VT_DISPATCH ? NameOf(v[i].pdispVal) : v[i].vt == VT_UNKNOWN ? 'u' : '?';
        VariantClear(&v[i]);
    }
    return r;
}

class EnumOnSTLTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateObject<CTestCollection>(&object), S_OK);
        for (char c : std::string("ABC")) object->Add(MakeItem(c));
        CComPtr<IUnknown> unknown;
        ASSERT_EQ(object->get__NewEnum(unknown.ReleaseAndGetAddressOf()), S_OK);
        ASSERT_EQ(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.ReleaseAndGetAddressOf())),
                  S_OK);
    }
    void TearDown() override {
        e = nullptr;
        if (object) object->Release();
        EXPECT_EQ(g_liveItems.load(), 0);
        EXPECT_EQ(g_liveCollections.load(), 0);
    }
    CComObject<CTestCollection>* object = nullptr;
    CComPtr<IEnumVARIANT> e;
};

TEST_F(EnumOnSTLTest, NextSkipResetFollowTheRemainingCount) {
    struct Step {
        const char* what;
        HRESULT hr;
        ULONG fetched;
        const char* names;
    } steps[] = {
        {"Next 2", S_OK, 2, "AB"},  {"Next 2", S_FALSE, 1, "C"}, {"Next 1", S_FALSE, 0, ""},
        {"Reset", S_OK, 0, ""},     {"Skip 5", S_FALSE, 0, ""},  {"Next 1", S_FALSE, 0, ""},
        {"Reset", S_OK, 0, ""},     {"Skip 2", S_OK, 0, ""},     {"Skip 0", S_OK, 0, ""},
        {"Next 3", S_FALSE, 1, "C"}, {"Reset", S_OK, 0, ""},     {"Next 3", S_OK, 3, "ABC"},
    };
    for (const auto& s : steps) {
        std::string what = s.what;
        ULONG n = static_cast<ULONG>(what.back() - '0');
        if (what.starts_with("Next")) {
            auto r = NextOf(e, n);
            EXPECT_EQ(r.hr, s.hr) << s.what;
            EXPECT_EQ(r.fetched, s.fetched) << s.what;
            EXPECT_EQ(r.names, s.names) << s.what;
        } else {
            EXPECT_EQ(what.starts_with("Skip") ? e->Skip(n) : e->Reset(), s.hr) << s.what;
        }
    }
}

TEST_F(EnumOnSTLTest, NextChecksItsPointersAndHandsOutReferences) {
    VARIANT v[2];
    ULONG fetched = 5;
    EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
    EXPECT_EQ(e->Next(2, v, nullptr), E_POINTER);
    CComPtr<ITestItem> first;
    object->get_Item(0, first.ReleaseAndGetAddressOf());
    ULONG before = RefsOf(first);
    ASSERT_EQ(e->Next(1, v, nullptr), S_OK);  // one element needs no count
    EXPECT_EQ(v[0].vt, VT_DISPATCH);
    EXPECT_EQ(RefsOf(first), before + 1);
    VariantClear(&v[0]);
    EXPECT_EQ(RefsOf(first), before);
}

// A clone starts at the same position and, like its original, keeps the
// collection alive after the collection's last outside reference is gone.
TEST_F(EnumOnSTLTest, EnumeratorsKeepTheirCollectionAlive) {
    EXPECT_EQ(e->Clone(nullptr), E_POINTER);
    NextOf(e, 1);
    CComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
    object->Release();
    object = nullptr;
    EXPECT_EQ(NextOf(e, 3).names, "BC");
    e = nullptr;
    EXPECT_EQ(g_liveCollections.load(), 1) << "the clone holds the collection too";
    EXPECT_EQ(NextOf(clone, 1).names, "B");
    clone = nullptr;
    EXPECT_EQ(g_liveCollections.load(), 0);
    EXPECT_EQ(g_liveItems.load(), 0);
}

TEST_F(EnumOnSTLTest, WalksTheLiveVector) {
    NextOf(e, 2);
    object->Add(MakeItem('D'));
    EXPECT_EQ(NextOf(e, 3).names, "CD");
    // A vector that shrinks below the position ends the walk without reading past it.
    object->RemoveRange(0, 3);
    EXPECT_EQ(e->Skip(1), S_FALSE);
    auto r = NextOf(e, 2);
    EXPECT_EQ(r.hr, S_FALSE);
    EXPECT_EQ(r.fetched, 0u);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(NextOf(e, 2).names, "D");
}

TEST_F(EnumOnSTLTest, ItemsWithoutDispatchComeOutAsUnknown) {
    object->RemoveAll();
    object->Add(MakeItem('H', false));
    object->Add(MakeItem('A'));
    EXPECT_EQ(NextOf(e, 2).names, "uA");
}

TEST(EnumOnSTL, AnElementThatCannotBeCopiedUndoesTheWholeCall) {
    std::vector<CComPtr<ITestItem>> items{MakeItem('A'), nullptr};
    using Enum = CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT, _CopyVariantFromItf<ITestItem>,
                               std::vector<CComPtr<ITestItem>>>;
    CComPtr<IEnumVARIANT> e;
    ASSERT_EQ((Create<Enum, IEnumVARIANT>(e.ReleaseAndGetAddressOf(), nullptr, items)), S_OK);
    VARIANT v[2];
    ULONG fetched = 7;
    EXPECT_EQ(e->Next(2, v, &fetched), E_POINTER);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(v[0].vt, VT_EMPTY) << "the element filled first was cleared again";
    EXPECT_EQ(RefsOf(items[0]), 1u);  // only the vector holds it
    e = nullptr;
    items.clear();
    EXPECT_EQ(g_liveItems.load(), 0);
}

}  // namespace
