/*
 * ZtEventLoggerInterfaces.h - the event logger: the one object a host
 * creates (CLSID_ZtEventLogger) to talk to the event logger service of a
 * controller, and the events it fires on the host's sinks.
 *
 * Conventions as in ZtEventInterfaces.h: every method returns an HRESULT and
 * throws nothing; one reference per interface pointer received; BSTR texts
 * freed by the caller; a null text argument counts as the empty text.
 * Failures of the controller or the router come back as 0x98110000 + the
 * router's error code (0x98110749: target not found, 0x98110748: no router,
 * 0x98110745: time-out, 0x98110006: service not reachable).
 *
 * Threads: every method may be called from any host thread, also several at
 * once; requests run on the calling thread. Events reach the sinks on the
 * logger's own worker thread, one at a time and in the order the controller
 * reported them, only while the logger is connected. A sink may call back
 * into the logger and the alarm from inside its Invoke (Connect and
 * Disconnect included), and may release the last reference of either: the
 * object is destroyed once the call returns.
 *
 * Disconnect, on a host thread, returns once the sink call under way (if
 * any) has returned; no sink is called after it until the next Connect.
 * Releasing the last reference does not wait: a call under way holds the
 * logger and finishes first. Disconnect (or Unadvise) before letting go of
 * a sink that must not be called any more.
 */
#ifndef ZT_EVENT_LOGGER_INTERFACES_H
#define ZT_EVENT_LOGGER_INTERFACES_H

#include "ZtEventLoggerVdlProxy/ZtArgumentInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"

