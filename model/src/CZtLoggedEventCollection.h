// CZtLoggedEventCollection.h - the events a query of the log returned, in
// reply order (internal; hosts see IZtLoggedEventCollection).
//
//     std::vector<ZtEventEntity*> records;                // from GetLoggedEvents
//     hr = Create<CZtLoggedEventCollection, IZtLoggedEventCollection>(
//         &collection, handler->EventResources(), std::move(records));
//     FreeEventRecords(records);                          // the caller keeps them
// or, giving the blocks over:
//     hr = Create<CZtLoggedEventCollection, IZtLoggedEventCollection>(
//         &collection, resources, records, CZtLoggedEventCollection::TakeRecords{});
//     FreeEventRecords(records);                          // those left out
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
    // The same, taking the record blocks over instead of copying them (a log
    // read of 10,000 events need not copy 10,000 records once more): each
    // block kept is set to null in records, those left out stay the
    // caller's (FreeEventRecords frees what is left).
    struct TakeRecords {};
    HRESULT Init(IResourceManager* resources, std::vector<ZtEventEntity*>& records, TakeRecords) noexcept;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_LOGGED_EVENT_COLLECTION_H
