#include "ZtEventHandler.h"

#include <gtest/gtest.h>

#include <future>
#include <set>
#include <thread>

#include "ModelFakes.h"

namespace {

using namespace ZtTest;

// "raised 7 r1 s2": what, event id, removed flag, and the alarm's raised byte
// and confirmation state when the publisher was called.
std::vector<std::string> Seen(RecordingPublisher& p) {
    std::vector<std::string> out;
    for (const auto& c : p.Calls())
        out.push_back(c.what + " " + std::to_string(c.id) + (c.removed ? " removed" : "") +
                      (c.alarm ? " r" + std::to_string(c.raised) + " s" + std::to_string(c.state) : ""));
    return out;
}

Bytes Disposed(uint32_t id, uint64_t at) {
    RecordLayout l;
    l.eventId = id;
    l.isRaised = 0;
    l.confirmation = 0;
    l.disposed = at;
    return BuildRecord(l);
}

// One row of the alarm state table: the list before (read at connect), one
// notification, what the publisher hears, and the list after.
struct StateRow {
    const char* what;
    std::vector<Bytes> before;
    std::function<HRESULT(ZtEventHandler*)> act;
    HRESULT result;
    std::vector<std::string> calls;
    std::vector<uint32_t> after;
};

template <class On>
std::function<HRESULT(ZtEventHandler*)> With(Bytes record, On on) {
    return [record, on](ZtEventHandler* h) mutable { return (h->*on)(AsRecord(record)); };
}

TEST(EventHandler, AlarmStateTableRowByRow) {
    using H = ZtEventHandler;
    const StateRow rows[] = {
        {"raise, key absent", {}, With(Alarm(7), &H::OnNewEvent), S_OK, {"raised 7 r1 s2"}, {7}},
        {"raise, key present", {Alarm(7, 1, 2, 1000)}, With(Alarm(7, 1, 0, 2000), &H::OnNewEvent), S_OK,
         {"raised 7 r1 s0"}, {7}},
        {"clear while waiting for confirmation: stays", {Alarm(7, 1, 2)}, With(Alarm(7, 0, 2), &H::OnClearAlarm), S_OK,
         {"cleared 7 r0 s2"}, {7}},
        {"clear without confirmation: leaves", {Alarm(7, 1, 0), Alarm(8)}, With(Alarm(7, 0, 0), &H::OnClearAlarm),
         S_OK, {"cleared 7 removed r0 s0"}, {8}},
        {"confirm while raised: stays", {Alarm(7, 1, 2)}, With(Alarm(7, 1, 0), &H::OnAlarmConfirmed), S_OK,
         {"confirmed 7 r1 s0"}, {7}},
        {"confirm after the clear: leaves", {Alarm(7, 0, 2)}, With(Alarm(7, 0, 0), &H::OnAlarmConfirmed), S_OK,
         {"confirmed 7 removed r0 s0"}, {}},
        {"dispose: leaves whatever its state", {Alarm(7, 1, 2)}, With(Disposed(7, 5000), &H::OnDisposeActiveAlarm),
         S_OK, {"cleared 7 removed r0 s0"}, {}},
        {"list cleared: all leave, 2 becomes 4", {Alarm(8, 1, 0), Alarm(7, 1, 2)},
         [](H* h) { return h->OnClearAlarmList(); }, S_OK, {"cleared 7 removed r0 s4", "cleared 8 removed r0 s0"}, {}},
        {"connected: listed, nothing reported", {Alarm(9), Alarm(3), Alarm(5)}, [](H*) { return S_OK; }, S_OK, {},
         {3, 5, 9}},
        {"disconnected: emptied, nothing reported", {Alarm(7)}, [](H* h) { return h->OnDisconected(); }, S_OK, {},
         {}},
        {"clear of an unknown key", {Alarm(7)}, With(Alarm(8, 0, 0), &H::OnClearAlarm), E_INVALIDARG, {}, {7}},
        {"confirm of an unknown key", {Alarm(7)}, With(Alarm(8, 1, 0), &H::OnAlarmConfirmed), E_INVALIDARG, {}, {7}},
        {"dispose of an unknown key", {Alarm(7)}, With(Disposed(8, 1), &H::OnDisposeActiveAlarm), E_INVALIDARG, {},
         {7}},
        {"qualifier 0 finds the listed alarm", {Alarm(7, 1, 0, 1000, 5)}, With(Alarm(7, 0, 0, 1000, 0), &H::OnClearAlarm),
         S_OK, {"cleared 7 removed r0 s0"}, {}},
        {"other qualifiers do not", {Alarm(7, 1, 0, 1000, 5)}, With(Alarm(7, 0, 0, 1000, 6), &H::OnClearAlarm),
         E_INVALIDARG, {}, {7}},
        {"null record", {Alarm(7)}, [](H* h) { return h->OnNewEvent(nullptr); }, E_POINTER, {}, {7}},
    };
    for (const StateRow& row : rows) {
        SCOPED_TRACE(row.what);
        HandlerRig rig;
        rig.proxy.active = row.before;
        void* p = nullptr;
        ASSERT_EQ(rig.handler->ZtQueryInterface(IID_IZtEventListSync, &p), S_OK);
        ZtComPtrLite<IZtEventListSync> sync(static_cast<IZtEventListSync*>(p));
        ASSERT_EQ(sync->OnConnected(), S_OK);
        CComPtr<IZtAlarm> before = rig.Find(7);
        EXPECT_EQ(row.act(rig.handler), row.result);
        EXPECT_EQ(Seen(rig.publisher), row.calls);
        EXPECT_EQ(rig.Listed(), row.after);
        // A listed alarm stays the same object: hosts holding it see the change.
        if (CComPtr<IZtAlarm> after = rig.Find(7); before && after) {
            EXPECT_TRUE(before.IsEqualObject(after));
        }
    }
    HandlerRig rig;
    void* p = nullptr;
    EXPECT_EQ(rig.handler->ZtQueryInterface(IID_IResourceManager, &p), ZT_E_NOINTERFACE);
}

TEST(EventHandler, SinksMayListOrEmptyTheAlarmsFromInsideTheirCall) {
    HandlerRig rig;
    std::vector<uint32_t> seenInside;
    rig.publisher.onRaised = [&](CZtAlarm* alarm) {
        seenInside = rig.Listed();      // the handler lock is held here: it is re-entrant
        rig.handler->OnDisconected();   // drops the list's reference to the alarm being told
        VARIANT_BOOL raised = 0;
        EXPECT_EQ(alarm->get_IsRaised(&raised), S_OK);  // still alive (ASan)
    };
    Bytes a = Alarm(4);
    EXPECT_EQ(rig.handler->OnNewEvent(AsRecord(a)), S_OK);
    EXPECT_EQ(seenInside, std::vector<uint32_t>{4});
    EXPECT_TRUE(rig.Listed().empty());
}

TEST(EventHandler, ClearedAndConfirmedAreReportedWithoutTheHandlerLock) {
    HandlerRig rig;
    rig.proxy.active = {Alarm(1, 1, 2), Alarm(2, 1, 0), Alarm(3, 1, 2)};
    ASSERT_EQ(rig.handler->OnConnected(), S_OK);
    int blocked = 0;
    auto fromAnotherThread = [&](CZtAlarm*) {
        auto other = std::async(std::launch::async, [&] { return rig.Listed().size(); });
        // With the lock held this waits until the notification returns.
        if (other.wait_for(std::chrono::seconds(10)) != std::future_status::ready) ++blocked;
    };
    rig.publisher.onCleared = fromAnotherThread;
    rig.publisher.onConfirmed = fromAnotherThread;
    Bytes cleared = Alarm(1, 0, 2), confirmed = Alarm(2, 1, 2), disposed = Disposed(3, 9);
    rig.handler->OnClearAlarm(AsRecord(cleared));
    rig.handler->OnAlarmConfirmed(AsRecord(confirmed));
    rig.handler->OnDisposeActiveAlarm(AsRecord(disposed));
    rig.handler->OnClearAlarmList();
    EXPECT_EQ(blocked, 0);
    EXPECT_EQ(rig.publisher.Calls().size(), 5u);
}

TEST(EventHandler, MessagesLiveOnOnlyWhereASinkKeepsThem) {
    HandlerRig rig;
    CComPtr<IZtMessage3> kept;
    rig.publisher.onMessage = [&](CZtMessage* m) { kept = m; };
    Bytes record = Alarm(12);
    EXPECT_EQ(rig.handler->OnNewMessage(AsRecord(record)), S_OK);
    EXPECT_EQ(Seen(rig.publisher), std::vector<std::string>{"message 12"});
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->AddRef(), 2u);  // the sink's reference and this one
    kept->Release();
    EXPECT_TRUE(rig.Listed().empty());
    EXPECT_EQ(rig.handler->OnNewMessage(nullptr), E_POINTER);
}

