#include "ZtSim/ResourceCatalog.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string_view>

#include "ZtSim/MessageFormat.h"
#include "ZtSim/SimConfig.h"
#include "ZtSim/SimTypes.h"

namespace ZtSim {

using LocalText = std::map<uint32_t, std::string>;  // by language id

struct ResourceEntry {
    std::array<LocalText, 3> texts;
};

struct ResourceEvent {
    LocalText text;
    std::vector<ResourceEntry> causeRemedy, details;
    bool hasText = false, hasCauseRemedy = false, hasDetails = false;
};

struct ResourceClass {
    LocalText name;
    std::vector<ResourceEntry> details;
    bool hasName = false, hasDetails = false;
    std::map<uint32_t, ResourceEvent> events;
};

struct ResourceSet {
    std::map<std::string, ResourceClass> classes;  // by GUID text (upper case)
};

namespace {

using rapidjson::Value;

struct ResourceError {
    std::string text;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw ResourceError{where + ": " + what}; }

void CheckMembers(const Value& o, std::initializer_list<std::string_view> allowed, const std::string& where) {
    if (!o.IsObject()) Fail(where, "must be an object");
    for (const auto& m : o.GetObject()) {
        std::string_view name(m.name.GetString(), m.name.GetStringLength());
        if (name != "comment" && std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            Fail(where, "unknown member \"" + std::string(name) + "\"");
    }
}

LocalText LocalTextOf(const Value& v, const std::string& where) {
    LocalText t;
    // Replies carry texts NUL-terminated: a NUL inside would shift every text after it.
    auto text = [&](const Value& s, const std::string& at) {
        std::string out(s.GetString(), s.GetStringLength());
        if (out.find('\0') != std::string::npos) Fail(at, "a text must not hold a NUL");
        return out;
    };
    if (v.IsString()) {
        t[0] = text(v, where);  // 0: every language
        return t;
    }
    if (!v.IsObject()) Fail(where, "must be a text or an object of texts by language id");
    for (const auto& m : v.GetObject()) {
        const std::string name(m.name.GetString(), m.name.GetStringLength());
        char* end = nullptr;
        const unsigned long id = std::strtoul(name.c_str(), &end, 10);
        if (name.empty() || *end != 0 || id == 0 || id > 0xFFFFFFFFul)
            Fail(where, "\"" + name + "\" is not a language id");
        if (!m.value.IsString()) Fail(where + "." + name, "must be a text");
        t[static_cast<uint32_t>(id)] = text(m.value, where + "." + name);
    }
    return t;
}

std::vector<ResourceEntry> EntriesOf(const Value& v, std::initializer_list<const char*> names, const std::string& where) {
    if (!v.IsArray()) Fail(where, "must be an array");
    std::vector<ResourceEntry> out;
    size_t i = 0;
    for (const auto& e : v.GetArray()) {
        const std::string at = where + "[" + std::to_string(i++) + "]";
        auto it = names.begin();
        CheckMembers(e, {it[0], it[1], it[2]}, at);
        ResourceEntry entry;
        for (size_t k = 0; k < 3; ++k)
            if (auto m = e.FindMember(it[k]); m != e.MemberEnd()) entry.texts[k] = LocalTextOf(m->value, at + "." + it[k]);
        out.push_back(std::move(entry));
    }
    return out;
}

void ParseClass(const Value& c, ResourceSet& set, const std::string& where) {
    CheckMembers(c, {"class", "name", "details", "events"}, where);
    auto cls = c.FindMember("class");
    if (cls == c.MemberEnd() || !cls->value.IsString()) Fail(where, "needs \"class\", a GUID text");
    auto guid = ParseGuid(cls->value.GetString());
    if (!guid) Fail(where + ".class", "must be a GUID text {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    ResourceClass& rc = set.classes[GuidText(*guid)];
    if (auto m = c.FindMember("name"); m != c.MemberEnd()) {
        rc.name = LocalTextOf(m->value, where + ".name");
        rc.hasName = true;
    }
    if (auto m = c.FindMember("details"); m != c.MemberEnd()) {
        rc.details = EntriesOf(m->value, {"name", "text", "comment"}, where + ".details");
        rc.hasDetails = true;
    }
    auto events = c.FindMember("events");
    if (events == c.MemberEnd()) return;
    if (!events->value.IsArray()) Fail(where + ".events", "must be an array");
    size_t i = 0;
    for (const auto& e : events->value.GetArray()) {
        const std::string at = where + ".events[" + std::to_string(i++) + "]";
        CheckMembers(e, {"id", "text", "causeRemedy", "details"}, at);
        auto id = e.FindMember("id");
        if (id == e.MemberEnd() || !id->value.IsUint()) Fail(at, "needs \"id\", a number of 0..4294967295");
        ResourceEvent& re = rc.events[id->value.GetUint()];
        if (auto m = e.FindMember("text"); m != e.MemberEnd()) {
            re.text = LocalTextOf(m->value, at + ".text");
            re.hasText = true;
        }
        if (auto m = e.FindMember("causeRemedy"); m != e.MemberEnd()) {
            re.causeRemedy = EntriesOf(m->value, {"id", "cause", "remedy"}, at + ".causeRemedy");
            re.hasCauseRemedy = true;
        }
        if (auto m = e.FindMember("details"); m != e.MemberEnd()) {
            re.details = EntriesOf(m->value, {"name", "text", "comment"}, at + ".details");
            re.hasDetails = true;
        }
    }
}

// The text in langId, else English, else the lowest id; the language used.
const std::string* Pick(const LocalText& t, uint32_t langId, uint32_t& used) {
    if (t.empty()) return nullptr;
    for (uint32_t want : {langId, kLangEnglish}) {
        if (auto it = t.find(want); it != t.end()) {
            used = want;
            return &it->second;
        }
    }
    if (auto it = t.find(0); it != t.end()) {  // the same in every language
        used = langId;
        return &it->second;
    }
    used = t.begin()->first;
    return &t.begin()->second;
}

ResourceCatalog::List MakeList(const std::vector<ResourceEntry>& entries, uint32_t langId) {
    ResourceCatalog::List list;
    list.langId = langId;
    bool first = true;
    for (const auto& e : entries) {
        ResourceCatalog::Entry out;
        for (size_t k = 0; k < 3; ++k) {
            uint32_t used = langId;
            if (const auto* s = Pick(e.texts[k], langId, used)) out[k] = *s;
            if (first && k == 0) list.langId = used;
        }
        first = false;
        list.entries.push_back(std::move(out));
    }
    return list;
}

std::string Normal(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

}  // namespace

std::string ResourceCatalog::Parse(const std::string& json, std::shared_ptr<const ResourceSet>& out) {
    rapidjson::Document doc;
    doc.Parse<rapidjson::kParseIterativeFlag>(json.c_str(), json.size());
    if (doc.HasParseError())
        return "JSON error at offset " + std::to_string(doc.GetErrorOffset()) + ": " +
               rapidjson::GetParseError_En(doc.GetParseError());
    auto set = std::make_shared<ResourceSet>();
    try {
        CheckMembers(doc, {"classes"}, "resources");
        if (auto c = doc.FindMember("classes"); c != doc.MemberEnd()) {
            if (!c->value.IsArray()) Fail("classes", "must be an array");
            size_t i = 0;
            for (const auto& cls : c->value.GetArray()) ParseClass(cls, *set, "classes[" + std::to_string(i++) + "]");
        }
    } catch (const ResourceError& e) {
        return e.text;
    }
    out = std::move(set);
    return {};
}

ResourceCatalog::ResourceCatalog() {
    if (auto e = Parse(DefaultResourceJson(), builtIn_); !e.empty())
        builtIn_ = std::make_shared<ResourceSet>();  // the built-in text is tested; never left without a set
}

ResourceCatalog::~ResourceCatalog() = default;

uint32_t ResourceCatalog::Load(const std::string& path, std::string& error) {
    std::string text;
    if (!ReadTextFile(path, text, error)) return MRX_ERR_NOT_FOUND;
    std::shared_ptr<const ResourceSet> set;
    if (error = Parse(text, set); !error.empty()) {
        error = path + ": " + error;
        return MRX_ERR_INVALID_DATA;
    }
    const std::string key = Normal(path);
    std::lock_guard<std::mutex> lk(mutex_);
    // Loading a file again moves it to the front of the lookup.
    files_.erase(std::remove_if(files_.begin(), files_.end(), [&](const File& f) { return f.path == key; }),
                 files_.end());
    files_.push_back(File{key, std::move(set)});
    return 0;
}

uint32_t ResourceCatalog::Unload(const std::string& path) {
    const std::string key = Normal(path);
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = std::find_if(files_.begin(), files_.end(), [&](const File& f) { return f.path == key; });
    if (it == files_.end()) return MRX_ERR_NOT_FOUND;
    files_.erase(it);
    return 0;
}

void ResourceCatalog::ClearCache() {
    std::lock_guard<std::mutex> lk(mutex_);
    for (auto& f : files_) f.parsed.reset();
}

std::vector<std::string> ResourceCatalog::Loaded() const {
    std::lock_guard<std::mutex> lk(mutex_);
    std::vector<std::string> out;
    for (const auto& f : files_) out.push_back(f.path);
    return out;
}

std::vector<std::shared_ptr<const ResourceSet>> ResourceCatalog::Sets() const {
    std::vector<std::shared_ptr<const ResourceSet>> sets;
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
        if (!it->parsed) {
            std::string text, error;
            std::shared_ptr<const ResourceSet> set;
            if (ReadTextFile(it->path, text, error) && Parse(text, set).empty())
                it->parsed = std::move(set);
            else
                continue;
        }
        sets.push_back(it->parsed);
    }
    sets.push_back(builtIn_);
    return sets;
}

ResourceCatalog::Text ResourceCatalog::MessageText(const EventKey& key, const std::vector<EventArgument>& arguments,
                                                   uint32_t langId) const {
    std::lock_guard<std::mutex> lk(mutex_);
    for (const auto& set : Sets()) {
        auto c = set->classes.find(GuidText(key.eventClass));
        if (c == set->classes.end()) continue;
        auto e = c->second.events.find(key.eventId);
        if (e == c->second.events.end() || !e->second.hasText) continue;
        Text t;
        if (const auto* s = Pick(e->second.text, langId, t.langId)) t.text = FormatMessage(*s, arguments);
        return t;
    }
    return Text{"event " + std::to_string(key.eventId) + " of class " + GuidText(key.eventClass), kLangEnglish};
}

ResourceCatalog::Text ResourceCatalog::ClassName(const EventGuid& eventClass, uint32_t langId) const {
    std::lock_guard<std::mutex> lk(mutex_);
    for (const auto& set : Sets()) {
        auto c = set->classes.find(GuidText(eventClass));
        if (c == set->classes.end() || !c->second.hasName) continue;
        Text t;
        if (const auto* s = Pick(c->second.name, langId, t.langId)) t.text = *s;
        return t;
    }
    return Text{GuidText(eventClass), kLangEnglish};
}

ResourceCatalog::List ResourceCatalog::EventList(const EventGuid& eventClass, uint32_t eventId, uint32_t langId,
                                                 bool causeRemedy) const {
    std::lock_guard<std::mutex> lk(mutex_);
    for (const auto& set : Sets()) {
        auto c = set->classes.find(GuidText(eventClass));
        if (c == set->classes.end()) continue;
        auto e = c->second.events.find(eventId);
        if (e == c->second.events.end()) continue;
        if (causeRemedy && e->second.hasCauseRemedy) return MakeList(e->second.causeRemedy, langId);
        if (!causeRemedy && e->second.hasDetails) return MakeList(e->second.details, langId);
    }
    return List{{}, langId};
}

ResourceCatalog::List ResourceCatalog::CauseRemedy(const EventGuid& eventClass, uint32_t eventId,
                                                   uint32_t langId) const {
    return EventList(eventClass, eventId, langId, true);
}

ResourceCatalog::List ResourceCatalog::EventDetails(const EventGuid& eventClass, uint32_t eventId,
                                                    uint32_t langId) const {
    return EventList(eventClass, eventId, langId, false);
}

ResourceCatalog::List ResourceCatalog::ClassDetails(const EventGuid& eventClass, uint32_t langId) const {
    std::lock_guard<std::mutex> lk(mutex_);
    for (const auto& set : Sets()) {
        auto c = set->classes.find(GuidText(eventClass));
        if (c != set->classes.end() && c->second.hasDetails) return MakeList(c->second.details, langId);
    }
    return List{{}, langId};
}

}  // namespace ZtSim
