// Reading symbol descriptions and initial values from JSON.
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "ZtSim/SymbolService.h"

namespace ZtSim {

namespace {

enum class Kind { Signed, Unsigned, Float, Text8, Text16, Raw };

struct TypeRow {
    uint32_t code;
    uint32_t size;
    const char* typeName;
    Kind kind;
};

constexpr TypeRow kTypes[] = {
    {2, 2, "INT", Kind::Signed},       {3, 4, "DINT", Kind::Signed},      {4, 4, "REAL", Kind::Float},
    {5, 8, "LREAL", Kind::Float},      {16, 1, "SINT", Kind::Signed},     {17, 1, "USINT", Kind::Unsigned},
    {18, 2, "UINT", Kind::Unsigned},   {19, 4, "UDINT", Kind::Unsigned},  {20, 8, "LINT", Kind::Signed},
    {21, 8, "ULINT", Kind::Unsigned},  {30, 81, "STRING(80)", Kind::Text8},
    {31, 162, "WSTRING(80)", Kind::Text16}, {33, 1, "BIT", Kind::Signed},
};

const TypeRow* FindType(uint32_t code) {
    for (const auto& t : kTypes)
        if (t.code == code) return &t;
    return nullptr;
}

// Built in so that a simulator without a symbol file still has one symbol of
// every data type code (and one of a code clients do not support).
constexpr const char* kDefaultSymbols = R"json([
  {"name": "MAIN.nInt", "type": 2, "value": -1234, "comment": "signed 16-bit"},
  {"name": "MAIN.nDint", "type": 3, "value": 123456789},
  {"name": "MAIN.fReal", "type": 4, "value": 3.5},
  {"name": "MAIN.fLreal", "type": 5, "value": -2.25},
  {"name": "MAIN.nSint", "type": 16, "value": -1},
  {"name": "MAIN.nUsint", "type": 17, "value": 255},
  {"name": "MAIN.nUint", "type": 18, "value": 65535},
  {"name": "MAIN.nUdint", "type": 19, "value": 4294967295},
  {"name": "MAIN.nLint", "type": 20, "value": "-9223372036854775808"},
  {"name": "MAIN.nUlint", "type": 21, "value": "18446744073709551615"},
  {"name": "MAIN.sText", "type": 30, "size": 11, "typeName": "STRING(10)", "value": "hello"},
  {"name": "MAIN.wsText", "type": 31, "size": 22, "typeName": "WSTRING(10)", "value": "gr\u00fc\u00dfe"},
  {"name": "MAIN.bFlag", "type": 33, "value": true},
  {"name": "MAIN.stData", "type": 65, "size": 3, "typeName": "ST_Data", "value": "0x0aff00"},
  {"name": "MAIN.tDuration", "type": 13, "size": 4, "typeName": "TIME", "hex": "e8030000"}
])json";

void PutLE(std::vector<uint8_t>& out, uint64_t v, size_t width) {
    for (size_t i = 0; i < width && i < out.size(); ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool HexBytes(std::string_view text, std::vector<uint8_t>& out) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.size() % 2 != 0) return false;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}

// UTF-8 to UTF-16LE bytes; false on a malformed sequence.
bool Utf16Bytes(std::string_view s, std::vector<uint8_t>& out) {
    out.clear();
    auto unit = [&](uint32_t u) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || s.size() - i <= static_cast<size_t>(extra)) return false;
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        i += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return true;
}

bool NumberValue(const rapidjson::Value& v, Kind kind, uint32_t width, std::vector<uint8_t>& out,
                 std::string& error) {
    if (kind == Kind::Float) {
        if (!v.IsNumber()) return error = "a floating-point value must be a number", false;
        double d = v.GetDouble();
        if (width == 4) {
            float f = static_cast<float>(d);
            std::memcpy(out.data(), &f, std::min<size_t>(4, out.size()));
        } else {
            std::memcpy(out.data(), &d, std::min<size_t>(8, out.size()));
        }
        return true;
    }
    uint64_t bits = 0;
    bool negative = false;
    if (v.IsBool()) {
        bits = v.GetBool() ? 1 : 0;
    } else if (v.IsInt64()) {
        bits = static_cast<uint64_t>(v.GetInt64());
        negative = v.GetInt64() < 0;
    } else if (v.IsUint64()) {
        bits = v.GetUint64();
    } else if (v.IsString()) {
        const char* s = v.GetString();
        char* end = nullptr;
        errno = 0;
        bits = kind == Kind::Signed ? static_cast<uint64_t>(std::strtoll(s, &end, 10)) : std::strtoull(s, &end, 10);
        if (end == s || *end != '\0' || errno != 0) return error = std::string("not a number: ") + s, false;
        negative = kind == Kind::Signed && static_cast<int64_t>(bits) < 0;
        if (kind == Kind::Unsigned && std::strchr(s, '-') != nullptr) return error = "negative unsigned value", false;
    } else {
        return error = "an integer value must be a number or a decimal text", false;
    }
    if (width < 8) {
        const int bitsWide = static_cast<int>(width) * 8;
        bool fits = kind == Kind::Signed
                        ? static_cast<int64_t>(bits) >= -(int64_t{1} << (bitsWide - 1)) &&
                              static_cast<int64_t>(bits) < (int64_t{1} << (bitsWide - 1))
                        : !negative && bits < (uint64_t{1} << bitsWide);
        if (!fits) return error = "the value does not fit the type", false;
    } else if (kind == Kind::Unsigned && negative) {
        return error = "negative unsigned value", false;
    }
    PutLE(out, bits, width);
    return true;
}

