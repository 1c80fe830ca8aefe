#include "ZtAtlCom/SafeArray.h"

#include "ZtAtlCom/BStr.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

using namespace ZtAtlCom;

const unsigned char* Prefix(SAFEARRAY* psa) { return reinterpret_cast<unsigned char*>(psa) - 16; }

std::uint32_t PrefixVartype(SAFEARRAY* psa) {
    std::uint32_t vt;
    std::memcpy(&vt, Prefix(psa) + 12, 4);
    return vt;
}

TEST(SafeArray, DescriptorLayout) {
    EXPECT_EQ(sizeof(SAFEARRAYBOUND), 8u);
    EXPECT_EQ(sizeof(SAFEARRAY), 32u);
    EXPECT_EQ(offsetof(SAFEARRAY, cDims), 0u);
    EXPECT_EQ(offsetof(SAFEARRAY, fFeatures), 2u);
    EXPECT_EQ(offsetof(SAFEARRAY, cbElements), 4u);
    EXPECT_EQ(offsetof(SAFEARRAY, cLocks), 8u);
    EXPECT_EQ(offsetof(SAFEARRAY, pvData), 16u);
    EXPECT_EQ(offsetof(SAFEARRAY, rgsabound), 24u);
    EXPECT_EQ(offsetof(SAFEARRAYBOUND, lLbound), 4u);
}

TEST(SafeArray, DescriptorsAreInitialised) {
    SAFEARRAY* psa = nullptr;
    EXPECT_EQ(SafeArrayAllocDescriptor(0, &psa), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAllocDescriptor(1, nullptr), E_INVALIDARG);
    ASSERT_EQ(SafeArrayAllocDescriptor(3, &psa), S_OK);
    EXPECT_EQ(psa->cDims, 3);
    EXPECT_EQ(psa->fFeatures, 0);
    EXPECT_EQ(psa->cbElements, 0u);
    EXPECT_EQ(psa->cLocks, 0u);
    EXPECT_EQ(psa->pvData, nullptr);
    EXPECT_EQ(SafeArrayDestroyDescriptor(psa), S_OK);

    struct Case {
        VARTYPE vt;
        USHORT features;
        ULONG cbElements;
    } cases[] = {
        {VT_I4, FADF_HAVEVARTYPE, 4}, {VT_VARIANT, FADF_HAVEVARTYPE, 24}, {VT_BSTR, FADF_HAVEVARTYPE, 8},
        {VT_UNKNOWN, FADF_HAVEIID, 8}, {VT_DISPATCH, FADF_HAVEIID, 8}, {VT_RECORD, 0, 32},
        {VT_DECIMAL, FADF_HAVEVARTYPE, 0},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(SafeArrayAllocDescriptorEx(c.vt, 1, &psa), S_OK);
        EXPECT_EQ(psa->fFeatures, c.features) << c.vt;
        EXPECT_EQ(psa->cbElements, c.cbElements) << c.vt;
        if (c.features == FADF_HAVEVARTYPE) {
            EXPECT_EQ(PrefixVartype(psa), c.vt);
        }
        if (c.features == FADF_HAVEIID) {
            const IID& iid = c.vt == VT_UNKNOWN ? iid_of<IUnknown>() : iid_of<IDispatch>();
            EXPECT_EQ(std::memcmp(Prefix(psa), &iid, 16), 0) << c.vt;
        }
        SafeArrayDestroyDescriptor(psa);
    }
}

