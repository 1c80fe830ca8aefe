// CZtLoggedEvent.h - one event of the service's log as a query returned it
// (internal; hosts see IZtLoggedEvent4 and its older versions).
//
// Made by the logged-event collection:
//     Create<CZtLoggedEvent, IZtLoggedEvent>(&p, record, resources);
// Init copies the record (the caller keeps its own) and takes a reference
// to the resources (the event handler's link). The record never changes, so
// reads need no lock. Differences from messages and alarms: a stored
// severity above 4 answers 4 with nothing written; a missing source name
// answers 50; the clear time falls back to the disposal time; null
// out-pointers give E_POINTER everywhere.
#ifndef ZT_CZT_LOGGED_EVENT_H
#define ZT_CZT_LOGGED_EVENT_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtRecordBlock.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

class CZtLoggedEvent
    : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
      public ZtAtlCom::ISupportErrorInfoImpl<&IID_IZtLoggedEvent, &IID_IZtLoggedEvent2, &IID_IZtLoggedEvent3>,
      public ZtAtlCom::IDispatchImpl<IZtLoggedEvent4, &IID_IZtLoggedEvent4>,
      public IZtEventIdentity {
public:
    BEGIN_COM_MAP(CZtLoggedEvent)
        COM_INTERFACE_ENTRY(IZtLoggedEvent4)
        COM_INTERFACE_ENTRY2(IDispatch, IZtLoggedEvent4)
        COM_INTERFACE_ENTRY_IID(IID_IZtLoggedEvent, IZtLoggedEvent4)
        COM_INTERFACE_ENTRY_IID(IID_IZtLoggedEvent2, IZtLoggedEvent4)
        COM_INTERFACE_ENTRY_IID(IID_IZtLoggedEvent3, IZtLoggedEvent4)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY(IZtEventIdentity)
    END_COM_MAP()

    // E_INVALIDARG for a record that fails its check, E_OUTOFMEMORY.
    HRESULT Init(ZtEventEntity* record, IResourceManager* resources) noexcept;
    // The same for a record block given over instead of copied: a block the
    // service proxy's reply parser made, which checked the record against
    // the bytes received and cut the block to its exact length. On failure
    // it stays with the caller.
    HRESULT Init(ZtEventLoggerCommon::RecordBlock&& record, IResourceManager* resources) noexcept;

    HRESULT get_EventClass(GUID* eventClass) override;
    HRESULT get_EventId(unsigned int* eventId) override;
    HRESULT get_KeyQualifier(unsigned int* keyQualifier) override;
    HRESULT get_SeverityLevel(tagSeverityLevelEnum* severity) override;
    HRESULT get_EventType(tagEventTypeEnum* eventType) override;
    HRESULT IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) override;
    HRESULT get_SourceId(unsigned int* sourceId) override;
    HRESULT get_SourceGuid(GUID* sourceGuid) override;
    HRESULT get_SourceName(BSTR* sourceName) override;
    HRESULT get_TimeRaised(DATE* time) override;
    HRESULT get_FileTimeRaised(long* fileTime) override;
    HRESULT get_TimeCleared(DATE* time) override;
    HRESULT get_FileTimeCleared(long* fileTime) override;
    HRESULT get_WithConfirmation(VARIANT_BOOL* withConfirmation) override;
    HRESULT get_TimeConfirmed(DATE* time) override;
    HRESULT get_FileTimeConfirmed(long* fileTime) override;
    HRESULT GetText(long langId, BSTR* text) override;
    HRESULT GetEventClassName(long langId, BSTR* name) override;
    HRESULT get_JsonAttribute(BSTR* json) override;
    HRESULT get_IsActive(VARIANT_BOOL* active) override;
    HRESULT GetArgumentInfo(ZtEventArgumentsInfo* info) override;
    HRESULT GetArgumentData(void** buffer, unsigned int size) override;
    HRESULT GetCauseRemedy(long langId, IZtCauseRemedyCollection** causes) override;
    HRESULT GetDetails(long langId, IZtDetailCollection** details) override;

private:
    // f(record); E_POINTER for a null out-pointer or no record.
    template <class Out, class F>
    HRESULT Read(Out* out, F&& f) const {
        if (out == nullptr || !m_record) return ZtAtlCom::E_POINTER;
        return f(m_record.get());
    }
    // The clear time, or the disposal time for a disposed alarm.
    uint64_t ClearTime() const noexcept;

    ZtEventLoggerCommon::RecordBlock m_record;
    ZtAtlCom::ZtComPtrLite<IResourceManager> m_resources;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_LOGGED_EVENT_H
