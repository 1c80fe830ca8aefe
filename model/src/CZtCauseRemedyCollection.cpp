#include "CZtCauseRemedyCollection.h"

#include "ZtCollectionFill.h"

namespace ZtEventLoggerVdlProxy {

HRESULT CZtCauseRemedyCollection::Init(std::vector<CauseRemedy>&& entries) noexcept {
    FillCollection<CZtCauseRemedy, IZtCauseRemedy>(m_mutex, m_coll, entries);
    return ZtAtlCom::S_OK;
}

}  // namespace ZtEventLoggerVdlProxy
