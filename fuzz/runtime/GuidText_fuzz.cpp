// GUID text parsing: never reads past the text, and what it accepts prints
// back as the same text (upper case, braced).
#include "ZtAtlCom/Guid.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // NUL-terminated copy
    ZtAtlCom::GUID guid;
    std::memset(&guid, 0xA5, sizeof(guid));
    const ZtAtlCom::GUID before = guid;
    if (!ZtCppUtils::detail::GuidStringToGuid(text.c_str(), &guid)) {
        if (!(guid == before)) __builtin_trap();  // a refusal writes nothing
        return 0;
    }
    const std::size_t length = std::strlen(text.c_str());
    if (length == 0) {
        if (!(guid == ZtAtlCom::GUID_NULL)) __builtin_trap();
        return 0;
    }
    char printed[39];
    if (ZtAtlCom::StringFromGUID2(guid, printed, sizeof(printed)) != 39) __builtin_trap();
    std::string expected = length == 36 ? "{" + text.substr(0, 36) + "}" : text.substr(0, 38);
    for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (expected != printed) __builtin_trap();
    return 0;
}
