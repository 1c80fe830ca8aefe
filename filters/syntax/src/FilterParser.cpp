#include "FilterParser.h"

#include "FilterValues.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComPtr.h"

#include <optional>
#include <string>
#include <utility>

namespace ZtFilterSyntax {

using namespace ZtEventLoggerVdlProxy;

namespace {

enum class FieldId {
    Type,
    Class,
    Id,
    Severity,
    Raised,
    Cleared,
    Confirmed,
    Disposed,
    SourceName,
    SourceId,
    SourceGuid,
    Json,
    Active,
    Waiting,
    Confirmation,
    Device,
    Vendor,
    Product,
    Revision,
    Alarm,
    Message,
};

// What a field compares with, which decides its operators and values.
enum class ValueKind { EventType, Guid, Number, Severity, Time, Text, Json, Confirmation, FlagOnly };

struct FieldInfo {
    const char* name;
    FieldId id;
    ValueKind value;
    bool flag;  // may stand alone, or be compared with true or false
};

constexpr FieldInfo kFields[] = {
    {"type", FieldId::Type, ValueKind::EventType, false},
    {"class", FieldId::Class, ValueKind::Guid, false},
    {"id", FieldId::Id, ValueKind::Number, false},
    {"severity", FieldId::Severity, ValueKind::Severity, false},
    {"raised", FieldId::Raised, ValueKind::Time, true},
    {"cleared", FieldId::Cleared, ValueKind::Time, true},
    {"confirmed", FieldId::Confirmed, ValueKind::Time, true},
    {"disposed", FieldId::Disposed, ValueKind::Time, true},
    {"source", FieldId::SourceName, ValueKind::Text, false},
    {"source.name", FieldId::SourceName, ValueKind::Text, false},
    {"source.id", FieldId::SourceId, ValueKind::Number, false},
    {"source.guid", FieldId::SourceGuid, ValueKind::Guid, false},
    {"active", FieldId::Active, ValueKind::FlagOnly, true},
    {"waiting", FieldId::Waiting, ValueKind::FlagOnly, true},
    {"confirmation", FieldId::Confirmation, ValueKind::Confirmation, false},
    {"device", FieldId::Device, ValueKind::FlagOnly, true},
    {"device.vendor", FieldId::Vendor, ValueKind::Number, false},
    {"device.product", FieldId::Product, ValueKind::Number, false},
    {"device.revision", FieldId::Revision, ValueKind::Number, false},
    {"alarm", FieldId::Alarm, ValueKind::FlagOnly, true},
    {"message", FieldId::Message, ValueKind::FlagOnly, true},
};

constexpr FieldInfo kJsonField = {"json", FieldId::Json, ValueKind::Json, false};

constexpr const char* kFieldList =
    "type, class, id, severity, raised, cleared, confirmed, disposed, source, source.name, source.id, "
    "source.guid, json.<path>, active, waiting, confirmation, device, device.vendor, device.product, "
    "device.revision, alarm, message";

using AddCall = std::function<HRESULT(IZtEventFilter*)>;

// A BSTR for the duration of one call.
class Text {
public:
    explicit Text(const std::string& text)
        : m_bstr(ZtAtlCom::SysAllocStringLen(text.data(), static_cast<ZtAtlCom::UINT>(text.size()))),
          m_failed(!text.empty() && !m_bstr) {}
    ~Text() { ZtAtlCom::SysFreeString(m_bstr); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ZtAtlCom::BSTR get() const noexcept { return m_bstr; }
    bool failed() const noexcept { return m_failed; }

private:
    ZtAtlCom::BSTR m_bstr;
    bool m_failed;
};

// Runs call on the facet I of filter (the alarm or device interface).
template <class I, class Call>
AddCall OnFacet(Call call) {
    return [call](IZtEventFilter* filter) -> HRESULT {
        ZtAtlCom::CComPtr<I> facet;
        HRESULT hr =
            filter->QueryInterface(ZtAtlCom::iid_of<I>(), reinterpret_cast<void**>(facet.ReleaseAndGetAddressOf()));
        if (ZtAtlCom::Failed(hr)) return hr;
        if (!facet) return ZtAtlCom::E_NOINTERFACE;
        return call(facet.Get());
    };
}

tagZtTimeStampEnum TimeStampOf(FieldId id) noexcept {
    switch (id) {
    case FieldId::Cleared: return TimeStampCleared;
    case FieldId::Confirmed: return TimeStampConfirmed;
    case FieldId::Disposed: return TimeStampDisposed;
    default: return TimeStampRaised;
    }
}

// The call of a field standing alone (value true) or compared with a boolean.
AddCall FlagCall(FieldId id, bool value) {
    const int on = value ? 1 : 0;
    switch (id) {
    case FieldId::Active:
        return OnFacet<IZtAlarmFilter>([on](IZtAlarmFilter* f) { return f->AddIsActiveExpression(on); });
    case FieldId::Raised:
        return OnFacet<IZtAlarmFilter>([on](IZtAlarmFilter* f) { return f->AddIsRaisedExpression(on); });
    case FieldId::Waiting:
        return OnFacet<IZtAlarmFilter>([on](IZtAlarmFilter* f) { return f->AddIsWaitForConfirmationExpression(on); });
    case FieldId::Device:
        return OnFacet<IZtSegbusDeviceEventFilter>(
            [on](IZtSegbusDeviceEventFilter* f) { return f->AddIsSegbusDeviceEventExpression(on); });
    case FieldId::Alarm:
    case FieldId::Message: {
        const tagEventTypeEnum type = id == FieldId::Alarm ? EventTypeAlarm : EventTypeMessage;
        const tagZtFilterCompareEnum compare = value ? FilterEqual : FilterNotEqual;
        return [type, compare](IZtEventFilter* f) { return f->AddEventTypeExpression(type, compare); };
    }
    default: {
        // cleared, confirmed, disposed: that time stamp is set (not 0).
        const tagZtTimeStampEnum which = TimeStampOf(id);
        const tagZtFilterCompareEnum compare = value ? FilterNotEqual : FilterEqual;
        return [which, compare](IZtEventFilter* f) { return f->AddTimeStampExpression(which, 0, compare); };
    }
    }
}

bool OperatorApplies(ValueKind kind, tagZtFilterCompareEnum op) noexcept {
    switch (kind) {
    case ValueKind::Guid: return op == FilterEqual || op == FilterNotEqual;
    case ValueKind::Text: return op == FilterEqual || op == FilterNotEqual || op >= FilterContains;
    case ValueKind::Json: return true;
    case ValueKind::FlagOnly: return op == FilterEqual || op == FilterNotEqual;
    default: return op <= FilterGreaterOrEqual;
    }
}

const char* OperatorsOf(ValueKind kind) noexcept {
    switch (kind) {
    case ValueKind::Guid:
    case ValueKind::FlagOnly: return "= or !=";
    case ValueKind::Text: return "=, !=, ~, ^= or $=";
    case ValueKind::Json: return "any operator";
    default: return "=, !=, <, <=, > or >=";
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : m_tokens(Tokenize(text)) {}

    FilterNode Run() {
        if (Peek().kind == TokenKind::End) return FilterNode{};  // every event
        FilterNode root = OrExpression();
        const Token& next = Peek();
        if (next.kind == TokenKind::Close) throw FilterSyntaxError{next.offset, "')' has no matching '('"};
        if (next.kind != TokenKind::End) Unexpected(next, "'and', 'or' or the end of the text");
        return root;
    }

private:
    const Token& Peek() const { return m_tokens[m_pos]; }
    const Token& Take() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }

    bool PeekKeyword(const char* keyword) const {
        return Peek().kind == TokenKind::Word && SameWord(Peek().text, keyword);
    }

    [[noreturn]] static void Unexpected(const Token& token, const std::string& expected) {
        throw FilterSyntaxError{token.offset, "expected " + expected + " but found " + Describe(token)};
    }

    static FilterNode Combine(FilterNode::Type type, std::size_t offset, std::vector<FilterNode> parts) {
        if (parts.size() == 1) return std::move(parts.front());
        FilterNode node;
        node.type = type;
        node.offset = offset;
        for (FilterNode& part : parts) {
            if (part.type == type) {
                for (FilterNode& inner : part.children) node.children.push_back(std::move(inner));
            } else {
                node.children.push_back(std::move(part));
            }
        }
        return node;
    }

    FilterNode OrExpression() {
        const std::size_t offset = Peek().offset;
        std::vector<FilterNode> terms;
        terms.push_back(AndExpression());
        while (PeekKeyword("or")) {
            Take();
            terms.push_back(AndExpression());
        }
        return Combine(FilterNode::Type::Or, offset, std::move(terms));
    }

    FilterNode AndExpression() {
        const std::size_t offset = Peek().offset;
        std::vector<FilterNode> factors;
        factors.push_back(Unary());
        while (PeekKeyword("and")) {
            Take();
            factors.push_back(Unary());
        }
        return Combine(FilterNode::Type::And, offset, std::move(factors));
    }

    FilterNode Unary() {
        if (!PeekKeyword("not")) return Primary();
        const Token& keyword = Take();
        Nest(keyword);
        FilterNode node;
        node.type = FilterNode::Type::Not;
        node.offset = keyword.offset;
        node.children.push_back(Unary());
        --m_depth;
        return node;
    }

    void Nest(const Token& at) {
        if (++m_depth > kMaxNesting)
            throw FilterSyntaxError{
                at.offset, "parentheses and 'not' nest deeper than " + std::to_string(kMaxNesting) + " levels"};
    }

    FilterNode Primary() {
        const Token& token = Take();
        switch (token.kind) {
        case TokenKind::Open: {
            Nest(token);
            FilterNode inner = OrExpression();
            const Token& close = Peek();
            if (close.kind == TokenKind::End) throw FilterSyntaxError{token.offset, "this '(' is never closed"};
            if (close.kind != TokenKind::Close) Unexpected(close, "'and', 'or' or ')'");
            Take();
            --m_depth;
            // A group the filter needs is reported at its parenthesis.
            if (inner.type == FilterNode::Type::And || inner.type == FilterNode::Type::Or) inner.offset = token.offset;
            return inner;
        }
        case TokenKind::Word:
            if (SameWord(token.text, "and") || SameWord(token.text, "or"))
                Unexpected(token, "a comparison, 'not' or '('");
            return Comparison(token);
        case TokenKind::Close: throw FilterSyntaxError{token.offset, "')' has no matching '('"};
        case TokenKind::End: Unexpected(token, "a comparison, 'not' or '('");
        default: Unexpected(token, "a field name, 'not' or '('");
        }
    }

    FilterNode Comparison(const Token& name) {
        FieldInfo field = Field(name);
        std::string path;
        if (field.id == FieldId::Json) path = JsonPath(name);
        // Messages name the field as written for JSON members, else by its name.
        const std::string label = field.id == FieldId::Json ? "json." + Shortened(path) : field.name;
        FilterNode node;
        node.type = FilterNode::Type::Comparison;
        node.offset = name.offset;
        if (Peek().kind != TokenKind::Operator) {
            if (!field.flag) Unexpected(Peek(), "an operator after '" + label + "'");
            node.add = FlagCall(field.id, true);
            return node;
        }
        const Token& op = Take();
        const Token& value = Take();
        if (value.kind != TokenKind::Word && value.kind != TokenKind::Text)
            Unexpected(value, std::string("a value after '") + OperatorText(op.compare) + "'");
        std::optional<bool> boolean;
        if (field.flag && value.kind == TokenKind::Word) boolean = ParseBoolean(value.text);
        const ValueKind kind = boolean ? ValueKind::FlagOnly : field.value;
        if (!OperatorApplies(kind, op.compare))
            throw FilterSyntaxError{op.offset, std::string("'") + OperatorText(op.compare) + "' does not apply to " +
                                                   label + "; use " + OperatorsOf(kind)};
        if (boolean) {
            node.add = FlagCall(field.id, *boolean != (op.compare == FilterNotEqual));
        } else if (kind == ValueKind::FlagOnly) {
            throw FilterSyntaxError{value.offset, label + " is compared with true or false"};
        } else {
            node.add = ValueCall(field, label, op.compare, value, std::move(path));
        }
        return node;
    }

    static FieldInfo Field(const Token& name) {
        for (const FieldInfo& field : kFields)
            if (SameWord(name.text, field.name)) return field;
        if (name.text.size() >= 5 && SameWord(std::string_view(name.text).substr(0, 5), "json.")) return kJsonField;
        throw FilterSyntaxError{name.offset, "unknown field " + Describe(name) + " (fields: " + kFieldList + ")"};
    }

    // json.a.b, or json."any text" written right after the dot.
    std::string JsonPath(const Token& name) {
        std::string path = name.text.substr(5);
        if (path.empty() && Peek().kind == TokenKind::Text && Peek().offset == name.end) path = Take().text;
        if (path.empty()) throw FilterSyntaxError{name.offset, "'json.' needs a member path, e.g. json.axis.state"};
        if (path.front() == '.' || path.back() == '.' || path.find("..") != std::string::npos)
            throw FilterSyntaxError{name.offset, "the JSON path '" + path + "' has an empty member"};
        return path;
    }

    static AddCall ValueCall(const FieldInfo& field, const std::string& label, tagZtFilterCompareEnum op,
                             const Token& value, std::string path) {
        const std::string& v = value.text;
        const bool word = value.kind == TokenKind::Word;
        auto fail = [&](const std::string& expected) -> AddCall {
            throw FilterSyntaxError{value.offset, label + " takes " + expected + ", not " + Describe(value)};
        };
        switch (field.value) {
        case ValueKind::EventType: {
            auto type = word ? ParseEventType(v) : std::nullopt;
            if (!type) return fail("message, alarm, 0 or 1");
            return [t = *type, op](IZtEventFilter* f) {
                return f->AddEventTypeExpression(static_cast<tagEventTypeEnum>(t), op);
            };
        }
        case ValueKind::Severity: {
            auto severity = word ? ParseSeverity(v) : std::nullopt;
            if (!severity) return fail("verbose, info, warning, error, critical or 0 to 4");
            return [s = *severity, op](IZtEventFilter* f) {
                return f->AddSeverityExpression(static_cast<tagSeverityLevelEnum>(s), op);
            };
        }
        case ValueKind::Confirmation: {
            auto state = word ? ParseConfirmationState(v) : std::nullopt;
            if (!state) return fail("none, waiting, reset or a number from 0 to 65535");
            return OnFacet<IZtAlarmFilter>([s = *state, op](IZtAlarmFilter* f) {
                return f->AddConfirmationStateExpression(static_cast<tagConfirmationStateEnum>(s), op);
            });
        }
        case ValueKind::Guid: {
            auto guid = ParseGuid(v);
            if (!guid) return fail("a GUID such as {30264E87-48E7-40B7-B71D-AD38673E571B}");
            if (field.id == FieldId::Class)
                return [g = *guid, op](IZtEventFilter* f) { return f->AddEventClassExpression(g, op); };
            return [g = *guid, op](IZtEventFilter* f) { return f->AddSourceGuidExpression(g, op); };
        }
        case ValueKind::Time: {
            auto time = ParseFileTime(v);
            if (!time) return fail("a time such as 2024-05-01T12:30:00Z or a FILETIME number");
            return [which = TimeStampOf(field.id), t = *time, op](IZtEventFilter* f) {
                return f->AddTimeStampExpression(which, t, op);
            };
        }
        case ValueKind::Text:
            if (word) return fail("a quoted text (source ~ \"Axis\")");
            return [text = v, op](IZtEventFilter* f) -> HRESULT {
                Text name(text);
                return name.failed() ? ZtAtlCom::E_OUTOFMEMORY : f->AddSourceNameExpression(name.get(), op);
            };
        case ValueKind::Json:
            if (word && !IsJsonLiteral(v)) return fail("a quoted text, a number, true, false or null");
            return [path = std::move(path), text = v, op](IZtEventFilter* f) -> HRESULT {
                Text member(path), operand(text);
                if (member.failed() || operand.failed()) return ZtAtlCom::E_OUTOFMEMORY;
                return f->AddJsonAttributeExpression(member.get(), operand.get(), op);
            };
        case ValueKind::Number:
        case ValueKind::FlagOnly: break;
        }
        auto number = word ? ParseUnsigned(v) : std::nullopt;
        if (!number) return fail("a number from 0 to 4294967295");
        const unsigned n = *number;
        switch (field.id) {
        case FieldId::Id: return [n, op](IZtEventFilter* f) { return f->AddEventIdExpression(n, op); };
        case FieldId::SourceId: return [n, op](IZtEventFilter* f) { return f->AddSourceIdExpression(n, op); };
        case FieldId::Vendor:
            return OnFacet<IZtSegbusDeviceEventFilter>(
                [n, op](IZtSegbusDeviceEventFilter* f) { return f->AddVendorIdExpression(n, op); });
        case FieldId::Product:
            return OnFacet<IZtSegbusDeviceEventFilter>(
                [n, op](IZtSegbusDeviceEventFilter* f) { return f->AddProductCodeExpression(n, op); });
        default:
            return OnFacet<IZtSegbusDeviceEventFilter>(
                [n, op](IZtSegbusDeviceEventFilter* f) { return f->AddRevisionNoExpression(n, op); });
        }
    }

    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

}  // namespace

FilterNode ParseFilterTree(std::string_view text) {
    if (text.size() > kMaxTextBytes)
        throw FilterSyntaxError{kMaxTextBytes, "the text is longer than " + std::to_string(kMaxTextBytes) + " bytes"};
    return Parser(text).Run();
}

}  // namespace ZtFilterSyntax
