#include "ZtAtlCom/SafeArray.h"

#include "ZtAtlCom/BStr.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace ZtAtlCom;

TEST(SafeArrayData, AccessReportsTheValueBytes) {
    SHORT referenced = 3;
    BSTR text = SysAllocStringLen("a\0c", 3);
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
    SAFEARRAY* grid = SafeArrayCreate(VT_R8, 2, bounds);
    VARIANT v[6] = {};
    v[0].vt = VT_I8;
    v[1].vt = VT_BYREF | VT_I2;
    v[1].piVal = &referenced;
    v[2].vt = VT_BOOL;
    v[3].vt = VT_BSTR;
    v[3].bstrVal = text;
    v[4].vt = VT_ARRAY | VT_R8;
    v[4].parray = grid;
    v[5].vt = VT_BYREF | VT_ARRAY | VT_R8;
    v[5].pparray = &grid;
    const struct {
        std::size_t bytes;
        const void* data;
    } expected[6] = {{8, &v[0].llVal}, {2, &referenced}, {1, &v[2].boolVal}, {3, text}, {48, grid->pvData},
                     {48, grid->pvData}};
    for (int i = 0; i < 6; ++i) {
        std::size_t bytes = 0;
        void* data = nullptr;
        ASSERT_EQ(VariantAccessData(&v[i], &bytes, &data), S_OK) << v[i].vt;
        EXPECT_EQ(bytes, expected[i].bytes) << v[i].vt;
        EXPECT_EQ(data, expected[i].data) << v[i].vt;
    }
    // VT_INT, a null reference, an array of VARIANTs, an array VARIANT without array.
    for (VARTYPE vt : {VARTYPE(VT_INT), VARTYPE(VT_BYREF | VT_I4), VARTYPE(VT_ARRAY | VT_VARIANT),
                       VARTYPE(VT_ARRAY | VT_I4)}) {
        VARIANT refused{};
        refused.vt = vt;
        std::size_t bytes = 0;
        void* data = nullptr;
        EXPECT_EQ(VariantAccessData(&refused, &bytes, &data), E_INVALIDARG) << vt;
    }
    SysFreeString(text);
    SafeArrayDestroy(grid);
}

TEST(SafeArrayData, BooleanIsOneByteWhileModified) {
    struct Case {
        std::uint16_t before;
        int written;  // -1: nothing written
        std::uint16_t after;
    } cases[] = {{0xFFFF, -1, 0xFFFF}, {0x0000, 1, 0xFFFF}, {0xFFFF, 0, 0x0000}, {0x0002, -1, 0xFFFF}};
    for (const auto& c : cases) {
        VARIANT v{};
        v.vt = VT_BOOL;
        v.boolVal = static_cast<VARIANT_BOOL>(c.before);
        std::size_t bytes = 0;
        void* data = nullptr;
        ASSERT_EQ(VariantAccessModifyData(&v, &bytes, &data), S_OK);
        EXPECT_EQ(bytes, 1u);
        if (c.written >= 0) *static_cast<unsigned char*>(data) = static_cast<unsigned char>(c.written);
        EXPECT_EQ(VariantUnaccessModifyData(&v), S_OK);
        EXPECT_EQ(static_cast<std::uint16_t>(v.boolVal), c.after) << c.before;
    }
}

TEST(SafeArrayData, CreateAndAccess) {
    VARIANT v;
    std::size_t bytes = 12;
    void* data = nullptr;
    ASSERT_EQ(VariantCreateAndAccessData(&v, VT_ARRAY | VT_I4, &bytes, &data, nullptr, 0), S_OK);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(v.parray->rgsabound[0].cElements, 3u);
    EXPECT_EQ(data, v.parray->pvData);
    VariantClear(&v);
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    ASSERT_EQ(VariantCreateAndAccessData(&v, VT_ARRAY | VT_UI2, &bytes, &data, bounds, 2), S_OK);
    EXPECT_EQ(bytes, 8u);
    VariantClear(&v);
    ASSERT_EQ(VariantCreateAndAccessData(&v, VT_R4, &bytes, &data, nullptr, 0), S_OK);
    EXPECT_EQ(data, &v.fltVal);
    for (VARTYPE vt : {VARTYPE(VT_ARRAY | VT_BSTR), VARTYPE(VT_ARRAY | VT_INT), VARTYPE(VT_VECTOR | VT_I4)}) {
        EXPECT_EQ(VariantCreateAndAccessData(&v, vt, &bytes, &data, nullptr, 0), E_INVALIDARG) << vt;
        EXPECT_EQ(v.vt, VT_EMPTY) << vt << ": nothing left behind (ASan)";
    }
}

TEST(SafeArrayData, ByteArraysFromBuffersTextsAndVariants) {
    SAFEARRAY* psa = nullptr;
    EXPECT_EQ(SafeArrayFromBuffer("x", 1, nullptr), E_POINTER);
    EXPECT_EQ(SafeArrayFromBuffer(nullptr, 1, &psa), E_INVALIDARG);
    BSTR text = SysAllocStringLen("a\0b", 3);
    ASSERT_EQ(ToByteSafeArray(text, &psa), S_OK);
    EXPECT_EQ(psa->fFeatures, 0x2080);
    EXPECT_EQ(psa->rgsabound[0].cElements, 3u) << "the stored length, 0 bytes included";
    SafeArrayDestroy(psa);
    SysFreeString(text);
    VARIANT number{};
    number.vt = VT_UI4;
    number.ulVal = 0x04030201;
    ASSERT_EQ(ToByteSafeArray(number, &psa), S_OK);
    EXPECT_EQ(std::memcmp(psa->pvData, "\x01\x02\x03\x04", 4), 0);
    SafeArrayDestroy(psa);
    VARIANT nothing{};
    EXPECT_EQ(ToByteSafeArray(nothing, &psa), E_INVALIDARG);
}

}  // namespace
