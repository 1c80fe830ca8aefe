// RecordBytes.h - builds event records byte by byte for tests, independently
// of any record code of the library.
#ifndef ZT_TEST_RECORD_BYTES_H
#define ZT_TEST_RECORD_BYTES_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ZtTest {

struct RecordLayout {
    uint8_t eventClass[16] = {0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8, 0x09};
    uint32_t eventId = 42, qualifier = 0;
    uint16_t severity = 2, eventType = 1, confirmation = 2;
    uint8_t isRaised = 1;
    uint64_t raised = 0, cleared = 0, disposed = 0, confirmed = 0;
    struct Source {
        uint32_t type;
        std::vector<uint8_t> data;
    };
    std::vector<Source> sources;
    std::string json;  // empty: no attribute
    std::vector<uint16_t> types;
    std::vector<uint8_t> data;
};

inline void Put(std::vector<uint8_t>& b, size_t at, const void* p, size_t n) { std::memcpy(b.data() + at, p, n); }
template <class T>
void PutV(std::vector<uint8_t>& b, size_t at, T v) {
    Put(b, at, &v, sizeof(v));
}

// Tails in the order source info, JSON, types, data.
inline std::vector<uint8_t> BuildRecord(const RecordLayout& s) {
    std::vector<uint8_t> b(120, 0);
    Put(b, 0, s.eventClass, 16);
    PutV(b, 16, s.eventId);
    PutV(b, 20, s.qualifier);
    PutV(b, 24, s.severity);
    PutV(b, 40, s.isRaised);
    PutV(b, 42, s.eventType);
    PutV(b, 48, s.raised);
    PutV(b, 56, s.cleared);
    PutV(b, 64, s.disposed);
    PutV(b, 72, s.confirmation);
    PutV(b, 80, s.confirmed);
    // Source info: table then data.
    uint32_t siOffset = 120, siCount = static_cast<uint32_t>(s.sources.size());
    uint32_t dataAt = siOffset + 12 * siCount;
    std::vector<uint8_t> si(12 * siCount);
    std::vector<uint8_t> siData;
    for (uint32_t i = 0; i < siCount; ++i) {
        uint32_t words[3] = {s.sources[i].type, dataAt + static_cast<uint32_t>(siData.size()),
                             static_cast<uint32_t>(s.sources[i].data.size())};
        std::memcpy(si.data() + 12 * i, words, 12);
        siData.insert(siData.end(), s.sources[i].data.begin(), s.sources[i].data.end());
    }
    si.insert(si.end(), siData.begin(), siData.end());
    PutV(b, 28, siCount);
    PutV(b, 32, siOffset);
    PutV(b, 36, static_cast<uint32_t>(si.size()));
    b.insert(b.end(), si.begin(), si.end());
    uint32_t jsonSize = s.json.empty() ? 0 : static_cast<uint32_t>(s.json.size() + 1);
    PutV(b, 88, static_cast<uint32_t>(b.size()));
    PutV(b, 92, jsonSize);
    if (jsonSize) b.insert(b.end(), s.json.c_str(), s.json.c_str() + jsonSize);
    uint32_t typesSize = static_cast<uint32_t>(2 * s.types.size());
    PutV(b, 96, static_cast<uint32_t>(s.types.size()));
    PutV(b, 100, static_cast<uint32_t>(b.size()));
    PutV(b, 104, typesSize);
    for (uint16_t t : s.types) {
        b.push_back(static_cast<uint8_t>(t));
        b.push_back(static_cast<uint8_t>(t >> 8));
    }
    PutV(b, 108, static_cast<uint32_t>(b.size()));
    PutV(b, 112, static_cast<uint32_t>(s.data.size()));
    b.insert(b.end(), s.data.begin(), s.data.end());
    return b;
}

// A notification frame: the 12-byte header (version, type, format 0, payload
// length) and the payload.
inline std::vector<uint8_t> BuildFrame(uint32_t version, uint16_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> f(12, 0);
    PutV(f, 0, version);
    PutV(f, 4, type);
    PutV(f, 8, static_cast<uint32_t>(payload.size()));
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}

}  // namespace ZtTest

#endif  // ZT_TEST_RECORD_BYTES_H
