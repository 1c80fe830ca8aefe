// ZtEventImpl.h - what messages and alarms have in common: the IZtEvent
// properties and the three operations their versioned interfaces add
// (internal; CZtMessage and CZtAlarm derive from it).
//
// Each object owns a private, checked copy of one record and answers every
// property from it. Derived (CRTP) says how the record is read:
// SharedRecordLock() returns a guard held while the record is read (nothing
// for a message, whose record never changes; the alarm's shared state lock,
// since the handler replaces an alarm's record). Calls that go to the service
// (texts, causes, details) read what they need under the guard and make the
// request without it, so the handler is never held up by a request.
//
// The objects never hold the service proxy or the handler: texts go through
// the handler's ZtEventLink (one counted reference), which answers
// ZT_E_LINK_RELEASED once the logger is gone.
#ifndef ZT_EVENT_IMPL_H
#define ZT_EVENT_IMPL_H

#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLink.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtEventProperties.h"
#include "ZtRecordBlock.h"

namespace ZtEventLoggerVdlProxy {

template <class Derived, class Itf, const ZtAtlCom::IID* piid>
class ZtEventImpl : public ZtAtlCom::IDispatchImpl<Itf, piid>, public IZtEventIdentity {
public:
    // The handler's set-up (through CreateObject<T>(&p, record, link)): a
    // checked private copy of the record and a reference to the link.
    // E_INVALIDARG for a record that fails its check, E_OUTOFMEMORY.
    HRESULT Init(const ZtEventEntity* record, ZtEventLink* link) noexcept {
        ZtEventLoggerCommon::RecordBlock copy;
        HRESULT hr = ZtEventLoggerCommon::CopyRecord(record, &copy);
        if (ZtAtlCom::Failed(hr)) return hr;
        m_record = std::move(copy);
        if (link != nullptr) link->ZtAddRef();
        m_link.reset(link);
        return ZtAtlCom::S_OK;
    }

    // ---- IZtEventIdentity ------------------------------------------------
    HRESULT get_KeyQualifier(unsigned int* keyQualifier) override {
        return Read(keyQualifier, [&](const ZtEventEntity* r) { return *keyQualifier = r->keyQualifier, ZtAtlCom::S_OK; });
    }

    // ---- IZtEvent --------------------------------------------------------
    HRESULT get_EventClass(GUID* eventClass) override {
        return Read(eventClass, [&](const ZtEventEntity* r) { return *eventClass = r->eventClass, ZtAtlCom::S_OK; });
    }
    HRESULT get_EventId(unsigned int* eventId) override {
        return Read(eventId, [&](const ZtEventEntity* r) { return *eventId = r->eventId, ZtAtlCom::S_OK; });
    }
    HRESULT get_SeverityLevel(tagSeverityLevelEnum* severity) override {
        return Read(severity, [&](const ZtEventEntity* r) {
            *severity = static_cast<tagSeverityLevelEnum>(r->severityLevel);
            return ZtAtlCom::S_OK;
        });
    }
    HRESULT get_EventType(tagEventTypeEnum* eventType) override {
        return Read(eventType, [&](const ZtEventEntity* r) {
            *eventType = static_cast<tagEventTypeEnum>(ZtEventLoggerCommon::EventTypeOf(r));
            return ZtAtlCom::S_OK;
        });
    }
    HRESULT IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) override {
        return Read(supported, [&](const ZtEventEntity* r) {
            return EventProperties::SourceInfoSupported(r, type, supported);
        });
    }
    HRESULT get_SourceId(unsigned int* sourceId) override {
        return Read(sourceId, [&](const ZtEventEntity* r) { return EventProperties::SourceId(r, sourceId); });
    }
    HRESULT get_SourceGuid(GUID* sourceGuid) override {
        return Read(sourceGuid, [&](const ZtEventEntity* r) { return EventProperties::SourceGuid(r, sourceGuid); });
    }
    // No name item: the empty text, S_OK.
    HRESULT get_SourceName(BSTR* sourceName) override {
        return Read(sourceName, [&](const ZtEventEntity* r) {
            return EventProperties::SourceName(r, sourceName, ZtAtlCom::S_OK);
        });
    }
    HRESULT get_TimeRaised(DATE* time) override {
        return Read(time, [&](const ZtEventEntity* r) { return EventProperties::Date(r->fileTimeRaised, time); });
    }
    // A null out-pointer gives E_FAIL here (not E_POINTER), as hosts of
    // messages and alarms have always seen it.
    HRESULT get_FileTimeRaised(long* fileTime) override {
        if (fileTime == nullptr) return ZtAtlCom::E_FAIL;
        return Read(fileTime,
                    [&](const ZtEventEntity* r) { return EventProperties::FileTime(r->fileTimeRaised, fileTime); });
    }
    HRESULT GetText(long langId, BSTR* text) override {
        if (text == nullptr) return ZtAtlCom::E_POINTER;
        *text = nullptr;
        ZtEventLoggerCommon::RecordBlock copy;
        HRESULT hr = Read(text, [&](const ZtEventEntity* r) { return ZtEventLoggerCommon::CopyRecord(r, &copy); });
        if (ZtAtlCom::Failed(hr)) return hr;
        return EventProperties::Text(m_link.get(), copy.get(), langId, text);
    }
    HRESULT GetEventClassName(long langId, BSTR* name) override {
        if (name == nullptr) return ZtAtlCom::E_POINTER;
        *name = nullptr;
        GUID eventClass{};
        HRESULT hr = Read(name, [&](const ZtEventEntity* r) { return eventClass = r->eventClass, ZtAtlCom::S_OK; });
        if (ZtAtlCom::Failed(hr)) return hr;
        return EventProperties::EventClassName(m_link.get(), eventClass, langId, name);
    }
    HRESULT GetArgumentInfo(ZtEventArgumentsInfo* info) override {
        return Read(info, [&](const ZtEventEntity* r) { return EventProperties::ArgumentInfo(r, info); });
    }
    HRESULT GetArgumentData(void** buffer, unsigned int size) override {
        return Read(buffer, [&](const ZtEventEntity* r) { return EventProperties::ArgumentData(r, buffer, size); });
    }

