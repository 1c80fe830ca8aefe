#include "CZtEventLogger.h"

#include <gtest/gtest.h>

#include <functional>

#include "LoggerFixture.h"

namespace {

using namespace ZtTest;
using ZtAtlCom::E_POINTER;
using ZtAtlCom::S_OK;
using ZtAtlCom::VT_DISPATCH;
using ZtAtlCom::VT_I2;

constexpr HRESULT kLinkReleased = ZtAtlCom::MakeHResult(0x98110748u);

class EventLogger : public LoggerFixture {
protected:
    void SetUp() override {
        LoggerFixture::SetUp();
        logger = NewLogger();
        ASSERT_NE(logger, nullptr);
        Advise(logger, &sink);
    }
    void TearDown() override {
        // A firing under way holds the logger: disconnect first, so that
        // the sink (a member) is called no more once it is released.
        if (logger) logger->Disconnect(), logger->Release();
        LoggerFixture::TearDown();
    }
    HRESULT Connect(IZtEventLogger3* l, const char* target = "localhost") {
        return l->Connect(const_cast<char*>(target));
    }

    IZtEventLogger3* logger = nullptr;
    RecordingSink sink;
};

// What a sink must see for one change of the controller.
struct Expect {
    DISPID id;
    uint32_t eventId;
    int16_t flag;       // dispatch numbers 4 and 5
    int16_t isRaised;   // -2: a message
    int state;          // -1: a message
};

TEST_F(EventLogger, EveryChangeReachesTheSinkInOrderWithItsArguments) {
    ASSERT_EQ(Connect(logger), S_OK);
    IZtEventLogger3* second = NewLogger();
    RecordingSink secondSink;
    Advise(second, &secondSink);
    ASSERT_EQ(Connect(second), S_OK);

    // The first alarm also gets a sink of its own, advised from inside the
    // logger's first call: its events must come just before the logger's.
    std::mutex orderMutex;
    std::vector<std::string> order;
    auto note = [&](std::string what) {
        std::lock_guard<std::mutex> lk(orderMutex);
        order.push_back(std::move(what));
    };
    RecordingSink alarmSink(IID__IZtAlarmEvents);
    alarmSink.onInvoke = [&](DISPID id, ZtAtlCom::DISPPARAMS* params) {
        EXPECT_EQ(params->cArgs, 0u);
        note("alarm " + std::to_string(id));
        return S_OK;
    };
    bool advised = false;
    sink.onInvoke = [&](DISPID id, ZtAtlCom::DISPPARAMS* params) {
        note("logger " + std::to_string(id));
        if (id == DispIdAlarmRaised && !advised) {
            advised = true;
            Advise(params->rgvarg[0].pdispVal, &alarmSink, IID__IZtAlarmEvents);
        }
        return S_OK;
    };

    const auto a = LoggerEvent(1, true), b = LoggerEvent(2), c = LoggerEvent(3), d = LoggerEvent(4, true),
               e = LoggerEvent(5), m = LoggerEvent(9);
    struct Step {
        std::function<void()> act;
        std::vector<Expect> expect;
    } steps[] = {
        {[&] { service->RaiseAlarm(a); }, {{3, 1, 0, 1, 2}}},
        {[&] { service->RaiseAlarm(b); }, {{3, 2, 0, 1, 0}}},
        {[&] { service->RaiseAlarm(a); }, {{3, 1, 0, 1, 2}}},        // raised again: the same object
        {[&] { service->ClearAlarm(b); }, {{4, 2, -1, 0, 0}}},       // leaves the list
        {[&] { service->ClearAlarm(a); }, {{4, 1, 0, 0, 2}}},        // still waits for confirmation
        {[&] { service->ConfirmAlarm(a); }, {{5, 1, -1, 0, 3}}},     // and now leaves
        {[&] { service->RaiseAlarm(c); }, {{3, 3, 0, 1, 0}}},
        {[&] { service->DisposeAlarm(c); }, {{4, 3, -1, 0, 0}}},
        {[&] { service->SendMessage(m); }, {{2, 9, 0, -2, -1}}},
        {[&] { service->RaiseAlarm(d), service->RaiseAlarm(e); }, {{3, 4, 0, 1, 2}, {3, 5, 0, 1, 0}}},
        {[&] { service->ClearAlarmList(); }, {{4, 4, -1, 0, 4}, {4, 5, -1, 0, 0}}},
    };
    size_t total = 0;
    std::vector<Expect> all;
    for (Step& s : steps) {
        s.act();
        total += s.expect.size();
        all.insert(all.end(), s.expect.begin(), s.expect.end());
        ASSERT_TRUE(sink.WaitCalls(total)) << "after " << total << " events";
    }
    ASSERT_TRUE(secondSink.WaitCalls(total));

    for (RecordingSink* s : {&sink, &secondSink}) {
        auto calls = s->Calls();
        ASSERT_EQ(calls.size(), all.size());
        for (size_t i = 0; i < calls.size(); ++i) {
            SCOPED_TRACE("event " + std::to_string(i));
            const SeenCall& got = calls[i];
            const Expect& want = all[i];
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(got.eventId, want.eventId);
            EXPECT_EQ(got.severity, want.eventId % 5);
            if (want.id == 4 || want.id == 5) {
                ASSERT_EQ(got.types, (std::vector<VARTYPE>{VT_I2, VT_DISPATCH}));
                EXPECT_EQ(got.flag, want.flag);
            } else {
                EXPECT_EQ(got.types, std::vector<VARTYPE>{VT_DISPATCH});
            }
            EXPECT_EQ(got.isRaised, want.isRaised);
            EXPECT_EQ(got.confirmationState, want.state);
        }
        // One object per alarm while it is listed, and none shared between loggers.
        EXPECT_EQ(calls[0].identity, calls[2].identity);
        EXPECT_EQ(calls[0].identity, calls[5].identity);
    }
    EXPECT_NE(sink.Calls()[0].identity, secondSink.Calls()[0].identity);

    std::vector<std::string> expectedOrder = {"logger 3", "logger 3", "alarm 1", "logger 3", "logger 4",
                                              "alarm 2",  "logger 4", "alarm 3", "logger 5"};
    {
        std::lock_guard<std::mutex> lk(orderMutex);
        ASSERT_GE(order.size(), expectedOrder.size());
        EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + expectedOrder.size()), expectedOrder);
    }
    EXPECT_TRUE(ListedIds(logger).empty());

    // Two loggers share nothing: the second going away leaves the first connected.
    EXPECT_EQ(second->Disconnect(), S_OK);
    second->Release();
    service->RaiseAlarm(e);
    ASSERT_TRUE(sink.WaitCalls(total + 1));
    EXPECT_EQ(secondSink.Calls().size(), total);
    EXPECT_EQ(ListedIds(logger), std::vector<uint32_t>{5});
    EXPECT_EQ(secondSink.Refs(), 0) << "the second logger kept its sink";
}

