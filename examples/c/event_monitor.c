/*
 * event_monitor.c - a C host of the event logger, through the C binding.
 *
 *     event_monitor [target] [seconds]
 *
 * Connects to the target (default: the local controller), prints every
 * alarm change and message for a few seconds (default 4) as the controller
 * reports them, then lists the active alarms and the newest logged events
 * with their texts, confirms an alarm that waits for it, sends a message of
 * its own with arguments and source information, and gives back every
 * handle. Exits with 0 when every call succeeded.
 *
 * Build: cc event_monitor.c -lZtEventLoggerVdlProxyC_2.1
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <threads.h>
#include <time.h>

#include "ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h"

enum { kEnglish = 1033 };

static int g_failures;

/* Reports a failed call; the program goes on and exits with 1. */
static HRESULT check(HRESULT hr, const char* what) {
    if (hr != S_OK) {
        ++g_failures;
        fprintf(stderr, "event_monitor: %s failed: 0x%08X\n", what, (unsigned)hr);
    }
    return hr;
}

/* Output texts arrive through a callback; this one copies them. */
typedef struct Text {
    char value[256];
} Text;

static void copy_text(void* context, const char* text) {
    Text* t = (Text*)context;
    snprintf(t->value, sizeof t->value, "%s", text ? text : "");
}

static const char* event_text(void* event, int logged, Text* t) {
    t->value[0] = 0;
    if (logged) IZtLoggedEvent_GetText(event, kEnglish, copy_text, t);
    else IZtEvent_GetText(event, kEnglish, copy_text, t);
    return t->value;
}

static const char* kSeverity[] = {"verbose", "info", "warning", "error", "critical"};

static const char* severity_name(ZtSeverityLevel s) { return s >= 0 && s <= 4 ? kSeverity[s] : "?"; }

/* ---- live events: called on the logger's worker thread ------------------- */

static void print_alarm(const char* what, void* alarm) {
    unsigned int id = 0;
    ZtSeverityLevel severity = 0;
    Text t;
    IZtEvent_get_EventId(alarm, &id);
    IZtEvent_get_SeverityLevel(alarm, &severity);
    printf("  alarm %-10s %4u %-8s %s\n", what, id, severity_name(severity), event_text(alarm, 0, &t));
    fflush(stdout);
    ReleaseHandle(alarm); /* every handle a callback receives is its own */
}

static void on_message(void* context, void* message) {
    unsigned int id = 0;
    Text t, source;
    (void)context;
    source.value[0] = 0;
    IZtEvent_get_EventId(message, &id);
    IZtEvent_get_SourceName(message, copy_text, &source);
    printf("  message         %4u %-8s %s [%s]\n", id, "", event_text(message, 0, &t), source.value);
    fflush(stdout);
    ReleaseHandle(message);
}
static void on_raised(void* context, void* alarm) {
    (void)context;
    print_alarm("raised", alarm);
}
static void on_cleared(void* context, void* alarm, char removed) {
    (void)context;
    print_alarm(removed ? "cleared*" : "cleared", alarm);
}
static void on_confirmed(void* context, void* alarm, char removed) {
    (void)context;
    print_alarm(removed ? "confirmed*" : "confirmed", alarm);
}

/* ---- reading ---------------------------------------------------------------- */

static void list_active_alarms(void* logger) {
    void* alarms = NULL;
    int count = 0, i;
    if (check(IZtEventLogger_get_ActiveAlarms(logger, &alarms), "get_ActiveAlarms") != S_OK) return;
    IZtAlarmCollection_get_Count(alarms, &count);
    printf("active alarms: %d\n", count);
    for (i = 0; i < count; ++i) {
        void* alarm = NULL;
        unsigned int id = 0;
        char raised = 0;
        ZtConfirmationState state = 0;
        Text t;
        if (check(IZtAlarmCollection_get_Item(alarms, i, &alarm), "get_Item") != S_OK) continue;
        IZtEvent_get_EventId(alarm, &id);
        IZtAlarm_get_IsRaised(alarm, &raised);
        IZtAlarm_get_ConfirmationState(alarm, &state);
        printf("  %4u %-7s %-24s %s\n", id, raised ? "raised" : "cleared",
               state == ConfirmationWaitForConfirmation ? "waiting for confirmation" : "", event_text(alarm, 0, &t));
        ReleaseHandle(alarm);
    }
    ReleaseHandle(alarms);
}

static void list_logged_events(void* logger, unsigned int newest) {
    void* events = NULL;
    int count = 0, i;
    if (check(IZtEventLogger_GetLoggedEvents(logger, newest, &events), "GetLoggedEvents") != S_OK) return;
    IZtLoggedEventCollection_get_Count(events, &count);
    printf("newest %d logged events:\n", count);
    for (i = 0; i < count; ++i) {
        void* e = NULL;
        unsigned int id = 0;
        ZtEventType type = 0;
        Text t, className;
        className.value[0] = 0;
        if (check(IZtLoggedEventCollection_get_Item(events, i, &e), "get_Item") != S_OK) continue;
        IZtLoggedEvent_get_EventId(e, &id);
        IZtLoggedEvent_get_EventType(e, &type);
        IZtLoggedEvent_GetEventClassName(e, kEnglish, copy_text, &className);
        printf("  %-7s %-12s %4u %s\n", type == EventTypeAlarm ? "alarm" : "message", className.value, id,
               event_text(e, 1, &t));
        ReleaseHandle(e);
    }
    ReleaseHandle(events);
}

