#include "ZtSourceInfoEntry.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::HRESULT;
using ZtAtlCom::S_OK;

ZtSourceInfoEntry::ZtSourceInfoEntry(ZtSourceInfoType type, const void* data, unsigned long size) noexcept
    : m_type(type) {
    SetData(data, size);
}

ZtSourceInfoEntry::ZtSourceInfoEntry(ZtSourceInfoEntry&& other) noexcept
    : m_type(other.m_type), m_size(std::exchange(other.m_size, 0)), m_data(std::exchange(other.m_data, nullptr)) {}

ZtSourceInfoEntry& ZtSourceInfoEntry::operator=(ZtSourceInfoEntry&& other) noexcept {
    if (this != &other) {
        std::free(m_data);
        m_type = other.m_type;
        m_size = std::exchange(other.m_size, 0);
        m_data = std::exchange(other.m_data, nullptr);
    }
    return *this;
}

ZtSourceInfoEntry::~ZtSourceInfoEntry() { std::free(m_data); }

HRESULT ZtSourceInfoEntry::Set(ZtSourceInfoType type, const void* data, unsigned long size) noexcept {
    HRESULT hr = SetData(data, size);
    if (ZtAtlCom::Succeeded(hr)) m_type = type;
    return hr;
}

HRESULT ZtSourceInfoEntry::SetData(const void* data, unsigned long size) noexcept {
    if (data == nullptr || size == 0) {
        std::free(m_data);
        m_data = nullptr;
        m_size = 0;
        return S_OK;
    }
    if (size > UINT32_MAX) return ZT_E_SOURCE_INFO_NO_MEMORY;
    // The new copy is made first, so a failure keeps the old bytes intact
    // (never a size without bytes behind it).
    void* copy = std::malloc(size);
    if (copy == nullptr) return ZT_E_SOURCE_INFO_NO_MEMORY;
    std::memcpy(copy, data, size);
    std::free(m_data);
    m_data = copy;
    m_size = static_cast<uint32_t>(size);
    return S_OK;
}

HRESULT ZtSourceInfoEntry::GetData(void* destination, unsigned int& size) const noexcept {
    if (destination == nullptr) {
        size = m_size;
        return S_OK;
    }
    if (size < m_size) return ZT_E_SOURCE_INFO_TOO_SMALL;
    size = m_size;
    if (m_size != 0) std::memcpy(destination, m_data, m_size);
    return S_OK;
}

}  // namespace ZtEventLoggerVdlProxy
