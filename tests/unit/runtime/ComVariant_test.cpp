#include "ZtAtlCom/ComVariant.h"

#include "TrackedObjects.h"

#include <gtest/gtest.h>

namespace {

using namespace ZtAtlCom;
using ZtTest::TrackedDispatch;

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
        EXPECT_EQ(c.vt, VT_I4);
        EXPECT_EQ(object->Refs(), 1u);
        VARIANT out{};
        EXPECT_EQ(a.Detach(&out), S_OK);
        EXPECT_EQ(a.vt, VT_EMPTY);
        EXPECT_EQ(a.Attach(&out), S_OK);
        EXPECT_EQ(out.vt, VT_EMPTY);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(ComVariant, FailuresTravelWithTheValue) {
    VARIANT record{};
    record.vt = VT_RECORD;
    CComVariant holder(record);
    EXPECT_EQ(holder.vt, VT_ERROR);
    EXPECT_EQ(holder.scode, E_NOTIMPL);
    CComVariant number(70000);
    EXPECT_EQ(number.ChangeType(VT_I2), S_OK);
    EXPECT_EQ(number.iVal, 4464);
    EXPECT_EQ(number.ChangeType(VT_BSTR), E_NOTIMPL);
    EXPECT_EQ(number.vt, VT_I2) << "a failed conversion keeps the value";
}

}  // namespace
