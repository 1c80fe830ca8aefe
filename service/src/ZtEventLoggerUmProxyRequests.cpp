// The event and alarm requests of the service proxy: the active events, the
// event log, confirming and clearing alarms, messages and export. Each runs on
// the caller's thread through the shared adapter; the proxy takes no lock.
#include <algorithm>

#include "ServiceFrames.h"
#include "ServiceReplies.h"
#include "ZtAtlCom/AtlException.h"
#include "ZtEventLoggerUmProxy.h"
#include "ZtEventLoggerVdlApi/VdlErrors.h"
#include "ZtEventStreamSerializer.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::ZtAtlCall;
using ZtEventLoggerCommon::ZtDataFormatBinary;
using ZtEventLoggerVdlApi::VDL_ERR_INVALID_SIZE;

namespace {

constexpr uint32_t kOffsetBySettings = 0;
constexpr uint32_t kOffsetActive = 1;
constexpr uint32_t kOffsetByCount = 2;
constexpr size_t kActiveEventsFirstBuffer = 4095;
constexpr size_t kBySettingsBuffer = 1024024;
constexpr size_t kCommandReplyBuffer = 2064;
// Answers of the read by count that ask for fewer events.
constexpr uint32_t kErrorFewer = 1;
constexpr uint32_t kErrorFewerEvents = 1802;

// The reply buffer of the read by count: 1 KiB per event and the head,
// computed in 64 bits (the 32-bit form wraps from 4194304 events on) and
// bounded by the largest reply accepted anywhere.
size_t LoggedEventsBuffer(uint32_t count) {
    const uint64_t wanted = (static_cast<uint64_t>(count) << 10) | 24u;
    return static_cast<size_t>(std::min<uint64_t>(wanted, RequestRetry::kMaxReplySize));
}

// A stream request carrying the service's result (confirm, clear, export).
HRESULT StreamCommand(VdlR3AdapterCore& adapter, uint32_t indexGroup, const OwnedSerializedStream& stream) {
    if (!stream) return ZtAtlCom::E_OUTOFMEMORY;
    ReplyBuffer reply(kCommandReplyBuffer);
    RequestRetry retry(adapter);
    size_t got = 0;
    uint32_t rc = ReadWrite(adapter, indexGroup, 0, stream->data, stream->size, reply, retry, got);
    if (rc != 0) return VdlErrorToHResult(rc);
    uint32_t result = 0;
    HRESULT hr = ParseStreamResult(reply.data(), got, &result);
    return ZtAtlCom::Failed(hr) ? hr : ServiceResultToHResult(result);
}

// A write without reply and without retry.
HRESULT Write(VdlR3AdapterCore& adapter, uint32_t indexGroup, const void* data, size_t size) {
    return VdlErrorToHResult(adapter.VdlSyncWriteReq(kServicePort, indexGroup, 0, size, const_cast<void*>(data)));
}

}  // namespace

HRESULT ZtEventLoggerUmProxy::ReadActiveEvents(std::vector<ZtEventEntity*>& events) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        std::vector<unsigned char> reply(kActiveEventsFirstBuffer);
        for (;;) {
            uint32_t rc =
                m_adapter->VdlSyncReadReq(kServicePort, kGroupEvents, kOffsetActive, reply.size(), reply.data());
            if (rc == 0) break;
            // Too small: double, but never beyond what any reply may carry,
            // so a service that keeps answering 1797 cannot exhaust memory.
            if (rc != VDL_ERR_INVALID_SIZE || reply.size() > RequestRetry::kMaxReplySize / 2)
                return VdlErrorToHResult(rc);
            const size_t next = reply.size() * 2;
            reply.clear();
            reply.shrink_to_fit();
            reply.resize(next);
        }
        // A read reports no byte count: the head's own length is checked
        // against the buffer, and the rest of the buffer is zeros.
        return ParseActiveEventsReply(reply.data(), reply.size(), events);
    });
}

