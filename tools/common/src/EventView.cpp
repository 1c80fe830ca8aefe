// EventView.cpp - reading events through their public interfaces into plain data.
#include "ZtTool/EventView.h"

#include <fmt/format.h>

#include <cstring>

#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/Guid.h"
#include "ZtEventLoggerVdlProxy/ZtResultCodes.h"
#include "ZtTool/ComText.h"

namespace ZtTool {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::CComPtr;
using ZtAtlCom::Failed;
using ZtAtlCom::VARIANT_BOOL;
using ZtAtlCom::VARIANT_TRUE;

namespace {

// Keeps the first failure of a sequence of property reads.
struct FirstFailure {
    HRESULT hr = ZtAtlCom::S_OK;
    bool operator()(HRESULT r) {
        if (Failed(r) && !Failed(hr)) hr = r;
        return !Failed(r);
    }
};

// Argument blocks larger than this are not believed (a record is far smaller).
constexpr unsigned kMaxArgumentBytes = 1u << 20;

// The source items and the arguments of an IZtEvent or IZtLoggedEvent3.
template <class E>
void ReadSource(E* e, EventView& view, FirstFailure& ok) {
    VARIANT_BOOL has = 0;
    if (ok(e->IsSourceInfoTypeSupported(SourceInfoId, &has)) && has == VARIANT_TRUE) {
        unsigned int id = 0;
        if (ok(e->get_SourceId(&id))) view.sourceId = id;
    }
    has = 0;
    if (ok(e->IsSourceInfoTypeSupported(SourceInfoGuid, &has)) && has == VARIANT_TRUE) {
        GUID g{};
        if (ok(e->get_SourceGuid(&g))) view.sourceGuid = g;
    }
    has = 0;
    if (ok(e->IsSourceInfoTypeSupported(SourceInfoName, &has)) && has == VARIANT_TRUE) {
        BstrOut name;
        if (ok(e->get_SourceName(name.Out()))) view.sourceName = name.Str();
    }
}

template <class E>
void ReadArguments(E* e, EventView& view, FirstFailure& ok) {
    ZtEventArgumentsInfo info{};
    view.argumentsRead = false;
    view.arguments.clear();
    if (!ok(e->GetArgumentInfo(&info))) return;
    const uint64_t total = uint64_t{info.typesSize} + info.dataSize;
    if (total > kMaxArgumentBytes) return;
    if (total == 0) {
        view.argumentsRead = info.argumentCount == 0;
        return;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(total));
    // The copy is written at the address passed, not through it.
    if (!ok(e->GetArgumentData(reinterpret_cast<void**>(bytes.data()), static_cast<unsigned>(total)))) return;
    view.argumentsRead = DecodeArguments(info, bytes.data(), bytes.size(), view.arguments);
}

template <class E>
void ReadEventCommon(E* e, EventView& view, FirstFailure& ok) {
    ok(e->get_EventClass(&view.eventClass));
    ok(e->get_EventId(&view.eventId));
    // The qualifier is on a separate interface; an event without it is unspecified (0).
    CComPtr<IZtEventIdentity> identity;
    if (!Failed(e->QueryInterface(ZtAtlCom::iid_of<IZtEventIdentity>(), reinterpret_cast<void**>(&identity.p))) &&
        identity)
        identity->get_KeyQualifier(&view.keyQualifier);
    tagSeverityLevelEnum severity = SeverityVerbose;
    if (ok(e->get_SeverityLevel(&severity))) view.severity = severity;
    tagEventTypeEnum type = EventTypeMessage;
    if (ok(e->get_EventType(&type))) view.eventType = type;
    long raised = 0;
    if (ok(e->get_FileTimeRaised(&raised))) view.raised = static_cast<uint64_t>(raised);
    ReadSource(e, view, ok);
}

void Put(std::vector<uint8_t>& out, const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}

}  // namespace

const std::string& EventView::Text(long langId) const {
    static const std::string empty;
    for (const auto& [lang, text] : texts)
        if (lang == langId) return text;
    return texts.empty() ? empty : texts.front().second;
}

HRESULT ReadMessage(IZtMessage* message, EventView& view) {
    if (!message) return ZtAtlCom::E_POINTER;
    FirstFailure ok;
    view.kind = EventKind::Message;
    ReadEventCommon(message, view, ok);
    ReadArguments(message, view, ok);
    CComPtr<IZtMessage2> m2;
    if (!Failed(message->QueryInterface(ZtAtlCom::iid_of<IZtMessage2>(), reinterpret_cast<void**>(&m2.p))) && m2) {
        BstrOut json;
        if (ok(m2->get_JsonAttribute(json.Out()))) view.json = json.Str();
    }
    return ok.hr;
}

HRESULT ReadAlarm(IZtAlarm* alarm, EventView& view) {
    if (!alarm) return ZtAtlCom::E_POINTER;
    FirstFailure ok;
    view.kind = EventKind::Alarm;
    ReadEventCommon(alarm, view, ok);
    ReadArguments(alarm, view, ok);
    VARIANT_BOOL raised = 0;
    if (ok(alarm->get_IsRaised(&raised))) view.isRaised = raised != 0;
    long t = 0;
    if (ok(alarm->get_FileTimeCleared(&t))) view.cleared = static_cast<uint64_t>(t);
    t = 0;
    if (ok(alarm->get_FileTimeConfirmed(&t))) view.confirmed = static_cast<uint64_t>(t);
    tagConfirmationStateEnum state = ConfirmationNotRequired;
    if (ok(alarm->get_ConfirmationState(&state))) view.confirmationState = state;
    CComPtr<IZtAlarm2> a2;
    if (!Failed(alarm->QueryInterface(ZtAtlCom::iid_of<IZtAlarm2>(), reinterpret_cast<void**>(&a2.p))) && a2) {
        BstrOut json;
        if (ok(a2->get_JsonAttribute(json.Out()))) view.json = json.Str();
    }
    return ok.hr;
}

HRESULT ReadLoggedEvent(IZtLoggedEvent* event, EventView& view) {
    if (!event) return ZtAtlCom::E_POINTER;
    FirstFailure ok;
    view.kind = EventKind::Logged;
    ReadEventCommon(event, view, ok);
    long t = 0;
    if (ok(event->get_FileTimeCleared(&t))) view.cleared = static_cast<uint64_t>(t);
    t = 0;
    if (ok(event->get_FileTimeConfirmed(&t))) view.confirmed = static_cast<uint64_t>(t);
    VARIANT_BOOL with = 0;
    if (ok(event->get_WithConfirmation(&with))) view.withConfirmation = with == VARIANT_TRUE;
    CComPtr<IZtLoggedEvent3> e3;
    if (!Failed(event->QueryInterface(ZtAtlCom::iid_of<IZtLoggedEvent3>(), reinterpret_cast<void**>(&e3.p))) && e3) {
        BstrOut json;
        if (ok(e3->get_JsonAttribute(json.Out()))) view.json = json.Str();
        VARIANT_BOOL active = 0;
        if (ok(e3->get_IsActive(&active))) view.isActive = active == VARIANT_TRUE;
        ReadArguments(e3.p, view, ok);
    }
    return ok.hr;
}

HRESULT ReadEventObject(ZtAtlCom::IDispatch* object, EventView& view) {
    if (!object) return ZtAtlCom::E_POINTER;
    CComPtr<IZtAlarm> alarm;
    if (!Failed(object->QueryInterface(ZtAtlCom::iid_of<IZtAlarm>(), reinterpret_cast<void**>(&alarm.p))) && alarm)
        return ReadAlarm(alarm, view);
    CComPtr<IZtMessage> message;
    if (!Failed(object->QueryInterface(ZtAtlCom::iid_of<IZtMessage>(), reinterpret_cast<void**>(&message.p))) &&
        message)
        return ReadMessage(message, view);
    CComPtr<IZtLoggedEvent> logged;
    if (!Failed(object->QueryInterface(ZtAtlCom::iid_of<IZtLoggedEvent>(), reinterpret_cast<void**>(&logged.p))) &&
        logged)
        return ReadLoggedEvent(logged, view);
    return ZtAtlCom::E_NOINTERFACE;
}

HRESULT ReadTexts(ZtAtlCom::IDispatch* object, const std::vector<long>& langIds, EventView& view) {
    if (!object) return ZtAtlCom::E_POINTER;
    FirstFailure ok;
    view.texts.clear();
    auto each = [&](auto* e) {
        for (long lang : langIds) {
            BstrOut text;
            if (ok(e->GetText(lang, text.Out()))) view.texts.emplace_back(lang, text.Str());
        }
        if (!langIds.empty()) {
            BstrOut name;
            if (ok(e->GetEventClassName(langIds.front(), name.Out()))) view.className = name.Str();
        }
    };
    CComPtr<IZtEvent> event;
    if (!Failed(object->QueryInterface(ZtAtlCom::iid_of<IZtAlarm>(), reinterpret_cast<void**>(&event.p))) && event) {
        each(event.p);
        return ok.hr;
    }
    if (!Failed(object->QueryInterface(ZtAtlCom::iid_of<IZtMessage>(), reinterpret_cast<void**>(&event.p))) && event) {
        each(event.p);
        return ok.hr;
    }
    CComPtr<IZtLoggedEvent> logged;
    if (!Failed(object->QueryInterface(ZtAtlCom::iid_of<IZtLoggedEvent>(), reinterpret_cast<void**>(&logged.p))) &&
        logged) {
        each(logged.p);
        return ok.hr;
    }
    return ZtAtlCom::E_NOINTERFACE;
}

bool DecodeArguments(const ZtEventArgumentsInfo& info, const uint8_t* bytes, size_t size,
                     std::vector<EventArgument>& arguments) {
    arguments.clear();
    const uint64_t typesEnd = uint64_t{info.typesOffset} + info.typesSize;
    const uint64_t dataEnd = uint64_t{info.dataOffset} + info.dataSize;
    if (!bytes && size) return false;
    if (typesEnd > size || dataEnd > size || uint64_t{info.argumentCount} * 2 > info.typesSize) return false;
    const uint8_t* types = bytes + info.typesOffset;
    const uint8_t* data = bytes + info.dataOffset;
    size_t at = 0;
    const size_t avail = info.dataSize;
    for (uint32_t i = 0; i < info.argumentCount; ++i) {
        const uint16_t code = static_cast<uint16_t>(types[2 * i] | (types[2 * i + 1] << 8));
        EventArgument a;
        a.type = static_cast<tagZtEventArgumentTypeEnum>(code);
        auto take = [&](size_t n, void* out) {
            if (avail - at < n) return false;
            std::memcpy(out, data + at, n);
            at += n;
            return true;
        };
        switch (code) {
        case ArgNone: break;
        case ArgBoolean: { uint8_t v; if (!take(1, &v)) return false; a.value = v != 0; break; }
        case ArgInt8: { int8_t v; if (!take(1, &v)) return false; a.value = int64_t{v}; break; }
        case ArgInt16: { int16_t v; if (!take(2, &v)) return false; a.value = int64_t{v}; break; }
        case ArgInt32: { int32_t v; if (!take(4, &v)) return false; a.value = int64_t{v}; break; }
        case ArgInt64: { int64_t v; if (!take(8, &v)) return false; a.value = v; break; }
        case ArgUInt8: case ArgChar: { uint8_t v; if (!take(1, &v)) return false; a.value = uint64_t{v}; break; }
        case ArgUInt16: case ArgWChar: { uint16_t v; if (!take(2, &v)) return false; a.value = uint64_t{v}; break; }
        case ArgUInt32: { uint32_t v; if (!take(4, &v)) return false; a.value = uint64_t{v}; break; }
        case ArgUInt64: { uint64_t v; if (!take(8, &v)) return false; a.value = v; break; }
        case ArgFloat: { float v; if (!take(4, &v)) return false; a.value = double{v}; break; }
        case ArgDouble: { double v; if (!take(8, &v)) return false; a.value = v; break; }
        case ArgString:
        case ArgBstr: {
            // An empty text takes no bytes; only the last argument can be one.
            if (at == avail) {
                a.value = std::string();
                break;
            }
            const void* nul = std::memchr(data + at, 0, avail - at);
            if (!nul) return false;
            const size_t n = static_cast<const uint8_t*>(nul) - (data + at);
            a.value = std::string(reinterpret_cast<const char*>(data + at), n);
            at += n + 1;
            break;
        }
        default:
            return false;  // the size of an unknown type is unknown: the rest cannot be read
        }
        arguments.push_back(std::move(a));
    }
    return true;
}

std::vector<uint8_t> EncodeArguments(const std::vector<EventArgument>& arguments, ZtEventArgumentsInfo& info) {
    std::vector<uint8_t> types, data;
    for (const EventArgument& a : arguments) {
        const uint16_t code = static_cast<uint16_t>(a.type);
        Put(types, &code, 2);
        auto i64 = [&] { return std::holds_alternative<int64_t>(a.value) ? std::get<int64_t>(a.value)
                                : std::holds_alternative<uint64_t>(a.value) ? static_cast<int64_t>(std::get<uint64_t>(a.value))
                                : std::holds_alternative<bool>(a.value) ? int64_t{std::get<bool>(a.value)}
                                : std::holds_alternative<double>(a.value) ? static_cast<int64_t>(std::get<double>(a.value))
                                : int64_t{0}; };
        auto f64 = [&] { return std::holds_alternative<double>(a.value) ? std::get<double>(a.value)
                                : static_cast<double>(i64()); };
        switch (a.type) {
        case ArgBoolean: { uint8_t v = i64() != 0; Put(data, &v, 1); break; }
        case ArgInt8: case ArgUInt8: case ArgChar: { uint8_t v = static_cast<uint8_t>(i64()); Put(data, &v, 1); break; }
        case ArgInt16: case ArgUInt16: case ArgWChar: { uint16_t v = static_cast<uint16_t>(i64()); Put(data, &v, 2); break; }
        case ArgInt32: case ArgUInt32: { uint32_t v = static_cast<uint32_t>(i64()); Put(data, &v, 4); break; }
        case ArgInt64: case ArgUInt64: { uint64_t v = static_cast<uint64_t>(i64()); Put(data, &v, 8); break; }
        case ArgFloat: { float v = static_cast<float>(f64()); Put(data, &v, 4); break; }
        case ArgDouble: { double v = f64(); Put(data, &v, 8); break; }
        case ArgString:
        case ArgBstr: {
            const std::string* s = std::get_if<std::string>(&a.value);
            if (s && !s->empty()) Put(data, s->c_str(), s->size() + 1);
            break;
        }
        default: break;
        }
    }
    info.argumentCount = static_cast<uint32_t>(arguments.size());
    info.typesOffset = 0;
    info.typesSize = static_cast<uint32_t>(types.size());
    info.dataOffset = info.typesSize;
    info.dataSize = static_cast<uint32_t>(data.size());
    types.insert(types.end(), data.begin(), data.end());
    return types;
}

namespace {

struct TypeName {
    tagZtEventArgumentTypeEnum type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {ArgNone, "none"},     {ArgBoolean, "bool"},   {ArgInt8, "int8"},     {ArgInt16, "int16"},
    {ArgInt32, "int32"},   {ArgInt64, "int64"},    {ArgUInt8, "uint8"},   {ArgUInt16, "uint16"},
    {ArgUInt32, "uint32"}, {ArgUInt64, "uint64"},  {ArgFloat, "float"},   {ArgDouble, "double"},
    {ArgChar, "char"},     {ArgWChar, "wchar"},    {ArgString, "string"}, {ArgBstr, "bstr"},
};

}  // namespace

const char* ArgumentTypeName(tagZtEventArgumentTypeEnum type) {
    for (const auto& t : kTypeNames)
        if (t.type == type) return t.name;
    return "unknown";
}

std::optional<tagZtEventArgumentTypeEnum> ArgumentTypeFromName(std::string_view name) {
    for (const auto& t : kTypeNames)
        if (name == t.name) return t.type;
    return std::nullopt;
}

std::string ArgumentValueText(const EventArgument& a) {
    if (a.type == ArgChar || a.type == ArgWChar) {
        // The character itself, as UTF-8.
        uint32_t c = static_cast<uint32_t>(std::get_if<uint64_t>(&a.value) ? std::get<uint64_t>(a.value) : 0);
        std::string s;
        if (c < 0x80) s += static_cast<char>(c);
        else if (c < 0x800) { s += static_cast<char>(0xC0 | (c >> 6)); s += static_cast<char>(0x80 | (c & 0x3F)); }
        else { s += static_cast<char>(0xE0 | (c >> 12)); s += static_cast<char>(0x80 | ((c >> 6) & 0x3F)); s += static_cast<char>(0x80 | (c & 0x3F)); }
        return s;
    }
    return std::visit(
        [&](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) return "";
            else if constexpr (std::is_same_v<T, bool>) return v ? "true" : "false";
            else if constexpr (std::is_same_v<T, double>) return a.type == ArgFloat ? fmt::format("{}", static_cast<float>(v)) : fmt::format("{}", v);
            else if constexpr (std::is_same_v<T, std::string>) return v;
            else return fmt::format("{}", v);
        },
        a.value);
}

