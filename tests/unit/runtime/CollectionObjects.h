// A collection class and its items, as the library's classes declare them,
// for the collection and enumerator tests.
#ifndef ZT_TESTS_RUNTIME_COLLECTION_OBJECTS_H
#define ZT_TESTS_RUNTIME_COLLECTION_OBJECTS_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtAtlCom/ZtCollection.h"

#include "TrackedObjects.h"

#include <atomic>
#include <string>
#include <vector>

namespace ZtTest {

using namespace ZtAtlCom;

struct ITestItem : IDispatch {
    virtual HRESULT get_Name(char* name) = 0;
};
ZT_DECLARE_IID(ITestItem, "5A1C0E20-0000-4000-8000-000000000001")
// A second interface of an item on a sub-object of its own, so that two
// pointers to one item differ while their identity is the same.
struct ITestItemView : ITestItem {};
ZT_DECLARE_IID(ITestItemView, "5A1C0E20-0000-4000-8000-000000000002")

struct ITestCollection : IDispatch {
    virtual HRESULT get__NewEnum(IUnknown** ppUnk) = 0;
    virtual HRESULT get_Item(int index, ITestItem** ppItem) = 0;
    virtual HRESULT get_Count(int* pCount) = 0;
    virtual HRESULT get_Size(int* pSize) = 0;
};
ZT_DECLARE_IID(ITestCollection, "5A1C0E20-0000-4000-8000-000000000003")

inline std::atomic<int> g_liveItems{0};
inline std::atomic<int> g_liveCollections{0};

// An item named by one letter; when answersDispatch is false its map leaves
// IDispatch out (a dual interface whose object refuses late binding).
template <bool answersDispatch>
class CTestItemT : public CComObjectRootEx<CComMultiThreadModel>,
                   public IDispatchImpl<ITestItem, &IID_ITestItem>,
                   public IDispatchImpl<ITestItemView, &IID_ITestItemView> {
public:
    using Main = IDispatchImpl<ITestItem, &IID_ITestItem>;
    BEGIN_COM_MAP(CTestItemT)
        COM_INTERFACE_ENTRY2(ITestItem, Main)
        COM_INTERFACE_ENTRY(ITestItemView)
        {answersDispatch ? &IID_IDispatch : &IID_ITestItem, ::ZtAtlCom::detail::OffsetOfClass2<IDispatch, Main, CTestItemT>()},
    END_COM_MAP()

    CTestItemT() { ++g_liveItems; }
    ~CTestItemT() override { --g_liveItems; }
    HRESULT Init(char name) { return m_name = name, S_OK; }
    HRESULT get_Name(char* name) override { return *name = m_name, S_OK; }
    char m_name = '?';
};
using CTestItem = CTestItemT<true>;
using CHiddenItem = CTestItemT<false>;

class CTestCollection
    : public CComObjectRootEx<CComMultiThreadModel>,
      public IZtVectorOnSTLImpl<ITestCollection, CTestCollection, IDispatchImpl<ITestCollection, &IID_ITestCollection>,
                                ITestItem, &IID_ITestItem> {
public:
    BEGIN_COM_MAP(CTestCollection)
        COM_INTERFACE_ENTRY(ITestCollection)
        COM_INTERFACE_ENTRY2(IDispatch, ITestCollection)
    END_COM_MAP()
    CTestCollection() { ++g_liveCollections; }
    ~CTestCollection() override { --g_liveCollections; }
};

inline CComPtr<ITestItem> MakeItem(char name, bool answersDispatch = true) {
    CComPtr<ITestItem> item;
    if (answersDispatch)
        Create<CTestItem>(item.ReleaseAndGetAddressOf(), name);
    else
        Create<CHiddenItem>(item.ReleaseAndGetAddressOf(), name);
    return item;
}

inline char NameOf(IUnknown* p) {
    CComPtr<ITestItem> item;
    if (!p || Failed(p->QueryInterface(IID_ITestItem, reinterpret_cast<void**>(item.ReleaseAndGetAddressOf()))))
        return '!';
    char name = '?';
    item->get_Name(&name);
    return name;
}

// The names of a collection's items in order, read through its interface.
inline std::string Names(ITestCollection* collection) {
    std::string names;
    int count = 0;
    collection->get_Count(&count);
    for (int i = 0; i < count; ++i) {
        CComPtr<ITestItem> item;
        collection->get_Item(i, item.ReleaseAndGetAddressOf());
        names += NameOf(item);
    }
    return names;
}

}  // namespace ZtTest

#endif  // ZT_TESTS_RUNTIME_COLLECTION_OBJECTS_H
