/*
 * ComEnum.h - enumerators over a fixed array (the connection points of a
 * container, the sinks of a connection point).
 *
 * CComEnumImpl<Base, piid, T, Copy> implements the four operations of an
 * enumerator interface Base (IEnumConnections, IEnumConnectionPoints) over
 * the array [begin, end) of T; Copy is the element rule:
 *     static HRESULT copy(T* to, const T* from);  // adds what the receiver owns
 *     static void init(T* p);
 *     static void destroy(T* p);                  // gives it back
 * CComEnum makes it a component answering IUnknown and *piid.
 *
 * The array never changes once the enumerator is initialised, so only the
 * position is shared state: it moves atomically, and the elements are copied
 * out without any lock. Every element Next hands out carries a reference for
 * the caller; elements still owned by the enumerator are given back when it
 * is destroyed.
 */
#ifndef ZT_ATLCOM_COM_ENUM_H
#define ZT_ATLCOM_COM_ENUM_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/StandardInterfaces.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <new>

namespace ZtAtlCom {

// How Init treats the array it is given (bit 0: make a private copy, bit 1:
// the enumerator owns the array and its elements and frees them).
enum CComEnumFlags : DWORD {
    ZtEnumNoCopy = 0,          // shared; the owner reference keeps it alive
    ZtEnumTakeOwnership = 2,   // the array (made with new[]) and its elements are taken over
    ZtEnumCopy = 3,            // a private copy is made with the copy rule, and owned
};

// Copy rule of plain records; CONNECTDATA's sink pointer gets a reference.
template <class T>
struct _Copy {
    static HRESULT copy(T* to, const T* from) noexcept {
        *to = *from;
        return S_OK;
    }
    static void init(T*) noexcept {}
    static void destroy(T*) noexcept {}
};

template <>
struct _Copy<CONNECTDATA> {
    static HRESULT copy(CONNECTDATA* to, const CONNECTDATA* from) noexcept {
        *to = *from;
        if (to->pUnk) to->pUnk->AddRef();
        return S_OK;
    }
    static void init(CONNECTDATA*) noexcept {}
    static void destroy(CONNECTDATA* p) noexcept {
        if (p->pUnk) p->pUnk->Release();
    }
};

// Copy rule of interface pointers: the copy holds a reference.
template <class T>
struct _CopyInterface {
    static HRESULT copy(T** to, T* const* from) noexcept {
        *to = *from;
        if (*to) (*to)->AddRef();
        return S_OK;
    }
    static void init(T** p) noexcept { *p = nullptr; }
    static void destroy(T** p) noexcept {
        if (*p) (*p)->Release();
    }
};

template <class Base, const IID* piid, class T, class Copy, class ThreadModel>
class CComEnum;

template <class Base, const IID* piid, class T, class Copy>
class CComEnumImpl : public Base {
public:
    CComEnumImpl() noexcept = default;
    ~CComEnumImpl() { FreeOwned(); }

    /* Sets the array [begin, end) and the owner reference (may be null),
     * treated by flags (CComEnumFlags). With ZtEnumCopy the elements are
     * copied now: E_OUTOFMEMORY or the copy rule's failure leave the
     * enumerator empty. Call once, before the enumerator is handed out. */
    HRESULT Init(T* begin, T* end, IUnknown* pUnk, DWORD flags = ZtEnumNoCopy) noexcept {
        if (!begin || !end || end < begin) return E_INVALIDARG;
        FreeOwned();
        if (flags & 1u) {  // a private copy
            std::size_t n = static_cast<std::size_t>(end - begin);
            T* copy = new (std::nothrow) T[n ? n : 1];
            if (!copy) return E_OUTOFMEMORY;
            for (std::size_t i = 0; i < n; ++i) {
                Copy::init(&copy[i]);
                HRESULT hr = Copy::copy(&copy[i], &begin[i]);
                if (Failed(hr)) {
                    while (i > 0) Copy::destroy(&copy[--i]);
                    delete[] copy;
                    return hr;
                }
            }
            begin = copy;
            end = copy + n;
            flags |= ZtEnumTakeOwnership;
        }
        m_spUnk = pUnk;
        m_begin = begin;
        m_end = end;
        m_iter.store(begin);
        m_dwFlags = flags;
        return S_OK;
    }

