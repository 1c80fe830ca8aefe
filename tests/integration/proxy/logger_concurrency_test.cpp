// The event logger object where threads meet: host threads reading alarms
// while notifications replace their records, sinks calling back into the
// logger and the alarm, and connect/disconnect churn while frames flow.
#include "CZtEventLogger.h"

#include <gtest/gtest.h>

#include <thread>

#include "LoggerFixture.h"
#include "ZtAtlCom/BStr.h"

namespace {

using namespace ZtTest;
using ZtAtlCom::S_OK;

class LoggerConcurrency : public LoggerFixture {
protected:
    void SetUp() override {
        LoggerFixture::SetUp();
        logger = NewLogger();
        Advise(logger, &sink);
    }
    void TearDown() override {
        StopTraffic();
        if (logger) logger->Disconnect(), logger->Release();
        LoggerFixture::TearDown();
    }
    HRESULT Connect() { return logger->Connect(const_cast<char*>("localhost")); }

    // The controller raising, clearing, confirming and sending all the time.
    void StartTraffic(uint32_t alarms = 8) {
        traffic = std::thread([this, alarms] {
            for (uint32_t n = 0; !stop; ++n) {
                const auto e = LoggerEvent(n % alarms, n % 2 == 0);
                switch (n % 5) {
                    case 0:
                    case 1: service->RaiseAlarm(e); break;
                    case 2: service->ClearAlarm(e); break;
                    case 3: service->ConfirmAlarm(e); break;
                    default: service->SendMessage(LoggerEvent(100 + n % 3)); break;
                }
                if (n % 64 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    void StopTraffic() {
        stop = true;
        if (traffic.joinable()) traffic.join();
    }

    IZtEventLogger3* logger = nullptr;
    RecordingSink sink;
    std::atomic<bool> stop{false};
    std::thread traffic;
};

// Every read sees one consistent record while the worker replaces it.
TEST_F(LoggerConcurrency, HostThreadsReadAlarmsWhileNotificationsReplaceTheirRecords) {
    ASSERT_EQ(Connect(), S_OK);
    StartTraffic();
    ASSERT_TRUE(sink.WaitCalls(20));
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            for (int round = 0; round < 2000; ++round) {
                CComPtr<IZtAlarmCollection> alarms;
                if (logger->get_ActiveAlarms(&alarms.p) != S_OK) {
                    ++bad;
                    continue;
                }
                int count = 0;
                alarms->get_Count(&count);
                for (int i = 0; i < count; ++i) {
                    CComPtr<IZtAlarm2> alarm;
                    CComPtr<IZtAlarm> item;
                    alarms->get_Item(i, &item.p);
                    item->QueryInterface(IID_IZtAlarm2, reinterpret_cast<void**>(&alarm.p));
                    unsigned int id = 0;
                    alarm->get_EventId(&id);
                    ZtAtlCom::BSTR json = nullptr;
                    alarm->get_JsonAttribute(&json);
                    const std::string expected = "{\"id\":" + std::to_string(id) + "}";
                    if (json == nullptr || expected != json) ++bad;
                    ZtAtlCom::SysFreeString(json);
                    VARIANT_BOOL raised = 0;
                    tagConfirmationStateEnum state{};
                    long cleared = 0;
                    alarm->get_IsRaised(&raised);
                    alarm->get_ConfirmationState(&state);
                    alarm->get_FileTimeCleared(&cleared);
                    if (raised != 0 && raised != 1) ++bad;
                }
            }
        });
    }
    for (auto& r : readers) r.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST_F(LoggerConcurrency, SinksCallBackIntoTheLoggerAndTheAlarm) {
    ASSERT_EQ(Connect(), S_OK);
    std::atomic<int> failures{0};
    // A request a sink makes while Disconnect closes the router port fails
    // as it should (no router); only failures before that count.
    std::atomic<bool> closing{false};
    RecordingSink alarmSink(IID__IZtAlarmEvents);
    sink.onInvoke = [&](DISPID id, ZtAtlCom::DISPPARAMS* params) {
        IDispatch* object = params->rgvarg[params->cArgs - 1].pdispVal;
        CComPtr<IZtEvent> event;
        object->QueryInterface(IID_IZtEvent, reinterpret_cast<void**>(&event.p));
        ZtAtlCom::BSTR name = nullptr;
        if (ZtAtlCom::Failed(event->GetEventClassName(1033, &name)) && !closing.load())
            ++failures;  // a request from the worker
        ZtAtlCom::SysFreeString(name);
        CComPtr<IZtAlarmCollection> alarms;
        if (logger->get_ActiveAlarms(&alarms.p) != S_OK) ++failures;
        if (id == DispIdAlarmRaised) {
            CComPtr<IZtAlarm> alarm;
            object->QueryInterface(IID_IZtAlarm, reinterpret_cast<void**>(&alarm.p));
            // Advise and unadvise on the alarm being reported, and confirm it.
            ZtAtlCom::DWORD cookie = Advise(alarm, &alarmSink, IID__IZtAlarmEvents);
            CComPtr<ZtAtlCom::IConnectionPointContainer> container;
            alarm->QueryInterface(ZtAtlCom::iid_of<ZtAtlCom::IConnectionPointContainer>(),
                                  reinterpret_cast<void**>(&container.p));
            CComPtr<ZtAtlCom::IConnectionPoint> point;
            container->FindConnectionPoint(IID__IZtAlarmEvents, &point.p);
            if (point->Unadvise(cookie) != S_OK) ++failures;
            if (alarm->Confirm() != S_OK) ++failures;
        }
        return S_OK;
    };
    StartTraffic();
    std::thread host([&] {
        for (int i = 0; i < 100; ++i) {
            if (logger->ConfirmAllAlarms() != S_OK) ++failures;
            CComPtr<IZtAlarmCollection> alarms;
            logger->get_ActiveAlarms(&alarms.p);
        }
    });
    ASSERT_TRUE(sink.WaitCalls(300, 20000));
    host.join();
    StopTraffic();
    closing.store(true);
    EXPECT_EQ(logger->Disconnect(), S_OK);  // no sink call reaches this test's locals after it
    EXPECT_EQ(failures.load(), 0);
}

// Hundreds of cycles while frames flow: no sink call once Disconnect has
// returned, no deadlock, nothing left behind.
TEST_F(LoggerConcurrency, ConnectDisconnectChurnWhileFramesFlow) {
    std::atomic<bool> disconnected{true};
    std::atomic<int> late{0};
    std::atomic<int> calls{0};
    sink.onInvoke = [&](DISPID id, ZtAtlCom::DISPPARAMS*) {
        if (disconnected.load()) ++late;
        ++calls;
        if (id == DispIdAlarmRaised) {
            CComPtr<IZtAlarmCollection> alarms;
            logger->get_ActiveAlarms(&alarms.p);
        }
        return S_OK;
    };
    StartTraffic();
    for (int cycle = 0; cycle < 300; ++cycle) {
        disconnected = false;
        ASSERT_EQ(Connect(), S_OK) << "cycle " << cycle;
        if (cycle % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_EQ(logger->Disconnect(), S_OK) << "cycle " << cycle;
        disconnected = true;
        ASSERT_TRUE(ListedIds(logger).empty());
    }
    StopTraffic();
    EXPECT_EQ(late.load(), 0) << "sink calls after Disconnect had returned";
    EXPECT_GT(calls.load(), 0);
    EXPECT_EQ(sim->SubscriptionCount(), 0u);
}

// Two host threads and the sinks themselves connect and disconnect one
// logger: the calls are serialised and never wait for each other in a ring.
TEST_F(LoggerConcurrency, HostsAndSinksConnectAndDisconnectAtOnce) {
    std::atomic<int> n{0};
    sink.onInvoke = [&](DISPID, ZtAtlCom::DISPPARAMS*) {
        if (++n % 25 == 0) logger->Disconnect();
        return S_OK;
    };
    StartTraffic();
    std::vector<std::thread> hosts;
    for (int t = 0; t < 2; ++t) {
        hosts.emplace_back([&, t] {
            for (int i = 0; i < 60; ++i) {
                if ((i + t) % 2 == 0)
                    Connect();
                else
                    logger->Disconnect();
            }
        });
    }
    for (auto& h : hosts) h.join();
    StopTraffic();
    logger->Disconnect();
    EXPECT_TRUE(ListedIds(logger).empty());
    EXPECT_EQ(sim->SubscriptionCount(), 0u);
}

}  // namespace
