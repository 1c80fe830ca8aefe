#include "ZtAtlCom/Variant.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/SafeArray.h"
#include "TrackedObjects.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

using namespace ZtAtlCom;
using ZtTest::TrackedDispatch;

TEST(Variant, PublishedLayout) {
    EXPECT_EQ(sizeof(VARIANT), 24u);
    EXPECT_EQ(alignof(VARIANT), 8u);
    VARIANT v;
    std::memset(&v, 0xAB, sizeof(v));
    VariantInit(&v);
    const unsigned char zero[24] = {};
    EXPECT_EQ(std::memcmp(&v, zero, 24), 0) << "VariantInit zeroes all 24 bytes";

    v.vt = 0x1234;
    v.wReserved1 = 0x5566;
    v.llVal = 0x0102030405060708;
    const unsigned char expected[16] = {0x34, 0x12, 0x66, 0x55, 0, 0, 0, 0, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(std::memcmp(&v, expected, 16), 0);
    auto offset = [&](const void* field) { return static_cast<const unsigned char*>(field) - reinterpret_cast<unsigned char*>(&v); };
    EXPECT_EQ(offset(&v.bstrVal), 8);
    EXPECT_EQ(offset(&v.brecVal.pRecInfo), 16);
    EXPECT_EQ(offset(&v.decVal), 0);
    EXPECT_EQ(offset(&v.decVal.Lo64), 8);
}

TEST(Variant, ClearReleasesOwnedValues) {
    int destroyed = 0;
    VARIANT v;
    v.vt = VT_DISPATCH;
    v.pdispVal = new TrackedDispatch(&destroyed);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(v.pdispVal, nullptr);

    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString("text");
    EXPECT_EQ(VariantClear(&v), S_OK);  // ASan reports the text if it stays
    EXPECT_EQ(v.bstrVal, nullptr);

    LONG referenced = 5;
    v.vt = VT_BYREF | VT_I4;
    v.plVal = &referenced;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(Variant, ClearRefusesInvalidCodesAndRecords) {
    const VARTYPE refused[] = {15, 24, 35, VT_VECTOR | VT_I4, VT_RESERVED | VT_I4, VT_ARRAY | VT_EMPTY,
                               VT_BYREF | VT_NULL, VT_INT_PTR};
    for (VARTYPE vt : refused) {
        VARIANT v{};
        v.vt = vt;
        EXPECT_EQ(VariantClear(&v), E_INVALIDARG) << vt;
        EXPECT_EQ(v.vt, vt);
    }
    VARIANT record{};
    record.vt = VT_RECORD;
    EXPECT_EQ(VariantClear(&record), E_NOTIMPL);
    EXPECT_EQ(record.vt, VT_RECORD);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, ClearOfALockedArrayKeepsTheVariant) {
    SAFEARRAYBOUND bound{2, 0};
    VARIANT v{};
    v.vt = VT_ARRAY | VT_I4;
    v.parray = SafeArrayCreate(VT_I4, 1, &bound);
    v.parray->cLocks = 1;
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    ASSERT_NE(v.parray, nullptr);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_I4);
    v.parray->cLocks = 0;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.parray, nullptr);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_I4) << "an array VARIANT keeps its type";
}

TEST(Variant, CopyOwnsItsOwnValue) {
    int destroyed = 0;
    auto* object = new TrackedDispatch(&destroyed);
    VARIANT src{}, dst{};
    src.vt = VT_UNKNOWN;
    src.punkVal = object;
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    EXPECT_EQ(object->Refs(), 2u);
    EXPECT_EQ(VariantCopy(&dst, &dst), S_OK);
    EXPECT_EQ(object->Refs(), 2u);

    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocStringLen("ab\0c", 4);
    ASSERT_EQ(VariantCopy(&dst, &text), S_OK);  // releases the interface first
    EXPECT_EQ(object->Refs(), 1u);
    EXPECT_NE(dst.bstrVal, text.bstrVal);
    EXPECT_EQ(SysStringLen(dst.bstrVal), 2u) << "texts are copied up to their first 0";

    VARIANT bad{};
    bad.vt = 15;
    EXPECT_EQ(VariantCopy(&dst, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(dst.vt, VT_BSTR) << "a refused source leaves dest untouched";
    VARIANT record{};
    record.vt = VT_RECORD;
    EXPECT_EQ(VariantCopy(&dst, &record), E_NOTIMPL);
    EXPECT_EQ(dst.vt, VT_EMPTY) << "dest was cleared before the failure";

    VariantClear(&text);
    VariantClear(&src);
    EXPECT_EQ(destroyed, 1);
}

TEST(Variant, CopyIndCopiesTheReferencedValue) {
    int destroyed = 0;
    LONG number = -7;
    BSTR text = SysAllocString("referenced");
    IDispatch* object = new TrackedDispatch(&destroyed);
    VARIANT inner{};
    inner.vt = VT_BYREF | VT_I4;
    inner.plVal = &number;

    struct Case {
        VARTYPE vt;
        void* ref;
        VARTYPE expectedVt;
    } cases[] = {
        {VT_BYREF | VT_I4, &number, VT_I4},
        {VT_BYREF | VT_BSTR, &text, VT_BSTR},
        {VT_BYREF | VT_DISPATCH, &object, VT_DISPATCH},
        {VT_BYREF | VT_VARIANT, &inner, VT_I4},
    };
    for (const auto& c : cases) {
        VARIANT src{}, dst{};
        src.vt = c.vt;
        src.byref = c.ref;
        ASSERT_EQ(VariantCopyInd(&dst, &src), S_OK) << c.vt;
        EXPECT_EQ(dst.vt, c.expectedVt) << c.vt;
        if (dst.vt == VT_I4) {
            EXPECT_EQ(dst.lVal, -7);
        }
        if (dst.vt == VT_BSTR) {
            EXPECT_STREQ(dst.bstrVal, "referenced");
            EXPECT_NE(dst.bstrVal, text);
        }
        VariantClear(&dst);
    }
    EXPECT_EQ(destroyed, 0);

    VARIANT inPlace{};
    inPlace.vt = VT_BYREF | VT_I4;
    inPlace.plVal = &number;
    ASSERT_EQ(VariantCopyInd(&inPlace, &inPlace), S_OK);
    EXPECT_EQ(inPlace.vt, VT_I4);
    EXPECT_EQ(inPlace.lVal, -7);

    SysFreeString(text);
    object->Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(Variant, CopyIndRefusalsLeaveDestUntouched) {
    VARIANT nested{};
    nested.vt = VT_BYREF | VT_VARIANT;
    LONG n = 1;
    nested.plVal = &n;
    DECIMAL dec{};
    struct Case {
        VARTYPE vt;
        void* ref;
        HRESULT expected;
    } cases[] = {
        {VT_BYREF | VT_I4, nullptr, E_INVALIDARG},
        {VT_BYREF | VT_VARIANT, &nested, E_INVALIDARG},
        {VT_BYREF | VT_DECIMAL, &dec, E_NOTIMPL},
        {VT_BYREF | VT_RECORD, &dec, E_NOTIMPL},
        {VT_BYREF | 15, &n, DISP_E_BADVARTYPE},
    };
    for (const auto& c : cases) {
        VARIANT src{}, dst{};
        src.vt = c.vt;
        src.byref = c.ref;
        dst.vt = VT_I2;
        dst.iVal = 9;
        EXPECT_EQ(VariantCopyInd(&dst, &src), c.expected) << c.vt;
        EXPECT_EQ(dst.vt, VT_I2) << c.vt;
    }
}

}  // namespace
