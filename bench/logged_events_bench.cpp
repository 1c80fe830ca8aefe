// GetLoggedEvents of 1,000 and of 10,000 events, end to end through the event
// logger object into its logged-event collection, against a bare socket that
// sends the same request bytes to the same simulator and reads the same
// reply bytes. Both run against one simulator, alternating.
#include <sys/socket.h>
#include <sys/uio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "BareRouterSocket.h"
#include "BenchUtil.h"
#include "LoggerBench.h"
#include "MrxWire.h"

namespace {

using namespace ZtBench;
using namespace ZtMrxWire;

// The read of the newest events as the service proxy sends it: group 200,
// offset 2, frame type 200 with the count, a reply buffer of 1 KiB per event
// and the head.
class BareLogReader {
public:
    BareLogReader(uint16_t routerPort, const MrxNetId& target) : socket_(routerPort), target_(target) {}

    size_t Read(uint32_t count) {
        std::vector<uint8_t> request(20, 0);
        const uint32_t version = 1, payload = 4;
        const uint16_t type = 200;
        std::memcpy(request.data(), &version, 4);
        std::memcpy(request.data() + 4, &type, 2);
        std::memcpy(request.data() + 8, &payload, 4);
        std::memcpy(request.data() + 12, &count, 4);
        const uint32_t readLength = (count << 10) | 24u;

        Header h;
        h.length = static_cast<uint32_t>(kHeaderSize + kReadWriteRequestHead + request.size());
        h.command = static_cast<uint16_t>(Command::ReadWrite);
        h.invokeId = ++invoke_;
        std::memcpy(h.targetNetId, target_.b, 6);
        h.targetPort = ZtSim::kEventLoggerPort;
        std::memcpy(h.sourceNetId, socket_.netId, 6);
        h.sourcePort = socket_.Port();
        uint8_t head[kHeaderSize + kReadWriteRequestHead];
        EncodeHeader(h, head);
        Put32(head + kHeaderSize, 200);
        Put32(head + kHeaderSize + 4, 2);
        Put32(head + kHeaderSize + 8, readLength);
        Put32(head + kHeaderSize + 12, static_cast<uint32_t>(request.size()));
        iovec iov[2] = {{head, sizeof(head)}, {request.data(), request.size()}};
        msghdr msg{};
        msg.msg_iov = iov;
        msg.msg_iovlen = 2;
        if (::sendmsg(socket_.Fd(), &msg, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof(head) + request.size()))
            throw std::runtime_error("sendmsg");
        uint8_t rh[kHeaderSize + 4];
        socket_.Recv(rh, sizeof(rh));
        const uint32_t length = Get32(rh + kHeaderSize);
        reply_.resize(length);  // only the bytes that came, as a client that reads what it gets
        socket_.Recv(reply_.data(), length);
        uint32_t records = 0;
        if (length >= 20) std::memcpy(&records, reply_.data() + 16, 4);
        return records;
    }

private:
    BareRouterSocket socket_;
    MrxNetId target_;
    uint32_t invoke_ = 0;
    std::vector<uint8_t> reply_;
};

}  // namespace

int main() {
    try {
        ZtSim::Simulator sim;
        auto service = ZtSim::EventLoggerOf(sim.Local());
        for (uint32_t id = 0; id < 10000; ++id) service->SendMessage(BenchEvent(id));
        ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);
        BenchLogger logger;
        if (!logger.Connect()) throw std::runtime_error("connect failed");
        BareLogReader bare(sim.Port(), sim.Local().NetId());

        for (auto [count, iterations, rounds] : {std::tuple{1000u, 20, 15}, std::tuple{10000u, 4, 11}}) {
            int got = 0;
            size_t bareGot = 0;
            auto ours = [&] {
                ZtEventLoggerVdlProxy::IZtLoggedEventCollection* events = nullptr;
                if (logger.logger->GetLoggedEvents(count, &events) != 0) throw std::runtime_error("request failed");
                events->get_Count(&got);
                events->Release();
            };
            auto baseline = [&] { bareGot = bare.Read(count); };
            auto r = Compare(ours, baseline, iterations, rounds);
            if (got != static_cast<int>(count) || bareGot != count) throw std::runtime_error("wrong event count");
            char name[64];
            std::snprintf(name, sizeof(name), "(d) GetLoggedEvents of %u", count);
            Print(name, r, 1.3);
            std::printf("    ours %.2f ms, bare exchange %.2f ms\n", r.oursNs / 1e6, r.baselineNs / 1e6);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
