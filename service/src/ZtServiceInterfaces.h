// ZtServiceInterfaces.h - the internal interfaces between the service proxy,
// the event handler and the event logger object (never seen by hosts).
#ifndef ZT_SERVICE_INTERFACES_H
#define ZT_SERVICE_INTERFACES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ZtUnknown.h"
#include "ZtEventEntity.h"
#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

namespace ZtAtlCom {
template <class T>
class CComPtr;
}

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::GUID;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IZtUnknown;
using ZtAtlCom::ULONG;
using ZtEventLoggerCommon::ZtEventEntity;
using ZtEventLoggerCommon::ZtEventKey;

struct IZtAlarm;
class CZtMessage;
class CZtAlarm;

// A request byte array and its size; the caller frees data (as an array),
// then the record.
struct SerializedStream {
    uint64_t size;
    unsigned char* data;
};

// Frees a stream of the serializer: the byte array, then the record.
inline void FreeSerializedStream(SerializedStream* stream) noexcept {
    if (stream == nullptr) return;
    delete[] stream->data;
    delete stream;
}

struct SerializedStreamDeleter {
    void operator()(SerializedStream* stream) const noexcept { FreeSerializedStream(stream); }
};
using OwnedSerializedStream = std::unique_ptr<SerializedStream, SerializedStreamDeleter>;

// Records returned by the requests are byte blocks allocated as arrays of
// unsigned char, one per record; whoever owns them frees them with these.
inline void FreeEventRecord(ZtEventEntity* record) noexcept { delete[] reinterpret_cast<unsigned char*>(record); }
inline void FreeEventRecords(std::vector<ZtEventEntity*>& records) noexcept {
    for (ZtEventEntity* r : records) FreeEventRecord(r);
    records.clear();
}

// One cause/remedy entry of an event.
struct CauseRemedy {
    std::string id;
    std::string cause;
    std::string remedy;
};

// One detail entry of an event or event class.
struct Detail {
    std::string name;
    std::string text;
    std::string comment;
};

struct IZtEventHandler;

// Requests to the event logger service (the service proxy). The reads append
// records (FreeEventRecord) after a successful reply only; they never remove
// entries that were there before.
struct IZtEventLoggerUmProxy : IZtUnknown {
    virtual HRESULT ReadActiveEvents(std::vector<ZtEventEntity*>& events) = 0;
    virtual HRESULT GetLoggedEvents(std::vector<ZtEventEntity*>& events, uint32_t count) = 0;
    virtual HRESULT GetLoggedEvents2(std::vector<ZtEventEntity*>& events, IZtStreamSerializable* settings) = 0;
    virtual HRESULT ClearLoggedEvents() = 0;
    virtual HRESULT ConfirmAlarms(int64_t timeStamp, IZtStreamSerializable* filter) = 0;
    virtual HRESULT ClearAlarms(int64_t timeStamp, bool resetConfirmation, IZtStreamSerializable* filter) = 0;
    virtual HRESULT ClearAllAlarms(bool resetConfirmation) = 0;
    virtual HRESULT ConfirmAllAlarms() = 0;
    virtual HRESULT ConfirmEvent(const ZtEventKey& key) = 0;
    virtual HRESULT SendMessage(SerializedStream* stream) = 0;
    virtual HRESULT ExportLoggedEvents(const char* fileName, IZtStreamSerializable* settings) = 0;
    virtual ~IZtEventLoggerUmProxy() = default;
};
ZT_DECLARE_IID(IZtEventLoggerUmProxy, "0CFB641A-6D46-48F4-A915-284969EDDF53")

// One-time initialisation of the service proxy: the handler of decoded frames.
struct IZtEventLoggerUmProxyInit : IZtUnknown {
    virtual void Initialize(IZtEventHandler* handler) = 0;
};
ZT_DECLARE_IID(IZtEventLoggerUmProxyInit, "5CD7F804-A55C-420A-AD80-6DC8C1143DFF")

// Texts, class names, cause/remedy and detail lists, resource files. Texts are
// BSTRs the caller frees.
struct IResourceManager : IZtUnknown {
    virtual HRESULT GetMessageString(const ZtEventKey& key, const ZtEventLoggerCommon::ZtEventArguments& arguments,
                                     void* argumentData, int64_t languageId, char** text) = 0;
    // The record form, built on the first.
    virtual HRESULT GetMessageString(ZtEventEntity* record, int64_t languageId, char** text);
    virtual HRESULT GetEventClassName(const GUID& eventClass, int64_t languageId, char** text) = 0;
    virtual HRESULT GetCauseRemedy(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                                   std::vector<CauseRemedy>& out) = 0;
    virtual HRESULT GetEventClassDetails(const GUID& eventClass, int64_t languageId, std::vector<Detail>& out) = 0;
    virtual HRESULT GetEventDetails(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                                    std::vector<Detail>& out) = 0;
    virtual HRESULT ClearResourceCache() = 0;
    virtual HRESULT LoadResourceFile(const std::string& path) = 0;
    virtual HRESULT UnloadResourceFile(const std::string& path) = 0;
};
ZT_DECLARE_IID(IResourceManager, "B836B6CF-A982-4F02-A9F8-6367B50D0BC3")

// Receives the decoded notification frames (the event handler). Record
// pointers point into a frame owned by the job queue, valid during the call.
struct IZtEventHandler : IZtUnknown {
    virtual HRESULT OnNewEvent(ZtEventEntity* record) = 0;
    virtual HRESULT OnClearAlarm(ZtEventEntity* record) = 0;
    virtual HRESULT OnNewMessage(ZtEventEntity* record) = 0;
    virtual HRESULT OnDisposeActiveAlarm(ZtEventEntity* record) = 0;
    virtual HRESULT OnAlarmConfirmed(ZtEventEntity* record) = 0;
    virtual HRESULT OnClearAlarmList() = 0;
    virtual HRESULT ConfirmEvent(ZtEventEntity* record) = 0;
    virtual HRESULT GetActiveAlarms(std::vector<ZtAtlCom::CComPtr<IZtAlarm>>& alarms) = 0;
    virtual HRESULT ClearAllAlarms(bool resetConfirmation) = 0;
    virtual HRESULT ConfirmAllAlarms() = 0;
    virtual ~IZtEventHandler() = default;
};
ZT_DECLARE_IID(IZtEventHandler, "C6EECA0D-19F5-4ED9-8C4A-DFBFBD071DE0")

// Fires the public events (the event logger object); called by the handler.
// `removed` is true when the alarm has just left the active-alarm list.
struct IZtEventPublisher {
    virtual HRESULT NotifyMessageSent(CZtMessage* message) = 0;
    virtual HRESULT NotifyAlarmRaised(CZtAlarm* alarm) = 0;
    virtual HRESULT NotifyAlarmCleared(CZtAlarm* alarm, bool removed) = 0;
    virtual HRESULT NotifyAlarmConfirmed(CZtAlarm* alarm, bool removed) = 0;

protected:
    ~IZtEventPublisher() = default;
};

// The interface ids the service link compares against, copied into
// process-wide variables when the library is loaded.
extern const GUID g_IID_IZtEventLoggerUmProxy;
extern const GUID g_IID_IZtEventLoggerUmProxyInit;
extern const GUID g_IID_IResourceManager;
extern const GUID g_IID_IZtStreamWriter;
extern const GUID g_IID_IZtStreamBuffer;
extern const GUID g_IID_IZtEventHandler;

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_SERVICE_INTERFACES_H
