// EventJson.cpp - events as one-line JSON objects (rapidjson writer).
#include "ZtTool/EventJson.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <fmt/format.h>

#include "ZtTool/TimeText.h"

namespace ZtTool {

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void String(Writer& w, std::string_view s) {
    const std::string valid = ValidUtf8(s);
    w.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
}

void Time(Writer& w, const char* key, uint64_t fileTime) {
    w.Key(key);
    if (fileTime == 0) {
        w.Null();
        return;
    }
    w.StartObject();
    w.Key("utc");
    String(w, FileTimeToIsoUtc(fileTime, 3));
    w.Key("fileTime");
    w.Uint64(fileTime);
    w.EndObject();
}

void Argument(Writer& w, const EventArgument& a) {
    w.StartObject();
    w.Key("type");
    w.String(ArgumentTypeName(a.type));
    w.Key("value");
    using ZtEventLoggerVdlProxy::ArgChar;
    using ZtEventLoggerVdlProxy::ArgWChar;
    if (a.type == ArgChar || a.type == ArgWChar) {
        String(w, ArgumentValueText(a));
    } else if (auto* b = std::get_if<bool>(&a.value)) {
        w.Bool(*b);
    } else if (auto* i = std::get_if<int64_t>(&a.value)) {
        w.Int64(*i);
    } else if (auto* u = std::get_if<uint64_t>(&a.value)) {
        w.Uint64(*u);
    } else if (auto* nd = std::get_if<double>(&a.value); nd && !(*nd - *nd == 0)) { w.Null();  // NaN, infinity: no JSON form
    } else if (auto* d = std::get_if<double>(&a.value)) {
        // Floats print with the digits a float has, so 612.5f stays 612.5.
        if (a.type == ZtEventLoggerVdlProxy::ArgFloat) {
            double shortest = std::stod(fmt::format("{}", static_cast<float>(*d)));
            w.Double(shortest);
        } else {
            w.Double(*d);
        }
    } else if (auto* s = std::get_if<std::string>(&a.value)) {
        String(w, *s);
    } else {
        w.Null();
    }
    w.EndObject();
}

const char* KindName(EventKind kind) {
    switch (kind) {
    case EventKind::Message: return "message";
    case EventKind::Alarm: return "alarm";
    case EventKind::Logged: return "logged";
    }
    return "";
}

}  // namespace

std::string ValidUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = n > 0 && i + n <= s.size();
        uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; ok && k < n; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc >> 6) != 2) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if (ok && ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
                   (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (ok && cp == 0) ok = false;  // a 0 byte would end the text for most readers
        if (ok) {
            out.append(s.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string EventJsonLine(const EventView& v, std::string_view change) {
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.StartObject();
    if (!change.empty()) {
        w.Key("change");
        String(w, change);
    }
    w.Key("kind");
    w.String(KindName(v.kind));
    w.Key("class");
    String(w, GuidText(v.eventClass));
    if (!v.className.empty()) {
        w.Key("className");
        String(w, v.className);
    }
    w.Key("id");
    w.Uint(v.eventId);
    w.Key("qualifier");
    w.Uint(v.keyQualifier);
    w.Key("severity");
    w.Int(v.severity);
    w.Key("severityName");
    String(w, SeverityName(v.severity));
    w.Key("type");
    w.String(v.IsAlarm() ? "alarm" : "message");
    if (v.kind == EventKind::Alarm) {
        w.Key("state");
        w.StartObject();
        w.Key("raised");
        w.Bool(v.isRaised);
        w.Key("confirmation");
        String(w, ConfirmationName(v.confirmationState));
        w.Key("confirmationState");
        w.Int(v.confirmationState);
        w.EndObject();
    } else if (v.kind == EventKind::Logged) {
        w.Key("state");
        w.StartObject();
        w.Key("active");
        w.Bool(v.isActive);
        w.Key("withConfirmation");
        w.Bool(v.withConfirmation);
        w.EndObject();
    }
    Time(w, "raised", v.raised);
    if (v.kind != EventKind::Message) {
        Time(w, "cleared", v.cleared);
        Time(w, "confirmed", v.confirmed);
    }
    w.Key("source");
    w.StartObject();
    if (v.sourceId) {
        w.Key("id");
        w.Uint(*v.sourceId);
    }
    if (v.sourceGuid) {
        w.Key("guid");
        String(w, GuidText(*v.sourceGuid));
    }
    if (v.sourceName) {
        w.Key("name");
        String(w, *v.sourceName);
    }
    w.EndObject();
    if (v.argumentsRead) {
        w.Key("arguments");
        w.StartArray();
        for (const auto& a : v.arguments) Argument(w, a);
        w.EndArray();
    }
    if (!v.json.empty()) {
        w.Key("json");
        rapidjson::Document doc;
        doc.Parse<rapidjson::kParseValidateEncodingFlag>(v.json.data(), v.json.size());
        if (doc.HasParseError()) String(w, v.json);
        else doc.Accept(w);
    }
    if (!v.texts.empty()) {
        w.Key("text");
        String(w, v.texts.front().second);
        w.Key("texts");
        w.StartObject();
        for (const auto& [lang, text] : v.texts) {
            const std::string key = fmt::format("{}", lang);
            w.Key(key.c_str());
            String(w, text);
        }
        w.EndObject();
    }
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace ZtTool
