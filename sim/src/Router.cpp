#include "Router.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "ZtSim/EventLoggerService.h"
#include "ZtSim/SystemService.h"
#include "ZtSim/TargetAccess.h"
#include "ZtSim/TestService.h"

namespace ZtSim {

using namespace ZtMrxWire;

namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

Header ReplyHeader(const Header& req) {
    Header h;
    h.command = req.command;
    h.flags = kFlagReply;
    h.invokeId = req.invokeId;
    std::memcpy(h.targetNetId, req.sourceNetId, 6);
    h.targetPort = req.sourcePort;
    std::memcpy(h.sourceNetId, req.targetNetId, 6);
    h.sourcePort = req.targetPort;
    return h;
}

std::vector<uint8_t> ErrorFrame(const Header& req, uint32_t error) {
    Header h = ReplyHeader(req);
    h.error = error;
    return FrameBuilder(h).Finish();
}

}  // namespace

// ---- client connection ----------------------------------------------------

ClientConn::~ClientConn() {
    Join();
    ::close(fd_);
}

void ClientConn::Start() {
    auto self = shared_from_this();
    thread_ = std::thread([self] { self->Loop(); });
}

bool ClientConn::SendLocked(const std::vector<uint8_t>& frame) {
    const uint8_t* p = frame.data();
    size_t n = frame.size();
    while (n > 0) {
        ssize_t r = ::send(fd_, p, n, kSendFlags);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ::shutdown(fd_, SHUT_RDWR);
            return false;
        }
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool ClientConn::Send(const std::vector<uint8_t>& frame) {
    std::lock_guard<std::mutex> lk(writeMutex_);
    return SendLocked(frame);
}

void ClientConn::Shutdown() {
    closing_.store(true);
    ::shutdown(fd_, SHUT_RDWR);
}

void ClientConn::Join() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void ClientConn::Loop() {
    FrameReader reader;
    std::vector<uint8_t> buf(256 * 1024);
    std::vector<uint8_t> payload;
    auto self = shared_from_this();
    for (bool open = true; open;) {
        ssize_t r = ::recv(fd_, buf.data(), buf.size(), 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        reader.Append(buf.data(), static_cast<size_t>(r));
        for (;;) {
            Header h;
            Status s = reader.Next(h, payload);
            if (s == Status::TooShort) break;
            if (s != Status::Ok) {
                open = false;  // a malformed frame: the client is not trusted any more
                break;
            }
            router_.Serve(self, h, payload);
            if (Closing()) {
                open = false;
                break;
            }
        }
    }
    ::shutdown(fd_, SHUT_RDWR);
    finished_.store(true);
    router_.OnClosed(this);
}

// ---- router ---------------------------------------------------------------

Router::Router(const SimOptions& options) : options_(options) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) throw std::runtime_error("simulator: socket failed");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.bindAddress.c_str(), &addr.sin_addr) != 1) {
        ::close(listenFd_);
        throw std::runtime_error("simulator: bad bind address " + options_.bindAddress);
    }
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(listenFd_, 64) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("simulator: cannot listen on " + options_.bindAddress + ":" +
                                 std::to_string(options_.port) + ": " + std::strerror(errno));
    }
    socklen_t len = sizeof(addr);
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    if (::pipe(wakePipe_) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("simulator: pipe failed");
    }

    try {
        local_ = &MakeTarget(options_.localNetId, options_.localName, true);
        for (const auto& r : options_.routes) AddRoute(r);
    } catch (...) {
        // A symbol file or sandbox that cannot be used: no descriptor may outlive the throw.
        ::close(listenFd_);
        ::close(wakePipe_[0]);
        ::close(wakePipe_[1]);
        throw;
    }
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

Router::~Router() { Stop(); }

