/* The handle registry and the argument conversions of the C binding, on the
 * objects a host makes itself (argument lists, source info, filters,
 * settings): no controller needed. */
#include "ZtCTest.h"

static const GUID kUnknownClass = {0x12345678u, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

static void* create(GUID clsid) {
    void* h = NULL;
    HRESULT hr = CreateHandle(clsid, &h);
    if (hr != S_OK || !h) fprintf(stderr, "CreateHandle failed: 0x%08X\n", (unsigned)hr);
    return h;
}

typedef struct Seen {
    VARIANT value;
    int calls;
} Seen;

static void on_variant(void* context, const VARIANT* v) {
    Seen* s = (Seen*)context;
    ++s->calls;
    s->value = *v;
    if (V_VT(v) == VT_BSTR) V_BSTR(&s->value) = NULL; /* freed after the callback */
}

static void test_creation(void) {
    void* h = (void*)&kUnknownClass;
    GUID filterClass = ZT_CLSID_ZtEventFilter_INIT;
    ZT_CHECK_HR(REGDB_E_CLASSNOTREG, CreateHandle(kUnknownClass, &h));
    ZT_CHECK(h == (void*)&kUnknownClass); /* untouched on a factory failure */
    ZT_CHECK_HR(E_INVALIDARG, CreateHandle(filterClass, NULL));
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(NULL));
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(&h));

    /* Both libraries' classes come through the one entry. */
    h = create(CLSID_ZtEventFilter);
    ZT_CHECK_HR(S_OK, IZtEventFilter_AddEventIdExpression(h, 7, FilterEqual));
    ZT_CHECK_HR(S_OK, ReleaseHandle(h));
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(h));
    h = create(CLSID_ZtSourceInfo);
    ZT_CHECK_HR(S_OK, IZtSourceInfo_put_Id(h, 3));
    ZT_CHECK_HR(S_OK, ReleaseHandle(h));
}

/* One object obtained twice is one handle registered twice; once its last
 * registration is given back the handle is dead, although the list still
 * holds the entry. */
static void test_registrations(void) {
    void* list = create(CLSID_ZtArguments);
    void *a = NULL, *b = NULL, *c = NULL;
    VARIANT v;
    int value = 0;
    V_VT(&v) = VT_I4;
    V_I4(&v) = 42;
    ZT_REQUIRE_VOID(list);
    ZT_CHECK_HR(S_OK, IZtArguments_Add(list, &v));
    ZT_CHECK_HR(S_OK, IZtArguments_get_Item(list, 0, &a));
    ZT_CHECK_HR(S_OK, IZtArguments_get_Item(list, 0, &b));
    ZT_CHECK(a && a == b);
    ZT_CHECK_HR(S_OK, ReleaseHandle(a));
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_GetInt32(b, &value)); /* one registration left */
    ZT_CHECK(value == 42);
    ZT_CHECK_HR(S_OK, ReleaseHandle(b));
    ZT_CHECK_HR(E_NOINTERFACE, IZtArgumentEntry_GetInt32(b, &value));
    ZT_CHECK_HR(E_INVALIDARG, ReleaseHandle(b));
    ZT_CHECK_HR(S_OK, IZtArguments_get_Item(list, 0, &c)); /* registered afresh */
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_GetInt32(c, &value));
    ZT_CHECK_HR(S_OK, ReleaseHandle(c));
    ZT_CHECK_HR(S_OK, ReleaseHandle(list));
}

