/*
 * ZtCollection.h - collection components: a vector of item references behind
 * a dual collection interface, with an IEnumVARIANT enumerator.
 *
 * A collection interface derives from IDispatch and declares, in this order,
 *     get__NewEnum(IUnknown**), get_Item(int, Item**), get_Count(int*), get_Size(int*)
 * A class implements it with IZtVectorOnSTLImpl:
 *
 *     class CZtThingCollection
 *         : public CComObjectRootEx<CComMultiThreadModel>,
 *           public IZtVectorOnSTLImpl<IZtThingCollection, CZtThingCollection,
 *                                     IDispatchImpl<IZtThingCollection, &IID_IZtThingCollection>,
 *                                     IZtThing, &IID_IZtThing, IZtThing> {
 *     public:
 *         BEGIN_COM_MAP(CZtThingCollection)
 *             COM_INTERFACE_ENTRY(IZtThingCollection)
 *             COM_INTERFACE_ENTRY2(IDispatch, IZtThingCollection)
 *         END_COM_MAP()
 *     };
 *     // Filled by moving a vector in (Init below) or with Add:
 *     Create<CZtThingCollection>(&collection, std::move(things));
 *
 * Contents: m_coll, a std::vector<CComPtr<Item>>, one reference per element.
 * Indices start at 0. The vector is guarded by the class's object lock: every
 * operation here takes it, and only while it reads or changes the vector;
 * items are queried and released after it is dropped. Code of the class that
 * touches m_coll itself holds the lock (ObjectLock lock(this)) and does not
 * call these operations meanwhile (the lock is not recursive). Enumerators
 * walk the live vector (ComEnumOnSTL.h) and keep the collection alive.
 *
 * The vector operations (RemoveAll ... ToSafeArray) are not part of the
 * collection interface; the class reaches them directly. No operation throws.
 */
#ifndef ZT_ATLCOM_ZT_COLLECTION_H
#define ZT_ATLCOM_ZT_COLLECTION_H

#include "ZtAtlCom/ComEnumOnSTL.h"
#include "ZtAtlCom/SafeArray.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <type_traits>
#include <vector>

namespace ZtAtlCom {

// Types of a collection of Item interfaces (held as CComPtr<Stored>).
template <class Item, const IID* piidItem, class Stored = Item>
struct IZtVectorOnSTLTraits {
    static_assert(std::is_convertible_v<Item*, Stored*>, "items are stored as the item interface");
    using ItemType = Item;
    using StoredType = Stored;
    using CollType = std::vector<CComPtr<Stored>>;
    using CopyType = _CopyVariantFromItf<Stored>;
    using EnumType = CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT, CopyType, CollType, CComObjectThreadModel>;
    static constexpr const IID* ItemIid = piidItem;
};

// The four operations of a collection interface, over m_coll.
template <class Itf, class Class, class DispBase, class Traits>
class IZtCollectionOnSTLImpl : public DispBase {
public:
    using ItemType = typename Traits::ItemType;
    using StoredType = typename Traits::StoredType;
    using CollType = typename Traits::CollType;
    using EnumType = typename Traits::EnumType;

    // A new enumerator at the first item; it holds a reference on this collection.
    HRESULT get__NewEnum(IUnknown** ppUnk) override {
        if (!ppUnk) return E_POINTER;
        *ppUnk = nullptr;
        return Create<EnumType, IUnknown>(ppUnk, static_cast<Itf*>(this), m_coll, &CollectionLock());
    }

    // The item at index with a reference of the caller's; E_INVALIDARG outside [0, count).
    HRESULT get_Item(int index, ItemType** ppItem) override {
        if (!ppItem) return E_POINTER;
        *ppItem = nullptr;
        CComPtr<StoredType> item;
        {
            std::lock_guard<std::mutex> lock(CollectionLock());
            if (index < 0 || static_cast<std::size_t>(index) >= m_coll.size()) return E_INVALIDARG;
            item = m_coll[static_cast<std::size_t>(index)];
        }
        if (!item) return E_POINTER;
        return item->QueryInterface(*Traits::ItemIid, reinterpret_cast<void**>(ppItem));
    }

