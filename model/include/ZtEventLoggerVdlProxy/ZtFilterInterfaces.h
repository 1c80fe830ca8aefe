/*
 * ZtFilterInterfaces.h - filters that select events and alarms, and the
 * settings of log reads and exports.
 *
 * The event logger takes these objects in ConfirmAlarms, ClearAlarms
 * (IZtEventFilter) and GetLoggedEvents2, ExportLoggedEvents
 * (IZtExportSettings). It reaches them only through
 * IZtStreamSerializableProvider (ZtStreamInterfaces.h), so any object that
 * offers that interface can serve; libZtEventLoggerVdlFilter_2.1 provides
 * ready ones (ZtEventLoggerVdlFilter.h: CLSID_ZtEventFilter,
 * CLSID_ZtExportSettings).
 *
 * The expression model of a filter:
 *   - Each Add...Expression appends one comparison "event field <compare>
 *     operand"; the operand is the argument before the comparison code.
 *   - Expressions that follow one another are joined by AND.
 *   - AddLogicalOperator puts an OR between the expression before it and the
 *     one after it; AND binds tighter than OR.
 *   - AddNotOperator negates the expression (or group) that follows it.
 *   - AddExpressionGroup appends the expressions of another filter as one
 *     operand in parentheses (copied at the time of the call).
 *   - An empty filter selects every event.
 * A filter is invalid (the logger then returns 0x9811070B and sends
 * nothing) when an operator has no operand on one of its sides, a group is
 * empty, or a comparison code is not one of tagZtFilterCompareEnum or does
 * not apply to the field (texts and GUIDs compare Equal and NotEqual, texts
 * also Contains, StartsWith and EndsWith; numbers and times use the six
 * ordered comparisons). Booleans passed as 32-bit values: 0 is false, any
 * other value true.
 *
 * Conventions as in ZtEventInterfaces.h (HRESULT results, BSTR texts,
 * `long` 64-bit). A filter or settings object must stay alive for the
 * duration of the logger call it is given to.
 */
#ifndef ZT_FILTER_INTERFACES_H
#define ZT_FILTER_INTERFACES_H

#include "ZtAtlCom/BaseTypes.h"
#include "ZtAtlCom/Dispatch.h"
#include "ZtAtlCom/Guid.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::BSTR;
using ZtAtlCom::GUID;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IDispatch;
using ZtAtlCom::IUnknown;
using ZtAtlCom::VARIANT_BOOL;

// How an event's field is compared with the operand.
enum tagZtFilterCompareEnum : int32_t {
    FilterEqual = 0,
    FilterNotEqual = 1,
    FilterLess = 2,
    FilterLessOrEqual = 3,
    FilterGreater = 4,
    FilterGreaterOrEqual = 5,
    FilterContains = 6,    // texts: the operand occurs in the field
    FilterStartsWith = 7,  // texts
    FilterEndsWith = 8,    // texts
};

// Which time stamp of an event a time expression compares.
enum tagZtTimeStampEnum : int32_t {
    TimeStampRaised = 0,
    TimeStampCleared = 1,
    TimeStampConfirmed = 2,
    TimeStampDisposed = 3,
};

// Order of the events a log read or export returns.
enum tagZtEventOrderEnum : int32_t {
    EventOrderNewestFirst = 0,
    EventOrderOldestFirst = 1,
};

/* Expressions on every event. Operand first, comparison code last. Times
 * are FILETIMEs (100 ns since 1601-01-01 UTC); a time that is not set (0)
 * compares as 0. Source expressions are false for an event without that
 * source item. AddJsonAttributeExpression(path, value, compare): path names
 * a member of the event's JSON attribute object ("a.b" for a nested one);
 * the member's value is compared as a number when both it and the operand
 * are numbers, else as text; false when the member is missing. */
