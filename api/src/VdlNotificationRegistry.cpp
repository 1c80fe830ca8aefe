// The process-wide device-notification registry: maps every subscription to
// the listener that asked for it and routes incoming samples.
#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"

namespace ZtEventLoggerVdlApi {

std::unordered_map<uint32_t, VdlR3AdapterImpl::NotificationEntry> VdlR3AdapterImpl::g_notification_listner;
std::shared_mutex VdlR3AdapterImpl::g_mutex_notification_listener;
uint32_t VdlR3AdapterImpl::g_next_notification_listner_handle = 0;

namespace {

constexpr int kProbeTimeoutMs = 200;
// Attributes sent with every subscription.
constexpr VdlNotificationAttrib kAttributes{8192, 3, 0, 0, {0, 0, 0, 0}};

}  // namespace

uint32_t VdlR3AdapterImpl::VdlSyncAddDeviceNotificationReq(unsigned short port, unsigned int indexGroup,
                                                           unsigned int indexOffset,
                                                           IVdlNotificationListener* listener, long userValue) {
    // A null listener would be called for every sample.
    if (listener == nullptr) return VDL_ERR_INVALID_PARAMETER;
    MrxAddr addr(TargetNetId(), port);

    // The 200 ms limit applies to the probe and the subscription only; the
    // callers' time-out is in force again when the last add in flight is done.
    BeginShortTimeout(kProbeTimeoutMs);
    struct Restore {
        VdlR3AdapterImpl* adapter;
        ~Restore() { adapter->EndShortTimeout(); }
    } restore{this};

    unsigned short vdlState = 0, deviceState = 0;
    uint32_t rc = m_sync.VdlSyncReadStateReq(addr, &vdlState, &deviceState);
    if (rc != 0) return rc;

    uint32_t handle;
    {
        std::unique_lock<std::shared_mutex> lk(g_mutex_notification_listener);
        handle = g_next_notification_listner_handle++;
        for (const auto& [h, e] : g_notification_listner) {
            if (e.port == port && e.listener == listener && e.userValue == userValue) return VDL_ERR_ALREADY_EXISTS;
        }
        // A reservation: a sample that arrives before the router handle is
        // stored still reaches the listener.
        g_notification_listner[handle] = NotificationEntry{port, listener, userValue, 0};
    }

    VdlNotificationAttrib attributes = kAttributes;
    unsigned int routerHandle = 0;
    rc = m_sync.VdlSyncAddDeviceNotificationReq(addr, indexGroup, indexOffset, &attributes, &VdlNotificationFunc,
                                                handle, &routerHandle);
    std::unique_lock<std::shared_mutex> lk(g_mutex_notification_listener);
    auto it = g_notification_listner.find(handle);
    if (rc != 0) {
        if (it != g_notification_listner.end()) g_notification_listner.erase(it);
        return rc;
    }
    if (it == g_notification_listner.end()) {
        // Removed while the router was asked: the removal found nothing to end
        // at the router, so the subscription is ended here, under the lock
        // like every removal.
        m_sync.VdlSyncDelDeviceNotificationReq(addr, routerHandle);
        return VDL_ERR_NOT_FOUND;
    }
    it->second.routerHandle = routerHandle;
    return rc;
}

uint32_t VdlR3AdapterImpl::VdlSyncDelDeviceNotificationReq(unsigned short port, IVdlNotificationListener* listener,
                                                           long userValue) {
    std::unique_lock<std::shared_mutex> lk(g_mutex_notification_listener);
    for (auto it = g_notification_listner.begin(); it != g_notification_listner.end(); ++it) {
        const NotificationEntry& e = it->second;
        if (e.port != port || e.listener != listener || e.userValue != userValue) continue;
        // A reservation has no router subscription yet: its add ends the one it
        // gets once it finds the entry gone.
        uint32_t rc = VDL_OK;
        if (e.routerHandle != 0) {
            MrxAddr addr(TargetNetId(), port);
            // Under the lock, so that no sample reaches a listener whose entry
            // is being removed.
            rc = m_sync.VdlSyncDelDeviceNotificationReq(addr, e.routerHandle);
        }
        g_notification_listner.erase(it);
        return rc;
    }
    return VDL_ERR_NOT_FOUND;
}

void VdlR3AdapterImpl::VdlNotificationFunc(MrxAddr*, VdlNotificationHeader* sample, unsigned int userHandle) {
    if (sample == nullptr || sample->sampleSize == 0) return;
    std::shared_lock<std::shared_mutex> lk(g_mutex_notification_listener);
    auto it = g_notification_listner.find(userHandle);
    if (it == g_notification_listner.end()) return;
    const NotificationEntry& e = it->second;
    e.listener->OnVdlNotification(e.port, static_cast<long>(sample->timeStamp),
                                  static_cast<unsigned long>(sample->sampleSize),
                                  reinterpret_cast<uint8_t*>(sample) + sizeof(VdlNotificationHeader), e.userValue);
}

}  // namespace ZtEventLoggerVdlApi
