#include "ZtAtlCom/ComVariant.h"

#include "TrackedObjects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ZtAtlCom;
using ZtTest::TrackedDispatch;

TEST(ComVariant, ValuesAndTheirTypes) {
    struct Case {
        CComVariant v;
        VARTYPE vt;
        LONGLONG bits;
    };
    std::vector<Case> cases;
    cases.push_back({CComVariant(true), VT_BOOL, 0xFFFF});
    cases.push_back({CComVariant(static_cast<signed char>(-2)), VT_I1, 0xFE});
    cases.push_back({CComVariant(static_cast<unsigned short>(7)), VT_UI2, 7});
    cases.push_back({CComVariant(-3), VT_I4, 0xFFFFFFFD});
    cases.push_back({CComVariant(5L), VT_I8, 5});
    cases.push_back({CComVariant(6UL), VT_UI8, 6});
    for (const auto& c : cases) {
        EXPECT_EQ(c.v.vt, c.vt);
        EXPECT_EQ(c.v.llVal, c.bits) << c.vt;
    }
    CComVariant text("abc");
    EXPECT_EQ(text.vt, VT_BSTR);
    EXPECT_STREQ(text.bstrVal, "abc");
}

TEST(ComVariant, CopiesOwnTheirValuesAndReleaseThem) {
    int destroyed = 0;
    auto* object = new TrackedDispatch(&destroyed);
    {
        CComVariant a(static_cast<IDispatch*>(object));
        object->Release();  // the holder keeps its own reference
        CComVariant b = a;
        EXPECT_EQ(object->Refs(), 2u);
        CComVariant c = std::move(b);
        EXPECT_EQ(b.vt, VT_EMPTY);
        c = 4;
        EXPECT_EQ(object->Refs(), 1u);
        VARIANT out{};
        EXPECT_EQ(a.Detach(&out), S_OK);
        EXPECT_EQ(a.vt, VT_EMPTY);
        EXPECT_EQ(a.Attach(&out), S_OK);
        EXPECT_EQ(out.vt, VT_EMPTY);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(ComVariant, FailedCopyCarriesTheFailure) {
    VARIANT bad{};
    bad.vt = VT_RECORD;
    CComVariant holder(bad);
    EXPECT_EQ(holder.vt, VT_ERROR);
    EXPECT_EQ(holder.scode, E_NOTIMPL);

    CComVariant number(70000);
    EXPECT_EQ(number.ChangeType(VT_I2), S_OK);
    EXPECT_EQ(number.iVal, 4464);
    EXPECT_EQ(number.ChangeType(VT_BSTR), E_NOTIMPL);
    EXPECT_EQ(number.vt, VT_I2);
}

}  // namespace
