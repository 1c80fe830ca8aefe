#include "ZtSim/ScenarioRunner.h"

namespace ZtSim {

ScenarioRunner::ScenarioRunner(std::shared_ptr<EventLoggerService> service, Scenario scenario)
    : service_(std::move(service)), scenario_(std::move(scenario)) {}

ScenarioRunner::~ScenarioRunner() { Stop(); }

void ScenarioRunner::SetObserver(Observer observer) {
    std::lock_guard<std::mutex> lk(mutex_);
    observer_ = std::move(observer);
}

void ScenarioRunner::SetTimeScale(double factor) {
    std::lock_guard<std::mutex> lk(mutex_);
    timeScale_ = factor > 0 ? factor : 0;
}

bool ScenarioRunner::Start() {
    std::lock_guard<std::mutex> control(control_);
    std::lock_guard<std::mutex> lk(mutex_);
    if (running_) return false;
    // A thread that ended by itself is still to be joined; past running_ =
    // false it takes no lock any more.
    if (thread_.joinable()) thread_.join();
    stop_ = false;
    running_ = true;
    played_ = 0;
    refused_ = 0;
    passes_ = 0;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void ScenarioRunner::Stop() {
    std::lock_guard<std::mutex> control(control_);
    {
        std::lock_guard<std::mutex> lk(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool ScenarioRunner::WaitUntilDone(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lk(mutex_);
    return cv_.wait_for(lk, timeout, [this] { return !running_; });
}

bool ScenarioRunner::Running() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return running_;
}

EventResult ScenarioRunner::Play(const ScenarioStep& step) {
    EventLoggerService& s = *service_;
    switch (step.action) {
        case ScenarioAction::Raise:
            return s.RaiseAlarm(step.event);
        case ScenarioAction::Clear:
            return s.ClearAlarm(step.event);
        case ScenarioAction::Confirm:
            return s.ConfirmAlarm(step.event);
        case ScenarioAction::Dispose:
            return s.DisposeAlarm(step.event);
        case ScenarioAction::ClearList:
            return s.ClearAlarmList();
        case ScenarioAction::Message:
            return s.SendMessage(step.event);
    }
    return EventResult::Ok;
}

void ScenarioRunner::Run() {
    using Clock = std::chrono::steady_clock;
    Observer observer;
    double scale;
    {
        std::lock_guard<std::mutex> lk(mutex_);
        observer = observer_;
        scale = timeScale_;
    }
    auto at = [scale](uint32_t ms) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms * scale));
    };
    auto passStart = Clock::now();
    for (bool more = true; more;) {
        for (const auto& step : scenario_.steps) {
            {
                std::unique_lock<std::mutex> lk(mutex_);
                if (cv_.wait_until(lk, passStart + at(step.atMs), [this] { return stop_; }))
                    break;
            }
            EventResult r = Play(step);
            played_.fetch_add(1);
            if (r != EventResult::Ok) refused_.fetch_add(1);
            if (observer) observer(step, r);
        }
        std::unique_lock<std::mutex> lk(mutex_);
        if (stop_) break;
        passes_.fetch_add(1);
        more = scenario_.repeat;
        if (more) {
            passStart += at(scenario_.PassMs());
            more = !cv_.wait_until(lk, passStart, [this] { return stop_; });
        }
    }
    {
        std::lock_guard<std::mutex> lk(mutex_);
        running_ = false;
    }
    cv_.notify_all();
}

}  // namespace ZtSim
