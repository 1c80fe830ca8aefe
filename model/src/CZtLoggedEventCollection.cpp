#include "CZtLoggedEventCollection.h"

#include "ZtCollectionFill.h"

namespace ZtEventLoggerVdlProxy {

HRESULT CZtLoggedEventCollection::Init(IResourceManager* resources, std::vector<ZtEventEntity*>&& records) noexcept {
    // Each logged event copies its record; the pointers stay in the caller's
    // vector, which still owns the blocks.
    FillCollection<CZtLoggedEvent, IZtLoggedEvent>(m_mutex, m_coll, records, resources);
    return ZtAtlCom::S_OK;
}

HRESULT CZtLoggedEventCollection::Init(IResourceManager* resources, std::vector<ZtEventEntity*>& records,
                                       TakeRecords) noexcept {
    std::vector<ZtAtlCom::CComPtr<IZtLoggedEvent>> items;
    try {
        items.reserve(records.size());
    } catch (...) {
        return ZtAtlCom::E_OUTOFMEMORY;  // nothing taken
    }
    for (ZtEventEntity*& record : records) {
        ZtEventLoggerCommon::RecordBlock block(record);
        ZtAtlCom::CComPtr<IZtLoggedEvent> item;
        const HRESULT hr = ZtAtlCom::Create<CZtLoggedEvent, IZtLoggedEvent>(item.ReleaseAndGetAddressOf(),
                                                                            std::move(block), resources);
        if (ZtAtlCom::Failed(hr)) {
            block.release();  // still the caller's, as before the call
            continue;
        }
        record = nullptr;  // the event has it
        items.push_back(std::move(item));  // room reserved above
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    m_coll = std::move(items);
    return ZtAtlCom::S_OK;
}

}  // namespace ZtEventLoggerVdlProxy
