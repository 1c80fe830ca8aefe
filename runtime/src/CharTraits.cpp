// BSTR text as standard strings.
#include "ZtAtlCom/CharTraits.h"

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/detail/Utf8Decoder.h"

namespace ZtAtlCom {

std::wstring CharTraits<wchar_t>::From(BSTR bstr) {
    const UINT length = SysStringLen(bstr);
    if (length == 0) return {};
    const std::string bytes(bstr, length);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    detail::utf32_counter counter;
    detail::utf8_decoder::process(data, bytes.size(), counter);
    std::wstring text(counter.count, L'\0');
    detail::utf32_writer writer{text.data()};
    detail::utf8_decoder::process(data, bytes.size(), writer);
    return text;
}

std::string CharTraits<char>::From(BSTR bstr) {
    const UINT length = SysStringLen(bstr);
    if (length == 0) return {};
    return std::string(bstr, length);
}

}  // namespace ZtAtlCom
