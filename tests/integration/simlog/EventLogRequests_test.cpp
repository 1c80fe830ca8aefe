// The event and alarm requests of the simulated event logger service, sent
// through the router adapter as bytes and answered byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "EventLoggerFixture.h"
#include "StreamWriter.h"
#include "ZtSim/FileService.h"

namespace {

using namespace ZtSim;
using ZtTest::Le32;
using ZtTest::StreamWriter;
using ZtTest::TestEvent;
using ZtTest::Wire;

struct Answer {
    uint32_t error = 0;
    std::vector<uint8_t> bytes;
    uint32_t hint() const { return bytes.size() >= 4 ? Le32(bytes.data()) : 0; }
};

// The 24-byte head of a stream reply and its body.
std::vector<uint8_t> StreamReplyBytes(uint16_t type, uint32_t handle, uint32_t value, const std::vector<uint8_t>& body) {
    Wire w;
    w.U32(1).U16(type).U16(0).U32(static_cast<uint32_t>(12 + body.size())).U32(handle).U32(value).U32(12);
    w.Put(body.data(), body.size());
    return w.bytes;
}

std::vector<uint8_t> Concat(const std::vector<LogRow>& rows) {
    std::vector<uint8_t> out;
    for (const auto& r : rows) out.insert(out.end(), r.record.begin(), r.record.end());
    return out;
}

std::vector<uint8_t> Stream216(uint16_t handle, uint64_t timeStamp, const std::function<void(StreamWriter&)>& filter) {
    StreamWriter w;
    w.Obj().Key("handle").U16(handle);
    if (timeStamp != 0) w.Key("timeStamp").U64(timeStamp);
    if (filter) filter(w.Key("filter"));
    w.EndObj();
    return w.Stream(kRequestConfirmAlarms);
}

std::vector<uint8_t> Stream218(uint16_t handle, uint64_t timeStamp, bool reset,
                               const std::function<void(StreamWriter&)>& filter) {
    StreamWriter w;
    w.Obj().Key("handle").U16(handle);
    if (timeStamp != 0) w.Key("timeStamp").U64(timeStamp);
    w.Key("bResetConfirmation").Bool(reset);
    if (filter) filter(w.Key("filter"));
    w.EndObj();
    return w.Stream(kRequestClearAlarms);
}

// [{kind:3, cmp, value:id}]
std::function<void(StreamWriter&)> IdFilter(uint16_t cmp, uint32_t id) {
    return [=](StreamWriter& w) {
        w.Arr().Obj().Key("kind").U16(3).Key("cmp").U16(cmp).Key("value").U32(id).EndObj().EndArr();
    };
}

class EventLogRequests : public ZtTest::EventLoggerFixture {
protected:
    Answer ReadWrite(uint32_t group, uint32_t offset, std::vector<uint8_t> in, size_t buffer = 1 << 20) {
        Answer a;
        a.bytes.assign(buffer, 0);
        unsigned long got = 0;
        a.error = adapter.VdlSyncReadWriteReq(kEventLoggerPort, group, offset, a.bytes.size(), a.bytes.data(),
                                              in.size(), in.data(), got);
        a.bytes.resize(a.error == 0 ? got : std::min<size_t>(a.bytes.size(), 4));
        return a;
    }
    uint32_t Write(uint32_t group, uint32_t offset, std::vector<uint8_t> in) {
        return adapter.VdlSyncWriteReq(kEventLoggerPort, group, offset, in.size(), in.data());
    }
    std::vector<std::pair<uint32_t, uint32_t>> Listed() {
        std::vector<std::pair<uint32_t, uint32_t>> out;  // id, confirmation state
        for (const auto& a : service->ActiveAlarms()) out.emplace_back(a.event.eventId, a.state.confirmationState);
        return out;
    }
    // Alarms 1 and 2 raised and waiting, 3 raised, 4 cleared and waiting, then a message 5.
    void RaiseFour() {
        UseTicks();
        for (uint32_t id = 1; id <= 4; ++id) ASSERT_EQ(service->RaiseAlarm(TestEvent(id, id != 3)), EventResult::Ok);
        ASSERT_EQ(service->ClearAlarm(TestEvent(4).Key()), EventResult::Ok);
        ASSERT_EQ(service->SendMessage(TestEvent(5)), EventResult::Ok);
    }
};

TEST_F(EventLogRequests, LogReadsByCountAndBySettings) {
    RaiseFour();
    const auto all = service->LoggedEvents();
    ASSERT_EQ(all.size(), 5u);  // four alarms and a message, one row each
    std::vector<uint32_t> ids;
    for (const auto& r : all) ids.push_back(r.event.eventId);
    EXPECT_EQ(ids, (std::vector<uint32_t>{5, 4, 3, 2, 1}));
    EXPECT_EQ(all[1].state.fileTimeCleared, Tick(5));  // the row followed the clear
    EXPECT_EQ(all[1].state.isRaised, 0u);

    auto newest = [](uint32_t n) { return ZtTest::Frame(kRequestNewestEvents, Wire().U32(n).bytes); };
    auto a = ReadWrite(kEventReadGroup, kNewestEventsOffset, newest(3));
    ASSERT_EQ(a.error, 0u);
    EXPECT_EQ(a.bytes, StreamReplyBytes(200, 0, 3, Concat({all[0], all[1], all[2]})));
    a = ReadWrite(kEventReadGroup, kNewestEventsOffset, newest(0));
    EXPECT_EQ(a.bytes, StreamReplyBytes(200, 0, 0, {}));
    a = ReadWrite(kEventReadGroup, kNewestEventsOffset, newest(1000));
    EXPECT_EQ(a.bytes, StreamReplyBytes(200, 0, 5, Concat(all)));

    // Alarms only, at most 2, oldest first; the same in the binary and the JSON form.
    StreamWriter w;
    w.Obj().Key("handle").U16(41).Key("settings").Obj().Key("maxCount").U32(2).Key("order").U16(1);
    w.Key("filter").Arr().Obj().Key("kind").U16(1).Key("cmp").U16(0).Key("value").U16(1).EndObj().EndArr();
    w.EndObj().EndObj();
    const auto json = ZtTest::JsonStream(
        kRequestLoggedEvents,
        R"({"handle":41,"settings":{"maxCount":2,"order":1,"filter":[{"kind":1,"cmp":0,"value":1}]}})");
    for (const auto& request : {w.Stream(kRequestLoggedEvents), json}) {
        a = ReadWrite(kEventReadGroup, kLoggedEventsOffset, request);
        ASSERT_EQ(a.error, 0u);
        EXPECT_EQ(a.bytes, StreamReplyBytes(214, 41, 2, Concat({all[4], all[3]})));
    }
    // No settings: everything, newest first.
    StreamWriter bare;
    bare.Obj().Key("handle").U16(2).EndObj();
    a = ReadWrite(kEventReadGroup, kLoggedEventsOffset, bare.Stream(kRequestLoggedEvents));
    EXPECT_EQ(a.bytes, StreamReplyBytes(214, 2, 5, Concat(all)));
}

TEST_F(EventLogRequests, ConfirmAndClearByFilterPublishTheirFrames) {
    using Listing = std::vector<std::pair<uint32_t, uint32_t>>;
    struct Frame {
        uint16_t type;
        uint32_t id;
        uint8_t raised;
        uint16_t confirmation;
        bool operator==(const Frame&) const = default;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> request;
        uint32_t result;
        std::vector<Frame> frames;
        Listing listed;
    } cases[] = {
        {"confirm one by id", Stream216(1, 0, IdFilter(0, 2)), 0, {{6, 2, 1, 3}}, {{1, 2}, {2, 3}, {3, 0}, {4, 2}}},
        {"confirm raised at or before tick 2", Stream216(2, Tick(2), {}), 0, {{6, 1, 1, 3}, {6, 2, 1, 3}},
         {{1, 3}, {2, 3}, {3, 0}, {4, 2}}},
        {"confirm all waiting: a cleared one leaves", Stream216(3, 0, {}), 0,
         {{6, 1, 1, 3}, {6, 2, 1, 3}, {6, 4, 0, 3}}, {{1, 3}, {2, 3}, {3, 0}}},
        {"clear raised ones with id >= 2", Stream218(4, 0, false, IdFilter(5, 2)), 0,
         {{2, 2, 0, 2}, {2, 3, 0, 0}}, {{1, 2}, {2, 2}, {4, 2}}},
        {"clear with reset ends the waits too", Stream218(5, 0, true, {}), 0,
         {{2, 1, 0, 4}, {2, 2, 0, 4}, {2, 3, 0, 0}, {2, 4, 0, 4}}, {}},
        {"nothing matches", Stream216(6, 0, IdFilter(0, 3)), kResultNoneFound, {}, {{1, 2}, {2, 2}, {3, 0}, {4, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        service->ClearAlarmList();
        ticks = 0;
        RaiseFour();
        ZtTest::Subscriber sub("");
        auto a = ReadWrite(kCommandGroup, 0, c.request, 2064);
        ASSERT_EQ(a.error, 0u);
        const uint16_t type = ZtTest::Le16(c.request.data() + 4);
        const uint32_t handle = c.request[24];  // the u16 value after the key "handle"
        if (c.result == 0) {
            EXPECT_EQ(a.bytes, StreamReplyBytes(type, handle, 0, {}));
        } else {
            const std::string text = "no alarm matched";
            std::vector<uint8_t> body(text.begin(), text.end());
            body.push_back(0);
            EXPECT_EQ(a.bytes, StreamReplyBytes(type, handle, c.result, body));
        }
        std::vector<Frame> frames;
        EXPECT_TRUE(ZtTest::WaitFor([&] { return sub.listener.Count() >= c.frames.size(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // and no more
        for (const auto& sample : sub.listener.Samples()) {
            ZtTest::ReadFrame f;
            ZtTest::ReadRecord r;
            ASSERT_EQ(ZtTest::ReadNotificationFrame(sample.bytes, f), "");
            ASSERT_EQ(ZtTest::ReadEventRecord(f.payload, r), "");
            frames.push_back({f.type, r.eventId, r.isRaised, r.confirmation});
        }
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(Listed(), c.listed);
    }
}

TEST_F(EventLogRequests, CommandFrames) {
    RaiseFour();
    Subscribe();
    auto key = [](uint32_t id) {
        Wire w;
        w.Guid(ZtTest::kTestClass).U32(id).U32(0);
        return ZtTest::Frame(kRequestConfirmOne, w.bytes);
    };
    EXPECT_EQ(Write(kCommandGroup, 0, key(2)), 0u);
    EXPECT_EQ(Write(kCommandGroup, 0, key(2)), 1804u);  // no longer waiting
    EXPECT_EQ(Write(kCommandGroup, 0, key(3)), 1804u);  // needs no confirmation
    EXPECT_EQ(Write(kCommandGroup, 0, key(9)), 1804u);  // not listed
    EXPECT_EQ(Write(kCommandGroup, 0, ZtTest::Frame(kRequestConfirmAll, {})), 0u);
    EXPECT_EQ(Listed(), (std::vector<std::pair<uint32_t, uint32_t>>{{1, 3}, {2, 3}, {3, 0}}));
    EXPECT_EQ(Write(kCommandGroup, 0, ZtTest::Frame(kRequestClearAll, {0})), 0u);
    EXPECT_TRUE(Listed().empty());
    std::vector<uint16_t> types;
    for (const auto& n : Notifications(6)) types.push_back(n.frame.type);
    EXPECT_EQ(types, (std::vector<uint16_t>{6, 6, 6, 2, 2, 2}));
}

TEST_F(EventLogRequests, SentMessageIsLoggedAndPublished) {
    UseTicks();
    Subscribe();
    auto m = TestEvent(77);
    m.jsonAttribute = R"({"batch":"B-9"})";
    m.arguments.push_back(EventArgument::Double(2.5));
    m.keyQualifier = 3;
    // The client's record: raised time 0, every state field 0.
    auto sent = BuildEventRecord(m, EventState{});
    ASSERT_EQ(Write(kCommandGroup, 0, ZtTest::Frame(kRequestSendMessage, sent)), 0u);
    EventState s;
    s.fileTimeRaised = Tick(1);
    const auto expected = BuildEventRecord(m, s);
    auto notes = Notifications(1);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].frame.type, 0u);
    EXPECT_EQ(static_cast<uint64_t>(notes[0].timeStamp), Tick(1));
    EXPECT_EQ(notes[0].frame.payload, expected);
    auto rows = service->LoggedEvents();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].record, expected);
    // A record that does not fill its frame exactly is refused.
    auto cut = sent;
    cut.pop_back();
    EXPECT_EQ(Write(kCommandGroup, 0, ZtTest::Frame(kRequestSendMessage, cut)), 1798u);
    EXPECT_EQ(service->LoggedEventCount(), 1u);
}

TEST_F(EventLogRequests, SmallBuffersGetTheSizeNeeded) {
    RaiseFour();
    const auto all = service->LoggedEvents();
    const uint32_t needed = static_cast<uint32_t>(24 + Concat(all).size());
    auto a = ReadWrite(kEventReadGroup, kNewestEventsOffset, ZtTest::Frame(200, Wire().U32(10).bytes), 100);
    EXPECT_EQ(a.error, 1797u);
    EXPECT_EQ(a.hint(), needed);
    a = ReadWrite(kEventReadGroup, kNewestEventsOffset, ZtTest::Frame(200, Wire().U32(10).bytes), needed);
    EXPECT_EQ(a.error, 0u);
    // A command acts only when its reply fits: the client sends it again after 1797.
    const auto before = Listed();
    a = ReadWrite(kCommandGroup, 0, Stream216(1, 0, {}), 30);
    EXPECT_EQ(a.error, 1797u);
    EXPECT_EQ(a.hint(), kCommandReplySize);
    EXPECT_EQ(Listed(), before);
    StreamWriter exp;
    exp.Obj().Key("handle").U16(1).Key("fileName").Str("x.csv").EndObj();
    a = ReadWrite(kQueryGroup, 0, exp.Stream(kRequestExport), 24);
    EXPECT_EQ(a.error, 1797u);
    EXPECT_EQ(a.hint(), kCommandReplySize);
    EXPECT_FALSE(std::filesystem::exists(sim->Files().Root() / "x.csv"));
}

TEST_F(EventLogRequests, HostileRequestsChangeNothing) {
    RaiseFour();
    Subscribe();
    const auto listed = Listed();
    const size_t logged = service->LoggedEventCount();
    auto raw = [](uint16_t type, std::initializer_list<uint8_t> body) {
        StreamWriter w;
        w.Raw(body);
        return w.Stream(type);
    };
    StreamWriter badFilter;
    badFilter.Obj().Key("handle").U16(1).Key("filter").Arr().Obj().Key("kind").U16(20).EndObj().EndArr().EndObj();
    StreamWriter badSettings;
    badSettings.Obj().Key("handle").U16(1).Key("settings").Obj().Key("order").U16(2).EndObj().EndObj();
    auto record = BuildEventRecord(TestEvent(1), {});
    record[112] = 0xFF;  // data size far beyond the record
    enum Kind { RW, W };
    struct Case {
        const char* what;
        Kind kind;
        uint32_t group, offset;
        std::vector<uint8_t> bytes;
        uint32_t error;
    } cases[] = {
        {"truncated stream", RW, 100, 0, {1, 0, 0, 0, 216, 0, 0, 0, 20, 0, 0, 0, 1, 3}, 1798},
        {"unknown tag", RW, 100, 0, raw(216, {1, 9, 6}), 1798},
        {"open array", RW, 100, 0, raw(218, {1, 3, 1, 2, 3, 4, 5, 6, 7, 8, 2, 4, 7, 1, 0}), 1798},
        {"filter with OR alone", RW, 100, 0, badFilter.Stream(216), 1798},
        {"body not an object", RW, 100, 0, raw(216, {4, 7, 1, 0}), 1798},
        {"unknown stream type", RW, 100, 0, raw(217, {1, 6}), 1793},
        {"version 2", RW, 200, 0, {2, 0, 0, 0, 214, 0, 0, 0, 2, 0, 0, 0, 1, 6, 0, 0}, 1798},
        {"settings with order 2", RW, 200, 0, badSettings.Stream(214), 1798},
        {"export without file name", RW, 500, 0, raw(210, {1, 6}), 1798},
        {"unknown query", RW, 500, 0, ZtTest::Frame(101, std::vector<uint8_t>(24)), 1793},
        {"class name query too short", RW, 500, 0, ZtTest::Frame(102, std::vector<uint8_t>(20)), 1798},
        {"newest events without count", RW, 200, 2, ZtTest::Frame(200, {1, 0}), 1798},
        {"confirm one with 23 bytes", W, 100, 0, ZtTest::Frame(3, std::vector<uint8_t>(23)), 1798},
        {"clear all flag 2", W, 100, 0, ZtTest::Frame(9, {2}), 1798},
        {"message record beyond its bytes", W, 100, 0, ZtTest::Frame(800, record), 1798},
        {"unknown command", W, 100, 0, ZtTest::Frame(4, {}), 1793},
        {"no header", W, 100, 0, {1, 0, 0}, 1798},
    };
    for (const auto& c : cases) {
        const uint32_t rc = c.kind == RW ? ReadWrite(c.group, c.offset, c.bytes, 2064).error
                                         : Write(c.group, c.offset, c.bytes);
        EXPECT_EQ(rc, c.error) << c.what;
    }
    EXPECT_EQ(Listed(), listed);
    EXPECT_EQ(service->LoggedEventCount(), logged);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(listener.Count(), 0u);
}

TEST_F(EventLogRequests, ClearingTheLogKeepsTheListedAlarms) {
    RaiseFour();
    ASSERT_EQ(Write(kClearLogGroup, 0, {}), 0u);
    std::vector<uint32_t> ids;
    for (const auto& r : service->LoggedEvents(true)) ids.push_back(r.event.eventId);
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 3, 4}));
    // Their rows go on following them.
    ASSERT_EQ(service->ConfirmAlarm(TestEvent(4).Key()), EventResult::Ok);
    EXPECT_EQ(service->LoggedEvents()[0].state.confirmationState, kConfirmationDone);
}

TEST_F(EventLogRequests, FaultsReachTheServiceRequests) {
    RaiseFour();
    auto newest = ZtTest::Frame(200, Wire().U32(5).bytes);
    sim->Faults().FailNext(2, 6, kEventLoggerPort, kEventReadGroup);
    EXPECT_EQ(ReadWrite(kEventReadGroup, kNewestEventsOffset, newest).error, 6u);
    EXPECT_EQ(ReadWrite(kQueryGroup, 0, ZtTest::Frame(102, std::vector<uint8_t>(24))).error, 0u);  // other group
    EXPECT_EQ(ReadWrite(kEventReadGroup, kNewestEventsOffset, newest).error, 6u);
    EXPECT_EQ(ReadWrite(kEventReadGroup, kNewestEventsOffset, newest).error, 0u);

    FaultRule r;
    r.kind = FaultKind::Error;
    r.error = 1802;
    r.port = kEventLoggerPort;
    r.requestType = kRequestNewestEvents;
    sim->Faults().Add(r);
    EXPECT_EQ(ReadWrite(kEventReadGroup, kNewestEventsOffset, newest).error, 1802u);

    sim->Faults().HintNext(1, 4096, kEventLoggerPort, kEventReadGroup);
    auto a = ReadWrite(kEventReadGroup, kNewestEventsOffset, newest);
    EXPECT_EQ(a.error, 1797u);
    EXPECT_EQ(a.hint(), 4096u);

    sim->Faults().CutNext(1, 30, kEventLoggerPort, kEventReadGroup);
    a = ReadWrite(kEventReadGroup, kNewestEventsOffset, newest);
    ASSERT_EQ(a.error, 0u);
    ASSERT_EQ(a.bytes.size(), 30u);
    EXPECT_GT(Le32(a.bytes.data() + 8), 30u - 12);  // the head promises more than came

    sim->Faults().DelayNext(1, 200, kEventLoggerPort, kEventReadGroup);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadWrite(kEventReadGroup, kNewestEventsOffset, newest).error, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

// A log file outlives the simulator; its rows follow on.
TEST(EventLogFile, RowsSurviveARestart) {
    const auto dir = std::filesystem::path(::testing::TempDir()) / ("zt-log-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto options = ZtTest::DefaultSimOptions();
    options.eventLog = (dir / "events.sqlite").string();
    {
        Simulator sim(options);
        auto service = EventLoggerOf(sim.Local());
        ASSERT_EQ(service->RaiseAlarm(TestEvent(1, true)), EventResult::Ok);
        ASSERT_EQ(service->ClearAlarm(TestEvent(1).Key()), EventResult::Ok);
    }
    {
        Simulator sim(options);
        auto service = EventLoggerOf(sim.Local());
        ASSERT_EQ(service->SendMessage(TestEvent(2)), EventResult::Ok);
        auto rows = service->LoggedEvents();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].event.eventId, 2u);
        EXPECT_GT(rows[0].seq, rows[1].seq);
        EXPECT_EQ(rows[1].state.confirmationState, kConfirmationWaiting);
        EXPECT_NE(rows[1].state.fileTimeCleared, 0u);
        EXPECT_EQ(service->LogFailures(), 0u);
    }
    std::filesystem::remove_all(dir);
    options.eventLog = (dir / "no" / "such" / "folder.sqlite").string();
    EXPECT_THROW(Simulator{options}, std::runtime_error);
}

// The log must stay quick enough for benchmarks: the numbers are printed, the
// bounds are loose enough for sanitizer builds.
TEST_F(EventLogRequests, TenThousandEventsGoInAndComeBackQuickly) {
    using Clock = std::chrono::steady_clock;
    auto m = TestEvent(1);
    const auto t0 = Clock::now();
    for (uint32_t i = 0; i < 10000; ++i) {
        m.eventId = i;
        service->SendMessage(m);
    }
    const auto t1 = Clock::now();
    StreamWriter w;
    w.Obj().Key("handle").U16(1).EndObj();
    auto a = ReadWrite(kEventReadGroup, kLoggedEventsOffset, w.Stream(kRequestLoggedEvents), 4 << 20);
    const auto t2 = Clock::now();
    ASSERT_EQ(a.error, 0u);
    EXPECT_EQ(Le32(a.bytes.data() + 16), 10000u);
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("10000 messages logged in %.1f ms, read back in %.1f ms (%zu bytes)\n", ms(t1 - t0), ms(t2 - t1),
                a.bytes.size());
    EXPECT_LT(ms(t1 - t0), 3000);
    EXPECT_LT(ms(t2 - t1), 3000);
}

}  // namespace
