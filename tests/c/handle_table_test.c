/* Every C function that takes a handle, called with a handle that was never
 * registered, one whose registrations were all given back, and one whose
 * object lacks the function's interface: each answers E_NOINTERFACE and
 * touches nothing (no callback, no output written). Every function with a
 * callback or an out pointer the binding checks is also called on a proper
 * object with that pointer NULL: E_INVALIDARG, nothing called.
 *
 * Runs against the simulator, which supplies the alarms, messages, logged
 * events and texts. "--list" prints the functions of the table (the suite
 * checks them against the export list). */
#include "ZtCTest.h"

enum Kind {
    K_SOURCE, K_ENTRY, K_ARGS, K_FILTER, K_SETTINGS, K_DETAIL, K_DETAILS, K_CAUSE, K_CAUSES,
    K_EVENT, K_MESSAGE, K_ALARM, K_LOGGED, K_ALARMS, K_LOGGEDS, K_LOGGER, K_SINK, K_COUNT
};

typedef struct Probe {
    int nul; /* 0: every pointer given; 1, 2: the first, second checked pointer NULL */
    int calls;
    unsigned char buf[64];
    char byte;
    void* obj;
    VARIANT var;
    GUID guid;
    ZtEventArgumentsInfo info;
} Probe;

static void probe_text(void* context, const char* text) {
    (void)text;
    ++((Probe*)context)->calls;
}
static void probe_variant(void* context, const VARIANT* value) {
    (void)value;
    ++((Probe*)context)->calls;
}
static void probe_logger_event(void* context, void* object) {
    (void)context;
    ReleaseHandle(object);
}

#define P_TEXTCB (p->nul ? NULL : probe_text)
#define P_VARCB (p->nul ? NULL : probe_variant)
#define P_BOOL (p->nul ? NULL : &p->byte)
#define P_OBJ (p->nul ? NULL : &p->obj)

#define ROW(fn, kind, nullable, args)                  \
    static HRESULT row_##fn(void* h, Probe* p) {       \
        (void)p;                                       \
        return fn args;                                \
    }
#include "handle_table_rows.h"
#undef ROW

static HRESULT row_IZtEventLogger_AdviseCallbacks(void* h, Probe* p) {
    static const ZtEventLoggerCallbacks callbacks = {probe_logger_event, probe_logger_event, NULL, NULL};
    unsigned int cookie = 0;
    return IZtEventLogger_AdviseCallbacks(h, p->nul == 1 ? NULL : &callbacks, p, p->nul == 2 ? NULL : &cookie);
}
static HRESULT row_IZtAlarm_AdviseCallbacks(void* h, Probe* p) {
    static const ZtAlarmCallbacks callbacks = {probe_logger_event, NULL, NULL};
    unsigned int cookie = 0;
    return IZtAlarm_AdviseCallbacks(h, p->nul == 1 ? NULL : &callbacks, p, p->nul == 2 ? NULL : &cookie);
}

typedef struct Row {
    const char* name;
    int kind;
    int nullable; /* how many checked pointers */
    HRESULT (*call)(void* h, Probe* p);
} Row;

#define ROW(fn, kind, nullable, args) {#fn, kind, nullable, row_##fn},
static const Row kRows[] = {
#include "handle_table_rows.h"
    {"IZtEventLogger_AdviseCallbacks", K_LOGGER, 2, row_IZtEventLogger_AdviseCallbacks},
    {"IZtAlarm_AdviseCallbacks", K_ALARM, 2, row_IZtAlarm_AdviseCallbacks},
};
#undef ROW