TEST_F(EventLogger, ConnectListsTheActiveAlarmsSilentlyAndDisconnectEmptiesTheList) {
    VARIANT_BOOL connected = -1;
    EXPECT_EQ(logger->get_IsConnected(&connected), S_OK);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(logger->get_IsConnected(nullptr), E_POINTER);
    for (uint32_t id : {7, 3, 5}) service->RaiseAlarm(LoggerEvent(id));

    ASSERT_EQ(Connect(logger), S_OK);
    EXPECT_EQ(logger->get_IsConnected(&connected), S_OK);
    EXPECT_EQ(connected, -1);
    EXPECT_EQ(ListedIds(logger), (std::vector<uint32_t>{3, 5, 7}));  // key order

    ASSERT_EQ(logger->Disconnect(), S_OK);
    EXPECT_TRUE(ListedIds(logger).empty());
    service->ClearAlarm(LoggerEvent(5));
    service->RaiseAlarm(LoggerEvent(8));

    // An empty target connects again to the target of before.
    ASSERT_EQ(Connect(logger, ""), S_OK);
    EXPECT_EQ(ListedIds(logger), (std::vector<uint32_t>{3, 7, 8}));
    EXPECT_TRUE(sink.Calls().empty()) << "alarms found active at connect are not reported";
    service->ClearAlarm(LoggerEvent(8));
    ASSERT_TRUE(sink.WaitCalls(1));
    EXPECT_EQ(sink.Calls()[0].id, DispIdAlarmCleared);
}

TEST_F(EventLogger, FailedConnectionsReadAsFailures) {
    struct Case {
        const char* target;
        HRESULT expected;
    } cases[] = {
        {nullptr, E_POINTER},
        {"NoSuchRoute", ZtAtlCom::MakeHResult(0x98110749u)},     // 1865: not resolved
        {"5.12.34.56.1.256", ZtAtlCom::MakeHResult(0x98110749u)},
        {"1.2.3.4.5.6", ZtAtlCom::MakeHResult(0x98110007u)},     // no such machine: the subscription is refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target ? c.target : "(null)");
        EXPECT_EQ(logger->Connect(const_cast<char*>(c.target)), c.expected);
        EXPECT_TRUE(ListedIds(logger).empty());
    }
    // A refused connection that replaced a working one leaves an empty list.
    service->RaiseAlarm(LoggerEvent(1));
    ASSERT_EQ(Connect(logger), S_OK);
    EXPECT_EQ(ListedIds(logger), std::vector<uint32_t>{1});
    EXPECT_EQ(Connect(logger), ZtAtlCom::MakeHResult(0x9811070Fu));  // already subscribed
    EXPECT_TRUE(ListedIds(logger).empty());
    EXPECT_EQ(Connect(logger), S_OK);
    EXPECT_EQ(ListedIds(logger), std::vector<uint32_t>{1});

    // No router at all.
    sim->Stop();
    IZtEventLogger3* lonely = NewLogger();
    EXPECT_EQ(Connect(lonely), ZtAtlCom::MakeHResult(0x98110748u));
    lonely->Release();
}

