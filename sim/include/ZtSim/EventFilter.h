// EventFilter.h - filters and log settings as clients send them in request
// streams (docs/filters.md has the serialised form), compiled once and then
// evaluated against events.
//
// A filter is an array of items; consecutive items are joined by AND, an OR
// item (kind 20) separates alternatives (AND binds tighter), NOT (21)
// negates the item or group that follows, a group (22) holds an array of
// items of the same form. An empty filter selects everything.
//
// Evaluation, per event (a description and its state as recorded):
//  - texts compare byte by byte, case-sensitive; contains/starts/ends with
//    use the operand as a plain substring;
//  - numbers and FILETIMEs use the six ordered comparisons ("field cmp
//    operand"); a time that is not set is 0;
//  - a missing source item or JSON member makes its item false;
//  - the alarm-state items (10 to 13) are false for messages;
//  - JSON members (kind 9) accept every comparison: as numbers when both the
//    member and the operand are numbers, else as texts (a string member
//    without its quotes, any other member as compact JSON);
//  - device items: the JSON attribute's object "device" with the numeric
//    members "vendorId", "productCode", "revisionNo".
// Compile refuses (with a reason) an unknown kind or comparison, a
// comparison that does not apply to the field, a missing or mistyped member,
// an operator without its operand, an empty group; the service answers
// such a stream with 1798 and changes nothing.
//
// A compiled filter is immutable: Matches may run on several threads at once.
#ifndef ZT_SIM_EVENT_FILTER_H
#define ZT_SIM_EVENT_FILTER_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EventRecord.h"
#include "RequestStream.h"

namespace ZtSim {

class EventFilter {
public:
    EventFilter();  // selects everything
    ~EventFilter();
    EventFilter(EventFilter&&) noexcept;
    EventFilter& operator=(EventFilter&&) noexcept;

    // Compiles the filter array; empty on success, else why not.
    std::string Compile(const StreamValue& items);
    bool Matches(const EventDescription& event, const EventState& state) const;
    bool Empty() const;

    struct Node;

private:
    std::unique_ptr<Node> root_;  // null: everything
};

// What a log read or an export selects and how the CSV of an export looks.
struct LogSettings {
    uint32_t maxCount = 0;    // 0: no limit
    bool oldestFirst = false;  // order 1; order 0 is newest first
    EventFilter filter;
    std::string delimiter = ",";  // one character (UTF-8), not '"', CR or LF
    bool header = true;
    uint32_t langId = 1033;

    // Reads the settings object; members not given keep their defaults,
    // members of unknown keys are ignored. Empty on success, else why not.
    std::string Parse(const StreamValue& settings);
};

}  // namespace ZtSim

#endif  // ZT_SIM_EVENT_FILTER_H
