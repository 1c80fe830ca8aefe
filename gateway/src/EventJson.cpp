#include "EventJson.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TimeText.h"
#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComPtr.h"

namespace ZtGateway {

using namespace ZtEventLoggerVdlProxy;
using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

namespace {

// Owns a BSTR an interface returned.
struct Text {
    BSTR b = nullptr;
    ~Text() { ZtAtlCom::SysFreeString(b); }
    std::string Str() const { return b ? std::string(b, ZtAtlCom::SysStringByteLen(b)) : std::string(); }
};

const char* SeverityName(int32_t s) {
    static const char* names[] = {"verbose", "info", "warning", "error", "critical"};
    return s >= 0 && s <= 4 ? names[s] : "unknown";
}

const char* ConfirmationName(int32_t s) {
    switch (s) {
        case 0: return "none";
        case 2: return "waiting";
        case 3: return "confirmed";
        case 4: return "reset";
        default: return "other";
    }
}

void Time(Writer& w, const char* name, long fileTime) {
    if (fileTime == 0) return;
    w.Key(name);
    std::string iso = IsoTime(static_cast<uint64_t>(fileTime));
    w.String(iso.c_str(), static_cast<rapidjson::SizeType>(iso.size()));
    std::string key = std::string(name) + "FileTime";
    w.Key(key.c_str());
    w.Uint64(static_cast<uint64_t>(fileTime));
}

void Str(Writer& w, const std::string& s) { w.String(s.c_str(), static_cast<rapidjson::SizeType>(s.size())); }

void JsonAttribute(Writer& w, const std::string& json) {
    if (json.empty()) return;
    w.Key("json");
    rapidjson::Document d;
    d.Parse(json.c_str(), json.size());
    if (d.HasParseError()) {
        Str(w, json);
    } else {
        w.RawValue(json.c_str(), json.size(), d.GetType());
    }
}

// Properties every event interface has, by the same names.
template <class E>
void Common(Writer& w, E* e, bool alarm) {
    GUID cls{};
    unsigned int id = 0;
    tagSeverityLevelEnum sev = SeverityInfo;
    e->get_EventClass(&cls);
    e->get_EventId(&id);
    e->get_SeverityLevel(&sev);
    w.Key("type");
    w.String(alarm ? "alarm" : "message");
    w.Key("class");
    Str(w, GuidText(cls));
    w.Key("id");
    w.Uint(id);
    w.Key("qualifier");
    w.Uint(0);
    w.Key("severity");
    w.String(SeverityName(sev));
    w.Key("severityLevel");
    w.Int(sev);
    long raised = 0;
    e->get_FileTimeRaised(&raised);
    Time(w, "raised", raised);
}

template <class E>
void Source(Writer& w, E* e) {
    unsigned int sourceId = 0;
    GUID sourceGuid{};
    Text name;
    bool hasId = e->get_SourceId(&sourceId) == ZtAtlCom::S_OK;
    bool hasGuid = e->get_SourceGuid(&sourceGuid) == ZtAtlCom::S_OK;
    bool hasName = e->get_SourceName(&name.b) == ZtAtlCom::S_OK && name.b;
    w.Key("source");
    w.StartObject();
    if (hasId) {
        w.Key("id");
        w.Uint(sourceId);
    }
    if (hasGuid) {
        w.Key("guid");
        Str(w, GuidText(sourceGuid));
    }
    if (hasName) {
        w.Key("name");
        Str(w, name.Str());
    }
    w.EndObject();
}

template <class E>
void Arguments(Writer& w, E* e) {
    ZtEventArgumentsInfo info{};
    if (e->GetArgumentInfo(&info) != ZtAtlCom::S_OK || info.argumentCount == 0) return;
    size_t size = size_t{info.typesSize} + info.dataSize;
    if (size > (1u << 20)) return;
    std::vector<uint8_t> buffer(size ? size : 1);
    // The copy is written at the address passed itself (not through it).
    if (e->GetArgumentData(reinterpret_cast<void**>(buffer.data()), static_cast<unsigned>(size)) != ZtAtlCom::S_OK) {
        return;
    }
    std::string args = ArgumentsJson(buffer.data(), size, info.argumentCount, info.typesSize);
    w.Key("arguments");
    w.RawValue(args.c_str(), args.size(), rapidjson::kArrayType);
}

template <class E>
void Texts(Writer& w, E* e, const std::vector<int32_t>& languages) {
    if (languages.empty()) return;
    w.Key("texts");
    w.StartObject();
    for (int32_t lang : languages) {
        Text t;
        if (e->GetText(lang, &t.b) != ZtAtlCom::S_OK) continue;
        std::string key = std::to_string(lang);
        w.Key(key.c_str());
        Str(w, t.Str());
    }
    w.EndObject();
}

std::string Done(const rapidjson::StringBuffer& b) { return std::string(b.GetString(), b.GetSize()); }

template <class T>
bool ReadLe(const uint8_t* p, size_t size, size_t at, T& v) {
    if (at > size || size - at < sizeof(T)) return false;
    std::memcpy(&v, p + at, sizeof(T));
    return true;
}

}  // namespace

std::string GuidText(const ZtAtlCom::GUID& guid) {
    char buf[40] = {};
    if (ZtAtlCom::StringFromGUID2(guid, buf, sizeof(buf)) == 0) return {};
    return buf;
}

AlarmKey KeyOf(IZtEvent* e) {
    AlarmKey key;
    GUID cls{};
    e->get_EventClass(&cls);
    e->get_EventId(&key.eventId);
    key.eventClass = GuidText(cls);
    return key;
}

std::string ArgumentsJson(const uint8_t* bytes, size_t size, uint32_t count, uint32_t typesSize) {
    rapidjson::StringBuffer b;
    Writer w(b);
    w.StartArray();
    size_t at = typesSize;
    bool bad = typesSize > size || typesSize / 2 < count;
    for (uint32_t i = 0; i < count && !bad; ++i) {
        uint16_t type = 0;
        ReadLe(bytes, size, size_t{i} * 2, type);
        w.StartObject();
        w.Key("type");
        auto num = [&](auto v, const char* name) {
            w.String(name);
            if (!ReadLe(bytes, size, at, v)) return false;
            at += sizeof(v);
            w.Key("value");
            using V = decltype(v);
            if constexpr (std::is_same_v<V, float> || std::is_same_v<V, double>) {
                if (!std::isfinite(v)) {
                    w.Null();  // JSON has no NaN or infinity
                } else if constexpr (std::is_same_v<V, float>) {
                    // The shortest text that gives the float back: 41.2, not 41.20000076293945.
                    char text[40];
                    int n = 0;
                    for (int digits = 6; digits <= 9; ++digits) {
                        n = std::snprintf(text, sizeof(text), "%.*g", digits, static_cast<double>(v));
                        if (std::strtof(text, nullptr) == v) break;
                    }
                    w.RawValue(text, static_cast<size_t>(n), rapidjson::kNumberType);
                } else {
                    w.Double(v);
                }
            } else if constexpr (std::is_signed_v<V>) {
                w.Int64(static_cast<int64_t>(v));
            } else {
                w.Uint64(static_cast<uint64_t>(v));
            }
            return true;
        };
        bool ok = true;
        switch (type) {
            case ArgNone: w.String("none"); break;
            case ArgBoolean: {
                uint8_t v = 0;
                w.String("bool");
                ok = ReadLe(bytes, size, at, v);
                if (ok) {
                    ++at;
                    w.Key("value");
                    w.Bool(v != 0);
                }
                break;
            }
            case ArgInt8: ok = num(int8_t{}, "int8"); break;
            case ArgInt16: ok = num(int16_t{}, "int16"); break;
            case ArgInt32: ok = num(int32_t{}, "int32"); break;
            case ArgInt64: ok = num(int64_t{}, "int64"); break;
            case ArgUInt8: ok = num(uint8_t{}, "uint8"); break;
            case ArgUInt16: ok = num(uint16_t{}, "uint16"); break;
            case ArgUInt32: ok = num(uint32_t{}, "uint32"); break;
            case ArgUInt64: ok = num(uint64_t{}, "uint64"); break;
            case ArgFloat: ok = num(float{}, "float"); break;
            case ArgDouble: ok = num(double{}, "double"); break;
            case ArgChar: ok = num(uint8_t{}, "char"); break;
            case ArgWChar: ok = num(uint16_t{}, "wchar"); break;
            case ArgString:
            case ArgBstr: {
                w.String(type == ArgString ? "string" : "bstr");
                w.Key("value");
                // The text and its NUL; an empty text has no bytes at all.
                const void* end = at < size ? std::memchr(bytes + at, 0, size - at) : nullptr;
                if (at >= size) {
                    w.String("");
                } else if (!end) {
                    ok = false;
                    w.Null();
                } else {
                    size_t n = static_cast<const uint8_t*>(end) - (bytes + at);
                    w.String(reinterpret_cast<const char*>(bytes + at), static_cast<rapidjson::SizeType>(n));
                    at += n + 1;
                }
                break;
            }
            default: ok = false; w.String("invalid"); break;
        }
        w.EndObject();
        bad = !ok;
    }
    if (bad) {
        w.StartObject();
        w.Key("type");
        w.String("invalid");
        w.EndObject();
    }
    w.EndArray();
    return Done(b);
}

std::string MessageJson(IZtMessage* m, const std::vector<int32_t>& languages) {
    rapidjson::StringBuffer b;
    Writer w(b);
    w.StartObject();
    Common(w, m, false);
    Source(w, m);
    Arguments(w, m);
    ZtAtlCom::CComPtr<IZtMessage2> m2;
    if (m->QueryInterface(IID_IZtMessage2, reinterpret_cast<void**>(m2.ReleaseAndGetAddressOf())) == ZtAtlCom::S_OK &&
        m2) {
        Text json;
        m2->get_JsonAttribute(&json.b);
        JsonAttribute(w, json.Str());
    }
    Texts(w, m, languages);
    w.EndObject();
    return Done(b);
}

std::string AlarmJson(IZtAlarm* a, const std::vector<int32_t>& languages) {
    rapidjson::StringBuffer b;
    Writer w(b);
    w.StartObject();
    Common(w, a, true);
    long cleared = 0, confirmed = 0;
    a->get_FileTimeCleared(&cleared);
    a->get_FileTimeConfirmed(&confirmed);
    Time(w, "cleared", cleared);
    Time(w, "confirmed", confirmed);
    VARIANT_BOOL raised = 0;
    tagConfirmationStateEnum state = ConfirmationNotRequired;
    a->get_IsRaised(&raised);
    a->get_ConfirmationState(&state);
    w.Key("isRaised");
    w.Bool(raised != 0);
    w.Key("confirmationState");
    w.String(ConfirmationName(state));
    Source(w, a);
    Arguments(w, a);
    ZtAtlCom::CComPtr<IZtAlarm2> a2;
    if (a->QueryInterface(IID_IZtAlarm2, reinterpret_cast<void**>(a2.ReleaseAndGetAddressOf())) == ZtAtlCom::S_OK &&
        a2) {
        Text json;
        a2->get_JsonAttribute(&json.b);
        JsonAttribute(w, json.Str());
    }
    Texts(w, a, languages);
    w.EndObject();
    return Done(b);
}

std::string LoggedEventJson(IZtLoggedEvent* e, const std::vector<int32_t>& languages) {
    rapidjson::StringBuffer b;
    Writer w(b);
    w.StartObject();
    tagEventTypeEnum type = EventTypeMessage;
    e->get_EventType(&type);
    Common(w, e, type != EventTypeMessage);
    long cleared = 0, confirmed = 0;
    e->get_FileTimeCleared(&cleared);
    e->get_FileTimeConfirmed(&confirmed);
    Time(w, "cleared", cleared);
    Time(w, "confirmed", confirmed);
    Source(w, e);
    ZtAtlCom::CComPtr<IZtLoggedEvent3> e3;
    if (e->QueryInterface(IID_IZtLoggedEvent3, reinterpret_cast<void**>(e3.ReleaseAndGetAddressOf())) ==
            ZtAtlCom::S_OK &&
        e3) {
        VARIANT_BOOL active = 0;
        e3->get_IsActive(&active);
        w.Key("active");
        w.Bool(active != 0);
        Arguments(w, e3.Get());
        Text json;
        e3->get_JsonAttribute(&json.b);
        JsonAttribute(w, json.Str());
    }
    Texts(w, e, languages);
    w.EndObject();
    return Done(b);
}

}  // namespace ZtGateway
