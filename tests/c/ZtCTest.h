/* ZtCTest.h - the assertion helper of the C tests: each failed check prints
 * where and what, and the program's exit status is the number of failures
 * (capped), so CTest sees any of them. Also small helpers every C test of
 * the binding needs. */
#ifndef ZT_C_TEST_H
#define ZT_C_TEST_H

/* POSIX threads rather than C11 <threads.h>: ThreadSanitizer does not see
 * the C11 functions (glibc runs them past its interceptors), and the
 * concurrency test runs under it. */
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h"

static int zt_failures = 0;

#define ZT_CHECK(cond)                                                              \
    do {                                                                            \
        if (!(cond)) {                                                              \
            ++zt_failures;                                                          \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
        }                                                                           \
    } while (0)

/* Checks an HRESULT against the expected one, naming the call. */
#define ZT_CHECK_HR(expected, call)                                                                  \
    do {                                                                                             \
        HRESULT zt_hr_ = (call);                                                                     \
        if (zt_hr_ != (HRESULT)(expected)) {                                                         \
            ++zt_failures;                                                                           \
            fprintf(stderr, "%s:%d: %s returned 0x%08X, expected 0x%08X\n", __FILE__, __LINE__, #call, \
                    (unsigned)zt_hr_, (unsigned)(HRESULT)(expected));                                \
        }                                                                                            \
    } while (0)

/* A check that the rest of the test cannot do without. */
#define ZT_REQUIRE(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            ++zt_failures;                                                        \
            fprintf(stderr, "%s:%d: required: %s\n", __FILE__, __LINE__, #cond); \
            return zt_result();                                                   \
        }                                                                         \
    } while (0)

/* The same in a function without a result. */
#define ZT_REQUIRE_VOID(cond)                                                     \
    do {                                                                          \
        if (!(cond)) {                                                            \
            ++zt_failures;                                                        \
            fprintf(stderr, "%s:%d: required: %s\n", __FILE__, __LINE__, #cond); \
            return;                                                               \
        }                                                                         \
    } while (0)

static inline int zt_result(void) {
    if (zt_failures) fprintf(stderr, "%d check(s) failed\n", zt_failures);
    return zt_failures > 100 ? 100 : zt_failures;
}

static inline void zt_sleep_ms(long ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static inline double zt_now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

/* Collects an output text into a buffer (truncated to its size). */
typedef struct ZtText {
    char text[512];
    int calls;
    int null;
} ZtText;

static inline void zt_text_cb(void* context, const char* text) {
    ZtText* t = (ZtText*)context;
    ++t->calls;
    t->null = text == NULL;
    snprintf(t->text, sizeof t->text, "%s", text ? text : "");
}

/* An event logger connected to the simulator's local target. */
static inline void* zt_connected_logger(void) {
    void* logger = NULL;
    GUID clsid = ZT_CLSID_ZtEventLogger_INIT;
    if (CreateHandle(clsid, &logger) != S_OK) return NULL;
    if (IZtEventLogger_Connect(logger, "localhost") != S_OK) {
        ReleaseHandle(logger);
        return NULL;
    }
    return logger;
}

#endif /* ZT_C_TEST_H */
