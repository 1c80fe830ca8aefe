// BenchUtil.h - side-by-side timing: alternate rounds of two contenders and
// compare medians, so that machine noise hits both alike.
#ifndef ZT_BENCH_UTIL_H
#define ZT_BENCH_UTIL_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace ZtBench {

struct Result {
    double oursNs;      // median time per operation, our path
    double baselineNs;  // median time per operation, the bare baseline
    double Ratio() const { return oursNs / baselineNs; }
};

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs `rounds` rounds; each round times `iterations` calls of each contender,
// the order alternating between rounds.
inline Result Compare(const std::function<void()>& ours, const std::function<void()>& baseline, int iterations,
                      int rounds) {
    using clock = std::chrono::steady_clock;
    auto time = [&](const std::function<void()>& f) {
        auto t0 = clock::now();
        for (int i = 0; i < iterations; ++i) f();
        return std::chrono::duration<double, std::nano>(clock::now() - t0).count() / iterations;
    };
    for (int i = 0; i < iterations; ++i) ours(), baseline();  // warm-up
    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        if (r % 2 == 0) {
            a.push_back(time(ours));
            b.push_back(time(baseline));
        } else {
            b.push_back(time(baseline));
            a.push_back(time(ours));
        }
    }
    return {Median(a), Median(b)};
}

inline void Print(const char* name, const Result& r, double target, bool higherIsBetter = false) {
    bool met = higherIsBetter ? r.Ratio() >= target : r.Ratio() <= target;
    std::printf("%-40s ours %12.1f ns  baseline %12.1f ns  ratio %.3f  (target %s %.2f: %s)\n", name, r.oursNs,
                r.baselineNs, r.Ratio(), higherIsBetter ? ">=" : "<=", target, met ? "met" : "NOT met");
}

// For throughput: the ratio is ours per second over the baseline's per second
// (the baseline's time over ours); higher is better.
inline void PrintThroughput(const char* name, const Result& r, double operations, double target) {
    double ratio = r.baselineNs / r.oursNs;
    std::printf("%-40s ours %12.0f/s  baseline %12.0f/s  ratio %.3f  (target >= %.2f: %s)\n", name,
                operations * 1e9 / r.oursNs, operations * 1e9 / r.baselineNs, ratio, target,
                ratio >= target ? "met" : "NOT met");
}

}  // namespace ZtBench

#endif  // ZT_BENCH_UTIL_H
