#include "FilterValues.h"

#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"

#include <cstring>

namespace ZtFilterSyntax {

using namespace ZtEventLoggerVdlProxy;

namespace {

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// A name from a table, any case, or a number up to max.
struct Name {
    const char* text;
    std::int32_t value;
};

template <std::size_t N>
std::optional<std::int32_t> NameOrNumber(std::string_view text, const Name (&names)[N], std::uint32_t max) noexcept {
    for (const Name& name : names)
        if (SameWord(text, name.text)) return name.value;
    if (text.empty() || !IsDigit(text[0])) return std::nullopt;
    auto number = ParseUnsigned(text, max);
    if (!number) return std::nullopt;
    return static_cast<std::int32_t>(*number);
}

// Reads exactly count digits at text[pos] and advances pos.
bool Digits(std::string_view text, std::size_t& pos, int count, int& value) noexcept {
    if (pos + static_cast<std::size_t>(count) > text.size()) return false;
    value = 0;
    for (int i = 0; i < count; ++i, ++pos) {
        if (!IsDigit(text[pos])) return false;
        value = value * 10 + (text[pos] - '0');
    }
    return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int year, int month, int day) noexcept {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yoe = year - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) noexcept {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The zone's offset from UTC in seconds, reading from text[pos] to the end.
bool ZoneOffset(std::string_view text, std::size_t pos, std::int64_t& offset) noexcept {
    offset = 0;
    if (pos == text.size()) return true;
    if ((text[pos] == 'Z' || text[pos] == 'z') && pos + 1 == text.size()) return true;
    if (text[pos] != '+' && text[pos] != '-') return false;
    const int sign = text[pos] == '-' ? -1 : 1;
    ++pos;
    int hours = 0, minutes = 0;
    if (!Digits(text, pos, 2, hours)) return false;
    const bool colon = pos < text.size() && text[pos] == ':';
    if (colon) ++pos;
    if ((colon || pos < text.size()) && !Digits(text, pos, 2, minutes)) return false;
    if (pos != text.size() || hours > 23 || minutes > 59) return false;
    offset = sign * (hours * 3600 + minutes * 60);
    return true;
}

}  // namespace

bool SameWord(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::optional<std::uint32_t> ParseUnsigned(std::string_view text, std::uint32_t max) noexcept {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (IsDigit(c))
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > max) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::int32_t> ParseSeverity(std::string_view text) noexcept {
    static constexpr Name kNames[] = {{"verbose", SeverityVerbose},
                                      {"info", SeverityInfo},
                                      {"warning", SeverityWarning},
                                      {"error", SeverityError},
                                      {"critical", SeverityCritical}};
    return NameOrNumber(text, kNames, SeverityCritical);
}

std::optional<std::int32_t> ParseEventType(std::string_view text) noexcept {
    static constexpr Name kNames[] = {{"message", EventTypeMessage}, {"alarm", EventTypeAlarm}};
    return NameOrNumber(text, kNames, EventTypeAlarm);
}

std::optional<std::int32_t> ParseConfirmationState(std::string_view text) noexcept {
    static constexpr Name kNames[] = {
        {"none", ConfirmationNotRequired}, {"waiting", ConfirmationWaitForConfirmation}, {"reset", ConfirmationReset}};
    return NameOrNumber(text, kNames, 0xFFFF);
}

std::optional<bool> ParseBoolean(std::string_view text) noexcept {
    if (SameWord(text, "true")) return true;
    if (SameWord(text, "false")) return false;
    return std::nullopt;
}

std::optional<std::int64_t> ParseFileTime(std::string_view text) noexcept {
    constexpr std::int64_t kTicksPerSecond = 10000000;
    if (!text.empty() && text.find('-') == std::string_view::npos) {
        // A plain number is a FILETIME as it is.
        std::int64_t value = 0;
        for (char c : text) {
            if (!IsDigit(c) || value > (INT64_MAX - (c - '0')) / 10) return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    }
    std::size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, pos, 4, year) || pos >= text.size() || text[pos++] != '-' || !Digits(text, pos, 2, month) ||
        pos >= text.size() || text[pos++] != '-' || !Digits(text, pos, 2, day))
        return std::nullopt;
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    std::int64_t fraction = 0;
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == 't' || text[pos] == ' ')) {
        ++pos;
        if (!Digits(text, pos, 2, hour) || pos >= text.size() || text[pos++] != ':' || !Digits(text, pos, 2, minute))
            return std::nullopt;
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            if (!Digits(text, pos, 2, second)) return std::nullopt;
            if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
                ++pos;
                std::int64_t scale = kTicksPerSecond;
                const std::size_t first = pos;
                for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
                    scale /= 10;
                    fraction += (text[pos] - '0') * scale;
                }
                if (pos == first) return std::nullopt;
            }
        }
        if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    }
    std::int64_t zone = 0;
    if (!ZoneOffset(text, pos, zone)) return std::nullopt;
    const std::int64_t days = DaysFromCivil(year, month, day) - DaysFromCivil(1601, 1, 1);
    const std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second - zone;
    if (seconds < 0) return std::nullopt;  // before 1601 once the zone is applied
    return seconds * kTicksPerSecond + fraction;
}

std::optional<ZtAtlCom::GUID> ParseGuid(std::string_view text) noexcept {
    const bool braced = text.size() == 38 && text.front() == '{' && text.back() == '}';
    if (!braced && text.size() != 36) return std::nullopt;
    char buffer[39];
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    ZtAtlCom::GUID guid{};
    if (!ZtCppUtils::detail::GuidStringToGuid(buffer, &guid)) return std::nullopt;
    return guid;
}

bool IsJsonLiteral(std::string_view text) noexcept {
    if (text == "true" || text == "false" || text == "null") return true;
    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    std::size_t pos = 0;
    auto digits = [&] {
        const std::size_t first = pos;
        while (pos < text.size() && IsDigit(text[pos])) ++pos;
        return pos > first;
    };
    if (pos < text.size() && text[pos] == '-') ++pos;
    if (pos < text.size() && text[pos] == '0')
        ++pos;
    else if (!digits())
        return false;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (!digits()) return false;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
        if (!digits()) return false;
    }
    return pos == text.size();
}

}  // namespace ZtFilterSyntax