struct IZtEventFilter : IDispatch {
    virtual HRESULT Clear() = 0;
    virtual HRESULT AddEventTypeExpression(tagEventTypeEnum eventType, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddEventClassExpression(GUID eventClass, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddEventIdExpression(unsigned int eventId, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddSeverityExpression(tagSeverityLevelEnum severity, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddTimeStampExpression(tagZtTimeStampEnum which, long fileTime,
                                           tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddSourceGuidExpression(GUID sourceGuid, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddSourceIdExpression(unsigned int sourceId, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddSourceNameExpression(BSTR sourceName, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddJsonAttributeExpression(BSTR path, BSTR value, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddLogicalOperator() = 0;  // OR
    virtual HRESULT AddNotOperator() = 0;
    virtual HRESULT AddExpressionGroup(IZtEventFilter* group) = 0;
};
ZT_DECLARE_IID(IZtEventFilter, "D940C6A7-6CB1-B5B8-8628-F0F2A7E74469")

/* Expressions on the state of alarms, on the same filter object (reached by
 * QueryInterface); a message matches none of them. Active: raised or
 * waiting for confirmation. */
struct IZtAlarmFilter : IUnknown {
    virtual HRESULT AddIsActiveExpression(int active) = 0;
    virtual HRESULT AddIsRaisedExpression(int raised) = 0;
    virtual HRESULT AddIsWaitForConfirmationExpression(int waiting) = 0;
    virtual HRESULT AddConfirmationStateExpression(tagConfirmationStateEnum state,
                                                   tagZtFilterCompareEnum compare) = 0;
};
ZT_DECLARE_IID(IZtAlarmFilter, "CB42BC96-2B7A-DD36-64DD-026F665806C3")

/* Expressions on events of field-bus devices, on the same filter object. A
 * device event carries its device in its JSON attribute as the object
 * "device" with the numeric members "vendorId", "productCode" and
 * "revisionNo"; the expressions are false for other events. */
struct IZtSegbusDeviceEventFilter : IUnknown {
    virtual HRESULT AddIsSegbusDeviceEventExpression(int isDeviceEvent) = 0;
    virtual HRESULT AddVendorIdExpression(unsigned int vendorId, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddProductCodeExpression(unsigned int productCode, tagZtFilterCompareEnum compare) = 0;
    virtual HRESULT AddRevisionNoExpression(unsigned int revisionNo, tagZtFilterCompareEnum compare) = 0;
};
ZT_DECLARE_IID(IZtSegbusDeviceEventFilter, "6F6641E6-6064-7652-E86E-48E43F0EA0E7")

/* What a log read or export selects: the filter (none: every event), at
 * most MaxCount events (0: no limit) and their order (newest first by
 * default). put_Filter copies the filter's expressions. */
struct IZtExportSettings : IDispatch {
    virtual HRESULT get_Filter(IZtEventFilter** filter) = 0;
    virtual HRESULT put_Filter(IZtEventFilter* filter) = 0;
    virtual HRESULT get_MaxCount(unsigned int* maxCount) = 0;
    virtual HRESULT put_MaxCount(unsigned int maxCount) = 0;
    virtual HRESULT get_Order(tagZtEventOrderEnum* order) = 0;
    virtual HRESULT put_Order(tagZtEventOrderEnum order) = 0;
};
ZT_DECLARE_IID(IZtExportSettings, "2C0D2CD1-6F95-4C41-8602-A37C38713111")

/* How an export writes its CSV file (on the same settings object): the
 * delimiter (one character other than '"', CR and LF; "," by default),
 * whether a header line comes first (VARIANT_TRUE by default) and the
 * language of the texts (1033 by default). */
struct IZtCsvExportSettings : IDispatch {
    virtual HRESULT get_Delimiter(BSTR* delimiter) = 0;
    virtual HRESULT put_Delimiter(BSTR delimiter) = 0;
    virtual HRESULT get_WithHeader(VARIANT_BOOL* withHeader) = 0;
    virtual HRESULT put_WithHeader(VARIANT_BOOL withHeader) = 0;
    virtual HRESULT get_LangId(long* langId) = 0;
    virtual HRESULT put_LangId(long langId) = 0;
};
ZT_DECLARE_IID(IZtCsvExportSettings, "6568CB44-E548-38B9-F3CD-948BAD119176")

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_FILTER_INTERFACES_H
