// Messages, alarms and logged events answer from their record copies; texts,
// causes and details go through the link to the resources.
#include "CZtAlarm.h"
#include "CZtAlarmCollection.h"
#include "CZtLoggedEventCollection.h"
#include "CZtMessage.h"

#include <gtest/gtest.h>

#include "ModelFakes.h"

namespace {

using namespace ZtTest;

constexpr uint64_t kEpoch = 94353120000000000ull;  // DATE 0.0
constexpr uint64_t kDay = 864000000000ull;
const uint8_t kGuid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

Bytes FullRecord(uint16_t eventType = 1) {
    RecordLayout l;
    l.eventType = eventType;
    l.severity = 7;  // beyond the known levels
    l.qualifier = 77;
    l.sources = {{4, {'P', 'L', 'C', 0}}, {1, {5, 0, 0, 0}}, {2, Bytes(kGuid, kGuid + 16)}};
    l.json = "{\"a\":1}";
    l.types = {1, 4, 21};
    l.data = {1, 7, 0, 0, 0, 'a', 'b', 0};
    l.raised = kEpoch + kDay;
    l.cleared = 0;
    l.disposed = kEpoch + 2 * kDay;
    l.confirmed = kEpoch + 3 * kDay;
    return BuildRecord(l);
}

Bytes BareRecord(uint16_t eventType) {
    RecordLayout l;
    l.eventType = eventType;
    l.isRaised = 0;
    l.confirmation = 0;
    return BuildRecord(l);
}

// Everything a host can read without the service, as one comparable text.
template <class E>
std::string Read(E* e) {
    std::string out;
    auto add = [&](const char* name, HRESULT hr, const std::string& value) {
        out += std::string(name) + "=" + (hr == S_OK ? value : "hr" + std::to_string(hr)) + " ";
    };
    unsigned int u = 999;
    tagSeverityLevelEnum sev = SeverityVerbose;
    HRESULT hr = e->get_SeverityLevel(&sev);
    add("sev", hr, std::to_string(sev));
    VARIANT_BOOL b = 9;
    hr = e->IsSourceInfoTypeSupported(SourceInfoName, &b);
    add("hasName", hr, std::to_string(b));
    hr = e->get_SourceId(&u);
    add("id", hr, std::to_string(u));
    GUID g{};
    hr = e->get_SourceGuid(&g);
    add("guid", hr, std::to_string(reinterpret_cast<uint8_t*>(&g)[15]));
    BSTR name = nullptr;
    hr = e->get_SourceName(&name);
    add("name", hr, name ? name : "");
    SysFreeString(name);
    DATE d = -1;
    hr = e->get_TimeRaised(&d);
    add("raised", hr == S_FALSE ? S_OK : hr, std::to_string(d) + (hr == S_FALSE ? "(unset)" : ""));
    BSTR json = nullptr;
    hr = e->get_JsonAttribute(&json);
    add("json", hr, json ? json : "");
    SysFreeString(json);
    return out;
}

TEST(EventObjects, PropertiesOfTheThreeKindsFromOneRecord) {
    struct Row {
        const char* what;
        Bytes record;
        std::string message, alarm, logged;
    } rows[] = {
        {"every tail",
         FullRecord(),
         "sev=7 hasName=-1 id=5 guid=16 name=PLC raised=1.000000 json={\"a\":1} ",
         "sev=7 hasName=-1 id=5 guid=16 name=PLC raised=1.000000 json={\"a\":1} ",
         "sev=hr4 hasName=-1 id=5 guid=16 name=PLC raised=1.000000 json={\"a\":1} "},
        {"no tails",
         BareRecord(1),
         "sev=2 hasName=0 id=hr50 guid=hr50 name= raised=0.000000(unset) json= ",
         "sev=2 hasName=0 id=hr50 guid=hr50 name= raised=0.000000(unset) json= ",
         "sev=2 hasName=0 id=hr50 guid=hr50 name=hr50 raised=0.000000(unset) json= "},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.what);
        CComObject<CZtMessage>* message = nullptr;
        CComObject<CZtAlarm>* alarm = nullptr;
        CComPtr<IZtLoggedEvent4> logged;
        ASSERT_EQ(CreateObject<CZtMessage>(&message, AsRecord(row.record), nullptr), S_OK);
        ASSERT_EQ(CreateObject<CZtAlarm>(&alarm, AsRecord(row.record), nullptr), S_OK);
        ASSERT_EQ((Create<CZtLoggedEvent, IZtLoggedEvent4>(logged.ReleaseAndGetAddressOf(), AsRecord(row.record),
                                                           static_cast<IResourceManager*>(nullptr))),
                  S_OK);
        row.record.assign(row.record.size(), 0xEE);  // the objects hold copies
        EXPECT_EQ(Read(static_cast<IZtMessage3*>(message)), row.message);
        EXPECT_EQ(Read(static_cast<IZtAlarm3*>(alarm)), row.alarm);
        EXPECT_EQ(Read(logged.Get()), row.logged);
        message->Release();
        alarm->Release();
    }
}

