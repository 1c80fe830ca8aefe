#include "MrxConnection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace ZtMrxClient {

using namespace ZtMrxWire;

namespace {

constexpr const char* kDefaultRouter = "127.0.0.1:47800";
constexpr int kConnectTimeoutMs = 3000;
constexpr size_t kReadBuffer = 64 * 1024;
constexpr size_t kDirectReadThreshold = 16 * 1024;
// Samples waiting for the notification thread; beyond this the reader stops
// reading, so a stalled callback slows the router down instead of exhausting memory.
constexpr size_t kMaxQueuedSampleBytes = 256u * 1024u * 1024u;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

void JoinOrDetach(std::thread& t) {
    if (!t.joinable()) return;
    if (t.get_id() == std::this_thread::get_id())
        t.detach();
    else
        t.join();
}

bool WaitFd(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool SendAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t r = ::send(fd, p, n, kSendFlags);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

// Reads exactly n bytes within the time (used only during the handshake).
bool RecvAllTimed(int fd, uint8_t* p, size_t n, int timeoutMs) {
    while (n > 0) {
        if (!WaitFd(fd, POLLIN, timeoutMs)) return false;
        ssize_t r = ::recv(fd, p, n, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

int ConnectTo(const std::string& address) {
    auto colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0) return -1;
    std::string host = address.substr(0, colon), port = address.substr(colon + 1);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &res) != 0) return -1;
    int fd = -1;
    for (addrinfo* ai = res; ai != nullptr && fd < 0; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (fd < 0) continue;
        int flags = ::fcntl(fd, F_GETFL, 0);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        bool ok = rc == 0;
        if (!ok && errno == EINPROGRESS && WaitFd(fd, POLLOUT, kConnectTimeoutMs)) {
            int err = 0;
            socklen_t len = sizeof(err);
            ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
        }
        if (!ok) {
            ::close(fd);
            fd = -1;
            continue;
        }
        ::fcntl(fd, F_SETFL, flags);
    }
    ::freeaddrinfo(res);
    if (fd >= 0) {
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
#ifdef SO_NOSIGPIPE
        ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof(one));
#endif
    }
    return fd;
}

}  // namespace

std::string RouterAddress() {
    const char* env = std::getenv("ZT_MRX_ROUTER");
    return (env != nullptr && *env != '\0') ? std::string(env) : std::string(kDefaultRouter);
}

std::shared_ptr<Connection> Connection::Open(unsigned short wantedPort, uint32_t& error) {
    error = MRX_ERR_PORT_NOT_CONNECTED;
    int fd = ConnectTo(RouterAddress());
    if (fd < 0) return nullptr;

    Header h;
    Hello hello;
    hello.port = wantedPort;
    std::vector<uint8_t> frame = EncodeHello(h, hello);
    uint8_t reply[kHeaderSize + kHelloSize];
    Header rh;
    Hello rhello;
    bool ok = SendAll(fd, frame.data(), frame.size()) && RecvAllTimed(fd, reply, kHeaderSize, kConnectTimeoutMs) &&
              DecodeHeader({reply, kHeaderSize}, rh) == Status::Ok && rh.IsReply() &&
              rh.command == static_cast<uint16_t>(Command::Hello);
    if (ok && rh.error != 0) {
        error = rh.error;
        ok = false;
    } else if (ok) {
        ok = rh.PayloadSize() == kHelloSize && RecvAllTimed(fd, reply + kHeaderSize, kHelloSize, kConnectTimeoutMs) &&
             DecodeHello({reply + kHeaderSize, kHelloSize}, rhello) == Status::Ok &&
             rhello.version == kProtocolVersion;
    }
    if (!ok) {
        ::close(fd);
        return nullptr;
    }
    MrxNetId id;
    std::memcpy(id.b, rhello.netId, 6);
    std::shared_ptr<Connection> c(new Connection(fd, id, rhello.port));
    c->Start();
    error = 0;
    return c;
}

Connection::Connection(int fd, const MrxNetId& routerNetId, uint16_t port)
    : fd_(fd), routerNetId_(routerNetId), port_(port), rbuf_(kReadBuffer) {}

Connection::~Connection() {
    Close();
    JoinOrDetach(reader_);
    JoinOrDetach(notifier_);
    ::close(fd_);
}

void Connection::Start() {
    auto self = shared_from_this();
    reader_ = std::thread([self] { self->ReaderLoop(); });
    notifier_ = std::thread([self] { self->NotifyLoop(); });
}

void Connection::Close() {
    std::call_once(closeOnce_, [this] {
        closed_.store(true);
        alive_.store(false, std::memory_order_release);
        ::shutdown(fd_, SHUT_RDWR);
        {
            std::lock_guard<std::mutex> lk(notifyMutex_);
            stopNotify_ = true;
            samples_.clear();
            subscriptions_.clear();
        }
        notifyCv_.notify_all();
        JoinOrDetach(reader_);
        JoinOrDetach(notifier_);
        Fail(MRX_ERR_PORT_NOT_CONNECTED);
    });
}

