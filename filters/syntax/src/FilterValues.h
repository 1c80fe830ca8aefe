// FilterValues.h - the values of comparisons: numbers, names, times and
// GUIDs as a user writes them. Each returns nothing for text it does not
// accept; the parser then says what it expected.
#ifndef ZT_FILTER_SYNTAX_FILTER_VALUES_H
#define ZT_FILTER_SYNTAX_FILTER_VALUES_H

#include "ZtAtlCom/Guid.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ZtFilterSyntax {

// Decimal, or hexadecimal after 0x; at most max.
std::optional<std::uint32_t> ParseUnsigned(std::string_view text, std::uint32_t max = UINT32_MAX) noexcept;

// A severity name (verbose, info, warning, error, critical; any case) or 0..4.
std::optional<std::int32_t> ParseSeverity(std::string_view text) noexcept;

// message, alarm (any case), 0 or 1.
std::optional<std::int32_t> ParseEventType(std::string_view text) noexcept;

// none, waiting, reset (any case: states 0, 2 and 4) or 0..65535.
std::optional<std::int32_t> ParseConfirmationState(std::string_view text) noexcept;

// true or false, any case.
std::optional<bool> ParseBoolean(std::string_view text) noexcept;

/* A FILETIME (100 ns since 1601-01-01 UTC): a decimal number as it is, or
 * an ISO 8601 date and time: YYYY-MM-DD, then optionally T (or a blank) and
 * hh:mm, :ss, a fraction of a second (digits past 100 ns are dropped), and
 * a zone Z, +hh:mm, -hh:mm, +hhmm or +hh. Without a zone the time is UTC.
 * Years 1601 to 9999. */
std::optional<std::int64_t> ParseFileTime(std::string_view text) noexcept;

// 8-4-4-4-12 hexadecimal digits, with or without braces.
std::optional<ZtAtlCom::GUID> ParseGuid(std::string_view text) noexcept;

// A JSON number, true, false or null: written into a JSON value as it is.
bool IsJsonLiteral(std::string_view text) noexcept;

// Equal ignoring the case of ASCII letters.
bool SameWord(std::string_view a, std::string_view b) noexcept;

}  // namespace ZtFilterSyntax

#endif  // ZT_FILTER_SYNTAX_FILTER_VALUES_H
