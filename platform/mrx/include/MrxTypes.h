// MrxTypes.h - addresses and notification records of the router client.
#ifndef ZT_MRX_TYPES_H
#define ZT_MRX_TYPES_H

#include <cstdint>
#include <cstring>

#if defined(__GNUC__)
#define ZT_MRX_API __attribute__((visibility("default")))
#else
#define ZT_MRX_API
#endif

// Six bytes that address a router.
struct MrxNetId {
    unsigned char b[6];

    friend bool operator==(const MrxNetId& a, const MrxNetId& b) { return std::memcmp(a.b, b.b, 6) == 0; }
    friend bool operator!=(const MrxNetId& a, const MrxNetId& b) { return !(a == b); }
};
static_assert(sizeof(MrxNetId) == 6, "MrxNetId is six bytes");

// A router address and a port on it.
struct MrxAddr {
    MrxNetId netId{};
    unsigned short port = 0;

    MrxAddr() = default;
    MrxAddr(const MrxNetId& id, unsigned short p) : netId(id), port(p) {}
};

#pragma pack(push, 1)
// Attributes of a device notification: eight 32-bit words.
struct VdlNotificationAttrib {
    uint32_t maxSampleSize;
    uint32_t transmissionMode;
    uint32_t maxDelay;
    uint32_t cycleTime;
    uint32_t reserved[4];
};
static_assert(sizeof(VdlNotificationAttrib) == 32, "notification attributes are 32 bytes");

// One notification sample; sampleSize bytes of data follow the header.
struct VdlNotificationHeader {
    uint32_t handle;     // the router's notification handle
    int64_t timeStamp;   // FILETIME of the sample
    uint32_t sampleSize; // bytes following the header
};
static_assert(sizeof(VdlNotificationHeader) == 16, "notification header is 16 bytes");
#pragma pack(pop)

// Notification callback; runs on a thread of the router client. The header and
// the sample bytes after it are valid only during the call.
typedef void (*PVdlNotificationFunc)(MrxAddr* source, VdlNotificationHeader* sample, unsigned int userHandle);

// Error codes reported by the router client and carried from the router.
enum MrxError : uint32_t {
    MRX_ERR_NOERROR = 0,
    MRX_ERR_TARGET_PORT_NOT_FOUND = 6,     // no service at that port of the target
    MRX_ERR_TARGET_MACHINE_NOT_FOUND = 7,  // no route to that MrxNetId
    MRX_ERR_NO_MEMORY = 25,
    MRX_ERR_SERVICE_NOT_SUPPORTED = 1793,
    MRX_ERR_INVALID_SIZE = 1797,           // reply buffer too small; the reply's first 4 bytes give the size needed
    MRX_ERR_INVALID_DATA = 1798,
    MRX_ERR_INVALID_PARAMETER = 1803,
    MRX_ERR_NOT_FOUND = 1804,
    MRX_ERR_ALREADY_EXISTS = 1827,
    MRX_ERR_TIMEOUT = 1861,                // no reply within the sync object's time-out
    MRX_ERR_PORT_NOT_CONNECTED = 1864,     // port not open, no router reachable, or the connection was lost
};

#endif  // ZT_MRX_TYPES_H
