#include "CZtEventFilter.h"

#include "FilterValidation.h"
#include "ZtStreamSnapshot.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComPtr.h"

#include <utility>

namespace ZtEventLoggerVdlFilter {

namespace {

// What the logger validates and sends of a filter.
struct FilterSnapshotContent {
    std::shared_ptr<const FilterExpression> expression;

    void Serialize(IZtStreamWriter& writer) const { expression->Serialize(writer); }
    std::optional<std::string> FirstFault() const { return ZtEventLoggerVdlFilter::FirstFault(*expression); }
};

// A BSTR's exact bytes (a null BSTR is the empty text); zero bytes inside are
// kept so that validation can refuse them.
std::string TextOf(BSTR text) { return text ? std::string(text, ZtAtlCom::SysStringLen(text)) : std::string(); }

}  // namespace

HRESULT CopyExpressionOf(ZtAtlCom::IUnknown* filter, std::shared_ptr<const FilterExpression>* expression) {
    if (!filter) return ZtAtlCom::E_POINTER;
    ZtAtlCom::CComPtr<IZtFilterExpressionSource> source;
    if (ZtAtlCom::Failed(filter->QueryInterface(ZtAtlCom::iid_of<IZtFilterExpressionSource>(),
                                                reinterpret_cast<void**>(source.ReleaseAndGetAddressOf()))) ||
        !source)
        return ZtAtlCom::E_INVALIDARG;
    return source->GetExpression(expression);
}

HRESULT CZtEventFilter::Init(std::shared_ptr<const FilterExpression> expression) {
    ObjectLock lock(this);
    if (expression) m_expression = *expression;
    return ZtAtlCom::S_OK;
}

HRESULT CZtEventFilter::Append(FilterItem item) {
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        ObjectLock lock(this);
        return m_expression.Append(std::move(item)) ? ZtAtlCom::S_OK : ZtAtlCom::E_INVALIDARG;
    });
}

HRESULT CZtEventFilter::AppendCompared(ItemKind kind, std::int64_t number, tagZtFilterCompareEnum compare) {
    FilterItem item;
    item.kind = kind;
    item.number = number;
    item.compare = compare;
    return Append(std::move(item));
}

HRESULT CZtEventFilter::AppendGuid(ItemKind kind, const GUID& guid, tagZtFilterCompareEnum compare) {
    FilterItem item;
    item.kind = kind;
    item.guid = guid;
    item.compare = compare;
    return Append(std::move(item));
}

HRESULT CZtEventFilter::AppendFlag(ItemKind kind, int value) {
    FilterItem item;
    item.kind = kind;
    item.number = value != 0 ? 1 : 0;
    return Append(std::move(item));
}

HRESULT CZtEventFilter::Clear() {
    ObjectLock lock(this);
    m_expression.Clear();
    return ZtAtlCom::S_OK;
}

HRESULT CZtEventFilter::AddEventTypeExpression(tagEventTypeEnum eventType, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::EventType, eventType, compare);
}

HRESULT CZtEventFilter::AddEventClassExpression(GUID eventClass, tagZtFilterCompareEnum compare) {
    return AppendGuid(ItemKind::EventClass, eventClass, compare);
}

HRESULT CZtEventFilter::AddEventIdExpression(unsigned int eventId, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::EventId, eventId, compare);
}

HRESULT CZtEventFilter::AddSeverityExpression(tagSeverityLevelEnum severity, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::Severity, severity, compare);
}

HRESULT CZtEventFilter::AddTimeStampExpression(tagZtTimeStampEnum which, long fileTime,
                                               tagZtFilterCompareEnum compare) {
    FilterItem item;
    item.kind = ItemKind::TimeStamp;
    item.which = which;
    item.number = fileTime;
    item.compare = compare;
    return Append(std::move(item));
}

HRESULT CZtEventFilter::AddSourceGuidExpression(GUID sourceGuid, tagZtFilterCompareEnum compare) {
    return AppendGuid(ItemKind::SourceGuid, sourceGuid, compare);
}

