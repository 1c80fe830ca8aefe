#include "ZtSim/EventLoggerService.h"

#include <gtest/gtest.h>

#include "EventLoggerFixture.h"

namespace {

using namespace ZtSim;
using ZtTest::EventLoggerFixture;
using ZtTest::Le32;
using ZtTest::TestEvent;

class EventLogger : public EventLoggerFixture {};

TEST_F(EventLogger, SubscriptionOnlyOnTheNotificationGroup) {
    struct Case {
        uint32_t group, offset, error;
    } cases[] = {{777, 0, 0}, {777, 1, 1793}, {778, 0, 1793}, {200, 1, 1793}, {0, 0, 1793}};
    long value = 1;
    for (const auto& c : cases) {
        EXPECT_EQ(adapter.VdlSyncAddDeviceNotificationReq(kEventLoggerPort, c.group, c.offset, &listener, value), c.error)
            << c.group << "/" << c.offset;
        adapter.VdlSyncDelDeviceNotificationReq(kEventLoggerPort, &listener, value++);
    }
}

TEST_F(EventLogger, FramesReachTheSubscriberInOrderWithTheirRecords) {
    UseTicks();
    Subscribe();
    auto a = TestEvent(1);
    auto b = TestEvent(2, true);
    auto m = TestEvent(50);
    m.jsonAttribute = "{\"batch\":\"B-17\"}";
    m.source.guid = ZtTest::kTestClass;
    ASSERT_EQ(service->RaiseAlarm(a), EventResult::Ok);   // tick 1
    ASSERT_EQ(service->RaiseAlarm(b), EventResult::Ok);   // tick 2
    ASSERT_EQ(service->SendMessage(m), EventResult::Ok);  // tick 3
    ASSERT_EQ(service->ClearAlarm(a), EventResult::Ok);   // tick 4: leaves the list
    ASSERT_EQ(service->ConfirmAlarm(b), EventResult::Ok); // tick 5: still raised, stays
    ASSERT_EQ(service->DisposeAlarm(b), EventResult::Ok); // tick 6
    ASSERT_EQ(service->ClearAlarmList(), EventResult::Ok); // tick 7

    struct Expect {
        uint16_t type;
        uint32_t id;
        uint8_t raised;
        uint16_t eventType, confirmation;
        int tRaised, tCleared, tConfirmed, tDisposed;  // ticks; 0: not set
    } expect[] = {
        {1, 1, 1, 1, 0, 1, 0, 0, 0},  {1, 2, 1, 1, 2, 2, 0, 0, 0}, {0, 50, 0, 0, 0, 3, 0, 0, 0},
        {2, 1, 0, 1, 0, 1, 4, 0, 0},  {6, 2, 1, 1, 3, 2, 0, 5, 0}, {7, 2, 0, 1, 3, 2, 0, 5, 6},
    };
    auto notes = Notifications(7);
    ASSERT_EQ(notes.size(), 7u);
    auto t = [](int tick) { return tick == 0 ? 0 : Tick(tick); };
    for (size_t i = 0; i < 6; ++i) {
        const auto& e = expect[i];
        const auto& n = notes[i];
        EXPECT_EQ(n.frame.version, 1u);
        EXPECT_EQ(n.frame.type, e.type) << i;
        EXPECT_EQ(n.frame.format, 0u);
        EXPECT_EQ(static_cast<uint64_t>(n.timeStamp), Tick(static_cast<int>(i) + 1)) << i;
        ASSERT_TRUE(n.record) << i;
        const auto& r = *n.record;
        EXPECT_EQ(r.eventId, e.id) << i;
        EXPECT_EQ(r.isRaised, e.raised) << i;
        EXPECT_EQ(r.eventType, e.eventType) << i;
        EXPECT_EQ(r.confirmation, e.confirmation) << i;
        EXPECT_EQ(r.raised, t(e.tRaised)) << i;
        EXPECT_EQ(r.cleared, t(e.tCleared)) << i;
        EXPECT_EQ(r.confirmed, t(e.tConfirmed)) << i;
        EXPECT_EQ(r.disposed, t(e.tDisposed)) << i;
        EXPECT_EQ(r.severity, 2u);
        EXPECT_EQ(r.sourceId, 100 + e.id) << i;
        EXPECT_EQ(r.sourceName, "Station" + std::to_string(e.id)) << i;
        ASSERT_EQ(r.args.size(), 2u) << i;
        EXPECT_EQ(Le32(r.args[0].bytes.data()), e.id) << i;
        EXPECT_EQ(r.args[1].type, 21u);
    }
    EXPECT_EQ(notes[2].record->json, "{\"batch\":\"B-17\"}");
    EXPECT_TRUE(notes[2].record->sourceGuid.has_value());
    // The cleared list: type 4 and no record.
    EXPECT_EQ(notes[6].frame.type, 4u);
    EXPECT_EQ(notes[6].frame.length, 0u);
    EXPECT_FALSE(notes[6].record);
    // Everything published is in the log, records included.
    auto log = service->Log();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[3].type, EventFrameType::AlarmCleared);
    EXPECT_EQ(log[3].time, Tick(4));
    EXPECT_EQ(log[3].record, notes[3].frame.payload);
}

