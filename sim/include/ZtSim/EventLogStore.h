// EventLogStore.h - the event log of a simulated event logger service, kept
// in SQLite: in memory, or in a file that outlives the simulator.
//
// One row per occurrence: a message, or an alarm from its raise on. The row
// of an alarm is updated as the alarm is cleared, confirmed or disposed, so
// it always holds the alarm's full record in its latest state. Rows are
// ordered by their sequence number (seq, the SQLite rowid), which grows with
// every new occurrence; "newest" means the highest seq.
//
//   CREATE TABLE events (
//     seq INTEGER PRIMARY KEY,        -- order of the occurrences
//     event_type INTEGER,             -- 0 message, 1 alarm
//     event_class TEXT,               -- "{XXXXXXXX-...}"
//     event_id INTEGER, qualifier INTEGER, severity INTEGER,
//     is_raised INTEGER, confirmation_state INTEGER,
//     time_raised INTEGER, time_cleared INTEGER,     -- FILETIMEs, 0: not set
//     time_confirmed INTEGER, time_disposed INTEGER,
//     record BLOB)                    -- the event record as clients get it
//
// The columns beside the record are for people reading the file with the
// sqlite3 shell; the service itself reads the records. A file is opened in
// WAL mode with synchronous=NORMAL: a commit costs a write, no sync.
//
// Threads: not thread-safe; the service calls it under its own lock.
// Failures: the constructor throws std::runtime_error; later SQLite errors
// (a full disk) leave the log as it was and count in Failures().
#ifndef ZT_SIM_EVENT_LOG_STORE_H
#define ZT_SIM_EVENT_LOG_STORE_H

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "EventRecord.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ZtSim {

class EventLogStore {
public:
    // path empty: a private in-memory database.
    explicit EventLogStore(const std::string& path = {});
    ~EventLogStore();
    EventLogStore(const EventLogStore&) = delete;
    EventLogStore& operator=(const EventLogStore&) = delete;

    // A new occurrence; its seq, or 0 when it could not be written.
    int64_t Insert(const EventDescription& event, const EventState& state, std::span<const uint8_t> record);
    // The occurrence's new state and record; false when there is no such row.
    bool Update(int64_t seq, const EventState& state, std::span<const uint8_t> record);
    void Clear();
    size_t Count();

    // Calls visit for every row, newest or oldest first, until it returns false.
    using Visitor = std::function<bool(int64_t seq, std::span<const uint8_t> record)>;
    void Visit(bool oldestFirst, const Visitor& visit);

    size_t Failures() const { return failures_; }

private:
    sqlite3_stmt* Prepare(const char* sql);
    bool Step(sqlite3_stmt* stmt);

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* update_ = nullptr;
    sqlite3_stmt* newest_ = nullptr;
    sqlite3_stmt* oldest_ = nullptr;
    sqlite3_stmt* count_ = nullptr;
    size_t failures_ = 0;
};

}  // namespace ZtSim

#endif  // ZT_SIM_EVENT_LOG_STORE_H
