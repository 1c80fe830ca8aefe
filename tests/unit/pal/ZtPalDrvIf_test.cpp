#include "ZtPalDrvIf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct EventHandle {
    OS_HANDLE h;
    EventHandle(bool manual, bool initial) : h(OsUserCreateEvent(nullptr, manual, initial, nullptr)) {}
    ~EventHandle() { OsUserCloseHandle(h); }
};

uint32_t Return7(void*) { return 7; }

TEST(PalEvent, WaitResultsByKindAndState) {
    struct Case {
        bool manual, initial;
        uint32_t first, second;
    } cases[] = {
        {true, true, OS_WAIT_OBJECT_0, OS_WAIT_OBJECT_0},  // manual reset stays signalled
        {false, true, OS_WAIT_OBJECT_0, OS_WAIT_TIMEOUT},  // automatic reset releases one wait
        {true, false, OS_WAIT_TIMEOUT, OS_WAIT_TIMEOUT},
        {false, false, OS_WAIT_TIMEOUT, OS_WAIT_TIMEOUT},
    };
    for (const auto& c : cases) {
        EventHandle e(c.manual, c.initial);
        ASSERT_NE(e.h, nullptr);
        EXPECT_EQ(OsUserWaitForSingleObject(e.h, 0), c.first) << c.manual << c.initial;
        EXPECT_EQ(OsUserWaitForSingleObject(e.h, 10), c.second) << c.manual << c.initial;
    }
}

TEST(PalEvent, TimeoutIs0x102AndTakesAboutTheTime) {
    EventHandle e(true, false);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(OsUserWaitForSingleObject(e.h, 50), 0x102u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(45));
}

TEST(PalEvent, AutomaticResetReleasesExactlyOneWaiter) {
    EventHandle e(false, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (OsUserWaitForSingleObject(e.h, 400) == OS_WAIT_OBJECT_0) released++;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(OsUserSetEvent(e.h), 0);
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released.load(), 1);
    EXPECT_EQ(OsUserWaitForSingleObject(e.h, 0), OS_WAIT_TIMEOUT);
}

TEST(PalEvent, ManualResetReleasesEveryWaiterAndStaysSignalled) {
    EventHandle e(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (OsUserWaitForSingleObject(e.h, OS_INFINITE) == OS_WAIT_OBJECT_0) released++;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    OsUserSetEvent(e.h);
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released.load(), 4);
    EXPECT_EQ(OsUserWaitForSingleObject(e.h, 0), OS_WAIT_OBJECT_0);
    OsUserResetEvent(e.h);
    EXPECT_EQ(OsUserWaitForSingleObject(e.h, 0), OS_WAIT_TIMEOUT);
}

TEST(PalWaitMultiple, ReturnsLowestSignalledIndexAndResetsOnlyIt) {
    EventHandle a(false, false), b(false, true), c(false, true);
    OS_HANDLE hs[] = {a.h, b.h, c.h};
    EXPECT_EQ(OsUserWaitForMultipleObjects(3, hs, 0, 0), 1u);
    EXPECT_EQ(OsUserWaitForMultipleObjects(3, hs, 0, 0), 2u);
    EXPECT_EQ(OsUserWaitForMultipleObjects(3, hs, 0, 20), 0x102u);
    EXPECT_EQ(OsUserWaitForMultipleObjects(3, hs, 1, 0), 0x102u);
    OsUserSetEvent(a.h);
    OsUserSetEvent(b.h);
    OsUserSetEvent(c.h);
    EXPECT_EQ(OsUserWaitForMultipleObjects(3, hs, 1, 0), 0u);
    EXPECT_EQ(OsUserWaitForMultipleObjects(3, hs, 0, 0), 0x102u);  // wait-all consumed all three
}

TEST(PalWaitMultiple, WakesWhenAnotherThreadSignalsTheSecondHandle) {
    EventHandle work(true, false), stop(false, false);
    OS_HANDLE hs[] = {work.h, stop.h};
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        OsUserSetEvent(stop.h);
    });
    EXPECT_EQ(OsUserWaitForMultipleObjects(2, hs, 0, OS_INFINITE), 1u);
    t.join();
}

TEST(PalWaitMultiple, BadArgumentsFail) {
    EventHandle a(true, true);
    OS_HANDLE ok[] = {a.h};
    OS_HANDLE bad[] = {a.h, reinterpret_cast<OS_HANDLE>(0x1234567)};
    EXPECT_EQ(OsUserWaitForMultipleObjects(0, ok, 0, 0), OS_WAIT_FAILED);
    EXPECT_EQ(OsUserWaitForMultipleObjects(1, nullptr, 0, 0), OS_WAIT_FAILED);
    EXPECT_EQ(OsUserWaitForMultipleObjects(2, bad, 0, 0), OS_WAIT_FAILED);
    EXPECT_EQ(OsUserWaitForMultipleObjects(65, ok, 0, 0), OS_WAIT_FAILED);
}

