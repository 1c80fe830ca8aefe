#include "ZtSim/EventFilter.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdlib>

namespace ZtSim {

namespace {

enum Kind : uint16_t {
    kEventType = 1,
    kEventClass = 2,
    kEventId = 3,
    kSeverity = 4,
    kTimeStamp = 5,
    kSourceGuid = 6,
    kSourceId = 7,
    kSourceName = 8,
    kJsonMember = 9,
    kIsActive = 10,
    kIsRaised = 11,
    kIsWaiting = 12,
    kConfirmationState = 13,
    kIsDevice = 14,
    kVendorId = 15,
    kProductCode = 16,
    kRevisionNo = 17,
    kOr = 20,
    kNot = 21,
    kGroup = 22,
};

enum Cmp : uint16_t { kEq, kNe, kLt, kLe, kGt, kGe, kContains, kStarts, kEnds, kCmpCount };

template <class T>
bool Ordered(uint16_t cmp, const T& a, const T& b) {
    switch (cmp) {
        case kEq: return a == b;
        case kNe: return !(a == b);
        case kLt: return a < b;
        case kLe: return a <= b;
        case kGt: return a > b;
        case kGe: return a >= b;
    }
    return false;
}

bool TextCompare(uint16_t cmp, std::string_view field, std::string_view operand) {
    switch (cmp) {
        case kContains: return field.find(operand) != std::string_view::npos;
        case kStarts: return field.substr(0, operand.size()) == operand;
        case kEnds: return field.size() >= operand.size() && field.substr(field.size() - operand.size()) == operand;
        default: return Ordered(cmp, field, operand);
    }
}

// A number in the whole text, as JSON writes numbers.
std::optional<double> NumberText(std::string_view text) {
    if (text.empty() || text.size() > 64) return std::nullopt;
    std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || s.find_first_of("xXnNiI") != std::string::npos) return std::nullopt;
    return v;
}

// The member at a dotted path of the JSON attribute, or null.
const rapidjson::Value* Member(const rapidjson::Document& doc, std::string_view path) {
    const rapidjson::Value* v = &doc;
    size_t start = 0;
    while (start <= path.size()) {
        size_t dot = path.find('.', start);
        if (dot == std::string_view::npos) dot = path.size();
        if (!v->IsObject()) return nullptr;
        auto name = path.substr(start, dot - start);
        auto it = v->FindMember(rapidjson::Value(rapidjson::StringRef(name.data(), name.size())));
        if (it == v->MemberEnd()) return nullptr;
        v = &it->value;
        start = dot + 1;
    }
    return v;
}

bool ParseJson(const std::string& text, rapidjson::Document& doc) {
    if (text.empty()) return false;
    doc.Parse<rapidjson::kParseIterativeFlag>(text.c_str(), text.size());
    return !doc.HasParseError() && doc.IsObject();
}

}  // namespace

struct EventFilter::Node {
    enum class Op : uint8_t { Or, And, Not, Item } op = Op::Item;
    std::vector<std::unique_ptr<Node>> children;
    // Item
    uint16_t kind = 0, cmp = kEq, which = 0;
    uint64_t number = 0;
    EventGuid guid;
    std::string text, path;
    bool flag = false;

    bool Eval(const EventDescription& e, const EventState& s) const;
    bool EvalItem(const EventDescription& e, const EventState& s) const;
};

bool EventFilter::Node::Eval(const EventDescription& e, const EventState& s) const {
    switch (op) {
        case Op::Or:
            for (const auto& c : children)
                if (c->Eval(e, s)) return true;
            return false;
        case Op::And:
            for (const auto& c : children)
                if (!c->Eval(e, s)) return false;
            return true;
        case Op::Not:
            return !children.front()->Eval(e, s);
        case Op::Item:
            return EvalItem(e, s);
    }
    return false;
}