TEST(EventHandler, RequestsAreForwardedUntilTheHandlerIsDetached) {
    HandlerRig rig;
    Bytes a = Alarm(5);
    ASSERT_EQ(rig.handler->OnNewEvent(AsRecord(a)), S_OK);
    CComPtr<IZtAlarm> alarm = rig.Find(5);
    rig.proxy.requestResult = MakeHResult(0x98110745u);  // a time-out

    EXPECT_EQ(rig.handler->ConfirmEvent(AsRecord(a)), MakeHResult(0x98110745u));
    EXPECT_EQ(rig.handler->ConfirmAllAlarms(), MakeHResult(0x98110745u));
    EXPECT_EQ(rig.handler->ClearAllAlarms(true), MakeHResult(0x98110745u));
    EXPECT_EQ(alarm->Confirm(), S_OK);  // whatever the request's outcome
    EXPECT_EQ(rig.proxy.confirmedIds, (std::vector<uint32_t>{5, 5}));
    EXPECT_EQ(rig.proxy.confirmedAll, 1);
    EXPECT_EQ(rig.proxy.clearedAll, 2);

    rig.handler->Detach();
    EXPECT_EQ(alarm->Confirm(), ZT_E_LINK_RELEASED);
    EXPECT_EQ(rig.handler->ConfirmEvent(AsRecord(a)), ZT_E_LINK_RELEASED);
    EXPECT_EQ(rig.handler->ConfirmAllAlarms(), ZT_E_LINK_RELEASED);
    EXPECT_EQ(rig.handler->OnConnected(), ZT_E_LINK_RELEASED);
    BSTR text = nullptr;
    EXPECT_EQ(alarm->GetText(1033, &text), ZT_E_LINK_RELEASED);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(rig.proxy.confirmedIds.size(), 2u);

    // The list still follows notifications; nothing reaches the publisher.
    rig.publisher.Reset();
    Bytes b = Alarm(6);
    EXPECT_EQ(rig.handler->OnNewEvent(AsRecord(b)), S_OK);
    EXPECT_TRUE(rig.publisher.Calls().empty());
}

