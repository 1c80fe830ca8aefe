#include "ZtEventHandler.h"

#include <new>
#include <vector>

#include "ZtRecordBlock.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::CreateObject;
using ZtAtlCom::E_INVALIDARG;
using ZtAtlCom::E_OUTOFMEMORY;
using ZtAtlCom::E_POINTER;
using ZtAtlCom::Failed;
using ZtAtlCom::S_OK;
using ZtEventLoggerCommon::KeyOf;

// The handler lock for one scope (it is re-entrant on the same thread).
class ZtEventHandler::Lock {
public:
    explicit Lock(ZtEventHandler* handler) noexcept : m_section(&handler->m_lock) {
        OsUserEnterCriticalSection(m_section);
    }
    ~Lock() { Unlock(); }
    void Unlock() noexcept {
        if (m_section != nullptr) OsUserLeaveCriticalSection(std::exchange(m_section, nullptr));
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    OS_CRITICAL_SECTION* m_section;
};

// A reference to the handler for the length of one call: a sink that lets the
// last reference go from inside a notification destroys the handler only
// once the call is done with it.
class ZtEventHandler::Hold {
public:
    explicit Hold(ZtEventHandler* handler) noexcept : m_handler(handler) { m_handler->ZtAddRef(); }
    ~Hold() { m_handler->ZtRelease(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    ZtEventHandler* m_handler;
};

namespace {

// An alarm reference held for a notification made later.
enum class Change { Raised, Cleared, Confirmed };
struct Pending {
    ZtEventHandler::Alarm* alarm;  // one reference
    Change change;
    bool removed;
};

// What a listed alarm's record changed into, judged by its new state.
Change ChangeOf(const CZtAlarm::State& now, const ZtEventEntity* record) noexcept {
    if (record->isRaised == 0) return Change::Cleared;  // listed, so still waiting
    if (now.raised && now.fileTimeRaised == record->fileTimeRaised &&
        now.confirmationState == ConfirmationWaitForConfirmation &&
        record->confirmationState != ConfirmationWaitForConfirmation)
        return Change::Confirmed;
    return Change::Raised;
}

}  // namespace

HRESULT ZtEventHandler::Create(IZtEventLoggerUmProxy* proxy, IZtEventPublisher* publisher,
                               IResourceManager* resources, ZtEventHandler** handler) noexcept {
    if (handler == nullptr) return E_POINTER;
    *handler = nullptr;
    ZtEventLink* link = ZtEventLink::Create(proxy, resources);
    if (link == nullptr) return E_OUTOFMEMORY;
    auto* made = new (std::nothrow) ZtEventHandler(link, publisher);
    if (made == nullptr) {
        link->ZtRelease();
        return E_OUTOFMEMORY;
    }
    made->ZtAddRef();
    *handler = made;
    return S_OK;
}

ZtEventHandler::ZtEventHandler(ZtEventLink* link, IZtEventPublisher* publisher) noexcept
    : m_link(link), m_publisher(publisher) {
    OsUserInitializeCriticalSection(&m_lock);
}

ZtEventHandler::~ZtEventHandler() {
    Detach();
    AlarmMap listed;
    {
        Lock lock(this);
        listed.swap(m_alarms);
    }
    ReleaseAll(listed);
    OsUserDeleteCriticalSection(&m_lock);
}

ULONG ZtEventHandler::ZtAddRef() { return m_refs.Increment(); }

ULONG ZtEventHandler::ZtRelease() {
    ULONG count = m_refs.Decrement();
    if (count == 0) delete this;
    return count;
}

HRESULT ZtEventHandler::ZtQueryInterface(const ZtAtlCom::IID& iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == ZtAtlCom::iid_of<IZtEventHandler>())
        *object = static_cast<IZtEventHandler*>(this);
    else if (iid == ZtAtlCom::iid_of<IZtEventListSync>())
        *object = static_cast<IZtEventListSync*>(this);
    else
        return ZtAtlCom::ZT_E_NOINTERFACE;
    ZtAddRef();
    return S_OK;
}

void ZtEventHandler::Detach() noexcept {
    m_publisher.store(nullptr);
    m_link->Detach();
}

template <class Call>
void ZtEventHandler::Publish(Call&& call) noexcept {
    // Read for every call: a sink may have detached the publisher meanwhile.
    if (IZtEventPublisher* publisher = m_publisher.load())
        ZtAtlCom::ZtAtlCall([&] { return call(publisher); });
}

void ZtEventHandler::ReleaseAll(AlarmMap& map) noexcept {
    for (auto& entry : map) entry.second->Release();
    map.clear();
}

HRESULT ZtEventHandler::InsertNew(AlarmMap& map, const ZtEventEntity* record, Alarm** made) noexcept {
    *made = nullptr;
    Alarm* alarm = nullptr;
    HRESULT hr = CreateObject<CZtAlarm>(&alarm, record, m_link.get());
    if (Failed(hr)) return hr;
    try {
        auto [it, inserted] = map.try_emplace(KeyOf(record), alarm);
        if (!inserted) {
            // A key listed twice: the later record wins, as the service lists it.
            std::swap(it->second, alarm);
            alarm->Release();
            alarm = it->second;
        }
    } catch (...) {
        alarm->Release();
        return E_OUTOFMEMORY;
    }
    *made = alarm;
    return S_OK;
}

// ---- notifications ---------------------------------------------------------

HRESULT ZtEventHandler::OnNewEvent(ZtEventEntity* record) {
    if (record == nullptr) return E_POINTER;
    Hold hold(this);
    Alarm* alarm = nullptr;
    {
        Lock lock(this);
        auto it = m_alarms.find(KeyOf(record));
        if (it == m_alarms.end()) {
            HRESULT hr = InsertNew(m_alarms, record, &alarm);
            if (Failed(hr)) return hr;
        } else {
            HRESULT hr = it->second->ReplaceRecord(record);
            if (Failed(hr)) return hr;
            alarm = it->second;
        }
        alarm->AddRef();  // a sink may empty the list while it is being told
        Publish([&](IZtEventPublisher* p) { return p->NotifyAlarmRaised(alarm); });
    }
    alarm->Release();
    return S_OK;
}

template <class Apply, class Notify>
HRESULT ZtEventHandler::ChangeListed(ZtEventEntity* record, Apply&& apply, Notify&& notify) {
    if (record == nullptr) return E_POINTER;
    Hold hold(this);
    Alarm* alarm = nullptr;
    bool removed = false;
    {
        Lock lock(this);
        auto it = m_alarms.find(KeyOf(record));
        if (it == m_alarms.end()) return E_INVALIDARG;
        alarm = it->second;
        alarm->AddRef();
        apply(alarm);
        if (!alarm->IsActive()) {
            m_alarms.erase(it);
            alarm->Release();  // the list's reference; ours stays for the notification
            removed = true;
        }
    }
    Publish([&](IZtEventPublisher* p) { return notify(p, alarm, removed); });
    alarm->Release();
    return S_OK;
}

HRESULT ZtEventHandler::OnClearAlarm(ZtEventEntity* record) {
    return ChangeListed(
        record, [&](Alarm* alarm) { alarm->ApplyClearedAlarmState(record); },
        [](IZtEventPublisher* p, Alarm* alarm, bool removed) { return p->NotifyAlarmCleared(alarm, removed); });
}

HRESULT ZtEventHandler::OnAlarmConfirmed(ZtEventEntity* record) {
    return ChangeListed(
        record, [&](Alarm* alarm) { alarm->ApplyConfrimedState(record); },
        [](IZtEventPublisher* p, Alarm* alarm, bool removed) { return p->NotifyAlarmConfirmed(alarm, removed); });
}

HRESULT ZtEventHandler::OnDisposeActiveAlarm(ZtEventEntity* record) {
    if (record == nullptr) return E_POINTER;
    Hold hold(this);
    Alarm* alarm = nullptr;  // the list's reference passes to this call
    {
        Lock lock(this);
        auto it = m_alarms.find(KeyOf(record));
        if (it == m_alarms.end()) return E_INVALIDARG;
        alarm = it->second;
        alarm->ApplyDisposeState(record);
        m_alarms.erase(it);
    }
    Publish([&](IZtEventPublisher* p) { return p->NotifyAlarmCleared(alarm, true); });
    alarm->Release();
    return S_OK;
}

HRESULT ZtEventHandler::OnNewMessage(ZtEventEntity* record) {
    if (record == nullptr) return E_POINTER;
    Hold hold(this);
    ZtAtlCom::CComObject<CZtMessage>* message = nullptr;
    HRESULT hr = CreateObject<CZtMessage>(&message, record, m_link.get());
    if (Failed(hr)) return hr;
    Publish([&](IZtEventPublisher* p) { return p->NotifyMessageSent(message); });
    message->Release();  // it lives on only if a sink kept it
    return S_OK;
}

HRESULT ZtEventHandler::OnClearAlarmList() {
    Hold hold(this);
    AlarmMap cleared;  // the list's references move here
    {
        Lock lock(this);
        for (auto& entry : m_alarms) entry.second->ResetActiveState();
        cleared.swap(m_alarms);
    }
    for (auto& entry : cleared) {
        Publish([&](IZtEventPublisher* p) { return p->NotifyAlarmCleared(entry.second, true); });
        std::exchange(entry.second, nullptr)->Release();
    }
    return S_OK;
}

// ---- requests --------------------------------------------------------------

HRESULT ZtEventHandler::ConfirmEvent(ZtEventEntity* record) {
    if (record == nullptr) return E_POINTER;
    return m_link->ConfirmEvent(KeyOf(record));
}

HRESULT ZtEventHandler::ConfirmAllAlarms() { return m_link->ConfirmAllAlarms(); }

HRESULT ZtEventHandler::ClearAllAlarms(bool resetConfirmation) { return m_link->ClearAllAlarms(resetConfirmation); }

HRESULT ZtEventHandler::GetActiveAlarms(std::vector<ZtAtlCom::CComPtr<IZtAlarm>>& alarms) {
    Lock lock(this);
    try {
        alarms.reserve(alarms.size() + m_alarms.size());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    for (const auto& entry : m_alarms) alarms.emplace_back(static_cast<IZtAlarm3*>(entry.second));
    return S_OK;
}

// ---- keeping the list in step ----------------------------------------------

HRESULT ZtEventHandler::OnConnected() {
    Hold hold(this);
    AlarmMap previous;
    HRESULT result = S_OK;
    {
        Lock lock(this);
        std::vector<ZtEventEntity*> records;
        HRESULT hr = m_link->ReadActiveEvents(records);
        if (Failed(hr)) {
            FreeEventRecords(records);
            return hr;
        }
        AlarmMap listed;
        for (ZtEventEntity* record : records) {
            Alarm* alarm = nullptr;
            hr = InsertNew(listed, record, &alarm);
            if (Failed(hr)) result = hr;
        }
        FreeEventRecords(records);
        previous.swap(m_alarms);
        m_alarms.swap(listed);
    }
    ReleaseAll(previous);
    return result;
}

HRESULT ZtEventHandler::OnDisconected() {
    Hold hold(this);
    AlarmMap previous;
    {
        Lock lock(this);
        previous.swap(m_alarms);
    }
    ReleaseAll(previous);
    return S_OK;
}

HRESULT ZtEventHandler::Resynchronize() {
    Hold hold(this);
    std::vector<Pending> pending;
    HRESULT result = S_OK;
    {
        Lock lock(this);
        std::vector<ZtEventEntity*> records;
        HRESULT hr = m_link->ReadActiveEvents(records);
        struct FreeOnExit {
            std::vector<ZtEventEntity*>& records;
            ~FreeOnExit() { FreeEventRecords(records); }
        } freeOnExit{records};
        if (Failed(hr)) return hr;

        // The service's list by key (a key listed twice: the later record),
        // and room for every notification, before anything changes.
        std::map<ZtEventKey, const ZtEventEntity*, ZtEventLoggerCommon::ZtEventKeyLess> service;
        try {
            for (const ZtEventEntity* record : records) service.insert_or_assign(KeyOf(record), record);
            pending.reserve(m_alarms.size() + service.size());
        } catch (...) {
            return E_OUTOFMEMORY;
        }

        // Alarms the service no longer lists leave as after a list reset.
        for (auto it = m_alarms.begin(); it != m_alarms.end();) {
            if (service.count(it->first) != 0) {
                ++it;
                continue;
            }
            Alarm* alarm = it->second;
            alarm->ResetActiveState();
            it = m_alarms.erase(it);
            pending.push_back({alarm, Change::Cleared, true});  // the list's reference moves along
        }

        for (const auto& [key, record] : service) {
            auto it = m_alarms.find(key);
            if (it == m_alarms.end()) {
                Alarm* alarm = nullptr;
                hr = InsertNew(m_alarms, record, &alarm);
                if (Failed(hr)) {
                    result = hr;
                    continue;
                }
                alarm->AddRef();
                pending.push_back({alarm, Change::Raised, false});
                continue;
            }
            Alarm* alarm = it->second;
            if (alarm->HoldsRecord(record)) continue;
            const Change change = ChangeOf(alarm->CurrentState(), record);
            hr = alarm->ReplaceRecord(record);
            if (Failed(hr)) {
                result = hr;  // the old record stays; the next call tries again
                continue;
            }
            alarm->AddRef();
            pending.push_back({alarm, change, false});
        }

        // Raised alarms are reported with the lock held, as OnNewEvent does.
        for (const Pending& p : pending)
            if (p.change == Change::Raised)
                Publish([&](IZtEventPublisher* publisher) { return publisher->NotifyAlarmRaised(p.alarm); });
    }
    for (const Pending& p : pending) {
        if (p.change == Change::Cleared)
            Publish([&](IZtEventPublisher* publisher) { return publisher->NotifyAlarmCleared(p.alarm, p.removed); });
        else if (p.change == Change::Confirmed)
            Publish([&](IZtEventPublisher* publisher) { return publisher->NotifyAlarmConfirmed(p.alarm, false); });
    }
    for (const Pending& p : pending) p.alarm->Release();
    return result;
}

}  // namespace ZtEventLoggerVdlProxy