TEST(EventObjects, AlarmAndLoggedEventStateProperties) {
    Bytes full = FullRecord();
    CComObject<CZtAlarm>* alarm = nullptr;
    ASSERT_EQ(CreateObject<CZtAlarm>(&alarm, AsRecord(full), nullptr), S_OK);
    VARIANT_BOOL raised = 0;
    EXPECT_EQ(alarm->get_IsRaised(&raised), S_OK);
    EXPECT_EQ(raised, 1);  // the service's byte, not -1
    DATE d = -1;
    EXPECT_EQ(alarm->get_TimeCleared(&d), S_FALSE);  // the alarm does not fall back
    EXPECT_EQ(alarm->get_TimeConfirmed(&d), S_OK);
    EXPECT_DOUBLE_EQ(d, 3.0);
    tagConfirmationStateEnum state{};
    EXPECT_EQ(alarm->get_ConfirmationState(&state), S_OK);
    EXPECT_EQ(state, ConfirmationWaitForConfirmation);
    long ft = 0;
    EXPECT_EQ(alarm->get_FileTimeRaised(nullptr), E_FAIL);
    EXPECT_EQ(alarm->get_FileTimeConfirmed(&ft), S_OK);
    EXPECT_EQ(static_cast<uint64_t>(ft), kEpoch + 3 * kDay);
    alarm->Release();

    struct Row {
        const char* what;
        Bytes record;
        VARIANT_BOOL active, withConfirmation;
        uint64_t clearTime;
    } rows[] = {
        {"disposed alarm: the disposal time as clear time", FullRecord(), -1, -1, kEpoch + 2 * kDay},
        {"a logged message is never active", FullRecord(0), 0, -1, kEpoch + 2 * kDay},
        {"inactive alarm without times", BareRecord(1), 0, 0, 0},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.what);
        CComPtr<IZtLoggedEvent4> e;
        ASSERT_EQ((Create<CZtLoggedEvent, IZtLoggedEvent4>(e.ReleaseAndGetAddressOf(), AsRecord(row.record),
                                                           static_cast<IResourceManager*>(nullptr))),
                  S_OK);
        VARIANT_BOOL active = 9, confirmation = 9;
        EXPECT_EQ(e->get_IsActive(&active), S_OK);
        EXPECT_EQ(active, row.active);
        EXPECT_EQ(e->get_WithConfirmation(&confirmation), S_OK);
        EXPECT_EQ(confirmation, row.withConfirmation);
        long cleared = 1;
        EXPECT_EQ(e->get_FileTimeCleared(&cleared), S_OK);
        EXPECT_EQ(static_cast<uint64_t>(cleared), row.clearTime);
        EXPECT_EQ(e->get_TimeCleared(&d), row.clearTime ? S_OK : S_FALSE);
        EXPECT_EQ(e->get_FileTimeRaised(nullptr), E_POINTER);
        EXPECT_EQ(e->get_IsActive(nullptr), E_POINTER);
    }
}