std::string SeverityName(int32_t severity) {
    static constexpr const char* names[] = {"verbose", "info", "warning", "error", "critical"};
    return severity >= 0 && severity <= 4 ? names[severity] : fmt::format("{}", severity);
}

std::string ConfirmationName(int32_t state) {
    switch (state) {
    case ConfirmationNotRequired: return "none";
    case ConfirmationWaitForConfirmation: return "waiting";
    case ConfirmationStateThree: return "confirmed";
    case ConfirmationReset: return "reset";
    default: return fmt::format("{}", state);
    }
}

std::string GuidText(const GUID& g) {
    return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}", g.Data1, g.Data2,
                       g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                       g.Data4[7]);
}

std::optional<GUID> ParseGuid(std::string_view text) {
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}') return std::nullopt;
        text = text.substr(1, 36);
    }
    if (text.size() != 36) return std::nullopt;
    GUID g{};
    uint8_t nibbles[32];
    size_t n = 0;
    for (size_t i = 0; i < 36; ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return std::nullopt;
            continue;
        }
        int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (v < 0) return std::nullopt;
        nibbles[n++] = static_cast<uint8_t>(v);
    }
    auto hex = [&](size_t from, size_t count) {
        uint32_t v = 0;
        for (size_t i = 0; i < count; ++i) v = (v << 4) | nibbles[from + i];
        return v;
    };
    g.Data1 = hex(0, 8);
    g.Data2 = static_cast<uint16_t>(hex(8, 4));
    g.Data3 = static_cast<uint16_t>(hex(12, 4));
    for (size_t i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(hex(16 + 2 * i, 2));
    return g;
}

