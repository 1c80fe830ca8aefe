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

TEST(SafeArray, DescriptorLayoutAndPrefix) {
    EXPECT_EQ(sizeof(SAFEARRAY), 32u);
    EXPECT_EQ(offsetof(SAFEARRAY, fFeatures), 2u);
    EXPECT_EQ(offsetof(SAFEARRAY, cbElements), 4u);
    EXPECT_EQ(offsetof(SAFEARRAY, cLocks), 8u);
    EXPECT_EQ(offsetof(SAFEARRAY, pvData), 16u);
    EXPECT_EQ(offsetof(SAFEARRAY, rgsabound), 24u);
    EXPECT_EQ(offsetof(SAFEARRAYBOUND, lLbound), 4u);

    SAFEARRAY* psa = nullptr;
    EXPECT_EQ(SafeArrayAllocDescriptor(0, &psa), E_INVALIDARG);
    ASSERT_EQ(SafeArrayAllocDescriptor(3, &psa), S_OK);
    const unsigned char zero[24] = {};
    EXPECT_EQ(psa->cDims, 3);
    EXPECT_EQ(std::memcmp(reinterpret_cast<char*>(psa) + 2, zero, 22), 0) << "other fields initialised";
    SafeArrayDestroyDescriptor(psa);

    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_DISPATCH, 1, &psa), S_OK);
    EXPECT_EQ(psa->fFeatures, FADF_HAVEIID);
    EXPECT_EQ(std::memcmp(Prefix(psa), &IID_IDispatch, 16), 0) << "element IID in the 16 bytes before";
    SafeArrayDestroyDescriptor(psa);
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_VARIANT, 1, &psa), S_OK);
    EXPECT_EQ(psa->fFeatures, FADF_HAVEVARTYPE);
    EXPECT_EQ(psa->cbElements, 24u);
    EXPECT_EQ(PrefixVartype(psa), VT_VARIANT) << "VARTYPE in the last 4 bytes before";
    SafeArrayDestroyDescriptor(psa);
}

TEST(SafeArray, BoundsAreStoredReversedAndIndexedInCallerOrder) {
    SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 10}};
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(psa->rgsabound[0].lLbound, 10) << "caller's last bound stored first";
    LONG ub1 = 0, ub2 = 0, unused = 0;
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub1), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &ub2), S_OK);
    EXPECT_EQ(ub1, 2);
    EXPECT_EQ(ub2, 11);
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &unused), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetLBound(psa, 3, &unused), E_INVALIDARG);
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
        void* p = psa->pvData;
        EXPECT_EQ(SafeArrayPtrOfIndex(psa, indices, &p), c.expected) << c.i0 << "," << c.i1;
        EXPECT_EQ(static_cast<unsigned char*>(p) - static_cast<unsigned char*>(psa->pvData), c.offset);
    }
    SafeArrayDestroy(psa);

    SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0x7FFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr) << "a size that does not fit";
    EXPECT_EQ(SafeArrayCreate(VT_RECORD, 1, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, bounds), nullptr) << "no element size";
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, bounds), nullptr);
}

TEST(SafeArray, VectorsCarryPrefixFeaturesAndData) {
    struct Case {
        VARTYPE vt;
        USHORT features;
        ULONG size;
    } cases[] = {
        {VT_UNKNOWN, 0x2240, 8}, {VT_DISPATCH, 0x2440, 8}, {VT_VARIANT, 0x2880, 24},
        {VT_BSTR, 0x2180, 8}, {VT_I2, 0x2080, 2}, {VT_UI1, 0x2080, 1},
    };
    for (const auto& c : cases) {
        SAFEARRAY* psa = SafeArrayCreateVector(c.vt, -2, 3);
        ASSERT_NE(psa, nullptr);
        EXPECT_EQ(psa->fFeatures, c.features) << c.vt;
        EXPECT_EQ(psa->cbElements, c.size) << c.vt;
        EXPECT_EQ(psa->rgsabound[0].cElements, 3u);
        EXPECT_EQ(psa->rgsabound[0].lLbound, -2);
        EXPECT_EQ(static_cast<unsigned char*>(psa->pvData), reinterpret_cast<unsigned char*>(psa) + 32)
            << "data right after the bound, 48 bytes into the block";
        EXPECT_TRUE(!(c.features & FADF_HAVEVARTYPE) || PrefixVartype(psa) == c.vt) << c.vt;
        SAFEARRAYBOUND more{4, 0};
        EXPECT_EQ(SafeArrayRedim(psa, &more), E_INVALIDARG) << "vectors keep their size";
        EXPECT_EQ(SafeArrayAllocData(psa), S_OK);
        EXPECT_EQ(static_cast<unsigned char*>(psa->pvData), reinterpret_cast<unsigned char*>(psa) + 32);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
    const GUID custom = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    SAFEARRAY* withIid = SafeArrayCreateVectorEx(VT_DISPATCH, 0, 1, const_cast<GUID*>(&custom));
    GUID got{};
    EXPECT_EQ(SafeArrayGetIID(withIid, &got), S_OK);
    EXPECT_EQ(got, custom);
    SafeArrayDestroy(withIid);
    SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 0, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
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
    EXPECT_EQ(fixed[1], 0) << "static data is zeroed, never freed";
}

TEST(SafeArray, CopyIsNeverAVectorAndOwnsItsElements) {
    SAFEARRAY* vector = SafeArrayCreateVector(VT_BSTR, 3, 2);
    LONG index = 3;
    BSTR one = SysAllocString("one");
    SafeArrayPutElement(vector, &index, &one);
    SysFreeString(one);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(vector, &copy), S_OK);
    EXPECT_EQ(copy->fFeatures, FADF_BSTR | FADF_HAVEVARTYPE);
    EXPECT_EQ(std::memcmp(copy->rgsabound, vector->rgsabound, 8), 0);
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

    SAFEARRAYBOUND three{3, 0}, threeElsewhere{3, 7}, four{4, 0};
    SAFEARRAY* x = SafeArrayCreate(VT_I4, 1, &three);
    SAFEARRAY* y = SafeArrayCreate(VT_I4, 1, &threeElsewhere);
    SAFEARRAY* z = SafeArrayCreate(VT_I4, 1, &four);
    static_cast<LONG*>(x->pvData)[2] = 42;
    EXPECT_EQ(SafeArrayCopyData(x, y), S_OK) << "lower bounds are not compared";
    EXPECT_EQ(static_cast<LONG*>(y->pvData)[2], 42);
    EXPECT_EQ(SafeArrayCopyData(x, z), E_INVALIDARG);
    for (SAFEARRAY* p : {x, y, z}) SafeArrayDestroy(p);
}