static void test_texts_and_booleans(void) {
    void* settings = create(CLSID_ZtExportSettings);
    void* source = create(CLSID_ZtSourceInfo);
    ZtText t;
    char flag = 7;
    unsigned int id = 99;
    ZT_REQUIRE_VOID(settings && source);

    memset(&t, 0, sizeof t);
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_put_Delimiter(settings, ";"));
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_get_Delimiter(settings, zt_text_cb, &t));
    ZT_CHECK(t.calls == 1 && strcmp(t.text, ";") == 0);
    ZT_CHECK_HR(E_INVALIDARG, IZtCsvExportSettings_get_Delimiter(settings, NULL, &t));
    ZT_CHECK(t.calls == 1);
    /* A text the object does not have reaches the callback as NULL. */
    memset(&t, 0, sizeof t);
    ZT_CHECK_HR(S_OK, IZtSourceInfo_get_Name(source, zt_text_cb, &t));
    ZT_CHECK(t.calls == 1 && t.null);

    /* In: the negated low byte; out: 1 exactly for VARIANT_TRUE. The
     * settings record 2 as -2, which is no VARIANT_TRUE. */
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_put_WithHeader(settings, 0));
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_get_WithHeader(settings, &flag));
    ZT_CHECK(flag == 0);
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_put_WithHeader(settings, 1));
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_get_WithHeader(settings, &flag));
    ZT_CHECK(flag == 1);
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_put_WithHeader(settings, 2));
    ZT_CHECK_HR(S_OK, IZtCsvExportSettings_get_WithHeader(settings, &flag));
    ZT_CHECK(flag == 0);
    ZT_CHECK_HR(E_INVALIDARG, IZtCsvExportSettings_get_WithHeader(settings, NULL));

    /* A success other than S_OK (50: item not set) reaches C as S_OK, output untouched. */
    ZT_CHECK_HR(S_OK, IZtSourceInfo_get_Id(source, &id));
    ZT_CHECK(id == 99);
    ZT_CHECK_HR(S_OK, IZtSourceInfo_put_Id(source, 12));
    ZT_CHECK_HR(S_OK, IZtSourceInfo_IsSourceInfoTypeSupported(source, SourceInfoId, &flag));
    ZT_CHECK(flag == 1);
    ZT_CHECK_HR(S_OK, IZtSourceInfo_IsSourceInfoTypeSupported(source, SourceInfoName, &flag));
    ZT_CHECK(flag == 0);

    ReleaseHandle(settings);
    ReleaseHandle(source);
}

static void test_objects_in_and_out(void) {
    void* settings = create(CLSID_ZtExportSettings);
    void* filter = create(CLSID_ZtEventFilter);
    void* out = &out;
    void* copy = NULL;
    ZT_REQUIRE_VOID(settings && filter);

    /* Success without an object leaves the out pointer as it was. */
    ZT_CHECK_HR(S_OK, IZtExportSettings_get_Filter(settings, &out));
    ZT_CHECK(out == &out);
    ZT_CHECK_HR(E_INVALIDARG, IZtExportSettings_get_Filter(settings, NULL));

    /* Optional handles: NULL passes as null, a handle without the interface is refused. */
    ZT_CHECK_HR(E_NOINTERFACE, IZtExportSettings_put_Filter(settings, settings));
    ZT_CHECK_HR(E_NOINTERFACE, IZtEventFilter_AddExpressionGroup(filter, settings));
    ZT_CHECK_HR(E_POINTER, IZtEventFilter_AddExpressionGroup(filter, NULL)); /* the filter's own answer */
    ZT_CHECK_HR(S_OK, IZtEventFilter_AddSeverityExpression(filter, SeverityError, FilterGreaterOrEqual));
    ZT_CHECK_HR(S_OK, IZtExportSettings_put_Filter(settings, filter));
    ZT_CHECK_HR(S_OK, IZtExportSettings_get_Filter(settings, &copy));
    ZT_CHECK(copy != NULL && copy != filter);
    ZT_CHECK_HR(S_OK, IZtEventFilter_AddLogicalOperator(copy));
    ZT_CHECK_HR(S_OK, ReleaseHandle(copy));
    ZT_CHECK_HR(S_OK, IZtExportSettings_put_Filter(settings, NULL));
    out = &out;
    ZT_CHECK_HR(S_OK, IZtExportSettings_get_Filter(settings, &out));
    ZT_CHECK(out == &out);

    ReleaseHandle(settings);
    ReleaseHandle(filter);
}

