// WatchEngine.cpp - following the events across lost links.
#include "WatchEngine.h"

#include <fmt/format.h>

#include <chrono>

#include "LoggerSession.h"
#include "ZtTool/ComText.h"
#include "ZtTool/ResultText.h"

namespace ZtEventLog {

using Clock = std::chrono::steady_clock;
using ZtAtlCom::Failed;

void AlarmList::Reset(const std::vector<EventItem>& items) {
    m_alarms.clear();
    for (const auto& item : items) m_alarms[ZtTool::AlarmIdentity(item.view)] = item.view;
}

void AlarmList::Apply(const LiveEvent& e) {
    if (e.change == Change::Message) return;
    const std::string key = ZtTool::AlarmIdentity(e.view);
    if (e.removed) m_alarms.erase(key);
    else m_alarms[key] = e.view;
}

ListDiff AlarmList::Diff(const std::vector<EventItem>& now) const {
    ListDiff d;
    std::map<std::string, const ZtTool::EventView*> current;
    for (const auto& item : now) current[ZtTool::AlarmIdentity(item.view)] = &item.view;
    for (const auto& [key, view] : current) {
        auto it = m_alarms.find(key);
        if (it == m_alarms.end()) d.added.push_back(*view);
        else if (!ZtTool::SameAlarmState(it->second, *view)) d.changed.push_back(*view);
    }
    for (const auto& [key, view] : m_alarms)
        if (!current.count(key)) d.gone.push_back(view);
    return d;
}

namespace {

// A request that only a live link answers; S_OK or its failure.
HRESULT Heartbeat(IZtEventLogger3* logger, long lang) {
    ZtTool::BstrOut name;
    return logger->GetEventClassName(ZtAtlCom::GUID_NULL, static_cast<int>(lang), name.Out());
}

// Texts for the items (their own requests, on this thread).
void TextsOf(ToolContext& ctx, std::vector<EventItem>& items) {
    const std::vector<long> langs = ctx.out.Json() ? ctx.languages : std::vector<long>{ctx.Language()};
    for (auto& item : items) ZtTool::ReadTexts(item.object, langs, item.view);
}

}  // namespace

int RunWatch(ToolContext& ctx, Presenter& presenter, const WatchSettings& settings) {
    LoggerSession session(ctx);
    if (int rc = session.Create(); rc != kExitOk) return rc;
    auto queue = std::make_shared<EventQueue>();
    CComPtr<EventSink> sink = EventSink::Create(queue);
    if (HRESULT hr = sink->Advise(session.Logger()); Failed(hr)) return ctx.Fail(hr, "cannot receive the logger's events");

    const int heartbeatMs = ctx.options.timeoutMs > 0 ? std::min(settings.heartbeatMs, ctx.options.timeoutMs)
                                                      : settings.heartbeatMs;
    const auto start = Clock::now();
    const bool timed = settings.seconds > 0;
    const auto deadline = start + std::chrono::milliseconds(static_cast<int64_t>(settings.seconds * 1000));
    auto over = [&] { return ctx.Stopped() || (timed && Clock::now() >= deadline); };
    auto left = [&] {
        return timed ? std::chrono::duration<double>(deadline - Clock::now()).count() : -1.0;
    };
    // Sleeps up to ms, ending early at a stop or the deadline.
    auto pause = [&](int ms) {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (!over() && Clock::now() < until) {
            presenter.Tick(left());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    };

    AlarmList list;
    bool everConnected = false;
    Clock::time_point lostAt = start;
    int result = kExitOk;
    while (!over()) {
        // Connect, again and again while the link cannot be made.
        int waitMs = settings.firstRetryMs;
        bool connected = false;
        for (int attempt = 1; !over(); ++attempt) {
            queue->Clear();  // events of a link that is gone
            int32_t hr = session.Connect();
            if (hr == 0) hr = Heartbeat(session.Logger(), ctx.Language());
            if (hr == 0 && session.Connected()) {
                connected = true;
                break;
            }
            if (hr == 0) hr = static_cast<int32_t>(0x98110748u);  // connected, yet the port closed at once
            if (!everConnected && !ZtTool::IsLinkLoss(hr)) {
                result = ctx.Fail(hr, fmt::format("cannot connect to {}", session.TargetText()));
                break;
            }
            session.Disconnect();
            presenter.Retrying(attempt, waitMs, ZtTool::DescribeResult(hr));
            pause(waitMs);
            waitMs = std::min(waitMs * 2, settings.maxRetryMs);
        }
        if (!connected) break;

        std::vector<EventItem> alarms;
        if (HRESULT hr = ReadActiveAlarms(session.Logger(), alarms); Failed(hr)) {
            presenter.LinkLost("cannot read the active alarms: " + ZtTool::DescribeResult(hr));
            session.Disconnect();
            lostAt = Clock::now();
            continue;
        }
        TextsOf(ctx, alarms);
        if (everConnected) {
            const ListDiff diff = list.Diff(alarms);
            presenter.Connected(session.TargetText(), alarms, &diff,
                                std::chrono::duration<double>(Clock::now() - lostAt).count());
        } else {
            presenter.Connected(session.TargetText(), alarms, nullptr, 0);
            if (settings.onFirstConnect) settings.onFirstConnect();
        }
        everConnected = true;
        list.Reset(alarms);

        auto nextCheck = Clock::now() + std::chrono::milliseconds(500);
        auto nextBeat = Clock::now() + std::chrono::milliseconds(heartbeatMs);
        std::string lost;
        while (!over() && lost.empty()) {
            LiveEvent e;
            if (queue->Pop(e, std::chrono::milliseconds(100))) {
                const std::vector<long> langs = ctx.out.Json() ? ctx.languages : std::vector<long>{ctx.Language()};
                ZtTool::ReadTexts(e.object, langs, e.view);
                list.Apply(e);
                presenter.Event(e);
            }
            presenter.Tick(left());
            const auto now = Clock::now();
            if (now >= nextCheck) {
                nextCheck = now + std::chrono::milliseconds(500);
                if (!session.Connected()) lost = "the link to the router was lost";
            }
            if (lost.empty() && now >= nextBeat) {
                nextBeat = now + std::chrono::milliseconds(heartbeatMs);
                const HRESULT hr = Heartbeat(session.Logger(), ctx.Language());
                if (ZtTool::IsLinkLoss(hr)) lost = ZtTool::DescribeResult(hr);
            }
        }
        if (!lost.empty()) {
            presenter.LinkLost(lost);
            session.Disconnect();
            lostAt = Clock::now();
        }
    }
    presenter.Finished();
    // No events after this; queued ones release their objects here, on this thread.
    sink->Unadvise();
    queue->Clear();
    sink.Release();
    session.Close();
    return result;
}

}  // namespace ZtEventLog
