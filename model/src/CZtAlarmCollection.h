// CZtAlarmCollection.h - a snapshot of the active alarms (internal; hosts see
// IZtAlarmCollection).
//
//     std::vector<CComPtr<IZtAlarm>> alarms;
//     handler->GetActiveAlarms(alarms);                   // key order
//     Create<CZtAlarmCollection, IZtAlarmCollection>(&collection, std::move(alarms));
//
// The alarms are moved in, in order; alarms cleared afterwards stay in the
// collection, and their objects show the cleared state.
#ifndef ZT_CZT_ALARM_COLLECTION_H
#define ZT_CZT_ALARM_COLLECTION_H

#include "ZtAtlCom/DispatchImpl.h"
#include "ZtAtlCom/ZtCollection.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"

namespace ZtEventLoggerVdlProxy {

class CZtAlarmCollection
    : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
      public ZtAtlCom::IZtVectorOnSTLImpl<IZtAlarmCollection, CZtAlarmCollection,
                                          ZtAtlCom::IDispatchImpl<IZtAlarmCollection, &IID_IZtAlarmCollection>,
                                          IZtAlarm, &IID_IZtAlarm> {
public:
    BEGIN_COM_MAP(CZtAlarmCollection)
        COM_INTERFACE_ENTRY(IZtAlarmCollection)
        COM_INTERFACE_ENTRY2(IDispatch, IZtAlarmCollection)
    END_COM_MAP()
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_ALARM_COLLECTION_H
