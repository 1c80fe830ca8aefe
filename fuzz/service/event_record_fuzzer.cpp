// Event records from an untrusted service: the check must refuse every record
// whose blocks reach beyond the bytes given.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "RecordWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy, so that any read past the end is caught.
    auto* copy = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (size != 0) std::memcpy(copy, data, size);
    size_t length = 0;
    if (ZtEventLoggerCommon::CheckRecord(copy, size, &length) == ZtEventLoggerCommon::RecordCheck::Ok)
        WalkRecord(reinterpret_cast<const ZtEventLoggerCommon::ZtEventEntity*>(copy));
    std::free(copy);
    return 0;
}
