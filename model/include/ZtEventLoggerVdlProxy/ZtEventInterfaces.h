/*
 * ZtEventInterfaces.h - the events a host receives and reads: messages,
 * alarms, logged events, their cause/remedy and detail texts, and the
 * collections the library hands out.
 *
 * Every interface here is dual (derives from IDispatch) and is called through
 * its slots; the four IDispatch methods of the library's objects answer
 * E_FAIL. Conventions of every method:
 *   - the result is an HRESULT; nothing throws;
 *   - whoever receives an interface pointer owns one reference;
 *   - texts come back as BSTRs (UTF-8) that the caller frees with
 *     SysFreeString; a null BSTR is the empty text;
 *   - booleans are VARIANT_BOOL (-1 true, 0 false), except
 *     IZtAlarm::get_IsRaised, which passes the service's byte through (1);
 *   - times come both as DATE (days since 1899-12-30, S_FALSE with 0.0 when
 *     the time is not set) and raw as FILETIME (100 ns since 1601-01-01 UTC,
 *     0 = not set) in a 64-bit `long`;
 *   - language ids are numeric (1033 English, 1031 German, ...).
 *
 * Threads: property reads may come from any thread at any time. Messages and
 * logged events never change. An alarm changes while it is in the active
 * list (on the logger's worker thread); each property read sees one
 * consistent state. Texts (GetText, GetEventClassName, GetCauseRemedy,
 * GetDetails) cost one request to the controller on the calling thread.
 */
#ifndef ZT_EVENT_INTERFACES_H
#define ZT_EVENT_INTERFACES_H

#include "ZtAtlCom/BaseTypes.h"
#include "ZtAtlCom/Dispatch.h"
#include "ZtAtlCom/Guid.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::BSTR;
using ZtAtlCom::DATE;
using ZtAtlCom::GUID;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IDispatch;
using ZtAtlCom::IUnknown;
using ZtAtlCom::VARIANT_BOOL;

struct IZtCauseRemedyCollection;
struct IZtDetailCollection;

/* One possible cause of an event with its remedy. Empty fields give empty
 * texts. */
struct IZtCauseRemedy : IDispatch {
    virtual HRESULT get_Id(BSTR* id) = 0;
    virtual HRESULT get_Cause(BSTR* cause) = 0;
    virtual HRESULT get_Remedy(BSTR* remedy) = 0;
};
ZT_DECLARE_IID(IZtCauseRemedy, "DBBF805A-BE56-CAFA-C3AD-8657FFCC0D03")

/* One named detail text of an event or an event class. */
struct IZtDetail : IDispatch {
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT get_Text(BSTR* text) = 0;
    virtual HRESULT get_Comment(BSTR* comment) = 0;
};
ZT_DECLARE_IID(IZtDetail, "A72A8FB4-6625-DFB8-4965-59ED3672FE3B")

/* What messages and alarms have in common.
 *
 * get_SourceId / get_SourceGuid: 50 (a success value) with the output left
 * as it was when the event has no such source item. get_SourceName: an
 * empty text when there is none. get_FileTimeRaised: E_FAIL for a null
 * out-pointer. GetText: the event's message text in the language, formatted
 * by the controller with the event's arguments. GetArgumentInfo: count,
 * typesOffset 0, typesSize, dataOffset = typesSize, dataSize: the layout of
 * the copy GetArgumentData writes. GetArgumentData(buffer, size): writes the
 * type block and then the data block at the address `buffer` (size bytes
 * available there); E_INVALIDARG, nothing written, when they do not fit. */
struct IZtEvent : IDispatch {
    virtual HRESULT get_EventClass(GUID* eventClass) = 0;
    virtual HRESULT get_EventId(unsigned int* eventId) = 0;
    virtual HRESULT get_SeverityLevel(tagSeverityLevelEnum* severity) = 0;
    virtual HRESULT get_EventType(tagEventTypeEnum* eventType) = 0;
    virtual HRESULT IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) = 0;
    virtual HRESULT get_SourceId(unsigned int* sourceId) = 0;
    virtual HRESULT get_SourceGuid(GUID* sourceGuid) = 0;
    virtual HRESULT get_SourceName(BSTR* sourceName) = 0;
    virtual HRESULT get_TimeRaised(DATE* time) = 0;
    virtual HRESULT get_FileTimeRaised(long* fileTime) = 0;
    virtual HRESULT GetText(long langId, BSTR* text) = 0;
    virtual HRESULT GetEventClassName(long langId, BSTR* name) = 0;
    virtual HRESULT GetArgumentInfo(ZtEventArgumentsInfo* info) = 0;
    virtual HRESULT GetArgumentData(void** buffer, unsigned int size) = 0;
};
ZT_DECLARE_IID(IZtEvent, "7F082CEB-5849-2339-F26E-40F1F89B8C47")

