// MrxConnection.h - one TCP connection to the router (internal).
//
// Threads: the caller's thread sends a request and waits for its reply; one
// reader thread per connection reads every frame, matches replies by invoke
// id (copying reply data straight into the caller's buffer) and queues
// notification samples; one notification thread calls the sample callbacks,
// so a callback that blocks never holds up replies.
#ifndef ZT_MRX_CONNECTION_H
#define ZT_MRX_CONNECTION_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "MrxTypes.h"
#include "MrxWire.h"

namespace ZtMrxClient {

// One request waiting for its reply. Lives on the requester's stack.
struct Pending {
    ZtMrxWire::Command command{};
    std::condition_variable cv;
    bool done = false;
    bool busy = false;  // the reader is copying reply bytes into readBuf
    uint32_t error = 0;
    // Data replies (read, read-write): where the bytes go.
    uint8_t* readBuf = nullptr;
    uint32_t readCap = 0;
    uint32_t bytesRead = 0;
    // Small fixed replies (read state, add notification).
    uint16_t state1 = 0, state2 = 0;
    uint32_t handle = 0;
    // Add notification: registered by the reader as the reply is read, so that
    // no sample that follows the reply can miss its subscription.
    PVdlNotificationFunc callback = nullptr;
    unsigned int userHandle = 0;
    MrxAddr source{};
};

class Connection : public std::enable_shared_from_this<Connection> {
public:
    // Opens a connection and performs the handshake. On failure returns null
    // and sets error.
    static std::shared_ptr<Connection> Open(unsigned short wantedPort, uint32_t& error);
    ~Connection();

    bool Alive() const { return alive_.load(std::memory_order_acquire); }
    const MrxNetId& RouterNetId() const { return routerNetId_; }
    uint16_t Port() const { return port_; }

    // Sends one request (head bytes, then data) and waits for the reply.
    uint32_t Transact(Pending& p, const MrxAddr& target, std::span<const uint8_t> head,
                      std::span<const uint8_t> data, int timeoutMs);
    // Forgets a subscription locally; later samples for it are dropped.
    void ForgetNotification(uint32_t handle);
    // Stops both threads and fails every waiting request. Idempotent.
    void Close();

private:
    Connection(int fd, const MrxNetId& routerNetId, uint16_t port);
    void Start();
    void ReaderLoop();
    void NotifyLoop();
    bool ReadExact(uint8_t* dst, size_t n);
    bool Discard(size_t n);
    bool HandleReply(const ZtMrxWire::Header& h);
    bool HandleSample(const ZtMrxWire::Header& h);
    void Fail(uint32_t error);

    const int fd_;
    const MrxNetId routerNetId_;
    const uint16_t port_;
    std::atomic<bool> alive_{true};
    std::atomic<bool> closed_{false};
    std::atomic<uint32_t> nextInvokeId_{1};

    std::mutex writeMutex_;

    std::mutex pendingMutex_;
    std::unordered_map<uint32_t, Pending*> pending_;

    struct Subscription {
        PVdlNotificationFunc callback;
        unsigned int userHandle;
        MrxAddr source;
    };
    std::mutex notifyMutex_;
    std::condition_variable notifyCv_;
    std::unordered_map<uint32_t, Subscription> subscriptions_;
    std::deque<std::vector<uint8_t>> samples_;  // each: 16-byte sample header + data
    size_t queuedBytes_ = 0;
    bool stopNotify_ = false;

    // Reader-side buffer: small frames arrive in one recv.
    std::vector<uint8_t> rbuf_;
    size_t rpos_ = 0, rend_ = 0;

    std::thread reader_;
    std::thread notifier_;
    std::once_flag closeOnce_;
};

// State of a CMrxPort.
struct PortState {
    mutable std::mutex mutex;
    std::shared_ptr<Connection> conn;
    bool open = false;
    MrxNetId netId{};
    std::atomic<uint32_t> lastError{0};
};

// Router address from ZT_MRX_ROUTER, or the default.
std::string RouterAddress();

}  // namespace ZtMrxClient

#endif  // ZT_MRX_CONNECTION_H