void Connection::Fail(uint32_t error) {
    std::lock_guard<std::mutex> lk(pendingMutex_);
    for (auto it = pending_.begin(); it != pending_.end();) {
        Pending* p = it->second;
        if (p->busy) {  // the reader finishes it itself
            ++it;
            continue;
        }
        p->error = error;
        p->done = true;
        p->cv.notify_one();
        it = pending_.erase(it);
    }
}

uint32_t Connection::Transact(Pending& p, const MrxAddr& target, std::span<const uint8_t> head,
                              std::span<const uint8_t> data, int timeoutMs) {
    const size_t total = kHeaderSize + head.size() + data.size();
    if (total > kMaxFrame) return MRX_ERR_INVALID_PARAMETER;
    uint32_t id = nextInvokeId_.fetch_add(1);
    if (id == 0) id = nextInvokeId_.fetch_add(1);

    Header h;
    h.length = static_cast<uint32_t>(total);
    h.command = static_cast<uint16_t>(p.command);
    h.invokeId = id;
    std::memcpy(h.targetNetId, target.netId.b, 6);
    h.targetPort = target.port;
    std::memcpy(h.sourceNetId, routerNetId_.b, 6);
    h.sourcePort = port_;
    uint8_t hb[kHeaderSize];
    EncodeHeader(h, hb);

    {
        std::lock_guard<std::mutex> lk(pendingMutex_);
        if (!Alive()) return MRX_ERR_PORT_NOT_CONNECTED;
        pending_.emplace(id, &p);
    }

    bool sent;
    {
        // One sendmsg for header, request head and data: no copy of the data.
        iovec iov[3] = {{hb, kHeaderSize},
                        {const_cast<uint8_t*>(head.data()), head.size()},
                        {const_cast<uint8_t*>(data.data()), data.size()}};
        msghdr msg{};
        msg.msg_iov = iov;
        msg.msg_iovlen = 3;
        std::lock_guard<std::mutex> lk(writeMutex_);
        size_t left = total;
        sent = true;
        while (left > 0) {
            ssize_t r = ::sendmsg(fd_, &msg, kSendFlags);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                sent = false;
                break;
            }
            left -= static_cast<size_t>(r);
            size_t skip = static_cast<size_t>(r);
            while (msg.msg_iovlen > 0 && skip >= msg.msg_iov[0].iov_len) {
                skip -= msg.msg_iov[0].iov_len;
                ++msg.msg_iov;
                --msg.msg_iovlen;
            }
            if (msg.msg_iovlen > 0) {
                msg.msg_iov[0].iov_base = static_cast<uint8_t*>(msg.msg_iov[0].iov_base) + skip;
                msg.msg_iov[0].iov_len -= skip;
            }
        }
    }
    if (!sent) {
        // A half-written frame leaves the stream unusable.
        alive_.store(false, std::memory_order_release);
        ::shutdown(fd_, SHUT_RDWR);
        Fail(MRX_ERR_PORT_NOT_CONNECTED);
    }

    std::unique_lock<std::mutex> lk(pendingMutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!p.done) {
        if (p.cv.wait_until(lk, deadline) != std::cv_status::timeout || p.done) continue;
        if (p.busy) {
            // The reply is arriving but stalls; a router that stops mid-frame
            // cannot be trusted any more.
            alive_.store(false, std::memory_order_release);
            ::shutdown(fd_, SHUT_RDWR);
            p.cv.wait(lk, [&] { return p.done; });
            break;
        }
        pending_.erase(id);
        return MRX_ERR_TIMEOUT;
    }
    return p.error;
}

void Connection::ForgetNotification(uint32_t handle) {
    std::lock_guard<std::mutex> lk(notifyMutex_);
    subscriptions_.erase(handle);
}

bool Connection::ReadExact(uint8_t* dst, size_t n) {
    size_t take = std::min(rend_ - rpos_, n);
    if (take > 0) {
        std::memcpy(dst, rbuf_.data() + rpos_, take);
        rpos_ += take;
        dst += take;
        n -= take;
    }
    while (n > 0) {
        if (n >= kDirectReadThreshold) {
            ssize_t r = ::recv(fd_, dst, n, 0);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            dst += r;
            n -= static_cast<size_t>(r);
        } else {
            ssize_t r = ::recv(fd_, rbuf_.data(), rbuf_.size(), 0);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            rpos_ = 0;
            rend_ = static_cast<size_t>(r);
            take = std::min(rend_, n);
            std::memcpy(dst, rbuf_.data(), take);
            rpos_ = take;
            dst += take;
            n -= take;
        }
    }
    return true;
}

bool Connection::Discard(size_t n) {
    uint8_t scratch[4096];
    while (n > 0) {
        size_t chunk = std::min(n, sizeof(scratch));
        if (!ReadExact(scratch, chunk)) return false;
        n -= chunk;
    }
    return true;
}

