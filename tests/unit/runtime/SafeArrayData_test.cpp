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

    VARIANT scalar{};
    scalar.vt = VT_I8;
    VARIANT byRef{};
    byRef.vt = VT_BYREF | VT_I2;
    byRef.piVal = &referenced;
    VARIANT boolean{};
    boolean.vt = VT_BOOL;
    VARIANT str{};
    str.vt = VT_BSTR;
    str.bstrVal = text;
    VARIANT array{};
    array.vt = VT_ARRAY | VT_R8;
    array.parray = grid;
    VARIANT arrayRef{};
    arrayRef.vt = VT_BYREF | VT_ARRAY | VT_R8;
    arrayRef.pparray = &grid;

    struct Case {
        const char* what;
        VARIANT* v;
        std::size_t bytes;
        const void* data;
    } cases[] = {
        {"scalar", &scalar, 8, &scalar.llVal},
        {"by reference", &byRef, 2, &referenced},
        {"boolean is one byte", &boolean, 1, &boolean.boolVal},
        {"text by stored length", &str, 3, text},
        {"array data", &array, 48, grid->pvData},
        {"array by reference", &arrayRef, 48, grid->pvData},
    };
    for (const auto& c : cases) {
        std::size_t bytes = 0;
        void* data = nullptr;
        ASSERT_EQ(VariantAccessData(c.v, &bytes, &data), S_OK) << c.what;
        EXPECT_EQ(bytes, c.bytes) << c.what;
        EXPECT_EQ(data, c.data) << c.what;
    }

    VARIANT refused[4] = {};
    refused[0].vt = VT_INT;
    refused[1].vt = VT_BYREF | VT_I4;  // null reference
    refused[2].vt = VT_ARRAY | VT_VARIANT;
    refused[3].vt = VT_ARRAY | VT_I4;  // no array
    for (VARIANT& v : refused) {
        std::size_t bytes = 0;
        void* data = nullptr;
        EXPECT_EQ(VariantAccessData(&v, &bytes, &data), E_INVALIDARG) << v.vt;
    }
    SysFreeString(text);
    SafeArrayDestroy(grid);
}

TEST(SafeArrayData, BooleanIsOneByteWhileModified) {
    struct Case {
        std::uint16_t before;
        unsigned char written;  // 0xFF: nothing written
        std::uint16_t after;
    } cases[] = {{0xFFFF, 0xFF, 0xFFFF}, {0x0000, 1, 0xFFFF}, {0xFFFF, 0, 0x0000}, {0x0002, 0xFF, 0xFFFF}};
    for (const auto& c : cases) {
        VARIANT v{};
        v.vt = VT_BOOL;
        v.boolVal = static_cast<VARIANT_BOOL>(c.before);
        std::size_t bytes = 0;
        void* data = nullptr;
        ASSERT_EQ(VariantAccessModifyData(&v, &bytes, &data), S_OK);
        EXPECT_EQ(bytes, 1u);
        if (c.written != 0xFF) *static_cast<unsigned char*>(data) = c.written;
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
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(data, &v.fltVal);

    EXPECT_EQ(VariantCreateAndAccessData(&v, VT_ARRAY | VT_BSTR, &bytes, &data, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(VariantCreateAndAccessData(&v, VT_ARRAY | VT_INT, &bytes, &data, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(v.vt, VT_EMPTY) << "the array made on the way is released (ASan)";
    EXPECT_EQ(VariantCreateAndAccessData(&v, VT_VECTOR | VT_I4, &bytes, &data, nullptr, 0), E_INVALIDARG);
}

TEST(SafeArrayData, ByteArraysFromBuffersTextsAndVariants) {
    SAFEARRAY* psa = nullptr;
    EXPECT_EQ(SafeArrayFromBuffer("x", 1, nullptr), E_POINTER);
    EXPECT_EQ(SafeArrayFromBuffer(nullptr, 1, &psa), E_INVALIDARG);
    ASSERT_EQ(SafeArrayFromBuffer("\x01\x02\x03", 3, &psa), S_OK);
    EXPECT_EQ(psa->fFeatures, 0x2080);
    EXPECT_EQ(std::memcmp(psa->pvData, "\x01\x02\x03", 3), 0);
    SafeArrayDestroy(psa);

    BSTR text = SysAllocStringLen("a\0b", 3);
    ASSERT_EQ(ToByteSafeArray(text, &psa), S_OK);
    EXPECT_EQ(psa->rgsabound[0].cElements, 3u);
    SafeArrayDestroy(psa);
    EXPECT_EQ(ToByteSafeArray(static_cast<BSTR>(nullptr), &psa), E_INVALIDARG);
    SysFreeString(text);

    VARIANT number{};
    number.vt = VT_UI4;
    number.ulVal = 0x04030201;
    ASSERT_EQ(ToByteSafeArray(number, &psa), S_OK);
    EXPECT_EQ(psa->rgsabound[0].cElements, 4u);
    EXPECT_EQ(std::memcmp(psa->pvData, "\x01\x02\x03\x04", 4), 0);
    SafeArrayDestroy(psa);
    VARIANT nothing{};
    EXPECT_EQ(ToByteSafeArray(nothing, &psa), E_INVALIDARG);
}

}  // namespace
