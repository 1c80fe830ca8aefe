// Every allocation the runtime makes is failed in turn (the test executable
// wraps malloc and calloc at link time); each operation must then report
// E_OUTOFMEMORY (or null) and leave nothing allocated, which ASan checks.
#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComVariant.h"
#include "ZtAtlCom/SafeArray.h"
#include "ZtAtlCom/VariantValue.h"

#include <gtest/gtest.h>

#include "AllocFailure.h"

#include <cstdlib>

extern "C" void* __real_malloc(std::size_t size);
extern "C" void* __real_calloc(std::size_t count, std::size_t size);

using ZtTest::AllocFailure::FailThisCall;

extern "C" void* __wrap_malloc(std::size_t size) { return FailThisCall() ? nullptr : __real_malloc(size); }
extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
    return FailThisCall() ? nullptr : __real_calloc(count, size);
}

namespace {

using namespace ZtAtlCom;

using ZtTest::AllocFailure::Armed;

template <class Op>
void FailEachAllocation(const char* what, Op op) {
    ZtTest::AllocFailure::FailEachAllocation(what, 100, op, [](int) {});
}

void ExpectSuccessOrNoMemory(HRESULT hr, const char* what) {
    EXPECT_TRUE(hr == S_OK || hr == E_OUTOFMEMORY) << what << ": " << std::hex << hr;
}

SAFEARRAY* TextArray() {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 5}};
    SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 2, bounds);
    const char* texts[4] = {"a", "bb", "ccc", "dddd"};
    for (LONG i = 0; i < 4; ++i) {
        LONG idx[2] = {i % 2, 5 + i / 2};
        BSTR t = SysAllocString(texts[i]);
        SafeArrayPutElement(psa, idx, &t);
        SysFreeString(t);
    }
    return psa;
}

TEST(AllocFailure, SafeArrayCopyFreesPartialCopies) {
    SAFEARRAY* source = TextArray();
    FailEachAllocation("SafeArrayCopy", [&] {
        SAFEARRAY* copy = nullptr;
        HRESULT hr = Armed([&] { return SafeArrayCopy(source, &copy); });
        ExpectSuccessOrNoMemory(hr, "SafeArrayCopy");
        EXPECT_EQ(copy == nullptr, Failed(hr));
        SafeArrayDestroy(copy);
    });
    SafeArrayDestroy(source);
}

TEST(AllocFailure, VariantCopyOfNestedArrays) {
    VARIANT source{};
    source.vt = VT_ARRAY | VT_VARIANT;
    source.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT inner{};
    inner.vt = VT_ARRAY | VT_BSTR;
    inner.parray = TextArray();
    LONG i = 1;
    SafeArrayPutElement(source.parray, &i, &inner);
    VariantClear(&inner);
    FailEachAllocation("VariantCopy", [&] {
        VARIANT copy{};
        HRESULT hr = Armed([&] { return VariantCopy(&copy, &source); });
        ExpectSuccessOrNoMemory(hr, "VariantCopy");
        VariantClear(&copy);
    });
    VariantClear(&source);
}

TEST(AllocFailure, ConversionsAndTextGetters) {
    VARIANT text{}, bytes{}, ref{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString("some text");
    bytes.vt = VT_ARRAY | VT_UI1;
    SafeArrayFromBuffer("bytes", 5, &bytes.parray);
    BSTR referenced = SysAllocString("by reference");
    ref.vt = VT_BYREF | VT_BSTR;
    ref.pbstrVal = &referenced;
    struct Case {
        const char* what;
        const VARIANT* source;
        VARTYPE target;
    } cases[] = {{"text to bytes", &text, VT_ARRAY | VT_UI1}, {"bytes to text", &bytes, VT_BSTR},
                 {"text by reference", &ref, VT_BSTR}};
    for (const auto& c : cases) {
        FailEachAllocation(c.what, [&] {
            VARIANT out{};
            HRESULT hr = Armed([&] { return VariantChangeType(&out, c.source, 0, c.target); });
            ExpectSuccessOrNoMemory(hr, c.what);
            EXPECT_EQ(out.vt, Failed(hr) ? VARTYPE{VT_EMPTY} : c.target) << c.what;
            VariantClear(&out);
        });
    }
    FailEachAllocation("VariantCopyInd of a text", [&] {
        VARIANT out{};
        HRESULT hr = Armed([&] { return VariantCopyInd(&out, &ref); });
        ExpectSuccessOrNoMemory(hr, "VariantCopyInd");
        EXPECT_EQ(out.bstrVal == nullptr, Failed(hr)) << "never a success without the text";
        VariantClear(&out);
    });
    FailEachAllocation("VariantGetValue(wchar_t**)", [&] {
        wchar_t* out = nullptr;
        ExpectSuccessOrNoMemory(Armed([&] { return VariantGetValue(text, &out); }), "wchar_t**");
        std::free(out);
    });
    SysFreeString(referenced);
    VariantClear(&text);
    VariantClear(&bytes);
}

TEST(AllocFailure, CreationAndResizing) {
    FailEachAllocation("SafeArrayCreate", [] {
        SAFEARRAYBOUND bound{3, 0};
        SAFEARRAY* psa = Armed([&] { return SafeArrayCreate(VT_VARIANT, 1, &bound); });
        SafeArrayDestroy(psa);
    });
    FailEachAllocation("VariantCreateAndAccessData", [] {
        VARIANT v{};
        std::size_t bytes = 16;
        void* data = nullptr;
        HRESULT hr = Armed([&] { return VariantCreateAndAccessData(&v, VT_ARRAY | VT_I4, &bytes, &data, nullptr, 0); });
        ExpectSuccessOrNoMemory(hr, "VariantCreateAndAccessData");
        EXPECT_EQ(v.vt, Failed(hr) ? VT_EMPTY : VT_ARRAY | VT_I4) << "nothing left on failure";
        VariantClear(&v);
    });
    FailEachAllocation("SafeArrayRedim", [] {
        SAFEARRAY* psa = TextArray();
        SAFEARRAYBOUND grown{4, 1};
        HRESULT hr = Armed([&] { return SafeArrayRedim(psa, &grown); });
        ExpectSuccessOrNoMemory(hr, "SafeArrayRedim");
        EXPECT_EQ(psa->rgsabound[0].cElements, Failed(hr) ? 2u : 4u);
        SafeArrayDestroy(psa);
    });
}

}  // namespace
