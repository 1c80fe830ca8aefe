#include "HandleRegistry.h"

#include <new>
#include <utility>

namespace ZtProxyC {

using ZtAtlCom::E_INVALIDARG;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IUnknown;
using ZtAtlCom::S_OK;

constinit HandleRegistry g_handleRegistry;

namespace {
constexpr size_t kFirstCapacity = 64;
}  // namespace

HandleRegistry::~HandleRegistry() {
    // Handles still open at unload are the host's leak: their objects stay.
    ShardedSharedMutex::Exclusive lock(m_lock);
    delete[] m_entries;
    m_entries = nullptr;
    m_capacity = m_size = 0;
}

// ---- the table ------------------------------------------------------------

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

// ---- records ----------------------------------------------------------------

// Gives back what a released record holds, once no call runs on it.
void HandleRegistry::Destroy(Record* record) noexcept {
    for (auto& slot : record->cache) {
        if (Cached* c = slot.load(std::memory_order_acquire)) {
            static_cast<IUnknown*>(c->itf)->Release();
            delete c;
        }
    }
    IUnknown* object = record->object;
    delete record;
    object->Release();  // the last registration's reference
}

// A first query for iid (no cached answer in the slots before free). Runs
// under the shared lock: other calls may fill the cache at the same time, so
// slots are claimed by compare-and-swap and never change afterwards.
void* HandleRegistry::QueryAndCache(Record* record, const ZtAtlCom::IID& iid, int free, bool* owned) noexcept {
    void* itf = nullptr;
    if (ZtAtlCom::Failed(record->object->QueryInterface(iid, &itf)) || !itf) return nullptr;
    *owned = true;
    if (free >= kCachedInterfaces) return itf;
    auto* entry = new (std::nothrow) Cached{iid, itf};
    if (!entry) return itf;
    for (int i = free; i < kCachedInterfaces; ++i) {
        Cached* expected = nullptr;
        if (record->cache[i].compare_exchange_strong(expected, entry, std::memory_order_acq_rel)) {
            *owned = false;  // the cache keeps the reference
            return itf;
        }
        if (expected->iid == iid) break;  // another call was first with the same id
    }
    delete entry;
    return itf;
}

// ---- registry operations ----------------------------------------------------

bool HandleRegistry::Register(IUnknown* canonical) noexcept {
    if (!canonical) return false;
    // Made before the lock is taken; dropped when the handle exists already.
    auto* fresh = new (std::nothrow) Record(canonical);
    bool added = false;
    {
        ShardedSharedMutex::Exclusive lock(m_lock);
        size_t i = Find(canonical);
        if (m_capacity != 0 && i != m_capacity) {
            Record* r = m_entries[i].record;
            if (r->registrations != UINT32_MAX) {
                ++r->registrations;
                added = true;
            }
        } else if (fresh && ((m_size + 1) * 2 <= m_capacity || Grow())) {
            i = Home(canonical);
            while (m_entries[i].key) i = (i + 1) & (m_capacity - 1);
            m_entries[i] = Entry{canonical, std::exchange(fresh, nullptr)};
            ++m_size;
            added = true;
        }
    }
    delete fresh;
    return added;
}

HRESULT HandleRegistry::Unregister(void* handle) noexcept {
    if (!handle) return E_INVALIDARG;
    Record* released = nullptr;
    IUnknown* object = nullptr;
    {
        ShardedSharedMutex::Exclusive lock(m_lock);
        const size_t i = Find(handle);
        if (m_capacity == 0 || i == m_capacity) return E_INVALIDARG;
        Record* record = m_entries[i].record;
        if (--record->registrations == 0) {
            Erase(i);
            released = record;
        } else {
            object = record->object;
        }
    }
    if (object) object->Release();  // one of several registrations
    // Calls still running keep the record; the last of them destroys it.
    if (released && released->state.fetch_or(kReleased, std::memory_order_acq_rel) == 0) Destroy(released);
    return S_OK;
}

HandleRegistry::Ref::Ref(Ref&& other) noexcept
    : m_record(std::exchange(other.m_record, nullptr)),
      m_itf(std::exchange(other.m_itf, nullptr)),
      m_owned(std::exchange(other.m_owned, false)) {}

HandleRegistry::Ref& HandleRegistry::Ref::operator=(Ref&& other) noexcept {
    if (this != &other) {
        Ref old(std::move(*this));
        m_record = std::exchange(other.m_record, nullptr);
        m_itf = std::exchange(other.m_itf, nullptr);
        m_owned = std::exchange(other.m_owned, false);
    }
    return *this;
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
