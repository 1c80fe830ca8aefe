#include "ZtBinaryStreamWriter.h"

namespace ZtEventLoggerVdlProxy {

uint64_t ZtStreamKeyHash(const char* key) noexcept {
    if (key == nullptr) return 0;
    // The service compares keys up to their first '.', so "handle.x" and
    // "handle" are one key.
    size_t n = 0;
    while (key[n] != '\0' && key[n] != '.') ++n;
    uint64_t r = 0;
    while (n > 0) {
        const auto s = static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(key[--n])));
        r = ~(r >> 3) + ~s + (r << 7);
    }
    return r;
}

// The one buffer type request streams use.
template class ZtBinaryStreamWriter<ZtStreamBuffer<unsigned int>>;

}  // namespace ZtEventLoggerVdlProxy
