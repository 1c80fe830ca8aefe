// CZtEventFilter.h - the filter component (CLSID_ZtEventFilter).
#ifndef ZT_CZT_EVENT_FILTER_H
#define ZT_CZT_EVENT_FILTER_H

#include "FilterExpression.h"
#include "IZtFilterExpressionSource.h"

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ComObject.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

#include <memory>

namespace ZtEventLoggerVdlFilter {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::BSTR;
using ZtAtlCom::HRESULT;

/* Appends one item per Add call to its expression, under the object lock.
 * Hosts see only the interfaces; the settings object and groups read the
 * expression through IZtFilterExpressionSource. */
class CZtEventFilter : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                       public ZtAtlCom::IDispatchImpl<IZtEventFilter, &IID_IZtEventFilter>,
                       public IZtAlarmFilter,
                       public IZtSegbusDeviceEventFilter,
                       public IZtStreamSerializableProvider,
                       public IZtFilterExpressionSource,
                       public ZtAtlCom::ISupportErrorInfoImpl<&IID_IZtEventFilter, &IID_IZtAlarmFilter,
                                                              &IID_IZtSegbusDeviceEventFilter> {
public:
    BEGIN_COM_MAP(CZtEventFilter)
        COM_INTERFACE_ENTRY(IZtEventFilter)
        COM_INTERFACE_ENTRY(IZtAlarmFilter)
        COM_INTERFACE_ENTRY(IZtSegbusDeviceEventFilter)
        COM_INTERFACE_ENTRY(IZtStreamSerializableProvider)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY(IZtFilterExpressionSource)
        COM_INTERFACE_ENTRY2(IDispatch, IZtEventFilter)
    END_COM_MAP()

    // Create<CZtEventFilter>(&p, expression): a filter holding a copy.
    HRESULT Init(std::shared_ptr<const FilterExpression> expression);

    // IZtEventFilter
    HRESULT Clear() override;
    HRESULT AddEventTypeExpression(tagEventTypeEnum eventType, tagZtFilterCompareEnum compare) override;
    HRESULT AddEventClassExpression(GUID eventClass, tagZtFilterCompareEnum compare) override;
    HRESULT AddEventIdExpression(unsigned int eventId, tagZtFilterCompareEnum compare) override;
    HRESULT AddSeverityExpression(tagSeverityLevelEnum severity, tagZtFilterCompareEnum compare) override;
    HRESULT AddTimeStampExpression(tagZtTimeStampEnum which, long fileTime, tagZtFilterCompareEnum compare) override;
    HRESULT AddSourceGuidExpression(GUID sourceGuid, tagZtFilterCompareEnum compare) override;
    HRESULT AddSourceIdExpression(unsigned int sourceId, tagZtFilterCompareEnum compare) override;
    HRESULT AddSourceNameExpression(BSTR sourceName, tagZtFilterCompareEnum compare) override;
    HRESULT AddJsonAttributeExpression(BSTR path, BSTR value, tagZtFilterCompareEnum compare) override;
    HRESULT AddLogicalOperator() override;
    HRESULT AddNotOperator() override;
    HRESULT AddExpressionGroup(IZtEventFilter* group) override;

    // IZtAlarmFilter
    HRESULT AddIsActiveExpression(int active) override;
    HRESULT AddIsRaisedExpression(int raised) override;
    HRESULT AddIsWaitForConfirmationExpression(int waiting) override;
    HRESULT AddConfirmationStateExpression(tagConfirmationStateEnum state, tagZtFilterCompareEnum compare) override;

    // IZtSegbusDeviceEventFilter
    HRESULT AddIsSegbusDeviceEventExpression(int isDeviceEvent) override;
    HRESULT AddVendorIdExpression(unsigned int vendorId, tagZtFilterCompareEnum compare) override;
    HRESULT AddProductCodeExpression(unsigned int productCode, tagZtFilterCompareEnum compare) override;
    HRESULT AddRevisionNoExpression(unsigned int revisionNo, tagZtFilterCompareEnum compare) override;

    // IZtStreamSerializableProvider: a snapshot of the expression.
    HRESULT GetStreamSerializable(ZtAtlCom::IZtUnknown** serializable) override;

    // IZtFilterExpressionSource
    HRESULT GetExpression(std::shared_ptr<const FilterExpression>* expression) override;

private:
    HRESULT Append(FilterItem item);
    HRESULT AppendCompared(ItemKind kind, std::int64_t number, tagZtFilterCompareEnum compare);
    HRESULT AppendGuid(ItemKind kind, const GUID& guid, tagZtFilterCompareEnum compare);
    HRESULT AppendFlag(ItemKind kind, int value);

    FilterExpression m_expression;  // guarded by the object lock
};

}  // namespace ZtEventLoggerVdlFilter

#endif  // ZT_CZT_EVENT_FILTER_H
