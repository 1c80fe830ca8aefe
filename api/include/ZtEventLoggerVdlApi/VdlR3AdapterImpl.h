// VdlR3AdapterImpl.h - the router adapter: connection to a target through the
// local message router, synchronous Vdl requests, connection-state listeners,
// and the process-wide device-notification registry.
//
// Results are Vdl error codes (VdlErrors.h): 0, a code of the router client
// or the target, one of the adapter's own codes, or a listener's refusal code.
//
// Threads: any thread may call. Connect calls are serialised by the connection
// mutex; IsConnected takes no adapter lock, so that a notification listener
// may ask it while a Connect is under way. Requests take no adapter lock; many
// may run at once.
// Listeners are called from Connect and Disconnect on the caller's thread.
// Notification listeners are called on a router-client thread.
#ifndef ZT_VDL_R3_ADAPTER_IMPL_H
#define ZT_VDL_R3_ADAPTER_IMPL_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "CVdlSync.h"
#include "VdlApiExport.h"
#include "VdlErrors.h"
#include "VdlListeners.h"

namespace ZtEventLoggerVdlApi {

class ZT_VDLAPI VdlR3AdapterImpl {
public:
    // One registry entry: a subscription of a listener.
    struct NotificationEntry {
        unsigned short port;
        IVdlNotificationListener* listener;  // not owned
        int64_t userValue;
        uint32_t routerHandle;  // 0 until the router client accepted the subscription
    };

    VdlR3AdapterImpl();
    virtual ~VdlR3AdapterImpl();
    VdlR3AdapterImpl(const VdlR3AdapterImpl&) = delete;
    VdlR3AdapterImpl& operator=(const VdlR3AdapterImpl&) = delete;

    // True while the router port is open and connected. Never blocks on Connect.
    virtual bool IsConnected() const;
    // Opens the router port if needed and connects to the target: a MrxNetId
    // in dotted text, a local alias ("", "localhost", "127.0.0.1",
    // "127.0.0.1.1.1", case-sensitive) or a route name (any ASCII case).
    // 1865 when the target cannot be resolved; a listener's code when it refused.
    virtual uint32_t Connect(std::string_view target);
    // Tells every listener Disconnected and closes the router port.
    virtual uint32_t Disconnect();
    virtual uint32_t VdlSyncWriteControlReq(unsigned short port, unsigned short vdlState, unsigned short deviceState,
                                            unsigned long length, const void* data) const;
    virtual uint32_t VdlSyncReadStateReq(unsigned short port, unsigned short* vdlState, unsigned short* deviceState);
    virtual uint32_t VdlSyncReadReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                    unsigned long length, void* data);
    virtual uint32_t VdlSyncWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                     unsigned long length, void* data);
    virtual uint32_t VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                         unsigned long readLength, void* readData, unsigned long writeLength,
                                         void* writeData);
    // The same; bytesRead receives the number of reply bytes (untouched on 1844).
    virtual uint32_t VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                         unsigned long readLength, void* readData, unsigned long writeLength,
                                         void* writeData, unsigned long& bytesRead);
    // Request time-out in milliseconds; 1863 for 0 or less. While subscriptions
    // are being made (their probe and request use 200 ms) these read and set
    // the callers' time-out, which is in force again when the last one is done.
    virtual uint32_t VdlSyncSetTimeout(int milliseconds);
    virtual uint32_t VdlSyncGetTimeout();

    // Listeners in registration order, each at most once, not owned. 1803 for null.
    uint32_t AddListener(IConnectionStateListener* listener);
    uint32_t RemoveListener(IConnectionStateListener* listener);

    // Subscribes listener to (port, group, offset) of the current target; each
    // sample goes to listener->OnVdlNotification(..., userValue). 1807 when the
    // same (port, listener, userValue) is subscribed in any adapter of the
    // process; the state probe's error when the target does not answer in 200 ms;
    // 1804 when the subscription was removed while it was being made (it is then
    // ended at the router again).
    uint32_t VdlSyncAddDeviceNotificationReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                             IVdlNotificationListener* listener, long userValue);
    // Ends that subscription; 1804 when there is none.
    uint32_t VdlSyncDelDeviceNotificationReq(unsigned short port, IVdlNotificationListener* listener,
                                             long userValue);

    // Target text to MrxNetId (all zero and an error on failure).
    std::pair<MrxNetId, uint32_t> MrxNetIdFromString(std::string_view text) const;
    // Route name to MrxNetId, read from a fresh copy of the route table.
    std::pair<MrxNetId, uint32_t> MrxNetIdFromComputerName(std::string_view name) const;
    // The local router's route table. A malformed row is left out and the
    // listing goes on; the result is then 1798 with every well-formed row.
    std::pair<std::vector<VdlRoute>, uint32_t> ListVdlRoutes() const;
    // Whether the text has the shape of a dotted NetId (the empty text included).
    static bool IsNetId(std::string_view text);
    // The target NetId requests are addressed to.
    MrxNetId TargetNetId() const;

    // Callback handed to the router client; routes a sample to its listener.
    static void VdlNotificationFunc(MrxAddr* source, VdlNotificationHeader* sample, unsigned int userHandle);

    // The process-wide registry.
    static std::unordered_map<uint32_t, NotificationEntry> g_notification_listner;
    static std::shared_mutex g_mutex_notification_listener;
    static uint32_t g_next_notification_listner_handle;

private:
    ZT_VDLAPI_LOCAL void SetTargetNetId(const MrxNetId& id);
    ZT_VDLAPI_LOCAL void NotifyListeners(ConnectionState state) const;
    // The short time-out of subscriptions in the making, counted, so that
    // overlapping ones never leave it in force nor lose a time-out set meanwhile.
    ZT_VDLAPI_LOCAL void BeginShortTimeout(int milliseconds);
    ZT_VDLAPI_LOCAL void EndShortTimeout();

    mutable CVdlSync m_sync;
    // The target NetId, packed into an integer so requests can read it while
    // another thread connects.
    std::atomic<uint64_t> m_targetNetId{0};
    mutable std::recursive_mutex m_connectionMutex;
    bool m_connected = false;
    mutable std::shared_mutex m_listenerLock;
    std::vector<IConnectionStateListener*> m_listeners;
    std::mutex m_timeoutMutex;
    int m_shortTimeoutUsers = 0;  // subscriptions in the making
    int m_callerTimeout = 0;      // the callers' time-out while they are
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_VDL_R3_ADAPTER_IMPL_H