/* The object of another kind that lacks each kind's interface. */
static const int kLacking[K_COUNT] = {
    [K_SOURCE] = K_FILTER, [K_ENTRY] = K_FILTER,    [K_ARGS] = K_FILTER,     [K_FILTER] = K_SETTINGS,
    [K_SETTINGS] = K_FILTER, [K_DETAIL] = K_CAUSE,  [K_DETAILS] = K_CAUSES,  [K_CAUSE] = K_DETAIL,
    [K_CAUSES] = K_DETAILS, [K_EVENT] = K_LOGGED,   [K_MESSAGE] = K_ALARM,   [K_ALARM] = K_MESSAGE,
    [K_LOGGED] = K_ALARM,   [K_ALARMS] = K_LOGGEDS, [K_LOGGEDS] = K_ALARMS,  [K_LOGGER] = K_FILTER,
    [K_SINK] = K_LOGGER,
};

static void* g_valid[K_COUNT];    /* a live handle of each kind (none for K_SINK) */
static void* g_keepers[4];        /* collections that keep released items alive */
static void* g_released[K_COUNT]; /* a handle of each kind whose registrations are all given back */

static void reset(Probe* p, int nul) {
    memset(p, 0, sizeof *p);
    p->nul = nul;
    memset(p->buf, 0xA5, sizeof p->buf);
    p->byte = 0x5A;
    p->obj = p;
    V_VT(&p->var) = VT_I4;
}

static int untouched(const Probe* p) {
    size_t i;
    for (i = 0; i < sizeof p->buf; ++i)
        if (p->buf[i] != 0xA5) return 0;
    return p->calls == 0 && p->byte == 0x5A && p->obj == p;
}

static void expect(const Row* row, const char* what, void* handle, int nul, HRESULT expected) {
    Probe p;
    HRESULT hr;
    reset(&p, nul);
    hr = row->call(handle, &p);
    if (hr != expected || !untouched(&p)) {
        ++zt_failures;
        fprintf(stderr, "%s with %s: 0x%08X, expected 0x%08X%s\n", row->name, what, (unsigned)hr, (unsigned)expected,
                untouched(&p) ? "" : ", and something was written or called");
    }
}

/* ---- the objects --------------------------------------------------------- */

static const GUID kAxes = {0x4A6F1C2Eu, 0x8B3D, 0x4F51, {0x9C, 0x07, 0x2E, 0x5B, 0x7A, 0x9D, 0x1F, 0x30}};

typedef struct Messages {
    pthread_mutex_t lock;
    void* mine;  /* the message this test sends (class kAxes, id 10: it has texts) */
    void* other; /* one of the scenario's */
} Messages;

static void on_message(void* context, void* message) {
    Messages* m = (Messages*)context;
    GUID cls;
    unsigned int id = 0;
    int keep = 0;
    IZtEvent_get_EventClass(message, &cls);
    IZtEvent_get_EventId(message, &id);
    pthread_mutex_lock(&m->lock);
    if (memcmp(&cls, &kAxes, sizeof cls) == 0 && id == 10 && !m->mine) m->mine = message, keep = 1;
    else if (!m->other) m->other = message, keep = 1;
    pthread_mutex_unlock(&m->lock);
    if (!keep) ReleaseHandle(message);
}

static void* create(GUID clsid) {
    void* h = NULL;
    return CreateHandle(clsid, &h) == S_OK ? h : NULL;
}

static void* item(void* collection, HRESULT (*get)(void*, int, void**)) {
    void* h = NULL;
    return get(collection, 0, &h) == S_OK ? h : NULL;
}

/* An item the collection keeps alive (another object than the valid one),
 * its handle given back at once. */
static void* released_item(void* collection, int index, HRESULT (*get)(void*, int, void**)) {
    void* h = NULL;
    if (get(collection, index, &h) != S_OK) return NULL;
    ReleaseHandle(h);
    return h;
}

/* An object made and released (gone; no registration follows that could
 * reuse its address). */
static void* released_object(void* h) {
    if (h) ReleaseHandle(h);
    return h;
}

