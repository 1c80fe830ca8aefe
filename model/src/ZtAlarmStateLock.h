// ZtAlarmStateLock.h - the two-word reader/writer spin lock of an alarm
// (internal).
//
// Hosts read alarm properties often and from many threads; the handler
// changes an alarm rarely. A reader costs two atomic operations and never
// enters the kernel. Writers win over new readers: a writer raises its flag,
// then waits for the readers already inside to leave. Not re-entrant: a
// holder must not take it again, shared or exclusive.
#ifndef ZT_ALARM_STATE_LOCK_H
#define ZT_ALARM_STATE_LOCK_H

#include <atomic>
#include <cstdint>
#include <thread>

namespace ZtEventLoggerVdlProxy {

class ZtAlarmStateLock {
public:
    void LockShared() noexcept {
        for (unsigned spins = 0;; ) {
            while (m_writer.load() != 0) Pause(spins);
            m_readers.fetch_add(1);
            if (m_writer.load() == 0) return;
            m_readers.fetch_sub(1);  // a writer came in between: let it go first
        }
    }
    void UnlockShared() noexcept { m_readers.fetch_sub(1); }

    void Lock() noexcept {
        unsigned spins = 0;
        for (int32_t expected = 0; !m_writer.compare_exchange_weak(expected, 1); expected = 0) Pause(spins);
        while (m_readers.load() > 0) Pause(spins);
    }
    void Unlock() noexcept { m_writer.exchange(0); }

    class Shared {
    public:
        explicit Shared(ZtAlarmStateLock& lock) noexcept : m_lock(lock) { m_lock.LockShared(); }
        ~Shared() { m_lock.UnlockShared(); }
        Shared(const Shared&) = delete;
        Shared& operator=(const Shared&) = delete;

    private:
        ZtAlarmStateLock& m_lock;
    };

    class Exclusive {
    public:
        explicit Exclusive(ZtAlarmStateLock& lock) noexcept : m_lock(lock) { m_lock.Lock(); }
        ~Exclusive() { m_lock.Unlock(); }
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;

    private:
        ZtAlarmStateLock& m_lock;
    };

private:
    // A pause hint in the busy loop; after a while the thread also yields, so
    // that a holder preempted on a busy machine gets to run.
    static void Pause(unsigned& spins) noexcept {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        if (++spins % 64 == 0) std::this_thread::yield();
    }

    std::atomic<int32_t> m_readers{0};
    std::atomic<int32_t> m_writer{0};
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_ALARM_STATE_LOCK_H