// Steps on the list and what it holds after each.
TEST_F(EventLogger, AlarmLifeCycle) {
    enum Op { Raise, RaiseConfirmable, Clear, Confirm, Dispose, ClearList, Message };
    struct Listed {
        uint32_t id, qualifier;
        uint8_t raised;
        uint16_t confirmation;
        bool operator==(const Listed&) const = default;
    };
    struct Step {
        Op op;
        uint32_t id, qualifier;
        EventResult result;
        std::vector<Listed> listed;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const EventResult Ok = EventResult::Ok, None = EventResult::NoSuchAlarm, NotRaised = EventResult::NotRaised,
                      NotWaiting = EventResult::NotWaiting;
    const Case cases[] = {
        {"a clear without confirmation ends the alarm",
         {{Raise, 1, 0, Ok, {{1, 0, 1, 0}}}, {Clear, 1, 0, Ok, {}}, {Clear, 1, 0, None, {}}}},
        {"a cleared alarm waits listed for its confirmation",
         {{RaiseConfirmable, 1, 0, Ok, {{1, 0, 1, 2}}},
          {Clear, 1, 0, Ok, {{1, 0, 0, 2}}},
          {Clear, 1, 0, NotRaised, {{1, 0, 0, 2}}},
          {Confirm, 1, 0, Ok, {}}}},
        {"a confirmed alarm stays listed while raised",
         {{RaiseConfirmable, 1, 0, Ok, {{1, 0, 1, 2}}},
          {Confirm, 1, 0, Ok, {{1, 0, 1, 3}}},
          {Confirm, 1, 0, NotWaiting, {{1, 0, 1, 3}}},
          {Clear, 1, 0, Ok, {}}}},
        {"an alarm without confirmation cannot be confirmed",
         {{Raise, 1, 0, Ok, {{1, 0, 1, 0}}}, {Confirm, 1, 0, NotWaiting, {{1, 0, 1, 0}}}}},
        {"dispose ends the alarm whatever its state",
         {{RaiseConfirmable, 1, 0, Ok, {{1, 0, 1, 2}}},
          {Raise, 2, 0, Ok, {{1, 0, 1, 2}, {2, 0, 1, 0}}},
          {Clear, 1, 0, Ok, {{1, 0, 0, 2}, {2, 0, 1, 0}}},
          {Dispose, 1, 0, Ok, {{2, 0, 1, 0}}},
          {Dispose, 2, 0, Ok, {}},
          {Dispose, 2, 0, None, {}}}},
        {"raising a listed key again replaces its entry",
         {{Raise, 1, 0, Ok, {{1, 0, 1, 0}}}, {RaiseConfirmable, 1, 0, Ok, {{1, 0, 1, 2}}}}},
        {"qualifier 0 finds the alarm of any qualifier",
         {{Raise, 1, 7, Ok, {{1, 7, 1, 0}}}, {Clear, 1, 0, Ok, {}}}},
        {"qualifiers 5 and 7 are two alarms",
         {{Raise, 1, 5, Ok, {{1, 5, 1, 0}}},
          {Raise, 1, 7, Ok, {{1, 5, 1, 0}, {1, 7, 1, 0}}},
          {Clear, 1, 7, Ok, {{1, 5, 1, 0}}},
          {Clear, 1, 6, None, {{1, 5, 1, 0}}}}},
        {"clearing the list ends every alarm",
         {{Raise, 1, 0, Ok, {{1, 0, 1, 0}}},
          {RaiseConfirmable, 2, 0, Ok, {{1, 0, 1, 0}, {2, 0, 1, 2}}},
          {ClearList, 0, 0, Ok, {}},
          {Confirm, 2, 0, None, {}}}},
        {"messages are never listed", {{Message, 1, 0, Ok, {}}, {Clear, 1, 0, None, {}}}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(service->ClearAlarmList(), EventResult::Ok);
        for (const auto& s : c.steps) {
            auto d = TestEvent(s.id, s.op == RaiseConfirmable, s.qualifier);
            const size_t logged = service->Log().size();
            EventResult r = Ok;
            switch (s.op) {
                case Raise:
                case RaiseConfirmable: r = service->RaiseAlarm(d); break;
                case Clear: r = service->ClearAlarm(d.Key()); break;
                case Confirm: r = service->ConfirmAlarm(d.Key()); break;
                case Dispose: r = service->DisposeAlarm(d.Key()); break;
                case ClearList: r = service->ClearAlarmList(); break;
                case Message: r = service->SendMessage(d); break;
            }
            EXPECT_EQ(r, s.result) << c.what << ", step op " << s.op << " id " << s.id;
            // Only a change publishes (and logs) a frame.
            EXPECT_EQ(service->Log().size(), logged + (r == Ok ? 1 : 0)) << c.what;
            std::vector<Listed> listed;
            for (const auto& a : service->ActiveAlarms())
                listed.push_back({a.event.eventId, a.event.keyQualifier, a.state.isRaised, a.state.confirmationState});
            EXPECT_EQ(listed, s.listed) << c.what << ", step op " << s.op << " id " << s.id;
        }
    }
}

TEST_F(EventLogger, DisposedWaitingAlarmReportsReset) {
    UseTicks();
    ASSERT_EQ(service->RaiseAlarm(TestEvent(4, true)), EventResult::Ok);
    ASSERT_EQ(service->DisposeAlarm(TestEvent(4).Key()), EventResult::Ok);
    auto log = service->Log();
    ASSERT_EQ(log.size(), 2u);
    ZtTest::ReadRecord r;
    ASSERT_EQ(ZtTest::ReadEventRecord(log[1].record, r), "");
    EXPECT_EQ(r.isRaised, 0u);
    EXPECT_EQ(r.confirmation, kConfirmationReset);
    EXPECT_EQ(r.disposed, Tick(2));
    EXPECT_EQ(r.cleared, 0u);
    EXPECT_EQ(r.raised, Tick(1));
}

// A client reads the active events with a 4095-byte buffer and doubles it
// for as long as the service answers 1797.
TEST_F(EventLogger, ActiveEventsReadGrowsTheBufferUntilItFits) {
    for (uint32_t id = 0; id < 300; ++id) {
        auto d = TestEvent(id, id % 3 == 0);
        d.jsonAttribute = "{\"line\":" + std::to_string(id) + "}";
        ASSERT_EQ(service->RaiseAlarm(d), EventResult::Ok);
    }
    for (uint32_t id = 0; id < 300; id += 3) ASSERT_EQ(service->ClearAlarm(TestEvent(id).Key()), EventResult::Ok);
    const auto expected = service->ActiveEventsReply();
    ASSERT_GT(expected.size(), 4095u * 8);

    std::vector<uint8_t> buf;
    size_t size = 4095, grown = 0;
    uint32_t rc;
    for (;;) {
        buf.assign(size, 0);
        rc = adapter.VdlSyncReadReq(kEventLoggerPort, kEventReadGroup, kActiveEventsOffset, size, buf.data());
        if (rc != 1797) break;
        EXPECT_EQ(Le32(buf.data()), expected.size());  // the size the service needs
        size *= 2;
        ASSERT_LT(++grown, 16u);
    }
    ASSERT_EQ(rc, 0u);
    size_t doublings = 0;
    for (size_t s = 4095; s < expected.size(); s *= 2) ++doublings;
    EXPECT_EQ(grown, doublings);
    buf.resize(expected.size());
    EXPECT_EQ(buf, expected);

    // Head, then the records back to back, in raise order, all still active.
    EXPECT_EQ(Le32(&buf[0]), 1u);
    ASSERT_EQ(Le32(&buf[4]), 300u);
    EXPECT_EQ(Le32(&buf[8]), buf.size() - 12);
    size_t at = 12;
    for (uint32_t id = 0; id < 300; ++id) {
        ZtTest::ReadRecord r;
        ASSERT_EQ(ZtTest::ReadEventRecord(std::span<const uint8_t>(buf).subspan(at), r), "") << id;
        EXPECT_EQ(r.eventId, id);
        const bool waiting = id % 3 == 0;  // cleared, waiting for confirmation
        EXPECT_EQ(r.isRaised, waiting ? 0u : 1u) << id;
        EXPECT_EQ(r.confirmation, waiting ? 2u : 0u) << id;
        EXPECT_EQ(r.json, "{\"line\":" + std::to_string(id) + "}");
        at += r.length;
    }
    EXPECT_EQ(at, buf.size());
}

TEST_F(EventLogger, EmptyActiveListIsTheHeadAlone) {
    std::vector<uint8_t> buf(4095, 0xEE);
    ASSERT_EQ(adapter.VdlSyncReadReq(kEventLoggerPort, kEventReadGroup, kActiveEventsOffset, buf.size(), buf.data()),
              0u);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 13),
              (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE}));
}

