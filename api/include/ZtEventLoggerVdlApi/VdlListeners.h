// VdlListeners.h - what users of the router adapter implement, and the types
// the adapter hands back.
#ifndef ZT_VDL_LISTENERS_H
#define ZT_VDL_LISTENERS_H

#include <cstdint>
#include <string>

#include "MrxTypes.h"
#include "VdlApiExport.h"

namespace ZtEventLoggerVdlApi {

// The state passed to connection-state listeners.
enum class ConnectionState : int32_t {
    Connected = 1,       // sent by Connect after the target was resolved
    Disconnected = 2,    // sent by Disconnect, and by Connect when a listener refused Connected
    TargetChanging = 3,  // sent by Connect with a new target while marked connected
};

// Told of connection-state changes. Called on the thread that calls Connect or
// Disconnect, with the adapter's listener lock held shared: the listener must
// not call AddListener or RemoveListener from inside the call.
class ZT_VDLAPI IConnectionStateListener {
public:
    // 0 accepts; for Connected, any other code refuses the connection and
    // becomes the result of Connect. Results for the other states are ignored.
    virtual uint32_t OnConnectionStateChaned(ConnectionState state) = 0;

protected:
    ~IConnectionStateListener() = default;
};

// Receives device-notification samples. Called on a thread of the router
// client with the process-wide registry lock held shared: the listener must not
// add or remove subscriptions from inside the call. data is valid only during
// the call.
class ZT_VDLAPI IVdlNotificationListener {
public:
    virtual uint32_t OnVdlNotification(unsigned short port, long timeStamp, unsigned long size, void* data,
                                       long userValue) = 0;

protected:
    ~IVdlNotificationListener() = default;
};

// One row of the local router's route table.
struct VdlRoute {
    std::string name;       // the route name a target may be connected by
    std::string firstText;  // the route's address text
    MrxNetId netId{};
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_VDL_LISTENERS_H
