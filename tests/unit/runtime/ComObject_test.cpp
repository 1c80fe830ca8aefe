#include "ZtAtlCom/ComObject.h"

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ComPtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

using namespace ZtAtlCom;

struct ITestA : IDispatch {
    virtual HRESULT GetValue(int* value) = 0;
};
ZT_DECLARE_IID(ITestA, "6B1F6A10-0000-4000-8000-000000000001")
struct ITestA2 : ITestA {};
ZT_DECLARE_IID(ITestA2, "6B1F6A10-0000-4000-8000-000000000002")
struct ITestB : IUnknown {};
ZT_DECLARE_IID(ITestB, "{6b1f6a10-0000-4000-8000-000000000003}")
struct INotThere : IUnknown {};
ZT_DECLARE_IID(INotThere, "6B1F6A10-0000-4000-8000-0000000000FF")

int g_live = 0;          // CTestThing objects alive
bool g_failNew = false;  // CTestThing storage cannot be allocated

class CTestThing : public CComObjectRootEx<CComMultiThreadModel>,
                   public ITestA2,
                   public ITestB,
                   public ISupportErrorInfoImpl<&IID_ITestA2, &IID_ITestB> {
public:
    BEGIN_COM_MAP(CTestThing)
        COM_INTERFACE_ENTRY(ITestA2)
        COM_INTERFACE_ENTRY_IID(IID_ITestA, ITestA2)
        COM_INTERFACE_ENTRY(ITestB)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY2(IDispatch, ITestA2)
    END_COM_MAP()

    CTestThing() { ++g_live; }
    ~CTestThing() override { --g_live; }
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
        return g_failNew ? nullptr : ::operator new(size, std::nothrow);
    }
    static void operator delete(void* p) noexcept { ::operator delete(p); }

    HRESULT Init(int value) {
        if (value == 1000) throw std::out_of_range("value");
        if (value == 1001) throw std::invalid_argument("value");
        m_value = value;
        return value < 0 ? E_INVALIDARG : S_OK;
    }
    // Clean-up that takes and drops references on the object being destroyed.
    void FinalRelease() noexcept {
        ITestB* self = this;
        self->AddRef();
        self->Release();
        IUnknown* unknown = nullptr;
        self->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
        unknown->Release();
    }

    HRESULT GetValue(int* value) override { return *value = m_value, S_OK; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_FAIL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_FAIL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_FAIL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, tagVARIANT*, EXCEPINFO*, UINT*) override { return E_FAIL; }

    std::vector<int> m_coll;
    int m_value = 0;
};

class CThrowingThing : public CComObjectRootEx<CComObjectThreadModel>, public ITestB {
public:
    BEGIN_COM_MAP(CThrowingThing)
        COM_INTERFACE_ENTRY(ITestB)
    END_COM_MAP()
    CThrowingThing() { throw std::system_error(std::make_error_code(std::errc::io_error)); }
};

ULONG RefsOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

class ComObjectTest : public ::testing::Test {
protected:
    void TearDown() override {
        g_failNew = false;
        EXPECT_EQ(g_live, 0) << "an object leaked or was destroyed twice";
    }
};

TEST_F(ComObjectTest, CreateHandsOutOneReferenceOrNothing) {
    ITestA* a = nullptr;
    ASSERT_EQ(Create<CTestThing>(&a, 21), S_OK);
    int v = 0;
    a->GetValue(&v);
    EXPECT_EQ(v, 21);
    EXPECT_EQ(RefsOf(a), 1u);
    EXPECT_EQ(a->Release(), 0u);

    struct Case {
        const char* what;
        int argument;
        bool failNew;
        HRESULT expected;
    } failures[] = {
        {"Init returns a failure", -1, false, E_INVALIDARG},
        {"Init throws out_of_range", 1000, false, E_BOUNDS},
        {"Init throws invalid_argument", 1001, false, E_INVALIDARG},
        {"storage cannot be allocated", 1, true, E_OUTOFMEMORY},
    };
    for (const auto& c : failures) {
        g_failNew = c.failNew;
        ITestB* b = reinterpret_cast<ITestB*>(0x1);
        EXPECT_EQ(Create<CTestThing>(&b, c.argument), c.expected) << c.what;
        EXPECT_EQ(b, nullptr) << c.what;
        EXPECT_EQ(g_live, 0) << c.what;
    }
    g_failNew = false;
    EXPECT_EQ((Create<CTestThing, ITestB>(nullptr, 1)), E_POINTER);
    INotThere* missing = nullptr;
    EXPECT_EQ(Create<CTestThing>(&missing, 1), E_NOINTERFACE) << "the half-built object is destroyed";
    ITestB* b = nullptr;
    EXPECT_EQ(Create<CThrowingThing>(&b), E_UNEXPECTED) << "the constructor's exception, storage freed";
}

