// CZtDetail.h - one named detail text of an event or an event class, as the
// service's text lookup delivered it (internal; hosts see IZtDetail).
//
// Made with Create<CZtDetail, IZtDetail>(&p, std::move(detail)): the three
// texts are moved in and never change, so reads need no lock.
#ifndef ZT_CZT_DETAIL_H
#define ZT_CZT_DETAIL_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

class CZtDetail : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                  public ZtAtlCom::IDispatchImpl<IZtDetail, &IID_IZtDetail> {
public:
    BEGIN_COM_MAP(CZtDetail)
        COM_INTERFACE_ENTRY(IZtDetail)
        COM_INTERFACE_ENTRY2(IDispatch, IZtDetail)
    END_COM_MAP()

    // Create's hand-over: the detail's texts are moved in (the source is left empty).
    HRESULT Init(Detail&& detail) noexcept;

    // A new BSTR with a copy of the text (an empty BSTR for an empty text);
    // E_POINTER for a null out-pointer, E_OUTOFMEMORY.
    HRESULT get_Name(BSTR* name) override;
    HRESULT get_Text(BSTR* text) override;
    HRESULT get_Comment(BSTR* comment) override;

private:
    std::string m_name;
    std::string m_text;
    std::string m_comment;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_DETAIL_H
