// ModelFakes.h - what the event model talks to, faked for its tests: a
// service proxy with a scripted active-event list, a resource manager with
// scripted texts, and a publisher that records every call with the alarm's
// state at that moment. Records are built with RecordBytes.h.
#ifndef ZT_TESTS_MODEL_FAKES_H
#define ZT_TESTS_MODEL_FAKES_H

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordBytes.h"
#include "ZtEventHandler.h"
#include "ZtRecordBlock.h"

namespace ZtTest {

using namespace ZtAtlCom;
using namespace ZtEventLoggerVdlProxy;
using ZtEventLoggerCommon::ZtEventEntity;

using Bytes = std::vector<uint8_t>;

inline ZtEventEntity* AsRecord(Bytes& b) { return reinterpret_cast<ZtEventEntity*>(b.data()); }

// An alarm record: id, raised byte, confirmation state, raise time; the
// other fields as RecordLayout has them.
inline Bytes Alarm(uint32_t id, uint8_t raised = 1, uint16_t state = 2, uint64_t raisedAt = 1000, uint32_t qualifier = 0) {
    RecordLayout l;
    l.eventId = id;
    l.isRaised = raised;
    l.confirmation = state;
    l.raised = raisedAt;
    l.qualifier = qualifier;
    l.sources = {{4, {'P', 'L', 'C', 0}}};
    return BuildRecord(l);
}

// Counted objects that live on the test's stack or heap: counting is kept
// but never deletes.
class FakeProxy final : public IZtEventLoggerUmProxy {
public:
    ULONG ZtAddRef() override { return ++refs; }
    ULONG ZtRelease() override { return --refs; }
    HRESULT ZtQueryInterface(const IID&, void** p) override { return *p = nullptr, ZT_E_NOINTERFACE; }

    HRESULT ReadActiveEvents(std::vector<ZtEventEntity*>& events) override {
        std::lock_guard<std::mutex> lock(m);
        ++reads;
        try {
            for (const Bytes& b : active) {
                ZtEventLoggerCommon::RecordBlock r(ZtEventLoggerCommon::AllocateRecord(b.size()));
                if (!r) throw std::bad_alloc();
                std::memcpy(r.get(), b.data(), b.size());
                events.push_back(r.get());
                r.release();
            }
        } catch (const std::bad_alloc&) {
            FreeEventRecords(events);
            return E_OUTOFMEMORY;
        }
        return readResult;
    }
    HRESULT GetLoggedEvents(std::vector<ZtEventEntity*>&, uint32_t) override { return E_NOTIMPL; }
    HRESULT GetLoggedEvents2(std::vector<ZtEventEntity*>&, IZtStreamSerializable*) override { return E_NOTIMPL; }
    HRESULT ClearLoggedEvents() override { return E_NOTIMPL; }
    HRESULT ConfirmAlarms(int64_t, IZtStreamSerializable*) override { return E_NOTIMPL; }
    HRESULT ClearAlarms(int64_t, bool, IZtStreamSerializable*) override { return E_NOTIMPL; }
    HRESULT ClearAllAlarms(bool reset) override { return clearedAll = reset ? 2 : 1, requestResult; }
    HRESULT ConfirmAllAlarms() override { return ++confirmedAll, requestResult; }
    HRESULT ConfirmEvent(const ZtEventKey& key) override {
        if (onConfirm) onConfirm();
        std::lock_guard<std::mutex> lock(m);
        confirmedIds.push_back(key.eventId);
        return requestResult;
    }
    HRESULT SendMessage(SerializedStream*) override { return E_NOTIMPL; }
    HRESULT ExportLoggedEvents(const char*, IZtStreamSerializable*) override { return E_NOTIMPL; }

    std::mutex m;
    std::vector<Bytes> active;
    HRESULT readResult = S_OK;
    HRESULT requestResult = S_OK;
    int reads = 0, confirmedAll = 0, clearedAll = 0;
    std::vector<uint32_t> confirmedIds;
    std::function<void()> onConfirm;
    std::atomic<ULONG> refs{1};
};

class FakeResources final : public IResourceManager {
public:
    ULONG ZtAddRef() override { return ++refs; }
    ULONG ZtRelease() override { return --refs; }
    HRESULT ZtQueryInterface(const IID&, void** p) override { return *p = nullptr, ZT_E_NOINTERFACE; }

