// DurableQueue.h - the gateway's store on disk (SQLite): the messages that
// wait for the broker, the per-target sequence numbers and the record of the
// retained alarm topics published per target.
//
// A message leaves the queue only when the broker acknowledged it (Remove),
// so whatever was committed survives a lost broker and a restart of the
// gateway. The queue is bounded by rows and bytes: when a commit would pass a
// bound, the oldest rows are dropped, counted per target, and a dropped
// retained message marks its topic "unknown" in the record so that the next
// reconciliation publishes it again. Items of one commit go in together, in
// order, and get ascending ids.
//
// The file is opened in WAL mode with synchronous=NORMAL: a commit survives
// the gateway's crash or kill; a power loss may take the last commits.
//
// Threads: every method may be called from any thread; one lock serialises
// them (SQLite work only, never the network).
#ifndef ZT_GATEWAY_DURABLE_QUEUE_H
#define ZT_GATEWAY_DURABLE_QUEUE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ZtGateway {

// What a queued row is, for the counters (only events count as events).
enum class ItemKind : int { Event = 0, Retained = 1, Status = 2, Result = 3 };

struct QueueItem {
    int64_t id = 0;
    std::string target;
    ItemKind kind = ItemKind::Event;
    std::string topic;
    std::string payload;
    bool retain = false;
};

// One retained topic of a target as the gateway last published it. An empty
// payload with `unknown` set: the message for it was dropped, so what the
// broker holds is not known.
struct RetainedEntry {
    std::string payload;
    bool unknown = false;
};
using RetainedRecord = std::map<std::string, RetainedEntry>;  // by topic

struct QueueCommit {
    std::string target;
    std::vector<QueueItem> items;         // id ignored; target taken from above
    std::optional<uint64_t> nextSequence;  // stored with the items
    // Record changes: topic -> payload, or nullopt to forget the topic.
    std::vector<std::pair<std::string, std::optional<std::string>>> record;
};

struct QueueDrops {
    std::map<std::string, uint64_t> byTarget;  // rows dropped per target
    uint64_t Total() const;
};

class DurableQueue {
public:
    struct Limits {
        uint64_t maxCount = 100000;
        uint64_t maxBytes = 64u << 20;
    };
    // Opens or creates the file (":memory:" for a queue that does not last).
    // Null with a message when it cannot be opened or is not the gateway's.
    static std::unique_ptr<DurableQueue> Open(const std::string& path, Limits limits, std::string& error);
    ~DurableQueue();
    DurableQueue(const DurableQueue&) = delete;
    DurableQueue& operator=(const DurableQueue&) = delete;

    // Writes one commit in one transaction. False with a message when SQLite
    // fails (nothing of the commit is kept then).
    bool Commit(const QueueCommit& commit, QueueDrops& drops, std::string& error);
    // Up to `limit` rows with ids above afterId, oldest first.
    std::vector<QueueItem> Peek(int64_t afterId, size_t limit);
    // Removes acknowledged rows; ids no longer queued (dropped) are skipped.
    void Remove(const std::vector<int64_t>& ids);

    uint64_t Count() const;
    uint64_t Bytes() const;
    uint64_t CountFor(const std::string& target) const;
    // The stored next sequence number of a target (1 when it has none).
    uint64_t NextSequence(const std::string& target);
    RetainedRecord Record(const std::string& target);

private:
    DurableQueue(sqlite3* db, Limits limits);
    bool Prepare(std::string& error);
    bool Exec(const char* sql, std::string& error);
    void DropOldest(QueueDrops& drops);
    void LoadCounts();
    void CountRow(const std::string& target, int64_t rows, int64_t bytes);

    sqlite3* db_;
    const Limits limits_;
    mutable std::mutex mutex_;
    uint64_t count_ = 0;
    uint64_t bytes_ = 0;
    std::map<std::string, uint64_t> countByTarget_;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* peek_ = nullptr;
    sqlite3_stmt* remove_ = nullptr;
    sqlite3_stmt* oldest_ = nullptr;
    sqlite3_stmt* setSequence_ = nullptr;
    sqlite3_stmt* getSequence_ = nullptr;
    sqlite3_stmt* putRecord_ = nullptr;
    sqlite3_stmt* forgetRecord_ = nullptr;
    sqlite3_stmt* unknownRecord_ = nullptr;
    sqlite3_stmt* readRecord_ = nullptr;
};

}  // namespace ZtGateway

#endif  // ZT_GATEWAY_DURABLE_QUEUE_H
