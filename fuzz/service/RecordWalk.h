// Reads every part of a checked record the way the event objects do, so that
// a check that lets a bad record through shows up as an out-of-bounds read.
#ifndef ZT_FUZZ_RECORD_WALK_H
#define ZT_FUZZ_RECORD_WALK_H

#include <cstring>
#include <vector>

#include "ZtEventEntity.h"

inline void WalkRecord(const ZtEventLoggerCommon::ZtEventEntity* e) {
    using namespace ZtEventLoggerCommon;
    ZtAtlCom::BSTR text = nullptr;
    if (JsonAttribute(e, &text) == ZtAtlCom::S_OK) ZtAtlCom::SysFreeString(text);
    const auto* base = reinterpret_cast<const uint8_t*>(e);
    uint8_t item[16];
    if (auto d = FindSourceInfo(e, 1)) std::memcpy(item, base + d->offset, 4);
    if (auto d = FindSourceInfo(e, 2)) std::memcpy(item, base + d->offset, 16);
    if (auto d = FindSourceInfo(e, 4)) {
        if (RecordText(e, d->offset, d->size, &text) == ZtAtlCom::S_OK) ZtAtlCom::SysFreeString(text);
        (void)std::strlen(reinterpret_cast<const char*>(base + d->offset));
    }
    volatile size_t sink = 0;
    for (uint32_t i = 0; auto span = ArgumentAt(e, i); ++i) {
        const auto* value = base + span->offset;
        if ((span->type == 14 || span->type == 21) && span->size != 0)
            sink = sink + std::strlen(reinterpret_cast<const char*>(value));
        for (uint32_t b = 0; b < span->size; ++b) sink = sink + value[b];
    }
    auto info = ArgumentsInfo(e);
    std::vector<uint8_t> args(static_cast<size_t>(info.typesSize) + info.dataSize);
    (void)CopyArgumentData(e, args.data(), args.size());
    double date;
    (void)FileTimeToDate(e->fileTimeRaised, &date);
}

#endif  // ZT_FUZZ_RECORD_WALK_H
