#include "FilterValidation.h"

#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"

#include <cctype>

namespace ZtEventLoggerVdlFilter {

using namespace ZtEventLoggerVdlProxy;

namespace {

constexpr const char* kNumberComparisons = "equal, not equal, less, less or equal, greater or greater or equal";
constexpr const char* kTextComparisons = "equal, not equal, contains, starts with or ends with";
constexpr const char* kGuidComparisons = "equal or not equal";

const char* CompareName(std::int32_t compare) noexcept {
    switch (compare) {
    case FilterEqual: return "equal";
    case FilterNotEqual: return "not equal";
    case FilterLess: return "less";
    case FilterLessOrEqual: return "less or equal";
    case FilterGreater: return "greater";
    case FilterGreaterOrEqual: return "greater or equal";
    case FilterContains: return "contains";
    case FilterStartsWith: return "starts with";
    case FilterEndsWith: return "ends with";
    default: return "?";
    }
}

bool IsOrdered(std::int32_t compare) noexcept { return compare >= FilterEqual && compare <= FilterGreaterOrEqual; }

// The comparison fault of an item, or an empty text.
std::string CompareFault(const FilterItem& item) {
    const OperandKind operand = OperandOf(item.kind);
    if (operand == OperandKind::Flag || operand == OperandKind::None) return {};
    if (item.compare < FilterEqual || item.compare > FilterEndsWith)
        return "the comparison code " + std::to_string(item.compare) + " is unknown (0 to 8)";
    const char* allowed = nullptr;
    const char* what = nullptr;
    switch (operand) {
    case OperandKind::Number:
        if (!IsOrdered(item.compare)) allowed = kNumberComparisons, what = "numbers and times";
        break;
    case OperandKind::Guid:
        if (item.compare != FilterEqual && item.compare != FilterNotEqual) allowed = kGuidComparisons, what = "GUIDs";
        break;
    case OperandKind::Text:
        if (IsOrdered(item.compare) && item.compare != FilterEqual && item.compare != FilterNotEqual)
            allowed = kTextComparisons, what = "texts";
        break;
    default:  // a JSON member may be a number or a text: every comparison applies
        break;
    }
    if (!allowed) return {};
    return std::string("the comparison '") + CompareName(item.compare) + "' does not apply to " + what + " (use " +
           allowed + ")";
}

bool HoldsZero(const std::string& text) noexcept { return text.find('\0') != std::string::npos; }

// The fault of an item's own values (after its comparison), or an empty text.
std::string ValueFault(const FilterItem& item) {
    const std::string n = std::to_string(item.number);
    switch (item.kind) {
    case ItemKind::EventType:
        if (item.number != EventTypeMessage && item.number != EventTypeAlarm)
            return n + " is neither 0 (message) nor 1 (alarm)";
        break;
    case ItemKind::Severity:
        if (item.number < SeverityVerbose || item.number > SeverityCritical)
            return n + " is not a severity (0 verbose to 4 critical)";
        break;
    case ItemKind::TimeStamp:
        if (item.which < TimeStampRaised || item.which > TimeStampDisposed)
            return std::to_string(item.which) + " names no time stamp (0 raised, 1 cleared, 2 confirmed, 3 disposed)";
        if (item.number < 0) return "the FILETIME " + n + " lies before 1601";
        break;
    case ItemKind::ConfirmationState:
        if (item.number < 0 || item.number > 0xFFFF) return n + " is not a confirmation state (0 to 65535)";
        break;
    case ItemKind::SourceName:
        // The wire carries texts up to their first zero byte: the rest
        // would silently be lost.
        if (HoldsZero(item.text)) return "the text holds a zero byte";
        break;
    case ItemKind::JsonAttribute: {
        if (item.path.empty()) return "the path is empty";
        if (HoldsZero(item.path)) return "the path holds a zero byte";
        if (item.path.front() == '.' || item.path.back() == '.' || item.path.find("..") != std::string::npos)
            return "the path \"" + item.path + "\" has an empty member";
        if (HoldsZero(item.text)) return "the value holds a zero byte";
        break;
    }
    default: break;
    }
    return {};
}

bool IsOr(const std::vector<FilterItem>& items, std::size_t i) noexcept {
    return i < items.size() && items[i].kind == ItemKind::Or;
}

std::optional<std::string> FaultIn(const FilterExpression& expression, const std::string& position) {
    const std::vector<FilterItem>& items = expression.Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const FilterItem& item = items[i];
        const std::string here = position + std::to_string(i + 1);
        std::string fault;
        switch (item.kind) {
        case ItemKind::Or:
            if (i == 0)
                fault = "OR has no expression before it";
            else if (i + 1 == items.size() || IsOr(items, i + 1))
                fault = "OR has no expression after it";
            break;
        case ItemKind::Not:
            if (i + 1 == items.size() || IsOr(items, i + 1)) fault = "NOT has no expression after it";
            break;
        case ItemKind::Group:
            if (item.group->Empty()) {
                fault = "the group is empty";
            } else if (auto inner = FaultIn(*item.group, here + ".")) {
                return inner;
            }
            break;
        default:
            fault = CompareFault(item);
            if (fault.empty()) fault = ValueFault(item);
            if (!fault.empty()) return "item " + here + " (" + ItemName(item.kind) + "): " + fault;
            break;
        }
        if (!fault.empty()) return "item " + here + ": " + fault;
    }
    return std::nullopt;
}

}  // namespace

std::string AsSentence(std::string text) {
    if (!text.empty()) text.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
    text += '.';
    return text;
}

std::optional<std::string> FirstFault(const FilterExpression& expression, const char* prefix) {
    auto fault = FaultIn(expression, "");
    if (!fault) return std::nullopt;
    return AsSentence(prefix + *fault);
}

}  // namespace ZtEventLoggerVdlFilter
