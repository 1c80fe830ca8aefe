// ShardedSharedMutex.h - the handle registry's reader/writer lock (internal).
//
// Every C call takes the registry lock shared for its lookup, so the lock is
// the hottest shared state of the binding. A single reader count (what a
// std::shared_mutex keeps) is one cache line that every reader writes: two
// threads reading at once then run no faster than one. Here each thread
// counts itself in one of kSlots padded counters of its own, so readers on
// different threads touch different lines; a writer raises its flag and
// waits until every counter has drained.
//
// The hand-over is the classic two-flag one: a reader increments its
// counter, then looks at the writer flag; a writer sets the flag, then
// looks at the counters. Both steps are sequentially consistent, so at
// least one side sees the other. Writers win over new readers; writers are
// serialised among themselves by a plain mutex. Sections under the lock are
// short (a table probe and a QueryInterface, or an insert), so waiting
// spins with a pause and yields now and then.
//
// Not re-entrant, neither shared nor exclusive.
#ifndef ZT_SHARDED_SHARED_MUTEX_H
#define ZT_SHARDED_SHARED_MUTEX_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace ZtProxyC {

class ShardedSharedMutex {
public:
    static constexpr unsigned kSlots = 32;  // a power of two

    constexpr ShardedSharedMutex() noexcept = default;
    ShardedSharedMutex(const ShardedSharedMutex&) = delete;
    ShardedSharedMutex& operator=(const ShardedSharedMutex&) = delete;

    // Returns the slot to hand back to UnlockShared.
    unsigned LockShared() noexcept {
        const unsigned slot = ThreadSlot();
        std::atomic<uint32_t>& readers = m_slots[slot].readers;
        for (unsigned spins = 0;;) {
            readers.fetch_add(1, std::memory_order_seq_cst);
            if (m_writer.load(std::memory_order_seq_cst) == 0) return slot;
            readers.fetch_sub(1, std::memory_order_release);  // let the writer finish first
            while (m_writer.load(std::memory_order_acquire) != 0) Pause(spins);
        }
    }
    void UnlockShared(unsigned slot) noexcept { m_slots[slot].readers.fetch_sub(1, std::memory_order_release); }

    void Lock() noexcept {
        m_writers.lock();
        m_writer.store(1, std::memory_order_seq_cst);
        for (Slot& s : m_slots) {
            for (unsigned spins = 0; s.readers.load(std::memory_order_seq_cst) != 0;) Pause(spins);
        }
    }
    void Unlock() noexcept {
        m_writer.store(0, std::memory_order_release);
        m_writers.unlock();
    }

    class Shared {
    public:
        explicit Shared(ShardedSharedMutex& m) noexcept : m_mutex(m), m_slot(m.LockShared()) {}
        ~Shared() { m_mutex.UnlockShared(m_slot); }
        Shared(const Shared&) = delete;
        Shared& operator=(const Shared&) = delete;

    private:
        ShardedSharedMutex& m_mutex;
        unsigned m_slot;
    };

    class Exclusive {
    public:
        explicit Exclusive(ShardedSharedMutex& m) noexcept : m_mutex(m) { m.Lock(); }
        ~Exclusive() { m_mutex.Unlock(); }
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;

    private:
        ShardedSharedMutex& m_mutex;
    };

private:
    // Threads take slots in turn as they first read, so a handful of threads
    // never share one; with more threads than slots some share.
    static unsigned ThreadSlot() noexcept {
        static std::atomic<unsigned> next{0};
        thread_local unsigned slot = kSlots;
        if (slot == kSlots) slot = next.fetch_add(1, std::memory_order_relaxed) & (kSlots - 1);
        return slot;
    }

    static void Pause(unsigned& spins) noexcept {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        if (++spins % 64 == 0) std::this_thread::yield();
    }

    // Two lines apart, so that the hardware's fetching of line pairs does not
    // join neighbours either.
    struct alignas(128) Slot {
        std::atomic<uint32_t> readers{0};
    };
    Slot m_slots[kSlots];
    alignas(128) std::atomic<uint32_t> m_writer{0};
    std::mutex m_writers;
};

}  // namespace ZtProxyC

#endif  // ZT_SHARDED_SHARED_MUTEX_H
