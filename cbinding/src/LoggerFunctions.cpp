// C functions of the event logger and of the two outgoing interfaces.
#include "CallPattern.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerInterfaces.h"

using namespace ZtProxyC;
using ZtEventLoggerVdlProxy::_IZtAlarmEvents;
using ZtEventLoggerVdlProxy::_IZtEventLoggerEvents;
using ZtEventLoggerVdlProxy::IZtAlarm;
using ZtEventLoggerVdlProxy::IZtAlarmCollection;
using ZtEventLoggerVdlProxy::IZtArguments;
using ZtEventLoggerVdlProxy::IZtEventFilter;
using ZtEventLoggerVdlProxy::IZtEventLogger;
using ZtEventLoggerVdlProxy::IZtEventLogger2;
using ZtEventLoggerVdlProxy::IZtEventLogger3;
using ZtEventLoggerVdlProxy::IZtExportSettings;
using ZtEventLoggerVdlProxy::IZtLoggedEventCollection;
using ZtEventLoggerVdlProxy::IZtMessage;
using ZtEventLoggerVdlProxy::IZtMessage3;
using ZtEventLoggerVdlProxy::IZtSourceInfo;

// ---- IZtEventLogger -----------------------------------------------------

ZTC_API HRESULT IZtEventLogger_Connect(void* h, const char* target) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::Connect, InText(target));
}
ZTC_API HRESULT IZtEventLogger_Disconnect(void* h) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::Disconnect);
}
ZTC_API HRESULT IZtEventLogger_get_IsConnected(void* h, char* connected) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::get_IsConnected, OutBool(connected));
}
ZTC_API HRESULT IZtEventLogger_get_ActiveAlarms(void* h, void** alarms) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::get_ActiveAlarms, OutObject<IZtAlarmCollection>(alarms));
}
ZTC_API HRESULT IZtEventLogger_ClearAllAlarms(void* h, char resetConfirmation) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::ClearAllAlarms, InBool(resetConfirmation));
}
ZTC_API HRESULT IZtEventLogger_ConfirmAllAlarms(void* h) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::ConfirmAllAlarms);
}
ZTC_API HRESULT IZtEventLogger_GetLoggedEvents(void* h, unsigned int count, void** events) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::GetLoggedEvents, count, OutObject<IZtLoggedEventCollection>(events));
}
ZTC_API HRESULT IZtEventLogger_ClearLoggedEvents(void* h) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::ClearLoggedEvents);
}
ZTC_API HRESULT IZtEventLogger_GetText(void* h, GUID eventClass, unsigned int eventId, unsigned int keyQualifier,
                                       ZtEventArgumentsInfo argumentsInfo, void* argumentData, int langId,
                                       ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::GetText, ToGuid(eventClass), eventId, keyQualifier,
                                ToInfo(argumentsInfo), argumentData, langId, OutText(cb, ctx));
}
ZTC_API HRESULT IZtEventLogger_GetEventClassName(void* h, GUID eventClass, int langId, ZtTextCallback cb,
                                                 void* ctx) noexcept {
    return Call<IZtEventLogger>(h, &IZtEventLogger::GetEventClassName, ToGuid(eventClass), langId, OutText(cb, ctx));
}

// ---- IZtEventLogger2, IZtEventLogger3 -----------------------------------

