#include "ZtSim/Scenario.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <map>
#include <string_view>

#include "ZtSim/SimConfig.h"

namespace ZtSim {

namespace {

using rapidjson::Value;

// Parse errors unwind to ParseScenario, which turns them into its message.
struct ScenarioError {
    std::string text;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw ScenarioError{where + ": " + what}; }

uint64_t UintIn(const Value& v, uint64_t max, const std::string& where) {
    if (!v.IsUint64() || v.GetUint64() > max) Fail(where, "must be a whole number of 0.." + std::to_string(max));
    return v.GetUint64();
}

int64_t IntIn(const Value& v, int64_t min, int64_t max, const std::string& where) {
    if (!v.IsInt64() || v.GetInt64() < min || v.GetInt64() > max)
        Fail(where, "must be a whole number of " + std::to_string(min) + ".." + std::to_string(max));
    return v.GetInt64();
}

std::string TextOf(const Value& v, const std::string& where) {
    if (!v.IsString()) Fail(where, "must be a text");
    return std::string(v.GetString(), v.GetStringLength());
}

EventGuid GuidOf(const Value& v, const std::string& where) {
    auto g = ParseGuid(TextOf(v, where));
    if (!g) Fail(where, "must be a GUID text {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    return *g;
}

// char and wchar: a number, or a text of one ASCII character.
uint64_t CharOf(const Value& v, uint64_t max, const std::string& where) {
    if (v.IsString()) {
        if (v.GetStringLength() != 1 || static_cast<unsigned char>(v.GetString()[0]) > 0x7F)
            Fail(where, "must be one ASCII character or a number");
        return static_cast<unsigned char>(v.GetString()[0]);
    }
    return UintIn(v, max, where);
}

// Unknown members are refused, so that a misspelt one is not silently left
// out; "comment" is allowed everywhere.
using Names = std::initializer_list<std::string_view>;

void CheckMembers(const Value& o, Names allowed, const std::string& where, Names alsoAllowed = {}) {
    auto in = [](Names names, std::string_view n) { return std::find(names.begin(), names.end(), n) != names.end(); };
    for (const auto& m : o.GetObject()) {
        std::string_view name(m.name.GetString(), m.name.GetStringLength());
        if (name != "comment" && !in(allowed, name) && !in(alsoAllowed, name))
            Fail(where, "unknown member \"" + std::string(name) + "\"");
    }
}

const Names kEventMembers = {"class", "id", "qualifier", "severity", "needsConfirmation",
                             "source", "json", "arguments"};

EventArgument ArgumentOf(const Value& a, const std::string& where) {
    if (!a.IsObject() || !a.HasMember("type") || !a.HasMember("value"))
        Fail(where, "an argument is an object with \"type\" and \"value\"");
    CheckMembers(a, {"type", "value"}, where);
    const std::string type = TextOf(a["type"], where + ".type");
    const Value& v = a["value"];
    const std::string at = where + ".value";
    using L = std::numeric_limits<int64_t>;
    if (type == "bool") {
        if (!v.IsBool()) Fail(at, "must be true or false");
        return EventArgument::Boolean(v.GetBool());
    }
    if (type == "int8") return EventArgument::Int8(static_cast<int8_t>(IntIn(v, -128, 127, at)));
    if (type == "int16") return EventArgument::Int16(static_cast<int16_t>(IntIn(v, -32768, 32767, at)));
    if (type == "int32") return EventArgument::Int32(static_cast<int32_t>(IntIn(v, INT32_MIN, INT32_MAX, at)));
    if (type == "int64") return EventArgument::Int64(IntIn(v, L::min(), L::max(), at));
    if (type == "uint8") return EventArgument::UInt8(static_cast<uint8_t>(UintIn(v, UINT8_MAX, at)));
    if (type == "uint16") return EventArgument::UInt16(static_cast<uint16_t>(UintIn(v, UINT16_MAX, at)));
    if (type == "uint32") return EventArgument::UInt32(static_cast<uint32_t>(UintIn(v, UINT32_MAX, at)));
    if (type == "uint64") return EventArgument::UInt64(UintIn(v, UINT64_MAX, at));
    if (type == "float" || type == "double") {
        if (!v.IsNumber()) Fail(at, "must be a number");
        return type == "float" ? EventArgument::Float(static_cast<float>(v.GetDouble()))
                               : EventArgument::Double(v.GetDouble());
    }
    if (type == "char") return EventArgument::Char(static_cast<char>(CharOf(v, UINT8_MAX, at)));
    if (type == "wchar") return EventArgument::WChar(static_cast<char16_t>(CharOf(v, UINT16_MAX, at)));
    if (type == "string") return EventArgument::String(TextOf(v, at));
    if (type == "bstr") return EventArgument::Bstr(TextOf(v, at));
    Fail(where + ".type", "unknown argument type \"" + type + "\"");
}

// Applies the description members present in o to e.
void ApplyEvent(const Value& o, EventDescription& e, const std::string& where) {
    if (auto it = o.FindMember("class"); it != o.MemberEnd()) e.eventClass = GuidOf(it->value, where + ".class");
    if (auto it = o.FindMember("id"); it != o.MemberEnd())
        e.eventId = static_cast<uint32_t>(UintIn(it->value, UINT32_MAX, where + ".id"));
    if (auto it = o.FindMember("qualifier"); it != o.MemberEnd())
        e.keyQualifier = static_cast<uint32_t>(UintIn(it->value, UINT32_MAX, where + ".qualifier"));
    if (auto it = o.FindMember("severity"); it != o.MemberEnd())
        e.severity = static_cast<uint16_t>(UintIn(it->value, 4, where + ".severity"));
    if (auto it = o.FindMember("needsConfirmation"); it != o.MemberEnd()) {
        if (!it->value.IsBool()) Fail(where + ".needsConfirmation", "must be true or false");
        e.needsConfirmation = it->value.GetBool();
    }
    if (auto it = o.FindMember("source"); it != o.MemberEnd()) {
        const Value& s = it->value;
        const std::string sw = where + ".source";
        if (!s.IsObject()) Fail(sw, "must be an object");
        CheckMembers(s, {"id", "guid", "name"}, sw);
        e.source = EventSource{};
        if (s.HasMember("id")) e.source.id = static_cast<uint32_t>(UintIn(s["id"], UINT32_MAX, sw + ".id"));
        if (s.HasMember("guid")) e.source.guid = GuidOf(s["guid"], sw + ".guid");
        if (s.HasMember("name")) e.source.name = TextOf(s["name"], sw + ".name");
    }
    if (auto it = o.FindMember("json"); it != o.MemberEnd()) {
        if (it->value.IsString()) {
            e.jsonAttribute = TextOf(it->value, where + ".json");
        } else {
            rapidjson::StringBuffer buf;
            rapidjson::Writer<rapidjson::StringBuffer> w(buf);
            it->value.Accept(w);
            e.jsonAttribute.assign(buf.GetString(), buf.GetSize());
        }
    }
    if (auto it = o.FindMember("arguments"); it != o.MemberEnd()) {
        if (!it->value.IsArray()) Fail(where + ".arguments", "must be an array");
        e.arguments.clear();
        size_t i = 0;
        for (const auto& a : it->value.GetArray())
            e.arguments.push_back(ArgumentOf(a, where + ".arguments[" + std::to_string(i++) + "]"));
    }
}

ScenarioAction ActionOf(const Value& v, const std::string& where) {
    const std::string name = TextOf(v, where);
    for (auto a : {ScenarioAction::Raise, ScenarioAction::Clear, ScenarioAction::Confirm, ScenarioAction::Dispose,
                   ScenarioAction::ClearList, ScenarioAction::Message})
        if (name == ScenarioActionName(a)) return a;
    Fail(where, "unknown action \"" + name + "\"");
}

void ParseDocument(const Value& doc, Scenario& sc) {
    if (!doc.IsObject()) Fail("scenario", "must be a JSON object");
    CheckMembers(doc, {"name", "repeat", "periodMs", "events", "steps"}, "scenario");
    if (doc.HasMember("name")) sc.name = TextOf(doc["name"], "name");
    if (doc.HasMember("repeat")) {
        if (!doc["repeat"].IsBool()) Fail("repeat", "must be true or false");
        sc.repeat = doc["repeat"].GetBool();
    }
    if (doc.HasMember("periodMs")) sc.periodMs = static_cast<uint32_t>(UintIn(doc["periodMs"], UINT32_MAX, "periodMs"));

    struct Named {
        EventDescription event;
        bool hasClass = false, hasId = false;
    };
    std::map<std::string, Named> named;
    if (auto it = doc.FindMember("events"); it != doc.MemberEnd()) {
        if (!it->value.IsObject()) Fail("events", "must be an object");
        for (const auto& m : it->value.GetObject()) {
            const std::string name(m.name.GetString(), m.name.GetStringLength());
            if (!m.value.IsObject()) Fail("events." + name, "must be an object");
            CheckMembers(m.value, kEventMembers, "events." + name);
            Named& n = named[name];
            ApplyEvent(m.value, n.event, "events." + name);
            n.hasClass = m.value.HasMember("class");
            n.hasId = m.value.HasMember("id");
        }
    }

    auto steps = doc.FindMember("steps");
    if (steps == doc.MemberEnd() || !steps->value.IsArray()) Fail("steps", "an array of steps is needed");
    size_t i = 0;
    for (const auto& s : steps->value.GetArray()) {
        const std::string where = "steps[" + std::to_string(i++) + "]";
        if (!s.IsObject()) Fail(where, "must be an object");
        CheckMembers(s, {"at", "action", "event"}, where, kEventMembers);
        ScenarioStep step;
        if (!s.HasMember("at")) Fail(where, "needs \"at\" (milliseconds)");
        step.atMs = static_cast<uint32_t>(UintIn(s["at"], UINT32_MAX, where + ".at"));
        if (!s.HasMember("action")) Fail(where, "needs an \"action\"");
        step.action = ActionOf(s["action"], where + ".action");
        bool hasClass = s.HasMember("class"), hasId = s.HasMember("id");
        if (auto e = s.FindMember("event"); e != s.MemberEnd()) {
            auto found = named.find(TextOf(e->value, where + ".event"));
            if (found == named.end()) Fail(where + ".event", "no event of that name under \"events\"");
            step.event = found->second.event;
            hasClass = hasClass || found->second.hasClass;
            hasId = hasId || found->second.hasId;
        }
        ApplyEvent(s, step.event, where);
        if (step.action != ScenarioAction::ClearList && !(hasClass && hasId))
            Fail(where, "needs a \"class\" and an \"id\" (of its own or of its \"event\")");
        sc.steps.push_back(std::move(step));
    }
    std::stable_sort(sc.steps.begin(), sc.steps.end(),
                     [](const ScenarioStep& a, const ScenarioStep& b) { return a.atMs < b.atMs; });
    if (sc.repeat && sc.PassMs() == 0) Fail("periodMs", "a repeated scenario needs a pass longer than 0 ms");
}

}  // namespace

const char* ScenarioActionName(ScenarioAction action) {
    switch (action) {
        case ScenarioAction::Raise:
            return "raise";
        case ScenarioAction::Clear:
            return "clear";
        case ScenarioAction::Confirm:
            return "confirm";
        case ScenarioAction::Dispose:
            return "dispose";
        case ScenarioAction::ClearList:
            return "clearList";
        case ScenarioAction::Message:
            return "message";
    }
    return "?";
}

uint32_t Scenario::PassMs() const {
    uint32_t last = steps.empty() ? 0 : steps.back().atMs;
    return std::max(periodMs, last);
}

bool ParseScenario(const std::string& json, Scenario& scenario, std::string& error) {
    rapidjson::Document doc;
    doc.Parse(json.c_str(), json.size());
    if (doc.HasParseError()) {
        error = "JSON error at offset " + std::to_string(doc.GetErrorOffset()) + ": " +
                rapidjson::GetParseError_En(doc.GetParseError());
        return false;
    }
    Scenario sc;
    try {
        ParseDocument(doc, sc);
    } catch (const ScenarioError& e) {
        error = e.text;
        return false;
    }
    scenario = std::move(sc);
    return true;
}

bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& error) {
    std::string text;
    if (!ReadTextFile(path, text, error)) return false;
    if (ParseScenario(text, scenario, error)) return true;
    error = path + ": " + error;
    return false;
}

bool ScenarioPathFromConfig(const std::string& configText, const std::string& configPath, std::string& scenarioPath,
                            std::string& error) {
    scenarioPath.clear();
    rapidjson::Document doc;
    doc.Parse(configText.c_str(), configText.size());
    if (doc.HasParseError() || !doc.IsObject()) return true;  // the configuration reader reports that
    auto it = doc.FindMember("scenario");
    if (it == doc.MemberEnd()) return true;
    if (!it->value.IsString()) {
        error = "\"scenario\" must be a path text";
        return false;
    }
    scenarioPath = it->value.GetString();
    auto slash = configPath.rfind('/');
    if (!scenarioPath.empty() && scenarioPath[0] != '/' && slash != std::string::npos)
        scenarioPath = configPath.substr(0, slash + 1) + scenarioPath;
    return true;
}

}  // namespace ZtSim