    HRESULT get_Count(int* pCount) override {
        if (!pCount) return E_POINTER;
        std::lock_guard<std::mutex> lock(CollectionLock());
        *pCount = static_cast<int>(m_coll.size());
        return S_OK;
    }

    HRESULT get_Size(int* pSize) override { return get_Count(pSize); }

    // Create's hand-over: the items are moved in, in order; null ones are dropped.
    HRESULT Init(CollType&& items) {
        std::lock_guard<std::mutex> lock(CollectionLock());
        m_coll = std::move(items);
        std::erase_if(m_coll, [](const auto& item) { return !item; });
        return S_OK;
    }

    // InitCComObject's hooks (clones): the source's items [first, last), each
    // with a reference added, read under the source's lock.
    HRESULT CopyStateFrom(const Class& source) {
        std::lock_guard<std::mutex> lock(source.CollectionLock());
        m_coll = source.m_coll;
        return S_OK;
    }
    HRESULT CopyStateFrom(const Class& source, int first, int last) {
        std::lock_guard<std::mutex> lock(source.CollectionLock());
        if (!source.ValidRange(first, last)) return E_INVALIDARG;
        m_coll.assign(source.m_coll.begin() + first, source.m_coll.begin() + last);
        return S_OK;
    }

    CollType m_coll;

protected:
    std::mutex& CollectionLock() const { return static_cast<const Class*>(this)->m_mutex; }

    // A non-empty range within the vector (the caller holds the lock).
    bool ValidRange(int first, int last) const {
        return first >= 0 && first < last && static_cast<std::size_t>(last) <= m_coll.size();
    }
};

/* The collection with its vector operations, which the class calls directly:
 *   RemoveAll()                 releases every item, last to first
 *   Clone(out)                  a new collection of the same class with the same items
 *   RemoveRange(first, last)    releases the items [first, last); later ones move down
 *   Remove(item)                the first item with item's identity (S_FALSE when none)
 *   SetAt(index, item)          replaces the item at index
 *   CloneRange(first, last, out) a new collection of the items [first, last)
 *   Add(item)                   appends with a reference added
 *   ToSafeArray(out)            a VT_VARIANT array (lower bound 0) of the items as VT_DISPATCH
 * A null item or a range that is empty or outside the vector: E_INVALIDARG;
 * a null out-pointer: E_POINTER. */
// An interface may have operations of its own named Add or Remove (the
// argument list has Add(VARIANT) and Remove(int)); the vector operations take
// other arguments and sit beside them. A class that overrides such an
// operation reaches the vector one as IZtVectorOnSTLImpl::Add(item).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Woverloaded-virtual"
template <class Itf, class Class, class DispBase, class Item, const IID* piidItem, class Stored = Item,
          class Traits = IZtVectorOnSTLTraits<Item, piidItem, Stored>>
class IZtVectorOnSTLImpl : public IZtCollectionOnSTLImpl<Itf, Class, DispBase, Traits> {
    using Base = IZtCollectionOnSTLImpl<Itf, Class, DispBase, Traits>;

public:
    using typename Base::CollType;
    using typename Base::StoredType;

    virtual ~IZtVectorOnSTLImpl() = default;

    HRESULT RemoveAll() {
        CollType removed;
        {
            std::lock_guard<std::mutex> lock(this->CollectionLock());
            removed.swap(this->m_coll);
        }
        while (!removed.empty()) removed.pop_back();
        return S_OK;
    }

    HRESULT Clone(Itf** ppColl) { return CreateClone<Class, Itf>(ppColl, Self()); }

    HRESULT RemoveRange(int first, int last) {
        CollType removed;  // released after the lock is dropped
        return ZtAtlCall([&]() -> HRESULT {
            std::lock_guard<std::mutex> lock(this->CollectionLock());
            if (!this->ValidRange(first, last)) return E_INVALIDARG;
            auto begin = this->m_coll.begin() + first;
            auto end = this->m_coll.begin() + last;
            removed.assign(std::make_move_iterator(begin), std::make_move_iterator(end));
            this->m_coll.erase(begin, end);
            return S_OK;
        });
    }

