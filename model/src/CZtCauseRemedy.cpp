#include "CZtCauseRemedy.h"

#include "ZtEventProperties.h"

namespace ZtEventLoggerVdlProxy {

HRESULT CZtCauseRemedy::Init(CauseRemedy&& entry) noexcept {
    m_id = std::move(entry.id);
    m_cause = std::move(entry.cause);
    m_remedy = std::move(entry.remedy);
    return ZtAtlCom::S_OK;
}

HRESULT CZtCauseRemedy::get_Id(BSTR* id) { return EventProperties::MakeBstr(m_id, id); }
HRESULT CZtCauseRemedy::get_Cause(BSTR* cause) { return EventProperties::MakeBstr(m_cause, cause); }
HRESULT CZtCauseRemedy::get_Remedy(BSTR* remedy) { return EventProperties::MakeBstr(m_remedy, remedy); }

}  // namespace ZtEventLoggerVdlProxy
