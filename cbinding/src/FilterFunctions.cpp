// C functions of the filter and settings objects (made by the filter
// library; the binding only forwards to their interfaces).
#include "CallPattern.h"
#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"

using namespace ZtProxyC;
using ZtEventLoggerVdlProxy::IZtAlarmFilter;
using ZtEventLoggerVdlProxy::IZtCsvExportSettings;
using ZtEventLoggerVdlProxy::IZtEventFilter;
using ZtEventLoggerVdlProxy::IZtExportSettings;
using ZtEventLoggerVdlProxy::IZtSegbusDeviceEventFilter;

namespace {
inline ZtEventLoggerVdlProxy::tagZtFilterCompareEnum Cmp(ZtFilterCompare c) noexcept { return ToEnum<ZtEventLoggerVdlProxy::tagZtFilterCompareEnum>(c); }
}  // namespace

// ---- IZtEventFilter -----------------------------------------------------

ZTC_API HRESULT IZtEventFilter_Clear(void* h) noexcept { return Call<IZtEventFilter>(h, &IZtEventFilter::Clear); }
ZTC_API HRESULT IZtEventFilter_AddEventTypeExpression(void* h, ZtEventType type, ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddEventTypeExpression, ToEnum<ZtEventLoggerVdlProxy::tagEventTypeEnum>(type), Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddEventClassExpression(void* h, GUID eventClass, ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddEventClassExpression, ToGuid(eventClass), Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddEventIdExpression(void* h, unsigned int eventId, ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddEventIdExpression, eventId, Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddSeverityExpression(void* h, ZtSeverityLevel severity, ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddSeverityExpression, ToEnum<ZtEventLoggerVdlProxy::tagSeverityLevelEnum>(severity),
                                Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddTimeStampExpression(void* h, ZtTimeStamp which, int64_t fileTime,
                                                      ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddTimeStampExpression, ToEnum<ZtEventLoggerVdlProxy::tagZtTimeStampEnum>(which),
                                fileTime, Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddSourceGuidExpression(void* h, GUID sourceGuid, ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddSourceGuidExpression, ToGuid(sourceGuid), Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddSourceIdExpression(void* h, unsigned int sourceId, ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddSourceIdExpression, sourceId, Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddSourceNameExpression(void* h, const char* name, ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddSourceNameExpression, InText(name), Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddJsonAttributeExpression(void* h, const char* path, const char* value,
                                                          ZtFilterCompare c) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddJsonAttributeExpression, InText(path), InText(value), Cmp(c));
}
ZTC_API HRESULT IZtEventFilter_AddLogicalOperator(void* h) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddLogicalOperator);
}
ZTC_API HRESULT IZtEventFilter_AddNotOperator(void* h) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddNotOperator);
}
ZTC_API HRESULT IZtEventFilter_AddExpressionGroup(void* h, void* group) noexcept {
    return Call<IZtEventFilter>(h, &IZtEventFilter::AddExpressionGroup, Optional<IZtEventFilter>(group));
}

// ---- IZtSegbusDeviceEventFilter -----------------------------------------

ZTC_API HRESULT IZtSegbusDeviceEventFilter_AddIsSegbusDeviceEventExpression(void* h, int isDeviceEvent) noexcept {
    return Call<IZtSegbusDeviceEventFilter>(h, &IZtSegbusDeviceEventFilter::AddIsSegbusDeviceEventExpression,
                                            isDeviceEvent);
}
ZTC_API HRESULT IZtSegbusDeviceEventFilter_AddVendorIdExpression(void* h, unsigned int id, ZtFilterCompare c) noexcept {
    return Call<IZtSegbusDeviceEventFilter>(h, &IZtSegbusDeviceEventFilter::AddVendorIdExpression, id, Cmp(c));
}
ZTC_API HRESULT IZtSegbusDeviceEventFilter_AddProductCodeExpression(void* h, unsigned int code,
                                                                    ZtFilterCompare c) noexcept {
    return Call<IZtSegbusDeviceEventFilter>(h, &IZtSegbusDeviceEventFilter::AddProductCodeExpression, code, Cmp(c));
}
ZTC_API HRESULT IZtSegbusDeviceEventFilter_AddRevisionNoExpression(void* h, unsigned int revision,
                                                                   ZtFilterCompare c) noexcept {
    return Call<IZtSegbusDeviceEventFilter>(h, &IZtSegbusDeviceEventFilter::AddRevisionNoExpression, revision, Cmp(c));
}

// ---- IZtAlarmFilter -----------------------------------------------------

ZTC_API HRESULT IZtAlarmFilter_AddIsActiveExpression(void* h, int active) noexcept {
    return Call<IZtAlarmFilter>(h, &IZtAlarmFilter::AddIsActiveExpression, active);
}
ZTC_API HRESULT IZtAlarmFilter_AddIsRaisedExpression(void* h, int raised) noexcept {
    return Call<IZtAlarmFilter>(h, &IZtAlarmFilter::AddIsRaisedExpression, raised);
}
ZTC_API HRESULT IZtAlarmFilter_AddIsWaitForConfirmationExpression(void* h, int waiting) noexcept {
    return Call<IZtAlarmFilter>(h, &IZtAlarmFilter::AddIsWaitForConfirmationExpression, waiting);
}
ZTC_API HRESULT IZtAlarmFilter_AddConfirmationStateExpression(void* h, ZtConfirmationState state,
                                                              ZtFilterCompare c) noexcept {
    return Call<IZtAlarmFilter>(h, &IZtAlarmFilter::AddConfirmationStateExpression,
                                ToEnum<ZtEventLoggerVdlProxy::tagConfirmationStateEnum>(state), Cmp(c));
}

// ---- IZtCsvExportSettings -----------------------------------------------

ZTC_API HRESULT IZtCsvExportSettings_get_Delimiter(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtCsvExportSettings>(h, &IZtCsvExportSettings::get_Delimiter, OutText(cb, ctx));
}
ZTC_API HRESULT IZtCsvExportSettings_put_Delimiter(void* h, const char* delimiter) noexcept {
    return Call<IZtCsvExportSettings>(h, &IZtCsvExportSettings::put_Delimiter, InText(delimiter));
}
ZTC_API HRESULT IZtCsvExportSettings_get_WithHeader(void* h, char* withHeader) noexcept {
    return Call<IZtCsvExportSettings>(h, &IZtCsvExportSettings::get_WithHeader, OutBool(withHeader));
}
ZTC_API HRESULT IZtCsvExportSettings_put_WithHeader(void* h, char withHeader) noexcept {
    return Call<IZtCsvExportSettings>(h, &IZtCsvExportSettings::put_WithHeader, InBool(withHeader));
}
ZTC_API HRESULT IZtCsvExportSettings_get_LangId(void* h, long* langId) noexcept {
    return Call<IZtCsvExportSettings>(h, &IZtCsvExportSettings::get_LangId, langId);
}
ZTC_API HRESULT IZtCsvExportSettings_put_LangId(void* h, long langId) noexcept {
    return Call<IZtCsvExportSettings>(h, &IZtCsvExportSettings::put_LangId, langId);
}

// ---- IZtExportSettings (beside the table: a C host reads the log by filter)

ZTC_API HRESULT IZtExportSettings_get_Filter(void* h, void** filter) noexcept {
    return Call<IZtExportSettings>(h, &IZtExportSettings::get_Filter, OutObject<IZtEventFilter>(filter));
}
ZTC_API HRESULT IZtExportSettings_put_Filter(void* h, void* filter) noexcept {
    return Call<IZtExportSettings>(h, &IZtExportSettings::put_Filter, Optional<IZtEventFilter>(filter));
}
ZTC_API HRESULT IZtExportSettings_get_MaxCount(void* h, unsigned int* maxCount) noexcept {
    return Call<IZtExportSettings>(h, &IZtExportSettings::get_MaxCount, maxCount);
}
ZTC_API HRESULT IZtExportSettings_put_MaxCount(void* h, unsigned int maxCount) noexcept {
    return Call<IZtExportSettings>(h, &IZtExportSettings::put_MaxCount, maxCount);
}
ZTC_API HRESULT IZtExportSettings_get_Order(void* h, ZtEventOrder* order) noexcept {
    return Call<IZtExportSettings>(h, &IZtExportSettings::get_Order, ToEnum<ZtEventLoggerVdlProxy::tagZtEventOrderEnum>(order));
}
ZTC_API HRESULT IZtExportSettings_put_Order(void* h, ZtEventOrder order) noexcept {
    return Call<IZtExportSettings>(h, &IZtExportSettings::put_Order, ToEnum<ZtEventLoggerVdlProxy::tagZtEventOrderEnum>(order));
}
