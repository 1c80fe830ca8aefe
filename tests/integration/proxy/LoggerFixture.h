// LoggerFixture.h - event logger objects made through the class factory,
// connected to the in-process simulator, with a sink that records every
// Invoke exactly as it arrives (dispatch number, argument types and order)
// together with the state of the alarm at that moment.
#ifndef ZT_TEST_LOGGER_FIXTURE_H
#define ZT_TEST_LOGGER_FIXTURE_H

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CZtEventLogger.h"
#include "SimFixture.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
#include "ZtSim/EventLoggerService.h"

namespace ZtTest {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::CComPtr;
using ZtAtlCom::DISPID;
using ZtAtlCom::IID;
using ZtAtlCom::VARTYPE;

inline const ZtSim::EventGuid kLoggerClass{0x3B1D5E70, 0x4A2C, 0x4E11, {0x8F, 0x20, 0x6C, 0x31, 0x9D, 0x4B, 0x7E, 0x02}};

inline ZtSim::EventDescription LoggerEvent(uint32_t id, bool needsConfirmation = false, uint32_t qualifier = 0) {
    ZtSim::EventDescription d;
    d.eventClass = kLoggerClass;
    d.eventId = id;
    d.keyQualifier = qualifier;
    d.severity = static_cast<uint16_t>(id % 5);
    d.needsConfirmation = needsConfirmation;
    d.source.id = 100 + id;
    d.source.name = "Station" + std::to_string(id);
    d.jsonAttribute = "{\"id\":" + std::to_string(id) + "}";
    d.arguments = {ZtSim::EventArgument::UInt32(id)};
    return d;
}

inline GUID AsGuid(const ZtSim::EventGuid& g) {
    uint8_t b[16];
    g.Bytes(b);
    GUID out;
    std::memcpy(&out, b, 16);
    return out;
}

// One Invoke as the sink saw it.
struct SeenCall {
    DISPID id = 0;
    std::vector<VARTYPE> types;   // rgvarg[0], rgvarg[1], ...
    int16_t flag = 0;             // the VT_I2 argument, if any
    IUnknown* identity = nullptr; // of the VT_DISPATCH argument (not held)
    uint32_t eventId = 0;
    uint16_t severity = 0;
    int16_t isRaised = -2;        // alarms only
    int confirmationState = -1;   // alarms only
};

// A raw sink of _IZtEventLoggerEvents (or of an alarm's events).
class RecordingSink final : public IDispatch {
public:
    explicit RecordingSink(const IID& events = IID__IZtEventLoggerEvents) : m_events(events) {}

    HRESULT QueryInterface(const ZtAtlCom::IID& iid, void** p) override {
        if (p == nullptr) return ZtAtlCom::E_POINTER;
        *p = nullptr;
        if (!(iid == ZtAtlCom::iid_of<IUnknown>()) && !(iid == ZtAtlCom::iid_of<IDispatch>()) && !(iid == m_events))
            return ZtAtlCom::E_NOINTERFACE;
        *p = static_cast<IDispatch*>(this);
        AddRef();
        return ZtAtlCom::S_OK;
    }
    ZtAtlCom::ULONG AddRef() override { return ++m_refs; }
    ZtAtlCom::ULONG Release() override { return --m_refs; }  // lives on the test's stack
    HRESULT GetTypeInfoCount(ZtAtlCom::UINT*) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetTypeInfo(ZtAtlCom::UINT, ZtAtlCom::LCID, ZtAtlCom::ITypeInfo**) override { return ZtAtlCom::E_NOTIMPL; }
    HRESULT GetIDsOfNames(const ZtAtlCom::IID&, ZtAtlCom::LPOLESTR*, ZtAtlCom::UINT, ZtAtlCom::LCID,
                          DISPID*) override {
        return ZtAtlCom::E_NOTIMPL;
    }
    HRESULT Invoke(DISPID id, const ZtAtlCom::IID&, ZtAtlCom::LCID, ZtAtlCom::WORD flags,
                   ZtAtlCom::DISPPARAMS* params, ZtAtlCom::VARIANT*, ZtAtlCom::EXCEPINFO*, ZtAtlCom::UINT*) override {
        SeenCall c;
        c.id = id;
        EXPECT_EQ(flags, ZtAtlCom::DISPATCH_METHOD);
        EXPECT_EQ(params->cNamedArgs, 0u);
        for (ZtAtlCom::UINT i = 0; i < params->cArgs; ++i) {
            const ZtAtlCom::VARIANT& v = params->rgvarg[i];
            c.types.push_back(v.vt);
            if (v.vt == ZtAtlCom::VT_I2) c.flag = v.iVal;
            if (v.vt == ZtAtlCom::VT_DISPATCH && v.pdispVal != nullptr) Describe(v.pdispVal, c);
        }
        {
            std::lock_guard<std::mutex> lk(m_mutex);
            m_calls.push_back(c);
        }
        m_changed.notify_all();
        return onInvoke ? onInvoke(id, params) : result.load();
    }