    using IResourceManager::GetMessageString;
    // The text names the event id and the argument bytes it was given.
    HRESULT GetMessageString(const ZtEventKey& key, const ZtEventLoggerCommon::ZtEventArguments& a, void* data,
                             int64_t lang, char** text) override {
        if (Failed(result)) return result;
        std::string t = "msg " + std::to_string(key.eventId) + " lang " + std::to_string(lang) + " args " +
                        std::to_string(a.argumentCount);
        (void)data;
        *text = SysAllocString(t.c_str());
        return S_OK;
    }
    HRESULT GetEventClassName(const GUID&, int64_t lang, char** text) override {
        if (Failed(result)) return result;
        *text = SysAllocString(("class " + std::to_string(lang)).c_str());
        return S_OK;
    }
    HRESULT GetCauseRemedy(const GUID&, const unsigned int& id, int64_t, std::vector<CauseRemedy>& out) override {
        out.push_back({std::to_string(id), "cause", ""});
        out.push_back({"2", "other", "fix"});
        return result;
    }
    HRESULT GetEventClassDetails(const GUID&, int64_t, std::vector<Detail>&) override { return E_NOTIMPL; }
    HRESULT GetEventDetails(const GUID&, const unsigned int& id, int64_t, std::vector<Detail>& out) override {
        out.push_back({"name", "text " + std::to_string(id), "comment"});
        return result;
    }
    HRESULT ClearResourceCache() override { return S_OK; }
    HRESULT LoadResourceFile(const std::string&) override { return S_OK; }
    HRESULT UnloadResourceFile(const std::string&) override { return S_OK; }

    HRESULT result = S_OK;
    std::atomic<ULONG> refs{1};
};

// Records each call with the alarm's state at that moment; hooks run inside.
class RecordingPublisher : public IZtEventPublisher {
public:
    struct Call {
        std::string what;
        uint32_t id;
        bool removed;
        VARIANT_BOOL raised;
        tagConfirmationStateEnum state;
        CZtAlarm* alarm;
    };

    // Room for the calls of a test, so that recording allocates nothing (the
    // allocation-failure tests fail the handler's allocations only).
    RecordingPublisher() { calls.reserve(64); }

    HRESULT NotifyMessageSent(CZtMessage* message) override {
        unsigned int id = 0;
        message->get_EventId(&id);
        Note({"message", id, false, 0, ConfirmationNotRequired, nullptr});
        if (onMessage) onMessage(message);
        return S_OK;
    }
    HRESULT NotifyAlarmRaised(CZtAlarm* alarm) override { return Record("raised", alarm, false, onRaised); }
    HRESULT NotifyAlarmCleared(CZtAlarm* alarm, bool removed) override {
        return Record("cleared", alarm, removed, onCleared);
    }
    HRESULT NotifyAlarmConfirmed(CZtAlarm* alarm, bool removed) override {
        return Record("confirmed", alarm, removed, onConfirmed);
    }

    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> lock(m);
        return calls;
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(m);
        calls.clear();
    }

    std::function<void(CZtAlarm*)> onRaised, onCleared, onConfirmed;
    std::function<void(CZtMessage*)> onMessage;

private:
    HRESULT Record(const char* what, CZtAlarm* alarm, bool removed, const std::function<void(CZtAlarm*)>& hook) {
        Call c{what, 0, removed, 0, ConfirmationNotRequired, alarm};
        alarm->get_EventId(&c.id);
        alarm->get_IsRaised(&c.raised);
        alarm->get_ConfirmationState(&c.state);
        Note(c);
        if (hook) hook(alarm);
        return S_OK;
    }
    void Note(const Call& c) {
        std::lock_guard<std::mutex> lock(m);
        calls.push_back(c);
    }
    std::mutex m;
    std::vector<Call> calls;
};

// A handler over the three fakes, released at the end of the test.
struct HandlerRig {
    HandlerRig() { EXPECT_EQ(ZtEventHandler::Create(&proxy, &publisher, &resources, &handler), S_OK); }
    ~HandlerRig() {
        if (handler) handler->ZtRelease();
    }
    // Event ids of the listed alarms, in list order.
    std::vector<uint32_t> Listed() {
        std::vector<CComPtr<IZtAlarm>> alarms;
        EXPECT_EQ(handler->GetActiveAlarms(alarms), S_OK);
        std::vector<uint32_t> ids;
        for (auto& a : alarms) {
            unsigned int id = 0;
            a->get_EventId(&id);
            ids.push_back(id);
        }
        return ids;
    }
    CComPtr<IZtAlarm> Find(uint32_t id) {
        std::vector<CComPtr<IZtAlarm>> alarms;
        handler->GetActiveAlarms(alarms);
        for (auto& a : alarms) {
            unsigned int got = 0;
            if (a->get_EventId(&got) == S_OK && got == id) return a;
        }
        return nullptr;
    }

    FakeProxy proxy;
    FakeResources resources;
    RecordingPublisher publisher;
    ZtEventHandler* handler = nullptr;
};

}  // namespace ZtTest

#endif  // ZT_TESTS_MODEL_FAKES_H
