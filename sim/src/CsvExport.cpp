#include "ZtSim/CsvExport.h"

#include <cstdio>
#include <ctime>

#include "ZtSim/ResourceCatalog.h"

namespace ZtSim {

std::string CsvField(std::string_view text, std::string_view delimiter) {
    const bool quote = text.find_first_of("\"\r\n") != std::string_view::npos ||
                       (!delimiter.empty() && text.find(delimiter) != std::string_view::npos);
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string FileTimeText(uint64_t ft) {
    if (ft == 0) return {};
    constexpr uint64_t kEpochDelta = 116444736000000000ull;  // 1601 to 1970 in 100 ns
    if (ft < kEpochDelta) return std::to_string(ft);  // before 1970: the raw value
    const uint64_t since = ft - kEpochDelta;
    const auto secs = static_cast<time_t>(since / 10000000ull);
    std::tm tm{};
    if (gmtime_r(&secs, &tm) == nullptr) return std::to_string(ft);
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%04d-%02d-%02dT%02d:%02d:%02d.%07uZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<unsigned>(since % 10000000ull));
    return buf;
}

std::string BuildCsv(const std::vector<CsvRow>& rows, std::string_view delimiter, bool header, uint32_t langId,
                     const ResourceCatalog& texts) {
    std::string out;
    auto line = [&](std::initializer_list<std::string> fields) {
        bool first = true;
        for (const auto& f : fields) {
            if (!first) out.append(delimiter);
            first = false;
            out.append(CsvField(f, delimiter));
        }
        out.append("\r\n");
    };
    if (header)
        line({"Seq", "Type", "Severity", "Class", "ClassName", "EventId", "Qualifier", "SourceId", "SourceName",
              "Raised", "Cleared", "Confirmed", "Disposed", "ConfirmationState", "Text", "Json"});
    for (const auto& r : rows) {
        const auto& e = r.event;
        const auto& s = r.state;
        line({std::to_string(r.seq), s.eventType != 0 ? "Alarm" : "Message", std::to_string(e.severity),
              GuidText(e.eventClass), texts.ClassName(e.eventClass, langId).text, std::to_string(e.eventId),
              std::to_string(e.keyQualifier), e.source.id ? std::to_string(*e.source.id) : std::string(),
              e.source.name.value_or(std::string()), FileTimeText(s.fileTimeRaised), FileTimeText(s.fileTimeCleared),
              FileTimeText(s.fileTimeConfirmed), FileTimeText(s.fileTimeDisposed), std::to_string(s.confirmationState),
              texts.MessageText(e.Key(), e.arguments, langId).text, e.jsonAttribute});
    }
    return out;
}

}  // namespace ZtSim
