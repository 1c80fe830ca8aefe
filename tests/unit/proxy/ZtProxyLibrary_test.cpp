#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"

#include <gtest/gtest.h>

#include "CZtEventLogger.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerSink.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using namespace ZtAtlCom;

const CLSID kZero{};

TEST(ProxyLibrary, EachClassIsMadeWithExactlyOneReference) {
    struct Case {
        const CLSID* clsid;
        const IID* iid;
        const IID* lacking;
    } cases[] = {
        {&CLSID_ZtSourceInfo, &IID_IZtSourceInfo, &IID_IZtEventLogger},
        {&CLSID_ZtEventLogger, &IID_IZtEventLogger3, &IID_IZtSourceInfo},
        {&CLSID_ZtArgumentEntry, &IID_IZtArgumentEntry, &IID_IZtArguments},
        {&CLSID_ZtArguments, &IID_IZtArguments, &IID_IZtArgumentEntry},
    };
    for (const Case& c : cases) {
        for (const IID* iid : {&iid_of<IUnknown>(), c.iid}) {
            IUnknown* p = nullptr;
            ASSERT_EQ(ZtEventLoggerVdlProxyLib::CreateInstance(*c.clsid, *iid, reinterpret_cast<void**>(&p)), S_OK);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->AddRef(), 2u);
            EXPECT_EQ(p->Release(), 1u);
            EXPECT_EQ(p->Release(), 0u);  // destroyed (ASan sees anything left)
        }
        void* p = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(ZtEventLoggerVdlProxyLibCreateInstance(*c.clsid, *c.lacking, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
}

TEST(ProxyLibrary, UnknownClassesProgIdsAndTheVersion) {
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(ZtEventLoggerVdlProxyLib::CreateInstance(kZero, iid_of<IUnknown>(), &p), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(p, reinterpret_cast<void*>(0x1)) << "the out-pointer was written";
    EXPECT_EQ(ZtEventLoggerVdlProxyLib::CreateInstance(kZero, iid_of<IUnknown>(), nullptr), E_POINTER);
    EXPECT_EQ(ZtEventLoggerVdlProxyLibCreateInstance(CLSID_ZtEventLogger, iid_of<IUnknown>(), nullptr), E_POINTER);

    for (const char* progId : {static_cast<const char*>(nullptr), "", "ZtEventLogger.ZtEventLogger.1"}) {
        CLSID out = CLSID_ZtArguments;
        EXPECT_EQ(ZtEventLoggerVdlProxyLib::CLSIDFromProgID(progId, out), CO_E_CLASSSTRING);
        EXPECT_EQ(ZtEventLoggerVdlProxyLibCLSIDFromProgID(progId, &out), CO_E_CLASSSTRING);
        EXPECT_EQ(ZtEventLoggerVdlProxyLibCLSIDFromProgID(progId, nullptr), CO_E_CLASSSTRING);
        EXPECT_EQ(out, CLSID_ZtArguments);
    }

    uint32_t minor = 99;
    EXPECT_EQ(ZTEVENTLOGGERVDLPROXYLIBVersion(nullptr, &minor, nullptr), 0u);
    EXPECT_EQ(minor, 1u);
    uint32_t v[3] = {9, 9, 9};
    EXPECT_EQ(ZTEVENTLOGGERVDLPROXYLIBVersion(&v[0], &v[1], &v[2]), 0u);
    EXPECT_EQ(v[0], 2u);
    EXPECT_EQ(v[1], 1u);
    EXPECT_EQ(v[2], 0u);
}

TEST(ProxyLibrary, TheLoggerAnswersItsInterfacesAndStartsDisconnected) {
    CComPtr<IZtEventLogger3> logger;
    ASSERT_EQ(ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                       reinterpret_cast<void**>(&logger.p)),
              S_OK);
    IUnknown* identity = nullptr;
    logger->QueryInterface(iid_of<IUnknown>(), reinterpret_cast<void**>(&identity));
    for (const IID* iid : {&IID_IZtEventLogger, &IID_IZtEventLogger2, &IID_IZtEventLogger3, &iid_of<IDispatch>()}) {
        IUnknown* p = nullptr;
        ASSERT_EQ(logger->QueryInterface(*iid, reinterpret_cast<void**>(&p)), S_OK);
        EXPECT_EQ(static_cast<void*>(p), static_cast<void*>(logger.p)) << "one dual sub-object";
        p->Release();
    }
    identity->Release();

    CComPtr<ISupportErrorInfo> info;
    ASSERT_EQ(logger->QueryInterface(iid_of<ISupportErrorInfo>(), reinterpret_cast<void**>(&info.p)), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IZtEventLogger2), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(iid_of<IDispatch>()), S_FALSE);

    CComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(logger->QueryInterface(iid_of<IConnectionPointContainer>(), reinterpret_cast<void**>(&container.p)),
              S_OK);
    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(0x1);
    EXPECT_EQ(container->FindConnectionPoint(IID__IZtAlarmEvents, &point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point, nullptr);

    VARIANT_BOOL connected = -1;
    EXPECT_EQ(logger->get_IsConnected(&connected), S_OK);
    EXPECT_EQ(connected, VARIANT_FALSE);
    UINT count = 0;
    EXPECT_EQ(logger->GetTypeInfoCount(&count), E_FAIL);
    CComPtr<IZtAlarmCollection> alarms;
    EXPECT_EQ(logger->get_ActiveAlarms(nullptr), E_POINTER);
    ASSERT_EQ(logger->get_ActiveAlarms(&alarms.p), S_OK);
    int n = -1;
    alarms->get_Count(&n);
    EXPECT_EQ(n, 0);
}

// The sink base turns Invoke into calls of the event methods, and refuses
// what does not fit them.
class CountingSink : public ZtEventLoggerSink {
public:
    HRESULT MessageSent(IZtMessage* m) override { return note(2, m, 0); }
    HRESULT AlarmRaised(IZtAlarm* a) override { return note(3, a, 0); }
    HRESULT AlarmCleared(IZtAlarm* a, VARIANT_BOOL r) override { return note(4, a, r); }
    HRESULT AlarmConfirmed(IZtAlarm* a, VARIANT_BOOL r) override { return note(5, a, r); }
    std::vector<std::tuple<int, void*, int>> calls;

private:
    HRESULT note(int id, void* object, int flag) {
        calls.emplace_back(id, object, flag);
        return S_OK;
    }
};

TEST(EventLoggerSink, InvokeIsUnpackedIntoTheEventMethods) {
    CComPtr<IZtArguments> notAnEvent;
    ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtArguments, IID_IZtArguments,
                                             reinterpret_cast<void**>(&notAnEvent.p));
    auto* sink = new CountingSink;
    auto invoke = [&](DISPID id, std::vector<VARIANT> args) {
        DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        return sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    };
    VARIANT none{}, flag{}, foreign{};
    flag.vt = VT_I2;
    flag.iVal = -1;
    none.vt = VT_DISPATCH;  // a null object is passed on as null
    foreign.vt = VT_DISPATCH;
    foreign.pdispVal = notAnEvent;
    const HRESULT kBadCount = MakeHResult(0x8002000Eu), kNoMember = MakeHResult(0x80020003u);
    struct Case {
        DISPID id;
        std::vector<VARIANT> args;
        HRESULT expected;
    } cases[] = {
        {1, {}, S_OK},
        {2, {none}, S_OK},
        {3, {none}, S_OK},
        {4, {flag, none}, S_OK},
        {5, {flag, none}, S_OK},
        {4, {none, flag}, DISP_E_TYPEMISMATCH},  // the order is last argument first
        {3, {foreign}, DISP_E_TYPEMISMATCH},
        {3, {}, kBadCount},
        {5, {flag}, kBadCount},
        {6, {}, kNoMember},
        {0, {}, kNoMember},
    };
    for (const Case& c : cases) EXPECT_EQ(invoke(c.id, c.args), c.expected) << "dispatch number " << c.id;
    using Call = std::tuple<int, void*, int>;
    EXPECT_EQ(sink->calls,
              (std::vector<Call>{{2, nullptr, 0}, {3, nullptr, 0}, {4, nullptr, -1}, {5, nullptr, -1}}));
    EXPECT_EQ(sink->Release(), 0u);
}

}  // namespace
