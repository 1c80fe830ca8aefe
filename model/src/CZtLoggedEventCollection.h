// CZtLoggedEventCollection.h - the events a query of the log returned, in
// reply order (internal; hosts see IZtLoggedEventCollection).
//
//     std::vector<ZtEventEntity*> records;                // from GetLoggedEvents
//     hr = Create<CZtLoggedEventCollection, IZtLoggedEventCollection>(
//         &collection, handler->EventResources(), std::move(records));
//     FreeEventRecords(records);                          // the caller keeps them
//
// Each record is copied into a CZtLoggedEvent; a record that fails its check
// (a block outside the record) or cannot be copied is left out. Pass the
// event handler's link as the resources, so that texts of logged events kept
// after the logger is gone fail cleanly instead of reaching a freed proxy.
#ifndef ZT_CZT_LOGGED_EVENT_COLLECTION_H
#define ZT_CZT_LOGGED_EVENT_COLLECTION_H

#include "CZtLoggedEvent.h"
#include "ZtAtlCom/ZtCollection.h"

namespace ZtEventLoggerVdlProxy {

class CZtLoggedEventCollection
    : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
      public ZtAtlCom::IZtVectorOnSTLImpl<
          IZtLoggedEventCollection, CZtLoggedEventCollection,
          ZtAtlCom::IDispatchImpl<IZtLoggedEventCollection, &IID_IZtLoggedEventCollection>, IZtLoggedEvent,
          &IID_IZtLoggedEvent> {
public:
    BEGIN_COM_MAP(CZtLoggedEventCollection)
        COM_INTERFACE_ENTRY(IZtLoggedEventCollection)
        COM_INTERFACE_ENTRY2(IDispatch, IZtLoggedEventCollection)
    END_COM_MAP()

    // Always S_OK; the records stay the caller's.
    HRESULT Init(IResourceManager* resources, std::vector<ZtEventEntity*>&& records) noexcept;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_LOGGED_EVENT_COLLECTION_H
