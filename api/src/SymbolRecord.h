// SymbolRecord.h - decoding the symbol information record (internal).
#ifndef ZT_SYMBOL_RECORD_H
#define ZT_SYMBOL_RECORD_H

#include <cstddef>
#include <cstdint>

#include "ZtEventLoggerVdlApi/SymbolInfo.h"

namespace ZtEventLoggerVdlApi::detail {

constexpr size_t kSymbolRecordHead = 30;

// Layout (little-endian): record length (4) at 0, index group (4) at 4, index
// offset (4) at 8, size (4) at 12, data type (4) at 16, flags (4) at 20, name
// length (2) at 24, type-name length (2) at 26, comment length (2) at 28; the
// name at 30, the type name at 31 + name length, the comment at 32 + name
// length + type-name length, each taken up to its NUL.
//
// bytes/size are the bytes actually received. The record must fit in them
// (record length from 30 up to size) and each text, with its NUL, in the
// record; otherwise 1798 and info is left as it was. 0 on success.
uint32_t DecodeSymbolRecord(const uint8_t* bytes, size_t size, SymbolInfo& info);

}  // namespace ZtEventLoggerVdlApi::detail

#endif  // ZT_SYMBOL_RECORD_H
