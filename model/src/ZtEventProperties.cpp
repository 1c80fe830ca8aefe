#include "ZtEventProperties.h"

#include <cstring>

#include "CZtCauseRemedyCollection.h"
#include "CZtDetailCollection.h"
#include "ZtEventLink.h"

namespace ZtEventLoggerVdlProxy::EventProperties {

using ZtAtlCom::E_OUTOFMEMORY;
using ZtAtlCom::E_POINTER;
using ZtAtlCom::S_OK;
using ZtEventLoggerCommon::FindSourceInfo;

namespace {

// The value of the first source item of a type, when it is long enough.
template <class T>
HRESULT SourceValue(const ZtEventEntity* record, tagZtSourceInfoTypeEnum type, T* out) noexcept {
    if (out == nullptr) return E_POINTER;
    const auto item = FindSourceInfo(record, static_cast<uint32_t>(type));
    if (!item || item->size < sizeof(T)) return kNoSourceItem;
    std::memcpy(out, reinterpret_cast<const uint8_t*>(record) + item->offset, sizeof(T));
    return S_OK;
}

}  // namespace

HRESULT MakeBstr(const char* text, size_t length, BSTR* out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (length > UINT32_MAX) return E_OUTOFMEMORY;
    // SysAllocStringLen makes nothing for length 0; an empty text is still a BSTR.
    *out = length == 0 ? ZtAtlCom::SysAllocString("")
                       : ZtAtlCom::SysAllocStringByteLen(text, static_cast<ZtAtlCom::UINT>(length));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT SourceInfoSupported(const ZtEventEntity* record, tagZtSourceInfoTypeEnum type,
                            VARIANT_BOOL* supported) noexcept {
    if (supported == nullptr) return E_POINTER;
    *supported = FindSourceInfo(record, static_cast<uint32_t>(type)) ? ZtAtlCom::VARIANT_TRUE
                                                                      : ZtAtlCom::VARIANT_FALSE;
    return S_OK;
}

HRESULT SourceId(const ZtEventEntity* record, unsigned int* id) noexcept {
    return SourceValue(record, SourceInfoId, id);
}

HRESULT SourceGuid(const ZtEventEntity* record, GUID* guid) noexcept {
    return SourceValue(record, SourceInfoGuid, guid);
}

HRESULT SourceName(const ZtEventEntity* record, BSTR* name, HRESULT missing) noexcept {
    if (name == nullptr) return E_POINTER;
    const auto item = FindSourceInfo(record, SourceInfoName);
    if (!item) {
        if (missing == S_OK) *name = nullptr;  // the empty text; otherwise nothing is written
        return missing;
    }
    return ZtEventLoggerCommon::RecordText(record, item->offset, item->size, name);
}

HRESULT Date(uint64_t fileTime, DATE* date) noexcept { return ZtEventLoggerCommon::FileTimeToDate(fileTime, date); }

HRESULT FileTime(uint64_t fileTime, long* out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = static_cast<long>(fileTime);
    return S_OK;
}

HRESULT ArgumentInfo(const ZtEventEntity* record, ZtEventArgumentsInfo* info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = ZtEventLoggerCommon::ArgumentsInfo(record);
    return S_OK;
}

HRESULT ArgumentData(const ZtEventEntity* record, void** buffer, unsigned int size) noexcept {
    if (buffer == nullptr) return E_POINTER;
    return ZtEventLoggerCommon::CopyArgumentData(record, buffer, size);
}

HRESULT Text(IResourceManager* resources, ZtEventEntity* record, long langId, BSTR* text) noexcept {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    if (resources == nullptr) return ZT_E_LINK_RELEASED;
    return ZtAtlCom::ZtAtlCall([&] { return resources->GetMessageString(record, langId, text); });
}

HRESULT EventClassName(IResourceManager* resources, const GUID& eventClass, long langId, BSTR* name) noexcept {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    if (resources == nullptr) return ZT_E_LINK_RELEASED;
    return ZtAtlCom::ZtAtlCall([&] { return resources->GetEventClassName(eventClass, langId, name); });
}

HRESULT CauseRemedies(IResourceManager* resources, const GUID& eventClass, unsigned int eventId, long langId,
                      IZtCauseRemedyCollection** causes) noexcept {
    if (causes == nullptr) return E_POINTER;
    *causes = nullptr;
    std::vector<CauseRemedy> entries;
    // A failed lookup lists nothing: the host gets an empty collection.
    if (resources != nullptr && ZtAtlCom::Failed(ZtAtlCom::ZtAtlCall([&] {
            return resources->GetCauseRemedy(eventClass, eventId, langId, entries);
        })))
        entries.clear();
    return ZtAtlCom::Create<CZtCauseRemedyCollection, IZtCauseRemedyCollection>(causes, std::move(entries));
}

HRESULT Details(IResourceManager* resources, const GUID& eventClass, unsigned int eventId, long langId,
                IZtDetailCollection** details) noexcept {
    if (details == nullptr) return E_POINTER;
    *details = nullptr;
    std::vector<Detail> entries;
    if (resources != nullptr && ZtAtlCom::Failed(ZtAtlCom::ZtAtlCall([&] {
            return resources->GetEventDetails(eventClass, eventId, langId, entries);
        })))
        entries.clear();
    return ZtAtlCom::Create<CZtDetailCollection, IZtDetailCollection>(details, std::move(entries));
}

}  // namespace ZtEventLoggerVdlProxy::EventProperties
