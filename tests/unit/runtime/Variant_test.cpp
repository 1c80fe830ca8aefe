#include "ZtAtlCom/Variant.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComVariant.h"
#include "ZtAtlCom/SafeArray.h"
#include "TrackedObjects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace ZtAtlCom;
using ZtTest::RefsOf;
using ZtTest::TrackedDispatch;

TEST(Variant, PublishedLayout) {
    VARIANT v;
    std::memset(&v, 0xAB, sizeof(v));
    VariantInit(&v);
    const unsigned char zero[24] = {};
    EXPECT_EQ(std::memcmp(&v, zero, 24), 0) << "VariantInit zeroes all 24 bytes";
    v.vt = 0x1234;
    v.wReserved1 = 0x5566;
    v.llVal = 0x0102030405060708;
    v.brecVal.pRecInfo = reinterpret_cast<IRecordInfo*>(0x1112131415161718);
    const unsigned char expected[24] = {0x34, 0x12, 0x66, 0x55, 0, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1,
                                        0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11};
    EXPECT_EQ(std::memcmp(&v, expected, 24), 0);
    EXPECT_EQ(static_cast<void*>(&v.decVal), static_cast<void*>(&v)) << "DECIMAL overlays the type code";
    EXPECT_EQ(alignof(VARIANT), 8u);
}

TEST(Variant, ClearReleasesOwnedValuesAndRefusesBadCodes) {
    int destroyed = 0;
    LONG referenced = 5;
    VARIANT owned[3] = {};
    owned[0].vt = VT_DISPATCH;
    owned[0].pdispVal = new TrackedDispatch(&destroyed);
    owned[1].vt = VT_BSTR;
    owned[1].bstrVal = SysAllocString("text");  // ASan reports it if it stays
    owned[2].vt = VT_BYREF | VT_I4;
    owned[2].plVal = &referenced;
    for (VARIANT& v : owned) {
        EXPECT_EQ(VariantClear(&v), S_OK);
        EXPECT_EQ(v.vt, VT_EMPTY);
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(owned[0].pdispVal, nullptr);

    for (VARTYPE vt : {VARTYPE(15), VARTYPE(24), VARTYPE(VT_VECTOR | VT_I4), VARTYPE(VT_RESERVED | VT_I4),
                       VARTYPE(VT_ARRAY | VT_EMPTY), VARTYPE(VT_BYREF | VT_NULL), VARTYPE(VT_INT_PTR)}) {
        VARIANT v{};
        v.vt = vt;
        EXPECT_EQ(VariantClear(&v), E_INVALIDARG) << vt;
    }
    VARIANT record{};
    record.vt = VT_RECORD;
    EXPECT_EQ(VariantClear(&record), E_NOTIMPL);
    EXPECT_EQ(record.vt, VT_RECORD);
}

TEST(Variant, ClearOfALockedArrayKeepsTheVariant) {
    SAFEARRAYBOUND bound{2, 0};
    VARIANT v{};
    v.vt = VT_ARRAY | VT_I4;
    v.parray = SafeArrayCreate(VT_I4, 1, &bound);
    v.parray->cLocks = 1;
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    ASSERT_NE(v.parray, nullptr);
    v.parray->cLocks = 0;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.parray, nullptr);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_I4) << "an array VARIANT keeps its type";
}

