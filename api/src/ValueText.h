// ValueText.h - the text forms of symbol values (internal).
#ifndef ZT_VALUE_TEXT_H
#define ZT_VALUE_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ZtEventLoggerVdlApi::detail {

// Base-10 parsing with the standard parsers (std::stoll, std::stoull,
// std::stof, std::stod) and their exceptions: std::invalid_argument when the
// text is not a number, std::out_of_range when the parser cannot hold it. The
// whole text must be the number (blanks around it are allowed): "12abc" or
// "1.5" for an integer is not a number, rather than a silent 12 or 1.
long long ParseSigned(const std::string& text);
// negative tells whether the text carried a minus sign (std::stoull wraps it).
unsigned long long ParseUnsigned(const std::string& text, bool& negative);
float ParseFloat(const std::string& text);
double ParseDouble(const std::string& text);

// Strict UTF-8 <-> UTF-16 conversion; false on malformed input (bad or
// overlong sequences, surrogates encoded in UTF-8, unpaired surrogates).
bool Utf8ToUtf16(std::string_view in, std::u16string& out);
bool Utf16ToUtf8(std::u16string_view in, std::string& out);

// "0x" followed by two lower-case hexadecimal digits per byte.
std::string HexText(const uint8_t* bytes, size_t size);
// The reverse for exactly size bytes: "0x" (or "0X") and two hexadecimal
// digits of either case per byte. 1798 when the prefix is missing, a pair is
// not hexadecimal or the text runs out; 1797 when digits are left over.
uint32_t ParseHexText(std::string_view text, size_t size, std::vector<uint8_t>& out);

}  // namespace ZtEventLoggerVdlApi::detail

#endif  // ZT_VALUE_TEXT_H
