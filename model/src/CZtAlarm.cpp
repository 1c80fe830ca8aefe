#include "CZtAlarm.h"

#include <cstring>

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::S_OK;
using ZtEventLoggerCommon::RecordBlock;

HRESULT CZtAlarm::get_IsRaised(VARIANT_BOOL* raised) {
    return Read(raised, [&](const ZtEventEntity* r) { return *raised = r->isRaised, S_OK; });
}

HRESULT CZtAlarm::get_TimeCleared(DATE* time) {
    return Read(time, [&](const ZtEventEntity* r) { return EventProperties::Date(r->fileTimeCleared, time); });
}

HRESULT CZtAlarm::get_FileTimeCleared(long* fileTime) {
    return Read(fileTime,
                [&](const ZtEventEntity* r) { return EventProperties::FileTime(r->fileTimeCleared, fileTime); });
}

HRESULT CZtAlarm::get_ConfirmationState(tagConfirmationStateEnum* state) {
    return Read(state, [&](const ZtEventEntity* r) {
        *state = static_cast<tagConfirmationStateEnum>(r->confirmationState);
        return S_OK;
    });
}

HRESULT CZtAlarm::get_TimeConfirmed(DATE* time) {
    return Read(time, [&](const ZtEventEntity* r) { return EventProperties::Date(r->fileTimeConfirmed, time); });
}

HRESULT CZtAlarm::get_FileTimeConfirmed(long* fileTime) {
    return Read(fileTime,
                [&](const ZtEventEntity* r) { return EventProperties::FileTime(r->fileTimeConfirmed, fileTime); });
}

HRESULT CZtAlarm::Confirm() {
    // The key is copied under the shared lock and the request made without
    // it: readers and the handler need not wait for the service's answer.
    ZtEventKey key{};
    HRESULT hr = Read(&key, [&](const ZtEventEntity* r) { return key = ZtEventLoggerCommon::KeyOf(r), S_OK; });
    if (ZtAtlCom::Failed(hr)) return hr;
    if (!m_link) return ZT_E_LINK_RELEASED;
    bool sent = false;
    hr = m_link->ConfirmEvent(key, &sent);
    // Only a request that could not be sent (the logger is gone) is reported.
    return sent ? S_OK : hr;
}

HRESULT CZtAlarm::ReplaceRecord(const ZtEventEntity* record) noexcept {
    RecordBlock copy;
    HRESULT hr = ZtEventLoggerCommon::CopyRecord(record, &copy);
    if (ZtAtlCom::Failed(hr)) return hr;
    {
        ZtAlarmStateLock::Exclusive guard(m_stateLock);
        m_record.swap(copy);
    }
    return S_OK;  // the old record is freed here, after the readers have left
}

void CZtAlarm::ApplyClearedAlarmState(const ZtEventEntity* record) noexcept {
    Change([&](ZtEventEntity* r) {
        r->isRaised = record->isRaised;
        r->confirmationState = record->confirmationState;
        r->fileTimeCleared = record->fileTimeCleared;
    });
}

void CZtAlarm::ApplyConfrimedState(const ZtEventEntity* record) noexcept {
    Change([&](ZtEventEntity* r) {
        r->confirmationState = record->confirmationState;
        r->fileTimeConfirmed = record->fileTimeConfirmed;
    });
}

void CZtAlarm::ApplyDisposeState(const ZtEventEntity* record) noexcept {
    Change([&](ZtEventEntity* r) {
        r->isRaised = record->isRaised;
        r->confirmationState = record->confirmationState;
        r->fileTimeCleared = record->fileTimeDisposed;
        r->fileTimeDisposed = record->fileTimeDisposed;
    });
}

void CZtAlarm::ResetActiveState() noexcept {
    Change([](ZtEventEntity* r) {
        r->isRaised = 0;
        if (r->confirmationState == ConfirmationWaitForConfirmation) r->confirmationState = ConfirmationReset;
    });
}

bool CZtAlarm::IsActive() noexcept {
    ZtAlarmStateLock::Shared guard(m_stateLock);
    return m_record && (m_record->isRaised != 0 || m_record->confirmationState == ConfirmationWaitForConfirmation);
}

CZtAlarm::State CZtAlarm::CurrentState() noexcept {
    ZtAlarmStateLock::Shared guard(m_stateLock);
    if (!m_record) return {false, 0, 0};
    return {m_record->isRaised != 0, m_record->confirmationState, m_record->fileTimeRaised};
}

bool CZtAlarm::HoldsRecord(const ZtEventEntity* record) noexcept {
    ZtAlarmStateLock::Shared guard(m_stateLock);
    return m_record && ZtEventLoggerCommon::SameRecord(m_record.get(), record);
}

}  // namespace ZtEventLoggerVdlProxy
