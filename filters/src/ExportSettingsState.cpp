#include "ExportSettingsState.h"

#include "FilterValidation.h"

#include <cstdint>

namespace ZtEventLoggerVdlFilter {

using namespace ZtEventLoggerVdlProxy;

void ExportSettingsState::Serialize(IZtStreamWriter& w) const {
    w.StartObject();
    w.Key("maxCount");
    w.Value(static_cast<unsigned int>(maxCount));
    w.Key("order");
    w.Value(static_cast<unsigned short>(order));
    if (filter) {
        w.Key("filter");
        filter->Serialize(w);
    }
    w.Key("csv");
    w.StartObject();
    w.Key("delimiter");
    w.Value(delimiter.c_str());
    w.Key("header");
    w.Value(withHeader == ZtAtlCom::VARIANT_TRUE);
    w.Key("langId");
    w.Value(static_cast<int>(langId));
    w.EndObject();
    w.EndObject();
}

std::optional<std::string> ExportSettingsState::FirstFault() const {
    if (order != EventOrderNewestFirst && order != EventOrderOldestFirst)
        return AsSentence("the order " + std::to_string(order) + " is neither 0 (newest first) nor 1 (oldest first)");
    if (!IsCsvDelimiter(delimiter))
        return AsSentence("the CSV delimiter must be exactly one character other than '\"', CR and LF");
    if (withHeader != ZtAtlCom::VARIANT_TRUE && withHeader != ZtAtlCom::VARIANT_FALSE)
        return AsSentence("WithHeader " + std::to_string(withHeader) + " is neither VARIANT_TRUE nor VARIANT_FALSE");
    if (langId < 0 || langId > INT32_MAX)
        return AsSentence("the language id " + std::to_string(langId) + " is outside 0 to 2147483647");
    if (filter) return ZtEventLoggerVdlFilter::FirstFault(*filter, "filter ");
    return std::nullopt;
}

bool IsCsvDelimiter(const std::string& text) noexcept {
    if (text.empty()) return false;
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        length = 1, code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07u;
    } else {
        return false;
    }
    if (text.size() != length) return false;
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) return false;
        code = (code << 6) | (c & 0x3Fu);
    }
    // Overlong forms, surrogates and values past the last code point are no
    // characters.
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    return code != 0 && code != '"' && code != '\r' && code != '\n';
}

}  // namespace ZtEventLoggerVdlFilter
