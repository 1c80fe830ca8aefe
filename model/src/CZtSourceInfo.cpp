#include "CZtSourceInfo.h"

#include <cstring>
#include <iterator>

#include "ZtAtlCom/BStr.h"

namespace ZtEventLoggerVdlProxy {

using namespace ZtAtlCom;

namespace {
constexpr HRESULT kNotStored = 50;
}

HRESULT CZtSourceInfo::IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) {
    if (supported == nullptr) return E_POINTER;
    ObjectLock lock(this);
    *supported = m_items.count(type) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZtSourceInfo::get_Count(int* count) {
    if (count == nullptr) return E_POINTER;
    ObjectLock lock(this);
    *count = static_cast<int>(m_items.size());
    return S_OK;
}

HRESULT CZtSourceInfo::Clear() {
    std::map<tagZtSourceInfoTypeEnum, ZtSourceInfoEntry> removed;
    ObjectLock lock(this);
    removed.swap(m_items);
    return S_OK;
}

HRESULT CZtSourceInfo::GetData(unsigned int index, tagZtSourceInfoTypeEnum* type, void* destination,
                               unsigned int* size) {
    if (size == nullptr) return E_POINTER;
    ObjectLock lock(this);
    if (index >= m_items.size()) return DISP_E_BADINDEX;
    const ZtSourceInfoEntry& item = std::next(m_items.begin(), index)->second;
    if (type != nullptr) *type = item.Type();
    return item.GetData(destination, *size);
}

HRESULT CZtSourceInfo::Store(tagZtSourceInfoTypeEnum type, const void* data, unsigned long size) noexcept {
    ZtSourceInfoEntry entry;
    HRESULT hr = entry.Set(type, data, size);
    if (Failed(hr)) return hr;
    try {
        ObjectLock lock(this);
        m_items.insert_or_assign(type, std::move(entry));
    } catch (...) {
        return ZT_E_SOURCE_INFO_NO_MEMORY;
    }
    return S_OK;
}

template <class T>
HRESULT CZtSourceInfo::Fetch(tagZtSourceInfoTypeEnum type, T* out) noexcept {
    if (out == nullptr) return E_POINTER;
    ObjectLock lock(this);
    auto it = m_items.find(type);
    if (it == m_items.end()) return kNotStored;
    // Through a local so that a failed copy leaves the output untouched.
    T value;
    unsigned int allowed = sizeof(T);
    HRESULT hr = it->second.GetData(&value, allowed);
    if (Succeeded(hr) && allowed == sizeof(T)) *out = value;
    return hr;
}

HRESULT CZtSourceInfo::get_Id(unsigned int* id) { return Fetch(SourceInfoId, id); }

HRESULT CZtSourceInfo::put_Id(unsigned int id) { return Store(SourceInfoId, &id, sizeof(id)); }

HRESULT CZtSourceInfo::get_Guid(GUID* guid) { return Fetch(SourceInfoGuid, guid); }

HRESULT CZtSourceInfo::put_Guid(GUID guid) { return Store(SourceInfoGuid, &guid, sizeof(guid)); }

HRESULT CZtSourceInfo::get_Name(BSTR* name) {
    if (name == nullptr) return E_POINTER;
    ObjectLock lock(this);
    auto it = m_items.find(SourceInfoName);
    if (it == m_items.end()) return kNotStored;
    const ZtSourceInfoEntry& item = it->second;
    *name = item.Size() == 0 ? SysAllocString("")
                             : SysAllocStringByteLen(static_cast<const char*>(item.Data()), item.Size());
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CZtSourceInfo::put_Name(BSTR name) {
    const char* text = name != nullptr ? name : "";
    return Store(SourceInfoName, text, std::strlen(text) + 1);
}

}  // namespace ZtEventLoggerVdlProxy
