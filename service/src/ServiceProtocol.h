// ServiceProtocol.h - what is exchanged with the event logger service: port,
// index groups, the frame header, notification frames, error mapping, request
// handles and the retry policy of requests (internal).
#ifndef ZT_SERVICE_PROTOCOL_H
#define ZT_SERVICE_PROTOCOL_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "ZtAtlCom/HResult.h"

namespace ZtEventLoggerVdlApi {
class VdlR3AdapterCore;
}

namespace ZtEventLoggerCommon {

#pragma pack(push, 1)
// Opens every command frame, request stream, stream reply and notification frame.
struct ZtEventStreamHeader {
    uint32_t version;        // always 1
    uint16_t type;           // notification frame type or request type
    uint16_t format;         // body format of a serializer stream: 0 binary, 1 JSON
    uint32_t payloadLength;  // bytes from offset 12
};
#pragma pack(pop)
static_assert(sizeof(ZtEventStreamHeader) == 12, "frame header is 12 bytes");

}  // namespace ZtEventLoggerCommon

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::HRESULT;
using ZtEventLoggerCommon::ZtEventStreamHeader;
struct IZtEventHandler;

constexpr unsigned short kServicePort = 132;
constexpr uint32_t kStreamVersion = 1;

enum IndexGroup : uint32_t {
    kGroupCommand = 100,       // offset 0: command frames and alarm request streams
    kGroupEvents = 200,        // offsets 0 (by settings), 1 (all active), 2 (newest by count)
    kGroupQuery = 500,         // offset 0: export, texts, class names, cause/remedy, details
    kGroupClearLog = 600,      // offset 0: clear the event log
    kGroupNotification = 777,  // offset 0: notification frames
    kGroupResource = 800,      // offsets 100 (clear cache), 200 (load), 300 (unload)
};

enum FrameType : uint16_t {
    kFrameMessageSent = 0,
    kFrameAlarmRaised = 1,
    kFrameAlarmCleared = 2,
    kFrameAlarmListCleared = 4,
    kFrameQuiet = 5,  // carries nothing and does not count as activity
    kFrameAlarmConfirmed = 6,
    kFrameAlarmDisposed = 7,
};

// Results of the service link.
constexpr HRESULT ZT_E_SERVICE_BASE = ZtAtlCom::MakeHResult(0x98110000u);
constexpr HRESULT ZT_E_FRAME_VERSION = ZtAtlCom::MakeHResult(0x9811070Eu);      // frame version not 1
constexpr HRESULT ZT_E_SUBSCRIBE_NO_PORT = ZtAtlCom::MakeHResult(0x98220002u);  // subscription failed with error 6
constexpr HRESULT ZT_E_BAD_RECORD = ZtAtlCom::MakeHResult(0x98110706u);         // record outside its frame (1798)

// A Vdl error e as HRESULT: (e | 0x18110000) ^ 0x80000000, 0 stays 0.
constexpr HRESULT VdlErrorToHResult(uint32_t error) noexcept {
    return error == 0 ? ZtAtlCom::S_OK : ZtAtlCom::MakeHResult((error | 0x18110000u) ^ 0x80000000u);
}
// The same for the notification subscription at connect, where error 6 has its own value.
constexpr HRESULT SubscriptionErrorToHResult(uint32_t error) noexcept {
    return error == 6 ? ZT_E_SUBSCRIBE_NO_PORT : VdlErrorToHResult(error);
}

// Handles of requests that carry one: 1, 2, ... 65534, 0, 1, ... (the counter
// modulo 65535). Thread-safe.
class RequestHandleCounter {
public:
    uint16_t Next() noexcept { return static_cast<uint16_t>((m_counter.fetch_add(1) + 1) % 65535u); }

private:
    std::atomic<uint32_t> m_counter{0};
};

