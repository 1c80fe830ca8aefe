// The UTF-8 decoder over arbitrary bytes: the counting pass matches the
// writing pass at every alignment, output never outgrows the input, and every
// code point fits 21 bits.
#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/CharTraits.h"
#include "ZtAtlCom/detail/Utf8Decoder.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    using namespace ZtAtlCom;
    BSTR bstr = SysAllocStringLen(reinterpret_cast<const char*>(data), static_cast<UINT>(size));
    if (size && !bstr) return 0;
    const std::wstring decoded = CharTraits<wchar_t>::From(bstr);
    SysFreeString(bstr);
    if (decoded.size() > size) __builtin_trap();
    for (wchar_t c : decoded)
        if (static_cast<std::uint32_t>(c) > 0x1FFFFF) __builtin_trap();

    // The same bytes at each offset from an aligned start decode the same.
    std::vector<unsigned char> storage(size + 4);
    for (std::size_t shift = 0; shift < 4; ++shift) {
        if (size) std::memcpy(storage.data() + shift, data, size);
        detail::utf32_counter counter;
        detail::utf8_decoder::process(storage.data() + shift, size, counter);
        if (counter.count != decoded.size()) __builtin_trap();
        std::wstring out(counter.count, L'\0');
        detail::utf32_writer writer{out.data()};
        detail::utf8_decoder::process(storage.data() + shift, size, writer);
        if (writer.out != out.data() + out.size() || out != decoded) __builtin_trap();
    }
    return 0;
}
