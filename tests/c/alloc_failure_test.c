/* An input text the binding cannot copy must not reach the method: the call
 * answers E_OUTOFMEMORY and the object keeps what it had. The executable
 * supplies malloc itself (exported, so the libraries' calls come here) and
 * fails the one request whose size only that copy asks for. Built without
 * sanitizers only: they bring their own allocator. */
#include <stdatomic.h>
#include <stdlib.h>

#include "ZtCTest.h"

extern void* __libc_malloc(size_t size);

static atomic_size_t g_failSize; /* 0: fail nothing */
static atomic_int g_failed;

/* Default visibility: the build hides symbols unless told. */
__attribute__((visibility("default"))) void* malloc(size_t size) {
    if (size != 0 && size == atomic_load(&g_failSize)) {
        atomic_fetch_add(&g_failed, 1);
        return NULL;
    }
    return __libc_malloc(size);
}

int main(void) {
    void *settings = NULL, *filter = NULL;
    char text[3001];
    ZtText read;
    GUID settingsClass = ZT_CLSID_ZtExportSettings_INIT, filterClass = ZT_CLSID_ZtEventFilter_INIT;

    ZT_REQUIRE(CreateHandle(settingsClass, &settings) == S_OK);
    ZT_REQUIRE(CreateHandle(filterClass, &filter) == S_OK);
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_put_Delimiter(settings, ";"));

    /* A text of 3000 bytes is a block of 3005: length, text and its 0. */
    memset(text, 'x', sizeof text - 1);
    text[sizeof text - 1] = 0;
    atomic_store(&g_failSize, sizeof text - 1 + 5);
    ZT_CHECK_HR(E_OUTOFMEMORY, IZtCsvExportSettings_put_Delimiter(settings, text));
    ZT_CHECK_HR(E_OUTOFMEMORY, IZtEventFilter_AddJsonAttributeExpression(filter, "a", text, FilterEqual));
    atomic_store(&g_failSize, 0);
    ZT_CHECK(atomic_load(&g_failed) == 2);

    memset(&read, 0, sizeof read);
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_get_Delimiter(settings, zt_text_cb, &read));
    ZT_CHECK(strcmp(read.text, ";") == 0); /* the method never ran */

    ReleaseHandle(settings);
    ReleaseHandle(filter);
    return zt_result();
}
