/*
 * ZtPalDrvIf.h - platform abstraction: waitable events, waits with time-out,
 * threads, critical sections, sleep and interlocked operations.
 *
 * Handles are opaque. Every handle returned by OsUserCreateEvent or
 * OsUserCreateThreadEx must be closed exactly once with OsUserCloseHandle;
 * a thread keeps running when its handle is closed.
 *
 * All functions are thread-safe. Waits may be made on the same handle from
 * several threads at once.
 */
#ifndef ZT_PAL_DRV_IF_H
#define ZT_PAL_DRV_IF_H

#include <stdint.h>

#if defined(__GNUC__)
#define ZT_PAL_API __attribute__((visibility("default")))
#else
#define ZT_PAL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* OS_HANDLE;

/* Thread routine: its result is kept nowhere; the handle becomes signalled
 * when the routine has returned. */
typedef uint32_t (*OS_THREAD_ROUTINE)(void* argument);

#define OS_WAIT_OBJECT_0 0x00000000u /* + index of the signalled handle */
#define OS_WAIT_TIMEOUT 0x00000102u  /* nothing was signalled within the time */
#define OS_WAIT_FAILED 0xFFFFFFFFu   /* bad handle or bad arguments */
#define OS_INFINITE 0xFFFFFFFFu      /* time-out value: wait without limit */
#define OS_MAXIMUM_WAIT_OBJECTS 64u

/* Lock object owned by the caller. The lock is recursive: the owning thread
 * may enter it again and must leave it as often as it entered. */
typedef struct OS_CRITICAL_SECTION {
    uint64_t opaque[8];
} OS_CRITICAL_SECTION;

/* Creates an event. manualReset != 0: stays signalled until OsUserResetEvent;
 * otherwise a satisfied wait resets it, so one signal releases one waiter.
 * attributes and name must be null. Returns null on failure. */
ZT_PAL_API OS_HANDLE OsUserCreateEvent(void* attributes, int manualReset, int initiallySignalled,
                                       const char* name);

/* Signal / unsignal an event. Non-zero on success, 0 for a handle that is
 * not an event. */
ZT_PAL_API int OsUserSetEvent(OS_HANDLE event);
ZT_PAL_API int OsUserResetEvent(OS_HANDLE event);

/* Waits until the handle is signalled (an event is set, a thread has ended).
 * Returns OS_WAIT_OBJECT_0, OS_WAIT_TIMEOUT, or OS_WAIT_FAILED. */
ZT_PAL_API uint32_t OsUserWaitForSingleObject(OS_HANDLE handle, uint32_t milliseconds);

/* Waits for any (waitAll == 0) or all (waitAll != 0) of count handles.
 * Any: returns OS_WAIT_OBJECT_0 + the lowest index of a signalled handle.
 * All: returns OS_WAIT_OBJECT_0 once every handle was signalled at once.
 * OS_WAIT_TIMEOUT on time-out, OS_WAIT_FAILED for bad arguments (count 0 or
 * above OS_MAXIMUM_WAIT_OBJECTS, a null or closed handle). Automatic-reset
 * events that satisfy the wait are reset. */
ZT_PAL_API uint32_t OsUserWaitForMultipleObjects(uint32_t count, const OS_HANDLE* handles, int waitAll,
                                                 uint32_t milliseconds);

/* Releases a handle. Non-zero on success, 0 for a null or foreign handle. */
ZT_PAL_API int OsUserCloseHandle(OS_HANDLE handle);

/* Runs routine(argument) on a new thread and stores a waitable handle of it in
 * *handle (when handle is not null). attributes must be null, flags 0,
 * stackSize 0 for the default; *threadId receives a process-unique number
 * when threadId is not null. Non-zero on success; on failure *handle is null. */
ZT_PAL_API int OsUserCreateThreadEx(void* attributes, OS_THREAD_ROUTINE routine, void* argument, uint32_t flags,
                                    OS_HANDLE* handle, uint32_t stackSize, uint32_t* threadId);

ZT_PAL_API void OsUserInitializeCriticalSection(OS_CRITICAL_SECTION* section);
ZT_PAL_API void OsUserEnterCriticalSection(OS_CRITICAL_SECTION* section);
ZT_PAL_API void OsUserLeaveCriticalSection(OS_CRITICAL_SECTION* section);
ZT_PAL_API void OsUserDeleteCriticalSection(OS_CRITICAL_SECTION* section);

ZT_PAL_API void OsUserSleep(uint32_t milliseconds);

/* Atomic 32-bit operations. Increment and decrement return the new value,
 * exchange returns the old one. */
ZT_PAL_API int32_t InterlockedIncrement(volatile int32_t* value);
ZT_PAL_API int32_t InterlockedDecrement(volatile int32_t* value);
ZT_PAL_API int32_t InterlockedExchange(volatile int32_t* target, int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* ZT_PAL_DRV_IF_H */
