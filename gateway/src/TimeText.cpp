#include "TimeText.h"

#include <chrono>
#include <cstdio>

namespace ZtGateway {

namespace {
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ULL;  // 1970-01-01 as a FILETIME

// Civil date from days since 1601-01-01 (times before 1970 are rare but legal).
void FromDays1601(int64_t days, int& y, unsigned& m, unsigned& d) {
    // Shift to days since 0000-03-01 (Howard Hinnant's algorithm).
    int64_t z = days + 584694;  // 1601-01-01 is day 584694 after 0000-03-01
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yy + (m <= 2 ? 1 : 0));
}

std::string Format(uint64_t fileTime, int digits) {
    if (fileTime == 0) return {};
    int year;
    unsigned month, day;
    uint64_t secs = fileTime / 10000000ULL;
    uint32_t ticks = static_cast<uint32_t>(fileTime % 10000000ULL);
    FromDays1601(static_cast<int64_t>(secs / 86400), year, month, day);
    uint64_t rest = secs % 86400;
    int hour = static_cast<int>(rest / 3600);
    int minute = static_cast<int>(rest / 60 % 60);
    int second = static_cast<int>(rest % 60);
    char buf[48];
    if (digits == 7) {
        std::snprintf(buf, sizeof(buf), "%04d-%02u-%02uT%02d:%02d:%02d.%07uZ", year, month, day, hour, minute, second,
                      ticks);
    } else {
        std::snprintf(buf, sizeof(buf), "%04d-%02u-%02uT%02d:%02d:%02d.%03uZ", year, month, day, hour, minute, second,
                      ticks / 10000);
    }
    return buf;
}
}  // namespace

uint64_t NowFileTime() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
    return kUnixEpochFileTime + static_cast<uint64_t>(ticks);
}

std::string IsoTime(uint64_t fileTime) { return Format(fileTime, 7); }
std::string IsoTimeMs(uint64_t fileTime) { return Format(fileTime, 3); }

}  // namespace ZtGateway
