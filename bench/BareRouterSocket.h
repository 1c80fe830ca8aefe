// BareRouterSocket.h - the baseline clients of the benchmarks: a plain TCP
// connection to the simulated router that has said hello, with blocking
// send and receive of whole byte runs.
#ifndef ZT_BENCH_BARE_ROUTER_SOCKET_H
#define ZT_BENCH_BARE_ROUTER_SOCKET_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "MrxWire.h"

namespace ZtBench {

class BareRouterSocket {
public:
    explicit BareRouterSocket(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
            ::close(fd_);
            throw std::runtime_error("connect");
        }
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        ZtMrxWire::Header h;
        Send(ZtMrxWire::EncodeHello(h, ZtMrxWire::Hello{}));
        uint8_t reply[ZtMrxWire::kHeaderSize + ZtMrxWire::kHelloSize];
        Recv(reply, sizeof(reply));
        std::memcpy(netId, reply + ZtMrxWire::kHeaderSize + 8, 6);
        port_ = ZtMrxWire::Get16(reply + ZtMrxWire::kHeaderSize + 6);
    }
    ~BareRouterSocket() { ::close(fd_); }
    BareRouterSocket(const BareRouterSocket&) = delete;
    BareRouterSocket& operator=(const BareRouterSocket&) = delete;

    int Fd() const { return fd_; }
    uint16_t Port() const { return port_; }
    void Shutdown() { ::shutdown(fd_, SHUT_RDWR); }

    void Send(const std::vector<uint8_t>& bytes) { Send(bytes.data(), bytes.size()); }
    void Send(const uint8_t* p, size_t n) {
        while (n > 0) {
            ssize_t r = ::send(fd_, p, n, MSG_NOSIGNAL);
            if (r <= 0) throw std::runtime_error("send");
            p += r;
            n -= static_cast<size_t>(r);
        }
    }
    void Recv(uint8_t* p, size_t n) {
        while (n > 0) {
            ssize_t r = ::recv(fd_, p, n, 0);
            if (r <= 0) throw std::runtime_error("recv");
            p += r;
            n -= static_cast<size_t>(r);
        }
    }

    // Subscribes this connection to the notifications of (port, group,
    // offset) on target and reads the reply; samples follow on the socket.
    void Subscribe(const uint8_t target[6], uint16_t port, uint32_t group, uint32_t offset) {
        ZtMrxWire::Header sub;
        sub.command = static_cast<uint16_t>(ZtMrxWire::Command::AddNotification);
        sub.invokeId = 1;
        std::memcpy(sub.targetNetId, target, 6);
        sub.targetPort = port;
        uint8_t attrib[32] = {};
        Send(ZtMrxWire::FrameBuilder(sub).U32(group).U32(offset).Bytes(attrib, 32).Finish());
        uint8_t reply[ZtMrxWire::kHeaderSize + 4];
        Recv(reply, sizeof(reply));
    }

    uint8_t netId[6] = {};  // the router's, from the hello

    // Reads frames until the connection ends and calls onFrame(frame, length)
    // for each whole one, in order; afterRead() runs after each receive.
    template <class OnFrame, class AfterRead>
    void ReadFrames(OnFrame onFrame, AfterRead afterRead) {
        std::vector<uint8_t> buf(256 * 1024);
        size_t have = 0;
        for (;;) {
            ssize_t r = ::recv(fd_, buf.data() + have, buf.size() - have, 0);
            if (r <= 0) return;
            have += static_cast<size_t>(r);
            size_t pos = 0;
            while (have - pos >= ZtMrxWire::kHeaderSize) {
                const uint32_t len = ZtMrxWire::Get32(buf.data() + pos);
                if (have - pos < len) break;
                onFrame(buf.data() + pos, len);
                pos += len;
            }
            std::memmove(buf.data(), buf.data() + pos, have - pos);
            have -= pos;
            afterRead();
        }
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

}  // namespace ZtBench

#endif  // ZT_BENCH_BARE_ROUTER_SOCKET_H