HRESULT ZtEventLoggerUmProxy::GetLoggedEvents(std::vector<ZtEventEntity*>& events, uint32_t count) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        RequestFrame frame = LoggedEventsFrame(count);
        ReplyBuffer reply(LoggedEventsBuffer(count));
        RequestRetry retry(*m_adapter);
        size_t got = 0;
        for (;;) {
            unsigned long n = 0;
            ClearSizeHint(reply);
            uint32_t rc = m_adapter->VdlSyncReadWriteReq(kServicePort, kGroupEvents, kOffsetByCount, reply.size(),
                                                         reply.data(), frame.size(), frame.data(), n);
            if (rc == 0) {
                got = std::min<size_t>(n, reply.size());
                break;
            }
            // The service asks for fewer events: halve the count, keep the buffer.
            if ((rc == kErrorFewer || rc == kErrorFewerEvents) && m_adapter->IsConnected() &&
                retry.Counter() <= RequestRetry::kMaxBusyRetries) {
                count >>= 1;
                frame = LoggedEventsFrame(count);
                retry.Count();
                continue;
            }
            if (!retry.ShouldRetry(rc, reply)) return VdlErrorToHResult(rc);
        }
        return ParseStreamRecords(reply.data(), got, events);
    });
}

HRESULT ZtEventLoggerUmProxy::GetLoggedEvents2(std::vector<ZtEventEntity*>& events, IZtStreamSerializable* settings) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        OwnedSerializedStream stream(ZtEventStreamSerializer::CreateGetLoggedEventsStream(
            settings, m_requestHandles.Next(), ZtDataFormatBinary));
        if (!stream) return ZtAtlCom::E_OUTOFMEMORY;
        ReplyBuffer reply(kBySettingsBuffer);
        RequestRetry retry(*m_adapter);
        size_t got = 0;
        uint32_t rc =
            ReadWrite(*m_adapter, kGroupEvents, kOffsetBySettings, stream->data, stream->size, reply, retry, got);
        if (rc != 0) return VdlErrorToHResult(rc);
        return ParseStreamRecords(reply.data(), got, events);
    });
}

HRESULT ZtEventLoggerUmProxy::ConfirmAlarms(int64_t timeStamp, IZtStreamSerializable* filter) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        OwnedSerializedStream stream(ZtEventStreamSerializer::CreateConfirmAlarmsStream(
            timeStamp, filter, m_requestHandles.Next(), ZtDataFormatBinary));
        return StreamCommand(*m_adapter, kGroupCommand, stream);
    });
}

HRESULT ZtEventLoggerUmProxy::ClearAlarms(int64_t timeStamp, bool resetConfirmation, IZtStreamSerializable* filter) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        OwnedSerializedStream stream(ZtEventStreamSerializer::CreateClearAlarmsStream(
            timeStamp, resetConfirmation, filter, m_requestHandles.Next(), ZtDataFormatBinary));
        return StreamCommand(*m_adapter, kGroupCommand, stream);
    });
}

HRESULT ZtEventLoggerUmProxy::ExportLoggedEvents(const char* fileName, IZtStreamSerializable* settings) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        OwnedSerializedStream stream(ZtEventStreamSerializer::CreateExportLoggedEventsStream(
            fileName, settings, m_requestHandles.Next(), ZtDataFormatBinary));
        return StreamCommand(*m_adapter, kGroupQuery, stream);
    });
}

HRESULT ZtEventLoggerUmProxy::ClearAllAlarms(bool resetConfirmation) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        RequestFrame f = ClearAllAlarmsFrame(resetConfirmation);
        return Write(*m_adapter, kGroupCommand, f.data(), f.size());
    });
}

HRESULT ZtEventLoggerUmProxy::ConfirmAllAlarms() {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        RequestFrame f = ConfirmAllAlarmsFrame();
        return Write(*m_adapter, kGroupCommand, f.data(), f.size());
    });
}

HRESULT ZtEventLoggerUmProxy::ConfirmEvent(const ZtEventKey& key) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        RequestFrame f = ConfirmEventFrame(key);
        return Write(*m_adapter, kGroupCommand, f.data(), f.size());
    });
}

// The caller keeps the stream and frees it.
HRESULT ZtEventLoggerUmProxy::SendMessage(SerializedStream* stream) {
    if (stream == nullptr) return ZtAtlCom::E_OUTOFMEMORY;  // the serializer had no memory
    if (stream->data == nullptr && stream->size != 0) return ZtAtlCom::E_POINTER;
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return Write(*m_adapter, kGroupCommand, stream->data, stream->size);
}

HRESULT ZtEventLoggerUmProxy::ClearLoggedEvents() {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return Write(*m_adapter, kGroupClearLog, nullptr, 0);
}

}  // namespace ZtEventLoggerVdlProxy
