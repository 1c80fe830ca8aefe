// CVdlSync.h - synchronous Vdl requests over a router port.
//
// Every request is sent on the contained port and waits at most m_timeout
// milliseconds for its reply (a value of 0 or less means the default of 5000
// ms); a request that outlives the time-out fails with 1861. Any number of
// threads may have requests outstanding on one sync object at once. Results
// are Vdl error codes: 0 on success, the router's or the target's error code,
// or 1861 (time-out), 1864 (port not open or link lost), 1803 (bad argument).
#ifndef ZT_CVDL_SYNC_H
#define ZT_CVDL_SYNC_H

#include <atomic>
#include <cstdint>
#include <span>

#include "CMrxPort.h"

namespace ZtMrxClient {
struct Pending;
}

class ZT_MRX_API CVdlSync {
public:
    // The port number and the flags are kept for compatibility; the name is
    // a caller's label (it may be null).
    CVdlSync(unsigned short port, int flags, const char* name);
    ~CVdlSync();
    CVdlSync(const CVdlSync&) = delete;
    CVdlSync& operator=(const CVdlSync&) = delete;

    // Reads length bytes. A reply shorter than length leaves the rest of data untouched.
    unsigned int VdlSyncReadReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                unsigned int length, void* data);
    unsigned int VdlSyncWriteReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                 unsigned int length, void* data);
    // Writes writeLength bytes and reads the reply into readData. On error 1797
    // (reply buffer too small) the service's size hint is in readData's first 4 bytes.
    unsigned int VdlSyncReadWriteReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                     unsigned int readLength, void* readData, unsigned int writeLength,
                                     void* writeData);
    // The same, also reporting the number of reply bytes in bytesRead.
    unsigned int VdlSyncReadWriteReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                     unsigned int readLength, void* readData, unsigned int writeLength,
                                     void* writeData, unsigned int& bytesRead);
    unsigned int VdlSyncReadStateReq(MrxAddr& addr, unsigned short* vdlState, unsigned short* deviceState);
    unsigned int VdlSyncWriteControlReq(MrxAddr& addr, unsigned short vdlState, unsigned short deviceState,
                                        unsigned int length, void* data);
    // Subscribes; every sample then goes to callback(source, sample, userHandle)
    // on the port's notification thread, in the order the router sent them.
    unsigned int VdlSyncAddDeviceNotificationReq(MrxAddr& addr, unsigned int indexGroup, unsigned int indexOffset,
                                                 VdlNotificationAttrib* attrib, PVdlNotificationFunc callback,
                                                 unsigned int userHandle, unsigned int* notificationHandle);
    // Ends a subscription. Samples not yet delivered when it is called are
    // dropped; a callback already running for it is not waited for.
    unsigned int VdlSyncDelDeviceNotificationReq(MrxAddr& addr, unsigned int notificationHandle);

    CMrxR3Port m_port;
    std::atomic<int> m_timeout;

private:
    __attribute__((visibility("hidden"))) int EffectiveTimeout() const;
    __attribute__((visibility("hidden"))) unsigned int Transact(ZtMrxClient::Pending& p, const MrxAddr& addr, std::span<const uint8_t> head,
                          std::span<const uint8_t> data);
};

#endif  // ZT_CVDL_SYNC_H