HRESULT CZtEventFilter::AddSourceIdExpression(unsigned int sourceId, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::SourceId, sourceId, compare);
}

HRESULT CZtEventFilter::AddSourceNameExpression(BSTR sourceName, tagZtFilterCompareEnum compare) {
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        FilterItem item;
        item.kind = ItemKind::SourceName;
        item.text = TextOf(sourceName);
        item.compare = compare;
        return Append(std::move(item));
    });
}

HRESULT CZtEventFilter::AddJsonAttributeExpression(BSTR path, BSTR value, tagZtFilterCompareEnum compare) {
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        FilterItem item;
        item.kind = ItemKind::JsonAttribute;
        item.path = TextOf(path);
        item.text = TextOf(value);
        item.compare = compare;
        return Append(std::move(item));
    });
}

HRESULT CZtEventFilter::AddLogicalOperator() {
    FilterItem item;
    item.kind = ItemKind::Or;
    return Append(std::move(item));
}

HRESULT CZtEventFilter::AddNotOperator() {
    FilterItem item;
    item.kind = ItemKind::Not;
    return Append(std::move(item));
}

HRESULT CZtEventFilter::AddExpressionGroup(IZtEventFilter* group) {
    // The group's copy is taken before this object's lock, so a filter may
    // be added to itself and two filters added to each other at once cannot
    // deadlock.
    std::shared_ptr<const FilterExpression> copy;
    HRESULT hr = CopyExpressionOf(group, &copy);
    if (ZtAtlCom::Failed(hr)) return hr;
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        ObjectLock lock(this);
        return m_expression.AppendGroup(std::move(copy)) ? ZtAtlCom::S_OK : ZtAtlCom::E_INVALIDARG;
    });
}

HRESULT CZtEventFilter::AddIsActiveExpression(int active) { return AppendFlag(ItemKind::IsActive, active); }

HRESULT CZtEventFilter::AddIsRaisedExpression(int raised) { return AppendFlag(ItemKind::IsRaised, raised); }

HRESULT CZtEventFilter::AddIsWaitForConfirmationExpression(int waiting) {
    return AppendFlag(ItemKind::IsWaitingForConfirmation, waiting);
}

HRESULT CZtEventFilter::AddConfirmationStateExpression(tagConfirmationStateEnum state, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::ConfirmationState, state, compare);
}

HRESULT CZtEventFilter::AddIsSegbusDeviceEventExpression(int isDeviceEvent) {
    return AppendFlag(ItemKind::IsDeviceEvent, isDeviceEvent);
}

HRESULT CZtEventFilter::AddVendorIdExpression(unsigned int vendorId, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::DeviceVendorId, vendorId, compare);
}

HRESULT CZtEventFilter::AddProductCodeExpression(unsigned int productCode, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::DeviceProductCode, productCode, compare);
}

HRESULT CZtEventFilter::AddRevisionNoExpression(unsigned int revisionNo, tagZtFilterCompareEnum compare) {
    return AppendCompared(ItemKind::DeviceRevisionNo, revisionNo, compare);
}

HRESULT CZtEventFilter::GetStreamSerializable(ZtAtlCom::IZtUnknown** serializable) {
    if (!serializable) return ZtAtlCom::E_POINTER;
    *serializable = nullptr;
    std::shared_ptr<const FilterExpression> copy;
    HRESULT hr = GetExpression(&copy);
    if (ZtAtlCom::Failed(hr)) return hr;
    return ZtStreamSnapshot<FilterSnapshotContent, false>::Make(FilterSnapshotContent{std::move(copy)}, serializable);
}

HRESULT CZtEventFilter::GetExpression(std::shared_ptr<const FilterExpression>* expression) {
    if (!expression) return ZtAtlCom::E_POINTER;
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        ObjectLock lock(this);
        *expression = std::make_shared<const FilterExpression>(m_expression);
        return ZtAtlCom::S_OK;
    });
}

}  // namespace ZtEventLoggerVdlFilter
