#include "HandleRegistry.h"

#include <new>

namespace ZtProxyC {

using ZtAtlCom::E_INVALIDARG;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IUnknown;
using ZtAtlCom::S_OK;

namespace {

constinit HandleRegistry g_registry;

constexpr size_t kFirstCapacity = 64;

}  // namespace

HandleRegistry& Registry() noexcept { return g_registry; }

HandleRegistry::~HandleRegistry() {
    // Handles still open at unload are the host's leak: their objects stay.
    ShardedSharedMutex::Exclusive lock(m_lock);
    delete[] m_entries;
    m_entries = nullptr;
    m_capacity = m_size = 0;
}

size_t HandleRegistry::Home(const void* key) const noexcept {
    // Fibonacci hashing: the multiply spreads the pointer's middle bits
    // (the low ones are alignment) over the top bits kept.
    return static_cast<size_t>((reinterpret_cast<uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> m_shift);
}

size_t HandleRegistry::Find(const void* key) const noexcept {
    if (m_capacity == 0) return 0;
    const size_t mask = m_capacity - 1;
    for (size_t i = Home(key);; i = (i + 1) & mask) {
        if (m_entries[i].key == key) return i;
        if (m_entries[i].key == nullptr) return m_capacity;
    }
}

bool HandleRegistry::Grow() noexcept {
    const size_t capacity = m_capacity ? m_capacity * 2 : kFirstCapacity;
    if (capacity < m_capacity) return false;
    Entry* entries = new (std::nothrow) Entry[capacity]();
    if (!entries) return false;
    Entry* old = m_entries;
    const size_t oldCapacity = m_capacity;
    m_entries = entries;
    m_capacity = capacity;
    m_shift = static_cast<unsigned>(64 - __builtin_ctzll(capacity));
    for (size_t i = 0; i < oldCapacity; ++i) {
        if (!old[i].key) continue;
        size_t j = Home(old[i].key);
        while (m_entries[j].key) j = (j + 1) & (capacity - 1);
        m_entries[j] = old[i];
    }
    delete[] old;
    return true;
}

void HandleRegistry::Erase(size_t index) noexcept {
    const size_t mask = m_capacity - 1;
    size_t hole = index;
    for (size_t j = (hole + 1) & mask; m_entries[j].key; j = (j + 1) & mask) {
        // An entry moves into the hole unless its home lies cyclically in
        // (hole, j]: then the hole is not on its probe path.
        const size_t home = Home(m_entries[j].key);
        const bool homeAfterHole = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (homeAfterHole) continue;
        m_entries[hole] = m_entries[j];
        hole = j;
    }
    m_entries[hole] = Entry{};
    --m_size;
}

bool HandleRegistry::Register(IUnknown* canonical) noexcept {
    if (!canonical) return false;
    ShardedSharedMutex::Exclusive lock(m_lock);
    size_t i = Find(canonical);
    if (i < m_capacity && m_capacity != 0) {
        if (m_entries[i].registrations == UINT32_MAX) return false;
        ++m_entries[i].registrations;
        return true;
    }
    if ((m_size + 1) * 2 > m_capacity && !Grow()) return false;
    i = Home(canonical);
    while (m_entries[i].key) i = (i + 1) & (m_capacity - 1);
    m_entries[i] = Entry{canonical, 1};
    ++m_size;
    return true;
}

bool HandleRegistry::Query(const void* handle, const ZtAtlCom::IID& iid, void** out) noexcept {
    *out = nullptr;
    if (!handle) return false;
    IUnknown* object = nullptr;
    {
        ShardedSharedMutex::Shared lock(m_lock);
        const size_t i = Find(handle);
        if (m_capacity == 0 || i == m_capacity) return false;
        object = m_entries[i].key;
        // Under the lock: the registration's reference keeps the object
        // alive until the interface pointer has a reference of its own.
        if (ZtAtlCom::Failed(object->QueryInterface(iid, out))) *out = nullptr;
    }
    return *out != nullptr;
}

HRESULT HandleRegistry::Unregister(void* handle) noexcept {
    if (!handle) return E_INVALIDARG;
    IUnknown* object = nullptr;
    {
        ShardedSharedMutex::Exclusive lock(m_lock);
        const size_t i = Find(handle);
        if (m_capacity == 0 || i == m_capacity) return E_INVALIDARG;
        object = m_entries[i].key;
        if (--m_entries[i].registrations == 0) Erase(i);
    }
    object->Release();
    return S_OK;
}

void* RegisterObject(IUnknown* object) noexcept {
    if (!object) return nullptr;
    void* p = nullptr;
    if (ZtAtlCom::Failed(object->QueryInterface(ZtAtlCom::iid_of<IUnknown>(), &p)) || !p) return nullptr;
    auto* canonical = static_cast<IUnknown*>(p);
    if (!Registry().Register(canonical)) {
        canonical->Release();
        return nullptr;
    }
    return canonical;
}

}  // namespace ZtProxyC