std::optional<long> ParseLanguage(std::string_view text) {
    static constexpr std::pair<const char*, long> names[] = {{"en", 1033}, {"de", 1031}, {"fr", 1036}, {"it", 1040},
                                                              {"es", 3082}, {"nl", 1043}, {"ja", 1041}, {"zh", 2052}};
    for (const auto& [name, id] : names)
        if (text == name) return id;
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    long v = 0;
    for (char c : text) v = v * 10 + (c - '0');
    return v;
}

std::optional<std::vector<long>> ParseLanguageList(std::string_view text) {
    std::vector<long> out;
    while (true) {
        const size_t comma = text.find(',');
        auto lang = ParseLanguage(text.substr(0, comma));
        if (!lang) return std::nullopt;
        out.push_back(*lang);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return out;
}

std::string AlarmIdentity(const EventView& v) {
    return fmt::format("{}/{}/{}/{}/{}", GuidText(v.eventClass), v.eventId, v.keyQualifier, v.sourceId ? fmt::format("{}", *v.sourceId) : "",
                       v.sourceName.value_or(""));
}

bool SameAlarmState(const EventView& a, const EventView& b) {
    return a.isRaised == b.isRaised && a.confirmationState == b.confirmationState && a.raised == b.raised &&
           a.cleared == b.cleared && a.confirmed == b.confirmed;
}

}  // namespace ZtTool
