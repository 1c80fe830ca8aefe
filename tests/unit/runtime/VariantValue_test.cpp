#include "ZtAtlCom/VariantValue.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/SafeArray.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

using namespace ZtAtlCom;

VARIANT Int4(LONG value) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// A VARIANT owning a text, cleared at the end of the test.
struct Text {
    VARIANT v{};
    explicit Text(const char* s, UINT n) {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocStringLen(s, n);
    }
    explicit Text(const char* s) {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(s);
    }
    ~Text() { VariantClear(&v); }
};

TEST(VariantValue, ByteSizesOfArgumentData) {
    const std::pair<VARTYPE, ULONG> sized[] = {{VT_I2, 2}, {VT_I4, 4}, {VT_R4, 4}, {VT_R8, 8}, {VT_BOOL, 1},
                                               {VT_I1, 1}, {VT_UI1, 1}, {VT_UI2, 2}, {VT_UI4, 4}, {VT_I8, 8},
                                               {VT_UI8, 8}, {VT_INT, 4}, {VT_UINT, 4}};
    for (auto [vt, size] : sized) {
        ULONG got = 0;
        EXPECT_EQ(GetVarTypeByteSize(vt, got), S_OK) << vt;
        EXPECT_EQ(got, size) << vt;
    }
    for (VARTYPE vt : std::initializer_list<VARTYPE>{VT_EMPTY, VT_BSTR, VT_CY, VT_DATE, VT_VARIANT, VT_ARRAY | VT_I4}) {
        ULONG got = 77;
        EXPECT_EQ(GetVarTypeByteSize(vt, got), E_INVALIDARG) << vt;
        EXPECT_EQ(got, 77u);
    }
}

TEST(VariantValue, TypedGettersReadOrConvert) {
    const VARIANT v = Int4(70000);
    short s = 0;
    EXPECT_EQ(VariantGetValue(v, s), S_OK);
    EXPECT_EQ(s, 4464);
    long l = 0;
    EXPECT_EQ(VariantGetValue(v, l), S_OK);
    EXPECT_EQ(l, 70000);
    double d = 0;
    EXPECT_EQ(VariantGetValue(v, d), S_OK);
    EXPECT_EQ(d, 70000.0);
    signed char c = 0;
    EXPECT_EQ(VariantGetValue(v, c), S_OK);
    EXPECT_EQ(c, static_cast<signed char>(0x70));

    int untouched = 5;
    // Text cannot be made from numbers.
    char* text = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(VariantGetValue(v, &text), E_NOTIMPL);
    EXPECT_EQ(text, nullptr);
    VARIANT bad{};
    bad.vt = 15;
    EXPECT_EQ(VariantGetValue(bad, untouched), DISP_E_BADVARTYPE);
    EXPECT_EQ(untouched, 5);
}

TEST(VariantValue, TextGetters) {
    char* out = reinterpret_cast<char*>(0x1);
    Text empty("");
    EXPECT_EQ(VariantGetValue(empty.v, &out), S_OK);
    EXPECT_EQ(out, nullptr) << "an empty text gives no block";
    EXPECT_EQ(VariantGetValue(empty.v, static_cast<char**>(nullptr)), E_POINTER);

    Text hello("h\xC3\xA9llo");
    ASSERT_EQ(VariantGetValue(hello.v, &out), S_OK);
    EXPECT_STREQ(out, "h\xC3\xA9llo");
    std::free(out);

    wchar_t* wide = nullptr;
    ASSERT_EQ(VariantGetValue(hello.v, &wide), S_OK);
    EXPECT_EQ(std::wcscmp(wide, L"h\xE9llo"), 0);
    std::free(wide);
}

TEST(VariantValue, Variant2ValueSplitsNumbersAndText) {
    long number = 0;
    char* text = nullptr;
    VARIANT ui2{};
    ui2.vt = VT_UI2;
    ui2.uiVal = 0xFFFF;
    EXPECT_EQ(Variant2Value(ui2, number, text), S_OK);
    EXPECT_EQ(number, 0xFFFF) << "zero-extended";

    number = 0;
    LONG referenced = -9;
    VARIANT ref{};
    ref.vt = VT_BYREF | VT_INT;
    ref.plVal = &referenced;
    EXPECT_EQ(Variant2Value(ref, number, text), S_OK);
    EXPECT_EQ(number, -9);

    Text t("abc");
    number = 0;
    EXPECT_EQ(Variant2Value(t.v, number, text), S_OK);
    EXPECT_EQ(text, t.v.bstrVal) << "the BSTR itself, not a copy";

    EXPECT_EQ(Variant2Value(t.v, number, text), E_INVALIDARG) << "text must be null on entry";
    text = nullptr;
    number = 1;
    EXPECT_EQ(Variant2Value(t.v, number, text), E_INVALIDARG) << "number must be 0 on entry";
    number = 0;
    ref.plVal = nullptr;
    EXPECT_EQ(Variant2Value(ref, number, text), E_INVALIDARG);
}

