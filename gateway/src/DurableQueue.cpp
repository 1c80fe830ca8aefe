#include "DurableQueue.h"

#include <sqlite3.h>

#include <utility>

#include "GatewayLog.h"

namespace ZtGateway {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS queue("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: readers page by id
    "  target TEXT NOT NULL, kind INTEGER NOT NULL, topic TEXT NOT NULL,"
    "  payload BLOB NOT NULL, retain INTEGER NOT NULL, bytes INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS sequence(target TEXT PRIMARY KEY, next INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS retained("
    "  target TEXT NOT NULL, topic TEXT NOT NULL, payload BLOB NOT NULL, unknown INTEGER NOT NULL,"
    "  PRIMARY KEY(target, topic));";

// Resets a statement on scope exit so that it never holds a read lock.
struct Reset {
    sqlite3_stmt* s;
    ~Reset() {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
};

void BindText(sqlite3_stmt* s, int i, const std::string& t) {
    sqlite3_bind_text(s, i, t.data(), static_cast<int>(t.size()), SQLITE_STATIC);
}
void BindBlob(sqlite3_stmt* s, int i, const std::string& t) {
    sqlite3_bind_blob(s, i, t.data(), static_cast<int>(t.size()), SQLITE_STATIC);
}
std::string ColumnText(sqlite3_stmt* s, int i) {
    const void* p = sqlite3_column_blob(s, i);
    int n = sqlite3_column_bytes(s, i);
    return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

}  // namespace

uint64_t QueueDrops::Total() const {
    uint64_t n = 0;
    for (const auto& [t, c] : byTarget) n += c;
    return n;
}

std::unique_ptr<DurableQueue> DurableQueue::Open(const std::string& path, Limits limits, std::string& error) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        error = "queue \"" + path + "\": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<DurableQueue> q(new DurableQueue(db, limits));
    std::string why;
    if (!q->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", why) || !q->Exec(kSchema, why) ||
        !q->Prepare(why)) {
        error = "queue \"" + path + "\": " + why;
        return nullptr;
    }
    q->LoadCounts();
    return q;
}

void DurableQueue::LoadCounts() {
    count_ = bytes_ = 0;
    countByTarget_.clear();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db_, "SELECT target, count(*), coalesce(sum(bytes), 0) FROM queue GROUP BY target", -1, &s,
                       nullptr);
    while (s && sqlite3_step(s) == SQLITE_ROW) {
        CountRow(ColumnText(s, 0), sqlite3_column_int64(s, 1), sqlite3_column_int64(s, 2));
    }
    sqlite3_finalize(s);
}

DurableQueue::DurableQueue(sqlite3* db, Limits limits) : db_(db), limits_(limits) {
    writer_ = std::thread([this] { WriterLoop(); });
}

DurableQueue::~DurableQueue() {
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        stopWriter_ = true;
    }
    pendingCv_.notify_all();
    writer_.join();  // writes what still waits
    for (sqlite3_stmt* s : {insert_, peek_, remove_, oldest_, setSequence_, getSequence_, putRecord_, forgetRecord_,
                            unknownRecord_, readRecord_}) {
        sqlite3_finalize(s);
    }
    sqlite3_close(db_);
}

bool DurableQueue::Exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        error = msg ? msg : sqlite3_errmsg(db_);
        sqlite3_free(msg);
        return false;
    }
    return true;
}

