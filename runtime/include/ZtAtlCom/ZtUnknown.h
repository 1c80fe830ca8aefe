/*
 * ZtUnknown.h - the counting root of the library's internal service objects
 * and the owning pointers over it.
 *
 * IZtUnknown is lighter than IUnknown and its slots are in a different order:
 * ZtAddRef, ZtQueryInterface, ZtRelease. An implementation keeps its count in
 * a ZtUnknownCount (the platform's interlocked operations), deletes itself
 * when ZtRelease reaches 0, and answers ZtQueryInterface like this:
 *
 *     HRESULT ZtQueryInterface(REFIID iid, void** ppv) override {
 *         if (!ppv) return E_POINTER;
 *         *ppv = nullptr;
 *         if (iid == iid_of<IZtThing>()) *ppv = static_cast<IZtThing*>(this);
 *         if (!*ppv) return ZT_E_NOINTERFACE;   // 0x9811071A, not E_NOINTERFACE
 *         ZtAddRef();
 *         return S_OK;
 *     }
 *
 * _zt_com_ptr_t<_zt_com_IIID<I>> owns a reference and converts between
 * interfaces by ZtQueryInterface; ZtComPtrLite<I> only owns (no queries).
 */
#ifndef ZT_ATLCOM_ZT_UNKNOWN_H
#define ZT_ATLCOM_ZT_UNKNOWN_H

#include "ZtAtlCom/Guid.h"
#include "ZtAtlCom/HResult.h"
#include "ZtPalDrvIf.h"

#include <cstddef>
#include <utility>

namespace ZtAtlCom {

struct IZtUnknown {
    virtual ULONG ZtAddRef() = 0;
    virtual HRESULT ZtQueryInterface(REFIID iid, void** ppvObject) = 0;
    virtual ULONG ZtRelease() = 0;
};

// The reference count of an IZtUnknown implementation; starts at 0.
class ZtUnknownCount {
public:
    ULONG Increment() noexcept { return static_cast<ULONG>(InterlockedIncrement(&m_count)); }
    ULONG Decrement() noexcept { return static_cast<ULONG>(InterlockedDecrement(&m_count)); }

private:
    volatile std::int32_t m_count = 0;
};

// Binds an interface type to its id: the declared one (Guid.h) or, when
// given, the constant piid points to.
template <class I, const IID* piid = nullptr>
struct _zt_com_IIID {
    using Interface = I;
    static constexpr const IID& GetIID() noexcept {
        if constexpr (piid != nullptr)
            return *piid;
        else
            return iid_of<I>();
    }
};

template <class IIID>
class _zt_com_ptr_t {
public:
    using Interface = typename IIID::Interface;

    _zt_com_ptr_t() noexcept = default;
    _zt_com_ptr_t(std::nullptr_t) noexcept {}
    // Takes a reference of its own unless addRef is false (adopting one).
    explicit _zt_com_ptr_t(Interface* p, bool addRef = true) noexcept : m_p(p) {
        if (m_p && addRef) m_p->ZtAddRef();
    }
    _zt_com_ptr_t(const _zt_com_ptr_t& other) noexcept : _zt_com_ptr_t(other.m_p) {}
    _zt_com_ptr_t(_zt_com_ptr_t&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}

    // From a pointer to another interface: the source is queried for this
    // interface's id; a failed query leaves this pointer null.
    template <class OtherIIID>
    _zt_com_ptr_t(const _zt_com_ptr_t<OtherIIID>& other) noexcept {
        AssignQueried(other.GetInterfacePtr());
    }
    template <class OtherIIID>
    _zt_com_ptr_t& operator=(const _zt_com_ptr_t<OtherIIID>& other) noexcept {
        AssignQueried(other.GetInterfacePtr());
        return *this;
    }

    ~_zt_com_ptr_t() {
        if (m_p) m_p->ZtRelease();
    }

    _zt_com_ptr_t& operator=(const _zt_com_ptr_t& other) noexcept {
        if (other.m_p) other.m_p->ZtAddRef();
        Reset(other.m_p);
        return *this;
    }
    _zt_com_ptr_t& operator=(_zt_com_ptr_t&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_p, nullptr));
        return *this;
    }
    _zt_com_ptr_t& operator=(std::nullptr_t) noexcept {
        Reset(nullptr);
        return *this;
    }

    static constexpr const IID& GetIID() noexcept { return IIID::GetIID(); }

    Interface* GetInterfacePtr() const noexcept { return m_p; }
    Interface* operator->() const noexcept { return m_p; }
    Interface& operator*() const noexcept { return *m_p; }
    operator Interface*() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    void Attach(Interface* p) noexcept { Reset(p); }
    Interface* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Release() noexcept { Reset(nullptr); }

private:
    void AssignQueried(IZtUnknown* source) noexcept {
        if (!source) {
            Reset(nullptr);
            return;
        }
        source->ZtAddRef();
        void* queried = nullptr;
        if (Failed(source->ZtQueryInterface(GetIID(), &queried))) queried = nullptr;
        Reset(static_cast<Interface*>(queried));
        source->ZtRelease();
    }

    void Reset(Interface* p) noexcept {
        Interface* old = std::exchange(m_p, p);
        if (old) old->ZtRelease();
    }

    Interface* m_p = nullptr;
};

// Owning pointer without queries: destruction calls ZtRelease.
template <class I>
class ZtComPtrLite {
public:
    ZtComPtrLite() noexcept = default;
    ZtComPtrLite(std::nullptr_t) noexcept {}
    // Adopts one reference the caller already holds.
    explicit ZtComPtrLite(I* p) noexcept : m_p(p) {}
    ZtComPtrLite(const ZtComPtrLite& other) noexcept : m_p(other.m_p) {
        if (m_p) m_p->ZtAddRef();
    }
    ZtComPtrLite(ZtComPtrLite&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ZtComPtrLite() {
        if (m_p) m_p->ZtRelease();
    }

    ZtComPtrLite& operator=(ZtComPtrLite other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    I* get() const noexcept { return m_p; }
    I* operator->() const noexcept { return m_p; }
    I& operator*() const noexcept { return *m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // Adopts p (no ZtAddRef), releasing what was held.
    void reset(I* p = nullptr) noexcept {
        I* old = std::exchange(m_p, p);
        if (old) old->ZtRelease();
    }
    I* release() noexcept { return std::exchange(m_p, nullptr); }

private:
    I* m_p = nullptr;
};

}  // namespace ZtAtlCom

// Declares IThingPtr as the owning pointer of IThing (whose id is declared).
#define ZT_COM_SMARTPTR_TYPEDEF(I) using I##Ptr = ::ZtAtlCom::_zt_com_ptr_t<::ZtAtlCom::_zt_com_IIID<I>>

#endif  // ZT_ATLCOM_ZT_UNKNOWN_H