    // ---- versioned additions ---------------------------------------------
    HRESULT get_JsonAttribute(BSTR* json) override {
        return Read(json, [&](const ZtEventEntity* r) { return ZtEventLoggerCommon::JsonAttribute(r, json); });
    }
    // A failed text lookup gives an empty collection (S_OK).
    HRESULT GetCauseRemedy(long langId, IZtCauseRemedyCollection** causes) override {
        return WithKeyOf(causes, [&](const GUID& eventClass, unsigned int eventId) {
            return EventProperties::CauseRemedies(m_link.get(), eventClass, eventId, langId, causes);
        });
    }
    HRESULT GetDetails(long langId, IZtDetailCollection** details) override {
        return WithKeyOf(details, [&](const GUID& eventClass, unsigned int eventId) {
            return EventProperties::Details(m_link.get(), eventClass, eventId, langId, details);
        });
    }

protected:
    ZtEventImpl() = default;
    ~ZtEventImpl() = default;

    // f(record) under Derived's read guard. E_POINTER for a null out-pointer
    // or an object without a record (never set up).
    template <class Out, class F>
    HRESULT Read(Out* out, F&& f) {
        if (out == nullptr) return ZtAtlCom::E_POINTER;
        [[maybe_unused]] auto guard = static_cast<Derived*>(this)->SharedRecordLock();
        if (!m_record) return ZtAtlCom::E_POINTER;
        return f(m_record.get());
    }

    // f(class, id) with the key read under the guard and called without it.
    template <class Out, class F>
    HRESULT WithKeyOf(Out** out, F&& f) {
        if (out == nullptr) return ZtAtlCom::E_POINTER;
        *out = nullptr;
        GUID eventClass{};
        unsigned int eventId = 0;
        HRESULT hr = Read(out, [&](const ZtEventEntity* r) {
            eventClass = r->eventClass;
            eventId = r->eventId;
            return ZtAtlCom::S_OK;
        });
        if (ZtAtlCom::Failed(hr)) return hr;
        return f(eventClass, eventId);
    }

    // Replaced only by Derived under its exclusive guard.
    ZtEventLoggerCommon::RecordBlock m_record;
    ZtAtlCom::ZtComPtrLite<ZtEventLink> m_link;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_IMPL_H
