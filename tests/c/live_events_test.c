/* Live events from C, end to end against the simulated demo machine: the
 * logger's and an alarm's callbacks, callbacks that call back into the
 * binding, one that unadvises itself, one that releases its logger, and the
 * logger operations that take filters and settings. */
#include <stdlib.h>

#include "ZtCTest.h"

typedef struct Counts {
    pthread_mutex_t lock;
    int messages, raised, cleared, confirmed, removed;
    int raisedReadBack;   /* raised alarms whose properties read back from inside the callback */
    int raisedWithText;   /* ... and whose text came from the controller */
    int badRemovedFlag;
    int alarmAdvised;     /* an alarm advised from inside a callback */
    int alarmCleared, alarmConfirmed;
    HRESULT alarmAdvise; /* result of the advise made inside the callback */
    void* logger;
} Counts;

static void on_alarm_cleared(void* context, void* alarm) {
    Counts* c = (Counts*)context;
    char raised = 9;
    IZtAlarm_get_IsRaised(alarm, &raised);
    pthread_mutex_lock(&c->lock);
    c->alarmCleared += raised == 0;
    pthread_mutex_unlock(&c->lock);
    ReleaseHandle(alarm);
}
static void on_alarm_confirmed(void* context, void* alarm) {
    Counts* c = (Counts*)context;
    pthread_mutex_lock(&c->lock);
    ++c->alarmConfirmed;
    pthread_mutex_unlock(&c->lock);
    ReleaseHandle(alarm);
}

static void on_message(void* context, void* message) {
    Counts* c = (Counts*)context;
    pthread_mutex_lock(&c->lock);
    ++c->messages;
    pthread_mutex_unlock(&c->lock);
    ReleaseHandle(message);
}

static void on_raised(void* context, void* alarm) {
    static const ZtAlarmCallbacks alarmCallbacks = {NULL, on_alarm_cleared, on_alarm_confirmed};
    Counts* c = (Counts*)context;
    unsigned int id = 0, cookie = 0;
    char raised = 0;
    ZtText text;
    int readBack, advise;
    memset(&text, 0, sizeof text);
    /* Back into the binding from the worker thread: properties, a request, an advise. */
    readBack = IZtEvent_get_EventId(alarm, &id) == S_OK && id != 0 && IZtAlarm_get_IsRaised(alarm, &raised) == S_OK &&
               raised == 1;
    IZtEvent_GetText(alarm, 1033, zt_text_cb, &text);
    pthread_mutex_lock(&c->lock);
    ++c->raised;
    c->raisedReadBack += readBack;
    c->raisedWithText += text.text[0] != 0;
    advise = !c->alarmAdvised;
    c->alarmAdvised = 1;
    pthread_mutex_unlock(&c->lock);
    if (advise) {
        HRESULT hr = IZtAlarm_AdviseCallbacks(alarm, &alarmCallbacks, c, &cookie);
        pthread_mutex_lock(&c->lock);
        c->alarmAdvise = hr;
        pthread_mutex_unlock(&c->lock);
    }
    ReleaseHandle(alarm);
}

static void on_changed(Counts* c, void* alarm, char removed, int* counter) {
    pthread_mutex_lock(&c->lock);
    ++*counter;
    c->removed += removed == 1;
    c->badRemovedFlag += removed != 0 && removed != 1;
    pthread_mutex_unlock(&c->lock);
    ReleaseHandle(alarm);
}
static void on_cleared(void* context, void* alarm, char removed) {
    Counts* c = (Counts*)context;
    on_changed(c, alarm, removed, &c->cleared);
}
static void on_confirmed(void* context, void* alarm, char removed) {
    Counts* c = (Counts*)context;
    on_changed(c, alarm, removed, &c->confirmed);
}

/* Unadvises its own advise from inside its first call. */
typedef struct Once {
    pthread_mutex_t lock;
    void* logger;
    unsigned int cookie;
    int calls;
    HRESULT unadvised;
} Once;

static void once(void* context, void* object) {
    Once* o = (Once*)context;
    int first;
    pthread_mutex_lock(&o->lock);
    first = o->calls++ == 0;
    pthread_mutex_unlock(&o->lock);
    if (first) {
        HRESULT hr = IZtEventLogger_UnadviseCallbacks(o->logger, o->cookie);
        pthread_mutex_lock(&o->lock);
        o->unadvised = hr;
        pthread_mutex_unlock(&o->lock);
    }
    ReleaseHandle(object);
}