bool ParseOne(const rapidjson::Value& e, SymbolDefinition& s, std::string& error) {
    if (!e.IsObject()) return error = "each symbol must be an object", false;
    auto str = [&](const char* key, std::string& out) {
        auto it = e.FindMember(key);
        if (it == e.MemberEnd()) return true;
        if (!it->value.IsString()) return error = std::string("\"") + key + "\" must be a text", false;
        out = it->value.GetString();
        return true;
    };
    if (!str("name", s.name) || !str("typeName", s.typeName) || !str("comment", s.comment)) return false;
    if (s.name.empty()) return error = "a symbol needs a \"name\"", false;
    auto type = e.FindMember("type");
    if (type == e.MemberEnd() || !type->value.IsUint()) return error = s.name + ": \"type\" must be a code", false;
    s.type = type->value.GetUint();
    const TypeRow* row = FindType(s.type);
    if (row != nullptr) {
        s.size = row->size;
        if (s.typeName.empty()) s.typeName = row->typeName;
    } else if (s.typeName.empty()) {
        s.typeName = s.type == 65 ? "STRUCT" : "UNKNOWN";
    }
    auto size = e.FindMember("size");
    if (size != e.MemberEnd()) {
        if (!size->value.IsUint() || size->value.GetUint() > (1u << 20))
            return error = s.name + ": \"size\" must be a number up to 1 MiB", false;
        s.size = size->value.GetUint();
    }

    std::vector<uint8_t> raw;
    auto hex = e.FindMember("hex");
    auto value = e.FindMember("value");
    const Kind kind = row != nullptr ? row->kind : Kind::Raw;
    if (hex != e.MemberEnd()) {
        if (!hex->value.IsString() || !HexBytes(hex->value.GetString(), raw))
            return error = s.name + ": \"hex\" must be hexadecimal text", false;
    } else if (value != e.MemberEnd()) {
        const auto& v = value->value;
        if (kind == Kind::Raw) {
            if (!v.IsString() || !HexBytes(v.GetString(), raw))
                return error = s.name + ": the value must be hexadecimal text", false;
        } else if (kind == Kind::Text8) {
            if (!v.IsString()) return error = s.name + ": the value must be a text", false;
            raw.assign(v.GetString(), v.GetString() + v.GetStringLength());
        } else if (kind == Kind::Text16) {
            if (!v.IsString() || !Utf16Bytes(std::string_view(v.GetString(), v.GetStringLength()), raw))
                return error = s.name + ": the value must be UTF-8 text", false;
        } else {
            raw.assign(std::max<uint32_t>(s.size, row->size), 0);
            if (!NumberValue(v, kind, row->size, raw, error)) return error = s.name + ": " + error, false;
            raw.resize(s.size);
        }
    }
    if (size == e.MemberEnd() && row == nullptr) s.size = static_cast<uint32_t>(raw.size());
    if (raw.size() > s.size) return error = s.name + ": the value does not fit the size", false;
    raw.resize(s.size, 0);
    s.value = std::move(raw);
    return true;
}

}  // namespace

bool ParseSymbolFile(const std::string& json, std::vector<SymbolDefinition>& symbols, std::string& error) {
    rapidjson::Document doc;
    doc.Parse(json.c_str(), json.size());
    if (doc.HasParseError()) {
        error = std::string("symbol file: JSON error at offset ") + std::to_string(doc.GetErrorOffset()) + ": " +
                rapidjson::GetParseError_En(doc.GetParseError());
        return false;
    }
    const rapidjson::Value* list = &doc;
    if (doc.IsObject()) {
        auto it = doc.FindMember("symbols");
        if (it == doc.MemberEnd()) return error = "symbol file: no \"symbols\" array", false;
        list = &it->value;
    }
    if (!list->IsArray()) return error = "symbol file: \"symbols\" must be an array", false;
    std::vector<SymbolDefinition> out;
    for (const auto& e : list->GetArray()) {
        SymbolDefinition s;
        if (!ParseOne(e, s, error)) {
            error = "symbol file: " + error;
            return false;
        }
        out.push_back(std::move(s));
    }
    symbols = std::move(out);
    return true;
}

std::vector<SymbolDefinition> DefaultSymbols() {
    std::vector<SymbolDefinition> symbols;
    std::string error;
    ParseSymbolFile(kDefaultSymbols, symbols, error);
    return symbols;
}

}  // namespace ZtSim
