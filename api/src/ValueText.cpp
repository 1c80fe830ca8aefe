#include "ValueText.h"

#include <cctype>
#include <stdexcept>

#include "ZtEventLoggerVdlApi/VdlErrors.h"

namespace ZtEventLoggerVdlApi::detail {

namespace {

// What the parser left over must be blanks only.
void RequireRest(const std::string& text, size_t pos, const char* what) {
    for (; pos < text.size(); ++pos)
        if (!std::isspace(static_cast<unsigned char>(text[pos]))) throw std::invalid_argument(what);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

long long ParseSigned(const std::string& text) {
    size_t pos = 0;
    long long v = std::stoll(text, &pos, 10);
    RequireRest(text, pos, "stoll");
    return v;
}

unsigned long long ParseUnsigned(const std::string& text, bool& negative) {
    size_t pos = 0;
    unsigned long long v = std::stoull(text, &pos, 10);
    RequireRest(text, pos, "stoull");
    size_t first = text.find_first_not_of(" \t\n\v\f\r");
    negative = first != std::string::npos && text[first] == '-';
    return v;
}

float ParseFloat(const std::string& text) {
    size_t pos = 0;
    float v = std::stof(text, &pos);
    RequireRest(text, pos, "stof");
    return v;
}

double ParseDouble(const std::string& text) {
    size_t pos = 0;
    double v = std::stod(text, &pos);
    RequireRest(text, pos, "stod");
    return v;
}

bool Utf8ToUtf16(std::string_view in, std::u16string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        const auto lead = static_cast<unsigned char>(in[i]);
        size_t extra;
        char32_t cp, min;
        if (lead < 0x80) {
            extra = 0, cp = lead, min = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (in.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return true;
}

bool Utf16ToUtf8(std::u16string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xDC00 && cp <= 0xDFFF) return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= in.size() || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[++i] - 0xDC00);
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}

std::string HexText(const uint8_t* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "0x";
    out.reserve(2 + 2 * size);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return out;
}

uint32_t ParseHexText(std::string_view text, size_t size, std::vector<uint8_t>& out) {
    if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return VDL_ERR_INVALID_DATA;
    text.remove_prefix(2);
    // Checked before anything is reserved: the size may come from the target.
    if (text.size() / 2 < size) return VDL_ERR_INVALID_DATA;
    std::vector<uint8_t> bytes;
    bytes.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        const int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return VDL_ERR_INVALID_DATA;
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    if (text.size() > 2 * size) return VDL_ERR_INVALID_SIZE;
    out = std::move(bytes);
    return VDL_OK;
}

}  // namespace ZtEventLoggerVdlApi::detail