Target& Router::MakeTarget(const MrxNetId& id, const std::string& name, bool local) {
    auto t = std::make_unique<Target>(*this, id, name);
    auto system = std::make_shared<SystemService>(local);
    t->AddService(kSystemServicePort, system);
    t->AddService(kTestPort, std::make_shared<TestService>());
    auto files = InstallTargetAccess(*t, *system, options_, local);
    if (local) files_ = std::move(files);
    Target& ref = *t;
    EventLoggerOptions logger;
    if (local) {
        logger.logFile = options_.eventLog;
        logger.resourceFiles = options_.resourceFiles;
        logger.files = files_;
    }
    ref.AddService(kEventLoggerPort, std::make_shared<EventLoggerService>(ref, std::move(logger)));
    std::lock_guard<std::mutex> lk(targetsMutex_);
    targets_[NetIdText(id)] = std::move(t);
    return ref;
}

Target* Router::FindTarget(const MrxNetId& id) {
    std::lock_guard<std::mutex> lk(targetsMutex_);
    auto it = targets_.find(NetIdText(id));
    return it == targets_.end() ? nullptr : it->second.get();
}

Target* Router::FindTargetByName(std::string_view name) {
    std::lock_guard<std::mutex> lk(targetsMutex_);
    for (auto& [k, t] : targets_)
        if (t->Name() == name) return t.get();
    return nullptr;
}

Target& Router::AddRoute(const RouteEntry& route) {
    {
        std::lock_guard<std::mutex> lk(targetsMutex_);
        routes_.push_back(route);
        auto it = targets_.find(NetIdText(route.netId));
        if (it != targets_.end()) return *it->second;
    }
    return MakeTarget(route.netId, route.name, false);
}

std::vector<RouteEntry> Router::Routes() const {
    std::lock_guard<std::mutex> lk(targetsMutex_);
    return routes_;
}

void Router::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (stopping_.load()) break;
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if ((fds[0].revents & POLLIN) == 0) continue;
        int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
#ifdef SO_NOSIGPIPE
        ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof(one));
#endif
        auto conn = std::make_shared<ClientConn>(*this, fd);
        {
            std::lock_guard<std::mutex> lk(connsMutex_);
            conns_.push_back(conn);
        }
        conn->Start();
        Reap(false);
    }
}