TEST(EventObjects, ArgumentDataIsWrittenAtTheGivenAddress) {
    Bytes full = FullRecord(), bare = BareRecord(0);
    CComObject<CZtMessage>* m = nullptr;
    CComObject<CZtMessage>* empty = nullptr;
    ASSERT_EQ(CreateObject<CZtMessage>(&m, AsRecord(full), nullptr), S_OK);
    ASSERT_EQ(CreateObject<CZtMessage>(&empty, AsRecord(bare), nullptr), S_OK);
    ZtEventArgumentsInfo info{};
    ASSERT_EQ(m->GetArgumentInfo(&info), S_OK);
    EXPECT_EQ(info.argumentCount, 3u);
    EXPECT_EQ(info.typesOffset, 0u);
    EXPECT_EQ(info.typesSize, 6u);
    EXPECT_EQ(info.dataOffset, 6u);
    EXPECT_EQ(info.dataSize, 8u);

    uint8_t buffer[16];
    std::memset(buffer, 0xCC, sizeof buffer);
    void** at = reinterpret_cast<void**>(buffer);
    EXPECT_EQ(m->GetArgumentData(at, 13), E_INVALIDARG);  // one byte short
    EXPECT_EQ(buffer[0], 0xCC);
    EXPECT_EQ(m->GetArgumentData(at, 14), S_OK);
    const uint8_t expected[14] = {1, 0, 4, 0, 21, 0, 1, 7, 0, 0, 0, 'a', 'b', 0};
    EXPECT_EQ(std::memcmp(buffer, expected, 14), 0);
    EXPECT_EQ(buffer[14], 0xCC);
    EXPECT_EQ(empty->GetArgumentData(at, 0), S_OK);
    EXPECT_EQ(m->GetArgumentData(nullptr, 14), E_POINTER);
    m->Release();
    empty->Release();
}

TEST(EventObjects, TextsCausesAndDetailsGoThroughTheLink) {
    FakeResources resources;
    FakeProxy proxy;
    ZtEventLink* link = ZtEventLink::Create(&proxy, &resources);
    Bytes full = FullRecord();
    CComObject<CZtAlarm>* alarm = nullptr;
    ASSERT_EQ(CreateObject<CZtAlarm>(&alarm, AsRecord(full), link), S_OK);
    CComPtr<IZtLoggedEvent4> logged;
    ASSERT_EQ((Create<CZtLoggedEvent, IZtLoggedEvent4>(logged.ReleaseAndGetAddressOf(), AsRecord(full),
                                                       static_cast<IResourceManager*>(link))),
              S_OK);
    BSTR text = nullptr;
    ASSERT_EQ(alarm->GetText(1031, &text), S_OK);
    EXPECT_STREQ(text, "msg 42 lang 1031 args 3");
    SysFreeString(text);
    ASSERT_EQ(logged->GetEventClassName(1033, &text), S_OK);
    EXPECT_STREQ(text, "class 1033");
    SysFreeString(text);

    for (HRESULT lookup : {S_OK, MakeHResult(0x98110745u)}) {
        resources.result = lookup;
        CComPtr<IZtCauseRemedyCollection> causes;
        ASSERT_EQ(alarm->GetCauseRemedy(1033, causes.ReleaseAndGetAddressOf()), S_OK);
        int count = -1, size = -1;
        causes->get_Count(&count);
        causes->get_Size(&size);
        EXPECT_EQ(count, lookup == S_OK ? 2 : 0);  // a failed lookup: an empty collection
        EXPECT_EQ(size, count);
        CComPtr<IZtCauseRemedy> item;
        EXPECT_EQ(causes->get_Item(-1, item.ReleaseAndGetAddressOf()), E_INVALIDARG);
        EXPECT_EQ(causes->get_Item(count, item.ReleaseAndGetAddressOf()), E_INVALIDARG);
        if (count == 2) {
            ASSERT_EQ(causes->get_Item(0, item.ReleaseAndGetAddressOf()), S_OK);
            BSTR remedy = nullptr;
            ASSERT_EQ(item->get_Remedy(&remedy), S_OK);
            EXPECT_NE(remedy, nullptr);  // an empty text, still a BSTR
            EXPECT_EQ(SysStringLen(remedy), 0u);
            SysFreeString(remedy);
        }
        CComPtr<IZtDetailCollection> details;
        ASSERT_EQ(logged->GetDetails(1033, details.ReleaseAndGetAddressOf()), S_OK);
        details->get_Count(&count);
        EXPECT_EQ(count, lookup == S_OK ? 1 : 0);
    }

    link->Detach();
    EXPECT_EQ(logged->GetText(1033, &text), ZT_E_LINK_RELEASED);
    EXPECT_EQ(alarm->GetEventClassName(1033, &text), ZT_E_LINK_RELEASED);
    CComPtr<IZtDetailCollection> none;
    EXPECT_EQ(alarm->GetDetails(1033, none.ReleaseAndGetAddressOf()), S_OK);
    alarm->Release();
    logged = nullptr;
    EXPECT_EQ(link->ZtRelease(), 0u);  // the objects gave their references back
}