/* Releases the last handle of its own logger from inside a callback. */
typedef struct Dropper {
    void* logger;
    int done;
    HRESULT released;
    pthread_mutex_t lock;
} Dropper;

static Dropper g_dropper; /* outlives the logger's worker thread */

static void drop_logger(void* context, void* object) {
    Dropper* d = (Dropper*)context;
    void* logger = NULL;
    ReleaseHandle(object);
    pthread_mutex_lock(&d->lock);
    logger = d->logger;
    d->logger = NULL;
    pthread_mutex_unlock(&d->lock);
    if (logger) {
        HRESULT hr = ReleaseHandle(logger);
        pthread_mutex_lock(&d->lock);
        d->released = hr;
        d->done = 1;
        pthread_mutex_unlock(&d->lock);
    }
}

static int counts_reached(Counts* c) {
    int ok;
    pthread_mutex_lock(&c->lock);
    ok = c->messages >= 1 && c->raised >= 3 && c->cleared >= 2 && c->confirmed >= 1 && c->removed >= 1 &&
         c->alarmCleared >= 1;
    pthread_mutex_unlock(&c->lock);
    return ok;
}

static void test_callbacks(void) {
    Counts c;
    Once o;
    ZtEventLoggerCallbacks callbacks = {on_message, on_raised, on_cleared, on_confirmed};
    ZtEventLoggerCallbacks onceCallbacks = {once, once, NULL, NULL};
    unsigned int cookie = 0;
    double until;
    int before;

    memset(&c, 0, sizeof c);
    memset(&o, 0, sizeof o);
    pthread_mutex_init(&c.lock, NULL);
    pthread_mutex_init(&o.lock, NULL);
    c.logger = o.logger = zt_connected_logger();
    ZT_REQUIRE_VOID(c.logger);
    ZT_CHECK_HR(S_OK, IZtEventLogger_AdviseCallbacks(c.logger, &callbacks, &c, &cookie));
    ZT_CHECK(cookie != 0);
    pthread_mutex_lock(&o.lock); /* the callback must see the cookie */
    ZT_CHECK_HR(S_OK, IZtEventLogger_AdviseCallbacks(o.logger, &onceCallbacks, &o, &o.cookie));
    pthread_mutex_unlock(&o.lock);

    for (until = zt_now_ms() + 20000; zt_now_ms() < until && !counts_reached(&c);) zt_sleep_ms(20);
    ZT_CHECK(counts_reached(&c));
    pthread_mutex_lock(&c.lock);
    ZT_CHECK(c.raisedReadBack == c.raised);
    ZT_CHECK(c.raisedWithText == c.raised);
    ZT_CHECK(c.badRemovedFlag == 0);
    ZT_CHECK_HR(S_OK, c.alarmAdvise);
    pthread_mutex_unlock(&c.lock);
    pthread_mutex_lock(&o.lock);
    ZT_CHECK(o.calls == 1);
    ZT_CHECK(o.unadvised == S_OK);
    pthread_mutex_unlock(&o.lock);

    ZT_CHECK_HR(CONNECT_E_NOCONNECTION, IZtEventLogger_UnadviseCallbacks(c.logger, o.cookie));
    ZT_CHECK_HR(CONNECT_E_NOCONNECTION, IZtEventLogger_UnadviseCallbacks(c.logger, 999));
    ZT_CHECK_HR(S_OK, IZtEventLogger_UnadviseCallbacks(c.logger, cookie));
    /* Once unadvised nothing more arrives. */
    pthread_mutex_lock(&c.lock);
    before = c.raised + c.cleared + c.confirmed + c.messages;
    pthread_mutex_unlock(&c.lock);
    zt_sleep_ms(1500);
    pthread_mutex_lock(&c.lock);
    ZT_CHECK(before == c.raised + c.cleared + c.confirmed + c.messages);
    pthread_mutex_unlock(&c.lock);

    ZT_CHECK_HR(S_OK, ReleaseHandle(c.logger));
    pthread_mutex_destroy(&c.lock);
    pthread_mutex_destroy(&o.lock);
}

