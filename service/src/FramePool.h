// FramePool.h - memory for notification frames (internal).
//
// A frame is allocated on the router client's thread and freed on the queue's
// worker thread. With the general allocator the two threads then contend for
// the same arena on every frame; the pool instead keeps freed blocks in a few
// size classes and hands them back to the producer, and the worker returns a
// whole batch under one lock. Blocks above the largest class, and blocks
// beyond the pool's memory bound, go back to the general allocator.
//
// Thread-safe. Every block from Allocate must be given back with Release (or
// ReleaseAll) of the same pool.
#ifndef ZT_FRAME_POOL_H
#define ZT_FRAME_POOL_H

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>

namespace ZtEventLoggerCommon {

class FramePool {
public:
    FramePool() = default;
    ~FramePool();
    FramePool(const FramePool&) = delete;
    FramePool& operator=(const FramePool&) = delete;

    // A block of at least size bytes, aligned for any scalar; null when out of memory.
    void* Allocate(size_t size) noexcept;
    // Gives a block back (null is ignored).
    void Release(const void* block) noexcept;
    // Gives back every non-null block of a list, under one lock.
    template <class T>
    void ReleaseAll(const std::list<T*>& blocks) noexcept {
        std::lock_guard<std::mutex> lk(m_mutex);
        for (T* b : blocks)
            if (b != nullptr) Push(const_cast<void*>(static_cast<const void*>(b)));
    }

    // Frees a block without a pool (for a pool that is gone already).
    static void FreeDirect(const void* block) noexcept;

    static constexpr size_t kClasses = 9;             // 256 bytes .. 64 KiB
    static constexpr size_t kMaxPooledBytes = 8u << 20;  // kept for reuse at most

    size_t PooledBytes() const;

private:
    struct Node {
        Node* next;
    };
    void Push(void* block) noexcept;  // caller holds the lock

    mutable std::mutex m_mutex;
    Node* m_free[kClasses] = {};
    size_t m_pooled = 0;
};

}  // namespace ZtEventLoggerCommon

#endif  // ZT_FRAME_POOL_H
