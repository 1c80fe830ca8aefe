// LoggerBench.h - pieces the event logger benchmarks share: prepared
// notification frames, a do-nothing sink that counts and stamps, and the
// bare baseline that reads the same frames from a raw router connection and
// decodes each record's key, severity and times.
#ifndef ZT_BENCH_LOGGER_BENCH_H
#define ZT_BENCH_LOGGER_BENCH_H

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "BareRouterSocket.h"
#include "MrxWire.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerSink.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
#include "ZtSim/EventLoggerService.h"
#include "ZtSim/Simulator.h"

namespace ZtBench {

using Clock = std::chrono::steady_clock;

inline int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

inline const ZtSim::EventGuid kBenchClass{0x5C0FFEE1, 0x2B3C, 0x4D5E, {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}};

// An event of the benchmarks: id, a source (id and name), a JSON attribute
// and two arguments.
inline ZtSim::EventDescription BenchEvent(uint32_t id) {
    ZtSim::EventDescription d;
    d.eventClass = kBenchClass;
    d.eventId = id;
    d.severity = static_cast<uint16_t>(id % 5);
    d.source.id = 7;
    d.source.name = "Line2/Press/HydraulicPump";
    d.jsonAttribute = "{\"line\":2,\"station\":\"press\"}";
    d.arguments = {ZtSim::EventArgument::UInt32(id), ZtSim::EventArgument::Double(1.5)};
    return d;
}

// A notification frame of `type` carrying the record of BenchEvent(id).
inline std::vector<uint8_t> EventFrame(ZtSim::EventFrameType type, uint32_t id, bool raised) {
    const ZtSim::EventDescription d = BenchEvent(id);
    ZtSim::EventState s;
    s.eventType = type == ZtSim::EventFrameType::MessageSent ? 0 : 1;
    s.isRaised = raised ? 1 : 0;
    s.fileTimeRaised = 0x01DA000000000000ull + id;
    if (!raised && s.eventType == 1) s.fileTimeCleared = s.fileTimeRaised + 10;
    const std::vector<uint8_t> record = ZtSim::BuildEventRecord(d, s);
    return ZtSim::EventLoggerService::Frame(static_cast<uint16_t>(type), record);
}

// Each key raised, a message, the key cleared: the mix of a live line.
inline std::vector<std::vector<uint8_t>> MixedBurst(size_t frames, uint32_t firstId = 1) {
    std::vector<std::vector<uint8_t>> burst;
    burst.reserve(frames);
    for (uint32_t n = 0; burst.size() < frames; ++n) {
        const uint32_t id = firstId + n;
        burst.push_back(EventFrame(ZtSim::EventFrameType::AlarmRaised, id, true));
        if (burst.size() < frames) burst.push_back(EventFrame(ZtSim::EventFrameType::MessageSent, id, false));
        if (burst.size() < frames) burst.push_back(EventFrame(ZtSim::EventFrameType::AlarmCleared, id, false));
    }
    return burst;
}

// The times of the first and the last frame of a burst, taken only for those
// two (the clock is slow to read on some machines and would weigh on the
// receivers), and the count of frames.
struct Stamps {
    std::atomic<long> mark{0};     // the count before the burst
    std::atomic<long> target{-1};  // the count after it
    std::atomic<int64_t> firstNs{0}, lastNs{0};