bool DurableQueue::Prepare(std::string& error) {
    struct {
        sqlite3_stmt** stmt;
        const char* sql;
    } all[] = {
        {&insert_, "INSERT INTO queue(target, kind, topic, payload, retain, bytes) VALUES(?1, ?2, ?3, ?4, ?5, ?6)"},
        {&peek_, "SELECT id, target, kind, topic, payload, retain FROM queue WHERE id > ?1 ORDER BY id LIMIT ?2"},
        {&remove_, "DELETE FROM queue WHERE id = ?1 RETURNING target, bytes"},
        {&oldest_, "DELETE FROM queue WHERE id = (SELECT min(id) FROM queue) RETURNING target, bytes, kind, topic"},
        {&setSequence_, "INSERT INTO sequence(target, next) VALUES(?1, ?2) "
                        "ON CONFLICT(target) DO UPDATE SET next = excluded.next"},
        {&getSequence_, "SELECT next FROM sequence WHERE target = ?1"},
        {&putRecord_, "INSERT INTO retained(target, topic, payload, unknown) VALUES(?1, ?2, ?3, 0) "
                      "ON CONFLICT(target, topic) DO UPDATE SET payload = excluded.payload, unknown = 0"},
        {&forgetRecord_, "DELETE FROM retained WHERE target = ?1 AND topic = ?2"},
        {&unknownRecord_, "INSERT INTO retained(target, topic, payload, unknown) VALUES(?1, ?2, '', 1) "
                          "ON CONFLICT(target, topic) DO UPDATE SET unknown = 1"},
        {&readRecord_, "SELECT topic, payload, unknown FROM retained WHERE target = ?1"},
    };
    for (auto& p : all) {
        if (sqlite3_prepare_v3(db_, p.sql, -1, SQLITE_PREPARE_PERSISTENT, p.stmt, nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(db_);
            return false;
        }
    }
    return true;
}

void DurableQueue::CountRow(const std::string& target, int64_t rows, int64_t bytes) {
    count_ += static_cast<uint64_t>(rows);
    bytes_ += static_cast<uint64_t>(bytes);
    countByTarget_[target] += static_cast<uint64_t>(rows);
}

bool DurableQueue::WriteOne(const QueueCommit& commit) {
    uint64_t rows = 0, bytes = 0;
    bool ok = true;
    for (const QueueItem& item : commit.items) {
        Reset r{insert_};
        const uint64_t size = item.topic.size() + item.payload.size();
        BindText(insert_, 1, commit.target);
        sqlite3_bind_int(insert_, 2, static_cast<int>(item.kind));
        BindText(insert_, 3, item.topic);
        BindBlob(insert_, 4, item.payload);
        sqlite3_bind_int(insert_, 5, item.retain ? 1 : 0);
        sqlite3_bind_int64(insert_, 6, static_cast<int64_t>(size));
        if (sqlite3_step(insert_) != SQLITE_DONE) {
            ok = false;
            break;
        }
        ++rows;
        bytes += size;
    }
    if (ok && commit.nextSequence) {
        Reset r{setSequence_};
        BindText(setSequence_, 1, commit.target);
        sqlite3_bind_int64(setSequence_, 2, static_cast<int64_t>(*commit.nextSequence));
        ok = sqlite3_step(setSequence_) == SQLITE_DONE;
    }
    for (size_t i = 0; ok && i < commit.record.size(); ++i) {
        const auto& [topic, payload] = commit.record[i];
        sqlite3_stmt* s = payload ? putRecord_ : forgetRecord_;
        Reset r{s};
        BindText(s, 1, commit.target);
        BindText(s, 2, topic);
        if (payload) BindBlob(s, 3, *payload);
        ok = sqlite3_step(s) == SQLITE_DONE;
    }
    CountRow(commit.target, static_cast<int64_t>(rows), static_cast<int64_t>(bytes));
    return ok;
}

bool DurableQueue::WriteBatch(const std::vector<QueueCommit>& batch, const std::vector<int64_t>& removals,
                              QueueDrops& drops, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Exec("BEGIN", error)) return false;
    for (int64_t id : removals) {
        Reset r{remove_};
        sqlite3_bind_int64(remove_, 1, id);
        if (sqlite3_step(remove_) == SQLITE_ROW) {
            CountRow(ColumnText(remove_, 0), -1, -sqlite3_column_int64(remove_, 1));
            while (sqlite3_step(remove_) == SQLITE_ROW) {
            }
        }
    }
    bool ok = true;
    for (const QueueCommit& c : batch) {
        if (!(ok = WriteOne(c))) break;
    }
    if (ok) DropOldest(drops);
    if (!ok || !Exec("COMMIT", error)) {
        if (error.empty()) error = sqlite3_errmsg(db_);
        std::string ignored;
        Exec("ROLLBACK", ignored);
        // Neither the rows nor the drops were kept: count from the file again.
        LoadCounts();
        drops = QueueDrops{};
        return false;
    }
    return true;
}

void DurableQueue::SetObserver(Observer observer) {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    observer_ = std::move(observer);
}

void DurableQueue::Append(QueueCommit commit) {
    std::unique_lock<std::mutex> lock(pendingMutex_);
    // Only the disk holds us up here, never the network.
    pendingCv_.wait(lock, [&] { return pendingRows_ < kMaxPending || stopWriter_; });
    pendingRows_ += commit.items.size();
    pending_.push_back(std::move(commit));
    ++appended_;
    pendingCv_.notify_all();
}

void DurableQueue::Flush() {
    std::unique_lock<std::mutex> lock(pendingMutex_);
    const uint64_t target = appended_;
    pendingCv_.wait(lock, [&] { return written_ >= target; });
}

