#include "ZtAtlCom/SafeArray.h"

#include "ZtAtlCom/BStr.h"
#include "TrackedObjects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace ZtAtlCom;
using ZtTest::TrackedDispatch;

BSTR ElementAt(SAFEARRAY* psa, LONG index) {
    BSTR b;
    std::memcpy(&b, static_cast<char*>(psa->pvData) + 8 * (index - psa->rgsabound[0].lLbound), 8);
    return b;
}

TEST(SafeArrayElement, TextElementsAreOwnedByTheArray) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 1, 2);
    LONG index = 1;
    BSTR mine = SysAllocString("first");
    ASSERT_EQ(SafeArrayPutElement(psa, &index, &mine), S_OK);
    EXPECT_NE(ElementAt(psa, 1), mine) << "the array keeps a copy";
    BSTR second = SysAllocString("second");
    ASSERT_EQ(SafeArrayPutElement(psa, &index, &second), S_OK);  // the previous text is freed (ASan)
    EXPECT_STREQ(mine, "first") << "the caller's text is untouched";
    EXPECT_STREQ(ElementAt(psa, 1), "second");

    BSTR self = ElementAt(psa, 1);
    EXPECT_EQ(SafeArrayPutElement(psa, &index, &self), S_OK) << "putting an element onto itself";
    EXPECT_STREQ(ElementAt(psa, 1), "second");

    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
    EXPECT_NE(out, ElementAt(psa, 1));
    EXPECT_STREQ(out, "second");
    SysFreeString(out);

    LONG other = 2;
    out = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(SafeArrayGetElement(psa, &other, &out), S_OK);
    EXPECT_EQ(out, nullptr) << "a null element gives null";

    BSTR empty = SysAllocString("");
    ASSERT_EQ(SafeArrayPutElement(psa, &other, &empty), S_OK);
    out = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(SafeArrayGetElement(psa, &other, &out), E_OUTOFMEMORY) << "an empty text copies as null";
    EXPECT_EQ(out, nullptr);

    BSTR none = nullptr;
    EXPECT_EQ(SafeArrayPutElement(psa, &other, &none), E_OUTOFMEMORY);
    EXPECT_EQ(ElementAt(psa, 2), nullptr);

    LONG outside = 3;
    EXPECT_EQ(SafeArrayPutElement(psa, &outside, &mine), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetElement(psa, &outside, &out), DISP_E_BADINDEX);
    SysFreeString(mine);
    SysFreeString(second);
    SysFreeString(empty);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayElement, VariantAndPlainElementsAreCopied) {
    SAFEARRAY* vars = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    LONG zero = 0;
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString("in a variant");
    ASSERT_EQ(SafeArrayPutElement(vars, &zero, &v), S_OK);
    VARIANT out;
    std::memset(&out, 0xCC, sizeof(out));  // the output is made VT_EMPTY first
    ASSERT_EQ(SafeArrayGetElement(vars, &zero, &out), S_OK);
    EXPECT_STREQ(out.bstrVal, "in a variant");
    EXPECT_NE(out.bstrVal, v.bstrVal);
    VariantClear(&out);
    VariantClear(&v);
    SafeArrayDestroy(vars);

    SAFEARRAY* shorts = SafeArrayCreateVector(VT_I2, 0, 2);
    SHORT value = -5, read = 0;
    LONG one = 1;
    ASSERT_EQ(SafeArrayPutElement(shorts, &one, &value), S_OK);
    ASSERT_EQ(SafeArrayGetElement(shorts, &one, &read), S_OK);
    EXPECT_EQ(read, -5);
    EXPECT_EQ(SafeArrayPutElement(shorts, &one, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(shorts, nullptr, &read), E_INVALIDARG);
    SafeArrayDestroy(shorts);
}

TEST(SafeArrayElement, InterfaceElementsHoldOneReferenceEach) {
    int destroyed = 0;
    auto* object = new TrackedDispatch(&destroyed);
    SAFEARRAY* psa = SafeArrayCreateVector(VT_DISPATCH, 0, 3);
    LONG i = 0;
    ASSERT_EQ(SafeArrayPutElement(psa, &i, static_cast<IDispatch*>(object)), S_OK);
    EXPECT_EQ(object->Refs(), 2u);
    IDispatch* got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &i, &got), S_OK);
    EXPECT_EQ(object->Refs(), 3u);
    got->Release();

    IUnknown* queried = nullptr;
    EXPECT_EQ(SafeArrayQueryElementInterface(psa, 0, IID_IUnknown, reinterpret_cast<void**>(&queried)), S_OK);
    EXPECT_EQ(queried, object);
    queried->Release();
    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(SafeArrayQueryElementInterface(psa, 1, IID_IUnknown, &none), E_POINTER) << "null element";
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(SafeArrayQueryElementInterface(psa, 3, IID_IUnknown, &none), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayQueryElementInterface(psa, 0xFFFFFFFFu, IID_IUnknown, &none), DISP_E_BADINDEX);

    SAFEARRAY* ints = SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_EQ(SafeArrayQueryElementInterface(ints, 0, IID_IUnknown, &none), E_INVALIDARG);
    EXPECT_EQ(SafeArrayQueryElementInterface(nullptr, 0, IID_IUnknown, &none), E_INVALIDARG);
    SafeArrayDestroy(ints);

    ASSERT_EQ(SafeArrayPutElement(psa, &i, nullptr), S_OK);  // replaces and releases
    EXPECT_EQ(object->Refs(), 1u);
    ASSERT_EQ(SafeArrayPutElement(psa, &i, static_cast<IDispatch*>(object)), S_OK);
    object->Release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