static int setup(void) {
    Messages messages;
    ZtEventLoggerCallbacks callbacks = {on_message, NULL, NULL, NULL};
    unsigned int cookie = 0;
    VARIANT v;
    double until;
    int count = 0, k;

    memset(&messages, 0, sizeof messages);
    pthread_mutex_init(&messages.lock, NULL);
    g_valid[K_LOGGER] = zt_connected_logger();
    if (!g_valid[K_LOGGER]) return 0;
    g_valid[K_SOURCE] = create(CLSID_ZtSourceInfo);
    g_valid[K_ARGS] = create(CLSID_ZtArguments);
    g_valid[K_FILTER] = create(CLSID_ZtEventFilter);
    g_valid[K_SETTINGS] = create(CLSID_ZtExportSettings);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = "Z";
    ZT_CHECK_HR(S_OK, IZtArguments_Add(g_valid[K_ARGS], &v));
    ZT_CHECK_HR(S_OK, IZtArguments_Add(g_valid[K_ARGS], &v));
    g_valid[K_ENTRY] = item(g_valid[K_ARGS], IZtArguments_get_Item);

    ZT_CHECK_HR(S_OK, IZtEventLogger_AdviseCallbacks(g_valid[K_LOGGER], &callbacks, &messages, &cookie));
    ZT_CHECK_HR(S_OK, IZtEventLogger2_SendZtMessage(g_valid[K_LOGGER], kAxes, 10, SeverityInfo, NULL,
                                                    g_valid[K_SOURCE], g_valid[K_ARGS]));
    for (until = zt_now_ms() + 10000; zt_now_ms() < until; zt_sleep_ms(10)) {
        pthread_mutex_lock(&messages.lock);
        k = messages.mine && messages.other;
        pthread_mutex_unlock(&messages.lock);
        if (k) break;
    }
    ZT_CHECK_HR(S_OK, IZtEventLogger_UnadviseCallbacks(g_valid[K_LOGGER], cookie));
    g_valid[K_MESSAGE] = messages.mine;
    pthread_mutex_destroy(&messages.lock);
    if (!messages.mine || !messages.other) return 0;

    for (until = zt_now_ms() + 10000; zt_now_ms() < until && count < 2; zt_sleep_ms(20)) {
        if (g_valid[K_ALARMS]) ReleaseHandle(g_valid[K_ALARMS]);
        g_valid[K_ALARMS] = NULL;
        IZtEventLogger_get_ActiveAlarms(g_valid[K_LOGGER], &g_valid[K_ALARMS]);
        IZtAlarmCollection_get_Count(g_valid[K_ALARMS], &count);
    }
    g_valid[K_ALARM] = item(g_valid[K_ALARMS], IZtAlarmCollection_get_Item);
    g_valid[K_EVENT] = g_valid[K_ALARM];
    ZT_CHECK_HR(S_OK, IZtEventLogger_GetLoggedEvents(g_valid[K_LOGGER], 20, &g_valid[K_LOGGEDS]));
    g_valid[K_LOGGED] = item(g_valid[K_LOGGEDS], IZtLoggedEventCollection_get_Item);
    ZT_CHECK_HR(S_OK, IZtMessage3_GetCauseRemedy(g_valid[K_MESSAGE], 1033, &g_valid[K_CAUSES]));
    g_valid[K_CAUSE] = item(g_valid[K_CAUSES], IZtCauseRemedyCollection_get_Item);
    ZT_CHECK_HR(S_OK, IZtMessage3_GetDetails(g_valid[K_MESSAGE], 1033, &g_valid[K_DETAILS]));
    g_valid[K_DETAIL] = item(g_valid[K_DETAILS], IZtDetailCollection_get_Item);
    for (k = 0; k < K_COUNT; ++k)
        if (k != K_SINK && !g_valid[k]) {
            fprintf(stderr, "no object of kind %d\n", k);
            return 0;
        }

    /* Items of the same collections, or of second ones with new objects. */
    IZtEventLogger_GetLoggedEvents(g_valid[K_LOGGER], 20, &g_keepers[0]);
    IZtMessage3_GetCauseRemedy(g_valid[K_MESSAGE], 1033, &g_keepers[1]);
    IZtMessage3_GetDetails(g_valid[K_MESSAGE], 1033, &g_keepers[2]);
    g_released[K_ALARM] = released_item(g_valid[K_ALARMS], 1, IZtAlarmCollection_get_Item);
    g_released[K_EVENT] = g_released[K_ALARM];
    g_released[K_LOGGED] = released_item(g_keepers[0], 0, IZtLoggedEventCollection_get_Item);
    g_released[K_CAUSE] = released_item(g_keepers[1], 0, IZtCauseRemedyCollection_get_Item);
    g_released[K_DETAIL] = released_item(g_keepers[2], 0, IZtDetailCollection_get_Item);
    g_released[K_ENTRY] = released_item(g_valid[K_ARGS], 1, IZtArguments_get_Item);
    for (k = 0; k < K_COUNT; ++k)
        if (k != K_SINK && g_released[k] == g_valid[k]) {
            fprintf(stderr, "released handle of kind %d is a valid one\n", k);
            return 0;
        }
    /* Last, so that no registration follows a release of an object that is gone. */
    g_released[K_MESSAGE] = released_object(messages.other);
    g_released[K_SOURCE] = released_object(create(CLSID_ZtSourceInfo));
    g_released[K_ARGS] = released_object(create(CLSID_ZtArguments));
    g_released[K_FILTER] = released_object(create(CLSID_ZtEventFilter));
    g_released[K_SETTINGS] = released_object(create(CLSID_ZtExportSettings));
    g_released[K_LOGGER] = released_object(create(CLSID_ZtEventLogger));
    g_released[K_SINK] = g_released[K_FILTER];
    {
        void* h = NULL;
        IZtEventLogger_get_ActiveAlarms(g_valid[K_LOGGER], &h);
        g_released[K_ALARMS] = released_object(h);
        h = NULL;
        IZtEventLogger_GetLoggedEvents(g_valid[K_LOGGER], 1, &h);
        g_released[K_LOGGEDS] = released_object(h);
        h = NULL;
        IZtMessage3_GetCauseRemedy(g_valid[K_MESSAGE], 1033, &h);
        g_released[K_CAUSES] = released_object(h);
        h = NULL;
        IZtMessage3_GetDetails(g_valid[K_MESSAGE], 1033, &h);
        g_released[K_DETAILS] = released_object(h);
    }
    return 1;
}

