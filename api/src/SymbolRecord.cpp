#include "SymbolRecord.h"

#include <cstring>
#include <optional>
#include <string>

#include "LittleEndian.h"
#include "ZtEventLoggerVdlApi/VdlErrors.h"

namespace ZtEventLoggerVdlApi::detail {

namespace {

// The text at offset with its announced length: up to the first NUL within
// length + 1 bytes, all of which must lie inside the record.
std::optional<std::string> Text(const uint8_t* record, size_t recordSize, size_t offset, size_t length) {
    if (offset > recordSize || length + 1 > recordSize - offset) return std::nullopt;
    const char* p = reinterpret_cast<const char*>(record + offset);
    const void* nul = std::memchr(p, 0, length + 1);
    if (nul == nullptr) return std::nullopt;
    return std::string(p, static_cast<const char*>(nul));
}

}  // namespace

uint32_t DecodeSymbolRecord(const uint8_t* bytes, size_t size, SymbolInfo& info) {
    if (bytes == nullptr || size < kSymbolRecordHead) return VDL_ERR_INVALID_DATA;
    const size_t recordSize = Le32(bytes);
    if (recordSize < kSymbolRecordHead || recordSize > size) return VDL_ERR_INVALID_DATA;
    const size_t nameLen = Le16(bytes + 24), typeLen = Le16(bytes + 26), commentLen = Le16(bytes + 28);
    auto name = Text(bytes, recordSize, kSymbolRecordHead, nameLen);
    auto type = Text(bytes, recordSize, kSymbolRecordHead + nameLen + 1, typeLen);
    auto comment = Text(bytes, recordSize, kSymbolRecordHead + nameLen + typeLen + 2, commentLen);
    if (!name || !type || !comment) return VDL_ERR_INVALID_DATA;

    info.indexGroup = Le32(bytes + 4);
    info.indexOffset = Le32(bytes + 8);
    info.size = Le32(bytes + 12);
    info.dataType = Le32(bytes + 16);
    info.name = std::move(*name);
    info.typeName = std::move(*type);
    info.comment = std::move(*comment);
    info.error = 0;
    return VDL_OK;
}

}  // namespace ZtEventLoggerVdlApi::detail
