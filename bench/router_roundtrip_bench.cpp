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

#include "BareRouterSocket.h"
#include "BenchUtil.h"
#include "MrxWire.h"
#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"
#include "ZtSim/Simulator.h"
#include "ZtSim/TestService.h"

namespace {

using namespace ZtMrxWire;

// The least a client can do: one socket, frames built in place, replies read
// straight into the caller's buffer.
class BareClient {
public:
    explicit BareClient(uint16_t port) : socket_(port) {}

    void ReadWrite(uint16_t targetPort, uint32_t group, const std::vector<uint8_t>& w, std::vector<uint8_t>& r) {
        Header h;
        h.length = static_cast<uint32_t>(kHeaderSize + kReadWriteRequestHead + w.size());
        h.command = static_cast<uint16_t>(Command::ReadWrite);
        h.invokeId = ++invoke_;
        std::memcpy(h.targetNetId, socket_.netId, 6);
        h.targetPort = targetPort;
        std::memcpy(h.sourceNetId, socket_.netId, 6);
        h.sourcePort = socket_.Port();
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
        if (::sendmsg(socket_.Fd(), &msg, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof(head) + w.size()))
            throw std::runtime_error("sendmsg");
        uint8_t rh[kHeaderSize + 4];
        socket_.Recv(rh, sizeof(rh));
        uint32_t len = Get32(rh + kHeaderSize);
        socket_.Recv(r.data(), len);
    }

private:
    ZtBench::BareRouterSocket socket_;
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