// Notification frames as they arrive, before they are queued.
enum class FrameCheck {
    Ok,
    HeaderIncomplete,    // fewer than 12 bytes
    PayloadBeyondBytes,  // the declared payload is longer than the bytes received
    BadRecord,           // a frame type that carries a record, and the record does not fit its payload
};
// Checks a frame of `size` received bytes. Frames with a version other than 1
// pass (dispatch refuses them); frame types without a record need no record.
FrameCheck CheckNotificationFrame(const void* bytes, size_t size) noexcept;

// Dispatches one frame whose header has been checked against the bytes
// received: types 0, 1, 2, 6, 7 with their record, 4 without; other types call
// nothing. *activity (when not null) is set unless the version is wrong or the
// type is 5. A record that does not fit the declared payload is not passed on
// (ZT_E_BAD_RECORD). A version other than 1 gives ZT_E_FRAME_VERSION.
// recordChecked: the frame passed CheckNotificationFrame on arrival and has
// not changed since, so its record needs no second check.
HRESULT DispatchNotificationFrame(const ZtEventStreamHeader* frame, IZtEventHandler* handler, bool* activity,
                                  bool recordChecked = false) noexcept;

// The memory a reply is read into. Its bytes are not zeroed when it is made
// or grows: only the bytes a reply carried are ever read (and the size hint
// of error 1797, which is cleared before each attempt), and a log read of
// 10,000 events reserves 10 MB.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    using value_type = T;
    UninitializedAllocator() noexcept = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const UninitializedAllocator&, const UninitializedAllocator&) noexcept { return true; }
};
using ReplyBuffer = std::vector<unsigned char, UninitializedAllocator<unsigned char>>;

// Clears the first bytes of a reply buffer, where error 1797 puts its size
// hint, so that an answer without the hint never reads as one.
inline void ClearSizeHint(ReplyBuffer& reply) noexcept {
    for (size_t i = 0; i < reply.size() && i < 4; ++i) reply[i] = 0;
}

// The retry policy of requests: error 6 (the service's port not open yet) is
// retried after 100 ms while the attempt counter is at most 19; error 1797
// (reply buffer too small) makes the buffer exactly the size the service
// asks for in the reply's first 4 bytes, counted (allowed while the counter is
// at most 2) or not counted. The counter is shared by both. Uncounted
// growth is still bounded: at most kMaxUncountedSizeRetries times, and never
// beyond kMaxReplySize, so a service that keeps asking for a little more
// cannot hold the caller for ever.
class RequestRetry {
public:
    enum class SizeRetry { Counted, Uncounted };

    RequestRetry(ZtEventLoggerVdlApi::VdlR3AdapterCore& adapter, SizeRetry sizeRetry = SizeRetry::Counted) noexcept
        : m_adapter(adapter), m_sizeRetry(sizeRetry) {}

    // After a failed attempt: true when the request should be sent again
    // (having slept or resized reply as the rule says); false to stop.
    bool ShouldRetry(uint32_t error, ReplyBuffer& reply);
    int Counter() const noexcept { return m_counter; }
    void Count() noexcept { ++m_counter; }

    // The whole loop: send(reply) until success or a stop; returns the last
    // Vdl error (0 on success).
    uint32_t Run(ReplyBuffer& reply, const std::function<uint32_t(ReplyBuffer&)>& send);

    // Largest reply a size hint may ask for; a larger (or useless) hint stops.
    static constexpr uint32_t kMaxReplySize = 64u * 1024u * 1024u;
    static constexpr int kMaxBusyRetries = 19;
    static constexpr int kMaxCountedSizeRetries = 2;
    static constexpr int kMaxUncountedSizeRetries = 16;
    static constexpr uint32_t kBusySleepMs = 100;

private:
    ZtEventLoggerVdlApi::VdlR3AdapterCore& m_adapter;
    const SizeRetry m_sizeRetry;
    int m_counter = 0;
    int m_uncountedGrowths = 0;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_SERVICE_PROTOCOL_H
