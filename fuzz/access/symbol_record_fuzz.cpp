// Symbol information records as a target might send them: the decoder must
// take every byte string without reading past it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "SymbolRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that a read past the bytes is seen.
    std::vector<uint8_t> bytes(data, data + size);
    ZtEventLoggerVdlApi::SymbolInfo info;
    if (ZtEventLoggerVdlApi::detail::DecodeSymbolRecord(bytes.data(), bytes.size(), info) == 0 &&
        info.name.size() + info.typeName.size() + info.comment.size() + 30 > size)
        __builtin_trap();  // texts longer than the record they came in
    return 0;
}