TEST(EventHandler, AnAlarmOutlivingItsHandlerCannotBeConfirmed) {
    CComPtr<IZtAlarm> alarm;
    {
        HandlerRig rig;
        Bytes a = Alarm(5);
        rig.handler->OnNewEvent(AsRecord(a));
        alarm = rig.Find(5);
        EXPECT_EQ(alarm->AddRef(), 3u);  // the list's, ours and this one
        alarm->Release();
        rig.handler->ZtRelease();  // the destructor releases the listed alarms
        rig.handler = nullptr;
        EXPECT_EQ(alarm->AddRef(), 2u);
        alarm->Release();
    }  // the proxy and the resources are gone too
    EXPECT_EQ(alarm->Confirm(), ZT_E_LINK_RELEASED);
    BSTR name = nullptr;
    EXPECT_EQ(alarm->get_SourceName(&name), S_OK);  // its own record still answers
    EXPECT_STREQ(name, "PLC");
    SysFreeString(name);
}

// ---- resynchronisation -------------------------------------------------------

struct ResyncRow {
    const char* what;
    std::vector<Bytes> before;   // the list the host has
    std::vector<Bytes> service;  // the service's active events now
    std::vector<std::string> calls;
    HRESULT read = S_OK;         // the read's result
};

TEST(EventHandler, ResynchronizeReportsEachDifferenceAsItsEvent) {
    const ResyncRow rows[] = {
        {"nothing changed", {Alarm(1), Alarm(2)}, {Alarm(2), Alarm(1)}, {}},
        {"an alarm left while frames were lost", {Alarm(1, 1, 2), Alarm(2)}, {Alarm(2)},
         {"cleared 1 removed r0 s4"}},
        {"a new alarm", {Alarm(1)}, {Alarm(1), Alarm(3)}, {"raised 3 r1 s2"}},
        {"raised again", {Alarm(1, 1, 2, 1000)}, {Alarm(1, 1, 2, 2000)}, {"raised 1 r1 s2"}},
        {"cleared again and raised again", {Alarm(1, 0, 2, 1000)}, {Alarm(1, 1, 2, 2000)}, {"raised 1 r1 s2"}},
        {"cleared, still waiting", {Alarm(1, 1, 2)}, {Alarm(1, 0, 2)}, {"cleared 1 r0 s2"}},
        {"confirmed, still raised", {Alarm(1, 1, 2)}, {Alarm(1, 1, 0)}, {"confirmed 1 r1 s0"}},
        {"everything at once", {Alarm(1), Alarm(2, 1, 2), Alarm(3, 1, 2, 1000)},
         {Alarm(2, 1, 0), Alarm(3, 1, 2, 3000), Alarm(4)},
         {"raised 3 r1 s2", "raised 4 r1 s2", "cleared 1 removed r0 s4", "confirmed 2 r1 s0"}},
        {"the service's list is empty", {Alarm(1, 1, 0), Alarm(2, 0, 2)}, {},
         {"cleared 1 removed r0 s0", "cleared 2 removed r0 s4"}},
        {"a failed read changes nothing", {Alarm(1)}, {Alarm(2)}, {}, MakeHResult(0x98110745u)},
    };
    for (const ResyncRow& row : rows) {
        SCOPED_TRACE(row.what);
        HandlerRig rig;
        rig.proxy.active = row.before;
        ASSERT_EQ(rig.handler->OnConnected(), S_OK);
        // What a host that follows only the events believes is listed.
        std::vector<uint32_t> ids = rig.Listed();
        std::set<uint32_t> mirror(ids.begin(), ids.end());

        rig.proxy.active = row.service;
        rig.proxy.readResult = row.read;
        EXPECT_EQ(rig.handler->Resynchronize(), row.read);
        EXPECT_EQ(Seen(rig.publisher), row.calls);
        if (Failed(row.read)) {
            EXPECT_EQ(rig.handler->OnConnected(), row.read);  // neither does a connect
            EXPECT_EQ(rig.Listed(), ids);
            continue;
        }
        for (const auto& c : rig.publisher.Calls()) {
            if (c.what == "raised") mirror.insert(c.id);
            if (c.removed) mirror.erase(c.id);
        }
        std::set<uint32_t> service;
        for (Bytes b : row.service) service.insert(AsRecord(b)->eventId);
        ids = rig.Listed();
        EXPECT_EQ(std::set<uint32_t>(ids.begin(), ids.end()), service);
        EXPECT_EQ(mirror, service);

        // The list now holds the service's records: a second pass finds nothing.
        rig.publisher.Reset();
        EXPECT_EQ(rig.handler->Resynchronize(), S_OK);
        EXPECT_TRUE(rig.publisher.Calls().empty());
    }
}

}  // namespace
