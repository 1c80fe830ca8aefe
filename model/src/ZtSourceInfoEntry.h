// ZtSourceInfoEntry.h - one stored source item of a CZtSourceInfo: its type
// and a heap copy of its bytes (internal).
#ifndef ZT_SOURCE_INFO_ENTRY_H
#define ZT_SOURCE_INFO_ENTRY_H

#include <cstdint>

#include "ZtAtlCom/HResult.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"

namespace ZtEventLoggerVdlProxy {

using ZtSourceInfoType = tagZtSourceInfoTypeEnum;

// Storing failed for lack of memory; the destination is too small.
constexpr ZtAtlCom::HRESULT ZT_E_SOURCE_INFO_NO_MEMORY = ZtAtlCom::MakeHResult(0x9811070Au);
constexpr ZtAtlCom::HRESULT ZT_E_SOURCE_INFO_TOO_SMALL = ZtAtlCom::MakeHResult(0x98110705u);

class ZtSourceInfoEntry {
public:
    ZtSourceInfoEntry() noexcept = default;
    // Copies size bytes of data; when that copy cannot be made the entry
    // stays empty (type set, size 0).
    ZtSourceInfoEntry(ZtSourceInfoType type, const void* data, unsigned long size) noexcept;
    ZtSourceInfoEntry(ZtSourceInfoEntry&& other) noexcept;
    ZtSourceInfoEntry& operator=(ZtSourceInfoEntry&& other) noexcept;
    ZtSourceInfoEntry(const ZtSourceInfoEntry&) = delete;
    ZtSourceInfoEntry& operator=(const ZtSourceInfoEntry&) = delete;
    ~ZtSourceInfoEntry();

    // Type, size and a copy of the bytes (none for null data or size 0).
    // ZT_E_SOURCE_INFO_NO_MEMORY keeps the entry as it was.
    ZtAtlCom::HRESULT Set(ZtSourceInfoType type, const void* data, unsigned long size) noexcept;
    // The bytes only, the type kept.
    ZtAtlCom::HRESULT SetData(const void* data, unsigned long size) noexcept;

    // Null destination: size receives the item's size. Otherwise
    // ZT_E_SOURCE_INFO_TOO_SMALL (nothing copied) when size is below the
    // item's size, else size receives it and the bytes are copied.
    ZtAtlCom::HRESULT GetData(void* destination, unsigned int& size) const noexcept;

    ZtSourceInfoType Type() const noexcept { return m_type; }
    uint32_t Size() const noexcept { return m_size; }
    const void* Data() const noexcept { return m_data; }

private:
    ZtSourceInfoType m_type = static_cast<ZtSourceInfoType>(0);
    uint32_t m_size = 0;
    void* m_data = nullptr;  // malloc block, null when m_size is 0
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_SOURCE_INFO_ENTRY_H