TEST(Variant, CopyOwnsItsOwnValue) {
    int destroyed = 0;
    auto* object = new TrackedDispatch(&destroyed);
    VARIANT src{}, dst{}, text{}, bad{}, record{};
    src.vt = VT_UNKNOWN;
    src.punkVal = object;
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    EXPECT_EQ(VariantCopy(&dst, &dst), S_OK);
    EXPECT_EQ(object->Refs(), 2u);

    text.vt = VT_BSTR;
    text.bstrVal = SysAllocStringLen("ab\0c", 4);
    ASSERT_EQ(VariantCopy(&dst, &text), S_OK);
    EXPECT_EQ(object->Refs(), 1u) << "dest is cleared first";
    EXPECT_NE(dst.bstrVal, text.bstrVal);
    EXPECT_EQ(SysStringLen(dst.bstrVal), 2u) << "texts are copied up to their first 0";

    bad.vt = 15;
    EXPECT_EQ(VariantCopy(&dst, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(dst.vt, VT_BSTR) << "a refused source leaves dest untouched";
    record.vt = VT_RECORD;
    EXPECT_EQ(VariantCopy(&dst, &record), E_NOTIMPL);
    EXPECT_EQ(dst.vt, VT_EMPTY) << "dest was cleared before the failure";
    VariantClear(&text);
    VariantClear(&src);
    EXPECT_EQ(destroyed, 1);
}

// The value copied may live inside the destination (an element of the
// destination's own array): it is copied before the destination lets it go.
TEST(Variant, CopyFromInsideTheDestination) {
    enum class How { VariantCopy, PutElement, HolderAssignment };
    for (How how : {How::VariantCopy, How::PutElement, How::HolderAssignment}) {
        for (VARTYPE kind : {VARTYPE(VT_BSTR), VARTYPE(VT_DISPATCH)}) {
            int destroyed = 0;
            VARIANT value{};
            value.vt = kind;
            if (kind == VT_BSTR)
                value.bstrVal = SysAllocString("inner");
            else
                value.pdispVal = new TrackedDispatch(&destroyed);
            // holder: an array of VARIANTs whose only element is the value.
            CComVariant holder;
            SAFEARRAY* inner = SafeArrayCreateVector(VT_VARIANT, 0, 1);
            LONG at = 0;
            ASSERT_EQ(SafeArrayPutElement(inner, &at, &value), S_OK);
            VariantClear(&value);
            holder.vt = VT_ARRAY | VT_VARIANT;
            holder.parray = inner;
            const VARIANT* element = static_cast<const VARIANT*>(inner->pvData);

            CComVariant result;
            SAFEARRAY* outer = nullptr;
            if (how == How::VariantCopy) {
                ASSERT_EQ(VariantCopy(&holder, element), S_OK);
                result.Attach(&holder);
            } else if (how == How::HolderAssignment) {
                holder = *element;
                result.Attach(&holder);
            } else {  // an array whose element holds the array the value sits in
                outer = SafeArrayCreateVector(VT_VARIANT, 0, 1);
                std::memcpy(outer->pvData, static_cast<VARIANT*>(&holder), sizeof(VARIANT));
                VariantInit(&holder);
                ASSERT_EQ(SafeArrayPutElement(outer, &at, const_cast<VARIANT*>(element)), S_OK);
                ASSERT_EQ(SafeArrayGetElement(outer, &at, &result), S_OK);
            }
            const int what = static_cast<int>(how);
            ASSERT_EQ(result.vt, kind) << what;
            if (kind == VT_BSTR) {
                EXPECT_STREQ(result.bstrVal, "inner") << what;
            } else {
                EXPECT_EQ(destroyed, 0) << what;
                EXPECT_EQ(RefsOf(result.pdispVal), outer ? 2u : 1u) << what;
            }
            result.Clear();
            SafeArrayDestroy(outer);
            EXPECT_EQ(destroyed, kind == VT_DISPATCH ? 1 : 0) << what;
        }
    }
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
        EXPECT_TRUE(dst.vt != VT_I4 || dst.lVal == -7);
        EXPECT_TRUE(dst.vt != VT_BSTR || (dst.bstrVal != text && std::strcmp(dst.bstrVal, "referenced") == 0));
        VariantClear(&dst);
    }
    EXPECT_EQ(destroyed, 0);
    VARIANT inPlace = inner;
    ASSERT_EQ(VariantCopyInd(&inPlace, &inPlace), S_OK);
    EXPECT_EQ(inPlace.vt, VT_I4);
    EXPECT_EQ(inPlace.lVal, -7);
    // A reference into dest itself: the value is read before dest is cleared.
    VARIANT owner{}, intoOwner{};
    owner.vt = VT_BSTR;
    owner.bstrVal = SysAllocString("kept");
    intoOwner.vt = VT_BYREF | VT_BSTR;
    intoOwner.pbstrVal = &owner.bstrVal;
    ASSERT_EQ(VariantCopyInd(&owner, &intoOwner), S_OK);
    EXPECT_STREQ(owner.bstrVal, "kept");
    VariantClear(&owner);
    SysFreeString(text);
    object->Release();
}

TEST(Variant, CopyIndRefusalsLeaveDestUntouched) {
    LONG n = 1;
    DECIMAL dec{};
    VARIANT nested{};
    nested.vt = VT_BYREF | VT_VARIANT;
    nested.plVal = &n;
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
        EXPECT_EQ(VariantCopyInd(&dst, &src), c.expected) << c.vt;
        EXPECT_EQ(dst.vt, VT_I2) << c.vt;
    }
}

}  // namespace
