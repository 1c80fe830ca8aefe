/*
 * ComObject.h - reference-counted components with table-driven interface
 * lookup.
 *
 * A component class T derives first from CComObjectRootEx<ThreadModel>, then
 * from its interfaces, and declares an interface map:
 *
 *     class CZtThing : public CComObjectRootEx<CComMultiThreadModel>,
 *                      public IZtThing3,            // dual, answers 3 ids
 *                      public ISupportErrorInfoImpl<&IID_IZtThing3> {
 *     public:
 *         BEGIN_COM_MAP(CZtThing)
 *             COM_INTERFACE_ENTRY(IZtThing3)        // first row: identity
 *             COM_INTERFACE_ENTRY_IID(IID_IZtThing2, IZtThing3)
 *             COM_INTERFACE_ENTRY(ISupportErrorInfo)
 *             COM_INTERFACE_ENTRY2(IDispatch, IZtThing3)
 *         END_COM_MAP()
 *         ...
 *     };
 *
 * The live object is always CComObject<T>, made by Create (ComCreate.h). The
 * first row of the map also answers IUnknown; IUnknown is never listed.
 * AddRef, Release and QueryInterface may be called from any thread; state of
 * T is guarded by the object lock (ObjectLock), never held while calling out.
 */
#ifndef ZT_ATLCOM_COM_OBJECT_H
#define ZT_ATLCOM_COM_OBJECT_H

#include "ZtAtlCom/Dispatch.h"
#include "ZtAtlCom/Unknown.h"

#include <atomic>
#include <mutex>

namespace ZtAtlCom {

// One row of an interface map: the id answered and the distance in bytes from
// the start of the object to the interface sub-object. A null piid ends it.
struct _COM_INTMAP_ENTRY {
    const IID* piid;
    std::uintptr_t dw;
};

/* Looks iid up in the map of the object at pThis. IUnknown is answered by the
 * first row. On a match the sub-object gets AddRef and is stored, S_OK;
 * otherwise null is stored and E_NOINTERFACE returned. A null object or map:
 * E_INVALIDARG (nothing written); a null ppvObject: E_POINTER. Never throws. */
ZT_ATLCOM_API HRESULT InternalQueryInterface(void* pThis, const _COM_INTMAP_ENTRY* pEntries, REFIID iid,
                                             void** ppvObject) noexcept;

// Thread models: both count with atomic read-modify-write and carry a mutex.
struct CComMultiThreadModel {};   // every public class
struct CComObjectThreadModel {};  // the connection-point enumerators

class CComObjectRootBase {
public:
    CComObjectRootBase() noexcept = default;
    CComObjectRootBase(const CComObjectRootBase&) = delete;
    CComObjectRootBase& operator=(const CComObjectRootBase&) = delete;
    virtual ~CComObjectRootBase() = default;
};

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
public:
    using _ThreadModel = ThreadModel;

    // Holds the object lock for one scope.
    class ObjectLock {
    public:
        explicit ObjectLock(const CComObjectRootEx* object) : m_lock(object->m_mutex) {}

    private:
        std::lock_guard<std::mutex> m_lock;
    };

    long InternalAddRef() noexcept { return m_dwRef.fetch_add(1, std::memory_order_relaxed) + 1; }
    long InternalRelease() noexcept { return m_dwRef.fetch_sub(1, std::memory_order_acq_rel) - 1; }

    // Runs inside Create between construction and the first reference;
    // a class may hide it with its own.
    HRESULT FinalConstruct() noexcept { return S_OK; }

    // Runs first in the destruction of CComObject<T>, while the object still
    // answers AddRef/Release/QueryInterface (its count then holds the large
    // negative guard value); a class releases what refers back to it here.
    void FinalRelease() noexcept {}

    void Lock() const { m_mutex.lock(); }
    void Unlock() const { m_mutex.unlock(); }

    std::atomic<long> m_dwRef{0};
    mutable std::mutex m_mutex;
};

namespace detail {

// Count stored while an object is destroyed, so that AddRef/Release pairs made
// by its own clean-up can never bring it to zero again.
inline constexpr long kDestroyingRefCount = static_cast<long>(0xC000000000000001ull);

// Byte distance from Derived to its Base sub-object (non-virtual bases only).
// Only the pointer adjustment is used; no object is touched.
template <class Base, class Derived>
std::uintptr_t OffsetOfClass() noexcept {
    constexpr std::uintptr_t probe = 0x10000;
    Derived* d = reinterpret_cast<Derived*>(probe);
    return reinterpret_cast<std::uintptr_t>(static_cast<Base*>(d)) - probe;
}

// The same through an intermediate class, for a base that is ambiguous
// (IDispatch reached through one chosen dual interface).
template <class Base, class Via, class Derived>
std::uintptr_t OffsetOfClass2() noexcept {
    constexpr std::uintptr_t probe = 0x10000;
    Derived* d = reinterpret_cast<Derived*>(probe);
    return reinterpret_cast<std::uintptr_t>(static_cast<Base*>(static_cast<Via*>(d))) - probe;
}

}  // namespace detail

// The most-derived class of every live component.
template <class Base>
class CComObject final : public Base {
public:
    CComObject() = default;

    ~CComObject() override {
        this->m_dwRef.exchange(detail::kDestroyingRefCount);
        this->FinalRelease();
    }

    HRESULT QueryInterface(REFIID iid, void** ppvObject) override {
        return this->_InternalQueryInterface(iid, ppvObject);
    }
    ULONG AddRef() override { return static_cast<ULONG>(this->InternalAddRef()); }
    ULONG Release() override {
        long count = this->InternalRelease();
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }
};

}  // namespace ZtAtlCom

#define BEGIN_COM_MAP(ThisClass)                                                  \
public:                                                                           \
    using _ComMapClass = ThisClass;                                               \
    static const ::ZtAtlCom::_COM_INTMAP_ENTRY* _GetEntries() noexcept {          \
        static const ::ZtAtlCom::_COM_INTMAP_ENTRY _entries[] = {

// Answers the interface's own id with the sub-object of that interface.
#define COM_INTERFACE_ENTRY(I) {&::ZtAtlCom::iid_of<I>(), ::ZtAtlCom::detail::OffsetOfClass<I, _ComMapClass>()},

// Answers iid with the sub-object of interface I (versioned ids of a dual).
#define COM_INTERFACE_ENTRY_IID(iid, I) {&(iid), ::ZtAtlCom::detail::OffsetOfClass<I, _ComMapClass>()},

// Answers I's id with the I reached through Via (an ambiguous base).
#define COM_INTERFACE_ENTRY2(I, Via) \
    {&::ZtAtlCom::iid_of<I>(), ::ZtAtlCom::detail::OffsetOfClass2<I, Via, _ComMapClass>()},

#define END_COM_MAP()                                                                                 \
    {nullptr, 0}                                                                                      \
    }                                                                                                 \
    ;                                                                                                 \
    return _entries;                                                                                  \
    }                                                                                                 \
    ::ZtAtlCom::HRESULT _InternalQueryInterface(const ::ZtAtlCom::IID& iid, void** ppvObject) noexcept { \
        return ::ZtAtlCom::InternalQueryInterface(this, _GetEntries(), iid, ppvObject);              \
    }                                                                                                 \
    ::ZtAtlCom::HRESULT QueryInterface(const ::ZtAtlCom::IID& iid, void** ppvObject) override = 0;    \
    ::ZtAtlCom::ULONG AddRef() override = 0;                                                          \
    ::ZtAtlCom::ULONG Release() override = 0;

#endif  // ZT_ATLCOM_COM_OBJECT_H
