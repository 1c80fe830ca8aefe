#include "ZtSim/EventLogStore.h"

#include <sqlite3.h>

#include <stdexcept>

namespace ZtSim {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS events ("
    " seq INTEGER PRIMARY KEY, event_type INTEGER NOT NULL, event_class TEXT NOT NULL,"
    " event_id INTEGER NOT NULL, qualifier INTEGER NOT NULL, severity INTEGER NOT NULL,"
    " is_raised INTEGER NOT NULL, confirmation_state INTEGER NOT NULL,"
    " time_raised INTEGER NOT NULL, time_cleared INTEGER NOT NULL,"
    " time_confirmed INTEGER NOT NULL, time_disposed INTEGER NOT NULL, record BLOB NOT NULL)";

// FILETIMEs are unsigned; SQLite integers are signed 64-bit. The bits are kept.
sqlite3_int64 AsInt(uint64_t v) { return static_cast<sqlite3_int64>(v); }

void BindState(sqlite3_stmt* st, int first, const EventState& s, std::span<const uint8_t> record) {
    sqlite3_bind_int(st, first, s.isRaised);
    sqlite3_bind_int(st, first + 1, s.confirmationState);
    sqlite3_bind_int64(st, first + 2, AsInt(s.fileTimeRaised));
    sqlite3_bind_int64(st, first + 3, AsInt(s.fileTimeCleared));
    sqlite3_bind_int64(st, first + 4, AsInt(s.fileTimeConfirmed));
    sqlite3_bind_int64(st, first + 5, AsInt(s.fileTimeDisposed));
    sqlite3_bind_blob(st, first + 6, record.data(), static_cast<int>(record.size()), SQLITE_STATIC);
}

}  // namespace

EventLogStore::EventLogStore(const std::string& path) {
    const std::string name = path.empty() ? ":memory:" : path;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw std::runtime_error("simulator: cannot open the event log " + name + ": " + why);
    }
    const char* setup = path.empty() ? "PRAGMA journal_mode=MEMORY" : "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL";
    char* err = nullptr;
    if (sqlite3_exec(db_, setup, nullptr, nullptr, &err) != SQLITE_OK ||
        sqlite3_exec(db_, kSchema, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string why = err ? err : sqlite3_errmsg(db_);
        sqlite3_free(err);
        sqlite3_close(db_);
        throw std::runtime_error("simulator: event log " + name + " not usable: " + why);
    }
    try {
        insert_ = Prepare(
            "INSERT INTO events (event_type, event_class, event_id, qualifier, severity, is_raised,"
            " confirmation_state, time_raised, time_cleared, time_confirmed, time_disposed, record)"
            " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
        update_ = Prepare(
            "UPDATE events SET is_raised = ?1, confirmation_state = ?2, time_raised = ?3, time_cleared = ?4,"
            " time_confirmed = ?5, time_disposed = ?6, record = ?7 WHERE seq = ?8");
        newest_ = Prepare("SELECT seq, record FROM events ORDER BY seq DESC");
        oldest_ = Prepare("SELECT seq, record FROM events ORDER BY seq ASC");
        count_ = Prepare("SELECT COUNT(*) FROM events");
    } catch (...) {
        for (auto* st : {insert_, update_, newest_, oldest_, count_}) sqlite3_finalize(st);
        sqlite3_close(db_);
        throw;
    }
}

EventLogStore::~EventLogStore() {
    for (auto* st : {insert_, update_, newest_, oldest_, count_}) sqlite3_finalize(st);
    sqlite3_close(db_);
}

sqlite3_stmt* EventLogStore::Prepare(const char* sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("simulator: event log statement refused: ") + sqlite3_errmsg(db_));
    return st;
}

bool EventLogStore::Step(sqlite3_stmt* st) {
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) return true;
    ++failures_;
    return false;
}

int64_t EventLogStore::Insert(const EventDescription& e, const EventState& s, std::span<const uint8_t> record) {
    const std::string cls = GuidText(e.eventClass);
    sqlite3_bind_int(insert_, 1, s.eventType != 0 ? 1 : 0);
    sqlite3_bind_text(insert_, 2, cls.c_str(), static_cast<int>(cls.size()), SQLITE_STATIC);
    sqlite3_bind_int64(insert_, 3, e.eventId);
    sqlite3_bind_int64(insert_, 4, e.keyQualifier);
    sqlite3_bind_int(insert_, 5, e.severity);
    BindState(insert_, 6, s, record);
    if (!Step(insert_)) return 0;
    return sqlite3_last_insert_rowid(db_);
}

bool EventLogStore::Update(int64_t seq, const EventState& s, std::span<const uint8_t> record) {
    if (seq <= 0) return false;
    BindState(update_, 1, s, record);
    sqlite3_bind_int64(update_, 8, seq);
    return Step(update_) && sqlite3_changes(db_) == 1;
}

void EventLogStore::Clear() {
    if (sqlite3_exec(db_, "DELETE FROM events", nullptr, nullptr, nullptr) != SQLITE_OK) ++failures_;
}

size_t EventLogStore::Count() {
    size_t n = 0;
    if (sqlite3_step(count_) == SQLITE_ROW) n = static_cast<size_t>(sqlite3_column_int64(count_, 0));
    sqlite3_reset(count_);
    return n;
}

void EventLogStore::Visit(bool oldestFirst, const Visitor& visit) {
    sqlite3_stmt* st = oldestFirst ? oldest_ : newest_;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(st, 1));
        const auto size = static_cast<size_t>(sqlite3_column_bytes(st, 1));
        if (!visit(sqlite3_column_int64(st, 0), std::span<const uint8_t>(data, data ? size : 0))) break;
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) ++failures_;
    sqlite3_reset(st);
}

}  // namespace ZtSim