    // Items are compared by their IUnknown identity, which is asked for
    // outside the lock on a snapshot of the vector.
    HRESULT Remove(Item* item) {
        if (!item) return E_INVALIDARG;
        return ZtAtlCall([&]() -> HRESULT {
            CComPtr<IUnknown> identity = IdentityOf(item);
            CollType snapshot = Snapshot();
            StoredType* match = nullptr;
            for (const auto& element : snapshot) {
                if (element && identity && IdentityOf(element) == identity) {
                    match = element;
                    break;
                }
            }
            if (!match) return S_FALSE;
            CComPtr<StoredType> removed;
            std::lock_guard<std::mutex> lock(this->CollectionLock());
            auto it = std::find(this->m_coll.begin(), this->m_coll.end(), match);
            if (it == this->m_coll.end()) return S_FALSE;  // removed meanwhile
            removed = std::move(*it);
            this->m_coll.erase(it);
            // removed is released after the lock (declared before it)
            return S_OK;
        });
    }

    HRESULT SetAt(int index, Item* item) {
        if (!item) return E_INVALIDARG;
        CComPtr<StoredType> old;
        std::lock_guard<std::mutex> lock(this->CollectionLock());
        if (index < 0 || static_cast<std::size_t>(index) >= this->m_coll.size()) return E_INVALIDARG;
        auto& slot = this->m_coll[static_cast<std::size_t>(index)];
        if (slot.p == item) return S_OK;
        old = std::move(slot);
        slot = static_cast<StoredType*>(item);
        return S_OK;
    }

    HRESULT CloneRange(int first, int last, Itf** ppColl) {
        {
            std::lock_guard<std::mutex> lock(this->CollectionLock());
            if (!this->ValidRange(first, last)) return E_INVALIDARG;
        }
        if (!ppColl) return E_POINTER;
        return CreateClone<Class, Itf>(ppColl, Self(), first, last);
    }

    HRESULT Add(Item* item) {
        if (!item) return E_INVALIDARG;
        return ZtAtlCall([&]() -> HRESULT {
            CComPtr<StoredType> added(static_cast<StoredType*>(item));  // released again if growing throws
            std::lock_guard<std::mutex> lock(this->CollectionLock());
            this->m_coll.push_back(std::move(added));
            return S_OK;
        });
    }

    HRESULT ToSafeArray(SAFEARRAY** ppsa) {
        if (!ppsa) return E_POINTER;
        *ppsa = nullptr;
        return ZtAtlCall([&]() -> HRESULT {
            CollType snapshot = Snapshot();
            SAFEARRAYBOUND bound{static_cast<ULONG>(snapshot.size()), 0};
            SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 1, &bound);
            if (!psa) return E_OUTOFMEMORY;
            auto* elements = static_cast<VARIANT*>(psa->pvData);
            HRESULT hr = S_OK;
            for (std::size_t i = 0; i < snapshot.size() && Succeeded(hr); ++i) {
                void* p = nullptr;
                hr = snapshot[i] ? snapshot[i]->QueryInterface(iid_of<IDispatch>(), &p) : E_POINTER;
                if (Succeeded(hr) && !p) hr = E_NOINTERFACE;
                if (Succeeded(hr)) {
                    elements[i].vt = VT_DISPATCH;
                    elements[i].pdispVal = static_cast<IDispatch*>(p);
                }
            }
            if (Failed(hr)) {
                SafeArrayDestroy(psa);  // releases the items already placed
                return hr;
            }
            *ppsa = psa;
            return S_OK;
        });
    }

private:
    const Class& Self() const { return *static_cast<const Class*>(this); }

    CollType Snapshot() const {
        std::lock_guard<std::mutex> lock(this->CollectionLock());
        return this->m_coll;
    }

    static CComPtr<IUnknown> IdentityOf(IUnknown* p) {
        CComPtr<IUnknown> identity;
        if (p) p->QueryInterface(iid_of<IUnknown>(), reinterpret_cast<void**>(identity.ReleaseAndGetAddressOf()));
        return identity;
    }
};
#pragma GCC diagnostic pop

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_ZT_COLLECTION_H
