// AllocFailure.h - fails the first, second, ... allocation of an operation in
// turn. The test executable routes its allocator through FailThisCall (by
// wrapping malloc or by replacing operator new).
#ifndef ZT_TEST_ALLOC_FAILURE_H
#define ZT_TEST_ALLOC_FAILURE_H

#include <gtest/gtest.h>

namespace ZtTest::AllocFailure {

inline bool g_armed = false;
inline int g_calls = 0;
inline int g_failAt = -1;

// True when the allocation now being made is the one to fail.
inline bool FailThisCall() { return g_armed && g_calls++ == g_failAt; }

// Runs op with allocations counted (and one of them failing).
template <class Op>
auto Armed(Op&& op) {
    g_armed = true;
    auto result = op();
    g_armed = false;
    return result;
}

// Runs run() with its first, second, ... armed allocation failing, calling
// check(n) after each run, until a run makes fewer allocations than the
// failing index (every path taken).
template <class Run, class Check>
void FailEachAllocation(const char* what, int limit, Run run, Check check) {
    for (int n = 0; n < limit; ++n) {
        g_calls = 0;
        g_failAt = n;
        run();
        g_failAt = -1;
        check(n);
        if (n == 0 && g_calls == 0) ADD_FAILURE() << what << ": no allocation was seen";
        if (g_calls <= n) return;
    }
    ADD_FAILURE() << what << ": more allocations than expected";
}

}  // namespace ZtTest::AllocFailure

#endif  // ZT_TEST_ALLOC_FAILURE_H