namespace ZtEventLoggerVdlProxy {

/* Connect(target): a NetId in dotted text ("5.12.34.56.1.1"), a local
 * alias ("", "localhost", "127.0.0.1", "127.0.0.1.1.1") or the name of a
 * route of the local router (any ASCII case); after a Disconnect an empty
 * target connects to the target of before. On success the active-alarm
 * list holds the controller's active alarms (no events are fired for them);
 * if they cannot be read then, they are read again with the next event and
 * reported as raised. E_POINTER for a null target. Connecting a logger that
 * is connected fails with 0x9811070F and leaves it disconnected.
 * Disconnect empties the list (no events); on a logger that is not
 * connected it reports 0x98110748.
 *
 * The list heals itself: when notifications were lost (a full queue, no
 * memory, a malformed frame) the logger reads the controller's active
 * alarms again and reports every difference as the ordinary AlarmRaised,
 * AlarmCleared (removed -1) or AlarmConfirmed, so a host that follows the
 * events ends with the controller's list.
 *
 * get_ActiveAlarms: a snapshot of the active alarms, in key order.
 * ClearAllAlarms / ClearAlarms(resetConfirmation): only VARIANT_TRUE (-1)
 * counts as true. GetLoggedEvents(count): the newest count events of the
 * log. ClearLoggedEvents returns S_OK whatever the controller answers.
 * GetText: the message text of an event given by key and arguments (the
 * layout of IZtEvent::GetArgumentInfo / GetArgumentData). */
struct IZtEventLogger : IDispatch {
    virtual HRESULT Connect(BSTR target) = 0;
    virtual HRESULT Disconnect() = 0;
    virtual HRESULT get_IsConnected(VARIANT_BOOL* connected) = 0;
    virtual HRESULT get_ActiveAlarms(IZtAlarmCollection** alarms) = 0;
    virtual HRESULT ClearAllAlarms(VARIANT_BOOL resetConfirmation) = 0;
    virtual HRESULT ConfirmAllAlarms() = 0;
    virtual HRESULT GetLoggedEvents(unsigned int count, IZtLoggedEventCollection** events) = 0;
    virtual HRESULT ClearLoggedEvents() = 0;
    virtual HRESULT GetText(GUID eventClass, unsigned int eventId, unsigned int keyQualifier,
                            ZtEventArgumentsInfo argumentsInfo, void* argumentData, int langId, BSTR* text) = 0;
    virtual HRESULT GetEventClassName(GUID eventClass, int langId, BSTR* name) = 0;
};
ZT_DECLARE_IID(IZtEventLogger, "9FE4E6F4-3478-CD14-2A78-8D1D6C69D3E5")

/* SendZtMessage: sends a message of the host's own; json (may be null),
 * sourceInfo and arguments (both may be null) as built with the objects of
 * ZtArgumentInterfaces.h. The controller logs it and reports it to every
 * subscriber (MessageSent), this logger included. */
struct IZtEventLogger2 : IZtEventLogger {
    virtual HRESULT SendZtMessage(GUID eventClass, unsigned int eventId, tagSeverityLevelEnum severity, BSTR json,
                                  IZtSourceInfo* sourceInfo, IZtArguments* arguments) = 0;
};
ZT_DECLARE_IID(IZtEventLogger2, "2894CC3B-E43D-C171-24B5-6F549B179AD9")

/* ExportLoggedEvents(fileName, settings): the controller writes the
 * selected events as CSV into fileName on the target. GetLoggedEvents2:
 * the events the settings select (null: all). ConfirmAlarms / ClearAlarms
 * (timeStamp, filter): the alarms the filter selects (null: all) that were
 * raised at or before timeStamp (a FILETIME; 0: any time). Filters and
 * settings that report themselves invalid give 0x9811070B and nothing is
 * sent. Resource files are paths on the target. */
struct IZtEventLogger3 : IZtEventLogger2 {
    virtual HRESULT ExportLoggedEvents(BSTR fileName, IZtExportSettings* settings) = 0;
    virtual HRESULT GetLoggedEvents2(IZtExportSettings* settings, IZtLoggedEventCollection** events) = 0;
    virtual HRESULT ConfirmAlarms(long timeStamp, IZtEventFilter* filter) = 0;
    virtual HRESULT ClearAlarms(long timeStamp, VARIANT_BOOL resetConfirmation, IZtEventFilter* filter) = 0;
    virtual HRESULT ClearResourceCache() = 0;
    virtual HRESULT LoadResourceFile(BSTR path) = 0;
    virtual HRESULT UnloadResourceFile(BSTR path) = 0;
};
ZT_DECLARE_IID(IZtEventLogger3, "56C60B31-0E51-2DD5-B0A0-D342FBCA96B3")

/* The logger's outgoing interface; a host's sink implements it and is
 * advised on the logger's connection point (IConnectionPointContainer,
 * FindConnectionPoint(IID__IZtEventLoggerEvents)). The logger calls only
 * the sink's Invoke, with these dispatch numbers and arguments last first
 * (rgvarg[0] is the last argument):
 *   1 ActiveAlarmListChanged  never fired
 *   2 MessageSent(message)    rgvarg[0] VT_DISPATCH (IZtMessage3)
 *   3 AlarmRaised(alarm)      rgvarg[0] VT_DISPATCH (IZtAlarm3)
 *   4 AlarmCleared(alarm, removed)    rgvarg[0] VT_I2 removed (-1/0), rgvarg[1] VT_DISPATCH alarm
 *   5 AlarmConfirmed(alarm, removed)  likewise
 * removed is -1 when the alarm has just left the active-alarm list. The
 * objects in the arguments are referenced for the call; a sink that keeps
 * one takes its own reference. ZtEventLoggerSink.h has a base class that
 * turns Invoke into calls of these methods. */
struct _IZtEventLoggerEvents : IDispatch {
    virtual HRESULT ActiveAlarmListChanged() = 0;
    virtual HRESULT MessageSent(IZtMessage* message) = 0;
    virtual HRESULT AlarmRaised(IZtAlarm* alarm) = 0;
    virtual HRESULT AlarmCleared(IZtAlarm* alarm, VARIANT_BOOL removed) = 0;
    virtual HRESULT AlarmConfirmed(IZtAlarm* alarm, VARIANT_BOOL removed) = 0;
};
ZT_DECLARE_IID(_IZtEventLoggerEvents, "FC4B8323-4E7B-E642-FCDF-9BAF02915A4A")

// Dispatch numbers of the logger's and the alarm's events.
enum ZtEventLoggerDispatchId : int32_t {
    DispIdActiveAlarmListChanged = 1,
    DispIdMessageSent = 2,
    DispIdAlarmRaised = 3,
    DispIdAlarmCleared = 4,
    DispIdAlarmConfirmed = 5,
};
enum ZtAlarmDispatchId : int32_t {
    DispIdAlarmEventRaised = 1,
    DispIdAlarmEventCleared = 2,
    DispIdAlarmEventConfirmed = 3,
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_LOGGER_INTERFACES_H