TEST_F(EventLogger, OtherRequestsAreRefused) {
    enum Kind { Read, Write, ReadWrite };
    struct Case {
        Kind kind;
        uint32_t group, offset;
    } cases[] = {{ReadWrite, 200, 1}, {Write, 200, 1}, {Read, 200, 0}, {ReadWrite, 200, 2}, {Write, 100, 0},
                 {ReadWrite, 100, 0}, {ReadWrite, 500, 0}, {Read, 600, 0}, {Write, 800, 100}, {Read, 777, 0},
                 {ReadWrite, 300, 0}, {Write, 800, 400}};
    uint8_t in[20] = {1}, out[64];
    for (const auto& c : cases) {
        uint32_t rc = 0;
        switch (c.kind) {
            case Read: rc = adapter.VdlSyncReadReq(kEventLoggerPort, c.group, c.offset, sizeof(out), out); break;
            case Write: rc = adapter.VdlSyncWriteReq(kEventLoggerPort, c.group, c.offset, sizeof(in), in); break;
            case ReadWrite:
                rc = adapter.VdlSyncReadWriteReq(kEventLoggerPort, c.group, c.offset, sizeof(out), out, sizeof(in), in);
                break;
        }
        EXPECT_EQ(rc, 1793u) << c.kind << " " << c.group << "/" << c.offset;
    }
    unsigned short vdl = 0, device = 0;
    EXPECT_EQ(adapter.VdlSyncReadStateReq(kEventLoggerPort, &vdl, &device), 0u);
    EXPECT_EQ(vdl, kStateRun);
}