/* ---- acting --------------------------------------------------------------------- */

static void confirm_one_alarm(void* logger) {
    void* alarms = NULL;
    int count = 0, i, done = 0;
    if (check(IZtEventLogger_get_ActiveAlarms(logger, &alarms), "get_ActiveAlarms") != S_OK) return;
    IZtAlarmCollection_get_Count(alarms, &count);
    for (i = 0; i < count && !done; ++i) {
        void* alarm = NULL;
        ZtConfirmationState state = 0;
        unsigned int id = 0;
        if (IZtAlarmCollection_get_Item(alarms, i, &alarm) != S_OK) continue;
        IZtAlarm_get_ConfirmationState(alarm, &state);
        if (state == ConfirmationWaitForConfirmation) {
            IZtEvent_get_EventId(alarm, &id);
            if (check(IZtAlarm_Confirm(alarm), "Confirm") == S_OK) printf("confirmed alarm %u\n", id);
            done = 1;
        }
        ReleaseHandle(alarm);
    }
    if (!done) printf("no alarm waits for confirmation\n");
    ReleaseHandle(alarms);
}

static void send_message(void* logger) {
    static const GUID kClass = {0x4A6F1C2Eu, 0x8B3D, 0x4F51, {0x9C, 0x07, 0x2E, 0x5B, 0x7A, 0x9D, 0x1F, 0x30}};
    static const GUID kSource = {0xB5E3D7A1u, 0x6C2F, 0x4B8E, {0x9D, 0x10, 0x3A, 0x7F, 0x5C, 0x1E, 0x8B, 0x24}};
    void *source = NULL, *arguments = NULL;
    VARIANT values[3];
    if (check(CreateHandle(CLSID_ZtSourceInfo, &source), "CreateHandle(source info)") == S_OK) {
        check(IZtSourceInfo_put_Id(source, 13), "put_Id");
        check(IZtSourceInfo_put_Guid(source, kSource), "put_Guid");
        check(IZtSourceInfo_put_Name(source, "Host.EventMonitor"), "put_Name");
    }
    if (check(CreateHandle(CLSID_ZtArguments, &arguments), "CreateHandle(arguments)") == S_OK) {
        V_VT(&values[0]) = VT_BSTR;
        V_BSTR(&values[0]) = "Z"; /* a C string serves as a BSTR here: the binding copies it */
        V_VT(&values[1]) = VT_R8;
        V_R8(&values[1]) = 0.5;
        V_VT(&values[2]) = VT_R8;
        V_R8(&values[2]) = 0.25;
        check(IZtArguments_AddV(arguments, values, 3), "AddV");
    }
    if (check(IZtEventLogger2_SendZtMessage(logger, kClass, 10, SeverityWarning, "{\"from\":\"event_monitor\"}",
                                            source, arguments),
              "SendZtMessage") == S_OK)
        printf("sent message 10 with 3 arguments\n");
    ReleaseHandle(arguments);
    ReleaseHandle(source);
}

int main(int argc, char** argv) {
    const char* target = argc > 1 ? argv[1] : "localhost";
    const long seconds = argc > 2 ? strtol(argv[2], NULL, 10) : 4;
    ZtEventLoggerCallbacks callbacks = {on_message, on_raised, on_cleared, on_confirmed};
    unsigned int cookie = 0;
    void* logger = NULL;
    struct timespec pause;

    if (check(CreateHandle(CLSID_ZtEventLogger, &logger), "CreateHandle(event logger)") != S_OK) return 1;
    check(IZtEventLogger_AdviseCallbacks(logger, &callbacks, NULL, &cookie), "AdviseCallbacks");
    if (check(IZtEventLogger_Connect(logger, target), "Connect") == S_OK) {
        printf("connected to %s; live events for %ld s:\n", target, seconds);
        fflush(stdout);
        pause.tv_sec = seconds > 0 ? seconds : 0;
        pause.tv_nsec = 0;
        thrd_sleep(&pause, NULL);
        check(IZtEventLogger_UnadviseCallbacks(logger, cookie), "UnadviseCallbacks");

        list_active_alarms(logger);
        list_logged_events(logger, 8);
        confirm_one_alarm(logger);
        send_message(logger);
        check(IZtEventLogger_Disconnect(logger), "Disconnect");
    }
    check(ReleaseHandle(logger), "ReleaseHandle(event logger)");
    return g_failures ? 1 : 0;
}
