#include "FramePool.h"

#include <cstdlib>

namespace ZtEventLoggerCommon {

namespace {

// Each block starts with a 16-byte prefix recording its size class, so that
// the alignment of the bytes handed out is that of malloc.
constexpr size_t kPrefix = 16;
constexpr uint32_t kUnpooled = 0xFFFFFFFFu;
constexpr size_t kSmallest = 256;

size_t ClassSize(uint32_t c) { return kSmallest << c; }

uint32_t ClassFor(size_t size) {
    for (uint32_t c = 0; c < FramePool::kClasses; ++c)
        if (size <= ClassSize(c)) return c;
    return kUnpooled;
}

uint32_t& ClassOf(void* block) { return *reinterpret_cast<uint32_t*>(static_cast<char*>(block) - kPrefix); }

}  // namespace

FramePool::~FramePool() {
    for (Node*& head : m_free) {
        while (head != nullptr) {
            Node* n = head;
            head = n->next;
            std::free(reinterpret_cast<char*>(n) - kPrefix);
        }
    }
}

void* FramePool::Allocate(size_t size) noexcept {
    const uint32_t c = ClassFor(size);
    if (c != kUnpooled) {
        std::lock_guard<std::mutex> lk(m_mutex);
        if (Node* n = m_free[c]) {
            m_free[c] = n->next;
            m_pooled -= ClassSize(c);
            return n;
        }
    }
    const size_t bytes = c == kUnpooled ? size : ClassSize(c);
    if (bytes > SIZE_MAX - kPrefix) return nullptr;
    char* raw = static_cast<char*>(std::malloc(kPrefix + bytes));
    if (raw == nullptr) return nullptr;
    void* block = raw + kPrefix;
    ClassOf(block) = c;
    return block;
}

void FramePool::Push(void* block) noexcept {
    const uint32_t c = ClassOf(block);
    if (c == kUnpooled || m_pooled + ClassSize(c) > kMaxPooledBytes) {
        std::free(static_cast<char*>(block) - kPrefix);
        return;
    }
    auto* n = static_cast<Node*>(block);
    n->next = m_free[c];
    m_free[c] = n;
    m_pooled += ClassSize(c);
}

void FramePool::Release(const void* block) noexcept {
    if (block == nullptr) return;
    std::lock_guard<std::mutex> lk(m_mutex);
    Push(const_cast<void*>(block));
}

void FramePool::FreeDirect(const void* block) noexcept {
    if (block != nullptr) std::free(const_cast<char*>(static_cast<const char*>(block)) - kPrefix);
}

size_t FramePool::PooledBytes() const {
    std::lock_guard<std::mutex> lk(m_mutex);
    return m_pooled;
}

}  // namespace ZtEventLoggerCommon