TEST_F(EventLogger, HandlersServeFurtherRequests) {
    service->SetHandler(500, 0, [](Target&, const Request& r) {
        std::vector<uint8_t> echo(r.data.begin(), r.data.end());
        echo.push_back(0x55);
        return Reply::Data(echo);
    });
    uint8_t in[2] = {7, 8}, out[8] = {};
    unsigned long got = 0;
    EXPECT_EQ(adapter.VdlSyncReadWriteReq(kEventLoggerPort, 500, 0, sizeof(out), out, sizeof(in), in, got), 0u);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(out[2], 0x55);
    // Removing the handler brings the built-in answer back: two bytes are no frame.
    service->SetHandler(500, 0, nullptr);
    EXPECT_EQ(adapter.VdlSyncReadWriteReq(kEventLoggerPort, 500, 0, sizeof(out), out, sizeof(in), in), 1798u);
    service->SetHandler(501, 0, [](Target&, const Request&) { return Reply::Ok(); });
    service->SetHandler(501, 0, nullptr);
    EXPECT_EQ(adapter.VdlSyncReadWriteReq(kEventLoggerPort, 501, 0, sizeof(out), out, sizeof(in), in), 1793u);
}

TEST_F(EventLogger, RawFramesPassAsTheyAre) {
    Subscribe();
    auto record = BuildEventRecord(TestEvent(9), {});
    const std::vector<uint8_t> truncated(record.begin(), record.begin() + 60);
    const std::vector<std::vector<uint8_t>> frames = {
        EventLoggerService::Frame(3, std::vector<uint8_t>{1, 2, 3}),
        EventLoggerService::Frame(5, {}),
        EventLoggerService::Frame(8, {}),
        EventLoggerService::Frame(1, record, 2),                                    // version 2
        EventLoggerService::Frame(1, truncated, 1, static_cast<uint32_t>(record.size())),  // cut record
        EventLoggerService::Frame(2, {}, 1, 0xFFFFFFF0u),                           // length far beyond the bytes
        std::vector<uint8_t>{1, 0, 0},                                               // not even a header
    };
    for (const auto& f : frames) EXPECT_EQ(service->PublishRaw(f), 1u);
    ASSERT_TRUE(ZtTest::WaitFor([&] { return listener.Count() >= frames.size(); }));
    auto samples = listener.Samples();
    ASSERT_EQ(samples.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(samples[i].bytes, frames[i]) << i;
    // The header layout, byte by byte.
    EXPECT_EQ(EventLoggerService::Frame(7, std::vector<uint8_t>{0xAA}, 1, 99),
              (std::vector<uint8_t>{1, 0, 0, 0, 7, 0, 0, 0, 99, 0, 0, 0, 0xAA}));
    EXPECT_TRUE(service->Log().empty());
    EXPECT_TRUE(service->ActiveAlarms().empty());
}

TEST_F(EventLogger, EveryTargetHasItsOwnService) {
    Target* line2 = sim->FindTargetByName("Line2-PLC");
    ASSERT_NE(line2, nullptr);
    auto remote = EventLoggerOf(*line2);
    ASSERT_TRUE(remote);
    EXPECT_NE(remote, service);
    Subscribe();
    ZtTest::Subscriber other("Line2-PLC");
    ASSERT_EQ(remote->RaiseAlarm(TestEvent(21)), EventResult::Ok);
    ASSERT_TRUE(ZtTest::WaitFor([&] { return other.listener.Count() == 1; }));
    ASSERT_EQ(service->RaiseAlarm(TestEvent(11)), EventResult::Ok);
    auto notes = Notifications(1);
    ASSERT_EQ(notes.size(), 1u);  // the remote frame did not come here
    EXPECT_EQ(notes[0].record->eventId, 11u);
    EXPECT_EQ(remote->ActiveAlarms().size(), 1u);
    EXPECT_EQ(service->ActiveAlarms().size(), 1u);
}

}  // namespace
