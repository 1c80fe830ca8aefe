// cbinding_read_bench: one property read of an alarm through the C binding
// (IZtEvent_get_EventId on a handle: registry lookup, QueryInterface, the
// call, Release) against the same read through the C++ interface, measured
// side by side in one run:
//   - from one thread: time per read, the ratio C / C++ (target <= 4);
//   - from two threads at once, each on an alarm of its own: reads per
//     second of both together over one thread's (target >= 1.6: the
//     registry's shared lock must not serialise readers);
//   - for comparison, two threads on one alarm (both then share the alarm's
//     own lock and reference count, through either interface).
// The alarms come from an in-process simulated controller.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "BenchUtil.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h"
#include "ZtSim/EventLoggerService.h"
#include "ZtSim/Simulator.h"

namespace {

using ZtEventLoggerVdlProxy::IZtAlarm;
using Clock = std::chrono::steady_clock;

constexpr int kReads = 2'000'000;
constexpr int kRounds = 9;

std::atomic<unsigned> g_sink{0};

// Nanoseconds per read of n reads through the C binding or the interface.
double ReadC(void* handle, int n) {
    unsigned id = 0, sum = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        IZtEvent_get_EventId(handle, &id);
        sum += id;
    }
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / n;
    g_sink += sum;
    return ns;
}

double ReadCpp(IZtAlarm* alarm, int n) {
    unsigned id = 0, sum = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        alarm->get_EventId(&id);
        sum += id;
    }
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / n;
    g_sink += sum;
    return ns;
}

// Wall time per read of two threads reading at once (each n reads): the
// time both took divided by all their reads.
template <class Read, class Target>
double TwoThreads(Read read, Target a, Target b, int n) {
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    auto body = [&](Target t) {
        ready.fetch_add(1);
        while (!go.load()) {
        }
        read(t, n);
    };
    std::thread t1(body, a), t2(body, b);
    while (ready.load() < 2) {
    }
    auto t0 = Clock::now();
    go.store(true);
    t1.join();
    t2.join();
    return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / (2.0 * n);
}

struct Figures {
    double c1, cpp1, c2, cpp2, c2same, cpp2same;  // ns per read
};

Figures Measure(void* h0, void* h1, IZtAlarm* p0, IZtAlarm* p1) {
    std::vector<double> c1, cpp1, c2, cpp2, c2same, cpp2same;
    ReadC(h0, kReads / 4);
    ReadCpp(p0, kReads / 4);
    for (int r = 0; r < kRounds; ++r) {
        // Alternating order, so that drifts of the machine hit both alike.
        if (r % 2) {
            c1.push_back(ReadC(h0, kReads));
            cpp1.push_back(ReadCpp(p0, kReads));
        } else {
            cpp1.push_back(ReadCpp(p0, kReads));
            c1.push_back(ReadC(h0, kReads));
        }
        c2.push_back(TwoThreads(ReadC, h0, h1, kReads));
        cpp2.push_back(TwoThreads(ReadCpp, p0, p1, kReads));
        c2same.push_back(TwoThreads(ReadC, h0, h0, kReads / 2));
        cpp2same.push_back(TwoThreads(ReadCpp, p0, p0, kReads / 2));
    }
    using ZtBench::Median;
    return {Median(c1), Median(cpp1), Median(c2), Median(cpp2), Median(c2same), Median(cpp2same)};
}

ZtSim::EventDescription Alarm(uint32_t id) {
    ZtSim::EventDescription d;
    d.eventClass = ZtSim::EventGuid{0x4A6F1C2E, 0x8B3D, 0x4F51, {0x9C, 0x07, 0x2E, 0x5B, 0x7A, 0x9D, 0x1F, 0x30}};
    d.eventId = id;
    d.severity = 2;
    return d;
}

}  // namespace

int main() {
    ZtSim::Simulator sim;
    ::setenv("ZT_MRX_ROUTER", sim.Address().c_str(), 1);
    auto service = ZtSim::EventLoggerOf(sim.Local());
    service->RaiseAlarm(Alarm(10));
    service->RaiseAlarm(Alarm(11));

    void* logger = nullptr;
    void* alarms = nullptr;
    void* h[2] = {nullptr, nullptr};
    GUID clsid = ZT_CLSID_ZtEventLogger_INIT;
    int count = 0;
    if (CreateHandle(clsid, &logger) != 0 || IZtEventLogger_Connect(logger, "localhost") != 0 ||
        IZtEventLogger_get_ActiveAlarms(logger, &alarms) != 0 || IZtAlarmCollection_get_Count(alarms, &count) != 0 ||
        count < 2 || IZtAlarmCollection_get_Item(alarms, 0, &h[0]) != 0 ||
        IZtAlarmCollection_get_Item(alarms, 1, &h[1]) != 0) {
        std::fprintf(stderr, "cbinding_read_bench: no alarms from the simulator\n");
        return 1;
    }
    // A handle is the object's IUnknown: the C++ side reads the same alarms.
    IZtAlarm* p[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i)
        static_cast<ZtAtlCom::IUnknown*>(h[i])->QueryInterface(ZtEventLoggerVdlProxy::IID_IZtAlarm,
                                                               reinterpret_cast<void**>(&p[i]));

    Figures f = Measure(h[0], h[1], p[0], p[1]);
    auto perSecond = [](double ns) { return 1e9 / ns; };
    std::printf("property read IZtEvent_get_EventId, %d reads per round, median of %d rounds\n", kReads, kRounds);
    std::printf("one thread      C binding %7.1f ns  C++ %7.1f ns  ratio C/C++ %.2f  (target <= 4: %s)\n", f.c1,
                f.cpp1, f.c1 / f.cpp1, f.c1 / f.cpp1 <= 4 ? "met" : "NOT met");
    std::printf("two threads     C binding %6.1f M/s (one thread %6.1f M/s)  scaling %.2f  (target >= 1.6: %s)\n",
                perSecond(f.c2) / 1e6, perSecond(f.c1) / 1e6, f.c1 / f.c2, f.c1 / f.c2 >= 1.6 ? "met" : "NOT met");
    std::printf("                C++       %6.1f M/s (one thread %6.1f M/s)  scaling %.2f\n", perSecond(f.cpp2) / 1e6,
                perSecond(f.cpp1) / 1e6, f.cpp1 / f.cpp2);
    std::printf("two threads, one alarm: C binding %6.1f M/s (scaling %.2f), C++ %6.1f M/s (scaling %.2f)\n",
                perSecond(f.c2same) / 1e6, f.c1 / f.c2same, perSecond(f.cpp2same) / 1e6, f.cpp1 / f.cpp2same);
    std::printf("hardware threads: %u\n", std::thread::hardware_concurrency());

    for (IZtAlarm* a : p)
        if (a) a->Release();
    ReleaseHandle(h[0]);
    ReleaseHandle(h[1]);
    ReleaseHandle(alarms);
    ReleaseHandle(logger);
    return g_sink.load() == 0xFFFFFFFFu;  // keeps the reads
}