TEST(SafeArray, BoundsAreStoredReversedAndIndexedInCallerOrder) {
    SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 10}};
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(psa->rgsabound[0].lLbound, 10) << "caller's last bound stored first";
    LONG ub = 0;
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &ub), S_OK);
    EXPECT_EQ(ub, 11);
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &ub), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetLBound(psa, 3, &ub), E_INVALIDARG);
    ULONG count = 0;
    EXPECT_EQ(SafeArrayGetElementCount(psa, &count), S_OK);
    EXPECT_EQ(count, 6u);

    struct Case {
        LONG i0, i1;
        HRESULT expected;
        std::ptrdiff_t offset;
    } cases[] = {
        {0, 10, S_OK, 0}, {1, 10, S_OK, 4}, {0, 11, S_OK, 12}, {2, 11, S_OK, 20},
        {3, 10, DISP_E_BADINDEX, 0},  // lLbound + cElements
        {0, 12, DISP_E_BADINDEX, 0}, {-1, 10, DISP_E_BADINDEX, 0}, {0, 9, DISP_E_BADINDEX, 0},
    };
    for (const auto& c : cases) {
        LONG indices[2] = {c.i0, c.i1};
        void* p = nullptr;
        EXPECT_EQ(SafeArrayPtrOfIndex(psa, indices, &p), c.expected) << c.i0 << "," << c.i1;
        if (c.expected == S_OK) {
            EXPECT_EQ(static_cast<unsigned char*>(p) - static_cast<unsigned char*>(psa->pvData), c.offset);
        }
    }
    SafeArrayDestroy(psa);
}

TEST(SafeArray, CreateRefusals) {
    SAFEARRAYBOUND bound{4, 0};
    EXPECT_EQ(SafeArrayCreate(VT_RECORD, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVectorEx(VT_I4, 0, 1, nullptr), nullptr);
    SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
    SAFEARRAYBOUND more[2] = {{0xFFFFFFFFu, 0}, {0x7FFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr) << "size does not fit";
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, more), nullptr);
}

