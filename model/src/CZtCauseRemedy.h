// CZtCauseRemedy.h - one possible cause of an event and its remedy, as the
// service's text lookup delivered it (internal; hosts see IZtCauseRemedy).
//
// Made with Create<CZtCauseRemedy, IZtCauseRemedy>(&p, std::move(entry)): the
// three texts are moved in and never change, so reads need no lock.
#ifndef ZT_CZT_CAUSE_REMEDY_H
#define ZT_CZT_CAUSE_REMEDY_H

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

class CZtCauseRemedy : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                       public ZtAtlCom::IDispatchImpl<IZtCauseRemedy, &IID_IZtCauseRemedy> {
public:
    BEGIN_COM_MAP(CZtCauseRemedy)
        COM_INTERFACE_ENTRY(IZtCauseRemedy)
        COM_INTERFACE_ENTRY2(IDispatch, IZtCauseRemedy)
    END_COM_MAP()

    // Create's hand-over: the entry's texts are moved in (the source is left empty).
    HRESULT Init(CauseRemedy&& entry) noexcept;

    // A new BSTR with a copy of the text (an empty BSTR for an empty text);
    // E_POINTER for a null out-pointer, E_OUTOFMEMORY.
    HRESULT get_Id(BSTR* id) override;
    HRESULT get_Cause(BSTR* cause) override;
    HRESULT get_Remedy(BSTR* remedy) override;

private:
    std::string m_id;
    std::string m_cause;
    std::string m_remedy;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_CAUSE_REMEDY_H
