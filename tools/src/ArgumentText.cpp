// ArgumentText.cpp - typed arguments, GUIDs and severities from the command line.
#include "ArgumentText.h"

#include <fmt/format.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Tool.h"

namespace ZtEventLog {

using namespace ZtEventLoggerVdlProxy;
using ZtTool::EventArgument;

namespace {

bool ParseSigned(const std::string& s, int64_t& v) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long r = std::strtoll(s.c_str(), &end, 0);
    if (errno || !end || *end || end == s.c_str()) return false;
    v = r;
    return true;
}

bool ParseUnsignedValue(const std::string& s, uint64_t& v) {
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long r = std::strtoull(s.c_str(), &end, 0);
    if (errno || !end || *end || end == s.c_str()) return false;
    v = r;
    return true;
}

bool ParseReal(const std::string& s, double& v) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return !errno && end && !*end && end != s.c_str() && std::isfinite(v);
}

[[noreturn]] void Bad(const std::string& type, const std::string& value) {
    throw UsageError(fmt::format("argument {}:{} does not hold a value of type {}", type, value, type));
}

}  // namespace

EventArgument ParseArgumentText(const std::string& text) {
    EventArgument a;
    const size_t colon = text.find(':');
    std::optional<tagZtEventArgumentTypeEnum> type;
    std::string value = text;
    if (colon != std::string::npos) {
        type = ZtTool::ArgumentTypeFromName(text.substr(0, colon));
        if (type) value = text.substr(colon + 1);
    }
    if (!type) {
        // A bare value: the plainest type that holds it.
        int64_t i = 0;
        double d = 0;
        if (ParseSigned(value, i)) {
            a.type = i >= INT32_MIN && i <= INT32_MAX ? ArgInt32 : ArgInt64;
            a.value = i;
        } else if (ParseReal(value, d) && value.find_first_of(".eE") != std::string::npos) {
            a.type = ArgDouble;
            a.value = d;
        } else if (value == "true" || value == "false") {
            a.type = ArgBoolean;
            a.value = value == "true";
        } else {
            a.type = ArgString;
            a.value = value;
        }
        return a;
    }
    a.type = *type;
    const std::string name = text.substr(0, colon);
    struct Range {
        tagZtEventArgumentTypeEnum type;
        int64_t min;
        int64_t max;
    };
    static constexpr Range ranges[] = {{ArgInt8, INT8_MIN, INT8_MAX}, {ArgInt16, INT16_MIN, INT16_MAX},
                                       {ArgInt32, INT32_MIN, INT32_MAX}, {ArgInt64, INT64_MIN, INT64_MAX}};
    for (const Range& r : ranges) {
        if (r.type != a.type) continue;
        int64_t v = 0;
        if (!ParseSigned(value, v) || v < r.min || v > r.max) Bad(name, value);
        a.value = v;
        return a;
    }
    switch (a.type) {
    case ArgUInt8: case ArgUInt16: case ArgUInt32: case ArgUInt64: {
        const uint64_t max = a.type == ArgUInt8 ? UINT8_MAX : a.type == ArgUInt16 ? UINT16_MAX
                             : a.type == ArgUInt32 ? UINT32_MAX : UINT64_MAX;
        uint64_t v = 0;
        if (!ParseUnsignedValue(value, v) || v > max) Bad(name, value);
        a.value = v;
        return a;
    }
    case ArgBoolean:
        if (value != "true" && value != "false" && value != "1" && value != "0") Bad(name, value);
        a.value = value == "true" || value == "1";
        return a;
    case ArgFloat: case ArgDouble: {
        double d = 0;
        if (!ParseReal(value, d)) Bad(name, value);
        if (a.type == ArgFloat && std::fabs(d) > std::numeric_limits<float>::max()) Bad(name, value);
        a.value = d;
        return a;
    }
    case ArgString: case ArgBstr:
        if (value.find('\0') != std::string::npos) Bad(name, value);
        a.value = value;
        return a;
    default:
        throw UsageError(fmt::format("arguments of type {} cannot be sent; use bool, int8..int64, uint8..uint64, "
                                     "float, double or string", name));
    }
}

ZtAtlCom::CComVariant ArgumentVariant(const EventArgument& a) {
    auto i = [&] { return std::holds_alternative<int64_t>(a.value) ? std::get<int64_t>(a.value) : int64_t{0}; };
    auto u = [&] { return std::holds_alternative<uint64_t>(a.value) ? std::get<uint64_t>(a.value) : uint64_t{0}; };
    auto d = [&] { return std::holds_alternative<double>(a.value) ? std::get<double>(a.value) : 0.0; };
    switch (a.type) {
    case ArgBoolean: return ZtAtlCom::CComVariant(std::get_if<bool>(&a.value) && std::get<bool>(a.value));
    case ArgInt8: return ZtAtlCom::CComVariant(static_cast<signed char>(i()));
    case ArgInt16: return ZtAtlCom::CComVariant(static_cast<short>(i()));
    case ArgInt32: return ZtAtlCom::CComVariant(static_cast<int>(i()));
    case ArgInt64: return ZtAtlCom::CComVariant(static_cast<long long>(i()));
    case ArgUInt8: return ZtAtlCom::CComVariant(static_cast<unsigned char>(u()));
    case ArgUInt16: return ZtAtlCom::CComVariant(static_cast<unsigned short>(u()));
    case ArgUInt32: return ZtAtlCom::CComVariant(static_cast<unsigned int>(u()));
    case ArgUInt64: return ZtAtlCom::CComVariant(static_cast<unsigned long long>(u()));
    case ArgFloat: return ZtAtlCom::CComVariant(static_cast<float>(d()));
    case ArgDouble: return ZtAtlCom::CComVariant(d());
    default: {
        const std::string* s = std::get_if<std::string>(&a.value);
        return ZtAtlCom::CComVariant(s ? s->c_str() : "");
    }
    }
}

ZtAtlCom::GUID ParseGuidOption(const std::string& text, const std::string& what) {
    auto g = ZtTool::ParseGuid(text);
    if (!g) throw UsageError(fmt::format("{} takes a GUID such as {{4A6F1C2E-8B3D-4F51-9C07-2E5B7A9D1F30}}, not '{}'",
                                         what, text));
    return *g;
}

int ParseSeverity(const std::string& text) {
    static constexpr const char* names[] = {"verbose", "info", "warning", "error", "critical"};
    for (int i = 0; i < 5; ++i)
        if (text == names[i] || text == std::to_string(i)) return i;
    throw UsageError(fmt::format("--severity takes verbose, info, warning, error, critical or 0 to 4, not '{}'", text));
}

}  // namespace ZtEventLog