TEST_F(EventLogger, AFailingAlarmSinkSuppressesTheLoggersEvent) {
    ASSERT_EQ(Connect(logger), S_OK);
    RecordingSink alarmSink(IID__IZtAlarmEvents);
    alarmSink.result = ZtAtlCom::E_FAIL;
    service->RaiseAlarm(LoggerEvent(1));
    ASSERT_TRUE(sink.WaitCalls(1));
    CComPtr<IZtAlarmCollection> alarms;
    ASSERT_EQ(logger->get_ActiveAlarms(&alarms.p), S_OK);
    CComPtr<IZtAlarm> alarm;
    ASSERT_EQ(alarms->get_Item(0, &alarm.p), S_OK);
    Advise(alarm, &alarmSink, IID__IZtAlarmEvents);
    service->ClearAlarm(LoggerEvent(1));
    service->SendMessage(LoggerEvent(2));
    ASSERT_TRUE(sink.WaitCalls(2));
    auto calls = sink.Calls();
    EXPECT_EQ(calls[1].id, DispIdMessageSent) << "AlarmCleared reached the logger's sink";
    EXPECT_EQ(alarmSink.Calls().size(), 1u);
}

TEST_F(EventLogger, AlarmsKeptAfterTheLoggerIsGoneRefuseConfirmCleanly) {
    ASSERT_EQ(Connect(logger), S_OK);
    service->RaiseAlarm(LoggerEvent(4, true));
    ASSERT_TRUE(sink.WaitCalls(1));
    CComPtr<IZtAlarmCollection> alarms;
    ASSERT_EQ(logger->get_ActiveAlarms(&alarms.p), S_OK);
    CComPtr<IZtAlarm> alarm;
    ASSERT_EQ(alarms->get_Item(0, &alarm.p), S_OK);
    EXPECT_EQ(alarm->Confirm(), S_OK);
    ASSERT_TRUE(sink.WaitCalls(2));
    service->RaiseAlarm(LoggerEvent(4, true));
    ASSERT_TRUE(sink.WaitCalls(3));

    logger->Release();
    logger = nullptr;
    // A firing under way may hold the logger a moment longer; its sinks go last.
    ASSERT_TRUE(WaitFor([&] { return sink.Refs() == 0; })) << "the logger was not destroyed";
    EXPECT_EQ(sim->SubscriptionCount(), 0u) << "destruction did not disconnect";
    EXPECT_EQ(alarm->Confirm(), kLinkReleased);
    unsigned int id = 0;
    EXPECT_EQ(alarm->get_EventId(&id), S_OK);
    EXPECT_EQ(id, 4u);
    ZtAtlCom::BSTR text = nullptr;
    EXPECT_EQ(alarm->GetText(1033, &text), kLinkReleased);
    EXPECT_EQ(service->ActiveAlarms().size(), 1u) << "a confirmation went out";
}

// A sink may call back into the logger and release the last reference of
// the logger or of an alarm from inside its call, on the worker thread.
TEST_F(EventLogger, SinksMayCallBackAndReleaseTheLastReferences) {
    ASSERT_EQ(Connect(logger), S_OK);
    std::vector<uint32_t> listedInside;
    IZtAlarm* kept = nullptr;
    sink.onInvoke = [&](DISPID id, ZtAtlCom::DISPPARAMS* params) {
        if (id == DispIdAlarmRaised) {
            listedInside = ListedIds(logger);  // the handler's lock is held here
            params->rgvarg[0].pdispVal->QueryInterface(IID_IZtAlarm, reinterpret_cast<void**>(&kept));
        } else if (id == DispIdAlarmCleared) {
            kept->Release();  // this is the last reference once the alarm left the list
            kept = nullptr;
            IZtEventLogger3* last = std::exchange(logger, nullptr);
            VARIANT_BOOL connected = 0;
            EXPECT_EQ(last->get_IsConnected(&connected), S_OK);
            last->Release();  // the logger goes once this call returns
        }
        return S_OK;
    };
    service->RaiseAlarm(LoggerEvent(6));
    service->ClearAlarm(LoggerEvent(6));
    service->RaiseAlarm(LoggerEvent(7));  // must reach nobody
    ASSERT_TRUE(sink.WaitCalls(2));
    EXPECT_EQ(listedInside, std::vector<uint32_t>{6});
    ASSERT_TRUE(WaitFor([&] { return sim->SubscriptionCount() == 0; })) << "the logger was not destroyed";
    ASSERT_TRUE(WaitFor([&] { return sink.Refs() == 0; }));
    EXPECT_EQ(sink.Calls().size(), 2u);
}

}  // namespace
