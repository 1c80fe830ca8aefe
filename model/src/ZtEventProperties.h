// ZtEventProperties.h - the property reads that messages, alarms and logged
// events share, straight from a checked record (internal).
//
// Each function checks its out-pointer (E_POINTER) and writes nothing on
// failure. The source-item readers answer kNoSourceItem (50, a success
// value) with the output untouched when the record has no item of the kind,
// or one too short for its value.
#ifndef ZT_EVENT_PROPERTIES_H
#define ZT_EVENT_PROPERTIES_H

#include <string>

#include "ZtEventEntity.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy::EventProperties {

constexpr HRESULT kNoSourceItem = 50;

// A new BSTR of the text; an empty text gives a valid empty BSTR.
// E_POINTER, E_OUTOFMEMORY.
HRESULT MakeBstr(const char* text, size_t length, BSTR* out) noexcept;
inline HRESULT MakeBstr(const std::string& text, BSTR* out) noexcept {
    return MakeBstr(text.data(), text.size(), out);
}

HRESULT SourceInfoSupported(const ZtEventEntity* record, tagZtSourceInfoTypeEnum type,
                            VARIANT_BOOL* supported) noexcept;
HRESULT SourceId(const ZtEventEntity* record, unsigned int* id) noexcept;
HRESULT SourceGuid(const ZtEventEntity* record, GUID* guid) noexcept;
// The name without its NUL; `missing` is the answer when there is no name item.
HRESULT SourceName(const ZtEventEntity* record, BSTR* name, HRESULT missing) noexcept;

// FILETIME as DATE: S_FALSE with 0.0 when not set.
HRESULT Date(uint64_t fileTime, DATE* date) noexcept;
HRESULT FileTime(uint64_t fileTime, long* out) noexcept;

HRESULT ArgumentInfo(const ZtEventEntity* record, ZtEventArgumentsInfo* info) noexcept;
// Types then data at the address `buffer` itself (size bytes there).
HRESULT ArgumentData(const ZtEventEntity* record, void** buffer, unsigned int size) noexcept;

// The message text formatted by the service; ZT_E_LINK_RELEASED without
// resources.
HRESULT Text(IResourceManager* resources, ZtEventEntity* record, long langId, BSTR* text) noexcept;
HRESULT EventClassName(IResourceManager* resources, const GUID& eventClass, long langId, BSTR* name) noexcept;

// The cause/remedy and detail collections of an event. A failed lookup (or no
// resources) gives an empty collection with S_OK; E_OUTOFMEMORY when the
// collection cannot be made.
HRESULT CauseRemedies(IResourceManager* resources, const GUID& eventClass, unsigned int eventId, long langId,
                      IZtCauseRemedyCollection** causes) noexcept;
HRESULT Details(IResourceManager* resources, const GUID& eventClass, unsigned int eventId, long langId,
                IZtDetailCollection** details) noexcept;

}  // namespace ZtEventLoggerVdlProxy::EventProperties

#endif  // ZT_EVENT_PROPERTIES_H