static void test_release_from_callback(void) {
    Dropper* dp = &g_dropper;
    ZtEventLoggerCallbacks callbacks = {drop_logger, drop_logger, NULL, NULL};
    unsigned int cookie = 0;
    double until;
    int done = 0;
    char connected = 0;
    void* logger = zt_connected_logger();
    ZT_REQUIRE_VOID(logger);
    memset(dp, 0, sizeof *dp);
    pthread_mutex_init(&dp->lock, NULL);
    pthread_mutex_lock(&dp->lock);
    dp->logger = logger;
    ZT_CHECK_HR(S_OK, IZtEventLogger_AdviseCallbacks(logger, &callbacks, dp, &cookie));
    pthread_mutex_unlock(&dp->lock);
    for (until = zt_now_ms() + 10000; zt_now_ms() < until && !done; zt_sleep_ms(10)) {
        pthread_mutex_lock(&dp->lock);
        done = dp->done;
        pthread_mutex_unlock(&dp->lock);
    }
    ZT_CHECK(done);
    ZT_CHECK_HR(S_OK, dp->released);
    ZT_CHECK_HR(E_NOINTERFACE, IZtEventLogger_get_IsConnected(logger, &connected));
    zt_sleep_ms(200); /* the logger goes on its own thread once the callback has returned */
}

static int severity_at_least(void* events, int minimum) {
    int count = 0, i, ok = 1;
    IZtLoggedEventCollection_get_Count(events, &count);
    for (i = 0; i < count; ++i) {
        void* e = NULL;
        ZtSeverityLevel s = -1;
        if (IZtLoggedEventCollection_get_Item(events, i, &e) != S_OK) return 0;
        IZtLoggedEvent_get_SeverityLevel(e, &s);
        ok = ok && s >= minimum;
        ReleaseHandle(e);
    }
    return ok;
}

static void test_filters_and_settings(void) {
    void* logger = zt_connected_logger();
    GUID filterClass = ZT_CLSID_ZtEventFilter_INIT, settingsClass = ZT_CLSID_ZtExportSettings_INIT;
    void *filter = NULL, *settings = NULL, *events = NULL;
    const HRESULT kNotFound = (HRESULT)0x9811070Cu;
    HRESULT hr;
    int count = -1;
    ZT_REQUIRE_VOID(logger);
    ZT_CHECK_HR(S_OK, CreateHandle(filterClass, &filter));
    ZT_CHECK_HR(S_OK, CreateHandle(settingsClass, &settings));

    /* The newest events that are at least warnings, at most five. */
    ZT_CHECK_HR(S_OK, IZtEventFilter_AddSeverityExpression(filter, SeverityWarning, FilterGreaterOrEqual));
    ZT_CHECK_HR(S_OK, IZtExportSettings_put_Filter(settings, filter));
    ZT_CHECK_HR(S_OK, IZtExportSettings_put_MaxCount(settings, 5));
    ZT_CHECK_HR(S_OK, IZtEventLogger3_GetLoggedEvents2(logger, settings, &events));
    ZT_CHECK_HR(S_OK, IZtLoggedEventCollection_get_Count(events, &count));
    ZT_CHECK(count >= 1 && count <= 5);
    ZT_CHECK(severity_at_least(events, SeverityWarning));
    ReleaseHandle(events);

    /* Filters: none (all alarms) and one reach the controller (which may
     * find nothing to confirm), a handle of something else is refused before
     * anything is sent, an invalid filter is the logger's to refuse. */
    hr = IZtEventLogger3_ConfirmAlarms(logger, 0, NULL);
    ZT_CHECK(hr == S_OK || hr == kNotFound);
    hr = IZtEventLogger3_ConfirmAlarms(logger, 0, filter);
    ZT_CHECK(hr == S_OK || hr == kNotFound);
    ZT_CHECK_HR(E_NOINTERFACE, IZtEventLogger3_ConfirmAlarms(logger, 0, settings));
    ZT_CHECK_HR(E_NOINTERFACE, IZtEventLogger3_ClearAlarms(logger, 0, 0, settings));
    ZT_CHECK_HR(E_NOINTERFACE, IZtEventLogger3_GetLoggedEvents2(logger, filter, &events));
    ZT_CHECK_HR(S_OK, IZtEventFilter_AddLogicalOperator(filter));
    ZT_CHECK(IZtEventLogger3_ConfirmAlarms(logger, 0, filter) == (HRESULT)0x9811070Bu);

    ReleaseHandle(filter);
    ReleaseHandle(settings);
    ReleaseHandle(logger);
}

int main(void) {
    test_callbacks();
    test_release_from_callback();
    test_filters_and_settings();
    return zt_result();
}
