// Watch.h - following a controller's alarms and messages live, also across
// lost links: the loop of `watch` and `demo`.
//
// The loop runs on the tool's main thread. The logger's sink (EventSink)
// only queues what it receives; the loop takes the events off the queue,
// keeps its own book of the active alarms, fetches texts and hands
// everything to a LiveRenderer. When the link goes (the logger reports
// itself disconnected, or a probe request fails with a link-loss code) the
// loop says so, disconnects, and connects again with a growing pause. The
// logger rebuilds its active list at connect without firing events, so the
// loop compares the new list with its book and reports what changed while
// the link was down. A stop (Ctrl-C) or the deadline ends the loop; every
// object is released on the main thread when Run returns.
#ifndef ZT_EVENTLOG_WATCH_H
#define ZT_EVENTLOG_WATCH_H

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "EventPrint.h"
#include "EventSink.h"
#include "Tool.h"

namespace ZtEventLog {

// The active alarms as the tool last knew them, keyed by AlarmIdentity.
class AlarmBook {
public:
    struct Difference {
        std::vector<EventItem> raised;   // active now, not before
        std::vector<EventItem> ended;    // active before, gone now
        std::vector<EventItem> changed;  // in both, in another state (the new one)
    };

    void Reset(const std::vector<EventItem>& alarms);
    // Follows one change reported by the logger.
    void Apply(const LiveEvent& event);
    // What differs between the book and a fresh list (the book is not changed).
    Difference Compare(const std::vector<EventItem>& alarms) const;
    // The alarms, oldest raise first.
    std::vector<const EventItem*> Sorted() const;
    size_t Size() const { return m_alarms.size(); }

private:
    std::map<std::string, EventItem> m_alarms;
};

// What the loop shows. Every call comes from the loop's thread.
class LiveRenderer {
public:
    virtual ~LiveRenderer() = default;
    // First connection (reconnected false, difference empty) or a return of the link.
    virtual void Connected(const std::string& target, const AlarmBook& book, bool reconnected,
                           const AlarmBook::Difference& difference, std::chrono::seconds away) = 0;
    virtual void Lost(const std::string& reason) = 0;
    virtual void Retrying(const std::string& reason, std::chrono::milliseconds pause) = 0;
    virtual void Event(const LiveEvent& event, const AlarmBook& book) = 0;
    // About twice a second, also when nothing happens (a clock, a redraw).
    virtual void Tick(const AlarmBook&) {}
    virtual void Finished(const AlarmBook&, size_t dropped) = 0;
};

// Plain lines (people) or JSON lines (scripts), one per change.
class LineRenderer : public LiveRenderer {
public:
    explicit LineRenderer(ToolContext& ctx) : m_ctx(ctx) {}
    void Connected(const std::string& target, const AlarmBook& book, bool reconnected,
                   const AlarmBook::Difference& difference, std::chrono::seconds away) override;
    void Lost(const std::string& reason) override;
    void Retrying(const std::string& reason, std::chrono::milliseconds pause) override;
    void Event(const LiveEvent& event, const AlarmBook& book) override;
    void Finished(const AlarmBook& book, size_t dropped) override;

private:
    ToolContext& m_ctx;
};

struct WatchOptions {
    std::chrono::milliseconds duration{0};  // 0: until stopped
    std::chrono::milliseconds probeEvery{2000};
    std::chrono::milliseconds maxPause{8000};  // the longest pause between two connection attempts
    bool reconnect = true;
};

// Runs the loop; the exit status: 0 when it ended by the stop or the
// deadline, 1 when the first connection failed and reconnect is off.
int RunWatch(ToolContext& ctx, const WatchOptions& options, LiveRenderer& renderer);

// The change of a live event as scripts read it ("raised", "cleared",
// "confirmed", "message"; "cleared" and "confirmed" get "+removed" when the
// alarm left the list with it).
std::string ChangeText(const LiveEvent& event);

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_WATCH_H