int main(int argc, char** argv) {
    const size_t rows = sizeof kRows / sizeof kRows[0];
    int never = 0, k;
    size_t i;
    if (argc > 1 && strcmp(argv[1], "--list") == 0) {
        for (i = 0; i < rows; ++i) printf("%s\n", kRows[i].name);
        printf("ReleaseHandle\n");
        return 0;
    }
    ZT_REQUIRE(setup());
    for (i = 0; i < rows; ++i) {
        const Row* row = &kRows[i];
        expect(row, "an unregistered handle", &never, 0, E_NOINTERFACE);
        expect(row, "a released handle", g_released[row->kind], 0, E_NOINTERFACE);
        expect(row, "an object without the interface", g_valid[kLacking[row->kind]], 0, E_NOINTERFACE);
        for (k = 1; k <= row->nullable; ++k) expect(row, "a NULL pointer", g_valid[row->kind], k, E_INVALIDARG);
    }
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(&never));
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(g_released[K_ALARM]));
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(g_released[K_LOGGER]));

    for (k = 0; k < K_COUNT; ++k)
        if (g_valid[k] && k != K_EVENT) ZT_CHECK_HR(S_OK, ReleaseHandle(g_valid[k]));
    for (k = 0; k < 3; ++k) ZT_CHECK_HR(S_OK, ReleaseHandle(g_keepers[k]));
    return zt_result();
}
