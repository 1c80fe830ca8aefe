/* Several threads creating, using and releasing handles of shared objects at
 * once, while the simulated controller changes the alarms: the same items
 * registered and released from many threads, new handles growing the
 * registry under concurrent lookups, callbacks advised and unadvised while
 * events flow. Run under ThreadSanitizer in CI. */
#include <stdatomic.h>

#include "ZtCTest.h"

enum { kThreads = 4, kRounds = 300, kEntries = 8 };

static void* g_logger;
static void* g_arguments;
static void* g_filter;
static atomic_int g_failures;
static atomic_int g_events;

#define T_CHECK(cond)                                                              \
    do {                                                                           \
        if (!(cond)) {                                                             \
            atomic_fetch_add(&g_failures, 1);                                      \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
        }                                                                          \
    } while (0)

static void on_event(void* context, void* object) {
    unsigned int id = 0;
    (void)context;
    if (IZtEvent_get_EventId(object, &id) == S_OK) atomic_fetch_add(&g_events, 1);
    ReleaseHandle(object);
}

static int active_alarms(void) {
    void* alarms = NULL;
    int count = 0;
    if (IZtEventLogger_get_ActiveAlarms(g_logger, &alarms) == S_OK) IZtAlarmCollection_get_Count(alarms, &count);
    ReleaseHandle(alarms);
    return count;
}

/* Reads every active alarm of a fresh snapshot. */
static void read_alarms(void) {
    void* alarms = NULL;
    int count = 0, i;
    T_CHECK(IZtEventLogger_get_ActiveAlarms(g_logger, &alarms) == S_OK);
    IZtAlarmCollection_get_Count(alarms, &count);
    for (i = 0; i < count; ++i) {
        void* alarm = NULL;
        unsigned int id = 0;
        char raised = 0;
        T_CHECK(IZtAlarmCollection_get_Item(alarms, i, &alarm) == S_OK);
        T_CHECK(IZtEvent_get_EventId(alarm, &id) == S_OK && id != 0);
        T_CHECK(IZtAlarm_get_IsRaised(alarm, &raised) == S_OK);
        T_CHECK(ReleaseHandle(alarm) == S_OK);
    }
    T_CHECK(ReleaseHandle(alarms) == S_OK);
}

/* The shared list's entries: each thread registers and releases the same handles. */
static void read_entries(int round) {
    void* entry = NULL;
    int value = -1;
    T_CHECK(IZtArguments_get_Item(g_arguments, round % kEntries, &entry) == S_OK);
    T_CHECK(IZtArgumentEntry_GetInt32(entry, &value) == S_OK && value == round % kEntries);
    T_CHECK(ReleaseHandle(entry) == S_OK);
}

/* Objects of the thread's own, many at once, built from the shared filter. */
static void make_and_drop(void) {
    void* own[16];
    int i;
    GUID filterClass = ZT_CLSID_ZtEventFilter_INIT;
    for (i = 0; i < 16; ++i) {
        own[i] = NULL;
        T_CHECK(CreateHandle(filterClass, &own[i]) == S_OK);
        T_CHECK(IZtEventFilter_AddExpressionGroup(own[i], g_filter) == S_OK);
    }
    for (i = 0; i < 16; ++i) T_CHECK(ReleaseHandle(own[i]) == S_OK);
}

/* At least kRounds rounds and long enough for the scenario to raise and
 * clear alarms meanwhile. Thread 0 also advises callbacks and unadvises
 * them again now and then, while events arrive. */
static void* worker(void* arg) {
    const int index = (int)(size_t)arg;
    const double until = zt_now_ms() + 1500;
    ZtEventLoggerCallbacks callbacks = {on_event, on_event, NULL, NULL};
    unsigned int cookie = 0;
    int round;
    for (round = 0; round < kRounds || zt_now_ms() < until; ++round) {
        read_entries(round + index);
        if (round % 4 == index % 4) read_alarms();
        if (round % 10 == 0) make_and_drop();
        if (index == 0 && round % 100 == 0) {
            if (cookie) T_CHECK(IZtEventLogger_UnadviseCallbacks(g_logger, cookie) == S_OK);
            cookie = 0;
            T_CHECK(IZtEventLogger_AdviseCallbacks(g_logger, &callbacks, NULL, &cookie) == S_OK);
        }
    }
    if (cookie) T_CHECK(IZtEventLogger_UnadviseCallbacks(g_logger, cookie) == S_OK);
    return NULL;
}

int main(void) {
    pthread_t threads[kThreads];
    GUID argumentsClass = ZT_CLSID_ZtArguments_INIT, filterClass = ZT_CLSID_ZtEventFilter_INIT;
    void* entry = NULL;
    int i;

    g_logger = zt_connected_logger();
    ZT_REQUIRE(g_logger);
    ZT_REQUIRE(CreateHandle(argumentsClass, &g_arguments) == S_OK);
    ZT_REQUIRE(CreateHandle(filterClass, &g_filter) == S_OK);
    ZT_CHECK_HR(S_OK, IZtEventFilter_AddSeverityExpression(g_filter, SeverityError, FilterEqual));
    for (i = 0; i < kEntries; ++i) {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = i;
        ZT_CHECK_HR(S_OK, IZtArguments_Add(g_arguments, &v));
    }

    for (double until = zt_now_ms() + 5000; zt_now_ms() < until && active_alarms() < 2;) zt_sleep_ms(10);
    for (i = 0; i < kThreads; ++i) ZT_REQUIRE(pthread_create(&threads[i], NULL, worker, (void*)(size_t)i) == 0);
    for (i = 0; i < kThreads; ++i) pthread_join(threads[i], NULL);
    zt_failures += atomic_load(&g_failures);
    ZT_CHECK(atomic_load(&g_events) > 0);

    /* Every registration was given back: an entry's handle is dead once more. */
    ZT_CHECK_HR(S_OK, IZtArguments_get_Item(g_arguments, 0, &entry));
    ZT_CHECK_HR(S_OK, ReleaseHandle(entry));
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(entry));

    ZT_CHECK_HR(S_OK, ReleaseHandle(g_filter));
    ZT_CHECK_HR(S_OK, ReleaseHandle(g_arguments));
    ZT_CHECK_HR(S_OK, ReleaseHandle(g_logger));
    return zt_result();
}