TEST(SafeArray, VectorsCarryPrefixFeaturesAndData) {
    const GUID custom = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    struct Case {
        VARTYPE vt;
        USHORT features;
        ULONG size;
    } cases[] = {
        {VT_UNKNOWN, 0x2240, 8}, {VT_DISPATCH, 0x2440, 8}, {VT_VARIANT, 0x2880, 24}, {VT_BSTR, 0x2180, 8},
        {VT_I2, 0x2080, 2}, {VT_UI1, 0x2080, 1}, {VT_R8, 0x2080, 8}, {VT_UINT_PTR, 0x2080, 8},
    };
    for (const auto& c : cases) {
        SAFEARRAY* psa = SafeArrayCreateVector(c.vt, -2, 3);
        ASSERT_NE(psa, nullptr);
        EXPECT_EQ(psa->fFeatures, c.features) << c.vt;
        EXPECT_EQ(psa->cbElements, c.size) << c.vt;
        EXPECT_EQ(psa->cDims, 1);
        EXPECT_EQ(psa->rgsabound[0].cElements, 3u);
        EXPECT_EQ(psa->rgsabound[0].lLbound, -2);
        EXPECT_EQ(static_cast<unsigned char*>(psa->pvData), reinterpret_cast<unsigned char*>(psa) + 32)
            << "data right after the bound, 48 bytes into the block";
        if (c.features & FADF_HAVEVARTYPE) {
            EXPECT_EQ(PrefixVartype(psa), c.vt);
        }
        SAFEARRAYBOUND more{4, 0};
        EXPECT_EQ(SafeArrayRedim(psa, &more), E_INVALIDARG) << "vectors keep their size";
        EXPECT_EQ(SafeArrayAllocData(psa), S_OK);
        EXPECT_EQ(static_cast<unsigned char*>(psa->pvData), reinterpret_cast<unsigned char*>(psa) + 32);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
    SAFEARRAY* withIid = SafeArrayCreateVectorEx(VT_DISPATCH, 0, 1, const_cast<GUID*>(&custom));
    GUID got{};
    EXPECT_EQ(SafeArrayGetIID(withIid, &got), S_OK);
    EXPECT_EQ(got, custom);
    SafeArrayDestroy(withIid);

    SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 0, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
}

TEST(SafeArray, VartypeByFeatures) {
    SAFEARRAY* disp = SafeArrayCreateVector(VT_DISPATCH, 0, 1);
    SAFEARRAY* ints = SafeArrayCreateVector(VT_I4, 0, 1);
    VARTYPE vt = 0;
    EXPECT_EQ(SafeArrayGetVartype(disp, &vt), S_OK);
    EXPECT_EQ(vt, VT_DISPATCH);
    EXPECT_EQ(SafeArrayGetVartype(ints, &vt), S_OK);
    EXPECT_EQ(vt, VT_I4);
    GUID iid{};
    EXPECT_EQ(SafeArrayGetIID(ints, &iid), E_INVALIDARG);

    // A stored VT_UNKNOWN with the dispatch kind reads VT_DISPATCH only as the actual type.
    ints->fFeatures |= FADF_DISPATCH;
    std::uint32_t unknown = VT_UNKNOWN;
    std::memcpy(reinterpret_cast<unsigned char*>(ints) - 4, &unknown, 4);
    EXPECT_EQ(SafeArrayGetVartype(ints, &vt), S_OK);
    EXPECT_EQ(vt, VT_UNKNOWN);
    EXPECT_EQ(SafeArrayGetActualVartype(ints, &vt), S_OK);
    EXPECT_EQ(vt, VT_DISPATCH);
    ints->fFeatures = FADF_CREATEVECTOR;
    EXPECT_EQ(SafeArrayGetVartype(ints, &vt), E_INVALIDARG);
    SafeArrayDestroy(disp);
    SafeArrayDestroy(ints);
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    EXPECT_EQ(SafeArrayGetElemsize(nullptr), 0u);
}

TEST(SafeArray, DestructionByStorageKind) {
    SAFEARRAY* vector = SafeArrayCreateVector(VT_BSTR, 0, 2);
    BSTR text = SysAllocString("x");
    LONG i = 1;
    SafeArrayPutElement(vector, &i, &text);
    SysFreeString(text);
    EXPECT_EQ(SafeArrayDestroyData(vector), S_OK);
    EXPECT_TRUE(vector->fFeatures & FADF_DATADELETED);
    BSTR left = nullptr;
    std::memcpy(&left, static_cast<char*>(vector->pvData) + 8, 8);
    EXPECT_EQ(left, nullptr) << "no dangling text stays in the data";
    EXPECT_EQ(SafeArrayDestroyDescriptor(vector), S_OK);

    SAFEARRAYBOUND bound{2, 0};
    SAFEARRAY* plain = SafeArrayCreate(VT_I4, 1, &bound);
    plain->cLocks = 1;
    EXPECT_EQ(SafeArrayDestroy(plain), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayDestroyData(plain), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayDestroyDescriptor(plain), DISP_E_ARRAYISLOCKED);
    plain->cLocks = 0;
    EXPECT_EQ(SafeArrayDestroyData(plain), S_OK);
    EXPECT_EQ(plain->pvData, nullptr);
    EXPECT_EQ(SafeArrayDestroy(plain), S_OK);

    LONG fixed[2] = {5, 6};
    SAFEARRAY* stat = nullptr;
    SafeArrayAllocDescriptorEx(VT_I4, 1, &stat);
    stat->fFeatures |= FADF_STATIC;
    stat->rgsabound[0].cElements = 2;
    stat->pvData = fixed;
    EXPECT_EQ(SafeArrayDestroy(stat), S_OK);
    EXPECT_EQ(fixed[0], 0) << "static data is zeroed, never freed";
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, CopyIsNeverAVectorAndOwnsItsElements) {
    SAFEARRAY* vector = SafeArrayCreateVector(VT_BSTR, 3, 2);
    BSTR texts[2] = {SysAllocString("one"), SysAllocString("two")};
    for (LONG i = 0; i < 2; ++i) {
        LONG index = 3 + i;
        SafeArrayPutElement(vector, &index, &texts[i]);
        SysFreeString(texts[i]);
    }
    SAFEARRAY* copy = reinterpret_cast<SAFEARRAY*>(0x1);
    ASSERT_EQ(SafeArrayCopy(vector, &copy), S_OK);
    EXPECT_FALSE(copy->fFeatures & FADF_CREATEVECTOR);
    EXPECT_EQ(copy->fFeatures, FADF_BSTR | FADF_HAVEVARTYPE);
    EXPECT_EQ(copy->rgsabound[0].lLbound, 3);
    EXPECT_EQ(copy->rgsabound[0].cElements, 2u);
    BSTR a, b;
    std::memcpy(&a, vector->pvData, 8);
    std::memcpy(&b, copy->pvData, 8);
    EXPECT_NE(a, b);
    EXPECT_STREQ(b, "one");
    EXPECT_EQ(SafeArrayDestroy(vector), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

    SAFEARRAY* untouched = reinterpret_cast<SAFEARRAY*>(0x1);
    EXPECT_EQ(SafeArrayCopy(nullptr, &untouched), S_OK);
    EXPECT_EQ(untouched, reinterpret_cast<SAFEARRAY*>(0x1));
    EXPECT_EQ(SafeArrayCopy(nullptr, nullptr), E_INVALIDARG);
}

TEST(SafeArray, CopyDataNeedsTheSameShape) {
    SAFEARRAYBOUND three{3, 0}, threeElsewhere{3, 7}, four{4, 0};
    SAFEARRAY* a = SafeArrayCreate(VT_I4, 1, &three);
    SAFEARRAY* b = SafeArrayCreate(VT_I4, 1, &threeElsewhere);
    SAFEARRAY* c = SafeArrayCreate(VT_I4, 1, &four);
    SAFEARRAY* d = SafeArrayCreate(VT_I2, 1, &three);
    static_cast<LONG*>(a->pvData)[2] = 42;
    EXPECT_EQ(SafeArrayCopyData(a, b), S_OK) << "lower bounds are not compared";
    EXPECT_EQ(static_cast<LONG*>(b->pvData)[2], 42);
    EXPECT_EQ(SafeArrayCopyData(a, c), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopyData(a, d), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopyData(a, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopyData(a, a), S_OK);
    for (SAFEARRAY* p : {a, b, c, d}) SafeArrayDestroy(p);
}

TEST(SafeArray, RedimGrowsAndShrinksTheLastDimension) {
    SAFEARRAYBOUND bound{3, 0};
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 1, &bound);
    for (LONG i = 0; i < 3; ++i) static_cast<LONG*>(psa->pvData)[i] = 10 + i;
    SAFEARRAYBOUND grown{5, 1};
    ASSERT_EQ(SafeArrayRedim(psa, &grown), S_OK);
    const LONG expected[5] = {10, 11, 12, 0, 0};
    EXPECT_EQ(std::memcmp(psa->pvData, expected, sizeof(expected)), 0);
    EXPECT_EQ(psa->rgsabound[0].lLbound, 1);
    SafeArrayDestroy(psa);

    SAFEARRAYBOUND texts{2, 0};
    SAFEARRAY* bstrs = SafeArrayCreate(VT_BSTR, 1, &texts);
    BSTR t = SysAllocString("dropped");
    LONG last = 1;
    SafeArrayPutElement(bstrs, &last, &t);
    SysFreeString(t);
    SAFEARRAYBOUND shrunk{1, 0};
    ASSERT_EQ(SafeArrayRedim(bstrs, &shrunk), S_OK);  // ASan reports the text if it stays
    SafeArrayDestroy(bstrs);

    SAFEARRAY* fixed = SafeArrayCreate(VT_I4, 1, &bound);
    fixed->fFeatures |= FADF_FIXEDSIZE;
    EXPECT_EQ(SafeArrayRedim(fixed, &grown), E_INVALIDARG);
    fixed->fFeatures = static_cast<USHORT>((fixed->fFeatures & ~FADF_FIXEDSIZE) | FADF_STATIC);
    EXPECT_EQ(SafeArrayRedim(fixed, &grown), E_INVALIDARG) << "data it does not own cannot grow";
    fixed->fFeatures &= static_cast<USHORT>(~FADF_STATIC);
    fixed->cLocks = 1;
    EXPECT_EQ(SafeArrayRedim(fixed, &grown), DISP_E_ARRAYISLOCKED);
    fixed->cLocks = 0;
    SafeArrayDestroy(fixed);
}

}  // namespace