/* A message the controller reported (MessageSent). It never changes. */
struct IZtMessage : IZtEvent {};
ZT_DECLARE_IID(IZtMessage, "AB1E800B-CFCB-18C1-52B3-7957F0B34F22")

struct IZtMessage2 : IZtMessage {
    // The event's JSON attribute text (empty when it has none).
    virtual HRESULT get_JsonAttribute(BSTR* json) = 0;
};
ZT_DECLARE_IID(IZtMessage2, "855560C0-B58E-49D8-2D5D-245A28F412FF")

struct IZtMessage3 : IZtMessage2 {
    // S_OK with an empty collection when the controller has no texts.
    virtual HRESULT GetCauseRemedy(long langId, IZtCauseRemedyCollection** causes) = 0;
    virtual HRESULT GetDetails(long langId, IZtDetailCollection** details) = 0;
};
ZT_DECLARE_IID(IZtMessage3, "FD9AACF8-463E-16DC-75EB-8B0255BF5264")

/* An alarm. While it is in the active-alarm list the same object follows
 * every raise, clear and confirmation of the controller; once it has left
 * the list it keeps the last state. Confirm sends the confirmation request
 * and returns S_OK whatever its outcome; the state changes when the
 * controller's confirmation arrives (AlarmConfirmed). An alarm whose logger
 * is gone cannot be confirmed any more. */
struct IZtAlarm : IZtEvent {
    virtual HRESULT get_IsRaised(VARIANT_BOOL* raised) = 0;  // 1 raised, 0 not (the service's byte)
    virtual HRESULT get_TimeCleared(DATE* time) = 0;
    virtual HRESULT get_FileTimeCleared(long* fileTime) = 0;
    virtual HRESULT get_ConfirmationState(tagConfirmationStateEnum* state) = 0;
    virtual HRESULT Confirm() = 0;
    virtual HRESULT get_TimeConfirmed(DATE* time) = 0;
    virtual HRESULT get_FileTimeConfirmed(long* fileTime) = 0;
};
ZT_DECLARE_IID(IZtAlarm, "40FE833C-7627-4C1B-BD60-12F6DB71BC05")

struct IZtAlarm2 : IZtAlarm {
    virtual HRESULT get_JsonAttribute(BSTR* json) = 0;
};
ZT_DECLARE_IID(IZtAlarm2, "8CA549D2-5ACC-D78A-9D32-C65CF149C31A")

struct IZtAlarm3 : IZtAlarm2 {
    virtual HRESULT GetCauseRemedy(long langId, IZtCauseRemedyCollection** causes) = 0;
    virtual HRESULT GetDetails(long langId, IZtDetailCollection** details) = 0;
};
ZT_DECLARE_IID(IZtAlarm3, "4F3E3ECE-2F11-6DC4-056E-1DF5C2C84450")

/* The outgoing interface of an alarm (its connection point): Raised (1),
 * Cleared (2) and Confirmed (3), no arguments, called through Invoke with
 * those dispatch numbers on the logger's worker thread, just before the
 * logger's own AlarmRaised, AlarmCleared or AlarmConfirmed. */
struct _IZtAlarmEvents : IDispatch {
    virtual HRESULT Raised() = 0;
    virtual HRESULT Cleared() = 0;
    virtual HRESULT Confirmed() = 0;
};
ZT_DECLARE_IID(_IZtAlarmEvents, "E31AAB1C-958C-DD92-4AFA-02AD9C26D925")

/* One event of the controller's log, as a query returned it. It never
 * changes. get_SeverityLevel of a stored value above 4 returns 4 and writes
 * nothing; get_SourceName without a name item returns 50; the clear time
 * falls back to the disposal time when the alarm was disposed. */
struct IZtLoggedEvent : IDispatch {
    virtual HRESULT get_EventClass(GUID* eventClass) = 0;
    virtual HRESULT get_EventId(unsigned int* eventId) = 0;
    virtual HRESULT get_SeverityLevel(tagSeverityLevelEnum* severity) = 0;
    virtual HRESULT get_EventType(tagEventTypeEnum* eventType) = 0;
    virtual HRESULT IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) = 0;
    virtual HRESULT get_SourceId(unsigned int* sourceId) = 0;
    virtual HRESULT get_SourceGuid(GUID* sourceGuid) = 0;
    virtual HRESULT get_SourceName(BSTR* sourceName) = 0;
    virtual HRESULT get_TimeRaised(DATE* time) = 0;
    virtual HRESULT get_FileTimeRaised(long* fileTime) = 0;
    virtual HRESULT get_TimeCleared(DATE* time) = 0;
    virtual HRESULT get_FileTimeCleared(long* fileTime) = 0;
    virtual HRESULT get_WithConfirmation(VARIANT_BOOL* withConfirmation) = 0;
    virtual HRESULT get_TimeConfirmed(DATE* time) = 0;
    virtual HRESULT get_FileTimeConfirmed(long* fileTime) = 0;
    virtual HRESULT GetText(long langId, BSTR* text) = 0;
    virtual HRESULT GetEventClassName(long langId, BSTR* name) = 0;
};
ZT_DECLARE_IID(IZtLoggedEvent, "6D7F95C0-C3D2-889D-ED56-C220D92B5D58")

