#include "ZtAtlCom/ZtUnknown.h"

#include <gtest/gtest.h>

namespace {

using namespace ZtAtlCom;

struct IZtFirst : IZtUnknown {};
ZT_DECLARE_IID(IZtFirst, "9A6F0C21-0000-4000-8000-000000000001")
struct IZtSecond : IZtUnknown {};
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
        *ppv = nullptr;
        if (iid == IID_IZtFirst) *ppv = static_cast<IZtFirst*>(this);
        if (iid == IID_IZtSecond) *ppv = static_cast<IZtSecond*>(this);
        if (!*ppv) return ZT_E_NOINTERFACE;
        ZtAddRef();
        return S_OK;
    }
    ULONG Count() { return ZtAddRef(), ZtRelease(); }

private:
    ZtUnknownCount m_count;
    int* m_destroyed;
};

TEST(ZtUnknown, PointersQueryConvertAndKeepCountsBalanced) {
    int destroyed = 0;
    auto* object = new ZtBoth(&destroyed);
    {
        IZtFirstPtr first(static_cast<IZtFirst*>(object));
        IZtSecondPtr second(first);
        ASSERT_TRUE(second);
        EXPECT_EQ(object->Count(), 2u);
        IZtAbsentPtr absent(first);  // the query fails: null, no reference kept
        EXPECT_FALSE(absent);
        EXPECT_EQ(object->Count(), 2u);
        second = IZtFirstPtr();  // from a null source: released and cleared
        EXPECT_FALSE(second);

        object->ZtAddRef();
        ZtComPtrLite<IZtFirst> lite(static_cast<IZtFirst*>(object));  // adopts that reference
        ZtComPtrLite<IZtFirst> copy = lite;
        EXPECT_EQ(object->Count(), 3u);
        void* out = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(object->ZtQueryInterface(IID_IZtAbsent, &out), MakeHResult(0x9811071Au));
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
