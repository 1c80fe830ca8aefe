// Router.h - the simulated message router (internal to the simulator).
#ifndef ZT_SIM_ROUTER_H
#define ZT_SIM_ROUTER_H

#include <atomic>
#include <list>
#include <optional>
#include <map>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "MrxWire.h"
#include "ZtSim/FileService.h"
#include "ZtSim/Simulator.h"

namespace ZtSim {

class ClientConn;

class Router {
public:
    explicit Router(const SimOptions& options);
    ~Router();

    uint16_t Port() const { return port_; }
    const SimOptions& Options() const { return options_; }

    Target& Local() { return *local_; }
    Target* FindTarget(const MrxNetId& id);
    Target* FindTargetByName(std::string_view name);
    Target& AddRoute(const RouteEntry& route);
    std::vector<RouteEntry> Routes() const;

    FaultInjector& Faults() { return faults_; }
    FileService& Files() { return *files_; }
    void DropConnections();
    size_t ConnectionCount();
    size_t SubscriptionCount();
    size_t SubscriberCount(const MrxNetId& id, uint16_t port, uint32_t group, uint32_t offset);
    size_t Publish(const MrxNetId& id, uint16_t port, uint32_t group, uint32_t offset,
                   std::span<const uint8_t> bytes, uint64_t timeStamp);
    size_t PublishBurst(const MrxNetId& id, uint16_t port, uint32_t group, uint32_t offset,
                        const std::vector<std::vector<uint8_t>>& samples, uint64_t timeStamp,
                        const std::function<void()>& beforeWrite);
    void Stop();

    // Used by client connections.
    void Serve(const std::shared_ptr<ClientConn>& conn, const ZtMrxWire::Header& h, std::vector<uint8_t>& payload);
    void OnClosed(ClientConn* conn);

private:
    // The connections subscribed to (id, port, group, offset) and their handles.
    std::vector<std::pair<std::shared_ptr<ClientConn>, uint32_t>> Subscribers(const MrxNetId& id, uint16_t port,
                                                                              uint32_t group, uint32_t offset);
    Target& MakeTarget(const MrxNetId& id, const std::string& name, bool local);
    void AcceptLoop();
    void Reap(bool all);
    // Applies the first matching fault rule; true when the request is
    // answered (or swallowed) by it. A rule that cuts the reply sets cutTo.
    bool ApplyFault(const std::shared_ptr<ClientConn>& conn, const ZtMrxWire::Header& h, const FaultTarget& target,
                    uint32_t readLength, std::optional<uint32_t>& cutTo);
    bool ServeNotification(const std::shared_ptr<ClientConn>& conn, const ZtMrxWire::Header& h,
                           std::span<const uint8_t> payload);

    SimOptions options_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::once_flag stopOnce_;

    mutable std::mutex targetsMutex_;
    std::map<std::string, std::unique_ptr<Target>> targets_;  // by NetId text
    Target* local_ = nullptr;
    std::vector<RouteEntry> routes_;
    std::shared_ptr<FileService> files_;  // the local target's

    FaultInjector faults_;

    std::mutex connsMutex_;
    std::list<std::shared_ptr<ClientConn>> conns_;
    uint16_t nextClientPort_ = 30000;

    struct Subscription {
        std::weak_ptr<ClientConn> conn;
        MrxNetId netId;
        uint16_t port;
        uint32_t group, offset;
    };
    std::mutex subsMutex_;
    std::map<uint32_t, Subscription> subs_;
    uint32_t nextSubHandle_ = 1;
};

// One client connection with its reader thread.
class ClientConn : public std::enable_shared_from_this<ClientConn> {
public:
    ClientConn(Router& router, int fd) : router_(router), fd_(fd) {}
    ~ClientConn();
    void Start();
    bool Send(const std::vector<uint8_t>& frame);
    bool SendLocked(const std::vector<uint8_t>& frame);  // caller holds WriteMutex()
    std::mutex& WriteMutex() { return writeMutex_; }
    void Shutdown();
    void Join();
    bool Finished() const { return finished_.load(); }
    bool Closing() const { return closing_.load(); }

    bool helloDone = false;
    uint16_t clientPort = 0;
    MrxNetId clientNetId{};

private:
    void Loop();
    Router& router_;
    const int fd_;
    std::mutex writeMutex_;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> closing_{false};
};

}  // namespace ZtSim

#endif  // ZT_SIM_ROUTER_H