    bool WaitCalls(size_t n, int ms = 5000) {
        std::unique_lock<std::mutex> lk(m_mutex);
        return m_changed.wait_for(lk, std::chrono::milliseconds(ms), [&] { return m_calls.size() >= n; });
    }
    std::vector<SeenCall> Calls() {
        std::lock_guard<std::mutex> lk(m_mutex);
        return m_calls;
    }
    void Forget() {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_calls.clear();
    }
    int Refs() const { return m_refs.load(); }

    // Runs after the call was recorded, on the worker thread; its result is Invoke's.
    std::function<HRESULT(DISPID, ZtAtlCom::DISPPARAMS*)> onInvoke;
    std::atomic<HRESULT> result{ZtAtlCom::S_OK};

private:
    static void Describe(IDispatch* object, SeenCall& c) {
        IUnknown* identity = nullptr;
        object->QueryInterface(ZtAtlCom::iid_of<IUnknown>(), reinterpret_cast<void**>(&identity));
        c.identity = identity;
        if (identity) identity->Release();
        CComPtr<IZtEvent> event;
        if (ZtAtlCom::Succeeded(object->QueryInterface(IID_IZtEvent, reinterpret_cast<void**>(&event.p)))) {
            event->get_EventId(&c.eventId);
            tagSeverityLevelEnum severity{};
            event->get_SeverityLevel(&severity);
            c.severity = static_cast<uint16_t>(severity);
        }
        CComPtr<IZtAlarm> alarm;
        if (ZtAtlCom::Succeeded(object->QueryInterface(IID_IZtAlarm, reinterpret_cast<void**>(&alarm.p)))) {
            VARIANT_BOOL raised = 0;
            alarm->get_IsRaised(&raised);
            c.isRaised = raised;
            tagConfirmationStateEnum state{};
            alarm->get_ConfirmationState(&state);
            c.confirmationState = static_cast<int>(state);
        }
    }

    const IID m_events;
    std::atomic<int> m_refs{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SeenCall> m_calls;
};

// Advises a sink on a source's connection point; returns the cookie.
inline ZtAtlCom::DWORD Advise(IUnknown* source, IUnknown* sink, const IID& events = IID__IZtEventLoggerEvents) {
    CComPtr<ZtAtlCom::IConnectionPointContainer> container;
    EXPECT_EQ(source->QueryInterface(ZtAtlCom::iid_of<ZtAtlCom::IConnectionPointContainer>(),
                                     reinterpret_cast<void**>(&container.p)),
              ZtAtlCom::S_OK);
    CComPtr<ZtAtlCom::IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(events, &point.p), ZtAtlCom::S_OK);
    ZtAtlCom::DWORD cookie = 0;
    EXPECT_EQ(point->Advise(sink, &cookie), ZtAtlCom::S_OK);
    return cookie;
}

// A logger made by the factory (one reference).
inline IZtEventLogger3* NewLogger() {
    IZtEventLogger3* logger = nullptr;
    EXPECT_EQ(ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                       reinterpret_cast<void**>(&logger)),
              ZtAtlCom::S_OK);
    return logger;
}

inline CZtEventLogger* Impl(IZtEventLogger3* logger) { return static_cast<CZtEventLogger*>(logger); }

// The event ids of the alarms a logger lists, in its order.
inline std::vector<uint32_t> ListedIds(IZtEventLogger3* logger) {
    CComPtr<IZtAlarmCollection> alarms;
    std::vector<uint32_t> ids;
    if (ZtAtlCom::Failed(logger->get_ActiveAlarms(&alarms.p))) return ids;
    int count = 0;
    alarms->get_Count(&count);
    for (int i = 0; i < count; ++i) {
        CComPtr<IZtAlarm> alarm;
        if (ZtAtlCom::Failed(alarms->get_Item(i, &alarm.p))) break;
        unsigned int id = 0;
        alarm->get_EventId(&id);
        ids.push_back(id);
    }
    return ids;
}

class LoggerFixture : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        service = ZtSim::EventLoggerOf(sim->Local());
        ASSERT_TRUE(service);
    }
    void TearDown() override {
        service.reset();
        SimFixture::TearDown();
    }
    std::shared_ptr<ZtSim::EventLoggerService> service;
};

}  // namespace ZtTest

#endif  // ZT_TEST_LOGGER_FIXTURE_H
