#include "FilterExpression.h"

#include <algorithm>
#include <utility>

namespace ZtEventLoggerVdlFilter {

OperandKind OperandOf(ItemKind kind) noexcept {
    switch (kind) {
    case ItemKind::EventType:
    case ItemKind::EventId:
    case ItemKind::Severity:
    case ItemKind::TimeStamp:
    case ItemKind::SourceId:
    case ItemKind::ConfirmationState:
    case ItemKind::DeviceVendorId:
    case ItemKind::DeviceProductCode:
    case ItemKind::DeviceRevisionNo: return OperandKind::Number;
    case ItemKind::EventClass:
    case ItemKind::SourceGuid: return OperandKind::Guid;
    case ItemKind::SourceName: return OperandKind::Text;
    case ItemKind::JsonAttribute: return OperandKind::Json;
    case ItemKind::IsActive:
    case ItemKind::IsRaised:
    case ItemKind::IsWaitingForConfirmation:
    case ItemKind::IsDeviceEvent: return OperandKind::Flag;
    case ItemKind::Or:
    case ItemKind::Not:
    case ItemKind::Group: break;
    }
    return OperandKind::None;
}

const char* ItemName(ItemKind kind) noexcept {
    switch (kind) {
    case ItemKind::EventType: return "event type";
    case ItemKind::EventClass: return "event class";
    case ItemKind::EventId: return "event id";
    case ItemKind::Severity: return "severity";
    case ItemKind::TimeStamp: return "time stamp";
    case ItemKind::SourceGuid: return "source GUID";
    case ItemKind::SourceId: return "source id";
    case ItemKind::SourceName: return "source name";
    case ItemKind::JsonAttribute: return "JSON attribute";
    case ItemKind::IsActive: return "is active";
    case ItemKind::IsRaised: return "is raised";
    case ItemKind::IsWaitingForConfirmation: return "waits for confirmation";
    case ItemKind::ConfirmationState: return "confirmation state";
    case ItemKind::IsDeviceEvent: return "is a device event";
    case ItemKind::DeviceVendorId: return "device vendor id";
    case ItemKind::DeviceProductCode: return "device product code";
    case ItemKind::DeviceRevisionNo: return "device revision number";
    case ItemKind::Or: return "OR";
    case ItemKind::Not: return "NOT";
    case ItemKind::Group: return "group";
    }
    return "item";
}

bool FilterExpression::Append(FilterItem item) {
    if (m_total >= kMaxItems) return false;
    m_items.push_back(std::move(item));
    ++m_total;
    return true;
}

bool FilterExpression::AppendGroup(std::shared_ptr<const FilterExpression> group) {
    const std::size_t total = m_total + 1 + group->TotalItems();
    const unsigned depth = std::max(m_depth, group->Depth() + 1);
    if (total > kMaxItems || depth > kMaxDepth) return false;
    FilterItem item;
    item.kind = ItemKind::Group;
    item.group = std::move(group);
    m_items.push_back(std::move(item));
    m_total = total;
    m_depth = depth;
    return true;
}

void FilterExpression::Clear() noexcept {
    m_items.clear();
    m_total = 0;
    m_depth = 0;
}

namespace {

// Widths on the wire are fixed per member; validation has made sure the
// values fit before a snapshot is written for the logger.
void WriteCompare(IZtStreamWriter& w, const FilterItem& item) {
    w.Key("cmp");
    w.Value(static_cast<unsigned short>(item.compare));
}

void WriteItem(IZtStreamWriter& w, const FilterItem& item) {
    w.StartObject();
    w.Key("kind");
    w.Value(static_cast<unsigned short>(item.kind));
    switch (item.kind) {
    case ItemKind::EventType:
    case ItemKind::Severity:
    case ItemKind::ConfirmationState:
        WriteCompare(w, item);
        w.Key("value");
        w.Value(static_cast<unsigned short>(item.number));
        break;
    case ItemKind::EventId:
    case ItemKind::SourceId:
    case ItemKind::DeviceVendorId:
    case ItemKind::DeviceProductCode:
    case ItemKind::DeviceRevisionNo:
        WriteCompare(w, item);
        w.Key("value");
        w.Value(static_cast<unsigned int>(item.number));
        break;
    case ItemKind::TimeStamp:
        WriteCompare(w, item);
        w.Key("which");
        w.Value(static_cast<unsigned short>(item.which));
        w.Key("value");
        w.Value(static_cast<unsigned long>(item.number));
        break;
    case ItemKind::EventClass:
    case ItemKind::SourceGuid:
        WriteCompare(w, item);
        w.Key("value");
        w.Value(item.guid);
        break;
    case ItemKind::SourceName:
        WriteCompare(w, item);
        w.Key("value");
        w.Value(item.text.c_str());
        break;
    case ItemKind::JsonAttribute:
        WriteCompare(w, item);
        w.Key("path");
        w.Value(item.path.c_str());
        w.Key("value");
        w.Value(item.text.c_str());
        break;
    case ItemKind::IsActive:
    case ItemKind::IsRaised:
    case ItemKind::IsWaitingForConfirmation:
    case ItemKind::IsDeviceEvent:
        w.Key("value");
        w.Value(item.number != 0);
        break;
    case ItemKind::Group:
        w.Key("items");
        item.group->Serialize(w);
        break;
    case ItemKind::Or:
    case ItemKind::Not: break;
    }
    w.EndObject();
}

}  // namespace

void FilterExpression::Serialize(IZtStreamWriter& writer) const {
    writer.StartArray();
    for (const FilterItem& item : m_items) WriteItem(writer, item);
    writer.EndArray();
}

}  // namespace ZtEventLoggerVdlFilter
