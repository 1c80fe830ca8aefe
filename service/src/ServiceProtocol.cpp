#include "ServiceProtocol.h"

#include <cstring>

#include "ZtEventLoggerVdlApi/VdlR3AdapterCore.h"
#include "ZtEventLoggerVdlApi/VdlErrors.h"
#include "ZtPalDrvIf.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

using ZtEventLoggerCommon::CheckRecord;
using ZtEventLoggerCommon::RecordCheck;

namespace {

constexpr size_t kHeaderSize = sizeof(ZtEventStreamHeader);

bool CarriesRecord(uint16_t type) noexcept {
    switch (type) {
        case kFrameMessageSent:
        case kFrameAlarmRaised:
        case kFrameAlarmCleared:
        case kFrameAlarmConfirmed:
        case kFrameAlarmDisposed:
            return true;
        default:
            return false;
    }
}

}  // namespace

FrameCheck CheckNotificationFrame(const void* bytes, size_t size) noexcept {
    if (bytes == nullptr || size < kHeaderSize) return FrameCheck::HeaderIncomplete;
    ZtEventStreamHeader h;
    std::memcpy(&h, bytes, kHeaderSize);
    if (h.payloadLength > size - kHeaderSize) return FrameCheck::PayloadBeyondBytes;
    if (h.version == kStreamVersion && CarriesRecord(h.type) &&
        CheckRecord(static_cast<const uint8_t*>(bytes) + kHeaderSize, h.payloadLength, nullptr) != RecordCheck::Ok)
        return FrameCheck::BadRecord;
    return FrameCheck::Ok;
}

HRESULT DispatchNotificationFrame(const ZtEventStreamHeader* frame, IZtEventHandler* handler, bool* activity,
                                  bool recordChecked) noexcept {
    if (activity != nullptr) *activity = false;
    if (frame == nullptr) return ZtAtlCom::E_POINTER;
    if (frame->version != kStreamVersion) return ZT_E_FRAME_VERSION;
    const uint16_t type = frame->type;
    if (activity != nullptr) *activity = type != kFrameQuiet;
    if (!CarriesRecord(type)) {
        if (type == kFrameAlarmListCleared && handler != nullptr) handler->OnClearAlarmList();
        return ZtAtlCom::S_OK;
    }
    auto* record = reinterpret_cast<ZtEventEntity*>(
        const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>(frame) + kHeaderSize));
    if (!recordChecked && CheckRecord(record, frame->payloadLength, nullptr) != RecordCheck::Ok)
        return ZT_E_BAD_RECORD;
    if (handler == nullptr) return ZtAtlCom::S_OK;
    switch (type) {
        case kFrameMessageSent: handler->OnNewMessage(record); break;
        case kFrameAlarmRaised: handler->OnNewEvent(record); break;
        case kFrameAlarmCleared: handler->OnClearAlarm(record); break;
        case kFrameAlarmConfirmed: handler->OnAlarmConfirmed(record); break;
        case kFrameAlarmDisposed: handler->OnDisposeActiveAlarm(record); break;
        default: break;
    }
    return ZtAtlCom::S_OK;
}

bool RequestRetry::ShouldRetry(uint32_t error, ReplyBuffer& reply) {
    if (error == 0 || !m_adapter.IsConnected()) return false;
    if (error == ZtEventLoggerVdlApi::VDL_ERR_TARGET_PORT_NOT_FOUND && m_counter <= kMaxBusyRetries) {
        OsUserSleep(kBusySleepMs);
        ++m_counter;
        return true;
    }
    if (error == ZtEventLoggerVdlApi::VDL_ERR_INVALID_SIZE && reply.size() >= 4) {
        if (m_sizeRetry == SizeRetry::Counted && m_counter > kMaxCountedSizeRetries) return false;
        if (m_sizeRetry == SizeRetry::Uncounted && m_uncountedGrowths >= kMaxUncountedSizeRetries) return false;
        uint32_t needed;
        std::memcpy(&needed, reply.data(), 4);
        // A hint that does not grow the buffer, or asks for more than any reply
        // can carry, would only loop or exhaust memory.
        if (needed <= reply.size() || needed > kMaxReplySize) return false;
        reply.assign(needed, 0);
        if (m_sizeRetry == SizeRetry::Counted)
            ++m_counter;
        else
            ++m_uncountedGrowths;
        return true;
    }
    return false;
}

uint32_t RequestRetry::Run(ReplyBuffer& reply, const std::function<uint32_t(ReplyBuffer&)>& send) {
    for (;;) {
        ClearSizeHint(reply);
        uint32_t error = send(reply);
        if (error == 0 || !ShouldRetry(error, reply)) return error;
    }
}

}  // namespace ZtEventLoggerVdlProxy