    /* Copies up to celt elements out, each with a reference for the caller.
     * pcFetched is cleared first; a null rgelt, or celt above 1 with a null
     * pcFetched: E_POINTER; not initialised: E_FAIL. S_FALSE when fewer than
     * celt were left. */
    HRESULT Next(ULONG celt, T* rgelt, ULONG* pcFetched) override {
        if (pcFetched) *pcFetched = 0;
        if (!rgelt) return E_POINTER;
        if (celt > 1 && !pcFetched) return E_POINTER;
        if (!m_begin || !m_end) return E_FAIL;
        T* from = nullptr;
        std::size_t n = Advance(celt, from);
        if (!from) return E_FAIL;
        for (std::size_t i = 0; i < n; ++i) {
            HRESULT hr = Copy::copy(&rgelt[i], &from[i]);
            if (Failed(hr)) {
                while (i > 0) Copy::destroy(&rgelt[--i]);
                return hr;
            }
        }
        if (pcFetched) *pcFetched = static_cast<ULONG>(n);
        return n < celt ? S_FALSE : S_OK;
    }

    HRESULT Skip(ULONG celt) override {
        if (!m_begin || !m_end) return E_FAIL;
        T* from = nullptr;
        return Advance(celt, from) < celt ? S_FALSE : S_OK;
    }

    HRESULT Reset() override {
        m_iter.store(m_begin);
        return S_OK;
    }

    /* A new enumerator over the same array at the same position. It never
     * owns the array: its owner reference is this enumerator when this one
     * owns the array, else this one's owner, so the array outlives it. */
    HRESULT Clone(Base** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        if (!m_begin || !m_end) return E_FAIL;
        using Enum = CComEnum<Base, piid, T, Copy, CComObjectThreadModel>;
        CComObject<Enum>* clone = nullptr;
        HRESULT hr = CreateObject<Enum>(&clone);
        if (Failed(hr)) return hr;
        IUnknown* owner = (m_dwFlags & ZtEnumTakeOwnership) ? static_cast<Base*>(this) : m_spUnk.Get();
        hr = clone->Init(m_begin, m_end, owner, ZtEnumNoCopy);
        if (Succeeded(hr)) {
            clone->m_iter.store(m_iter.load());
            hr = clone->QueryInterface(*piid, reinterpret_cast<void**>(ppEnum));
        }
        clone->Release();
        return hr;
    }

private:
    // Claims up to celt elements from the position; from receives the first.
    std::size_t Advance(ULONG celt, T*& from) noexcept {
        T* current = m_iter.load();
        std::size_t n = 0;
        do {
            if (!current) return 0;
            n = std::min<std::size_t>(celt, static_cast<std::size_t>(m_end - current));
        } while (!m_iter.compare_exchange_weak(current, current + n));
        from = current;
        return n;
    }

    void FreeOwned() noexcept {
        if ((m_dwFlags & ZtEnumTakeOwnership) && m_begin) {
            for (T* p = m_begin; p != m_end; ++p) Copy::destroy(p);
            delete[] m_begin;
        }
        m_begin = m_end = nullptr;
        m_iter.store(nullptr);
        m_dwFlags = 0;
    }

    CComPtr<IUnknown> m_spUnk;
    T* m_begin = nullptr;
    T* m_end = nullptr;
    std::atomic<T*> m_iter{nullptr};
    DWORD m_dwFlags = 0;
};

/* The enumerator component, for example
 *     CComEnum<IEnumConnections, &IID_IEnumConnections, CONNECTDATA, _Copy<CONNECTDATA>>
 * made with CreateObject and filled with Init before it is handed out. */
template <class Base, const IID* piid, class T, class Copy, class ThreadModel = CComObjectThreadModel>
class CComEnum : public CComEnumImpl<Base, piid, T, Copy>, public CComObjectRootEx<ThreadModel> {
public:
    BEGIN_COM_MAP(CComEnum)
        COM_INTERFACE_ENTRY_IID(*piid, Base)
    END_COM_MAP()
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_COM_ENUM_H
