#include "CommandHandler.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "TopicMap.h"
#include "ZtFilterSyntax/FilterText.h"
#include "ZtTool/ResultText.h"

namespace ZtGateway {

namespace {

using Value = rapidjson::Value;
using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

constexpr size_t kMaxIdBytes = 256;
constexpr size_t kMaxArguments = 64;
constexpr size_t kMaxTextBytes = 16 * 1024;

std::string Str(const Value& v) { return std::string(v.GetString(), v.GetStringLength()); }

bool Known(const Value& o, std::initializer_list<const char*> names, std::string& error) {
    for (auto it = o.MemberBegin(); it != o.MemberEnd(); ++it) {
        std::string key = Str(it->name);
        if (key == "id") continue;
        if (std::none_of(names.begin(), names.end(), [&](const char* n) { return key == n; })) {
            error = "unknown member \"" + key + "\"";
            return false;
        }
    }
    return true;
}

bool Guid(const Value& o, const char* name, std::string& out, bool required, std::string& error) {
    auto it = o.FindMember(name);
    if (it == o.MemberEnd()) {
        if (required) error = std::string(name) + ": missing";
        return !required;
    }
    if (!it->value.IsString() || GuidSegment(Str(it->value)).empty()) {
        error = std::string(name) + ": expected a GUID such as \"{4A6F1C2E-8B3D-4F51-9C07-2E5B7A9D1F30}\"";
        return false;
    }
    out = "{" + GuidSegment(Str(it->value)) + "}";
    return true;
}

bool U32(const Value& o, const char* name, uint32_t& out, bool required, std::string& error) {
    auto it = o.FindMember(name);
    if (it == o.MemberEnd()) {
        if (required) error = std::string(name) + ": missing";
        return !required;
    }
    if (!it->value.IsUint()) {
        error = std::string(name) + ": expected a whole number from 0 to 4294967295";
        return false;
    }
    out = it->value.GetUint();
    return true;
}

bool Severity(const Value& o, int32_t& out, std::string& error) {
    auto it = o.FindMember("severity");
    if (it == o.MemberEnd()) return true;
    static const char* names[] = {"verbose", "info", "warning", "error", "critical"};
    if (it->value.IsInt() && it->value.GetInt() >= 0 && it->value.GetInt() <= 4) {
        out = it->value.GetInt();
        return true;
    }
    if (it->value.IsString()) {
        for (int i = 0; i < 5; ++i) {
            if (Str(it->value) == names[i]) {
                out = i;
                return true;
            }
        }
    }
    error = "severity: expected verbose, info, warning, error, critical or 0 to 4";
    return false;
}

// One typed argument, range-checked for its type.
bool Argument(const Value& a, size_t index, MessageArgument& out, std::string& error) {
    std::string place = "arguments[" + std::to_string(index) + "]";
    if (!a.IsObject() || !a.HasMember("type") || !a["type"].IsString() || !a.HasMember("value")) {
        error = place + ": expected {\"type\": ..., \"value\": ...}";
        return false;
    }
    out.type = Str(a["type"]);
    const Value& v = a["value"];
    struct Range {
        const char* type;
        int64_t min;
        uint64_t max;
        bool isSigned;
    };
    static const Range ints[] = {
        {"int8", INT8_MIN, INT8_MAX, true},       {"int16", INT16_MIN, INT16_MAX, true},
        {"int32", INT32_MIN, INT32_MAX, true},    {"int64", INT64_MIN, INT64_MAX, true},
        {"uint8", 0, UINT8_MAX, false},           {"uint16", 0, UINT16_MAX, false},
        {"uint32", 0, UINT32_MAX, false},         {"uint64", 0, UINT64_MAX, false},
    };
    for (const Range& r : ints) {
        if (out.type != r.type) continue;
        bool ok = r.isSigned ? v.IsInt64() && v.GetInt64() >= r.min && v.GetInt64() <= static_cast<int64_t>(r.max)
                             : v.IsUint64() && v.GetUint64() <= r.max;
        if (!ok) {
            error = place + ": " + out.type + " takes a whole number from " + std::to_string(r.min) + " to " +
                    std::to_string(r.max);
            return false;
        }
        if (r.isSigned) {
            out.integer = v.GetInt64();
        } else {
            out.uinteger = v.GetUint64();
        }
        return true;
    }
    if (out.type == "float" || out.type == "double") {
        if (!v.IsNumber() || !std::isfinite(v.GetDouble()) ||
            (out.type == "float" && std::fabs(v.GetDouble()) > std::numeric_limits<float>::max())) {
            error = place + ": " + out.type + " takes a finite number in its range";
            return false;
        }
        out.number = v.GetDouble();
        return true;
    }
    if (out.type == "bool") {
        if (!v.IsBool()) {
            error = place + ": bool takes true or false";
            return false;
        }
        out.boolean = v.GetBool();
        return true;
    }
    if (out.type == "string") {
        if (!v.IsString() || v.GetStringLength() > kMaxTextBytes ||
            Str(v).find('\0') != std::string::npos) {
            error = place + ": string takes a text of at most 16384 bytes without NUL";
            return false;
        }
        out.text = Str(v);
        return true;
    }
    error = place + ": type must be bool, int8, int16, int32, int64, uint8, uint16, uint32, uint64, float, double or "
                    "string";
    return false;
}

bool ParseSend(const Value& o, MessageRequest& m, std::string& error) {
    if (!Known(o, {"class", "eventId", "severity", "json", "source", "arguments"}, error)) return false;
    if (!Guid(o, "class", m.eventClass, true, error) || !U32(o, "eventId", m.eventId, true, error) ||
        !Severity(o, m.severity, error)) {
        return false;
    }
    if (auto it = o.FindMember("json"); it != o.MemberEnd()) {
        if (it->value.IsString()) {
            m.json = Str(it->value);
        } else {
            rapidjson::StringBuffer b;
            Writer w(b);
            it->value.Accept(w);
            m.json.assign(b.GetString(), b.GetSize());
        }
        if (m.json.size() > kMaxTextBytes || m.json.find('\0') != std::string::npos) {
            error = "json: at most 16384 bytes without NUL";
            return false;
        }
    }
    if (auto it = o.FindMember("source"); it != o.MemberEnd()) {
        const Value& s = it->value;
        if (!s.IsObject()) {
            error = "source: expected {\"id\", \"guid\", \"name\"}";
            return false;
        }
        for (auto m2 = s.MemberBegin(); m2 != s.MemberEnd(); ++m2) {
            std::string k = Str(m2->name);
            if (k != "id" && k != "guid" && k != "name") {
                error = "source: unknown member \"" + k + "\"";
                return false;
            }
        }
        if (s.HasMember("id")) {
            if (!U32(s, "id", m.sourceId, true, error)) return false;
            m.hasSourceId = true;
        }
        if (!Guid(s, "guid", m.sourceGuid, false, error)) return false;
        if (auto n = s.FindMember("name"); n != s.MemberEnd()) {
            if (!n->value.IsString() || n->value.GetStringLength() > 1024 ||
                Str(n->value).find('\0') != std::string::npos) {
                error = "source.name: expected a text of at most 1024 bytes";
                return false;
            }
            m.hasSourceName = true;
            m.sourceName = Str(n->value);
        }
    }
    if (auto it = o.FindMember("arguments"); it != o.MemberEnd()) {
        if (!it->value.IsArray() || it->value.Size() > kMaxArguments) {
            error = "arguments: expected a list of at most 64 arguments";
            return false;
        }
        for (rapidjson::SizeType i = 0; i < it->value.Size(); ++i) {
            MessageArgument a;
            if (!Argument(it->value[i], i, a, error)) return false;
            m.arguments.push_back(std::move(a));
        }
    }
    return true;
}

void Head(Writer& w, const Command& c, bool ok, HRESULT code) {
    w.StartObject();
    w.Key("id");
    if (c.hasId) {
        w.String(c.id.c_str(), static_cast<rapidjson::SizeType>(c.id.size()));
    } else {
        w.Null();
    }
    w.Key("verb");
    w.String(c.verb.c_str(), static_cast<rapidjson::SizeType>(c.verb.size()));
    w.Key("ok");
    w.Bool(ok);
    w.Key("code");
    std::string hex = HexCode(code);
    w.String(hex.c_str());
    w.Key("name");
    std::string name = ZtTool::ResultName(code);
    w.String(name.c_str(), static_cast<rapidjson::SizeType>(name.size()));
}

}  // namespace

std::string HexCode(HRESULT code) {
    char buf[16];
    std::snprintf(buf, sizeof(buf), "0x%08X", static_cast<unsigned>(code));
    return buf;
}

bool ParseCommand(const std::string& verb, const std::string& payload, Command& c, std::string& error) {
    c = Command{};
    c.verb = verb;
    if (payload.size() > kMaxCommandBytes) {
        error = "payload larger than " + std::to_string(kMaxCommandBytes) + " bytes";
        return false;
    }
    rapidjson::Document doc;
    // Invalid UTF-8 is refused: the id comes back in the result, which must stay JSON.
    doc.Parse<rapidjson::kParseValidateEncodingFlag>(payload.data(), payload.size());
    if (doc.HasParseError() || !doc.IsObject()) {
        error = "payload is not a JSON object in UTF-8";
        return false;
    }
    if (auto it = doc.FindMember("id"); it != doc.MemberEnd()) {
        if (!it->value.IsString() || it->value.GetStringLength() > kMaxIdBytes) {
            error = "id: expected a text of at most 256 bytes";
            return false;
        }
        c.id = Str(it->value);
        c.hasId = true;
    }
    if (verb == "confirm") {
        return Known(doc, {"class", "eventId", "qualifier"}, error) && Guid(doc, "class", c.key.eventClass, true, error) &&
               U32(doc, "eventId", c.key.eventId, true, error) && U32(doc, "qualifier", c.key.qualifier, false, error);
    }
    if (verb == "confirm-all") return Known(doc, {}, error);
    if (verb == "clear") {
        if (!Known(doc, {"filter", "resetConfirmation"}, error)) return false;
        auto f = doc.FindMember("filter");
        if (f == doc.MemberEnd() || !f->value.IsString() || f->value.GetStringLength() > kMaxTextBytes) {
            error = "filter: expected the filter as text (\"\" clears every alarm), at most 16384 bytes";
            return false;
        }
        c.filter = Str(f->value);
        // Checked here so that a bad text is answered at once, in order.
        auto check = ZtFilterSyntax::CheckFilterText(c.filter);
        if (!check.Ok()) {
            error = "filter: " + check.Describe();
            return false;
        }
        if (auto r = doc.FindMember("resetConfirmation"); r != doc.MemberEnd()) {
            if (!r->value.IsBool()) {
                error = "resetConfirmation: expected true or false";
                return false;
            }
            c.resetConfirmation = r->value.GetBool();
        }
        return true;
    }
    if (verb == "send") return ParseSend(doc, c.message, error);
    if (verb == "log") {
        if (!Known(doc, {"count"}, error)) return false;
        c.count = 10;
        if (!U32(doc, "count", c.count, false, error)) return false;
        if (c.count == 0 || c.count > kMaxLogCount) {
            error = "count: expected 1 to " + std::to_string(kMaxLogCount);
            return false;
        }
        return true;
    }
    error = "unknown verb \"" + verb + "\"";
    return false;
}

std::string CommandError(const Command& c, HRESULT code, const std::string& error) {
    rapidjson::StringBuffer b;
    Writer w(b);
    Head(w, c, false, code);
    w.Key("error");
    w.String(error.c_str(), static_cast<rapidjson::SizeType>(error.size()));
    w.EndObject();
    return std::string(b.GetString(), b.GetSize());
}

std::string ExecuteCommand(EventSource& source, const Command& c) {
    HRESULT hr = ZtAtlCom::E_INVALIDARG;
    std::string error;
    std::vector<std::string> events;
    if (c.verb == "confirm") {
        hr = source.ConfirmAlarm(c.key);
    } else if (c.verb == "confirm-all") {
        hr = source.ConfirmAll();
    } else if (c.verb == "clear") {
        hr = source.ClearByFilter(c.filter, c.resetConfirmation, error);
    } else if (c.verb == "send") {
        hr = source.SendMessage(c.message);
    } else if (c.verb == "log") {
        hr = source.ReadLog(c.count, events);
    }
    if (ZtAtlCom::Failed(hr)) return CommandError(c, hr, error.empty() ? ZtTool::DescribeResult(hr) : error);
    rapidjson::StringBuffer b;
    Writer w(b);
    Head(w, c, true, hr);
    if (c.verb == "log") {
        w.Key("events");
        w.StartArray();
        for (const std::string& e : events) w.RawValue(e.c_str(), e.size(), rapidjson::kObjectType);
        w.EndArray();
    }
    w.EndObject();
    return std::string(b.GetString(), b.GetSize());
}

}  // namespace ZtGateway
