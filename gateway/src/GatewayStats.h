// GatewayStats.h - the gateway's counters, published on
// <prefix>/gateway/<id>/stats and printed at exit:
//
//   {"gateway":"hall1","time":"2024-05-01T12:30:05.000Z","broker":{"connected":true,
//    "reconnects":1,"queued":0,"queuedBytes":0,"refused":0},
//    "targets":{"press1":{"online":true,"eventsIn":120,"published":120,"queued":0,
//               "dropped":0,"reconnects":0,"commands":2}}}
//
// eventsIn counts the controller's messages and alarm transitions taken in,
// published those the broker acknowledged, dropped the queued rows given up
// because the queue was full (events, alarm states, statuses and results),
// reconnects the returns of the controller link after a loss.
//
// Threads: the counters are atomics, written and read from any thread.
#ifndef ZT_GATEWAY_STATS_H
#define ZT_GATEWAY_STATS_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ZtGateway {

struct TargetCounters {
    std::atomic<uint64_t> eventsIn{0};
    std::atomic<uint64_t> published{0};
    std::atomic<uint64_t> dropped{0};
    std::atomic<uint64_t> reconnects{0};
    std::atomic<uint64_t> commands{0};
    std::atomic<bool> online{false};
};

class GatewayStats {
public:
    explicit GatewayStats(const std::vector<std::string>& targets);

    // Null for a name that is not configured.
    TargetCounters* Target(const std::string& name);
    std::atomic<uint64_t> brokerReconnects{0};

    struct Extra {
        bool brokerConnected = false;
        uint64_t queued = 0, queuedBytes = 0, refused = 0;
        std::map<std::string, uint64_t> queuedByTarget;
    };
    std::string Json(const std::string& gatewayId, const Extra& extra) const;

private:
    std::map<std::string, std::unique_ptr<TargetCounters>> targets_;
};

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_STATS_H
