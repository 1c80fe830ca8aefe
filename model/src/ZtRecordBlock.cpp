#include "ZtRecordBlock.h"

#include <cstring>
#include <new>

namespace ZtEventLoggerCommon {

ZtEventEntity* AllocateRecord(size_t length) noexcept {
    if (length < kEventHeadSize) return nullptr;
    return reinterpret_cast<ZtEventEntity*>(new (std::nothrow) unsigned char[length]);
}


HRESULT CopyRecord(const ZtEventEntity* source, RecordBlock* copy) noexcept {
    if (copy == nullptr) return ZtAtlCom::E_POINTER;
    copy->reset();
    if (source == nullptr) return ZtAtlCom::E_POINTER;
    // The length rule is all a record says about its size; checking against
    // it keeps every later read inside the copy.
    const uint64_t length = RecordLength(source);
    if (length > SIZE_MAX || CheckRecord(source, static_cast<size_t>(length), nullptr) != RecordCheck::Ok)
        return ZtAtlCom::E_INVALIDARG;
    ZtEventEntity* block = AllocateRecord(static_cast<size_t>(length));
    if (block == nullptr) return ZtAtlCom::E_OUTOFMEMORY;
    std::memcpy(block, source, static_cast<size_t>(length));
    copy->reset(block);
    return ZtAtlCom::S_OK;
}

bool SameRecord(const ZtEventEntity* a, const ZtEventEntity* b) noexcept {
    const uint64_t length = RecordLength(a);
    return length == RecordLength(b) && std::memcmp(a, b, static_cast<size_t>(length)) == 0;
}

}  // namespace ZtEventLoggerCommon
