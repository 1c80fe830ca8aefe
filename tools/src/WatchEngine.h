// WatchEngine.h - the loop behind watch and demo: connect, follow every
// event, notice a lost link (the logger reports itself disconnected, or a
// heartbeat request fails with a link error), reconnect with back-off, and
// compare the rebuilt active-alarm list with the one before. What is shown
// is the presenter's business (lines, JSON or the live screen).
//
// Threads: everything runs on the caller's thread; the logger's worker only
// fills the event queue. Ctrl-C (the context's stop flag) ends the loop, and
// every object is released on the caller's thread before RunWatch returns.
#ifndef ZT_EVENTLOG_WATCH_ENGINE_H
#define ZT_EVENTLOG_WATCH_ENGINE_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "EventPrint.h"
#include "EventSink.h"
#include "Tool.h"

namespace ZtEventLog {

// What changed in the active-alarm list while the link was down.
struct ListDiff {
    std::vector<ZtTool::EventView> added, gone, changed;
    bool Empty() const { return added.empty() && gone.empty() && changed.empty(); }
};

// The active alarms as the events tell them, keyed by alarm identity.
class AlarmList {
public:
    void Reset(const std::vector<EventItem>& items);
    void Apply(const LiveEvent& event);
    ListDiff Diff(const std::vector<EventItem>& now) const;
    const std::map<std::string, ZtTool::EventView>& Alarms() const { return m_alarms; }

private:
    std::map<std::string, ZtTool::EventView> m_alarms;
};

class Presenter {
public:
    virtual ~Presenter() = default;
    // The link is up. diff is null on the first connection; downSeconds is
    // how long the link was down.
    virtual void Connected(const std::string& target, const std::vector<EventItem>& alarms, const ListDiff* diff,
                           double downSeconds) = 0;
    // One event, texts read.
    virtual void Event(const LiveEvent& event) = 0;
    virtual void LinkLost(const std::string& reason) = 0;
    virtual void Retrying(int attempt, int waitMs, const std::string& reason) = 0;
    // Called a few times a second (time left, redraws); secondsLeft < 0: no end.
    virtual void Tick(double secondsLeft) { (void)secondsLeft; }
    virtual void Finished() {}
};

struct WatchSettings {
    double seconds = 0;        // 0: until Ctrl-C
    int heartbeatMs = 2000;    // a cheap request this often proves the link
    int firstRetryMs = 500;    // back-off starts here and doubles ...
    int maxRetryMs = 8000;     // ... up to this
    std::function<void()> onFirstConnect;  // once, when the link is up the first time
};

// Returns kExitOk when it ended by Ctrl-C or time, kExitFailed when the first
// connection fails with anything but a lost link (a wrong target name).
int RunWatch(ToolContext& ctx, Presenter& presenter, const WatchSettings& settings);

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_WATCH_ENGINE_H
