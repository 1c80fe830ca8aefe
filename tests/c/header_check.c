/* Compiled (not run) as C99 and C11 with every warning an error: the public
 * header must serve any C host. Under C11 the layouts the binding relies on
 * are checked too. */
#include "ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h"

#if defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(GUID) == 16, "GUID: 16 bytes");
_Static_assert(sizeof(VARIANT) == 24, "VARIANT: the published 24 bytes");
_Static_assert(offsetof(VARIANT, u) == 8, "VARIANT: value after vt and three reserved words");
_Static_assert(sizeof(((VARIANT*)0)->u) == 16, "VARIANT: a 16-byte value");
_Static_assert(sizeof(ZtEventArgumentsInfo) == 20, "argument info: five 32-bit words");
_Static_assert(sizeof(ZtPrimitive) == 12 && offsetof(ZtPrimitive, value) == 4, "primitive: packed to 4");
#endif

/* Every kind of declaration used once, so that nothing merely parses. */
static void on_text(void* context, const char* text) {
    (void)context;
    (void)text;
}

int header_check(void* handle);
int header_check(void* handle) {
    GUID clsid = ZT_CLSID_ZtEventFilter_INIT;
    const GUID* iid = &IID_IZtEventLogger3;
    VARIANT v;
    ZtEventLoggerCallbacks callbacks = {NULL, NULL, NULL, NULL};
    unsigned int cookie = 0;
    V_VT(&v) = VT_I4;
    V_I4(&v) = 1;
    (void)iid;
    (void)CreateHandle(CLSID_ZtEventLogger, &handle);
    (void)IZtArguments_Add(handle, &v);
    (void)IZtSourceInfo_get_Name(handle, on_text, NULL);
    (void)IZtEventLogger_AdviseCallbacks(handle, &callbacks, NULL, &cookie);
    return CreateHandle(clsid, &handle) == S_OK;
}
