#include "CZtLoggedEventCollection.h"

#include "ZtCollectionFill.h"

namespace ZtEventLoggerVdlProxy {

HRESULT CZtLoggedEventCollection::Init(IResourceManager* resources, std::vector<ZtEventEntity*>&& records) noexcept {
    // Each logged event copies its record; the pointers stay in the caller's
    // vector, which still owns the blocks.
    FillCollection<CZtLoggedEvent, IZtLoggedEvent>(m_mutex, m_coll, records, resources);
    return ZtAtlCom::S_OK;
}

}  // namespace ZtEventLoggerVdlProxy