// Joins and forgets finished connections (all of them when stopping).
void Router::Reap(bool all) {
    std::list<std::shared_ptr<ClientConn>> done;
    {
        std::lock_guard<std::mutex> lk(connsMutex_);
        for (auto it = conns_.begin(); it != conns_.end();) {
            if (all || (*it)->Finished()) {
                done.push_back(*it);
                it = conns_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : done) {
        if (all) c->Shutdown();
        c->Join();
    }
}

void Router::Stop() {
    std::call_once(stopOnce_, [this] {
        stopping_.store(true);
        char b = 0;
        [[maybe_unused]] ssize_t w = ::write(wakePipe_[1], &b, 1);
        if (acceptThread_.joinable()) acceptThread_.join();
        ::close(listenFd_);
        ::close(wakePipe_[0]);
        ::close(wakePipe_[1]);
        Reap(true);
    });
}

void Router::DropConnections() {
    std::lock_guard<std::mutex> lk(connsMutex_);
    for (auto& c : conns_) c->Shutdown();
}

size_t Router::ConnectionCount() {
    std::lock_guard<std::mutex> lk(connsMutex_);
    size_t n = 0;
    for (auto& c : conns_)
        if (!c->Finished()) ++n;
    return n;
}

size_t Router::SubscriptionCount() {
    std::lock_guard<std::mutex> lk(subsMutex_);
    return subs_.size();
}

size_t Router::SubscriberCount(const MrxNetId& id, uint16_t port, uint32_t group, uint32_t offset) {
    std::lock_guard<std::mutex> lk(subsMutex_);
    size_t n = 0;
    for (auto& [h, s] : subs_)
        if (s.netId == id && s.port == port && s.group == group && s.offset == offset) ++n;
    return n;
}

void Router::OnClosed(ClientConn* conn) {
    std::lock_guard<std::mutex> lk(subsMutex_);
    for (auto it = subs_.begin(); it != subs_.end();) {
        auto c = it->second.conn.lock();
        if (!c || c.get() == conn)
            it = subs_.erase(it);
        else
            ++it;
    }
}

namespace {

// One notification sample to a subscriber's connection.
std::vector<uint8_t> SampleFrame(const ClientConn& conn, uint32_t handle, const MrxNetId& id, uint16_t port,
                                 std::span<const uint8_t> bytes, uint64_t timeStamp) {
    Header h;
    h.command = static_cast<uint16_t>(Command::Sample);
    std::memcpy(h.targetNetId, conn.clientNetId.b, 6);
    h.targetPort = conn.clientPort;
    std::memcpy(h.sourceNetId, id.b, 6);
    h.sourcePort = port;
    return FrameBuilder(h, kSampleHead + bytes.size())
        .U32(handle)
        .U64(timeStamp)
        .U32(static_cast<uint32_t>(bytes.size()))
        .Bytes(bytes.data(), bytes.size())
        .Finish();
}

}  // namespace

std::vector<std::pair<std::shared_ptr<ClientConn>, uint32_t>> Router::Subscribers(const MrxNetId& id, uint16_t port,
                                                                                  uint32_t group, uint32_t offset) {
    std::vector<std::pair<std::shared_ptr<ClientConn>, uint32_t>> targets;
    std::lock_guard<std::mutex> lk(subsMutex_);
    for (auto& [h, s] : subs_) {
        if (s.netId == id && s.port == port && s.group == group && s.offset == offset) {
            if (auto c = s.conn.lock()) targets.emplace_back(std::move(c), h);
        }
    }
    return targets;
}

size_t Router::Publish(const MrxNetId& id, uint16_t port, uint32_t group, uint32_t offset,
                       std::span<const uint8_t> bytes, uint64_t timeStamp) {
    const auto targets = Subscribers(id, port, group, offset);
    if (timeStamp == 0) timeStamp = FileTimeNow();
    size_t reached = 0;
    for (auto& [conn, handle] : targets)
        if (conn->Send(SampleFrame(*conn, handle, id, port, bytes, timeStamp))) ++reached;
    return reached;
}

size_t Router::PublishBurst(const MrxNetId& id, uint16_t port, uint32_t group, uint32_t offset,
                            const std::vector<std::vector<uint8_t>>& samples, uint64_t timeStamp,
                            const std::function<void()>& beforeWrite) {
    const auto targets = Subscribers(id, port, group, offset);
    if (timeStamp == 0) timeStamp = FileTimeNow();
    std::vector<std::vector<uint8_t>> writes(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        for (const auto& bytes : samples) {
            const auto frame = SampleFrame(*targets[i].first, targets[i].second, id, port, bytes, timeStamp);
            writes[i].insert(writes[i].end(), frame.begin(), frame.end());
        }
    }
    if (beforeWrite) beforeWrite();
    size_t reached = 0;
    for (size_t i = 0; i < targets.size(); ++i)
        if (targets[i].first->Send(writes[i])) ++reached;
    return reached;
}

bool Router::ServeNotification(const std::shared_ptr<ClientConn>& conn, const Header& h,
                               std::span<const uint8_t> payload) {
    MrxNetId id;
    std::memcpy(id.b, h.targetNetId, 6);
    if (h.command == static_cast<uint16_t>(Command::DelNotification)) {
        uint32_t handle = 0;
        if (DecodeU32(payload, handle) != Status::Ok) return false;
        uint32_t error = MRX_ERR_NOT_FOUND;
        {
            std::lock_guard<std::mutex> lk(subsMutex_);
            auto it = subs_.find(handle);
            if (it != subs_.end() && it->second.conn.lock() == conn) {
                subs_.erase(it);
                error = 0;
            }
        }
        return conn->Send(ErrorFrame(h, error));
    }
    AddNotificationRequest req;
    if (DecodeAddNotification(payload, req) != Status::Ok) return false;
    Target* target = FindTarget(id);
    if (target == nullptr) return conn->Send(ErrorFrame(h, MRX_ERR_TARGET_MACHINE_NOT_FOUND));
    auto service = target->FindService(h.targetPort);
    if (!service) return conn->Send(ErrorFrame(h, MRX_ERR_TARGET_PORT_NOT_FOUND));
    if (uint32_t e = service->CanSubscribe(*target, req.indexGroup, req.indexOffset); e != 0)
        return conn->Send(ErrorFrame(h, e));
    bool sent;
    {
        // Registered and answered under the connection's write lock, so that
        // no sample of the new subscription can overtake its reply.
        std::lock_guard<std::mutex> wl(conn->WriteMutex());
        uint32_t handle;
        {
            std::lock_guard<std::mutex> lk(subsMutex_);
            handle = nextSubHandle_++;
            if (nextSubHandle_ == 0) nextSubHandle_ = 1;
            subs_[handle] = Subscription{conn, id, h.targetPort, req.indexGroup, req.indexOffset};
        }
        sent = conn->SendLocked(FrameBuilder(ReplyHeader(h), 4).U32(handle).Finish());
    }
    if (sent) service->OnSubscribed(*target, req.indexGroup, req.indexOffset);
    return sent;
}

bool Router::ApplyFault(const std::shared_ptr<ClientConn>& conn, const Header& h, const FaultTarget& target,
                        uint32_t readLength, std::optional<uint32_t>& cutTo) {
    auto fault = faults_.Take(target);
    if (!fault) return false;
    switch (fault->kind) {
        case FaultKind::SizeHint: {
            Header rh = ReplyHeader(h);
            rh.error = MRX_ERR_INVALID_SIZE;
            conn->Send(FrameBuilder(rh, 8).U32(4).U32(fault->size).Finish());
            return true;
        }
        case FaultKind::CutReply:
            cutTo = fault->size;
            return false;
        case FaultKind::Error:
            conn->Send(ErrorFrame(h, fault->error));
            return true;
        case FaultKind::Delay:
            std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
            return false;
        case FaultKind::Drop:
            conn->Shutdown();
            return true;
        case FaultKind::NoReply:
            return true;
        case FaultKind::Truncate:
            // The length field promises more bytes than the frame carries.
            conn->Send(FrameBuilder(ReplyHeader(h)).U32(readLength + 16).Bytes("trunc", 5).Finish());
            return true;
        case FaultKind::Oversize: {
            std::vector<uint8_t> extra(static_cast<size_t>(readLength) + 64, 0xAB);
            conn->Send(FrameBuilder(ReplyHeader(h))
                           .U32(static_cast<uint32_t>(extra.size()))
                           .Bytes(extra.data(), extra.size())
                           .Finish());
            return true;
        }
        case FaultKind::Garbage: {
            auto frame = FrameBuilder(ReplyHeader(h)).U32(0xDEADBEEF).Finish();
            Put16(frame.data() + 4, 0x7777);
            conn->Send(frame);
            return true;
        }
    }
    return false;
}

void Router::Serve(const std::shared_ptr<ClientConn>& conn, const Header& h, std::vector<uint8_t>& payload) {
    auto close = [&] { conn->Shutdown(); };
    const auto cmd = static_cast<Command>(h.command);
    if (!conn->helloDone) {
        Hello hello;
        if (cmd != Command::Hello || h.IsReply() || DecodeHello(payload, hello) != Status::Ok) return close();
        Hello answer;
        std::memcpy(answer.netId, options_.localNetId.b, 6);
        Header rh = ReplyHeader(h);
        {
            std::lock_guard<std::mutex> lk(connsMutex_);
            answer.port = nextClientPort_++;
        }
        if (hello.version != kProtocolVersion) rh.error = MRX_ERR_SERVICE_NOT_SUPPORTED;
        conn->helloDone = true;
        conn->clientPort = answer.port;
        conn->clientNetId = options_.localNetId;
        rh.flags = kFlagReply;
        if (!conn->Send(EncodeHello(rh, answer)) || rh.error != 0) close();
        return;
    }
    if (h.IsReply() || cmd == Command::Hello || cmd == Command::Sample) return close();
    if (cmd == Command::AddNotification || cmd == Command::DelNotification) {
        AddNotificationRequest add;
        FaultTarget ft;
        ft.port = h.targetPort;
        ft.hasGroup = cmd == Command::AddNotification && DecodeAddNotification(payload, add) == Status::Ok;
        ft.indexGroup = add.indexGroup;
        ft.indexOffset = add.indexOffset;
        std::optional<uint32_t> cutTo;
        if (ApplyFault(conn, h, ft, 0, cutTo)) return;
        if (!ServeNotification(conn, h, payload)) close();
        return;
    }

    Request req;
    std::memcpy(req.source.netId.b, h.sourceNetId, 6);
    req.source.port = h.sourcePort;
    req.port = h.targetPort;
    Status st = Status::Ok;
    bool hasGroup = true;
    switch (cmd) {
        case Command::Read: {
            ReadRequest r;
            st = DecodeRead(payload, r);
            req.kind = RequestKind::Read;
            req.indexGroup = r.indexGroup;
            req.indexOffset = r.indexOffset;
            req.readLength = r.length;
            break;
        }
        case Command::Write: {
            WriteRequest r;
            st = DecodeWrite(payload, r);
            req.kind = RequestKind::Write;
            req.indexGroup = r.indexGroup;
            req.indexOffset = r.indexOffset;
            req.data = r.data;
            break;
        }
        case Command::ReadWrite: {
            ReadWriteRequest r;
            st = DecodeReadWrite(payload, r);
            req.kind = RequestKind::ReadWrite;
            req.indexGroup = r.indexGroup;
            req.indexOffset = r.indexOffset;
            req.readLength = r.readLength;
            req.data = r.data;
            break;
        }
        case Command::ReadState:
            st = payload.empty() ? Status::Ok : Status::TooLong;
            req.kind = RequestKind::ReadState;
            hasGroup = false;
            break;
        case Command::WriteControl: {
            WriteControlRequest r;
            st = DecodeWriteControl(payload, r);
            req.kind = RequestKind::WriteControl;
            req.vdlState = r.vdlState;
            req.deviceState = r.deviceState;
            req.data = r.data;
            hasGroup = false;
            break;
        }
        default:
            st = Status::BadCommand;
    }
    if (st != Status::Ok) return close();

    FaultTarget ft;
    ft.port = req.port;
    ft.hasGroup = hasGroup;
    ft.indexGroup = req.indexGroup;
    ft.indexOffset = req.indexOffset;
    if (req.data.size() >= 6) ft.requestType = Get16(req.data.data() + 4);
    std::optional<uint32_t> cutTo;
    if (ApplyFault(conn, h, ft, req.readLength, cutTo)) return;

    MrxNetId id;
    std::memcpy(id.b, h.targetNetId, 6);
    Target* target = FindTarget(id);
    if (target == nullptr) {
        conn->Send(ErrorFrame(h, MRX_ERR_TARGET_MACHINE_NOT_FOUND));
        return;
    }
    auto service = target->FindService(req.port);
    if (!service) {
        conn->Send(ErrorFrame(h, MRX_ERR_TARGET_PORT_NOT_FOUND));
        return;
    }
    Reply reply;
    try {
        reply = service->Handle(*target, req);
    } catch (...) {
        reply = Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    }

    Header rh = ReplyHeader(h);
    rh.error = reply.error;
    switch (req.kind) {
        case RequestKind::Read:
        case RequestKind::ReadWrite: {
            if (reply.error == 0 && reply.data.size() > req.readLength) {
                rh.error = MRX_ERR_INVALID_SIZE;
                Reply hint = Reply::SizeHint(static_cast<uint32_t>(reply.data.size()));
                reply.data = std::move(hint.data);
            }
            if (cutTo && reply.data.size() > *cutTo) reply.data.resize(*cutTo);
            if (rh.error != 0 && reply.data.empty()) {
                conn->Send(FrameBuilder(rh).Finish());
                break;
            }
            conn->Send(FrameBuilder(rh, 4 + reply.data.size())
                           .U32(static_cast<uint32_t>(reply.data.size()))
                           .Bytes(reply.data.data(), reply.data.size())
                           .Finish());
            break;
        }
        case RequestKind::ReadState:
            if (rh.error == 0)
                conn->Send(FrameBuilder(rh, 4).U16(reply.vdlState).U16(reply.deviceState).Finish());
            else
                conn->Send(FrameBuilder(rh).Finish());
            break;
        default:
            conn->Send(FrameBuilder(rh).Finish());
    }
}

}  // namespace ZtSim