TEST(EventObjects, InterfacesErrorInfoAndDispatchStubs) {
    Bytes full = FullRecord();
    CComObject<CZtMessage>* m = nullptr;
    CComObject<CZtAlarm>* a = nullptr;
    CComPtr<IZtLoggedEvent4> l;
    ASSERT_EQ(CreateObject<CZtMessage>(&m, AsRecord(full), nullptr), S_OK);
    ASSERT_EQ(CreateObject<CZtAlarm>(&a, AsRecord(full), nullptr), S_OK);
    ASSERT_EQ((Create<CZtLoggedEvent, IZtLoggedEvent4>(l.ReleaseAndGetAddressOf(), AsRecord(full),
                                                       static_cast<IResourceManager*>(nullptr))),
              S_OK);
    struct Row {
        IUnknown* object;
        std::vector<IID> answers, refuses, errorInfo;
    } rows[] = {
        {static_cast<IZtMessage3*>(m),
         {IID_IUnknown, IID_IDispatch, IID_IZtEvent, IID_IZtMessage, IID_IZtMessage2, IID_IZtMessage3,
          IID_ISupportErrorInfo, IID_IZtEventIdentity},
         {IID_IConnectionPointContainer, IID_IZtAlarm},
         {IID_IZtMessage, IID_IZtMessage2}},
        {static_cast<IZtAlarm3*>(a),
         {IID_IUnknown, IID_IDispatch, IID_IZtEvent, IID_IZtAlarm, IID_IZtAlarm2, IID_IZtAlarm3, IID_ISupportErrorInfo,
          IID_IConnectionPointContainer, IID_IZtEventIdentity},
         {IID_IZtMessage, IID_IZtLoggedEvent},
         {IID_IZtAlarm, IID_IZtAlarm2}},
        {l.Get(),
         {IID_IUnknown, IID_IDispatch, IID_IZtLoggedEvent, IID_IZtLoggedEvent2, IID_IZtLoggedEvent3,
          IID_IZtLoggedEvent4, IID_ISupportErrorInfo, IID_IZtEventIdentity},
         {IID_IZtEvent, IID_IConnectionPointContainer},
         {IID_IZtLoggedEvent, IID_IZtLoggedEvent2, IID_IZtLoggedEvent3}},
    };
    for (const Row& row : rows) {
        for (const IID& iid : row.answers) {
            void* p = nullptr;
            EXPECT_EQ(row.object->QueryInterface(iid, &p), S_OK);
            if (p) static_cast<IUnknown*>(p)->Release();
        }
        for (const IID& iid : row.refuses) {
            void* p = reinterpret_cast<void*>(1);
            EXPECT_EQ(row.object->QueryInterface(iid, &p), E_NOINTERFACE);
            EXPECT_EQ(p, nullptr);
        }
        // The qualifier, the part of the key the dual interfaces do not carry.
        CComPtr<IZtEventIdentity> identity;
        ASSERT_EQ(CComPtr<IUnknown>(row.object).QueryInterface(identity.ReleaseAndGetAddressOf()), S_OK);
        unsigned int qualifier = 12345;
        EXPECT_EQ(identity->get_KeyQualifier(&qualifier), S_OK);
        EXPECT_EQ(qualifier, AsRecord(full)->keyQualifier);
        EXPECT_EQ(identity->get_KeyQualifier(nullptr), E_POINTER);
        CComPtr<ISupportErrorInfo> sei;
        ASSERT_EQ(CComPtr<IUnknown>(row.object).QueryInterface(sei.ReleaseAndGetAddressOf()), S_OK);
        for (const IID& iid : row.errorInfo) EXPECT_EQ(sei->InterfaceSupportsErrorInfo(iid), S_OK);
        EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
        EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_ISupportErrorInfo), S_FALSE);
        CComPtr<IDispatch> dispatch;
        ASSERT_EQ(CComPtr<IUnknown>(row.object).QueryInterface(dispatch.ReleaseAndGetAddressOf()), S_OK);
        UINT n = 0;
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&n), E_FAIL);
        EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_FAIL);
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, nullptr, 0, 0, &id), E_FAIL);
        EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_FAIL);
    }
    m->Release();
    a->Release();
}

