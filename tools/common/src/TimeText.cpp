// TimeText.cpp - FILETIME to and from text.
#include "ZtTool/TimeText.h"

#include <fmt/format.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace ZtTool {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000ull;
// 9999-12-31T23:59:59 as FILETIME: the last second the text forms can hold.
constexpr uint64_t kLastFileTime = 2650467743999999999ull;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int y, unsigned m) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : days[m - 1];
}

// Reads exactly n digits at pos.
bool Digits(std::string_view s, size_t& pos, size_t n, int& value) {
    if (pos + n > s.size()) return false;
    value = 0;
    for (size_t i = 0; i < n; ++i) {
        char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    pos += n;
    return true;
}

}  // namespace

uint64_t FileTimeNow() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
    return kFileTimeUnixEpoch + static_cast<uint64_t>(ticks);
}

std::string FileTimeToIsoUtc(uint64_t fileTime, int digits) {
    if (fileTime == 0 || fileTime > kLastFileTime) return {};
    if (digits < 0) digits = 0;
    if (digits > 7) digits = 7;
    // Counted from 1601 so that times before 1970 need no signed arithmetic.
    const uint64_t seconds = fileTime / kTicksPerSecond;
    const uint64_t ticks = fileTime % kTicksPerSecond;
    const int64_t unixSeconds = static_cast<int64_t>(seconds) - static_cast<int64_t>(kFileTimeUnixEpoch / kTicksPerSecond);
    int64_t days = unixSeconds / 86400;
    int64_t rest = unixSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970 (inverse of DaysFromCivil).
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
    std::string text = fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", y, m, d, rest / 3600, rest / 60 % 60, rest % 60);
    if (digits > 0) {
        std::string frac = fmt::format("{:07}", ticks);
        text += '.';
        text += frac.substr(0, static_cast<size_t>(digits));
    }
    text += 'Z';
    return text;
}

std::string FileTimeToLocalText(uint64_t fileTime, bool timeOnly) {
    if (fileTime < kFileTimeUnixEpoch || fileTime > kLastFileTime) {
        // Before 1970 the C library's local time is not dependable: show UTC.
        return fileTime == 0 ? std::string() : FileTimeToIsoUtc(fileTime);
    }
    const time_t secs = static_cast<time_t>((fileTime - kFileTimeUnixEpoch) / kTicksPerSecond);
    const unsigned ms = static_cast<unsigned>(fileTime % kTicksPerSecond / 10000);
    std::tm tm{};
    if (!localtime_r(&secs, &tm)) return FileTimeToIsoUtc(fileTime);
    if (timeOnly) return fmt::format("{:02}:{:02}:{:02}.{:03}", tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
}

std::optional<uint64_t> ParseTimeText(std::string_view s) {
    if (s == "now") return FileTimeNow();
    if (s.empty()) return std::nullopt;
    if (s.find_first_not_of("0123456789") == std::string_view::npos) {
        if (s.size() > 19) return std::nullopt;
        uint64_t v = 0;
        for (char c : s) v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > kLastFileTime) return std::nullopt;
        return v;
    }
    size_t pos = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    if (!Digits(s, pos, 4, y) || pos >= s.size() || s[pos++] != '-' || !Digits(s, pos, 2, mo) || pos >= s.size() ||
        s[pos++] != '-' || !Digits(s, pos, 2, d))
        return std::nullopt;
    if (y < 1601 || mo < 1 || mo > 12 || d < 1 || static_cast<unsigned>(d) > DaysInMonth(y, static_cast<unsigned>(mo)))
        return std::nullopt;
    uint64_t fraction = 0;  // in 100 ns
    if (pos < s.size() && (s[pos] == 'T' || s[pos] == ' ')) {
        ++pos;
        if (!Digits(s, pos, 2, h) || pos >= s.size() || s[pos++] != ':' || !Digits(s, pos, 2, mi)) return std::nullopt;
        if (pos < s.size() && s[pos] == ':') {
            ++pos;
            if (!Digits(s, pos, 2, sec)) return std::nullopt;
            if (pos < s.size() && s[pos] == '.') {
                ++pos;
                size_t start = pos;
                uint64_t scale = 1000000;
                while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
                    if (scale > 0) fraction += static_cast<uint64_t>(s[pos] - '0') * scale;
                    scale /= 10;
                    ++pos;
                }
                if (pos == start) return std::nullopt;
            }
        }
        if (h > 23 || mi > 59 || sec > 59) return std::nullopt;
    }
    bool utc = false;
    int offsetMinutes = 0;
    if (pos < s.size()) {
        char c = s[pos];
        if (c == 'Z' && pos + 1 == s.size()) {
            utc = true;
            ++pos;
        } else if (c == '+' || c == '-') {
            ++pos;
            int oh = 0, om = 0;
            if (!Digits(s, pos, 2, oh)) return std::nullopt;
            if (pos < s.size() && s[pos] == ':') ++pos;
            if (pos < s.size() && !Digits(s, pos, 2, om)) return std::nullopt;
            if (oh > 23 || om > 59) return std::nullopt;
            utc = true;
            offsetMinutes = (c == '+' ? 1 : -1) * (oh * 60 + om);
        }
    }
    if (pos != s.size()) return std::nullopt;
    int64_t unixSeconds = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
                          mi * 60 + sec;
    if (utc) {
        unixSeconds -= offsetMinutes * 60;
    } else {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_sec = sec;
        tm.tm_isdst = -1;
        time_t t = mktime(&tm);
        if (t == static_cast<time_t>(-1) && !(y == 1969 && mo == 12 && d == 31)) return std::nullopt;
        unixSeconds = static_cast<int64_t>(t);
    }
    const int64_t ticks = (unixSeconds + static_cast<int64_t>(kFileTimeUnixEpoch / kTicksPerSecond)) *
                              static_cast<int64_t>(kTicksPerSecond) + static_cast<int64_t>(fraction);
    if (ticks <= 0 || static_cast<uint64_t>(ticks) > kLastFileTime) return std::nullopt;
    return static_cast<uint64_t>(ticks);
}

}  // namespace ZtTool
