#include "ZtAtlCom/VariantValue.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/SafeArray.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

using namespace ZtAtlCom;

VARIANT Of(VARTYPE vt, LONGLONG bits) {
    VARIANT v{};
    v.vt = vt;
    v.llVal = bits;
    return v;
}

// A VARIANT owning a text.
struct Text {
    VARIANT v{};
    explicit Text(const char* s) {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(s);
    }
    ~Text() { VariantClear(&v); }
};

TEST(VariantValue, GettersReadOrConvertAndKeepTheOutputOnFailure) {
    const VARIANT v = Of(VT_I4, 70000);
    short s = 0;
    long l = 0;
    signed char c = 0;
    EXPECT_EQ(VariantGetValue(v, s), S_OK);
    EXPECT_EQ(s, 4464);
    EXPECT_EQ(VariantGetValue(v, l), S_OK);
    EXPECT_EQ(l, 70000);
    EXPECT_EQ(VariantGetValue(v, c), S_OK);
    EXPECT_EQ(c, 0x70);
    int untouched = 5;
    EXPECT_EQ(VariantGetValue(Of(15, 1), untouched), DISP_E_BADVARTYPE);
    EXPECT_EQ(untouched, 5);

    char* out = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(VariantGetValue(v, &out), E_NOTIMPL) << "no text from numbers";
    EXPECT_EQ(out, nullptr);
    Text empty(""), hello("h\xC3\xA9llo");
    EXPECT_EQ(VariantGetValue(empty.v, &out), S_OK);
    EXPECT_EQ(out, nullptr) << "an empty text gives no block";
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
    EXPECT_EQ(Variant2Value(Of(VT_UI2, 0xFFFF), number, text), S_OK);
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
    GUID g{};
    Text braced("{00020400-0000-0000-C000-000000000046}"), broken("{00020400-0000-0000-C000-000000000046");
    EXPECT_EQ(VariantToGUID(braced.v, g), S_OK);
    EXPECT_EQ(g, IID_IDispatch);
    EXPECT_EQ(VariantToGUID(broken.v, g), E_FAIL);
    for (ULONG elements : {16u, 15u, 17u}) {
        VARIANT bytes = Of(VT_ARRAY | VT_UI1, 0);
        bytes.parray = SafeArrayCreateVector(VT_UI1, 0, elements);
        std::memcpy(bytes.parray->pvData, &IID_IUnknown, elements < 16 ? elements : 16);
        GUID out{};
        EXPECT_EQ(VariantToGUID(bytes, out), elements == 16 ? S_OK : E_INVALIDARG) << elements;
        EXPECT_EQ(out, elements == 16 ? IID_IUnknown : GUID_NULL);
        VariantClear(&bytes);
    }
    EXPECT_EQ(VariantToGUID(Of(VT_LPWSTR, 0), g), E_NOTIMPL);
    EXPECT_EQ(VariantToGUID(Of(VT_CLSID, 0), g), E_INVALIDARG);
    EXPECT_EQ(VariantToGUID(Of(VT_I4, 0), g), E_INVALIDARG);
}

TEST(VariantValue, CompareByKind) {
    VARIANT m1 = Of(VT_I4, -1), ten = Of(VT_I4, 10), ui4 = Of(VT_UI4, 1), big = Of(VT_UI8, -1), date = Of(VT_DATE, 0);
    VARIANT r8{}, t = Of(VT_BOOL, VARIANT_TRUE);
    r8.vt = VT_R8;
    r8.dblVal = 9.5;
    Text abc("abc"), ABC("ABC"), nine("9"), notNumber("x9"), huge("99999999999999999999"), TRUE_("TRUE");
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
        {"integer with float", &ten, &r8, 0, VARCMP_GT},
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