static void test_variants(void) {
    void* entry = create(CLSID_ZtArgumentEntry);
    void* list = create(CLSID_ZtArguments);
    void* item = NULL;
    VARIANT v, values[3];
    Seen seen;
    ZtText t;
    int count = -1, i32 = 0;
    double r8 = 0;
    ZT_REQUIRE_VOID(entry && list);

    /* A plain C string in bstrVal is accepted: the binding copies it. */
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = "left";
    memset(&t, 0, sizeof t);
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_Set(entry, &v));
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_GetString(entry, zt_text_cb, &t));
    ZT_CHECK(strcmp(t.text, "left") == 0);
    V_VT(&v) = VT_I4;
    V_I4(&v) = -5;
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_Set(entry, &v));
    memset(&seen, 0, sizeof seen);
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_Get(entry, on_variant, &seen));
    ZT_CHECK(seen.calls == 1 && V_VT(&seen.value) == VT_I4 && V_I4(&seen.value) == -5);
    ZT_CHECK_HR(E_INVALIDARG, IZtArgumentEntry_Get(entry, NULL, &seen));
    ZT_CHECK(seen.calls == 1);
    /* A value that cannot be copied reaches the entry as VT_ERROR, which it refuses. */
    V_VT(&v) = 15;
    ZT_CHECK_HR(E_NOINTERFACE, IZtArgumentEntry_Set(entry, &v));
    ZT_CHECK_HR(E_NOINTERFACE, IZtArgumentEntry_Set(entry, NULL)); /* VT_EMPTY, refused */
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_GetInt32(entry, &i32));
    ZT_CHECK(i32 == -5);

    /* AddV: empty arrays, bad counts, and values gathered in order. */
    ZT_CHECK_HR(S_OK, IZtArguments_AddV(list, NULL, 0));
    ZT_CHECK_HR(E_INVALIDARG, IZtArguments_AddV(list, NULL, 1));
    ZT_CHECK_HR(E_INVALIDARG, IZtArguments_AddV(list, values, -1));
    ZT_CHECK_HR(S_OK, IZtArguments_get_Count(list, &count));
    ZT_CHECK(count == 0);
    V_VT(&values[0]) = VT_I4;
    V_I4(&values[0]) = 7;
    V_VT(&values[1]) = VT_BSTR;
    V_BSTR(&values[1]) = "seven";
    V_VT(&values[2]) = VT_R8;
    V_R8(&values[2]) = 7.5;
    ZT_CHECK_HR(S_OK, IZtArguments_AddV(list, values, 3));
    ZT_CHECK_HR(S_OK, IZtArguments_get_Count(list, &count));
    ZT_CHECK(count == 3);
    ZT_CHECK_HR(S_OK, IZtArguments_get_Item(list, 1, &item));
    memset(&t, 0, sizeof t);
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_GetString(item, zt_text_cb, &t));
    ZT_CHECK(strcmp(t.text, "seven") == 0);
    ReleaseHandle(item);
    item = NULL;
    ZT_CHECK_HR(S_OK, IZtArguments_get_Item(list, 2, &item));
    ZT_CHECK_HR(S_OK, IZtArgumentEntry_GetDouble(item, &r8));
    ZT_CHECK(r8 == 7.5);
    ReleaseHandle(item);
    ZT_CHECK_HR(E_INVALIDARG, IZtArguments_get_Item(list, 3, &item));

    ReleaseHandle(entry);
    ReleaseHandle(list);
}

static void test_interface_ids(void) {
    static const uint8_t unknownTail[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    ZT_CHECK(IID_IUnknown.Data1 == 0 && IID_IUnknown.Data2 == 0 && IID_IUnknown.Data3 == 0);
    ZT_CHECK(memcmp(IID_IUnknown.Data4, unknownTail, 8) == 0);
    ZT_CHECK(IID_IZtEvent.Data1 == 0x7F082CEBu && IID_IZtEvent.Data2 == 0x5849 && IID_IZtEvent.Data4[7] == 0x47);
    ZT_CHECK(IID__IZtAlarmEvents.Data1 == 0xE31AAB1Cu && IID__IZtAlarmEvents.Data4[0] == 0x4A);
}

int main(void) {
    test_creation();
    test_registrations();
    test_texts_and_booleans();
    test_objects_in_and_out();
    test_variants();
    test_interface_ids();
    return zt_result();
}