TEST(VariantValue, GuidFromTextOrSixteenBytes) {
    const GUID expected = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    GUID g{};
    Text braced("{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(VariantToGUID(braced.v, g), S_OK);
    EXPECT_EQ(g, expected);
    Text broken("{00020400-0000-0000-C000-000000000046");
    EXPECT_EQ(VariantToGUID(broken.v, g), E_FAIL);

    struct Case {
        ULONG elements;
        HRESULT expected;
    } cases[] = {{16, S_OK}, {15, E_INVALIDARG}, {17, E_INVALIDARG}};
    for (const auto& c : cases) {
        VARIANT bytes{};
        bytes.vt = VT_ARRAY | VT_UI1;
        bytes.parray = SafeArrayCreateVector(VT_UI1, 0, c.elements);
        if (c.elements >= 16) std::memcpy(bytes.parray->pvData, &expected, 16);
        GUID out{};
        EXPECT_EQ(VariantToGUID(bytes, out), c.expected) << c.elements;
        if (c.expected == S_OK) {
            EXPECT_EQ(out, expected);
        }
        VariantClear(&bytes);
    }
    VARIANT other{};
    other.vt = VT_LPWSTR;
    EXPECT_EQ(VariantToGUID(other, g), E_NOTIMPL);
    other.vt = VT_CLSID;
    EXPECT_EQ(VariantToGUID(other, g), E_INVALIDARG);
    other.vt = VT_I4;
    EXPECT_EQ(VariantToGUID(other, g), E_INVALIDARG);
}

TEST(VariantValue, CompareByKind) {
    VARIANT ui4{};
    ui4.vt = VT_UI4;
    ui4.ulVal = 1;
    VARIANT big{};
    big.vt = VT_UI8;
    big.ullVal = ~0ull;
    VARIANT r8{};
    r8.vt = VT_R8;
    r8.dblVal = 9.5;
    VARIANT date{};
    date.vt = VT_DATE;
    VARIANT t{};
    t.vt = VT_BOOL;
    t.boolVal = VARIANT_TRUE;
    Text abc("abc"), ABC("ABC"), nine("9"), notNumber("x9"), huge("99999999999999999999"), TRUE_("TRUE");
    const VARIANT m1 = Int4(-1), ten = Int4(10);

    struct Case {
        const char* what;
        const VARIANT* left;
        const VARIANT* right;
        ULONG flags;
        HRESULT expected;
    } cases[] = {
        {"-1 against unsigned 1", &m1, &ui4, 0, VARCMP_LT},
        {"unsigned 1 against -1", &ui4, &m1, 0, VARCMP_GT},
        {"two unsigned", &big, &ui4, 0, VARCMP_GT},
        {"float with integer", &ten, &r8, 0, VARCMP_GT},
        {"texts, case counts", &abc.v, &ABC.v, 0, VARCMP_GT},
        {"texts, case ignored", &abc.v, &ABC.v, NORM_IGNORECASE, VARCMP_EQ},
        {"number against text", &ten, &nine.v, 0, VARCMP_GT},
        {"text against number", &nine.v, &ten, 0, VARCMP_LT},
        {"text against float", &nine.v, &r8, 0, VARCMP_LT},
        {"text against boolean", &TRUE_.v, &t, 0, VARCMP_EQ},
        {"boolean against text", &t, &abc.v, 0, VARCMP_GT},
        {"integer against date", &ten, &date, 0, E_INVALIDARG},
        {"text that is no number", &ten, &notNumber.v, 0, E_INVALIDARG},
        {"number out of range", &ten, &huge.v, 0, E_BOUNDS},
        {"null argument", nullptr, &ten, 0, VARCMP_NULL},
    };
    for (const auto& c : cases) EXPECT_EQ(VarCmp(c.left, c.right, 0, c.flags), c.expected) << c.what;
}

}  // namespace
