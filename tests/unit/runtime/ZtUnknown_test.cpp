#include "ZtAtlCom/ZtUnknown.h"

#include <gtest/gtest.h>

namespace {

using namespace ZtAtlCom;

struct IZtFirst : IZtUnknown {
    virtual int First() = 0;
};
ZT_DECLARE_IID(IZtFirst, "9A6F0C21-0000-4000-8000-000000000001")

struct IZtSecond : IZtUnknown {
    virtual int Second() = 0;
};
ZT_DECLARE_IID(IZtSecond, "9A6F0C21-0000-4000-8000-000000000002")

struct IZtAbsent : IZtUnknown {};
ZT_DECLARE_IID(IZtAbsent, "9A6F0C21-0000-4000-8000-000000000003")

ZT_COM_SMARTPTR_TYPEDEF(IZtFirst);
ZT_COM_SMARTPTR_TYPEDEF(IZtSecond);
ZT_COM_SMARTPTR_TYPEDEF(IZtAbsent);

// An internal service object as the library writes them.
class ZtBoth final : public IZtFirst, public IZtSecond {
public:
    explicit ZtBoth(int* destroyed) : m_destroyed(destroyed) {}
    ~ZtBoth() { ++*m_destroyed; }

    ULONG ZtAddRef() override { return m_count.Increment(); }
    ULONG ZtRelease() override {
        ULONG n = m_count.Decrement();
        if (n == 0) delete this;
        return n;
    }
    HRESULT ZtQueryInterface(REFIID iid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (iid == IID_IZtFirst) *ppv = static_cast<IZtFirst*>(this);
        if (iid == IID_IZtSecond) *ppv = static_cast<IZtSecond*>(this);
        if (!*ppv) return ZT_E_NOINTERFACE;
        ZtAddRef();
        return S_OK;
    }
    int First() override { return 1; }
    int Second() override { return 2; }

    ULONG Count() {
        ZtAddRef();
        return ZtRelease();
    }

private:
    ZtUnknownCount m_count;
    int* m_destroyed;
};

TEST(ZtUnknown, ConvertingPointerQueriesAndKeepsCountsBalanced) {
    int destroyed = 0;
    auto* object = new ZtBoth(&destroyed);
    {
        IZtFirstPtr first(static_cast<IZtFirst*>(object));
        EXPECT_EQ(object->Count(), 1u);

        IZtSecondPtr second(first);
        ASSERT_TRUE(second);
        EXPECT_EQ(second->Second(), 2);
        EXPECT_EQ(object->Count(), 2u);

        IZtAbsentPtr absent(first);  // the query fails: null, no reference kept
        EXPECT_FALSE(absent);
        EXPECT_EQ(object->Count(), 2u);

        second = IZtFirstPtr();  // from a null source: released and cleared
        EXPECT_FALSE(second);
        EXPECT_EQ(object->Count(), 1u);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(ZtUnknown, UnknownIdAnswersTheServiceCode) {
    int destroyed = 0;
    auto* object = new ZtBoth(&destroyed);
    object->ZtAddRef();
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(object->ZtQueryInterface(IID_IZtAbsent, &out), MakeHResult(0x9811071Au));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->ZtRelease(), 0u);
    EXPECT_EQ(destroyed, 1);
}

TEST(ZtUnknown, LitePointerOwnsOneReference) {
    int destroyed = 0;
    auto* object = new ZtBoth(&destroyed);
    object->ZtAddRef();
    {
        ZtComPtrLite<IZtFirst> a(static_cast<IZtFirst*>(object));  // adopts
        ZtComPtrLite<IZtFirst> b = a;                               // adds one
        EXPECT_EQ(object->Count(), 2u);
        ZtComPtrLite<IZtFirst> c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(object->Count(), 2u);
        c.reset();
        EXPECT_EQ(object->Count(), 1u);
    }
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
