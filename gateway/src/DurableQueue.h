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
// them (SQLite work only, never the network). Commits of several threads
// that meet are written in one transaction; each returns once its own rows
// are in the file.
#ifndef ZT_GATEWAY_DURABLE_QUEUE_H
#define ZT_GATEWAY_DURABLE_QUEUE_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <thread>
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
    // Retained topics whose message was dropped (target, topic): what the
    // broker holds for them is not known any more.
    std::vector<std::pair<std::string, std::string>> retained;
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

    // What the writer thread reports, on that thread: rows were written
    // (`written`), rows were dropped to make room or lost to a failed write
    // (`dropped`, counted per target). Set before the first Append.
    struct Observer {
        std::function<void()> written;
        std::function<void(const QueueDrops&)> dropped;
    };
    void SetObserver(Observer observer);

    // Hands a commit to the writer thread and returns without waiting for
    // the disk, unless kMaxPending rows wait already. The writer puts all
    // that waits into one transaction: one per event would cost a WAL append
    // of every page it touches. Order of Append is the order of the ids.
    void Append(QueueCommit commit);
    // Waits until everything appended before the call is written.
    void Flush();
    static constexpr size_t kMaxPending = 20000;
    // Up to `limit` rows with ids above afterId, oldest first.
    std::vector<QueueItem> Peek(int64_t afterId, size_t limit);
    // Removes acknowledged rows, on the writer thread with its next
    // transaction (Flush waits for it too); ids no longer queued (dropped)
    // are skipped. Until then Peek may still return them.
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
    bool WriteOne(const QueueCommit& commit);
    bool WriteBatch(const std::vector<QueueCommit>& batch, const std::vector<int64_t>& removals, QueueDrops& drops,
                    std::string& error);
    void WriterLoop();
    void DropOldest(QueueDrops& drops);
    void LoadCounts();
    void CountRow(const std::string& target, int64_t rows, int64_t bytes);

    sqlite3* db_;
    const Limits limits_;
    mutable std::mutex mutex_;  // the database and the counts
    std::mutex pendingMutex_;   // guards the members up to the writer thread
    std::condition_variable pendingCv_;
    std::vector<QueueCommit> pending_;
    std::vector<int64_t> removals_;
    uint64_t removalCalls_ = 0;
    size_t pendingRows_ = 0;
    uint64_t appended_ = 0, written_ = 0;  // commits
    bool stopWriter_ = false;
    Observer observer_;
    std::thread writer_;
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
