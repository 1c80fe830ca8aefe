// Presenters.h - how watch and demo show what happens: LinePresenter prints
// one line per change (text or JSON), LiveScreen redraws the active-alarm
// table and the feed of recent changes in place on a terminal (ANSI).
#ifndef ZT_EVENTLOG_PRESENTERS_H
#define ZT_EVENTLOG_PRESENTERS_H

#include <chrono>
#include <deque>
#include <string>

#include "WatchEngine.h"

namespace ZtEventLog {

class LinePresenter : public Presenter {
public:
    explicit LinePresenter(ToolContext& ctx) : m_ctx(ctx) {}
    void Connected(const std::string& target, const std::vector<EventItem>& alarms, const ListDiff* diff,
                   double downSeconds) override;
    void Event(const LiveEvent& event) override;
    void LinkLost(const std::string& reason) override;
    void Retrying(int attempt, int waitMs, const std::string& reason) override;

private:
    ToolContext& m_ctx;
};

class LiveScreen : public Presenter {
public:
    // title: the first line of the screen (what is being watched).
    LiveScreen(ToolContext& ctx, std::string title);
    void Connected(const std::string& target, const std::vector<EventItem>& alarms, const ListDiff* diff,
                   double downSeconds) override;
    void Event(const LiveEvent& event) override;
    void LinkLost(const std::string& reason) override;
    void Retrying(int attempt, int waitMs, const std::string& reason) override;
    void Tick(double secondsLeft) override;
    void Finished() override;

private:
    void Feed(std::string line);
    void Draw();

    ToolContext& m_ctx;
    const std::string m_title;
    AlarmList m_alarms;
    std::deque<std::string> m_feed;
    std::string m_status;
    double m_secondsLeft = -1;
    bool m_dirty = true;
    bool m_started = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

// Columns of the terminal (80 when it cannot be told).
int TerminalWidth();

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_PRESENTERS_H
