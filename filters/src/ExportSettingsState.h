// ExportSettingsState.h - the values of an export-settings object, how they
// are written into a request stream and when they are fit to be sent.
#ifndef ZT_EXPORT_SETTINGS_STATE_H
#define ZT_EXPORT_SETTINGS_STATE_H

#include "FilterExpression.h"

#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"

#include <memory>
#include <optional>
#include <string>

namespace ZtEventLoggerVdlFilter {

/* Values are kept as the host put them; FirstFault says whether they can be
 * sent. Copying is cheap (the filter is shared and immutable). */
struct ExportSettingsState {
    std::shared_ptr<const FilterExpression> filter;  // null: every event
    std::uint32_t maxCount = 0;                      // 0: no limit
    std::int32_t order = ZtEventLoggerVdlProxy::EventOrderNewestFirst;
    std::string delimiter = ",";
    ZtAtlCom::VARIANT_BOOL withHeader = ZtAtlCom::VARIANT_TRUE;
    long langId = 1033;

    // Writes one object (docs/filters.md). Does not validate.
    void Serialize(IZtStreamWriter& writer) const;
    // The first fault as a sentence, or nothing when the settings are valid.
    std::optional<std::string> FirstFault() const;
};

// True when text is exactly one UTF-8 encoded character that can separate
// CSV fields: not '"', CR, LF or a zero byte.
bool IsCsvDelimiter(const std::string& text) noexcept;

}  // namespace ZtEventLoggerVdlFilter

#endif  // ZT_EXPORT_SETTINGS_STATE_H
