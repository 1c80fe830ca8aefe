// CZtExportSettings.h - the export-settings component (CLSID_ZtExportSettings):
// what a log read or an export selects, and how the CSV file looks.
#ifndef ZT_CZT_EXPORT_SETTINGS_H
#define ZT_CZT_EXPORT_SETTINGS_H

#include "ExportSettingsState.h"

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ComObject.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

namespace ZtEventLoggerVdlFilter {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::BSTR;
using ZtAtlCom::HRESULT;
using ZtAtlCom::VARIANT_BOOL;

// One object answers both settings interfaces; its values are guarded by
// the object lock.
class CZtExportSettings : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                          public ZtAtlCom::IDispatchImpl<IZtExportSettings, &IID_IZtExportSettings>,
                          public ZtAtlCom::IDispatchImpl<IZtCsvExportSettings, &IID_IZtCsvExportSettings>,
                          public IZtStreamSerializableProvider,
                          public ZtAtlCom::ISupportErrorInfoImpl<&IID_IZtExportSettings, &IID_IZtCsvExportSettings> {
public:
    BEGIN_COM_MAP(CZtExportSettings)
        COM_INTERFACE_ENTRY(IZtExportSettings)
        COM_INTERFACE_ENTRY(IZtCsvExportSettings)
        COM_INTERFACE_ENTRY(IZtStreamSerializableProvider)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY2(IDispatch, IZtExportSettings)
    END_COM_MAP()

    // IZtExportSettings
    HRESULT get_Filter(IZtEventFilter** filter) override;
    HRESULT put_Filter(IZtEventFilter* filter) override;
    HRESULT get_MaxCount(unsigned int* maxCount) override;
    HRESULT put_MaxCount(unsigned int maxCount) override;
    HRESULT get_Order(tagZtEventOrderEnum* order) override;
    HRESULT put_Order(tagZtEventOrderEnum order) override;

    // IZtCsvExportSettings
    HRESULT get_Delimiter(BSTR* delimiter) override;
    HRESULT put_Delimiter(BSTR delimiter) override;
    HRESULT get_WithHeader(VARIANT_BOOL* withHeader) override;
    HRESULT put_WithHeader(VARIANT_BOOL withHeader) override;
    HRESULT get_LangId(long* langId) override;
    HRESULT put_LangId(long langId) override;

    // IZtStreamSerializableProvider: a snapshot of the settings.
    HRESULT GetStreamSerializable(ZtAtlCom::IZtUnknown** serializable) override;

private:
    ExportSettingsState m_state;  // guarded by the object lock
};

}  // namespace ZtEventLoggerVdlFilter

#endif  // ZT_CZT_EXPORT_SETTINGS_H