// A sink of the alarm's own events.
class AlarmSink : public _IZtAlarmEvents {
public:
    HRESULT QueryInterface(REFIID iid, void** p) override {
        *p = (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__IZtAlarmEvents) ? this : nullptr;
        if (!*p) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        seen.push_back(id * 10 + static_cast<int>(params ? params->cArgs : 99));
        return S_OK;
    }
    HRESULT Raised() override { return E_NOTIMPL; }
    HRESULT Cleared() override { return E_NOTIMPL; }
    HRESULT Confirmed() override { return E_NOTIMPL; }
    ULONG refs = 1;
    std::vector<int> seen;
};

TEST(EventObjects, AlarmsAreEventSourcesForTheirOwnEvents) {
    Bytes full = FullRecord();
    CComObject<CZtAlarm>* alarm = nullptr;
    ASSERT_EQ(CreateObject<CZtAlarm>(&alarm, AsRecord(full), nullptr), S_OK);
    CComPtr<IConnectionPoint> point;
    EXPECT_EQ(alarm->FindConnectionPoint(IID_IZtAlarm, point.ReleaseAndGetAddressOf()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(alarm->FindConnectionPoint(IID__IZtAlarmEvents, point.ReleaseAndGetAddressOf()), S_OK);
    AlarmSink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    EXPECT_EQ(alarm->FireRaised(), S_OK);
    EXPECT_EQ(alarm->FireCleared(), S_OK);
    EXPECT_EQ(alarm->FireConfirmed(), S_OK);
    EXPECT_EQ(sink.seen, (std::vector<int>{10, 20, 30}));  // numbers 1, 2, 3, no arguments
    point = nullptr;
    alarm->Release();  // releases the sink still advised
    EXPECT_EQ(sink.refs, 1u);
}

TEST(EventObjects, CollectionsKeepTheirItemsAndSkipRefusedRecords) {
    HandlerRig rig;
    rig.proxy.active = {Alarm(2), Alarm(1)};
    ASSERT_EQ(rig.handler->OnConnected(), S_OK);
    std::vector<CComPtr<IZtAlarm>> active;
    ASSERT_EQ(rig.handler->GetActiveAlarms(active), S_OK);
    CComPtr<IZtAlarmCollection> alarms;
    ASSERT_EQ((Create<CZtAlarmCollection, IZtAlarmCollection>(alarms.ReleaseAndGetAddressOf(), std::move(active))),
              S_OK);
    Bytes cleared = Alarm(1, 0, 0);
    ASSERT_EQ(rig.handler->OnClearAlarm(AsRecord(cleared)), S_OK);
    int count = 0;
    alarms->get_Count(&count);
    EXPECT_EQ(count, 2);  // a snapshot: the cleared alarm stays, showing its state
    CComPtr<IZtAlarm> first;
    ASSERT_EQ(alarms->get_Item(0, first.ReleaseAndGetAddressOf()), S_OK);
    VARIANT_BOOL raised = -1;
    first->get_IsRaised(&raised);
    EXPECT_EQ(raised, 0);

    // A record whose source item lies outside it is refused, not trusted.
    Bytes good = FullRecord(), bad = FullRecord();
    uint32_t outside = 5000;
    std::memcpy(bad.data() + 120 + 4, &outside, 4);  // the first item's offset
    std::vector<ZtEventEntity*> records{AsRecord(good), AsRecord(bad), AsRecord(good)};
    CComPtr<IZtLoggedEventCollection> logged;
    ASSERT_EQ((Create<CZtLoggedEventCollection, IZtLoggedEventCollection>(
                  logged.ReleaseAndGetAddressOf(), rig.handler->EventResources(), std::move(records))),
              S_OK);
    logged->get_Count(&count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(records.size(), 3u);  // still the caller's
}

}  // namespace
