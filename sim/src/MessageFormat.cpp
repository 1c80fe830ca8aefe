#include "ZtSim/MessageFormat.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace ZtSim {

namespace {

template <class T>
T Value(const EventArgument& a) {
    T v{};
    if (a.bytes.size() >= sizeof(T)) std::memcpy(&v, a.bytes.data(), sizeof(T));
    return v;
}

std::string Utf8(uint32_t cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // a lone surrogate
    std::string s;
    if (cp < 0x80) {
        s.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return s;
}

// A numeric argument: its integer (signed or unsigned) or floating value.
struct Number {
    enum { Signed, Unsigned, Real } kind;
    int64_t s = 0;
    uint64_t u = 0;
    double d = 0;
};

std::optional<Number> NumberOf(const EventArgument& a) {
    switch (static_cast<ArgType>(a.type)) {
        case ArgType::Boolean: case ArgType::UInt8: return Number{Number::Unsigned, 0, Value<uint8_t>(a), 0};
        case ArgType::UInt16: return Number{Number::Unsigned, 0, Value<uint16_t>(a), 0};
        case ArgType::UInt32: return Number{Number::Unsigned, 0, Value<uint32_t>(a), 0};
        case ArgType::UInt64: return Number{Number::Unsigned, 0, Value<uint64_t>(a), 0};
        case ArgType::Int8: return Number{Number::Signed, Value<int8_t>(a), 0, 0};
        case ArgType::Int16: return Number{Number::Signed, Value<int16_t>(a), 0, 0};
        case ArgType::Int32: return Number{Number::Signed, Value<int32_t>(a), 0, 0};
        case ArgType::Int64: return Number{Number::Signed, Value<int64_t>(a), 0, 0};
        case ArgType::Float: return Number{Number::Real, 0, 0, Value<float>(a)};
        case ArgType::Double: return Number{Number::Real, 0, 0, Value<double>(a)};
        default: return std::nullopt;
    }
}

struct Layout {
    bool zero = false;
    int width = 0;
    int precision = -1;
    char type = 0;
};

bool ParseLayout(std::string_view s, Layout& layout) {
    size_t i = 0;
    if (i < s.size() && s[i] == '0') layout.zero = true, ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && layout.width < 1000) layout.width = layout.width * 10 + (s[i++] - '0');
    if (i < s.size() && s[i] == '.') {
        layout.precision = 0;
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && layout.precision < 100)
            layout.precision = layout.precision * 10 + (s[i++] - '0');
    }
    if (i < s.size() && std::strchr("dxXfegs", s[i]) != nullptr) layout.type = s[i++];
    return i == s.size();
}

std::string Pad(std::string text, const Layout& layout) {
    if (static_cast<int>(text.size()) >= layout.width) return text;
    const size_t n = static_cast<size_t>(layout.width) - text.size();
    if (layout.zero && !text.empty() && text[0] == '-') return "-" + std::string(n, '0') + text.substr(1);
    return std::string(n, layout.zero ? '0' : ' ') + text;
}

std::string Formatted(const EventArgument& a, const Layout& layout) {
    auto num = NumberOf(a);
    const bool isBool = a.type == static_cast<uint16_t>(ArgType::Boolean);
    if (!num || layout.type == 's' || (layout.type == 0 && layout.precision < 0) || (isBool && layout.type == 0))
        return Pad(ArgumentText(a), layout);
    char buf[128];
    const int prec = layout.precision;
    char type = layout.type != 0 ? layout.type : (num->kind == Number::Real ? 'f' : 'd');
    if (type == 'd' || type == 'x' || type == 'X') {
        if (num->kind == Number::Real) {
            const double t = std::trunc(num->d);
            if (!std::isfinite(t) || std::fabs(t) >= 9.2e18) return Pad(ArgumentText(a), layout);
            *num = Number{Number::Signed, static_cast<int64_t>(t), 0, 0};
        }
        if (type == 'd') {
            if (num->kind == Number::Signed)
                std::snprintf(buf, sizeof(buf), "%lld", static_cast<long long>(num->s));
            else
                std::snprintf(buf, sizeof(buf), "%llu", static_cast<unsigned long long>(num->u));
        } else {
            uint64_t bits = num->kind == Number::Signed ? static_cast<uint64_t>(num->s) : num->u;
            // A negative value shows the bits of its own width, as in the record.
            const auto width = ArgumentWidth(a.type);
            if (num->kind == Number::Signed && width && *width > 0 && *width < 8)
                bits &= (uint64_t{1} << (8 * *width)) - 1;
            std::snprintf(buf, sizeof(buf), type == 'x' ? "%llx" : "%llX", static_cast<unsigned long long>(bits));
        }
    } else {
        const double d = num->kind == Number::Real     ? num->d
                         : num->kind == Number::Signed ? static_cast<double>(num->s)
                                                       : static_cast<double>(num->u);
        const char fmt[5] = {'%', '.', '*', type, 0};
        std::snprintf(buf, sizeof(buf), fmt, prec < 0 ? 6 : prec, d);
    }
    return Pad(buf, layout);
}

}  // namespace

std::string ArgumentText(const EventArgument& a) {
    char buf[64];
    switch (static_cast<ArgType>(a.type)) {
        case ArgType::None: return {};
        case ArgType::Boolean: return Value<uint8_t>(a) != 0 ? "true" : "false";
        case ArgType::Float:
            std::snprintf(buf, sizeof(buf), "%.7g", static_cast<double>(Value<float>(a)));
            return buf;
        case ArgType::Double:
            std::snprintf(buf, sizeof(buf), "%.15g", Value<double>(a));
            return buf;
        case ArgType::Char: return a.bytes.empty() ? std::string() : std::string(1, static_cast<char>(a.bytes[0]));
        case ArgType::WChar: return Utf8(Value<uint16_t>(a));
        case ArgType::String:
        case ArgType::Bstr: {
            std::string s(a.bytes.begin(), a.bytes.end());
            if (auto nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
            return s;
        }
        default: break;
    }
    auto num = NumberOf(a);
    if (!num) return "?";
    if (num->kind == Number::Signed)
        std::snprintf(buf, sizeof(buf), "%lld", static_cast<long long>(num->s));
    else
        std::snprintf(buf, sizeof(buf), "%llu", static_cast<unsigned long long>(num->u));
    return buf;
}

std::string FormatMessage(std::string_view p, const std::vector<EventArgument>& args) {
    std::string out;
    out.reserve(p.size() + 16);
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        if ((c == '{' || c == '}') && i + 1 < p.size() && p[i + 1] == c) {
            out.push_back(c);
            i += 2;
            continue;
        }
        if (c != '{') {
            out.push_back(c);
            ++i;
            continue;
        }
        const size_t close = p.find('}', i + 1);
        if (close == std::string_view::npos) {
            out.append(p.substr(i));
            break;
        }
        const std::string_view inner = p.substr(i + 1, close - i - 1);
        const size_t colon = inner.find(':');
        const std::string_view index = inner.substr(0, colon);
        size_t n = 0;
        bool ok = !index.empty() && index.size() <= 4;
        for (char d : index) ok = ok && d >= '0' && d <= '9', n = n * 10 + static_cast<size_t>(d - '0');
        Layout layout;
        if (ok && colon != std::string_view::npos) ok = ParseLayout(inner.substr(colon + 1), layout);
        if (ok && n < args.size())
            out.append(Formatted(args[n], layout));
        else
            out.append(p.substr(i, close - i + 1));
        i = close + 1;
    }
    return out;
}

}  // namespace ZtSim
