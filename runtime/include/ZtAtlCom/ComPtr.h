/*
 * ComPtr.h - owning pointer to a component interface.
 *
 * CComPtr<T> holds one reference: copying adds one (AddRef), destruction and
 * reassignment give the old one back (Release). A null pointer is never
 * touched. It has no overloaded operator&, so it is safe in standard
 * containers; use ReleaseAndGetAddressOf() where an out-pointer is needed.
 */
#ifndef ZT_ATLCOM_COM_PTR_H
#define ZT_ATLCOM_COM_PTR_H

#include "ZtAtlCom/Unknown.h"

#include <cstddef>
#include <utility>

namespace ZtAtlCom {

template <class T>
class CComPtr {
public:
    CComPtr() noexcept = default;
    CComPtr(std::nullptr_t) noexcept {}
    CComPtr(T* lp) noexcept : p(lp) {
        if (p) p->AddRef();
    }
    CComPtr(const CComPtr& other) noexcept : CComPtr(other.p) {}
    CComPtr(CComPtr&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
    ~CComPtr() {
        if (p) p->Release();
    }

    CComPtr& operator=(T* lp) noexcept {
        if (lp) lp->AddRef();
        Reset(lp);
        return *this;
    }
    CComPtr& operator=(const CComPtr& other) noexcept { return *this = other.p; }
    CComPtr& operator=(CComPtr&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.p, nullptr));
        return *this;
    }
    CComPtr& operator=(std::nullptr_t) noexcept {
        Reset(nullptr);
        return *this;
    }

    T* operator->() const noexcept { return p; }
    T& operator*() const noexcept { return *p; }
    operator T*() const noexcept { return p; }
    T* Get() const noexcept { return p; }

    // Gives up the held reference (if any) and returns the slot for an
    // out-parameter that delivers a new one.
    T** ReleaseAndGetAddressOf() noexcept {
        Reset(nullptr);
        return &p;
    }

    // Takes over a reference without AddRef; returns the held one without Release.
    void Attach(T* lp) noexcept { Reset(lp); }
    T* Detach() noexcept { return std::exchange(p, nullptr); }

    void Release() noexcept { Reset(nullptr); }

    // Copies the pointer with a reference added to *ppT; E_POINTER for null.
    HRESULT CopyTo(T** ppT) const noexcept {
        if (!ppT) return E_POINTER;
        *ppT = p;
        if (p) p->AddRef();
        return S_OK;
    }

    // Queries the held object for Q; E_POINTER for a null held pointer or out-pointer.
    template <class Q>
    HRESULT QueryInterface(Q** pp) const noexcept {
        if (!pp) return E_POINTER;
        *pp = nullptr;
        if (!p) return E_POINTER;
        return p->QueryInterface(iid_of<Q>(), reinterpret_cast<void**>(pp));
    }

    // True when both denote the same object (compared by their IUnknown identity).
    bool IsEqualObject(IUnknown* other) const noexcept {
        if (!p && !other) return true;
        if (!p || !other) return false;
        IUnknown* a = nullptr;
        IUnknown* b = nullptr;
        p->QueryInterface(iid_of<IUnknown>(), reinterpret_cast<void**>(&a));
        other->QueryInterface(iid_of<IUnknown>(), reinterpret_cast<void**>(&b));
        bool same = a && a == b;
        if (a) a->Release();
        if (b) b->Release();
        return same;
    }

    T* p = nullptr;

private:
    void Reset(T* lp) noexcept {
        T* old = std::exchange(p, lp);
        if (old) old->Release();
    }
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_COM_PTR_H
