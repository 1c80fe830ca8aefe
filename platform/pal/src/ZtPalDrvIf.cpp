// Platform abstraction on POSIX threads.
//
// Every waitable object (event or thread) lives under one process-wide lock.
// A waiting thread registers a waiter record on each object it waits for and
// sleeps on the record's own condition variable, so a signal wakes only the
// threads that wait for that object. Objects are reference counted: a handle
// holds one reference, a running thread holds one on its own object, and a
// waiter holds one for the duration of the wait, so closing a handle while
// another thread waits on it or while the thread runs is safe.

#include "ZtPalDrvIf.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

struct Waiter {
    std::condition_variable cv;
};

enum class Kind : uint8_t { Event, Thread };

struct WaitObject {
    Kind kind;
    bool manualReset;
    bool signalled;
    int refs;  // guarded by g_lock
    std::vector<Waiter*> waiters;

    WaitObject(Kind k, bool manual, bool initial, int initialRefs)
        : kind(k), manualReset(manual), signalled(initial), refs(initialRefs) {}
};

std::mutex& Lock() {
    static std::mutex* m = new std::mutex;  // never destroyed: threads may outlive static destruction
    return *m;
}

// Handles are numbers that are never reused, looked up in a table, so a
// closed or foreign handle is refused instead of touching freed memory.
std::unordered_map<uintptr_t, WaitObject*>& Table() {
    static auto* t = new std::unordered_map<uintptr_t, WaitObject*>;
    return *t;
}
uintptr_t g_nextHandle = 0x100;  // guarded by the lock

// Caller holds the lock.
WaitObject* Validate(OS_HANDLE h) {
    auto it = Table().find(reinterpret_cast<uintptr_t>(h));
    return it == Table().end() ? nullptr : it->second;
}

// Caller holds the lock. Returns null when the table cannot grow.
OS_HANDLE Register(WaitObject* o) {
    uintptr_t h = g_nextHandle;
    try {
        Table().emplace(h, o);
    } catch (...) {
        return nullptr;
    }
    g_nextHandle += 4;
    return reinterpret_cast<OS_HANDLE>(h);
}

// Caller holds the lock.
void Unref(WaitObject* o) {
    if (--o->refs == 0) delete o;
}

// Caller holds the lock.
void Signal(WaitObject* o) {
    o->signalled = true;
    for (Waiter* w : o->waiters) w->cv.notify_one();
}

void RemoveWaiter(WaitObject* o, Waiter* w) {
    auto it = std::find(o->waiters.begin(), o->waiters.end(), w);
    if (it != o->waiters.end()) o->waiters.erase(it);
}

// Caller holds the lock. Returns the satisfied index or -1.
int TrySatisfy(WaitObject* const* objs, uint32_t count, bool waitAll) {
    if (waitAll) {
        for (uint32_t i = 0; i < count; ++i)
            if (!objs[i]->signalled) return -1;
        for (uint32_t i = 0; i < count; ++i)
            if (objs[i]->kind == Kind::Event && !objs[i]->manualReset) objs[i]->signalled = false;
        return 0;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (objs[i]->signalled) {
            if (objs[i]->kind == Kind::Event && !objs[i]->manualReset) objs[i]->signalled = false;
            return static_cast<int>(i);
        }
    }
    return -1;
}

uint32_t Wait(uint32_t count, const OS_HANDLE* handles, bool waitAll, uint32_t milliseconds) {
    if (count == 0 || count > OS_MAXIMUM_WAIT_OBJECTS || handles == nullptr) return OS_WAIT_FAILED;
    WaitObject* objs[OS_MAXIMUM_WAIT_OBJECTS];
    std::unique_lock<std::mutex> lk(Lock());
    for (uint32_t i = 0; i < count; ++i) {
        objs[i] = Validate(handles[i]);
        if (objs[i] == nullptr) return OS_WAIT_FAILED;
    }
    int idx = TrySatisfy(objs, count, waitAll);
    if (idx >= 0) return OS_WAIT_OBJECT_0 + static_cast<uint32_t>(idx);
    if (milliseconds == 0) return OS_WAIT_TIMEOUT;

    Waiter self;
    for (uint32_t i = 0; i < count; ++i) {
        ++objs[i]->refs;  // keeps the object alive should its handle be closed meanwhile
        objs[i]->waiters.push_back(&self);
    }
    const bool infinite = milliseconds == OS_INFINITE;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    uint32_t result = OS_WAIT_TIMEOUT;
    for (;;) {
        if (infinite) {
            self.cv.wait(lk);
        } else if (self.cv.wait_until(lk, deadline) == std::cv_status::timeout) {
            idx = TrySatisfy(objs, count, waitAll);
            if (idx >= 0) result = OS_WAIT_OBJECT_0 + static_cast<uint32_t>(idx);
            break;
        }
        idx = TrySatisfy(objs, count, waitAll);
        if (idx >= 0) {
            result = OS_WAIT_OBJECT_0 + static_cast<uint32_t>(idx);
            break;
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        RemoveWaiter(objs[i], &self);
        Unref(objs[i]);
    }
    return result;
}

struct ThreadStart {
    OS_THREAD_ROUTINE routine;
    void* argument;
    WaitObject* object;
};

void* ThreadMain(void* p) {
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    start.routine(start.argument);
    std::lock_guard<std::mutex> lk(Lock());
    Signal(start.object);
    Unref(start.object);
    return nullptr;
}

std::atomic<uint32_t> g_nextThreadId{1};

struct CriticalSection {
    pthread_mutex_t mutex;
};
static_assert(sizeof(CriticalSection) <= sizeof(OS_CRITICAL_SECTION), "critical section storage too small");
static_assert(alignof(CriticalSection) <= alignof(OS_CRITICAL_SECTION), "critical section storage misaligned");

CriticalSection* Cs(OS_CRITICAL_SECTION* s) { return reinterpret_cast<CriticalSection*>(s); }

}  // namespace

