#include "ZtAtlCom/detail/VtCoerce.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/SafeArray.h"
#include "TrackedObjects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace ZtAtlCom;
using ZtTest::TrackedDispatch;

template <class T>
std::uint64_t Bits(T value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(T));
    return bits;
}

template <class T>
VARIANT Var(VARTYPE vt, T value) {
    VARIANT v{};
    v.vt = vt;
    std::memcpy(&v.llVal, &value, sizeof(T));
    return v;
}

LONG g_referenced = 70000;

TEST(VtCoerce, NumberConversionsTruncate) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        VARIANT source;
        VARTYPE target;
        std::uint64_t expected;  // the first 8 bytes of the value area
    } cases[] = {
        {"I4 70000 to I2: low 16 bits", Var(VT_I4, 70000), VT_I2, 4464},
        {"by reference: the referenced value", Var(VT_BYREF | VT_I4, &g_referenced), VT_I2, 4464},
        {"I4 5 to BOOL: no mapping to -1", Var(VT_I4, 5), VT_BOOL, 5},
        {"UI1 200 to I1", Var(VT_UI1, std::uint8_t{200}), VT_I1, 0xC8},
        {"I1 -1 to UI8: sign-extended", Var(VT_I1, std::int8_t{-1}), VT_UI8, ~0ull},
        {"I2 -2 to I8", Var(VT_I2, std::int16_t{-2}), VT_I8, Bits(std::int64_t{-2})},
        {"UI4 max to I8: zero-extended", Var(VT_UI4, 0xFFFFFFFFu), VT_I8, 0xFFFFFFFFull},
        {"UI8 to UI2", Var(VT_UI8, 0x123456789ull), VT_UI2, 0x6789},
        {"INT -3 to UI4", Var(VT_INT, -3), VT_UI4, 0xFFFFFFFDull},
        {"R8 -2.7 to I4: toward zero", Var(VT_R8, -2.7), VT_I4, Bits(std::int32_t{-2})},
        {"R8 2.9 to UI1", Var(VT_R8, 2.9), VT_UI1, 2},
        {"R4 -1.5 to I2", Var(VT_R4, -1.5f), VT_I2, 0xFFFF},
        {"R8 3e9 to UI4: through 64 bits", Var(VT_R8, 3e9), VT_UI4, 3000000000ull},
        {"R8 -1.5 to UI4", Var(VT_R8, -1.5), VT_UI4, 0xFFFFFFFFull},
        {"R8 1e19 to UI8", Var(VT_R8, 1e19), VT_UI8, 10000000000000000000ull},
        {"R8 -2 to UI8: two's complement", Var(VT_R8, -2.0), VT_UI8, 0xFFFFFFFFFFFFFFFEull},
        {"R8 1e10 to I4: out of range", Var(VT_R8, 1e10), VT_I4, 0x80000000ull},
        {"R8 1e10 to I2: low bits of the lowest int", Var(VT_R8, 1e10), VT_I2, 0},
        {"R8 NaN to I4", Var(VT_R8, nan), VT_I4, 0x80000000ull},
        {"R8 1e20 to I8", Var(VT_R8, 1e20), VT_I8, 0x8000000000000000ull},
        {"R8 1e20 to UI8", Var(VT_R8, 1e20), VT_UI8, 0x8000000000000000ull},
        {"R4 2.5 to R8", Var(VT_R4, 2.5f), VT_R8, Bits(2.5)},
        {"R8 0.1 to R4", Var(VT_R8, 0.1), VT_R4, Bits(0.1f)},
        {"I8 2^53+1 to R8", Var(VT_I8, (1ll << 53) + 1), VT_R8, Bits(9007199254740992.0)},
        {"UI8 max to R4", Var(VT_UI8, ~0ull), VT_R4, Bits(18446744073709551616.0f)},
        {"I4 -1 to R8", Var(VT_I4, -1), VT_R8, Bits(-1.0)},
        {"INT to I4 is a copy", Var(VT_INT, 77), VT_I4, 77},
        {"UI4 to UINT is a copy", Var(VT_UI4, 78u), VT_UINT, 78},
    };
    for (const auto& c : cases) {
        VARIANT dst{};
        ASSERT_EQ(VariantChangeType(&dst, &c.source, 0, c.target), S_OK) << c.what;
        EXPECT_EQ(dst.vt, c.target) << c.what;
        EXPECT_EQ(Bits(dst.llVal), c.expected) << c.what;
    }
}

