// ZtRecordBlock.h - owned copies of event records (internal).
//
// Every record the event model keeps, and every record a request of the
// service proxy hands back (ReadActiveEvents, GetLoggedEvents...), is one
// block of exactly RecordLength bytes allocated as an array of unsigned char:
// AllocateRecord makes one, FreeEventRecord (ZtServiceInterfaces.h) gives it
// back. Event objects copy the records they are given with CopyRecord, which
// refuses records whose blocks do not lie inside their own length, so the
// readers of ZtEventEntity.h are safe on every copy.
#ifndef ZT_RECORD_BLOCK_H
#define ZT_RECORD_BLOCK_H

#include <cstddef>
#include <memory>
#include <vector>

#include "ZtEventEntity.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerCommon {

// A new uninitialised block of length bytes (at least the head); null when
// memory runs out or length is below 120.
ZtEventEntity* AllocateRecord(size_t length) noexcept;

struct RecordDeleter {
    void operator()(ZtEventEntity* record) const noexcept { ZtEventLoggerVdlProxy::FreeEventRecord(record); }
};
// Owns one record block.
using RecordBlock = std::unique_ptr<ZtEventEntity, RecordDeleter>;

// Copies the record at source (a block of at least RecordLength(source)
// bytes) into a new block. E_POINTER for a null source or out-pointer,
// E_INVALIDARG when a block the head names lies outside the record (nothing
// copied), E_OUTOFMEMORY when no block could be made. *copy is null on
// failure.
HRESULT CopyRecord(const ZtEventEntity* source, RecordBlock* copy) noexcept;

// Whether two records hold the same bytes (length included).
bool SameRecord(const ZtEventEntity* a, const ZtEventEntity* b) noexcept;

}  // namespace ZtEventLoggerCommon

#endif  // ZT_RECORD_BLOCK_H
