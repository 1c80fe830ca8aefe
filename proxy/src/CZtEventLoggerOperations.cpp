// The request operations of the event logger object. Each checks its
// out-pointers, converts its arguments and hands the work to the service
// proxy, its resource interface or the event handler, on the calling thread.
// The object adds no lock: its fields never change while it is in use.
#include <limits>
#include <string>

#include "CZtAlarmCollection.h"
#include "CZtEventLogger.h"
#include "CZtLoggedEventCollection.h"
#include "ZtEventStreamSerializer.h"
#include "ZtStreamSerializableRef.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::E_INVALIDARG;
using ZtAtlCom::E_OUTOFMEMORY;
using ZtAtlCom::E_POINTER;
using ZtAtlCom::E_UNEXPECTED;
using ZtAtlCom::Failed;
using ZtAtlCom::S_OK;
using ZtAtlCom::ZtAtlCall;
using Kind = ZtStreamSerializableRef::Kind;

namespace {

// Only VARIANT_TRUE is true; 1 and every other value are false.
bool IsTrue(VARIANT_BOOL value) noexcept { return value == ZtAtlCom::VARIANT_TRUE; }

// A text argument as the operations copy it: null is the empty text.
std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

HRESULT CZtEventLogger::get_ActiveAlarms(IZtAlarmCollection** alarms) {
    if (alarms == nullptr) return E_POINTER;
    *alarms = nullptr;
    if (!m_handler) return E_UNEXPECTED;
    return ZtAtlCall([&] {
        // The handler's lock is re-entrant: a sink of AlarmRaised (which is
        // called with it held) may ask for the list on the worker thread.
        std::vector<ZtAtlCom::CComPtr<IZtAlarm>> listed;
        HRESULT hr = m_handler->GetActiveAlarms(listed);
        if (Failed(hr)) return hr;
        return ZtAtlCom::Create<CZtAlarmCollection, IZtAlarmCollection>(alarms, std::move(listed));
    });
}

HRESULT CZtEventLogger::ClearAllAlarms(VARIANT_BOOL resetConfirmation) {
    if (!m_handler) return E_UNEXPECTED;
    return m_handler->ClearAllAlarms(IsTrue(resetConfirmation));
}

HRESULT CZtEventLogger::ConfirmAllAlarms() {
    if (!m_handler) return E_UNEXPECTED;
    return m_handler->ConfirmAllAlarms();
}

HRESULT CZtEventLogger::MakeLoggedEvents(std::vector<ZtEventEntity*>& records,
                                         IZtLoggedEventCollection** events) noexcept {
    // The logged events get the handler's link as their resources, so that
    // texts asked for after the logger is gone fail cleanly, and keep the
    // record blocks of the reply rather than copies.
    HRESULT hr = ZtAtlCom::Create<CZtLoggedEventCollection, IZtLoggedEventCollection>(
        events, m_handlerImpl->EventResources(), records, CZtLoggedEventCollection::TakeRecords{});
    FreeEventRecords(records);  // those the collection did not take
    return hr;
}

HRESULT CZtEventLogger::GetLoggedEvents(unsigned int count, IZtLoggedEventCollection** events) {
    if (events == nullptr) return E_POINTER;
    if (!m_proxy) return E_UNEXPECTED;
    std::vector<ZtEventEntity*> records;
    HRESULT hr = m_proxy->GetLoggedEvents(records, count);
    if (Failed(hr)) {
        FreeEventRecords(records);
        return hr;
    }
    *events = nullptr;
    return MakeLoggedEvents(records, events);
}

HRESULT CZtEventLogger::GetLoggedEvents2(IZtExportSettings* settings, IZtLoggedEventCollection** events) {
    if (events == nullptr) return E_POINTER;
    *events = nullptr;
    if (!m_proxy) return E_UNEXPECTED;
    ZtStreamSerializableRef serializable;
    HRESULT hr = serializable.Obtain(settings, Kind::Settings);
    if (Failed(hr)) return hr;
    std::vector<ZtEventEntity*> records;
    hr = m_proxy->GetLoggedEvents2(records, serializable.Get());
    if (Failed(hr)) {
        FreeEventRecords(records);
        return hr;
    }
    return MakeLoggedEvents(records, events);
}

HRESULT CZtEventLogger::ClearLoggedEvents() {
    if (m_proxy) m_proxy->ClearLoggedEvents();
    return S_OK;  // whatever the service answers
}

HRESULT CZtEventLogger::GetText(GUID eventClass, unsigned int eventId, unsigned int keyQualifier,
                                ZtEventArgumentsInfo argumentsInfo, void* argumentData, int langId, BSTR* text) {
    if (!m_resources) return E_UNEXPECTED;
    const ZtEventKey key{eventClass, eventId, keyQualifier};
    const ZtEventLoggerCommon::ZtEventArguments arguments{argumentsInfo.argumentCount, argumentsInfo.typesOffset,
                                                          argumentsInfo.typesSize, argumentsInfo.dataOffset,
                                                          argumentsInfo.dataSize};
    return m_resources->GetMessageString(key, arguments, argumentData, static_cast<int64_t>(langId), text);
}

HRESULT CZtEventLogger::GetEventClassName(GUID eventClass, int langId, BSTR* name) {
    if (!m_resources) return E_UNEXPECTED;
    return m_resources->GetEventClassName(eventClass, static_cast<int64_t>(langId), name);
}

HRESULT CZtEventLogger::SendZtMessage(GUID eventClass, unsigned int eventId, tagSeverityLevelEnum severity,
                                      BSTR json, IZtSourceInfo* sourceInfo, IZtArguments* arguments) {
    if (!m_proxy) return E_UNEXPECTED;
    return ZtAtlCall([&] {
        const std::string attribute = Text(json);
        if (attribute.size() > std::numeric_limits<uint32_t>::max()) return E_INVALIDARG;
        OwnedSerializedStream stream(ZtEventStreamSerializer::CreateSendMessageStream(
            eventClass, eventId, severity, attribute.c_str(), static_cast<uint32_t>(attribute.size()), sourceInfo,
            arguments));
        if (!stream) return E_OUTOFMEMORY;
        return m_proxy->SendMessage(stream.get());
    });
}

HRESULT CZtEventLogger::ExportLoggedEvents(BSTR fileName, IZtExportSettings* settings) {
    if (!m_proxy) return E_UNEXPECTED;
    return ZtAtlCall([&] {
        const std::string name = Text(fileName);
        ZtStreamSerializableRef serializable;
        HRESULT hr = serializable.Obtain(settings, Kind::Settings);
        if (Failed(hr)) return hr;
        return m_proxy->ExportLoggedEvents(name.c_str(), serializable.Get());
    });
}

HRESULT CZtEventLogger::ConfirmAlarms(long timeStamp, IZtEventFilter* filter) {
    if (!m_proxy) return E_UNEXPECTED;
    ZtStreamSerializableRef serializable;
    HRESULT hr = serializable.Obtain(filter, Kind::Filter);
    if (Failed(hr)) return hr;
    return m_proxy->ConfirmAlarms(static_cast<int64_t>(timeStamp), serializable.Get());
}

HRESULT CZtEventLogger::ClearAlarms(long timeStamp, VARIANT_BOOL resetConfirmation, IZtEventFilter* filter) {
    if (!m_proxy) return E_UNEXPECTED;
    ZtStreamSerializableRef serializable;
    HRESULT hr = serializable.Obtain(filter, Kind::Filter);
    if (Failed(hr)) return hr;
    return m_proxy->ClearAlarms(static_cast<int64_t>(timeStamp), IsTrue(resetConfirmation), serializable.Get());
}

HRESULT CZtEventLogger::ClearResourceCache() {
    if (!m_resources) return E_UNEXPECTED;
    return m_resources->ClearResourceCache();
}

HRESULT CZtEventLogger::LoadResourceFile(BSTR path) {
    if (!m_resources) return E_UNEXPECTED;
    return ZtAtlCall([&] { return m_resources->LoadResourceFile(Text(path)); });
}

HRESULT CZtEventLogger::UnloadResourceFile(BSTR path) {
    if (!m_resources) return E_UNEXPECTED;
    return ZtAtlCall([&] { return m_resources->UnloadResourceFile(Text(path)); });
}

}  // namespace ZtEventLoggerVdlProxy
