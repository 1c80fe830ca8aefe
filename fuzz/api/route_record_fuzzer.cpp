// Route table rows from an untrusted router.
#include <cstddef>
#include <cstdint>

#include "RouteRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto r = ZtEventLoggerVdlApi::detail::DecodeRouteRecord(data, size);
    if (r) {
        volatile size_t n = r->name.size() + r->firstText.size();
        (void)n;
    }
    return 0;
}
