// CsvExport.h - the CSV text of an export of the event log.
//
// RFC 4180 with the settings' delimiter: UTF-8 without a byte order mark,
// lines ending in CR LF, a field quoted with '"' when it holds the
// delimiter, a '"', CR or LF, quotes inside doubled. With the header
// setting, the first line names the columns:
//   Seq, Type, Severity, Class, ClassName, EventId, Qualifier, SourceId,
//   SourceName, Raised, Cleared, Confirmed, Disposed, ConfirmationState,
//   Text, Json
//  - Seq: the row's sequence number in the log;
//  - Type: "Message" or "Alarm";
//  - Class: the class GUID text; ClassName and Text (the formatted message
//    text) in the settings' language, from the resource catalog;
//  - SourceId, SourceName: empty when the event has no such source item;
//  - Raised .. Disposed: UTC as "YYYY-MM-DDTHH:MM:SS.fffffffZ" (the full
//    100 ns of a FILETIME), empty when not set;
//  - Json: the JSON attribute as recorded, empty when there is none.
// Plain functions: callable from any thread.
#ifndef ZT_SIM_CSV_EXPORT_H
#define ZT_SIM_CSV_EXPORT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "EventRecord.h"

namespace ZtSim {

class ResourceCatalog;

struct CsvRow {
    int64_t seq = 0;
    EventDescription event;
    EventState state;
};

// One field, quoted when it needs to be.
std::string CsvField(std::string_view text, std::string_view delimiter);
// A FILETIME as ISO 8601 UTC text; empty for 0.
std::string FileTimeText(uint64_t fileTime);
std::string BuildCsv(const std::vector<CsvRow>& rows, std::string_view delimiter, bool header, uint32_t langId,
                     const ResourceCatalog& texts);

}  // namespace ZtSim

#endif  // ZT_SIM_CSV_EXPORT_H
