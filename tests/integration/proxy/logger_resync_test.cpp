// The active-alarm list heals itself after lost frames: a host that follows
// only the events ends with the controller's list, also when the frames that
// cleared its alarms were thrown away by a full queue.
#include "CZtEventLogger.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "LoggerFixture.h"

namespace {

using namespace ZtTest;
using ZtAtlCom::S_OK;

// What a host knows of the list from the events alone.
class Follower {
public:
    void Apply(const SeenCall& c) {
        if (c.id == DispIdAlarmRaised) listed[c.eventId] = c.confirmationState;
        if (c.id == DispIdAlarmCleared || c.id == DispIdAlarmConfirmed) {
            if (c.flag == ZtAtlCom::VARIANT_TRUE)
                listed.erase(c.eventId);
            else
                listed[c.eventId] = c.confirmationState;
        }
    }
    std::map<uint32_t, int> listed;
};

std::map<uint32_t, int> ControllerList(ZtSim::EventLoggerService& service) {
    std::map<uint32_t, int> out;
    for (const ZtSim::ActiveAlarm& a : service.ActiveAlarms()) out[a.event.eventId] = a.state.confirmationState;
    return out;
}

class LoggerResync : public LoggerFixture {};

TEST_F(LoggerResync, AHostFollowingTheEventsEndsWithTheControllersListAfterAnOverflow) {
    struct Case {
        const char* what;
        size_t storm;           // messages sent while the worker is held, after the changes
        bool lastFrameOverflows;  // nothing follows the loss: the worker must reconcile on its own
    } cases[] = {
        {"frames follow the loss", 3000, false},
        // The held frame is the batch under way; 5 clears, 5 raises, 1 confirm
        // and this storm make 2049 queued frames: the last one overflows.
        {"the last frame overflows", CZtEventLogger::kQueueCapacity + 1 - 11, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        service.reset();
        StartSim(DefaultSimOptions());  // a fresh controller for each case
        service = ZtSim::EventLoggerOf(sim->Local());
        IZtEventLogger3* logger = NewLogger();
        RecordingSink sink;
        Advise(logger, &sink);
        std::mutex gateMutex;
        std::condition_variable gate;
        bool holding = false, release = false;
        sink.onInvoke = [&](DISPID id, ZtAtlCom::DISPPARAMS*) {
            std::unique_lock<std::mutex> lk(gateMutex);
            if (id == DispIdMessageSent && !release && !holding) {
                holding = true;
                gate.notify_all();
                gate.wait(lk, [&] { return release; });
            }
            return S_OK;
        };
        for (uint32_t id = 1; id <= 10; ++id) service->RaiseAlarm(LoggerEvent(id, id % 3 == 0));
        ASSERT_EQ(logger->Connect(const_cast<char*>("localhost")), S_OK);
        for (uint32_t id = 11; id <= 14; ++id) service->RaiseAlarm(LoggerEvent(id, true));
        ASSERT_TRUE(sink.WaitCalls(4));

        // Hold the worker, change the list behind a full queue, let go.
        service->SendMessage(LoggerEvent(99));
        {
            std::unique_lock<std::mutex> lk(gateMutex);
            ASSERT_TRUE(gate.wait_for(lk, std::chrono::seconds(5), [&] { return holding; }));
        }
        for (uint32_t id : {1, 2, 4, 5, 11}) service->ClearAlarm(LoggerEvent(id));  // 11 still waits
        for (uint32_t id = 20; id < 25; ++id) service->RaiseAlarm(LoggerEvent(id));
        service->ConfirmAlarm(LoggerEvent(12));  // 12 is still raised: only its state changes
        ZtSim::EventDescription noise = LoggerEvent(98);
        service->PublishStorm(c.storm, noise);
        ZtEventLoggerUmProxy* link = Impl(logger)->ServiceLink();
        ASSERT_TRUE(WaitFor([&] { return link->LostFrames() > 0; }));
        if (c.lastFrameOverflows) {
            ASSERT_TRUE(WaitFor([&] { return link->LostFrames() >= CZtEventLogger::kQueueCapacity + 1; }));
        }
        {
            std::lock_guard<std::mutex> lk(gateMutex);
            release = true;
        }
        gate.notify_all();

        const auto expected = ControllerList(*service);
        Follower follower;
        for (uint32_t id = 1; id <= 10; ++id) follower.listed[id] = id % 3 == 0 ? 2 : 0;  // found at connect
        ASSERT_TRUE(WaitFor([&] {
            Follower f = follower;
            for (const SeenCall& call : sink.Calls()) f.Apply(call);
            return f.listed == expected;
        })) << "the host's list never became the controller's";
        EXPECT_EQ(ListedIds(logger).size(), expected.size());
        if (c.lastFrameOverflows) {
            size_t storms = 0;
            for (const SeenCall& call : sink.Calls()) storms += call.id == DispIdMessageSent && call.eventId == 98;
            EXPECT_EQ(storms, 0u) << "a frame followed the loss after all";
        }
        logger->Disconnect();  // the sink is this iteration's
        logger->Release();
    }
}

}  // namespace