ZTC_API HRESULT IZtEventLogger2_SendZtMessage(void* h, GUID eventClass, unsigned int eventId, ZtSeverityLevel severity,
                                              const char* json, void* sourceInfo, void* arguments) noexcept {
    return Call<IZtEventLogger2>(h, &IZtEventLogger2::SendZtMessage, ToGuid(eventClass), eventId,
                                 ToEnum<ZtEventLoggerVdlProxy::tagSeverityLevelEnum>(severity), InText(json),
                                 Optional<IZtSourceInfo>(sourceInfo), Optional<IZtArguments>(arguments));
}
ZTC_API HRESULT IZtEventLogger3_ExportLoggedEvents(void* h, const char* fileName, void* settings) noexcept {
    return Call<IZtEventLogger3>(h, &IZtEventLogger3::ExportLoggedEvents, InText(fileName),
                                 Optional<IZtExportSettings>(settings));
}
// The one function whose success code is passed through: a read that
// succeeds without a collection tells the caller why by its code.
ZTC_API HRESULT IZtEventLogger3_GetLoggedEvents2(void* h, void* settings, void** events) noexcept {
    OutObject<IZtLoggedEventCollection> out(events);
    HRESULT hr = CallRaw<IZtEventLogger3>(h, &IZtEventLogger3::GetLoggedEvents2, Optional<IZtExportSettings>(settings),
                                          out);
    if (ZtAtlCom::Succeeded(hr) && !out.Produced()) return hr;
    return Normalise(hr);
}
ZTC_API HRESULT IZtEventLogger3_ConfirmAlarms(void* h, long timeStamp, void* filter) noexcept {
    return Call<IZtEventLogger3>(h, &IZtEventLogger3::ConfirmAlarms, timeStamp, Optional<IZtEventFilter>(filter));
}
ZTC_API HRESULT IZtEventLogger3_ClearAlarms(void* h, long timeStamp, char resetConfirmation, void* filter) noexcept {
    return Call<IZtEventLogger3>(h, &IZtEventLogger3::ClearAlarms, timeStamp, InBool(resetConfirmation),
                                 Optional<IZtEventFilter>(filter));
}
ZTC_API HRESULT IZtEventLogger3_ClearResourceCache(void* h) noexcept {
    return Call<IZtEventLogger3>(h, &IZtEventLogger3::ClearResourceCache);
}
ZTC_API HRESULT IZtEventLogger3_LoadResourceFile(void* h, const char* path) noexcept {
    return Call<IZtEventLogger3>(h, &IZtEventLogger3::LoadResourceFile, InText(path));
}
ZTC_API HRESULT IZtEventLogger3_UnloadResourceFile(void* h, const char* path) noexcept {
    return Call<IZtEventLogger3>(h, &IZtEventLogger3::UnloadResourceFile, InText(path));
}

// ---- _IZtEventLoggerEvents, _IZtAlarmEvents -----------------------------

ZTC_API HRESULT _IZtEventLoggerEvents_ActiveAlarmListChanged(void* h) noexcept {
    return Call<_IZtEventLoggerEvents>(h, &_IZtEventLoggerEvents::ActiveAlarmListChanged);
}
ZTC_API HRESULT _IZtEventLoggerEvents_MessageSent(void* h, void* message) noexcept {
    return Call<_IZtEventLoggerEvents>(h, &_IZtEventLoggerEvents::MessageSent,
                                       Optional<IZtMessage3, IZtMessage>(message));
}
ZTC_API HRESULT _IZtEventLoggerEvents_AlarmRaised(void* h, void* alarm) noexcept {
    return Call<_IZtEventLoggerEvents>(h, &_IZtEventLoggerEvents::AlarmRaised, Optional<IZtAlarm>(alarm));
}
ZTC_API HRESULT _IZtEventLoggerEvents_AlarmCleared(void* h, void* alarm, char removed) noexcept {
    return Call<_IZtEventLoggerEvents>(h, &_IZtEventLoggerEvents::AlarmCleared, Optional<IZtAlarm>(alarm),
                                       InBool(removed));
}
ZTC_API HRESULT _IZtEventLoggerEvents_AlarmConfirmed(void* h, void* alarm, char removed) noexcept {
    return Call<_IZtEventLoggerEvents>(h, &_IZtEventLoggerEvents::AlarmConfirmed, Optional<IZtAlarm>(alarm),
                                       InBool(removed));
}
ZTC_API HRESULT _IZtAlarmEvents_Raised(void* h) noexcept {
    return Call<_IZtAlarmEvents>(h, &_IZtAlarmEvents::Raised);
}
ZTC_API HRESULT _IZtAlarmEvents_Cleared(void* h) noexcept {
    return Call<_IZtAlarmEvents>(h, &_IZtAlarmEvents::Cleared);
}
ZTC_API HRESULT _IZtAlarmEvents_Confirmed(void* h) noexcept {
    return Call<_IZtAlarmEvents>(h, &_IZtAlarmEvents::Confirmed);
}