struct IZtLoggedEvent2 : IZtLoggedEvent {
    virtual HRESULT get_JsonAttribute(BSTR* json) = 0;
};
ZT_DECLARE_IID(IZtLoggedEvent2, "A60931BC-FF64-C536-1589-36445CB95BB1")

struct IZtLoggedEvent3 : IZtLoggedEvent2 {
    // -1 for an alarm that was raised or waiting for confirmation when logged.
    virtual HRESULT get_IsActive(VARIANT_BOOL* active) = 0;
    virtual HRESULT GetArgumentInfo(ZtEventArgumentsInfo* info) = 0;
    virtual HRESULT GetArgumentData(void** buffer, unsigned int size) = 0;
};
ZT_DECLARE_IID(IZtLoggedEvent3, "10444087-7F0A-CC7A-8584-D400E1500F09")

struct IZtLoggedEvent4 : IZtLoggedEvent3 {
    virtual HRESULT GetCauseRemedy(long langId, IZtCauseRemedyCollection** causes) = 0;
    virtual HRESULT GetDetails(long langId, IZtDetailCollection** details) = 0;
};
ZT_DECLARE_IID(IZtLoggedEvent4, "8CC384DA-7653-6482-CE0D-EDCE97FE78CE")

/* The whole identity of an event: class, id and key qualifier (0 when the
 * controller leaves it unspecified). Two active alarms may share class and
 * id and differ in the qualifier only. Answered by messages, alarms and
 * logged events through QueryInterface (not part of their dual
 * interfaces, whose slots stay as they are). */
struct IZtEventIdentity : IUnknown {
    virtual HRESULT get_KeyQualifier(unsigned int* keyQualifier) = 0;
};
ZT_DECLARE_IID(IZtEventIdentity, "DE1E82E2-4ADB-429D-9989-2EFA67506ADC")

/* Collections: zero-based; get_Item of an index outside [0, count) is
 * E_INVALIDARG; get__NewEnum gives an IEnumVARIANT whose items are
 * VT_DISPATCH. A collection is a snapshot: the alarm collection keeps the
 * alarms it was made with (in key order of the active list). */
struct IZtAlarmCollection : IDispatch {
    virtual HRESULT get__NewEnum(IUnknown** enumerator) = 0;
    virtual HRESULT get_Item(int index, IZtAlarm** item) = 0;
    virtual HRESULT get_Count(int* count) = 0;
    virtual HRESULT get_Size(int* count) = 0;
};
ZT_DECLARE_IID(IZtAlarmCollection, "289B61B1-31C1-F4F8-30A2-6E3D4855F12C")

struct IZtLoggedEventCollection : IDispatch {
    virtual HRESULT get__NewEnum(IUnknown** enumerator) = 0;
    virtual HRESULT get_Item(int index, IZtLoggedEvent** item) = 0;
    virtual HRESULT get_Count(int* count) = 0;
    virtual HRESULT get_Size(int* count) = 0;
};
ZT_DECLARE_IID(IZtLoggedEventCollection, "1C7674AE-B0D2-B0F2-9F9E-84B20F95A13E")

struct IZtCauseRemedyCollection : IDispatch {
    virtual HRESULT get__NewEnum(IUnknown** enumerator) = 0;
    virtual HRESULT get_Item(int index, IZtCauseRemedy** item) = 0;
    virtual HRESULT get_Count(int* count) = 0;
    virtual HRESULT get_Size(int* count) = 0;
};
ZT_DECLARE_IID(IZtCauseRemedyCollection, "E4814F90-35B2-E0C2-CDC8-4FACF0B93482")

struct IZtDetailCollection : IDispatch {
    virtual HRESULT get__NewEnum(IUnknown** enumerator) = 0;
    virtual HRESULT get_Item(int index, IZtDetail** item) = 0;
    virtual HRESULT get_Count(int* count) = 0;
    virtual HRESULT get_Size(int* count) = 0;
};
ZT_DECLARE_IID(IZtDetailCollection, "5542C560-61DF-369D-6A6A-6E70EF14E4DB")

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_INTERFACES_H