bool EventFilter::Node::EvalItem(const EventDescription& e, const EventState& s) const {
    const bool alarm = s.eventType != 0;
    const bool active = s.isRaised != 0 || s.confirmationState == kConfirmationWaiting;
    switch (kind) {
        case kEventType: return Ordered<uint64_t>(cmp, alarm ? 1 : 0, number);
        case kEventClass: return (e.eventClass == guid) == (cmp == kEq);
        case kEventId: return Ordered<uint64_t>(cmp, e.eventId, number);
        case kSeverity: return Ordered<uint64_t>(cmp, e.severity, number);
        case kTimeStamp: {
            const uint64_t t[4] = {s.fileTimeRaised, s.fileTimeCleared, s.fileTimeConfirmed, s.fileTimeDisposed};
            return Ordered(cmp, t[which], number);
        }
        case kSourceGuid: return e.source.guid && (*e.source.guid == guid) == (cmp == kEq);
        case kSourceId: return e.source.id && Ordered<uint64_t>(cmp, *e.source.id, number);
        case kSourceName: return e.source.name && TextCompare(cmp, *e.source.name, text);
        case kIsActive: return alarm && active == flag;
        case kIsRaised: return alarm && (s.isRaised != 0) == flag;
        case kIsWaiting: return alarm && (s.confirmationState == kConfirmationWaiting) == flag;
        case kConfirmationState: return alarm && Ordered<uint64_t>(cmp, s.confirmationState, number);
        default: break;
    }
    rapidjson::Document doc;
    const bool hasJson = ParseJson(e.jsonAttribute, doc);
    if (kind == kJsonMember) {
        const rapidjson::Value* m = hasJson ? Member(doc, path) : nullptr;
        if (m == nullptr) return false;
        if (m->IsNumber()) {
            if (auto operand = NumberText(text); operand && cmp < kContains) return Ordered(cmp, m->GetDouble(), *operand);
        }
        std::string field;
        if (m->IsString()) {
            field.assign(m->GetString(), m->GetStringLength());
        } else {
            rapidjson::StringBuffer buf;
            rapidjson::Writer<rapidjson::StringBuffer> w(buf);
            m->Accept(w);
            field.assign(buf.GetString(), buf.GetSize());
        }
        return TextCompare(cmp, field, text);
    }
    const rapidjson::Value* device = hasJson ? Member(doc, "device") : nullptr;
    const bool isDevice = device != nullptr && device->IsObject();
    if (kind == kIsDevice) return isDevice == flag;
    if (!isDevice) return false;
    const char* name = kind == kVendorId ? "vendorId" : kind == kProductCode ? "productCode" : "revisionNo";
    auto it = device->FindMember(name);
    if (it == device->MemberEnd() || !it->value.IsUint64()) return false;
    return Ordered<uint64_t>(cmp, it->value.GetUint64(), number);
}

namespace {

using Node = EventFilter::Node;

struct Compiler {
    std::string error;

    bool Fail(std::string why) {
        if (error.empty()) error = std::move(why);
        return false;
    }

    bool Member(const StreamValue& item, const char* key, const StreamValue*& out) {
        out = item.Find(key);
        return out != nullptr || Fail(std::string("filter item without \"") + key + "\"");
    }

    // cmp: text comparisons (0, 1, 6-8), ordered ones (0-5), or all.
    enum class Cmps { Text, Guid, Ordered, Any };
    bool Compare(const StreamValue& item, Cmps allowed, Node& n) {
        const StreamValue* c;
        if (!Member(item, "cmp", c)) return false;
        auto v = c->Unsigned(kCmpCount - 1);
        if (!v) return Fail("unknown comparison code");
        n.cmp = static_cast<uint16_t>(*v);
        const bool ordered = n.cmp <= kGe, textual = n.cmp <= kNe || n.cmp >= kContains;
        if ((allowed == Cmps::Ordered && !ordered) || (allowed == Cmps::Text && !textual) ||
            (allowed == Cmps::Guid && n.cmp > kNe))
            return Fail("comparison " + std::to_string(n.cmp) + " does not apply to filter item " +
                        std::to_string(n.kind));
        return true;
    }

    bool NumberValue(const StreamValue& item, uint64_t max, Node& n) {
        const StreamValue* v;
        if (!Member(item, "value", v)) return false;
        auto u = v->Unsigned(max);
        if (!u) return Fail("filter item " + std::to_string(n.kind) + " needs a number of 0.." + std::to_string(max));
        n.number = *u;
        return true;
    }

