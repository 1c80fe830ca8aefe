// Read-write round trips of 4 KB and 1 MB through adapter, router client and
// simulator, against a bare socket exchanging the same frames with the same
// simulator.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "BenchUtil.h"
#include "MrxWire.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"
#include "ZtSim/Simulator.h"
#include "ZtSim/TestService.h"

namespace {

using namespace ZtMrxWire;

void RecvAll(int fd, uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t r = ::recv(fd, p, n, 0);
        if (r <= 0) throw std::runtime_error("recv");
        p += r;
        n -= static_cast<size_t>(r);
    }
}

void SendAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
        if (r <= 0) throw std::runtime_error("send");
        p += r;
        n -= static_cast<size_t>(r);
    }
}

// The least a client can do: one socket, frames built in place, replies read
// straight into the caller's buffer.
class BareClient {
public:
    explicit BareClient(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) throw std::runtime_error("connect");
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        Header h;
        auto hello = EncodeHello(h, Hello{});
        SendAll(fd_, hello.data(), hello.size());
        uint8_t reply[kHeaderSize + kHelloSize];
        RecvAll(fd_, reply, sizeof(reply));
        std::memcpy(netId_, reply + kHeaderSize + 8, 6);
        port_ = Get16(reply + kHeaderSize + 6);
    }
    ~BareClient() { ::close(fd_); }

    void ReadWrite(uint16_t targetPort, uint32_t group, const std::vector<uint8_t>& w, std::vector<uint8_t>& r) {
        Header h;
        h.length = static_cast<uint32_t>(kHeaderSize + kReadWriteRequestHead + w.size());
        h.command = static_cast<uint16_t>(Command::ReadWrite);
        h.invokeId = ++invoke_;
        std::memcpy(h.targetNetId, netId_, 6);
        h.targetPort = targetPort;
        std::memcpy(h.sourceNetId, netId_, 6);
        h.sourcePort = port_;
        uint8_t head[kHeaderSize + kReadWriteRequestHead];
        EncodeHeader(h, head);
        Put32(head + kHeaderSize, group);
        Put32(head + kHeaderSize + 4, 0);
        Put32(head + kHeaderSize + 8, static_cast<uint32_t>(r.size()));
        Put32(head + kHeaderSize + 12, static_cast<uint32_t>(w.size()));
        iovec iov[2] = {{head, sizeof(head)}, {const_cast<uint8_t*>(w.data()), w.size()}};
        msghdr msg{};
        msg.msg_iov = iov;
        msg.msg_iovlen = 2;
        // Loopback takes these sizes in one call; a short send would be a bench failure.
        if (::sendmsg(fd_, &msg, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof(head) + w.size()))
            throw std::runtime_error("sendmsg");
        uint8_t rh[kHeaderSize + 4];
        RecvAll(fd_, rh, sizeof(rh));
        uint32_t len = Get32(rh + kHeaderSize);
        RecvAll(fd_, r.data(), len);
    }

private:
    int fd_ = -1;
    uint8_t netId_[6] = {};
    uint16_t port_ = 0;
    uint32_t invoke_ = 0;
};

}  // namespace

int main() {
    ZtSim::Simulator sim;
    ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);
    ZtEventLoggerVdlApi::VdlR3AdapterImpl adapter;
    if (adapter.Connect("") != 0) {
        std::fprintf(stderr, "connect failed\n");
        return 1;
    }
    BareClient bare(sim.Port());

    struct Case {
        const char* name;
        size_t size;
        int iterations, rounds;
        double target;
    } cases[] = {{"read-write 4 KB round trip", 4096, 400, 15, 1.3},
                 {"read-write 1 MB round trip", 1 << 20, 20, 15, 1.25}};
    for (const auto& c : cases) {
        std::vector<uint8_t> w(c.size), r1(c.size), r2(c.size);
        for (size_t i = 0; i < w.size(); ++i) w[i] = static_cast<uint8_t>(i * 31);
        auto ours = [&] {
            unsigned long n = 0;
            if (adapter.VdlSyncReadWriteReq(ZtSim::kTestPort, ZtSim::kEchoGroup, 0, r1.size(), r1.data(), w.size(),
                                            w.data(), n) != 0 ||
                n != w.size())
                throw std::runtime_error("adapter request failed");
        };
        auto baseline = [&] { bare.ReadWrite(ZtSim::kTestPort, ZtSim::kEchoGroup, w, r2); };
        auto res = ZtBench::Compare(ours, baseline, c.iterations, c.rounds);
        if (r1 != w || r2 != w) throw std::runtime_error("echo mismatch");
        ZtBench::Print(c.name, res, c.target);
    }
    return 0;
}
