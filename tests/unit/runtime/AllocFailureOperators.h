// AllocFailureOperators.h - the global operator new and delete of a test
// executable that fails allocations on purpose (AllocFailure.h). The file
// that includes it, once per executable and at global scope, defines
// before the include
//     void* ZtTestAllocate(std::size_t size) noexcept;   // null: this one fails
// which takes its memory from malloc; delete gives it back with free.
#ifndef ZT_TEST_ALLOC_FAILURE_OPERATORS_H
#define ZT_TEST_ALLOC_FAILURE_OPERATORS_H

#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    if (void* p = ZtTestAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return ZtTestAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return ZtTestAllocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

#endif  // ZT_TEST_ALLOC_FAILURE_OPERATORS_H