void Connection::ReaderLoop() {
    for (;;) {
        uint8_t hb[kHeaderSize];
        if (!ReadExact(hb, kHeaderSize)) break;
        Header h;
        if (DecodeHeader({hb, kHeaderSize}, h) != Status::Ok) break;
        bool ok;
        if (h.IsReply())
            ok = HandleReply(h);
        else if (h.command == static_cast<uint16_t>(Command::Sample))
            ok = HandleSample(h);
        else
            ok = false;  // the router sends no requests to clients
        if (!ok) break;
    }
    alive_.store(false, std::memory_order_release);
    ::shutdown(fd_, SHUT_RDWR);
    Fail(MRX_ERR_PORT_NOT_CONNECTED);
}

bool Connection::HandleReply(const Header& h) {
    const size_t size = h.PayloadSize();
    Pending* p = nullptr;
    {
        std::lock_guard<std::mutex> lk(pendingMutex_);
        auto it = pending_.find(h.invokeId);
        if (it != pending_.end()) {
            p = it->second;
            if (static_cast<uint16_t>(p->command) != h.command) p = nullptr;
            if (p != nullptr) p->busy = true;
        }
    }
    if (p == nullptr) {
        // A late reply to a request that timed out, or a reply nobody asked for.
        std::lock_guard<std::mutex> lk(pendingMutex_);
        if (pending_.count(h.invokeId) != 0) return false;  // command mismatch: not trusted
        return Discard(size);
    }

    uint32_t error = h.error;
    bool streamOk = true;   // the socket still delivers bytes
    bool frameOk = true;    // the frame matched its layout
    uint8_t small[8];
    switch (p->command) {
        case Command::Read:
        case Command::ReadWrite: {
            if (size == 0) {
                frameOk = error != 0;
                break;
            }
            if (size < kDataReplyHead) {
                frameOk = false;
                break;
            }
            if (!(streamOk = ReadExact(small, 4))) break;
            uint32_t len = Get32(small);
            if (len != size - kDataReplyHead || (error == 0 && len > p->readCap)) {
                frameOk = false;  // the reply claims more than was asked for
                break;
            }
            uint32_t n = std::min(len, p->readCap);
            streamOk = ReadExact(p->readBuf, n) && Discard(len - n);
            p->bytesRead = n;
            break;
        }
        case Command::ReadState:
            if (error == 0 && size != kReadStateReplySize) {
                frameOk = false;
            } else if (error == 0) {
                if ((streamOk = ReadExact(small, 4))) {
                    p->state1 = Get16(small);
                    p->state2 = Get16(small + 2);
                }
            } else {
                streamOk = size <= 64 && Discard(size);
                frameOk = size <= 64;
            }
            break;
        case Command::AddNotification:
            if (error == 0 && size != kAddNotificationReplySize) {
                frameOk = false;
            } else if (error == 0) {
                if ((streamOk = ReadExact(small, 4))) {
                    p->handle = Get32(small);
                    std::lock_guard<std::mutex> lk(notifyMutex_);
                    subscriptions_[p->handle] = Subscription{p->callback, p->userHandle, p->source};
                }
            } else {
                streamOk = size <= 64 && Discard(size);
                frameOk = size <= 64;
            }
            break;
        default:  // write, write control, delete notification: no payload
            frameOk = size == 0;
            break;
    }
    if (!frameOk) error = MRX_ERR_INVALID_DATA;
    if (!streamOk) error = MRX_ERR_PORT_NOT_CONNECTED;
    {
        std::lock_guard<std::mutex> lk(pendingMutex_);
        p->error = error;
        p->busy = false;
        p->done = true;
        pending_.erase(h.invokeId);
        p->cv.notify_one();
    }
    return streamOk && frameOk;
}

bool Connection::HandleSample(const Header& h) {
    const size_t size = h.PayloadSize();
    if (size < kSampleHead) return false;
    std::vector<uint8_t> sample(size);
    if (!ReadExact(sample.data(), size)) return false;
    Sample s;
    if (DecodeSample(sample, s) != Status::Ok) return false;
    std::unique_lock<std::mutex> lk(notifyMutex_);
    notifyCv_.wait(lk, [&] { return stopNotify_ || queuedBytes_ < kMaxQueuedSampleBytes; });
    if (stopNotify_) return false;
    queuedBytes_ += size;
    samples_.push_back(std::move(sample));
    notifyCv_.notify_all();
    return true;
}

void Connection::NotifyLoop() {
    std::unique_lock<std::mutex> lk(notifyMutex_);
    for (;;) {
        notifyCv_.wait(lk, [&] { return stopNotify_ || !samples_.empty(); });
        if (stopNotify_) break;
        std::deque<std::vector<uint8_t>> batch;
        batch.swap(samples_);
        queuedBytes_ = 0;
        notifyCv_.notify_all();  // the reader may be waiting for room
        for (auto& s : batch) {
            if (stopNotify_) break;
            auto it = subscriptions_.find(Get32(s.data()));
            if (it == subscriptions_.end()) continue;
            Subscription sub = it->second;
            lk.unlock();
            sub.callback(&sub.source, reinterpret_cast<VdlNotificationHeader*>(s.data()), sub.userHandle);
            lk.lock();
        }
    }
}

}  // namespace ZtMrxClient
