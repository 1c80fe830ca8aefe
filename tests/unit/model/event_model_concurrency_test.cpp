// Host threads read alarms while the handler changes them on its own thread,
// and confirm alarms while the handler goes away. Run under ThreadSanitizer
// in CI; ASan catches any use of a freed record, proxy or handler.
#include "ZtEventHandler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ModelFakes.h"

namespace {

using namespace ZtTest;

Bytes Variant(uint32_t id, int round) {
    RecordLayout l;
    l.eventId = id;
    l.raised = 1000 + round;
    l.confirmation = 2;
    // Records of different lengths, so that a reader of a freed or half
    // replaced record would be caught.
    std::string name = round % 2 ? "PLC" : "A-LONGER-SOURCE-NAME";
    l.sources = {{4, Bytes(name.begin(), name.end())}, {1, {static_cast<uint8_t>(id), 0, 0, 0}}};
    l.sources[0].data.push_back(0);
    l.types = {4};
    l.data = {static_cast<uint8_t>(round), 0, 0, 0};
    return BuildRecord(l);
}

TEST(EventModelConcurrency, HostsReadAlarmsWhileTheHandlerChangesThem) {
    HandlerRig rig;
    rig.proxy.active = {Variant(1, 0), Variant(2, 0), Variant(3, 0)};
    ASSERT_EQ(rig.handler->OnConnected(), S_OK);
    std::atomic<bool> done{false};
    std::atomic<int> badReads{0};

    auto reader = [&] {
        while (!done.load()) {
            std::vector<CComPtr<IZtAlarm>> alarms;
            rig.handler->GetActiveAlarms(alarms);
            for (auto& alarm : alarms) {
                BSTR name = nullptr;
                VARIANT_BOOL raised = 9;
                unsigned int id = 0, sourceId = 0;
                uint8_t args[8];
                alarm->get_EventId(&id);
                if (alarm->get_SourceName(&name) != S_OK ||
                    (std::string(name) != "PLC" && std::string(name) != "A-LONGER-SOURCE-NAME"))
                    ++badReads;
                SysFreeString(name);
                if (alarm->get_SourceId(&sourceId) != S_OK || sourceId != id) ++badReads;
                if (alarm->get_IsRaised(&raised) != S_OK || (raised != 0 && raised != 1)) ++badReads;
                if (alarm->GetArgumentData(reinterpret_cast<void**>(args), sizeof args) != S_OK) ++badReads;
                BSTR text = nullptr;
                if (alarm->GetText(1033, &text) != S_OK) ++badReads;
                SysFreeString(text);
            }
        }
    };
    std::thread readers[] = {std::thread(reader), std::thread(reader), std::thread(reader)};

    // The worker's side: every kind of change, again and again.
    for (int round = 1; round <= 300; ++round) {
        for (uint32_t id = 1; id <= 3; ++id) {
            Bytes raised = Variant(id, round);
            rig.handler->OnNewEvent(AsRecord(raised));
            Bytes confirmed = Alarm(id, 1, 0);
            rig.handler->OnAlarmConfirmed(AsRecord(confirmed));
            Bytes again = Variant(id, round + 1);
            rig.handler->OnNewEvent(AsRecord(again));
            Bytes cleared = Alarm(id, 0, 2);
            rig.handler->OnClearAlarm(AsRecord(cleared));
        }
        if (round % 25 == 0) {
            {
                std::lock_guard<std::mutex> lock(rig.proxy.m);
                rig.proxy.active = {Variant(1, round), Variant(3, round)};
            }
            rig.handler->Resynchronize();
            rig.handler->OnClearAlarmList();
            rig.handler->OnConnected();
        }
        if (round % 50 == 0) rig.publisher.Reset();
    }
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(badReads.load(), 0);
}

TEST(EventModelConcurrency, ConfirmRacesTheHandlersDestruction) {
    auto* proxy = new FakeProxy;
    auto* resources = new FakeResources;
    RecordingPublisher publisher;
    proxy->onConfirm = [] { std::this_thread::sleep_for(std::chrono::microseconds(50)); };
    proxy->active = {Alarm(1), Alarm(2)};
    ZtEventHandler* handler = nullptr;
    ASSERT_EQ(ZtEventHandler::Create(proxy, &publisher, resources, &handler), S_OK);
    ASSERT_EQ(handler->OnConnected(), S_OK);
    std::vector<CComPtr<IZtAlarm>> alarms;
    ASSERT_EQ(handler->GetActiveAlarms(alarms), S_OK);

    std::atomic<int> confirmed{0};
    std::atomic<bool> deleted{false};
    std::atomic<int> wrongAfterwards{0};
    auto host = [&](IZtAlarm* alarm) {
        for (;;) {
            const bool gone = deleted.load();
            HRESULT hr = alarm->Confirm();
            BSTR text = nullptr;
            HRESULT textHr = alarm->GetText(1033, &text);
            SysFreeString(text);
            if (hr == S_OK) ++confirmed;
            if (gone) {
                // Once the proxy is freed nothing may reach it.
                if (hr != ZT_E_LINK_RELEASED || textHr != ZT_E_LINK_RELEASED) ++wrongAfterwards;
                return;
            }
        }
    };
    std::thread hosts[] = {std::thread(host, alarms[0].Get()), std::thread(host, alarms[1].Get()),
                           std::thread(host, alarms[0].Get())};
    while (confirmed.load() < 20) std::this_thread::yield();
    handler->ZtRelease();  // detaches the alarms, waiting for the requests in flight
    delete proxy;
    delete resources;
    deleted = true;
    for (auto& t : hosts) t.join();
    EXPECT_EQ(wrongAfterwards.load(), 0);
    VARIANT_BOOL raised = 0;
    EXPECT_EQ(alarms[0]->get_IsRaised(&raised), S_OK);  // the alarm itself lives on
    EXPECT_EQ(raised, 1);
}

}  // namespace