TEST(VtCoerce, ResultsAndFailuresByTypePair) {
    BSTR text = SysAllocString("12");
    VARIANT bstr{};
    bstr.vt = VT_BSTR;
    bstr.bstrVal = text;
    struct Case {
        const char* what;
        VARIANT source;
        VARTYPE target;
        HRESULT expected;
    } cases[] = {
        {"number to text", Var(VT_I4, 1), VT_BSTR, E_NOTIMPL},
        {"floating point to text", Var(VT_R8, 1.0), VT_BSTR, E_NOTIMPL},
        {"null to empty", Var(VT_NULL, 0), VT_EMPTY, DISP_E_TYPEMISMATCH},
        {"number to empty", Var(VT_I4, 1), VT_EMPTY, S_OK},
        {"empty to null", Var(VT_EMPTY, 0), VT_NULL, S_OK},
        {"number to record", Var(VT_I4, 1), VT_RECORD, E_NOTIMPL},
        {"text to number: no value", bstr, VT_I4, S_OK},
        {"boolean to number: no value", Var(VT_BOOL, VARIANT_TRUE), VT_I4, S_OK},
        {"number to dispatch: no value", Var(VT_I4, 1), VT_DISPATCH, S_OK},
        {"number to currency: no value", Var(VT_I4, 1), VT_CY, S_OK},
        {"invalid source", Var(VARTYPE{15}, 0), VT_I4, DISP_E_BADVARTYPE},
        {"invalid target", Var(VT_I4, 0), VT_VECTOR | VT_I4, DISP_E_BADVARTYPE},
        {"empty array target", Var(VT_I4, 0), VT_ARRAY | VT_EMPTY, DISP_E_BADVARTYPE},
        {"byref without a pointer", Var(VT_BYREF | VT_I4, 0), VT_I2, DISP_E_TYPEMISMATCH},
        {"scalar to array", Var(VT_I4, 1), VT_ARRAY | VT_I4, DISP_E_TYPEMISMATCH},
    };
    for (const auto& c : cases) {
        VARIANT dst = Var(VT_I2, std::int16_t{99});
        EXPECT_EQ(VariantChangeType(&dst, &c.source, 0, c.target), c.expected) << c.what;
        if (Succeeded(c.expected)) {
            EXPECT_EQ(dst.vt, c.target) << c.what;
            EXPECT_EQ(dst.llVal, 0) << c.what << ": pairs without a conversion give zero";
        } else {
            EXPECT_EQ(dst.vt, VT_I2) << c.what << ": dest untouched";
            EXPECT_EQ(dst.iVal, 99) << c.what;
        }
    }
    VARIANT copy{};
    ASSERT_EQ(VariantChangeType(&copy, &bstr, 0, VT_BSTR), S_OK);
    EXPECT_NE(copy.bstrVal, text);
    EXPECT_STREQ(copy.bstrVal, "12");
    VariantClear(&copy);
    SysFreeString(text);
}

TEST(VtCoerce, InterfacesAreQueried) {
    int destroyed = 0;
    auto* dual = new TrackedDispatch(&destroyed);
    auto* plain = new TrackedDispatch(&destroyed, false);
    VARIANT unk{};
    unk.vt = VT_UNKNOWN;
    unk.punkVal = dual;
    VARIANT dst{};
    ASSERT_EQ(VariantChangeType(&dst, &unk, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(dst.pdispVal, dual);
    EXPECT_EQ(dual->Refs(), 2u);
    ASSERT_EQ(VariantChangeType(&dst, &dst, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(dual->Refs(), 2u);
    VariantClear(&dst);

    unk.punkVal = plain;
    dst.vt = VT_I2;
    EXPECT_EQ(VariantChangeType(&dst, &unk, 0, VT_DISPATCH), E_NOINTERFACE);
    EXPECT_EQ(dst.vt, VT_I2);
    unk.punkVal = nullptr;
    ASSERT_EQ(VariantChangeType(&dst, &unk, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(dst.pdispVal, nullptr) << "null stays null";

    dual->Release();
    plain->Release();
    EXPECT_EQ(destroyed, 2);
}

SAFEARRAY* Bytes(const char* data, ULONG n) {
    SAFEARRAY* psa = nullptr;
    SafeArrayFromBuffer(data, n, &psa);
    return psa;
}

TEST(VtCoerce, BytesAndTextConvertByteForByte) {
    VARIANT bytes{};
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = Bytes("a\0b", 3);
    VARIANT text{};
    ASSERT_EQ(VariantChangeType(&text, &bytes, 0, VT_BSTR), S_OK);
    EXPECT_EQ(SysStringLen(text.bstrVal), 3u) << "a 0 byte does not cut the text";
    EXPECT_EQ(std::memcmp(text.bstrVal, "a\0b", 3), 0);

    VARIANT back{};
    ASSERT_EQ(VariantChangeType(&back, &text, 0, VT_ARRAY | VT_UI1), S_OK);
    EXPECT_EQ(back.parray->fFeatures, FADF_CREATEVECTOR | FADF_HAVEVARTYPE);
    EXPECT_EQ(back.parray->rgsabound[0].lLbound, 0);
    EXPECT_EQ(back.parray->rgsabound[0].cElements, 1u) << "texts are copied up to their first 0 on the way in";

    VARIANT empty{};
    empty.vt = VT_ARRAY | VT_UI1;
    empty.parray = Bytes("", 0);
    VARIANT out{};
    EXPECT_EQ(VariantChangeType(&out, &empty, 0, VT_BSTR), E_OUTOFMEMORY);

    SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
    VARIANT flat{};
    flat.vt = VT_ARRAY | VT_UI1;
    flat.parray = SafeArrayCreate(VT_UI1, 2, square);
    EXPECT_EQ(VariantChangeType(&out, &flat, 0, VT_BSTR), E_INVALIDARG);
    EXPECT_EQ(VariantChangeType(&out, &flat, 0, VT_ARRAY | VT_I2), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(VariantChangeType(&out, &flat, 0, VT_ARRAY | VT_UI1), S_OK);
    EXPECT_NE(out.parray, flat.parray);
    EXPECT_EQ(SafeArrayGetDim(out.parray), 2u);

    for (VARIANT* v : {&bytes, &text, &back, &empty, &flat, &out}) VariantClear(v);
}

}  // namespace
