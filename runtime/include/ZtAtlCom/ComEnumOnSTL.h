/*
 * ComEnumOnSTL.h - the IEnumVARIANT enumerator over a collection's vector.
 *
 * CComEnumOnSTL walks the live vector of its collection (a pointer to it, not
 * a copy), so items added or removed while an enumerator exists are seen by
 * it; it holds one reference on the collection so that the vector outlives
 * it. The position is an index, checked against the vector's current size at
 * every step, so a vector that shrinks under an enumerator ends it early
 * instead of reading past its end. Both the vector and the position are
 * guarded by the lock handed to Init (the collection's object lock), which is
 * held only while one element is taken, never while an item is queried.
 *
 * Collections make their enumerators themselves (get__NewEnum in
 * ZtCollection.h); a class needs these templates directly only for a
 * container of its own.
 */
#ifndef ZT_ATLCOM_COM_ENUM_ON_STL_H
#define ZT_ATLCOM_COM_ENUM_ON_STL_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/StandardInterfaces.h"

#include <cstddef>
#include <mutex>

namespace ZtAtlCom {

/* Copy rule from a CComPtr<Item> element to a VARIANT: VT_DISPATCH holding
 * the item queried for IDispatch, else VT_UNKNOWN holding it queried for
 * IUnknown; either holds one reference for the receiver. A null element gives
 * E_POINTER, an item answering neither the failure of the IUnknown query;
 * the VARIANT is then left empty. */
template <class Item>
struct _CopyVariantFromItf {
    static HRESULT copy(VARIANT* to, const CComPtr<Item>* from) noexcept {
        if (!to) return E_POINTER;
        VariantInit(to);
        if (!from || !from->p) return E_POINTER;
        void* p = nullptr;
        if (Succeeded(from->p->QueryInterface(iid_of<IDispatch>(), &p)) && p) {
            to->vt = VT_DISPATCH;
            to->pdispVal = static_cast<IDispatch*>(p);
            return S_OK;
        }
        p = nullptr;
        HRESULT hr = from->p->QueryInterface(iid_of<IUnknown>(), &p);
        if (Succeeded(hr) && p) {
            to->vt = VT_UNKNOWN;
            to->punkVal = static_cast<IUnknown*>(p);
            return S_OK;
        }
        return Failed(hr) ? hr : E_NOINTERFACE;
    }
    static void init(VARIANT* p) noexcept { VariantInit(p); }
    static void destroy(VARIANT* p) noexcept { VariantClear(p); }
};

template <class Base, const IID* piid, class T, class Copy, class CollType, class ThreadModel>
class CComEnumOnSTL;

// The enumerator operations; CComEnumOnSTL makes them a component.
template <class Base, const IID* piid, class T, class Copy, class CollType>
class IEnumOnSTLImpl : public Base {
public:
    /* owner: the object that owns the collection; one reference is held
     * until the enumerator is destroyed (null when the collection outlives
     * the enumerator by other means). lock: the mutex that guards the
     * collection (the owner's object lock); it also guards the position.
     * Null only when neither the collection nor the enumerator is shared
     * between threads. */
    HRESULT Init(IUnknown* owner, CollType& collection, std::mutex* lock = nullptr) noexcept {
        m_spUnk = owner;
        m_pcollection = &collection;
        m_pLock = lock;
        m_pos = 0;
        return S_OK;
    }

    /* Fills up to celt elements from the current position. A null rgelt, or
     * celt above 1 with a null pceltFetched: E_POINTER; not initialised:
     * E_FAIL. An element that cannot be copied clears every element filled by
     * this call and its failure is returned with nothing fetched. */
    HRESULT Next(ULONG celt, T* rgelt, ULONG* pceltFetched) override {
        if (!rgelt) return E_POINTER;
        if (celt > 1 && !pceltFetched) return E_POINTER;
        if (pceltFetched) *pceltFetched = 0;
        if (!m_pcollection) return E_FAIL;
        ULONG fetched = 0;
        while (fetched < celt) {
            typename CollType::value_type element;
            if (!TakeNext(element)) break;
            HRESULT hr = Copy::copy(&rgelt[fetched], &element);
            if (Failed(hr)) {
                for (ULONG i = 0; i < fetched; ++i) Copy::destroy(&rgelt[i]);
                return hr;
            }
            ++fetched;
        }
        if (pceltFetched) *pceltFetched = fetched;
        return fetched < celt ? S_FALSE : S_OK;
    }

    // S_FALSE when the end came before celt elements were passed.
    HRESULT Skip(ULONG celt) override {
        if (celt == 0) return S_OK;
        if (!m_pcollection) return E_FAIL;
        auto guard = Guard();
        std::size_t size = m_pcollection->size();
        std::size_t remaining = m_pos < size ? size - m_pos : 0;
        if (celt > remaining) {
            m_pos = size;
            return S_FALSE;
        }
        m_pos += celt;
        return S_OK;
    }

    HRESULT Reset() override {
        if (!m_pcollection) return E_FAIL;
        auto guard = Guard();
        m_pos = 0;
        return S_OK;
    }

    // A new enumerator over the same collection and owner, at the same position.
    HRESULT Clone(Base** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        if (!m_pcollection) return E_FAIL;
        using Enum = CComEnumOnSTL<Base, piid, T, Copy, CollType, CComObjectThreadModel>;
        CComObject<Enum>* clone = nullptr;
        HRESULT hr = CreateObject<Enum>(&clone);
        if (Failed(hr)) return hr;
        clone->Init(m_spUnk, *m_pcollection, m_pLock);
        {
            auto guard = Guard();
            clone->m_pos = m_pos;
        }
        hr = clone->QueryInterface(*piid, reinterpret_cast<void**>(ppEnum));
        clone->Release();
        return hr;
    }

protected:
    std::unique_lock<std::mutex> Guard() const {
        return m_pLock ? std::unique_lock<std::mutex>(*m_pLock) : std::unique_lock<std::mutex>();
    }

    // Takes the element at the position and advances; false at the end.
    bool TakeNext(typename CollType::value_type& element) {
        auto guard = Guard();
        if (m_pos >= m_pcollection->size()) return false;
        element = (*m_pcollection)[m_pos++];
        return true;
    }

    CComPtr<IUnknown> m_spUnk;
    CollType* m_pcollection = nullptr;
    std::size_t m_pos = 0;
    std::mutex* m_pLock = nullptr;
};

/* The enumerator component: answers IUnknown and *piid (for collections
 * IEnumVARIANT). Used as
 *     CComEnumOnSTL<IEnumVARIANT, &IID_IEnumVARIANT, VARIANT,
 *                   _CopyVariantFromItf<IZtThing>, std::vector<CComPtr<IZtThing>>>
 */
template <class Base, const IID* piid, class T, class Copy, class CollType,
          class ThreadModel = CComObjectThreadModel>
class CComEnumOnSTL : public IEnumOnSTLImpl<Base, piid, T, Copy, CollType>,
                      public CComObjectRootEx<ThreadModel> {
public:
    BEGIN_COM_MAP(CComEnumOnSTL)
        COM_INTERFACE_ENTRY_IID(*piid, Base)
    END_COM_MAP()
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_COM_ENUM_ON_STL_H
