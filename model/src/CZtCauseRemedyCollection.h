// CZtCauseRemedyCollection.h - the cause/remedy entries of one event, in the order the
// service delivered them (internal; hosts see IZtCauseRemedyCollection).
//
// Create<CZtCauseRemedyCollection, IZtCauseRemedyCollection>(&p, std::move(list))
// makes one CZtCauseRemedy per entry (entries that cannot be made are left
// out) and always succeeds once the collection itself exists.
#ifndef ZT_CZT_CAUSEREMEDY_COLLECTION_H
#define ZT_CZT_CAUSEREMEDY_COLLECTION_H

#include "CZtCauseRemedy.h"
#include "ZtAtlCom/ZtCollection.h"

namespace ZtEventLoggerVdlProxy {

class CZtCauseRemedyCollection
    : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
      public ZtAtlCom::IZtVectorOnSTLImpl<IZtCauseRemedyCollection, CZtCauseRemedyCollection,
                                          ZtAtlCom::IDispatchImpl<IZtCauseRemedyCollection, &IID_IZtCauseRemedyCollection>,
                                          IZtCauseRemedy, &IID_IZtCauseRemedy> {
public:
    BEGIN_COM_MAP(CZtCauseRemedyCollection)
        COM_INTERFACE_ENTRY(IZtCauseRemedyCollection)
        COM_INTERFACE_ENTRY2(IDispatch, IZtCauseRemedyCollection)
    END_COM_MAP()

    HRESULT Init(std::vector<CauseRemedy>&& entries) noexcept;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_CAUSEREMEDY_COLLECTION_H
