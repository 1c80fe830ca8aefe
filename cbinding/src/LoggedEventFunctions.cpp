// C functions of the log: logged events and the collections the logger
// hands out (active alarms and logged events).
#include "CallPattern.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"

using namespace ZtProxyC;
using ZtEventLoggerVdlProxy::IZtAlarm;
using ZtEventLoggerVdlProxy::IZtAlarmCollection;
using ZtEventLoggerVdlProxy::IZtCauseRemedyCollection;
using ZtEventLoggerVdlProxy::IZtDetailCollection;
using ZtEventLoggerVdlProxy::IZtLoggedEvent;
using ZtEventLoggerVdlProxy::IZtLoggedEvent2;
using ZtEventLoggerVdlProxy::IZtLoggedEvent3;
using ZtEventLoggerVdlProxy::IZtLoggedEvent4;
using ZtEventLoggerVdlProxy::IZtLoggedEventCollection;

// ---- IZtLoggedEvent .. IZtLoggedEvent4 ----------------------------------

ZTC_API HRESULT IZtLoggedEvent_get_EventClass(void* h, GUID* eventClass) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_EventClass, ToGuid(eventClass));
}
ZTC_API HRESULT IZtLoggedEvent_get_EventId(void* h, unsigned int* eventId) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_EventId, eventId);
}
ZTC_API HRESULT IZtLoggedEvent_get_SeverityLevel(void* h, ZtSeverityLevel* severity) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_SeverityLevel, ToEnum<ZtEventLoggerVdlProxy::tagSeverityLevelEnum>(severity));
}
ZTC_API HRESULT IZtLoggedEvent_get_EventType(void* h, ZtEventType* eventType) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_EventType, ToEnum<ZtEventLoggerVdlProxy::tagEventTypeEnum>(eventType));
}
ZTC_API HRESULT IZtLoggedEvent_IsSourceInfoTypeSupported(void* h, ZtSourceInfoType type, char* supported) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::IsSourceInfoTypeSupported, ToEnum<ZtEventLoggerVdlProxy::tagZtSourceInfoTypeEnum>(type),
                                OutBool(supported));
}
ZTC_API HRESULT IZtLoggedEvent_get_SourceId(void* h, unsigned int* sourceId) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_SourceId, sourceId);
}
ZTC_API HRESULT IZtLoggedEvent_get_SourceGuid(void* h, GUID* sourceGuid) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_SourceGuid, ToGuid(sourceGuid));
}
ZTC_API HRESULT IZtLoggedEvent_get_SourceName(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_SourceName, OutText(cb, ctx));
}
ZTC_API HRESULT IZtLoggedEvent_get_TimeRaised(void* h, double* time) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_TimeRaised, time);
}
ZTC_API HRESULT IZtLoggedEvent_get_FileTimeRaised(void* h, int64_t* fileTime) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_FileTimeRaised, fileTime);
}
ZTC_API HRESULT IZtLoggedEvent_get_TimeCleared(void* h, double* time) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_TimeCleared, time);
}
ZTC_API HRESULT IZtLoggedEvent_get_FileTimeCleared(void* h, int64_t* fileTime) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_FileTimeCleared, fileTime);
}
ZTC_API HRESULT IZtLoggedEvent_get_WithConfirmation(void* h, char* withConfirmation) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_WithConfirmation, OutBool(withConfirmation));
}
ZTC_API HRESULT IZtLoggedEvent_get_TimeConfirmed(void* h, double* time) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_TimeConfirmed, time);
}
ZTC_API HRESULT IZtLoggedEvent_get_FileTimeConfirmed(void* h, int64_t* fileTime) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::get_FileTimeConfirmed, fileTime);
}
ZTC_API HRESULT IZtLoggedEvent_GetText(void* h, long langId, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::GetText, langId, OutText(cb, ctx));
}
ZTC_API HRESULT IZtLoggedEvent_GetEventClassName(void* h, long langId, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtLoggedEvent>(h, &IZtLoggedEvent::GetEventClassName, langId, OutText(cb, ctx));
}
ZTC_API HRESULT IZtLoggedEvent2_get_JsonAttribute(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtLoggedEvent2>(h, &IZtLoggedEvent2::get_JsonAttribute, OutText(cb, ctx));
}
ZTC_API HRESULT IZtLoggedEvent3_get_IsActive(void* h, char* active) noexcept {
    return Call<IZtLoggedEvent3>(h, &IZtLoggedEvent3::get_IsActive, OutBool(active));
}
ZTC_API HRESULT IZtLoggedEvent3_GetArgumentInfo(void* h, ZtEventArgumentsInfo* info) noexcept {
    return Call<IZtLoggedEvent3>(h, &IZtLoggedEvent3::GetArgumentInfo, ToInfo(info));
}
ZTC_API HRESULT IZtLoggedEvent3_GetArgumentData(void* h, void** buffer, unsigned int size) noexcept {
    return Call<IZtLoggedEvent3>(h, &IZtLoggedEvent3::GetArgumentData, buffer, size);
}
ZTC_API HRESULT IZtLoggedEvent4_GetCauseRemedy(void* h, long langId, void** causes) noexcept {
    return Call<IZtLoggedEvent4>(h, &IZtLoggedEvent4::GetCauseRemedy, langId,
                                 OutObject<IZtCauseRemedyCollection>(causes));
}
ZTC_API HRESULT IZtLoggedEvent4_GetDetails(void* h, long langId, void** details) noexcept {
    return Call<IZtLoggedEvent4>(h, &IZtLoggedEvent4::GetDetails, langId, OutObject<IZtDetailCollection>(details));
}

// ---- IZtAlarmCollection, IZtLoggedEventCollection -----------------------

ZTC_API HRESULT IZtAlarmCollection_get_Item(void* h, int index, void** alarm) noexcept {
    return Call<IZtAlarmCollection>(h, &IZtAlarmCollection::get_Item, index, OutObject<IZtAlarm>(alarm));
}
ZTC_API HRESULT IZtAlarmCollection_get_Count(void* h, int* count) noexcept {
    return Call<IZtAlarmCollection>(h, &IZtAlarmCollection::get_Count, count);
}
ZTC_API HRESULT IZtAlarmCollection_get_Size(void* h, int* count) noexcept {
    return Call<IZtAlarmCollection>(h, &IZtAlarmCollection::get_Size, count);
}
ZTC_API HRESULT IZtLoggedEventCollection_get_Item(void* h, int index, void** event) noexcept {
    return Call<IZtLoggedEventCollection>(h, &IZtLoggedEventCollection::get_Item, index,
                                          OutObject<IZtLoggedEvent>(event));
}
ZTC_API HRESULT IZtLoggedEventCollection_get_Count(void* h, int* count) noexcept {
    return Call<IZtLoggedEventCollection>(h, &IZtLoggedEventCollection::get_Count, count);
}
ZTC_API HRESULT IZtLoggedEventCollection_get_Size(void* h, int* count) noexcept {
    return Call<IZtLoggedEventCollection>(h, &IZtLoggedEventCollection::get_Size, count);
}
