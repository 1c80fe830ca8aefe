// CZtDetailCollection.h - the detail texts of one event or event class, in the order the
// service delivered them (internal; hosts see IZtDetailCollection).
//
// Create<CZtDetailCollection, IZtDetailCollection>(&p, std::move(list))
// makes one CZtDetail per entry (entries that cannot be made are left
// out) and always succeeds once the collection itself exists.
#ifndef ZT_CZT_DETAIL_COLLECTION_H
#define ZT_CZT_DETAIL_COLLECTION_H

#include "CZtDetail.h"
#include "ZtAtlCom/ZtCollection.h"

namespace ZtEventLoggerVdlProxy {

class CZtDetailCollection
    : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
      public ZtAtlCom::IZtVectorOnSTLImpl<IZtDetailCollection, CZtDetailCollection,
                                          ZtAtlCom::IDispatchImpl<IZtDetailCollection, &IID_IZtDetailCollection>,
                                          IZtDetail, &IID_IZtDetail> {
public:
    BEGIN_COM_MAP(CZtDetailCollection)
        COM_INTERFACE_ENTRY(IZtDetailCollection)
        COM_INTERFACE_ENTRY2(IDispatch, IZtDetailCollection)
    END_COM_MAP()

    HRESULT Init(std::vector<Detail>&& entries) noexcept;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_DETAIL_COLLECTION_H