    bool TextValue(const StreamValue& item, const char* key, std::string& out, uint16_t kind) {
        const StreamValue* v;
        if (!Member(item, key, v)) return false;
        auto t = v->Text();
        if (!t) return Fail("filter item " + std::to_string(kind) + " needs a text \"" + key + "\"");
        out = std::string(*t);
        return true;
    }

    bool BoolValue(const StreamValue& item, Node& n) {
        const StreamValue* v;
        if (!Member(item, "value", v)) return false;
        // Booleans may come as numbers: 0 is false, anything else true.
        if (auto b = v->Boolean()) {
            n.flag = *b;
        } else if (v->kind == StreamValue::Kind::Uint || v->kind == StreamValue::Kind::Int) {
            n.flag = v->uint != 0 || v->sint != 0;
        } else {
            return Fail("filter item " + std::to_string(n.kind) + " needs a bool");
        }
        return true;
    }

    bool GuidValue(const StreamValue& item, Node& n) {
        const StreamValue* v;
        if (!Member(item, "value", v)) return false;
        auto g = v->Guid();
        if (!g) return Fail("filter item " + std::to_string(n.kind) + " needs a GUID");
        n.guid = *g;
        return true;
    }

    std::unique_ptr<Node> Item(const StreamValue& item, size_t depth) {
        if (item.kind != StreamValue::Kind::Object) return Fail("a filter item is an object"), nullptr;
        const StreamValue* k;
        if (!Member(item, "kind", k)) return nullptr;
        auto kind = k->Unsigned(UINT16_MAX);
        if (!kind) return Fail("filter item kind is not a number"), nullptr;
        auto n = std::make_unique<Node>();
        n->kind = static_cast<uint16_t>(*kind);
        bool ok = false;
        switch (n->kind) {
            case kEventType: ok = Compare(item, Cmps::Ordered, *n) && NumberValue(item, 1, *n); break;
            case kEventClass:
            case kSourceGuid: ok = Compare(item, Cmps::Guid, *n) && GuidValue(item, *n); break;
            case kEventId:
            case kSourceId:
            case kVendorId:
            case kProductCode:
            case kRevisionNo: ok = Compare(item, Cmps::Ordered, *n) && NumberValue(item, UINT32_MAX, *n); break;
            case kSeverity: ok = Compare(item, Cmps::Ordered, *n) && NumberValue(item, 4, *n); break;
            case kConfirmationState: ok = Compare(item, Cmps::Ordered, *n) && NumberValue(item, UINT16_MAX, *n); break;
            case kTimeStamp: {
                const StreamValue* w;
                ok = Compare(item, Cmps::Ordered, *n) && Member(item, "which", w) && NumberValue(item, UINT64_MAX, *n);
                if (ok) {
                    auto which = w->Unsigned(3);
                    if (!which) return Fail("time stamp item: \"which\" is 0..3"), nullptr;
                    n->which = static_cast<uint16_t>(*which);
                }
                break;
            }
            case kSourceName: ok = Compare(item, Cmps::Text, *n) && TextValue(item, "value", n->text, n->kind); break;
            case kJsonMember:
                ok = Compare(item, Cmps::Any, *n) && TextValue(item, "path", n->path, n->kind) &&
                     TextValue(item, "value", n->text, n->kind);
                break;
            case kIsActive:
            case kIsRaised:
            case kIsWaiting:
            case kIsDevice: ok = BoolValue(item, *n); break;
            case kGroup: {
                const StreamValue* items;
                if (!Member(item, "items", items)) return nullptr;
                if (items->kind != StreamValue::Kind::Array || items->items.empty())
                    return Fail("a filter group needs a non-empty array of items"), nullptr;
                return List(*items, depth + 1);
            }
            default: return Fail("unknown filter item kind " + std::to_string(n->kind)), nullptr;
        }
        if (!ok) return nullptr;
        return n;
    }

