// C functions of live events: what messages and alarms share (IZtEvent),
// the message and the alarm interfaces.
#include "CallPattern.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"

using namespace ZtProxyC;
using ZtEventLoggerVdlProxy::IZtAlarm;
using ZtEventLoggerVdlProxy::IZtAlarm2;
using ZtEventLoggerVdlProxy::IZtAlarm3;
using ZtEventLoggerVdlProxy::IZtCauseRemedyCollection;
using ZtEventLoggerVdlProxy::IZtDetailCollection;
using ZtEventLoggerVdlProxy::IZtEvent;
using ZtEventLoggerVdlProxy::IZtMessage2;
using ZtEventLoggerVdlProxy::IZtMessage3;

// ---- IZtEvent -----------------------------------------------------------

ZTC_API HRESULT IZtEvent_get_EventClass(void* h, GUID* eventClass) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_EventClass, ToGuid(eventClass));
}
ZTC_API HRESULT IZtEvent_get_EventId(void* h, unsigned int* eventId) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_EventId, eventId);
}
ZTC_API HRESULT IZtEvent_get_SeverityLevel(void* h, ZtSeverityLevel* severity) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_SeverityLevel, ToEnum<ZtEventLoggerVdlProxy::tagSeverityLevelEnum>(severity));
}
ZTC_API HRESULT IZtEvent_get_EventType(void* h, ZtEventType* eventType) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_EventType, ToEnum<ZtEventLoggerVdlProxy::tagEventTypeEnum>(eventType));
}
ZTC_API HRESULT IZtEvent_IsSourceInfoTypeSupported(void* h, ZtSourceInfoType type, char* supported) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::IsSourceInfoTypeSupported, ToEnum<ZtEventLoggerVdlProxy::tagZtSourceInfoTypeEnum>(type),
                          OutBool(supported));
}
ZTC_API HRESULT IZtEvent_get_SourceId(void* h, unsigned int* sourceId) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_SourceId, sourceId);
}
ZTC_API HRESULT IZtEvent_get_SourceGuid(void* h, GUID* sourceGuid) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_SourceGuid, ToGuid(sourceGuid));
}
ZTC_API HRESULT IZtEvent_get_SourceName(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_SourceName, OutText(cb, ctx));
}
ZTC_API HRESULT IZtEvent_get_TimeRaised(void* h, double* time) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_TimeRaised, time);
}
ZTC_API HRESULT IZtEvent_get_FileTimeRaised(void* h, int64_t* fileTime) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::get_FileTimeRaised, fileTime);
}
ZTC_API HRESULT IZtEvent_GetText(void* h, long langId, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::GetText, langId, OutText(cb, ctx));
}
ZTC_API HRESULT IZtEvent_GetEventClassName(void* h, long langId, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::GetEventClassName, langId, OutText(cb, ctx));
}
ZTC_API HRESULT IZtEvent_GetArgumentInfo(void* h, ZtEventArgumentsInfo* info) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::GetArgumentInfo, ToInfo(info));
}
ZTC_API HRESULT IZtEvent_GetArgumentData(void* h, void** buffer, unsigned int size) noexcept {
    return Call<IZtEvent>(h, &IZtEvent::GetArgumentData, buffer, size);
}

// ---- IZtMessage2, IZtMessage3 -------------------------------------------

ZTC_API HRESULT IZtMessage2_get_JsonAttribute(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtMessage2>(h, &IZtMessage2::get_JsonAttribute, OutText(cb, ctx));
}
ZTC_API HRESULT IZtMessage3_GetCauseRemedy(void* h, long langId, void** causes) noexcept {
    return Call<IZtMessage3>(h, &IZtMessage3::GetCauseRemedy, langId, OutObject<IZtCauseRemedyCollection>(causes));
}
ZTC_API HRESULT IZtMessage3_GetDetails(void* h, long langId, void** details) noexcept {
    return Call<IZtMessage3>(h, &IZtMessage3::GetDetails, langId, OutObject<IZtDetailCollection>(details));
}

// ---- IZtAlarm, IZtAlarm2, IZtAlarm3 -------------------------------------

// The alarm reports the service's raised byte (1), not VARIANT_TRUE; read
// strictly, a raised alarm would always look cleared to a C host.
ZTC_API HRESULT IZtAlarm_get_IsRaised(void* h, char* raised) noexcept {
    return Call<IZtAlarm>(h, &IZtAlarm::get_IsRaised, OutBool(raised, true));
}
ZTC_API HRESULT IZtAlarm_get_TimeCleared(void* h, double* time) noexcept {
    return Call<IZtAlarm>(h, &IZtAlarm::get_TimeCleared, time);
}
ZTC_API HRESULT IZtAlarm_get_FileTimeCleared(void* h, int64_t* fileTime) noexcept {
    return Call<IZtAlarm>(h, &IZtAlarm::get_FileTimeCleared, fileTime);
}
ZTC_API HRESULT IZtAlarm_get_ConfirmationState(void* h, ZtConfirmationState* state) noexcept {
    return Call<IZtAlarm>(h, &IZtAlarm::get_ConfirmationState, ToEnum<ZtEventLoggerVdlProxy::tagConfirmationStateEnum>(state));
}
ZTC_API HRESULT IZtAlarm_Confirm(void* h) noexcept { return Call<IZtAlarm>(h, &IZtAlarm::Confirm); }
ZTC_API HRESULT IZtAlarm_get_TimeConfirmed(void* h, double* time) noexcept {
    return Call<IZtAlarm>(h, &IZtAlarm::get_TimeConfirmed, time);
}
ZTC_API HRESULT IZtAlarm_get_FileTimeConfirmed(void* h, int64_t* fileTime) noexcept {
    return Call<IZtAlarm>(h, &IZtAlarm::get_FileTimeConfirmed, fileTime);
}
ZTC_API HRESULT IZtAlarm2_get_JsonAttribute(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtAlarm2>(h, &IZtAlarm2::get_JsonAttribute, OutText(cb, ctx));
}
ZTC_API HRESULT IZtAlarm3_GetCauseRemedy(void* h, long langId, void** causes) noexcept {
    return Call<IZtAlarm3>(h, &IZtAlarm3::GetCauseRemedy, langId, OutObject<IZtCauseRemedyCollection>(causes));
}
ZTC_API HRESULT IZtAlarm3_GetDetails(void* h, long langId, void** details) noexcept {
    return Call<IZtAlarm3>(h, &IZtAlarm3::GetDetails, langId, OutObject<IZtDetailCollection>(details));
}