// The target's elements are released by their own kind only: arrays of
// different element kinds are refused before the target is touched.
TEST(SafeArray, CopyDataRefusesAnotherElementKind) {
    struct Case {
        VARTYPE source, target;
    } cases[] = {{VT_BSTR, VT_I8}, {VT_UNKNOWN, VT_BSTR}, {VT_I8, VT_BSTR}, {VT_BSTR, VT_DISPATCH}};
    auto filled = [](VARTYPE vt) {
        SAFEARRAY* psa = SafeArrayCreateVector(vt, 0, 2);
        for (LONG i = 0; i < 2; ++i) {
            if (vt == VT_BSTR) {
                BSTR text = SysAllocString(i ? "two" : "one");
                SafeArrayPutElement(psa, &i, &text);
                SysFreeString(text);
            } else if (vt == VT_I8) {
                LONGLONG wild = 0x123456789ABCDEF0 + i;  // freed as a text or released, it would crash
                SafeArrayPutElement(psa, &i, &wild);
            }
        }
        return psa;
    };
    for (const auto& c : cases) {
        SAFEARRAY* from = filled(c.source);
        SAFEARRAY* to = filled(c.target);
        const USHORT features = to->fFeatures;
        unsigned char before[16];
        std::memcpy(before, to->pvData, 16);
        EXPECT_EQ(SafeArrayCopyData(from, to), E_INVALIDARG) << c.source << " over " << c.target;
        EXPECT_EQ(to->fFeatures, features) << c.source << " over " << c.target;
        EXPECT_EQ(std::memcmp(before, to->pvData, 16), 0) << c.source << " over " << c.target;
        SafeArrayDestroy(from);
        SafeArrayDestroy(to);  // ASan reports a text that leaked or was freed twice
    }
}

TEST(SafeArray, RedimChangesTheLastDimension) {
    SAFEARRAYBOUND bound{3, 0}, grown{5, 1}, shrunk{1, 0};
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 1, &bound);
    for (LONG i = 0; i < 3; ++i) static_cast<LONG*>(psa->pvData)[i] = 10 + i;
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
    ASSERT_EQ(SafeArrayRedim(bstrs, &shrunk), S_OK);  // ASan reports the text if it stays
    SafeArrayDestroy(bstrs);

    SAFEARRAY* fixed = SafeArrayCreate(VT_I4, 1, &bound);
    struct Case {
        USHORT features;
        ULONG locks;
        HRESULT expected;
    } refusals[] = {{FADF_FIXEDSIZE, 0, E_INVALIDARG},
                    {FADF_STATIC, 0, E_INVALIDARG},  // data it does not own cannot grow
                    {0, 1, DISP_E_ARRAYISLOCKED}};
    const USHORT base = fixed->fFeatures;
    for (const auto& c : refusals) {
        fixed->fFeatures = base | c.features;
        fixed->cLocks = c.locks;
        EXPECT_EQ(SafeArrayRedim(fixed, &grown), c.expected) << c.features;
    }
    fixed->fFeatures = base;
    fixed->cLocks = 0;
    SafeArrayDestroy(fixed);
}

}  // namespace