    // items: alternatives separated by OR, each a run of (NOT* operand).
    std::unique_ptr<Node> List(const StreamValue& items, size_t depth) {
        if (depth > kMaxStreamDepth) return Fail("filter groups nested too deep"), nullptr;
        auto orNode = std::make_unique<Node>();
        orNode->op = Node::Op::Or;
        auto andNode = std::make_unique<Node>();
        andNode->op = Node::Op::And;
        size_t nots = 0;
        auto kindOf = [](const StreamValue& it) -> uint64_t {
            const StreamValue* k = it.kind == StreamValue::Kind::Object ? it.Find("kind") : nullptr;
            auto v = k ? k->Unsigned() : std::nullopt;
            return v.value_or(0);
        };
        for (const auto& it : items.items) {
            const uint64_t kind = kindOf(it);
            if (kind == kOr) {
                if (nots != 0) return Fail("NOT before OR"), nullptr;
                if (andNode->children.empty()) return Fail("OR without an operand before it"), nullptr;
                orNode->children.push_back(std::move(andNode));
                andNode = std::make_unique<Node>();
                andNode->op = Node::Op::And;
                continue;
            }
            if (kind == kNot) {
                ++nots;
                continue;
            }
            auto operand = Item(it, depth);
            if (!operand) return nullptr;
            for (; nots > 0; --nots) {
                auto neg = std::make_unique<Node>();
                neg->op = Node::Op::Not;
                neg->children.push_back(std::move(operand));
                operand = std::move(neg);
            }
            andNode->children.push_back(std::move(operand));
        }
        if (nots != 0) return Fail("NOT without an operand after it"), nullptr;
        if (andNode->children.empty()) {
            if (!orNode->children.empty()) return Fail("OR without an operand after it"), nullptr;
            return andNode;  // an empty list: everything
        }
        orNode->children.push_back(std::move(andNode));
        return orNode;
    }
};

}  // namespace

EventFilter::EventFilter() = default;
EventFilter::~EventFilter() = default;
EventFilter::EventFilter(EventFilter&&) noexcept = default;
EventFilter& EventFilter::operator=(EventFilter&&) noexcept = default;

std::string EventFilter::Compile(const StreamValue& items) {
    if (items.kind != StreamValue::Kind::Array) return "a filter is an array of items";
    Compiler c;
    auto root = c.List(items, 0);
    if (!root) return c.error.empty() ? "filter not valid" : c.error;
    root_ = items.items.empty() ? nullptr : std::move(root);
    return {};
}

bool EventFilter::Matches(const EventDescription& event, const EventState& state) const {
    return !root_ || root_->Eval(event, state);
}

bool EventFilter::Empty() const { return !root_; }

std::string LogSettings::Parse(const StreamValue& s) {
    if (s.kind != StreamValue::Kind::Object) return "settings are an object";
    if (const auto* v = s.Find("maxCount")) {
        auto n = v->Unsigned(UINT32_MAX);
        if (!n) return "\"maxCount\" is a number of 0..4294967295";
        maxCount = static_cast<uint32_t>(*n);
    }
    if (const auto* v = s.Find("order")) {
        auto n = v->Unsigned(1);
        if (!n) return "\"order\" is 0 (newest first) or 1 (oldest first)";
        oldestFirst = *n == 1;
    }
    if (const auto* v = s.Find("filter")) {
        if (auto e = filter.Compile(*v); !e.empty()) return e;
    }
    if (const auto* csv = s.Find("csv")) {
        if (csv->kind != StreamValue::Kind::Object) return "\"csv\" is an object";
        if (const auto* v = csv->Find("delimiter")) {
            auto t = v->Text();
            // One UTF-8 character: a lead byte and its continuation bytes only.
            size_t chars = 0;
            if (t)
                for (unsigned char c : *t) chars += (c & 0xC0) != 0x80;
            if (!t || chars != 1 || *t == "\"" || *t == "\r" || *t == "\n")
                return "\"delimiter\" is one character other than '\"', CR and LF";
            delimiter = std::string(*t);
        }
        if (const auto* v = csv->Find("header")) {
            auto b = v->Boolean();
            if (!b) return "\"header\" is a bool";
            header = *b;
        }
        if (const auto* v = csv->Find("langId")) {
            auto n = v->Unsigned(UINT32_MAX);
            if (!n) return "\"langId\" is a language id";
            langId = static_cast<uint32_t>(*n);
        }
    }
    return {};
}

}  // namespace ZtSim
