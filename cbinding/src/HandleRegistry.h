// HandleRegistry.h - the process-wide set of object handles (internal).
//
// A handle is the canonical IUnknown pointer of an object. The registry
// keeps, per handle, how many registrations are open, and holds one
// reference of the object per registration. Lookups run under the shared
// lock and answer with an interface pointer carrying its own reference, so
// the call itself runs after the lock is released and a concurrent
// ReleaseHandle cannot pull the object away under it.
//
// A handle leaves the table when its last registration is released, not
// when the object's count reaches zero: objects the library keeps alive on
// its own (an alarm in the active list, an item in a collection) must not
// leave a registered pointer behind that no reference protects. The
// reference of that last registration is dropped after the lock is
// released, so an object's destruction may call into the binding (a logger
// stopping its worker thread while a callback registers an alarm) without
// deadlocking on the registry.
//
// The table: open addressing with linear probing over a power-of-two array,
// hashed by pointer value, kept at most half full; removal shifts the
// following entries back, so there are no tombstones.
#ifndef ZT_HANDLE_REGISTRY_H
#define ZT_HANDLE_REGISTRY_H

#include <cstddef>
#include <cstdint>

#include "ShardedSharedMutex.h"
#include "ZtAtlCom/Unknown.h"

namespace ZtProxyC {

class HandleRegistry {
public:
    constexpr HandleRegistry() noexcept = default;
    ~HandleRegistry();
    HandleRegistry(const HandleRegistry&) = delete;
    HandleRegistry& operator=(const HandleRegistry&) = delete;

    // One more registration of canonical (the object's IUnknown), taking
    // over the caller's reference. False when the table cannot grow or the
    // handle's registrations would overflow; the caller keeps its reference.
    bool Register(ZtAtlCom::IUnknown* canonical) noexcept;

    // QueryInterface(iid) on a registered handle, under the shared lock.
    // False (and *out null) when the handle is not registered or lacks iid.
    bool Query(const void* handle, const ZtAtlCom::IID& iid, void** out) noexcept;

    // Ends one registration: S_OK, or E_INVALIDARG when handle is not
    // registered. The registration's reference is released after the lock.
    ZtAtlCom::HRESULT Unregister(void* handle) noexcept;

private:
    struct Entry {
        ZtAtlCom::IUnknown* key;
        uint32_t registrations;
    };

    size_t Home(const void* key) const noexcept;
    // Index of key, or m_capacity when absent. Needs the lock, either way.
    size_t Find(const void* key) const noexcept;
    bool Grow() noexcept;
    void Erase(size_t index) noexcept;

    Entry* m_entries = nullptr;
    size_t m_capacity = 0;  // 0 or a power of two
    size_t m_size = 0;
    unsigned m_shift = 64;  // 64 - log2(capacity)
    ShardedSharedMutex m_lock;
};

// The one registry of the process, made by static initialisation (no code
// runs for it at load time) and destroyed at unload.
HandleRegistry& Registry() noexcept;

// Registers any interface pointer of an object: queries its canonical
// IUnknown and registers that. The handle, or null when object is null or
// cannot be registered. object keeps its own reference either way.
void* RegisterObject(ZtAtlCom::IUnknown* object) noexcept;

}  // namespace ZtProxyC

#endif  // ZT_HANDLE_REGISTRY_H
