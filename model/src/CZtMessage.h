// CZtMessage.h - a message the service reported (internal; hosts see
// IZtMessage3 and its older versions).
//
// Made by the event handler for each new-message notification:
//     CComObject<CZtMessage>* message = nullptr;
//     hr = CreateObject<CZtMessage>(&message, record, link);  // one reference
// and handed to IZtEventPublisher::NotifyMessageSent. The record never
// changes, so its properties need no lock. It lives on only while a host
// holds it.
#ifndef ZT_CZT_MESSAGE_H
#define ZT_CZT_MESSAGE_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtEventImpl.h"

namespace ZtEventLoggerVdlProxy {

class CZtMessage : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                   public ZtAtlCom::ISupportErrorInfoImpl<&IID_IZtMessage, &IID_IZtMessage2>,
                   public ZtEventImpl<CZtMessage, IZtMessage3, &IID_IZtMessage3> {
public:
    BEGIN_COM_MAP(CZtMessage)
        COM_INTERFACE_ENTRY(IZtMessage3)
        COM_INTERFACE_ENTRY2(IDispatch, IZtMessage3)
        COM_INTERFACE_ENTRY_IID(IID_IZtEvent, IZtMessage3)
        COM_INTERFACE_ENTRY_IID(IID_IZtMessage, IZtMessage3)
        COM_INTERFACE_ENTRY_IID(IID_IZtMessage2, IZtMessage3)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY(IZtEventIdentity)
    END_COM_MAP()

    // A message's record never changes: nothing to hold while reading it.
    struct NoGuard {};
    NoGuard SharedRecordLock() const noexcept { return {}; }
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_MESSAGE_H
