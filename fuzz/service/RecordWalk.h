// Reads every part of a checked record the way the event objects do, so that
// a check that lets a bad record through shows up as an out-of-bounds read.
#ifndef ZT_FUZZ_RECORD_WALK_H
#define ZT_FUZZ_RECORD_WALK_H

#include <vector>

#include "ZtEventEntity.h"

inline void WalkRecord(const ZtEventLoggerCommon::ZtEventEntity* e) {
    using namespace ZtEventLoggerCommon;
    ZtAtlCom::BSTR text = nullptr;
    if (JsonAttribute(e, &text) == ZtAtlCom::S_OK) ZtAtlCom::SysFreeString(text);
    for (uint32_t type : {1u, 2u, 4u}) {
        if (auto d = FindSourceInfo(e, type)) {
            if (RecordText(e, d->offset, d->size, &text) == ZtAtlCom::S_OK) ZtAtlCom::SysFreeString(text);
        }
    }
    auto info = ArgumentsInfo(e);
    std::vector<uint8_t> args(static_cast<size_t>(info.typesSize) + info.dataSize);
    (void)CopyArgumentData(e, args.data(), args.size());
    double date;
    (void)FileTimeToDate(e->fileTimeRaised, &date);
}

#endif  // ZT_FUZZ_RECORD_WALK_H