TEST(PalHandle, ClosedHandleIsRefusedNotTouched) {
    OS_HANDLE h = OsUserCreateEvent(nullptr, 1, 1, nullptr);
    EXPECT_NE(OsUserCloseHandle(h), 0);
    EXPECT_EQ(OsUserCloseHandle(h), 0);
    EXPECT_EQ(OsUserSetEvent(h), 0);
    EXPECT_EQ(OsUserWaitForSingleObject(h, 0), OS_WAIT_FAILED);
    EXPECT_EQ(OsUserCloseHandle(nullptr), 0);
    EXPECT_EQ(OsUserCreateEvent(reinterpret_cast<void*>(1), 1, 1, nullptr), nullptr);
}

TEST(PalHandle, CloseWhileAnotherThreadWaitsKeepsTheWaitValid) {
    OS_HANDLE h = OsUserCreateEvent(nullptr, 1, 0, nullptr);
    std::thread t([h] { EXPECT_EQ(OsUserWaitForSingleObject(h, 100), OS_WAIT_TIMEOUT); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(OsUserCloseHandle(h), 0);
    t.join();
}

TEST(PalThread, HandleSignalledWhenThreadEnds) {
    std::atomic<bool> go{false};
    OS_HANDLE th = nullptr;
    uint32_t id = 0;
    auto routine = [](void* p) -> uint32_t {
        auto* flag = static_cast<std::atomic<bool>*>(p);
        while (!flag->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    };
    ASSERT_NE(OsUserCreateThreadEx(nullptr, routine, &go, 0, &th, 0, &id), 0);
    ASSERT_NE(th, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(OsUserWaitForSingleObject(th, 20), OS_WAIT_TIMEOUT);
    go = true;
    EXPECT_EQ(OsUserWaitForSingleObject(th, OS_INFINITE), OS_WAIT_OBJECT_0);
    // An ended thread stays signalled for every later wait.
    EXPECT_EQ(OsUserWaitForSingleObject(th, 0), OS_WAIT_OBJECT_0);
    EXPECT_NE(OsUserCloseHandle(th), 0);
}

TEST(PalThread, RunsWithoutHandleAndRefusesBadArguments) {
    std::atomic<int> ran{0};
    auto routine = [](void* p) -> uint32_t {
        static_cast<std::atomic<int>*>(p)->fetch_add(1);
        return 0;
    };
    ASSERT_NE(OsUserCreateThreadEx(nullptr, routine, &ran, 0, nullptr, 0, nullptr), 0);
    for (int i = 0; i < 200 && ran.load() == 0; ++i) OsUserSleep(5);
    EXPECT_EQ(ran.load(), 1);
    OS_HANDLE th = reinterpret_cast<OS_HANDLE>(1);
    EXPECT_EQ(OsUserCreateThreadEx(nullptr, nullptr, nullptr, 0, &th, 0, nullptr), 0);
    EXPECT_EQ(th, nullptr);
    EXPECT_EQ(OsUserCreateThreadEx(nullptr, Return7, nullptr, 1, &th, 0, nullptr), 0);
}

TEST(PalCriticalSection, ExcludesAndIsRecursive) {
    OS_CRITICAL_SECTION cs;
    OsUserInitializeCriticalSection(&cs);
    OsUserEnterCriticalSection(&cs);
    OsUserEnterCriticalSection(&cs);
    OsUserLeaveCriticalSection(&cs);
    OsUserLeaveCriticalSection(&cs);
    long counter = 0;
    std::vector<std::thread> ts;
    for (int i = 0; i < 4; ++i)
        ts.emplace_back([&] {
            for (int k = 0; k < 10000; ++k) {
                OsUserEnterCriticalSection(&cs);
                ++counter;
                OsUserLeaveCriticalSection(&cs);
            }
        });
    for (auto& t : ts) t.join();
    EXPECT_EQ(counter, 40000);
    OsUserDeleteCriticalSection(&cs);
}

TEST(PalInterlocked, ReturnsNewValueOrOldValue) {
    volatile int32_t v = 0;
    std::vector<std::thread> ts;
    for (int i = 0; i < 4; ++i)
        ts.emplace_back([&] {
            for (int k = 0; k < 10000; ++k) {
                InterlockedIncrement(&v);
                InterlockedDecrement(&v);
                InterlockedIncrement(&v);
            }
        });
    for (auto& t : ts) t.join();
    EXPECT_EQ(v, 40000);
    EXPECT_EQ(InterlockedIncrement(&v), 40001);
    EXPECT_EQ(InterlockedDecrement(&v), 40000);
    EXPECT_EQ(InterlockedExchange(&v, -5), 40000);
    EXPECT_EQ(v, -5);
    volatile int32_t m = INT32_MAX;
    EXPECT_EQ(InterlockedIncrement(&m), INT32_MIN);  // wraps like the hardware operation
}

TEST(PalSleep, SleepsAtLeastTheTime) {
    auto t0 = std::chrono::steady_clock::now();
    OsUserSleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(29));
}

}  // namespace
