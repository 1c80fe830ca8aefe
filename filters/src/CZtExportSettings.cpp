#include "CZtExportSettings.h"

#include "CZtEventFilter.h"
#include "IZtFilterExpressionSource.h"
#include "ZtStreamSnapshot.h"

#include "ZtAtlCom/BStr.h"

#include <utility>

namespace ZtEventLoggerVdlFilter {

HRESULT CZtExportSettings::get_Filter(IZtEventFilter** filter) {
    if (!filter) return ZtAtlCom::E_POINTER;
    *filter = nullptr;
    std::shared_ptr<const FilterExpression> expression;
    {
        ObjectLock lock(this);
        expression = m_state.filter;
    }
    if (!expression) return ZtAtlCom::S_OK;
    return ZtAtlCom::Create<CZtEventFilter>(filter, std::move(expression));
}

HRESULT CZtExportSettings::put_Filter(IZtEventFilter* filter) {
    std::shared_ptr<const FilterExpression> expression;
    if (filter) {
        // Copied outside the lock: the filter takes its own.
        HRESULT hr = CopyExpressionOf(filter, &expression);
        if (ZtAtlCom::Failed(hr)) return hr;
    }
    ObjectLock lock(this);
    m_state.filter = std::move(expression);
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::get_MaxCount(unsigned int* maxCount) {
    if (!maxCount) return ZtAtlCom::E_POINTER;
    ObjectLock lock(this);
    *maxCount = m_state.maxCount;
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::put_MaxCount(unsigned int maxCount) {
    ObjectLock lock(this);
    m_state.maxCount = maxCount;
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::get_Order(tagZtEventOrderEnum* order) {
    if (!order) return ZtAtlCom::E_POINTER;
    ObjectLock lock(this);
    *order = static_cast<tagZtEventOrderEnum>(m_state.order);
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::put_Order(tagZtEventOrderEnum order) {
    ObjectLock lock(this);
    m_state.order = order;
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::get_Delimiter(BSTR* delimiter) {
    if (!delimiter) return ZtAtlCom::E_POINTER;
    *delimiter = nullptr;
    ObjectLock lock(this);
    if (m_state.delimiter.empty()) return ZtAtlCom::S_OK;  // the empty text is the null BSTR
    *delimiter =
        ZtAtlCom::SysAllocStringLen(m_state.delimiter.data(), static_cast<ZtAtlCom::UINT>(m_state.delimiter.size()));
    return *delimiter ? ZtAtlCom::S_OK : ZtAtlCom::E_OUTOFMEMORY;
}

HRESULT CZtExportSettings::put_Delimiter(BSTR delimiter) {
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        std::string text = delimiter ? std::string(delimiter, ZtAtlCom::SysStringLen(delimiter)) : std::string();
        ObjectLock lock(this);
        m_state.delimiter = std::move(text);
        return ZtAtlCom::S_OK;
    });
}

HRESULT CZtExportSettings::get_WithHeader(VARIANT_BOOL* withHeader) {
    if (!withHeader) return ZtAtlCom::E_POINTER;
    ObjectLock lock(this);
    *withHeader = m_state.withHeader;
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::put_WithHeader(VARIANT_BOOL withHeader) {
    ObjectLock lock(this);
    m_state.withHeader = withHeader;
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::get_LangId(long* langId) {
    if (!langId) return ZtAtlCom::E_POINTER;
    ObjectLock lock(this);
    *langId = m_state.langId;
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::put_LangId(long langId) {
    ObjectLock lock(this);
    m_state.langId = langId;
    return ZtAtlCom::S_OK;
}

HRESULT CZtExportSettings::GetStreamSerializable(ZtAtlCom::IZtUnknown** serializable) {
    if (!serializable) return ZtAtlCom::E_POINTER;
    *serializable = nullptr;
    return ZtAtlCom::ZtAtlCall([&]() -> HRESULT {
        ExportSettingsState copy;
        {
            ObjectLock lock(this);
            copy = m_state;
        }
        return ZtStreamSnapshot<ExportSettingsState, true>::Make(std::move(copy), serializable);
    });
}

}  // namespace ZtEventLoggerVdlFilter
