// Notification frames per second from the simulator through router client,
// registry, service proxy and job queue to a handler that does nothing,
// against a bare socket reading the same frames from the same simulator.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "BareRouterSocket.h"
#include "BenchUtil.h"
#include "MrxWire.h"
#include "ZtEventLoggerUmProxy.h"
#include "ZtSim/Simulator.h"
#include "ZtSim/TestService.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using namespace ZtMrxWire;

constexpr int kFrames = 20000;
constexpr unsigned short kPort = 132;

class CountingHandler : public IZtEventHandler {
public:
    ZtAtlCom::ULONG ZtAddRef() override { return 1; }
    ZtAtlCom::ULONG ZtRelease() override { return 1; }
    HRESULT ZtQueryInterface(const ZtAtlCom::IID&, void**) override { return ZtAtlCom::ZT_E_NOINTERFACE; }
    HRESULT OnNewEvent(ZtEventEntity*) override { return Count(); }
    HRESULT OnClearAlarm(ZtEventEntity*) override { return Count(); }
    HRESULT OnNewMessage(ZtEventEntity*) override { return Count(); }
    HRESULT OnDisposeActiveAlarm(ZtEventEntity*) override { return Count(); }
    HRESULT OnAlarmConfirmed(ZtEventEntity*) override { return Count(); }
    HRESULT OnClearAlarmList() override { return Count(); }
    HRESULT ConfirmEvent(ZtEventEntity*) override { return 0; }
    HRESULT GetActiveAlarms(std::vector<ZtAtlCom::CComPtr<IZtAlarm>>&) override { return 0; }
    HRESULT ClearAllAlarms(bool) override { return 0; }
    HRESULT ConfirmAllAlarms() override { return 0; }
    std::atomic<long> count{0};

private:
    HRESULT Count() {
        count.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
};

// A frame of type 1 carrying a record with source info, JSON and arguments.
std::vector<uint8_t> AlarmFrame() {
    std::vector<uint8_t> record(120, 0);
    std::string name = "Line2/Press/HydraulicPump";
    std::string json = "{\"line\":2,\"station\":\"press\"}";
    uint32_t si = 12 + static_cast<uint32_t>(name.size() + 1);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(record.data() + at, &v, 4); };
    put32(16, 4711);
    put32(28, 1);
    put32(32, 120);
    put32(36, si);
    record[40] = 1;
    record[42] = 1;
    std::vector<uint8_t> tail(12);
    uint32_t d[3] = {4, 132, static_cast<uint32_t>(name.size() + 1)};
    std::memcpy(tail.data(), d, 12);
    tail.insert(tail.end(), name.c_str(), name.c_str() + name.size() + 1);
    put32(88, 120 + si);
    put32(92, static_cast<uint32_t>(json.size() + 1));
    tail.insert(tail.end(), json.c_str(), json.c_str() + json.size() + 1);
    record.insert(record.end(), tail.begin(), tail.end());
    std::vector<uint8_t> f(12);
    uint32_t v = 1, len = static_cast<uint32_t>(record.size());
    uint16_t type = 1;
    std::memcpy(f.data(), &v, 4);
    std::memcpy(f.data() + 4, &type, 2);
    std::memcpy(f.data() + 8, &len, 4);
    f.insert(f.end(), record.begin(), record.end());
    return f;
}

// Reads frames from a raw router connection and counts the samples.
class BareReader {
public:
    BareReader(uint16_t port, const MrxNetId& target) : socket_(port) {
        socket_.Subscribe(target.b, kPort, 777, 1);
        thread_ = std::thread([this] { Loop(); });
    }
    ~BareReader() {
        socket_.Shutdown();
        thread_.join();
    }
    std::atomic<long> count{0};

private:
    void Loop() {
        socket_.ReadFrames([&](const uint8_t*, uint32_t) { count.fetch_add(1, std::memory_order_relaxed); }, [] {});
    }
    ZtBench::BareRouterSocket socket_;
    std::thread thread_;
};

}  // namespace

int main() {
    ZtSim::Simulator sim;
    sim.Local().AddService(kPort, std::make_shared<ZtSim::TestService>());
    ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);

    auto adapter = std::make_shared<VdlR3AdapterCore>();
    auto* queue = new ZtEventLoggerCommon::JobQueueEx<const ZtEventStreamHeader>(1u << 30);
    auto* proxy = new ZtEventLoggerUmProxy(adapter, queue);
    proxy->ZtAddRef();
    CountingHandler handler;
    proxy->Initialize(&handler);
    if (adapter->Connect("localhost") != 0) {
        std::fprintf(stderr, "connect failed\n");
        return 1;
    }
    BareReader bare(sim.Port(), sim.Local().NetId());

    const std::vector<uint8_t> frame = AlarmFrame();
    auto publish = [&](uint32_t offset, std::atomic<long>& counter) {
        long target = counter.load() + kFrames;
        for (int i = 0; i < kFrames; ++i) sim.Local().Publish(kPort, 777, offset, frame);
        while (counter.load() < target) std::this_thread::yield();
    };
    auto r = ZtBench::Compare([&] { publish(0, handler.count); }, [&] { publish(1, bare.count); }, 1, 11);
    ZtBench::PrintThroughput("notification frames, simulator to handler", r, kFrames, 0.8);
    adapter->Disconnect();
    proxy->ZtRelease();
    return 0;
}
