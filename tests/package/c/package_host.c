/*
 * package_host.c - a C host built outside the tree against the installed
 * package, through the C binding alone: connects to the simulated
 * controller, waits for logged events and gives every handle back. Exit
 * status 0 when every call worked and the log held events.
 */
#include <stdio.h>
#include <time.h>

#include "ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h"
#include "ZtEventLoggerVdlVersion.h"

static int fail(const char* what, HRESULT hr) {
    fprintf(stderr, "package_host_c: %s failed: 0x%08X\n", what, (unsigned)hr);
    return 1;
}

int main(void) {
    void* logger = NULL;
    HRESULT hr = CreateHandle(CLSID_ZtEventLogger, &logger);
    int count = 0, i;
    if (hr != S_OK) return fail("CreateHandle", hr);
    hr = IZtEventLogger_Connect(logger, "localhost");
    if (hr != S_OK) {
        ReleaseHandle(logger);
        return fail("Connect", hr);
    }
    for (i = 0; i < 100 && count == 0; ++i) {
        void* events = NULL;
        struct timespec pause = {0, 100000000L};
        hr = IZtEventLogger_GetLoggedEvents(logger, 10, &events);
        if (hr != S_OK) break;
        IZtLoggedEventCollection_get_Count(events, &count);
        ReleaseHandle(events);
        if (count == 0) nanosleep(&pause, NULL);
    }
    IZtEventLogger_Disconnect(logger);
    ReleaseHandle(logger);
    if (hr != S_OK) return fail("GetLoggedEvents", hr);
    printf("C binding %s: %d logged events\n", ZT_EVENT_LOGGER_VDL_VERSION_STRING, count);
    return count > 0 ? 0 : fail("waiting for logged events", 0);
}