extern "C" {

OS_HANDLE OsUserCreateEvent(void* attributes, int manualReset, int initiallySignalled, const char* name) {
    if (attributes != nullptr || name != nullptr) return nullptr;
    auto* o = new (std::nothrow) WaitObject(Kind::Event, manualReset != 0, initiallySignalled != 0, 1);
    if (o == nullptr) return nullptr;
    std::lock_guard<std::mutex> lk(Lock());
    OS_HANDLE h = Register(o);
    if (h == nullptr) delete o;
    return h;
}

int OsUserSetEvent(OS_HANDLE event) {
    std::lock_guard<std::mutex> lk(Lock());
    WaitObject* o = Validate(event);
    if (o == nullptr || o->kind != Kind::Event) return 0;
    if (!o->signalled) Signal(o);
    return 1;
}

int OsUserResetEvent(OS_HANDLE event) {
    std::lock_guard<std::mutex> lk(Lock());
    WaitObject* o = Validate(event);
    if (o == nullptr || o->kind != Kind::Event) return 0;
    o->signalled = false;
    return 1;
}

uint32_t OsUserWaitForSingleObject(OS_HANDLE handle, uint32_t milliseconds) {
    return Wait(1, &handle, false, milliseconds);
}

uint32_t OsUserWaitForMultipleObjects(uint32_t count, const OS_HANDLE* handles, int waitAll,
                                      uint32_t milliseconds) {
    return Wait(count, handles, waitAll != 0, milliseconds);
}

int OsUserCloseHandle(OS_HANDLE handle) {
    std::lock_guard<std::mutex> lk(Lock());
    WaitObject* o = Validate(handle);
    if (o == nullptr) return 0;
    Table().erase(reinterpret_cast<uintptr_t>(handle));
    Unref(o);
    return 1;
}

int OsUserCreateThreadEx(void* attributes, OS_THREAD_ROUTINE routine, void* argument, uint32_t flags,
                         OS_HANDLE* handle, uint32_t stackSize, uint32_t* threadId) {
    if (handle != nullptr) *handle = nullptr;
    if (attributes != nullptr || routine == nullptr || flags != 0) return 0;
    // One reference for the handle (when the caller wants it), one for the thread.
    auto* obj = new (std::nothrow) WaitObject(Kind::Thread, true, false, handle != nullptr ? 2 : 1);
    auto* start = new (std::nothrow) ThreadStart{routine, argument, obj};
    if (obj == nullptr || start == nullptr) {
        delete obj;
        delete start;
        return 0;
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackSize != 0) pthread_attr_setstacksize(&attr, std::max<size_t>(stackSize, 65536));
    OS_HANDLE h = nullptr;
    if (handle != nullptr) {
        std::lock_guard<std::mutex> lk(Lock());
        h = Register(obj);
    }
    pthread_t tid;
    int rc = (handle != nullptr && h == nullptr) ? -1 : pthread_create(&tid, &attr, ThreadMain, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        std::lock_guard<std::mutex> lk(Lock());
        if (h != nullptr) Table().erase(reinterpret_cast<uintptr_t>(h));
        delete obj;
        delete start;
        return 0;
    }
    if (threadId != nullptr) *threadId = g_nextThreadId.fetch_add(1);
    if (handle != nullptr) *handle = h;
    return 1;
}

void OsUserInitializeCriticalSection(OS_CRITICAL_SECTION* section) {
    std::memset(section, 0, sizeof(*section));
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&Cs(section)->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

void OsUserEnterCriticalSection(OS_CRITICAL_SECTION* section) { pthread_mutex_lock(&Cs(section)->mutex); }

void OsUserLeaveCriticalSection(OS_CRITICAL_SECTION* section) { pthread_mutex_unlock(&Cs(section)->mutex); }

void OsUserDeleteCriticalSection(OS_CRITICAL_SECTION* section) { pthread_mutex_destroy(&Cs(section)->mutex); }

void OsUserSleep(uint32_t milliseconds) {
    struct timespec ts;
    ts.tv_sec = milliseconds / 1000;
    ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int32_t InterlockedIncrement(volatile int32_t* value) {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

int32_t InterlockedDecrement(volatile int32_t* value) {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

int32_t InterlockedExchange(volatile int32_t* target, int32_t value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

}  // extern "C"