TEST_F(ComObjectTest, QueryInterfaceAnswersTheMapAndCountsReferences) {
    ITestA2* a2 = nullptr;
    ASSERT_EQ(Create<CTestThing>(&a2, 3), S_OK);
    ITestB* b = nullptr;
    ASSERT_EQ(a2->QueryInterface(IID_ITestB, reinterpret_cast<void**>(&b)), S_OK);
    // IUnknown from any sub-object is the first row's sub-object; the versioned
    // id and IDispatch are answered by the dual sub-object.
    void* got[4] = {};
    ASSERT_EQ(a2->QueryInterface(IID_IUnknown, &got[0]), S_OK);
    ASSERT_EQ(b->QueryInterface(IID_IUnknown, &got[1]), S_OK);
    ASSERT_EQ(b->QueryInterface(IID_ITestA, &got[2]), S_OK);
    ASSERT_EQ(b->QueryInterface(IID_IDispatch, &got[3]), S_OK);
    for (void* p : got) EXPECT_EQ(p, static_cast<void*>(a2));
    EXPECT_EQ(RefsOf(a2), 6u);

    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(b->QueryInterface(IID_INotThere, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(b->QueryInterface(IID_ITestA, nullptr), E_POINTER);
    EXPECT_EQ(RefsOf(a2), 6u);
    for (void* p : got) static_cast<ITestA2*>(p)->Release();
    b->Release();
    EXPECT_EQ(a2->Release(), 0u) << "destroyed once, though FinalRelease takes references";
}

TEST_F(ComObjectTest, InternalQueryInterfaceRefusesMissingObjectOrMap) {
    static const _COM_INTMAP_ENTRY empty[] = {{nullptr, 0}};
    int object = 0;
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(InternalQueryInterface(nullptr, empty, IID_IUnknown, &out), E_INVALIDARG);
    EXPECT_EQ(InternalQueryInterface(&object, nullptr, IID_IUnknown, &out), E_INVALIDARG);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1)) << "nothing written";
    EXPECT_EQ(InternalQueryInterface(&object, empty, IID_IUnknown, nullptr), E_POINTER);
    // An empty map has no identity: even IUnknown is refused and nothing is touched.
    EXPECT_EQ(InternalQueryInterface(&object, empty, IID_IUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ComObjectTest, ErrorInfoIsListedOnlyForTheClassInterfaces) {
    ISupportErrorInfo* info = nullptr;
    ASSERT_EQ(Create<CTestThing>(&info, 1), S_OK);
    for (const IID* iid : {&IID_ITestA2, &IID_ITestB})
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(*iid), S_OK);
    for (const IID* iid : {&IID_IDispatch, &IID_IUnknown, &IID_ISupportErrorInfo, &IID_ITestA})
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(*iid), S_FALSE);
    info->Release();
}

TEST_F(ComObjectTest, ExceptionsMapInTableOrder) {
    struct Case {
        const char* what;
        void (*raise)();
        HRESULT expected;
    } cases[] = {
        {"CAtlException", [] { ZtAtlThrow(MakeHResult(0x80041234u)); }, MakeHResult(0x80041234u)},
        {"bad_alloc", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"bad_array_new_length", [] { throw std::bad_array_new_length(); }, E_OUTOFMEMORY},
        {"out_of_range before logic_error", [] { throw std::out_of_range("x"); }, E_BOUNDS},
        {"bad_weak_ptr", [] { throw std::bad_weak_ptr(); }, E_POINTER},
        {"invalid_argument before logic_error", [] { throw std::invalid_argument("x"); }, E_INVALIDARG},
        {"length_error", [] { throw std::length_error("x"); }, MakeHResult(0x8007139Fu)},
        {"system_error", [] { throw std::system_error(std::make_error_code(std::errc::io_error)); }, E_UNEXPECTED},
        {"runtime_error", [] { throw std::runtime_error("x"); }, E_FAIL},
        {"int", [] { throw 7; }, E_FAIL},
    };
    for (const auto& c : cases) EXPECT_EQ(ZtAtlCall([&] { return c.raise(), S_OK; }), c.expected) << c.what;
    EXPECT_EQ(detail::HResultFromCurrentException(), E_FAIL) << "outside a handler";
}

TEST_F(ComObjectTest, ComPtrCountsCopiesAndNeverTouchesNull) {
    CComPtr<ITestA> a;
    ASSERT_EQ(Create<CTestThing>(a.ReleaseAndGetAddressOf(), 5), S_OK);
    std::vector<CComPtr<ITestA>> many(3, a);
    CComPtr<ITestA> moved = std::move(many[0]);
    EXPECT_EQ(many[0], nullptr);
    EXPECT_EQ(RefsOf(a), 4u);
    many.clear();
    CComPtr<ITestB> b;
    EXPECT_EQ(a.QueryInterface(b.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_TRUE(a.IsEqualObject(b));
    moved = nullptr;
    EXPECT_EQ(RefsOf(a), 2u);
}

TEST_F(ComObjectTest, ClonesCopyTheContainerOrARange) {
    CComObject<CTestThing>* source = nullptr;
    ASSERT_EQ(CreateObject<CTestThing>(&source, 1), S_OK);
    source->m_coll = {10, 20, 30, 40};
    CComPtr<ITestB> whole, part, bad;
    ASSERT_EQ(CreateClone<CTestThing>(whole.ReleaseAndGetAddressOf(), *source), S_OK);
    EXPECT_EQ(static_cast<CTestThing*>(whole.p)->m_coll, source->m_coll);
    ASSERT_EQ(CreateClone<CTestThing>(part.ReleaseAndGetAddressOf(), *source, 1, 3), S_OK);
    EXPECT_EQ(static_cast<CTestThing*>(part.p)->m_coll, (std::vector<int>{20, 30}));
    EXPECT_EQ(CreateClone<CTestThing>(bad.ReleaseAndGetAddressOf(), *source, 2, 5), E_INVALIDARG);
    EXPECT_EQ(bad, nullptr);
    EXPECT_EQ(detail::InitCComObject<CTestThing>(source, *source, 0, 1), S_OK);
    EXPECT_EQ(source->m_coll.size(), 4u) << "a copy onto itself changes nothing";
    source->Release();
}

}  // namespace