    void Note(std::atomic<long>& count) noexcept {
        const long n = count.load(std::memory_order_relaxed);
        if (n == mark.load(std::memory_order_relaxed)) firstNs.store(NowNs(), std::memory_order_relaxed);
        if (n + 1 == target.load(std::memory_order_relaxed)) lastNs.store(NowNs(), std::memory_order_relaxed);
        count.store(n + 1, std::memory_order_release);
    }
};

// A host's sink that does nothing but count; onEvent (may be empty) runs on
// the worker thread with the dispatch number.
class CountingSink final : public ZtEventLoggerVdlProxy::ZtEventLoggerSink {
public:
    ZtAtlCom::HRESULT MessageSent(ZtEventLoggerVdlProxy::IZtMessage* m) override { return Note(m); }
    ZtAtlCom::HRESULT AlarmRaised(ZtEventLoggerVdlProxy::IZtAlarm* a) override { return Note(a); }
    ZtAtlCom::HRESULT AlarmCleared(ZtEventLoggerVdlProxy::IZtAlarm* a, ZtAtlCom::VARIANT_BOOL) override { return Note(a); }
    ZtAtlCom::HRESULT AlarmConfirmed(ZtEventLoggerVdlProxy::IZtAlarm* a, ZtAtlCom::VARIANT_BOOL) override { return Note(a); }
    std::atomic<long> count{0};
    Stamps stamps;
    std::function<void(ZtEventLoggerVdlProxy::IZtEvent*)> onEvent;

private:
    ZtAtlCom::HRESULT Note(ZtEventLoggerVdlProxy::IZtEvent* e) {
        if (onEvent) onEvent(e);
        stamps.Note(count);
        return 0;
    }
};

// A logger connected to the simulator at ZT_MRX_ROUTER, with a counting sink.
struct BenchLogger {
    BenchLogger() {
        using namespace ZtEventLoggerVdlProxy;
        ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                 reinterpret_cast<void**>(&logger));
        sink = new CountingSink;
        ZtAtlCom::IConnectionPointContainer* container = nullptr;
        logger->QueryInterface(ZtAtlCom::iid_of<ZtAtlCom::IConnectionPointContainer>(),
                               reinterpret_cast<void**>(&container));
        container->FindConnectionPoint(IID__IZtEventLoggerEvents, &point);
        container->Release();
        point->Advise(sink, &cookie);
    }
    ~BenchLogger() {
        logger->Disconnect();
        point->Unadvise(cookie);
        point->Release();
        sink->Release();
        logger->Release();
    }
    bool Connect() { return logger->Connect(const_cast<char*>("localhost")) == 0; }

    ZtEventLoggerVdlProxy::IZtEventLogger3* logger = nullptr;
    CountingSink* sink = nullptr;
    ZtAtlCom::IConnectionPoint* point = nullptr;
    ZtAtlCom::DWORD cookie = 0;
};

// The least a client can do with the same frames: one raw router
// connection subscribed to the event logger's notifications, a reader
// thread that walks the samples and decodes each record's key, severity
// and times (as a host needs them at the least).
class BareNotificationReader {
public:
    BareNotificationReader(uint16_t routerPort, const MrxNetId& target) : socket_(routerPort) {
        socket_.Subscribe(target.b, ZtSim::kEventLoggerPort, ZtSim::kEventNotificationGroup, 0);
        thread_ = std::thread([this] { Loop(); });
    }
    ~BareNotificationReader() {
        socket_.Shutdown();
        thread_.join();
    }

    std::atomic<long> count{0};
    Stamps stamps;
    std::atomic<uint64_t> checksum{0};  // of the decoded fields, so nothing is optimised away
    // Runs on the reader thread with each record's event id.
    std::function<void(uint32_t)> onRecord;

private:
    void Loop() {
        using namespace ZtMrxWire;
        constexpr size_t kRecordAt = kHeaderSize + kSampleHead + 12;
        uint64_t sum = 0;
        socket_.ReadFrames(
            [&](const uint8_t* f, uint32_t len) {
                if (len >= kRecordAt + 120) {
                    const uint8_t* rec = f + kRecordAt;
                    uint32_t id, severity;
                    uint64_t raised, cleared, confirmed;
                    std::memcpy(&id, rec + 16, 4);
                    severity = Get16(rec + 24);
                    std::memcpy(&raised, rec + 48, 8);
                    std::memcpy(&cleared, rec + 56, 8);
                    std::memcpy(&confirmed, rec + 80, 8);
                    sum += Get32(rec) ^ id ^ Get32(rec + 20) ^ severity ^ raised ^ cleared ^ confirmed;
                    if (onRecord) onRecord(id);
                }
                stamps.Note(count);
            },
            [&] { checksum.store(sum, std::memory_order_relaxed); });
    }
    BareRouterSocket socket_;
    std::thread thread_;
};

// Writes a burst of notification frames, made beforehand, to the subscribers
// of the event logger's notifications in one go. *writeStartNs: when the
// write began; returns how long the write took, in ns.
inline int64_t SendBurst(ZtSim::Simulator& sim, const std::vector<std::vector<uint8_t>>& burst, int64_t* writeStartNs) {
    sim.Local().PublishBurst(ZtSim::kEventLoggerPort, ZtSim::kEventNotificationGroup, 0, burst, 0,
                             [&] { *writeStartNs = NowNs(); });
    return NowNs() - *writeStartNs;
}

// Waits until counter reaches target (or 30 s pass); false on time-out. It
// sleeps rather than spins: on a small machine a spinning waiter would take
// the cores of the path it measures (the receivers stamp their own times).
inline bool WaitCount(const std::atomic<long>& counter, long target) {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (counter.load(std::memory_order_acquire) < target) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

}  // namespace ZtBench

#endif  // ZT_BENCH_LOGGER_BENCH_H
