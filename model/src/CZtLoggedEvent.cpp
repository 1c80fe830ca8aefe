#include "CZtLoggedEvent.h"

#include "ZtEventProperties.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::S_OK;
namespace P = EventProperties;

HRESULT CZtLoggedEvent::Init(ZtEventEntity* record, IResourceManager* resources) noexcept {
    ZtEventLoggerCommon::RecordBlock copy;
    HRESULT hr = ZtEventLoggerCommon::CopyRecord(record, &copy);
    if (ZtAtlCom::Failed(hr)) return hr;
    m_record = std::move(copy);
    if (resources != nullptr) resources->ZtAddRef();
    m_resources.reset(resources);
    return S_OK;
}

HRESULT CZtLoggedEvent::Init(ZtEventLoggerCommon::RecordBlock&& record, IResourceManager* resources) noexcept {
    if (!record) return ZtAtlCom::E_POINTER;
    m_record = std::move(record);
    if (resources != nullptr) resources->ZtAddRef();
    m_resources.reset(resources);
    return S_OK;
}

uint64_t CZtLoggedEvent::ClearTime() const noexcept {
    return m_record->fileTimeCleared != 0 ? m_record->fileTimeCleared : m_record->fileTimeDisposed;
}

HRESULT CZtLoggedEvent::get_EventClass(GUID* eventClass) {
    return Read(eventClass, [&](const ZtEventEntity* r) { return *eventClass = r->eventClass, S_OK; });
}

HRESULT CZtLoggedEvent::get_EventId(unsigned int* eventId) {
    return Read(eventId, [&](const ZtEventEntity* r) { return *eventId = r->eventId, S_OK; });
}

HRESULT CZtLoggedEvent::get_KeyQualifier(unsigned int* keyQualifier) {
    return Read(keyQualifier, [&](const ZtEventEntity* r) { return *keyQualifier = r->keyQualifier, S_OK; });
}

HRESULT CZtLoggedEvent::get_SeverityLevel(tagSeverityLevelEnum* severity) {
    return Read(severity, [&](const ZtEventEntity* r) -> HRESULT {
        // Beyond the known levels: the highest one as the result, nothing written.
        if (r->severityLevel > SeverityCritical) return SeverityCritical;
        *severity = static_cast<tagSeverityLevelEnum>(r->severityLevel);
        return S_OK;
    });
}

HRESULT CZtLoggedEvent::get_EventType(tagEventTypeEnum* eventType) {
    return Read(eventType, [&](const ZtEventEntity* r) {
        *eventType = static_cast<tagEventTypeEnum>(ZtEventLoggerCommon::EventTypeOf(r));
        return S_OK;
    });
}

HRESULT CZtLoggedEvent::IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) {
    return Read(supported, [&](const ZtEventEntity* r) { return P::SourceInfoSupported(r, type, supported); });
}

HRESULT CZtLoggedEvent::get_SourceId(unsigned int* sourceId) {
    return Read(sourceId, [&](const ZtEventEntity* r) { return P::SourceId(r, sourceId); });
}

HRESULT CZtLoggedEvent::get_SourceGuid(GUID* sourceGuid) {
    return Read(sourceGuid, [&](const ZtEventEntity* r) { return P::SourceGuid(r, sourceGuid); });
}

HRESULT CZtLoggedEvent::get_SourceName(BSTR* sourceName) {
    return Read(sourceName, [&](const ZtEventEntity* r) { return P::SourceName(r, sourceName, P::kNoSourceItem); });
}

HRESULT CZtLoggedEvent::get_TimeRaised(DATE* time) {
    return Read(time, [&](const ZtEventEntity* r) { return P::Date(r->fileTimeRaised, time); });
}

HRESULT CZtLoggedEvent::get_FileTimeRaised(long* fileTime) {
    return Read(fileTime, [&](const ZtEventEntity* r) { return P::FileTime(r->fileTimeRaised, fileTime); });
}

HRESULT CZtLoggedEvent::get_TimeCleared(DATE* time) {
    return Read(time, [&](const ZtEventEntity*) { return P::Date(ClearTime(), time); });
}

HRESULT CZtLoggedEvent::get_FileTimeCleared(long* fileTime) {
    return Read(fileTime, [&](const ZtEventEntity*) { return P::FileTime(ClearTime(), fileTime); });
}

HRESULT CZtLoggedEvent::get_WithConfirmation(VARIANT_BOOL* withConfirmation) {
    return Read(withConfirmation, [&](const ZtEventEntity* r) {
        *withConfirmation = r->confirmationState != 0 ? ZtAtlCom::VARIANT_TRUE : ZtAtlCom::VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CZtLoggedEvent::get_TimeConfirmed(DATE* time) {
    return Read(time, [&](const ZtEventEntity* r) { return P::Date(r->fileTimeConfirmed, time); });
}

HRESULT CZtLoggedEvent::get_FileTimeConfirmed(long* fileTime) {
    return Read(fileTime, [&](const ZtEventEntity* r) { return P::FileTime(r->fileTimeConfirmed, fileTime); });
}

HRESULT CZtLoggedEvent::GetText(long langId, BSTR* text) {
    return Read(text, [&](const ZtEventEntity*) { return P::Text(m_resources.get(), m_record.get(), langId, text); });
}

HRESULT CZtLoggedEvent::GetEventClassName(long langId, BSTR* name) {
    return Read(name, [&](const ZtEventEntity* r) {
        const GUID eventClass = r->eventClass;  // a copy: the head is packed
        return P::EventClassName(m_resources.get(), eventClass, langId, name);
    });
}

HRESULT CZtLoggedEvent::get_JsonAttribute(BSTR* json) {
    return Read(json, [&](const ZtEventEntity* r) { return ZtEventLoggerCommon::JsonAttribute(r, json); });
}

HRESULT CZtLoggedEvent::get_IsActive(VARIANT_BOOL* active) {
    return Read(active, [&](const ZtEventEntity* r) {
        // Only an alarm can be active; a logged message never is.
        const bool isActive = r->eventType != 0 && (r->isRaised != 0 || r->confirmationState == 2);
        *active = isActive ? ZtAtlCom::VARIANT_TRUE : ZtAtlCom::VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CZtLoggedEvent::GetArgumentInfo(ZtEventArgumentsInfo* info) {
    return Read(info, [&](const ZtEventEntity* r) { return P::ArgumentInfo(r, info); });
}

HRESULT CZtLoggedEvent::GetArgumentData(void** buffer, unsigned int size) {
    return Read(buffer, [&](const ZtEventEntity* r) { return P::ArgumentData(r, buffer, size); });
}

HRESULT CZtLoggedEvent::GetCauseRemedy(long langId, IZtCauseRemedyCollection** causes) {
    return Read(causes, [&](const ZtEventEntity* r) {
        const GUID eventClass = r->eventClass;
        return P::CauseRemedies(m_resources.get(), eventClass, r->eventId, langId, causes);
    });
}

HRESULT CZtLoggedEvent::GetDetails(long langId, IZtDetailCollection** details) {
    return Read(details, [&](const ZtEventEntity* r) {
        const GUID eventClass = r->eventClass;
        return P::Details(m_resources.get(), eventClass, r->eventId, langId, details);
    });
}

}  // namespace ZtEventLoggerVdlProxy