void DurableQueue::WriterLoop() {
    std::unique_lock<std::mutex> lock(pendingMutex_);
    while (true) {
        pendingCv_.wait(lock, [&] { return stopWriter_ || !pending_.empty() || !removals_.empty(); });
        if (pending_.empty() && removals_.empty()) return;  // stopping, and all is written
        std::vector<QueueCommit> batch;
        std::vector<int64_t> removals;
        batch.swap(pending_);
        removals.swap(removals_);
        const uint64_t units = batch.size() + std::exchange(removalCalls_, 0);
        pendingRows_ = 0;
        Observer observer = observer_;
        lock.unlock();
        pendingCv_.notify_all();
        QueueDrops drops;
        std::string error;
        if (!WriteBatch(batch, removals, drops, error)) {
            // Lost to the disk (full, failing): counted as dropped, never silent.
            for (const QueueCommit& c : batch) drops.byTarget[c.target] += c.items.size();
            LogError("queue", "cannot write " + std::to_string(batch.size()) + " commits: " + error);
        }
        if (observer.written) observer.written();
        if (!drops.byTarget.empty() && observer.dropped) observer.dropped(drops);
        lock.lock();
        written_ += units;
        pendingCv_.notify_all();
    }
}

void DurableQueue::DropOldest(QueueDrops& drops) {
    while (count_ > limits_.maxCount || bytes_ > limits_.maxBytes) {
        Reset r{oldest_};
        if (sqlite3_step(oldest_) != SQLITE_ROW) break;
        std::string target = ColumnText(oldest_, 0);
        int64_t size = sqlite3_column_int64(oldest_, 1);
        auto kind = static_cast<ItemKind>(sqlite3_column_int(oldest_, 2));
        std::string topic = ColumnText(oldest_, 3);
        while (sqlite3_step(oldest_) == SQLITE_ROW) {
        }
        CountRow(target, -1, -size);
        ++drops.byTarget[target];
        if (kind == ItemKind::Retained) {
            drops.retained.emplace_back(target, topic);
            // The broker may now hold an older state of this topic.
            Reset u{unknownRecord_};
            BindText(unknownRecord_, 1, target);
            BindText(unknownRecord_, 2, topic);
            sqlite3_step(unknownRecord_);
        }
    }
}

std::vector<QueueItem> DurableQueue::Peek(int64_t afterId, size_t limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<QueueItem> out;
    Reset r{peek_};
    sqlite3_bind_int64(peek_, 1, afterId);
    sqlite3_bind_int64(peek_, 2, static_cast<int64_t>(limit));
    while (sqlite3_step(peek_) == SQLITE_ROW) {
        QueueItem item;
        item.id = sqlite3_column_int64(peek_, 0);
        item.target = ColumnText(peek_, 1);
        item.kind = static_cast<ItemKind>(sqlite3_column_int(peek_, 2));
        item.topic = ColumnText(peek_, 3);
        item.payload = ColumnText(peek_, 4);
        item.retain = sqlite3_column_int(peek_, 5) != 0;
        out.push_back(std::move(item));
    }
    return out;
}

void DurableQueue::Remove(const std::vector<int64_t>& ids) {
    if (ids.empty()) return;
    std::lock_guard<std::mutex> lock(pendingMutex_);
    removals_.insert(removals_.end(), ids.begin(), ids.end());
    ++removalCalls_;
    ++appended_;
    pendingCv_.notify_all();
}

uint64_t DurableQueue::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

uint64_t DurableQueue::Bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

uint64_t DurableQueue::CountFor(const std::string& target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = countByTarget_.find(target);
    return it == countByTarget_.end() ? 0 : it->second;
}

uint64_t DurableQueue::NextSequence(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    Reset r{getSequence_};
    BindText(getSequence_, 1, target);
    if (sqlite3_step(getSequence_) == SQLITE_ROW) return static_cast<uint64_t>(sqlite3_column_int64(getSequence_, 0));
    return 1;
}

RetainedRecord DurableQueue::Record(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    RetainedRecord record;
    Reset r{readRecord_};
    BindText(readRecord_, 1, target);
    while (sqlite3_step(readRecord_) == SQLITE_ROW) {
        record[ColumnText(readRecord_, 0)] = RetainedEntry{ColumnText(readRecord_, 1),
                                                           sqlite3_column_int(readRecord_, 2) != 0};
    }
    return record;
}

}  // namespace ZtGateway
