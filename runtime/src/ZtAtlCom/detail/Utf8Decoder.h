// UTF-8 to code points, as the runtime decodes BSTR text (CharTraits.h).
//
// The decoder never rejects input: a byte with the top bit set that does not
// start a complete sequence with the right continuation bytes is skipped.
// Counting and writing go through the same template, so a count taken first
// always matches what is written afterwards.
#ifndef ZT_ATLCOM_DETAIL_UTF8_DECODER_H
#define ZT_ATLCOM_DETAIL_UTF8_DECODER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ZtAtlCom::detail {

// Writes code points to a buffer the caller has sized by a counting pass.
struct utf32_writer {
    wchar_t* out;
    void operator()(std::uint32_t codePoint) noexcept { *out++ = static_cast<wchar_t>(codePoint); }
};

// Counts the code points a writer would receive.
struct utf32_counter {
    std::size_t count = 0;
    void operator()(std::uint32_t) noexcept { ++count; }
};

struct utf8_decoder {
    template <class Writer>
    static void process(const unsigned char* bytes, std::size_t n, Writer& write) noexcept {
        std::size_t i = 0;
        while (i < n) {
            // Plain ASCII runs go four bytes at a time from aligned positions.
            if ((reinterpret_cast<std::uintptr_t>(bytes + i) & 3u) == 0) {
                while (n - i >= 4) {
                    std::uint32_t word;
                    std::memcpy(&word, bytes + i, 4);
                    if (word & 0x80808080u) break;
                    write(bytes[i]);
                    write(bytes[i + 1]);
                    write(bytes[i + 2]);
                    write(bytes[i + 3]);
                    i += 4;
                }
                if (i == n) break;
            }
            const std::uint32_t b = bytes[i];
            const std::size_t left = n - i;
            if (b < 0x80) {
                write(b);
                i += 1;
            } else if ((b & 0xE0) == 0xC0 && left >= 2 && IsContinuation(bytes[i + 1])) {
                write(((b & 0x3F) << 6) | (bytes[i + 1] & 0x3Fu));
                i += 2;
            } else if ((b & 0xF0) == 0xE0 && left >= 3 && IsContinuation(bytes[i + 1]) &&
                       IsContinuation(bytes[i + 2])) {
                write(((b & 0x1F) << 12) | ((bytes[i + 1] & 0x3Fu) << 6) | (bytes[i + 2] & 0x3Fu));
                i += 3;
            } else if ((b & 0xF8) == 0xF0 && left >= 4 && IsContinuation(bytes[i + 1]) &&
                       IsContinuation(bytes[i + 2]) && IsContinuation(bytes[i + 3])) {
                write(((b & 0x0F) << 18) | ((bytes[i + 1] & 0x3Fu) << 12) | ((bytes[i + 2] & 0x3Fu) << 6) |
                      (bytes[i + 3] & 0x3Fu));
                i += 4;
            } else {
                i += 1;  // stray or truncated: skipped, nothing written
            }
        }
    }

private:
    static bool IsContinuation(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }
};

}  // namespace ZtAtlCom::detail

#endif  // ZT_ATLCOM_DETAIL_UTF8_DECODER_H
