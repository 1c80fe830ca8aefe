// HandleRegistry.h - the process-wide set of object handles (internal).
//
// A handle is the canonical IUnknown pointer of an object. The registry
// keeps one record per handle: how many registrations are open (each holds
// one reference of the object), how many calls are running on it, and the
// interface pointers calls have asked it for.
//
// A call looks its handle up under the shared lock and pins the record; the
// method runs after the lock is released and the pin is dropped when it
// returns. A pinned record outlives the release of its last registration:
// whoever drops the last pin of a released record (the releasing thread or
// the last call still running) gives the object its references back. So a
// concurrent ReleaseHandle never pulls an object away under a call, and a
// call costs no reference counting on the object itself: the object's
// AddRef and Release are calls into another library with a locked
// operation each, more than everything else a property read through the
// binding does.
//
// Interface pointers: the first call for an interface id queries the object
// (under the shared lock) and keeps the answer, with its reference, in the
// record; later calls for that id use it. Only answers that succeeded are
// kept, at most kCachedInterfaces per record; beyond that each call queries
// and releases as usual.
//
// A handle leaves the table when its last registration is released, not
// when the object's count reaches zero: objects the library keeps alive on
// its own (an alarm in the active list, an item in a collection) must not
// leave a registered pointer behind that no reference protects. References
// are given back after the lock is released, so an object's destruction may
// call into the binding (a logger stopping its worker thread while a
// callback registers an alarm) without deadlocking on the registry.
//
// The table: open addressing with linear probing over a power-of-two array,
// hashed by pointer value, kept at most half full; removal shifts the
// following entries back, so there are no tombstones.
#ifndef ZT_HANDLE_REGISTRY_H
#define ZT_HANDLE_REGISTRY_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "ShardedSharedMutex.h"
#include "ZtAtlCom/Unknown.h"

namespace ZtProxyC {

class HandleRegistry {
    struct Record;

public:
    static constexpr int kCachedInterfaces = 4;

    // An interface of a registered object, usable until destroyed (the
    // record stays pinned meanwhile). Empty when the lookup failed.
    class Ref {
    public:
        Ref() noexcept = default;
        Ref(Ref&& other) noexcept;
        Ref& operator=(Ref&& other) noexcept;
        ~Ref() {
            if (m_owned) static_cast<ZtAtlCom::IUnknown*>(m_itf)->Release();
            if (m_record) Unpin(m_record);
        }
        void* Get() const noexcept { return m_itf; }
        explicit operator bool() const noexcept { return m_itf != nullptr; }

    private:
        friend class HandleRegistry;
        Record* m_record = nullptr;
        void* m_itf = nullptr;
        bool m_owned = false;  // m_itf carries a reference of its own (not cached)
    };

    constexpr HandleRegistry() noexcept = default;
    ~HandleRegistry();
    HandleRegistry(const HandleRegistry&) = delete;
    HandleRegistry& operator=(const HandleRegistry&) = delete;

    // One more registration of canonical (the object's IUnknown), taking
    // over the caller's reference. False when no record can be made or the
    // handle's registrations would overflow; the caller keeps its reference.
    bool Register(ZtAtlCom::IUnknown* canonical) noexcept;

    // Interface iid of a registered handle, or an empty Ref when the handle
    // is not registered or its object lacks iid.
    Ref Query(const void* handle, const ZtAtlCom::IID& iid) noexcept;

    // Ends one registration: S_OK, or E_INVALIDARG when handle is not
    // registered.
    ZtAtlCom::HRESULT Unregister(void* handle) noexcept;

private:
    struct Cached {
        ZtAtlCom::IID iid;
        void* itf;  // holds one reference
    };
    // A line of its own: the running-call count of one object must not share
    // a cache line with another's (two threads on two objects would contend).
    struct alignas(64) Record {
        explicit Record(ZtAtlCom::IUnknown* o) noexcept : object(o) {}
        ZtAtlCom::IUnknown* const object;
        uint32_t registrations = 1;       // guarded by the exclusive lock
        std::atomic<uint32_t> state{0};   // running calls, and kReleased
        std::atomic<Cached*> cache[kCachedInterfaces] = {};
    };
    static constexpr uint32_t kReleased = 0x80000000u;

    struct Entry {
        const void* key;
        Record* record;
    };

    size_t Home(const void* key) const noexcept;
    // Index of key, or m_capacity when absent. Needs the lock, either way.
    size_t Find(const void* key) const noexcept;
    bool Grow() noexcept;
    void Erase(size_t index) noexcept;
    static void* CachedInterface(Record* record, const ZtAtlCom::IID& iid, bool* owned) noexcept;
    static void* QueryAndCache(Record* record, const ZtAtlCom::IID& iid, int free, bool* owned) noexcept;
    static void Unpin(Record* record) noexcept {
        if (record->state.fetch_sub(1, std::memory_order_acq_rel) - 1 == kReleased) Destroy(record);
    }
    static void Destroy(Record* record) noexcept;

    Entry* m_entries = nullptr;
    size_t m_capacity = 0;  // 0 or a power of two
    size_t m_size = 0;
    unsigned m_shift = 64;  // 64 - log2(capacity)
    ShardedSharedMutex m_lock;
};

// The one registry of the process, made by static initialisation (no code
// runs for it at load time) and destroyed at unload.
extern constinit HandleRegistry g_handleRegistry;
inline HandleRegistry& Registry() noexcept { return g_handleRegistry; }

// Every call passes here: kept inline.
inline HandleRegistry::Ref HandleRegistry::Query(const void* handle, const ZtAtlCom::IID& iid) noexcept {
    Ref ref;
    if (!handle) return ref;
    ShardedSharedMutex::Shared lock(m_lock);
    const size_t i = Find(handle);
    if (i == m_capacity) return ref;
    Record* record = m_entries[i].record;
    // Ordered by the lock: a release of the record takes it exclusively.
    record->state.fetch_add(1, std::memory_order_relaxed);
    ref.m_record = record;
    ref.m_itf = CachedInterface(record, iid, &ref.m_owned);
    return ref;
}

inline size_t HandleRegistry::Home(const void* key) const noexcept {
    // Fibonacci hashing: the multiply spreads the pointer's middle bits
    // (the low ones are alignment) over the top bits kept.
    return static_cast<size_t>((reinterpret_cast<uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> m_shift);
}

inline size_t HandleRegistry::Find(const void* key) const noexcept {
    if (m_capacity == 0) return 0;
    const size_t mask = m_capacity - 1;
    for (size_t i = Home(key);; i = (i + 1) & mask) {
        if (m_entries[i].key == key) return i;
        if (m_entries[i].key == nullptr) return m_capacity;
    }
}

// The record's interface for iid, queried once and kept (see above).
inline void* HandleRegistry::CachedInterface(Record* record, const ZtAtlCom::IID& iid, bool* owned) noexcept {
    for (int i = 0; i < kCachedInterfaces; ++i) {
        Cached* c = record->cache[i].load(std::memory_order_acquire);
        if (!c) return QueryAndCache(record, iid, i, owned);
        if (c->iid == iid) return c->itf;
    }
    return QueryAndCache(record, iid, kCachedInterfaces, owned);
}

// Registers any interface pointer of an object: queries its canonical
// IUnknown and registers that. The handle, or null when object is null or
// cannot be registered. object keeps its own reference either way.
void* RegisterObject(ZtAtlCom::IUnknown* object) noexcept;

}  // namespace ZtProxyC

#endif  // ZT_HANDLE_REGISTRY_H
