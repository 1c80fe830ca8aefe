// EventHandlerStub.h - an event handler that records the notifications it is
// given, for tests of the service link. It can hold the calling thread at a
// gate to keep the queue's worker busy.
#ifndef ZT_TEST_EVENT_HANDLER_STUB_H
#define ZT_TEST_EVENT_HANDLER_STUB_H

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ZtServiceInterfaces.h"

namespace ZtTest {

class EventHandlerStub : public ZtEventLoggerVdlProxy::IZtEventHandler {
public:
    using HRESULT = ZtAtlCom::HRESULT;
    using ZtEventEntity = ZtEventLoggerCommon::ZtEventEntity;

    struct Call {
        std::string what;
        uint32_t eventId;
        std::vector<uint8_t> record;  // a copy of the record given (empty for a cleared list)
    };

    // Counted, so that a test sees when its holder let go; never deleted.
    ZtAtlCom::ULONG ZtAddRef() override { return ++refs_; }
    ZtAtlCom::ULONG ZtRelease() override { return --refs_; }
    HRESULT ZtQueryInterface(const ZtAtlCom::IID&, void** p) override {
        if (p) *p = nullptr;
        return ZtAtlCom::ZT_E_NOINTERFACE;
    }
    HRESULT OnNewEvent(ZtEventEntity* r) override { return Note("raised", r); }
    HRESULT OnClearAlarm(ZtEventEntity* r) override { return Note("cleared", r); }
    HRESULT OnNewMessage(ZtEventEntity* r) override { return Note("message", r); }
    HRESULT OnDisposeActiveAlarm(ZtEventEntity* r) override { return Note("disposed", r); }
    HRESULT OnAlarmConfirmed(ZtEventEntity* r) override { return Note("confirmed", r); }
    HRESULT OnClearAlarmList() override { return Note("list cleared", nullptr); }
    HRESULT ConfirmEvent(ZtEventEntity*) override { return 0; }
    HRESULT GetActiveAlarms(std::vector<ZtAtlCom::CComPtr<ZtEventLoggerVdlProxy::IZtAlarm>>&) override { return 0; }
    HRESULT ClearAllAlarms(bool) override { return 0; }
    HRESULT ConfirmAllAlarms() override { return 0; }

    // While closed, every call waits at the gate (after counting its entry).
    void Close() {
        std::lock_guard<std::mutex> lk(m_);
        open_ = false;
    }
    void Open() {
        {
            std::lock_guard<std::mutex> lk(m_);
            open_ = true;
        }
        cv_.notify_all();
    }
    bool WaitEntered(int n, int ms = 5000) {
        std::unique_lock<std::mutex> lk(m_);
        return cv_.wait_for(lk, std::chrono::milliseconds(ms), [&] { return entered_ >= n; });
    }
    bool WaitCalls(size_t n, int ms = 5000) {
        std::unique_lock<std::mutex> lk(m_);
        return cv_.wait_for(lk, std::chrono::milliseconds(ms), [&] { return calls_.size() >= n; });
    }
    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> lk(m_);
        return calls_;
    }
    int Refs() const { return refs_.load(); }

    // Runs on the calling thread after each call was recorded, without the
    // stub's lock (set it before frames flow).
    std::function<void(uint32_t eventId)> onCall;

private:
    HRESULT Note(const char* what, ZtEventEntity* r) {
        std::unique_lock<std::mutex> lk(m_);
        ++entered_;
        cv_.notify_all();
        cv_.wait(lk, [&] { return open_; });
        std::vector<uint8_t> bytes;
        if (r != nullptr) {
            auto* p = reinterpret_cast<const uint8_t*>(r);
            bytes.assign(p, p + ZtEventLoggerCommon::RecordLength(r));
        }
        const uint32_t id = r != nullptr ? r->eventId : 0;
        calls_.push_back({what, id, std::move(bytes)});
        cv_.notify_all();
        lk.unlock();
        if (onCall) onCall(id);
        return 0;
    }

    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = true;
    int entered_ = 0;
    std::vector<Call> calls_;
    std::atomic<int> refs_{0};
};

}  // namespace ZtTest

#endif  // ZT_TEST_EVENT_HANDLER_STUB_H
