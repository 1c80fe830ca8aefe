#include "CVdlSync.h"

#include "MrxConnection.h"

using namespace ZtMrxWire;
using ZtMrxClient::Pending;

namespace {

constexpr int kDefaultTimeoutMs = 5000;

void PutHead(uint8_t* p, uint32_t a, uint32_t b, uint32_t c) {
    Put32(p, a);
    Put32(p + 4, b);
    Put32(p + 8, c);
}

}  // namespace

CVdlSync::CVdlSync(unsigned short, int, const char*) : m_timeout(kDefaultTimeoutMs) {}

CVdlSync::~CVdlSync() = default;

int CVdlSync::EffectiveTimeout() const {
    int t = m_timeout.load();
    return t > 0 ? t : kDefaultTimeoutMs;
}

// Runs one request on the port's live connection.
unsigned int CVdlSync::Transact(Pending& p, const MrxAddr& addr, std::span<const uint8_t> head,
                                std::span<const uint8_t> data) {
    auto conn = m_port.MrxConnection();
    if (!conn) return MRX_ERR_PORT_NOT_CONNECTED;
    return conn->Transact(p, addr, head, data, EffectiveTimeout());
}

unsigned int CVdlSync::VdlSyncReadReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                      unsigned int length, void* data) {
    if (data == nullptr && length != 0) return MRX_ERR_INVALID_PARAMETER;
    Pending p;
    p.command = Command::Read;
    p.readBuf = static_cast<uint8_t*>(data);
    p.readCap = length;
    uint8_t head[kReadRequestSize];
    PutHead(head, indexGroup, indexOffset, length);
    return Transact(p, addr, std::span<const uint8_t>(head), std::span<const uint8_t>());
}

unsigned int CVdlSync::VdlSyncWriteReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                       unsigned int length, void* data) {
    if (data == nullptr && length != 0) return MRX_ERR_INVALID_PARAMETER;
    Pending p;
    p.command = Command::Write;
    uint8_t head[kWriteRequestHead];
    PutHead(head, indexGroup, indexOffset, length);
    return Transact(p, addr, std::span<const uint8_t>(head),
                           std::span<const uint8_t>(static_cast<const uint8_t*>(data), length));
}

unsigned int CVdlSync::VdlSyncReadWriteReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                           unsigned int readLength, void* readData, unsigned int writeLength,
                                           void* writeData) {
    unsigned int bytesRead = 0;
    return VdlSyncReadWriteReq(addr, indexGroup, indexOffset, readLength, readData, writeLength, writeData,
                               bytesRead);
}

unsigned int CVdlSync::VdlSyncReadWriteReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                           unsigned int readLength, void* readData, unsigned int writeLength,
                                           void* writeData, unsigned int& bytesRead) {
    bytesRead = 0;
    if ((readData == nullptr && readLength != 0) || (writeData == nullptr && writeLength != 0))
        return MRX_ERR_INVALID_PARAMETER;
    Pending p;
    p.command = Command::ReadWrite;
    p.readBuf = static_cast<uint8_t*>(readData);
    p.readCap = readLength;
    uint8_t head[kReadWriteRequestHead];
    PutHead(head, indexGroup, indexOffset, readLength);
    Put32(head + 12, writeLength);
    unsigned int rc = Transact(p, addr, std::span<const uint8_t>(head),
                                      std::span<const uint8_t>(static_cast<const uint8_t*>(writeData), writeLength));
    bytesRead = p.bytesRead;
    return rc;
}

unsigned int CVdlSync::VdlSyncReadStateReq(MrxAddr& addr, unsigned short* vdlState, unsigned short* deviceState) {
    if (vdlState == nullptr || deviceState == nullptr) return MRX_ERR_INVALID_PARAMETER;
    Pending p;
    p.command = Command::ReadState;
    unsigned int rc = Transact(p, addr, std::span<const uint8_t>(), std::span<const uint8_t>());
    if (rc == 0) {
        *vdlState = p.state1;
        *deviceState = p.state2;
    }
    return rc;
}

unsigned int CVdlSync::VdlSyncWriteControlReq(MrxAddr& addr, unsigned short vdlState, unsigned short deviceState,
                                              unsigned int length, void* data) {
    if (data == nullptr && length != 0) return MRX_ERR_INVALID_PARAMETER;
    Pending p;
    p.command = Command::WriteControl;
    uint8_t head[kWriteControlRequestHead];
    Put16(head, vdlState);
    Put16(head + 2, deviceState);
    Put32(head + 4, length);
    return Transact(p, addr, std::span<const uint8_t>(head),
                           std::span<const uint8_t>(static_cast<const uint8_t*>(data), length));
}

unsigned int CVdlSync::VdlSyncAddDeviceNotificationReq(MrxAddr& addr, unsigned int indexGroup,
                                                       unsigned int indexOffset, VdlNotificationAttrib* attrib,
                                                       PVdlNotificationFunc callback, unsigned int userHandle,
                                                       unsigned int* notificationHandle) {
    if (attrib == nullptr || callback == nullptr || notificationHandle == nullptr) return MRX_ERR_INVALID_PARAMETER;
    Pending p;
    p.command = Command::AddNotification;
    p.callback = callback;
    p.userHandle = userHandle;
    p.source = addr;
    uint8_t head[kAddNotificationRequestSize];
    Put32(head, indexGroup);
    Put32(head + 4, indexOffset);
    const uint32_t* words = &attrib->maxSampleSize;
    for (int i = 0; i < 8; ++i) {
        uint32_t w;
        std::memcpy(&w, reinterpret_cast<const uint8_t*>(words) + 4 * i, 4);
        Put32(head + 8 + 4 * i, w);
    }
    unsigned int rc = Transact(p, addr, std::span<const uint8_t>(head), std::span<const uint8_t>());
    if (rc == 0) *notificationHandle = p.handle;
    return rc;
}

unsigned int CVdlSync::VdlSyncDelDeviceNotificationReq(MrxAddr& addr, unsigned int notificationHandle) {
    auto conn = m_port.MrxConnection();
    if (conn) conn->ForgetNotification(notificationHandle);
    Pending p;
    p.command = Command::DelNotification;
    uint8_t head[kDelNotificationRequestSize];
    Put32(head, notificationHandle);
    return Transact(p, addr, std::span<const uint8_t>(head), std::span<const uint8_t>());
}
