// FilterExpression.h - the content of a filter: its items in the order they
// were added, and how they are written into a request stream.
#ifndef ZT_FILTER_EXPRESSION_H
#define ZT_FILTER_EXPRESSION_H

#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ZtEventLoggerVdlFilter {

using ZtAtlCom::GUID;
using ZtEventLoggerVdlProxy::IZtStreamWriter;

// The "kind" member of an item on the wire.
enum class ItemKind : std::uint16_t {
    EventType = 1,
    EventClass = 2,
    EventId = 3,
    Severity = 4,
    TimeStamp = 5,
    SourceGuid = 6,
    SourceId = 7,
    SourceName = 8,
    JsonAttribute = 9,
    IsActive = 10,
    IsRaised = 11,
    IsWaitingForConfirmation = 12,
    ConfirmationState = 13,
    IsDeviceEvent = 14,
    DeviceVendorId = 15,
    DeviceProductCode = 16,
    DeviceRevisionNo = 17,
    Or = 20,
    Not = 21,
    Group = 22,
};

// What an item compares, which decides the comparison codes that apply.
enum class OperandKind { Number, Guid, Text, Json, Flag, None };
OperandKind OperandOf(ItemKind kind) noexcept;

// A short name of the item for validation messages ("severity").
const char* ItemName(ItemKind kind) noexcept;

class FilterExpression;

/* One item. Arguments are kept as the caller gave them (the comparison code
 * and enumeration values unchecked, texts with their exact bytes) so that
 * validation can name what is wrong; only flags are reduced to 0 or 1. */
struct FilterItem {
    ItemKind kind = ItemKind::Or;
    std::int32_t compare = 0;
    std::int64_t number = 0;  // type, id, severity, time, state, device fields, flag
    std::int32_t which = 0;   // the time stamp of a TimeStamp item
    GUID guid{};
    std::string text;  // source name, JSON value
    std::string path;  // JSON member path
    std::shared_ptr<const FilterExpression> group;
};

/* The items of a filter. Groups hold an immutable copy of the filter they
 * were taken from, so copying an expression is cheap and a snapshot never
 * changes under its reader. Not thread-safe: the owning object locks. */
class FilterExpression {
public:
    // Items counted through groups, and nesting of groups: beyond these the
    // request would be unreasonably large or the recursion deep.
    static constexpr std::size_t kMaxItems = 10000;
    static constexpr unsigned kMaxDepth = 32;

    const std::vector<FilterItem>& Items() const noexcept { return m_items; }
    bool Empty() const noexcept { return m_items.empty(); }
    std::size_t TotalItems() const noexcept { return m_total; }
    unsigned Depth() const noexcept { return m_depth; }

    // Appends one item that is not a group; false (nothing changed) at the
    // item limit. May throw std::bad_alloc.
    bool Append(FilterItem item);
    // Appends group as one item; false (nothing changed) when the limits
    // would be passed. May throw std::bad_alloc.
    bool AppendGroup(std::shared_ptr<const FilterExpression> group);
    void Clear() noexcept;

    // Writes the items as one array (docs/filters.md). Does not validate.
    void Serialize(IZtStreamWriter& writer) const;

private:
    std::vector<FilterItem> m_items;
    std::size_t m_total = 0;
    unsigned m_depth = 0;
};

}  // namespace ZtEventLoggerVdlFilter

#endif  // ZT_FILTER_EXPRESSION_H
