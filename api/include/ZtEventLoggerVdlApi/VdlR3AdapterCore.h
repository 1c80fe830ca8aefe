// VdlR3AdapterCore.h - the handle other libraries create and hold for one
// router adapter. Every operation forwards to its VdlR3AdapterImpl; see
// VdlR3AdapterImpl.h for results and threading.
#ifndef ZT_VDL_R3_ADAPTER_CORE_H
#define ZT_VDL_R3_ADAPTER_CORE_H

#include <cstdint>

#include "IZtObject.h"
#include "VdlErrors.h"
#include "VdlListeners.h"

namespace ZtEventLoggerVdlApi {

class VdlR3AdapterImpl;

class ZT_VDLAPI VdlR3AdapterCore : public IZtObject {
public:
    VdlR3AdapterCore();
    ~VdlR3AdapterCore() override;
    VdlR3AdapterCore(const VdlR3AdapterCore&) = delete;
    VdlR3AdapterCore& operator=(const VdlR3AdapterCore&) = delete;

    bool IsConnected() const;
    // target: NUL-terminated text (1803 for null).
    uint32_t Connect(const char* target);
    uint32_t Disconnect();
    uint32_t AddListener(IConnectionStateListener* listener);
    uint32_t RemoveListener(IConnectionStateListener* listener);
    uint32_t VdlSyncWriteControlReq(unsigned short port, unsigned short vdlState, unsigned short deviceState,
                                    unsigned long length, const void* data) const;
    uint32_t VdlSyncReadStateReq(unsigned short port, unsigned short* vdlState, unsigned short* deviceState);
    uint32_t VdlSyncReadReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                            unsigned long length, void* data);
    uint32_t VdlSyncWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                             unsigned long length, void* data);
    uint32_t VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                 unsigned long readLength, void* readData, unsigned long writeLength, void* writeData);
    uint32_t VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                 unsigned long readLength, void* readData, unsigned long writeLength, void* writeData,
                                 unsigned long& bytesRead);
    uint32_t VdlSyncAddDeviceNotificationReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                             IVdlNotificationListener* listener, long userValue);
    uint32_t VdlSyncDelDeviceNotificationReq(unsigned short port, IVdlNotificationListener* listener,
                                             long userValue);
    uint32_t VdlSyncSetTimeout(int milliseconds);
    uint32_t VdlSyncGetTimeout();

    // Equal when both are the same core (they hold the same implementation).
    bool operator==(const VdlR3AdapterCore& other) const { return m_impl == other.m_impl; }
    bool operator!=(const VdlR3AdapterCore& other) const { return !(*this == other); }

private:
    VdlR3AdapterImpl* const m_impl;  // owned; never null, never replaced
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_VDL_R3_ADAPTER_CORE_H
