#include "ZtAtlCom/ComSafeArray.h"

#include "ZtAtlCom/BStr.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace ZtAtlCom;

HRESULT ThrownBy(const CComSafeArray<VARIANT>& a, LONG index) {
    try {
        a.GetAt(index);
    } catch (const CAtlException& e) {
        return e;
    }
    return S_OK;
}

TEST(ComSafeArray, GetAtChecksDimensionOne) {
    CComSafeArray<VARIANT> a;
    EXPECT_EQ(ThrownBy(a, 0), E_FAIL);
    ASSERT_EQ(a.Create(3, 1), S_OK);
    EXPECT_EQ(ThrownBy(a, 0), E_INVALIDARG);
    EXPECT_EQ(ThrownBy(a, 4), E_INVALIDARG);
    EXPECT_EQ(ThrownBy(a, 3), S_OK);

    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString("held");
    ASSERT_EQ(a.SetAt(2, text), S_OK);
    EXPECT_STREQ(a.GetAt(2).bstrVal, "held");
    EXPECT_EQ(&a.GetAt(2), static_cast<VARIANT*>(a.m_psa->pvData) + 1);
    ASSERT_EQ(a.Add(text), S_OK);
    EXPECT_EQ(a.GetCount(), 4u);
    EXPECT_EQ(a.GetUpperBound(), 4);
    EXPECT_STREQ(a.GetAt(4).bstrVal, "held");
    VariantClear(&text);
}  // destruction frees every element (ASan)

// Every index is checked against the element count, also where the upper
// bound would wrap in 32 bits.
TEST(ComSafeArray, GetAtAtTheEdgesOfTheIndexRange) {
    struct Case {
        LONG lower;
        ULONG count;
        LONG index;
        HRESULT expected;
    } cases[] = {
        {INT_MIN, 0, 0, E_INVALIDARG},       {INT_MIN, 0, INT_MAX, E_INVALIDARG}, {INT_MIN, 0, INT_MIN, E_INVALIDARG},
        {INT_MIN, 1, INT_MIN, S_OK},         {INT_MIN, 1, INT_MIN + 1, E_INVALIDARG},
        {INT_MAX, 1, INT_MAX, S_OK},         {INT_MAX, 2, INT_MIN, E_INVALIDARG},
        {0, 0, 0, E_INVALIDARG},             {-1, 2, 0, S_OK},
    };
    for (const auto& c : cases) {
        CComSafeArray<VARIANT> a;
        ASSERT_EQ(a.Attach(SafeArrayCreateVector(VT_VARIANT, c.lower, c.count)), S_OK);
        EXPECT_EQ(ThrownBy(a, c.index), c.expected) << c.lower << " + " << c.count << ", index " << c.index;
    }
}

TEST(ComSafeArray, AttachAcceptsOnlyVariantArrays) {
    CComSafeArray<VARIANT> a;
    SAFEARRAY* ints = SafeArrayCreateVector(VT_I4, 0, 2);
    EXPECT_EQ(a.Attach(ints), E_INVALIDARG);
    SafeArrayDestroy(ints);
    SAFEARRAY* vars = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    EXPECT_EQ(a.Attach(vars), S_OK);
    CComSafeArray<VARIANT> b;
    EXPECT_EQ(b.CopyFrom(a), S_OK);
    EXPECT_NE(b.m_psa, a.m_psa);
    EXPECT_EQ(a.Destroy(), S_OK);
    EXPECT_EQ(a.m_psa, nullptr);
}

}  // namespace
