// ScenarioRunner.h - plays a Scenario on an event logger service from a
// thread of its own.
//
// Each step is played at its time from the start of the pass (a late step
// plays at once; steps never play out of order). A repeated scenario starts
// its next pass PassMs() after the previous one began, until Stop.
//
// Threads: every call may come from any thread, but Start and Stop not from
// the observer. The observer runs on the runner's thread after each step.
#ifndef ZT_SIM_SCENARIO_RUNNER_H
#define ZT_SIM_SCENARIO_RUNNER_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "EventLoggerService.h"
#include "Scenario.h"

namespace ZtSim {

class ScenarioRunner {
public:
    using Observer = std::function<void(const ScenarioStep& step, EventResult result)>;

    ScenarioRunner(std::shared_ptr<EventLoggerService> service, Scenario scenario);
    ~ScenarioRunner();  // stops and joins the thread
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    // Called after every step played; set before Start.
    void SetObserver(Observer observer);
    // Multiplies every time of the scenario (0.1 plays ten times faster);
    // set before Start. 0 (and below) plays without waits: a repeated
    // scenario then plays as fast as it can until stopped.
    void SetTimeScale(double factor);

    // Starts playing from the first step; false when it is playing already.
    // A runner that finished or was stopped starts over.
    bool Start();
    // Ends the play at once (the step under way completes) and joins the thread.
    void Stop();
    // Waits until the play ended by itself or by Stop; false on time-out.
    // A repeated scenario ends only by Stop.
    bool WaitUntilDone(std::chrono::milliseconds timeout);
    bool Running() const;

    size_t StepsPlayed() const { return played_.load(); }
    // Steps the service refused (an alarm not listed, not raised, not waiting).
    size_t StepsRefused() const { return refused_.load(); }
    size_t PassesDone() const { return passes_.load(); }

private:
    void Run();
    EventResult Play(const ScenarioStep& step);

    const std::shared_ptr<EventLoggerService> service_;
    const Scenario scenario_;
    Observer observer_;
    double timeScale_ = 1.0;

    std::mutex control_;  // serialises Start and Stop
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    bool running_ = false;
    std::thread thread_;
    std::atomic<size_t> played_{0};
    std::atomic<size_t> refused_{0};
    std::atomic<size_t> passes_{0};
};

}  // namespace ZtSim

#endif  // ZT_SIM_SCENARIO_RUNNER_H
