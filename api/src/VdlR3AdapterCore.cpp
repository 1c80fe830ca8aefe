#include "ZtEventLoggerVdlApi/VdlR3AdapterCore.h"

#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"

namespace ZtEventLoggerVdlApi {

VdlR3AdapterCore::VdlR3AdapterCore() : m_impl(new VdlR3AdapterImpl()) {}

VdlR3AdapterCore::~VdlR3AdapterCore() { delete m_impl; }

bool VdlR3AdapterCore::IsConnected() const { return m_impl->IsConnected(); }

uint32_t VdlR3AdapterCore::Connect(const char* target) {
    if (target == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return m_impl->Connect(std::string_view(target));
}

uint32_t VdlR3AdapterCore::Disconnect() { return m_impl->Disconnect(); }

uint32_t VdlR3AdapterCore::AddListener(IConnectionStateListener* listener) { return m_impl->AddListener(listener); }

uint32_t VdlR3AdapterCore::RemoveListener(IConnectionStateListener* listener) {
    return m_impl->RemoveListener(listener);
}

uint32_t VdlR3AdapterCore::VdlSyncWriteControlReq(unsigned short port, unsigned short vdlState,
                                                  unsigned short deviceState, unsigned long length,
                                                  const void* data) const {
    return m_impl->VdlSyncWriteControlReq(port, vdlState, deviceState, length, data);
}

uint32_t VdlR3AdapterCore::VdlSyncReadStateReq(unsigned short port, unsigned short* vdlState,
                                               unsigned short* deviceState) {
    return m_impl->VdlSyncReadStateReq(port, vdlState, deviceState);
}

uint32_t VdlR3AdapterCore::VdlSyncReadReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                          unsigned long length, void* data) {
    return m_impl->VdlSyncReadReq(port, indexGroup, indexOffset, length, data);
}

uint32_t VdlR3AdapterCore::VdlSyncWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                           unsigned long length, void* data) {
    return m_impl->VdlSyncWriteReq(port, indexGroup, indexOffset, length, data);
}

uint32_t VdlR3AdapterCore::VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup,
                                               unsigned int indexOffset, unsigned long readLength, void* readData,
                                               unsigned long writeLength, void* writeData) {
    return m_impl->VdlSyncReadWriteReq(port, indexGroup, indexOffset, readLength, readData, writeLength, writeData);
}

uint32_t VdlR3AdapterCore::VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup,
                                               unsigned int indexOffset, unsigned long readLength, void* readData,
                                               unsigned long writeLength, void* writeData,
                                               unsigned long& bytesRead) {
    return m_impl->VdlSyncReadWriteReq(port, indexGroup, indexOffset, readLength, readData, writeLength, writeData,
                                       bytesRead);
}

uint32_t VdlR3AdapterCore::VdlSyncAddDeviceNotificationReq(unsigned short port, unsigned int indexGroup,
                                                           unsigned int indexOffset,
                                                           IVdlNotificationListener* listener, long userValue) {
    return m_impl->VdlSyncAddDeviceNotificationReq(port, indexGroup, indexOffset, listener, userValue);
}

uint32_t VdlR3AdapterCore::VdlSyncDelDeviceNotificationReq(unsigned short port, IVdlNotificationListener* listener,
                                                           long userValue) {
    return m_impl->VdlSyncDelDeviceNotificationReq(port, listener, userValue);
}

uint32_t VdlR3AdapterCore::VdlSyncSetTimeout(int milliseconds) { return m_impl->VdlSyncSetTimeout(milliseconds); }

uint32_t VdlR3AdapterCore::VdlSyncGetTimeout() { return m_impl->VdlSyncGetTimeout(); }

}  // namespace ZtEventLoggerVdlApi
