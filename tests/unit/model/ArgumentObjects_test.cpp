// What a host builds to send a message: argument entries, the argument list
// and the source info, read back as the request encoder reads them.
#include "CZtArguments.h"
#include "CZtSourceInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <cstring>
#include <vector>

#include "ZtAtlCom/ComVariant.h"
#include "ZtAtlCom/SafeArray.h"

namespace {

using namespace ZtAtlCom;
using namespace ZtEventLoggerVdlProxy;
using Bytes = std::vector<uint8_t>;

CComPtr<IZtArgumentEntry> Entry() {
    CComPtr<IZtArgumentEntry> e;
    EXPECT_EQ((Create<CZtArgumentEntry, IZtArgumentEntry>(e.ReleaseAndGetAddressOf())), S_OK);
    return e;
}

// Code, size and bytes as the encoder asks for them (size first, then data).
struct Wire {
    HRESULT hr;
    int code;
    Bytes bytes;
    bool operator==(const Wire&) const = default;
};
Wire Encode(IZtArgumentEntry* e) {
    tagZtEventArgumentTypeEnum type = ArgNone;
    unsigned int size = 77;
    HRESULT hr = e->GetData(&type, nullptr, &size);
    if (Failed(hr)) return {hr, -1, {}};
    Bytes out(size + 1, 0xCC);  // one byte more: nothing may be written past the size
    hr = e->GetData(&type, out.data(), &size);
    EXPECT_EQ(out.back(), 0xCC);
    out.pop_back();
    return {hr, type, out};
}

template <class T>
Bytes Le(T v) {
    Bytes b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

TEST(ArgumentEntry, AcceptedTypesTheirCodesAndBytes) {
    DECIMAL dec{};
    dec.scale = 1;
    dec.Lo64 = 25;  // 2.5
    CComVariant decimal;
    decimal.decVal = dec;
    decimal.vt = VT_DECIMAL;
    CComVariant intV(-1), uintV(7u), empty("");
    intV.vt = VT_INT;
    uintV.vt = VT_UINT;
    struct Row {
        const char* what;
        CComVariant value;
        Wire wire;
    } rows[] = {
        {"bool true", CComVariant(true), {S_OK, 1, {1}}},
        {"bool false", CComVariant(false), {S_OK, 1, {0}}},
        {"i1", CComVariant(static_cast<signed char>(-2)), {S_OK, 2, {0xFE}}},
        {"i2", CComVariant(static_cast<short>(-3)), {S_OK, 3, Le<int16_t>(-3)}},
        {"i4", CComVariant(7), {S_OK, 4, {7, 0, 0, 0}}},
        {"i8", CComVariant(-5L), {S_OK, 5, Le<int64_t>(-5)}},
        {"ui1", CComVariant(static_cast<unsigned char>(200)), {S_OK, 6, {200}}},
        {"ui2", CComVariant(static_cast<unsigned short>(513)), {S_OK, 7, {1, 2}}},
        {"ui4", CComVariant(0x01020304u), {S_OK, 8, {4, 3, 2, 1}}},
        {"int is sent as unsigned 32-bit", intV, {S_OK, 8, {0xFF, 0xFF, 0xFF, 0xFF}}},
        {"uint", uintV, {S_OK, 8, {7, 0, 0, 0}}},
        {"ui8", CComVariant(9UL), {S_OK, 9, Le<uint64_t>(9)}},
        {"r4", CComVariant(1.5f), {S_OK, 10, Le(1.5f)}},
        {"r8", CComVariant(-0.25), {S_OK, 11, Le(-0.25)}},
        {"decimal is sent as a double", decimal, {S_OK, 11, Le(2.5)}},
        {"text with its NUL", CComVariant("hello"), {S_OK, 21, {'h', 'e', 'l', 'l', 'o', 0}}},
        {"empty text takes no bytes", empty, {S_OK, 21, {}}},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.what);
        CComPtr<IZtArgumentEntry> e = Entry();
        ASSERT_EQ(e->Set(row.value), S_OK);
        EXPECT_EQ(Encode(e), row.wire);
        EXPECT_EQ(static_cast<CZtArgumentEntry*>(e.Get())->GetSize(), row.wire.bytes.size());
    }
}

TEST(ArgumentEntry, RefusedTypesAndFailedConversionsChangeNothing) {
    CComPtr<IZtArgumentEntry> e = Entry();
    EXPECT_EQ(Encode(e), (Wire{E_FAIL, 0, {}}));  // never set: code 0, no bytes, nothing to write
    ASSERT_EQ(e->Set(CComVariant(300)), S_OK);
    int i4 = 3;
    for (VARTYPE vt : std::initializer_list<VARTYPE>{VT_EMPTY, VT_NULL, VT_DATE, VT_CY, VT_ERROR,
                                                     VARTYPE(VT_I4 | VT_BYREF), VT_DISPATCH}) {
        VARIANT v;
        VariantInit(&v);
        v.vt = vt;
        v.plVal = &i4;  // a reference for the BYREF case; nothing of it is owned
        EXPECT_EQ(e->Set(v), E_NOINTERFACE) << vt;
    }
    EXPECT_EQ(Encode(e), (Wire{S_OK, 4, {44, 1, 0, 0}}));
    signed char i8 = 0;
    EXPECT_EQ(e->GetInt8(&i8), S_OK);
    EXPECT_EQ(i8, 44);  // truncated, as the conversion does
    BSTR text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(e->GetString(&text), E_NOTIMPL);  // no text from numbers: nothing written
    EXPECT_EQ(text, reinterpret_cast<BSTR>(1));

    unsigned int size = 0;
    tagZtEventArgumentTypeEnum type = ArgNone;
    char buffer[8];
    EXPECT_EQ(e->GetData(&type, buffer, nullptr), E_POINTER);
    EXPECT_EQ(e->GetData(nullptr, nullptr, &size), S_OK);  // size only
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(e->GetData(nullptr, buffer, &size), E_POINTER);
    EXPECT_EQ(e->Get(nullptr), E_POINTER);
}

CComPtr<IZtArguments> List() {
    CComPtr<IZtArguments> a;
    EXPECT_EQ((Create<CZtArguments, IZtArguments>(a.ReleaseAndGetAddressOf())), S_OK);
    return a;
}

int Count(IZtArguments* a) {
    int n = -1;
    a->get_Count(&n);
    return n;
}

TEST(Arguments, EncodesAsTheRecordsTypeAndDataBlocks) {
    CComPtr<IZtArguments> a = List();
    EXPECT_EQ(a->Add(CComVariant(true)), S_OK);
    EXPECT_EQ(a->Add(CComVariant()), E_NOINTERFACE);
    EXPECT_EQ(a->Add(CComVariant(7)), S_OK);
    EXPECT_EQ(a->Add(CComVariant("ab")), S_OK);
    ASSERT_EQ(Count(a), 3);
    Bytes types, data;
    for (int i = 0; i < Count(a); ++i) {
        CComPtr<IZtArgumentEntry> e;
        ASSERT_EQ(a->get_Item(i, e.ReleaseAndGetAddressOf()), S_OK);
        Wire w = Encode(e);
        types.push_back(static_cast<uint8_t>(w.code));
        types.push_back(0);
        data.insert(data.end(), w.bytes.begin(), w.bytes.end());
    }
    EXPECT_EQ(types, (Bytes{1, 0, 4, 0, 21, 0}));
    EXPECT_EQ(data, (Bytes{1, 7, 0, 0, 0, 'a', 'b', 0}));
    CComPtr<IZtArgumentEntry> none;
    EXPECT_EQ(a->get_Item(3, none.ReleaseAndGetAddressOf()), E_INVALIDARG);
    CComPtr<ISupportErrorInfo> sei;
    ASSERT_EQ(a.QueryInterface(sei.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IZtArguments), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST(Arguments, IndicesOfSetAndRemove) {
    struct Row {
        const char* what;
        std::function<HRESULT(IZtArguments*)> op;
        HRESULT result;
        std::vector<int> after;  // the i4 values left
    } rows[] = {
        {"set within", [](IZtArguments* a) { return a->Set(1, CComVariant(9)); }, S_OK, {1, 9}},
        {"set at the count", [](IZtArguments* a) { return a->Set(2, CComVariant(9)); }, E_BOUNDS, {1, 2}},
        {"set above", [](IZtArguments* a) { return a->Set(3, CComVariant(9)); }, E_BOUNDS, {1, 2}},
        {"set negative", [](IZtArguments* a) { return a->Set(-1, CComVariant(9)); }, E_BOUNDS, {1, 2}},
        {"set a refused type", [](IZtArguments* a) { return a->Set(0, CComVariant()); }, E_NOINTERFACE, {1, 2}},
        {"remove the first", [](IZtArguments* a) { return a->Remove(0); }, S_OK, {2}},
        {"remove at the count", [](IZtArguments* a) { return a->Remove(2); }, E_FAIL, {1, 2}},
        {"remove above", [](IZtArguments* a) { return a->Remove(3); }, E_BOUNDS, {1, 2}},
        {"remove negative", [](IZtArguments* a) { return a->Remove(-1); }, E_BOUNDS, {1, 2}},
        {"clear", [](IZtArguments* a) { return a->Clear(); }, S_OK, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CComPtr<IZtArguments> a = List();
        a->Add(CComVariant(1));
        a->Add(CComVariant(2));
        EXPECT_EQ(row.op(a), row.result);
        std::vector<int> left;
        for (int i = 0; i < Count(a); ++i) {
            CComPtr<IZtArgumentEntry> e;
            int v = 0;
            a->get_Item(i, e.ReleaseAndGetAddressOf());
            e->GetInt32(&v);
            left.push_back(v);
        }
        EXPECT_EQ(left, row.after);
    }
}

TEST(Arguments, AddVTakesEveryElementOfAnyLowerBound) {
    SAFEARRAYBOUND bound{4, 1};
    SAFEARRAY* values = SafeArrayCreate(VT_VARIANT, 1, &bound);
    CComVariant elements[] = {CComVariant(10), CComVariant(), CComVariant(30), CComVariant(40)};
    for (LONG i = 0; i < 4; ++i) {
        LONG index = i + 1;
        ASSERT_EQ(SafeArrayPutElement(values, &index, &elements[i]), S_OK);
    }
    CComPtr<IZtArguments> a = List();
    EXPECT_EQ(a->AddV(values), S_OK);
    ASSERT_EQ(Count(a), 3);  // the VT_EMPTY element is skipped
    CComPtr<IZtArgumentEntry> last;
    int v = 0;
    a->get_Item(2, last.ReleaseAndGetAddressOf());
    last->GetInt32(&v);
    EXPECT_EQ(v, 40);
    SafeArrayDestroy(values);

    SAFEARRAY* ints = SafeArrayCreateVector(VT_I4, 0, 3);
    EXPECT_EQ(a->AddV(ints), DISP_E_BADVARTYPE);  // never read as VARIANTs
    SafeArrayDestroy(ints);
    EXPECT_EQ(a->AddV(nullptr), E_INVALIDARG);
    EXPECT_EQ(Count(a), 3);
}

TEST(Arguments, RaiseTimeAsDate) {
    CComPtr<IZtArguments> a = List();
    DATE d = 0;
    ASSERT_EQ(a->get_TimeRaised(&d), S_OK);
    EXPECT_NEAR(d, 44194.5192, 1e-4);  // 2020-12-29 12:27:39 UTC
    EXPECT_EQ(a->put_TimeRaised(1.0), S_OK);
    ASSERT_EQ(a->get_TimeRaised(&d), S_OK);
    EXPECT_DOUBLE_EQ(d, 1.0);
    EXPECT_EQ(a->put_TimeRaised(NAN), E_INVALIDARG);
    EXPECT_EQ(a->put_TimeRaised(1e300), E_INVALIDARG);
    EXPECT_EQ(a->get_TimeRaised(nullptr), E_POINTER);
}

// ---- source info -------------------------------------------------------------

CComPtr<IZtSourceInfo> Source() {
    CComPtr<IZtSourceInfo> s;
    EXPECT_EQ((Create<CZtSourceInfo, IZtSourceInfo>(s.ReleaseAndGetAddressOf())), S_OK);
    return s;
}

// The items as the encoder reads them: type and bytes per index.
std::vector<std::pair<int, Bytes>> Items(IZtSourceInfo* s) {
    CComPtr<IZtSourceInfoDataProvider> provider;
    EXPECT_EQ(CComPtr<IZtSourceInfo>(s).QueryInterface(provider.ReleaseAndGetAddressOf()), S_OK);
    std::vector<std::pair<int, Bytes>> out;
    int count = 0;
    s->get_Count(&count);
    for (int i = 0; i < count; ++i) {
        tagZtSourceInfoTypeEnum type{};
        unsigned int size = 0;
        EXPECT_EQ(provider->GetData(i, &type, nullptr, &size), S_OK);
        Bytes b(size);
        if (size > 0) {
            unsigned int small = size - 1;
            EXPECT_EQ(provider->GetData(i, &type, b.data(), &small), ZT_E_SOURCE_INFO_TOO_SMALL);
        }
        EXPECT_EQ(provider->GetData(i, &type, b.data(), &size), S_OK);
        out.push_back({type, b});
    }
    tagZtSourceInfoTypeEnum type{};
    unsigned int size = 0;
    EXPECT_EQ(provider->GetData(count, &type, nullptr, &size), DISP_E_BADINDEX);
    EXPECT_EQ(provider->GetData(0, &type, nullptr, nullptr), E_POINTER);
    return out;
}

TEST(SourceInfo, ItemsComeInTheOrderIdGuidName) {
    CComPtr<IZtSourceInfo> s = Source();
    char name[] = "PLC";
    GUID g{};
    g.Data1 = 0x11223344;
    ASSERT_EQ(s->put_Name(name), S_OK);
    ASSERT_EQ(s->put_Id(5), S_OK);
    ASSERT_EQ(s->put_Id(6), S_OK);  // replaces the first
    EXPECT_EQ(Items(s), (std::vector<std::pair<int, Bytes>>{{1, {6, 0, 0, 0}}, {4, {'P', 'L', 'C', 0}}}));
    ASSERT_EQ(s->put_Guid(g), S_OK);
    auto items = Items(s);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].first, 2);
    EXPECT_EQ(items[1].second.size(), 16u);

    BSTR got = nullptr;
    ASSERT_EQ(s->get_Name(&got), S_OK);
    EXPECT_STREQ(got, "PLC");
    EXPECT_EQ(SysStringByteLen(got), 4u);  // the stored bytes, NUL included
    SysFreeString(got);
    EXPECT_EQ(s->Clear(), S_OK);
    EXPECT_TRUE(Items(s).empty());
}

TEST(SourceInfo, MissingItemsAnswer50AndEmptyNamesAreOneByte) {
    CComPtr<IZtSourceInfo> s = Source();
    unsigned int id = 77;
    GUID g{};
    g.Data1 = 77;
    BSTR name = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(s->get_Id(&id), 50);
    EXPECT_EQ(s->get_Guid(&g), 50);
    EXPECT_EQ(s->get_Name(&name), 50);
    EXPECT_EQ(id, 77u);
    EXPECT_EQ(g.Data1, 77u);
    EXPECT_EQ(name, reinterpret_cast<BSTR>(1));
    EXPECT_EQ(s->get_Id(nullptr), E_POINTER);
    EXPECT_EQ(s->get_Count(nullptr), E_POINTER);
    EXPECT_EQ(s->IsSourceInfoTypeSupported(SourceInfoName, nullptr), E_POINTER);

    char empty[] = "";
    ASSERT_EQ(s->put_Name(empty), S_OK);
    VARIANT_BOOL supported = 0;
    EXPECT_EQ(s->IsSourceInfoTypeSupported(SourceInfoName, &supported), S_OK);
    EXPECT_EQ(supported, VARIANT_TRUE);
    ASSERT_EQ(s->get_Name(&name), S_OK);
    EXPECT_STREQ(name, "");
    SysFreeString(name);
    EXPECT_EQ(Items(s), (std::vector<std::pair<int, Bytes>>{{4, {0}}}));
    ASSERT_EQ(s->put_Name(nullptr), S_OK);  // the empty text too
    EXPECT_EQ(Items(s), (std::vector<std::pair<int, Bytes>>{{4, {0}}}));
    ASSERT_EQ(s->put_Id(9), S_OK);
    ASSERT_EQ(s->get_Id(&id), S_OK);
    EXPECT_EQ(id, 9u);
}

}  // namespace
