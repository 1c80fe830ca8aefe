#include "CZtDetailCollection.h"

#include "ZtCollectionFill.h"

namespace ZtEventLoggerVdlProxy {

HRESULT CZtDetailCollection::Init(std::vector<Detail>&& entries) noexcept {
    FillCollection<CZtDetail, IZtDetail>(m_mutex, m_coll, entries);
    return ZtAtlCom::S_OK;
}

}  // namespace ZtEventLoggerVdlProxy
