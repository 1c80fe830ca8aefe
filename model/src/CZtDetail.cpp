#include "CZtDetail.h"

#include "ZtEventProperties.h"

namespace ZtEventLoggerVdlProxy {

HRESULT CZtDetail::Init(Detail&& detail) noexcept {
    m_name = std::move(detail.name);
    m_text = std::move(detail.text);
    m_comment = std::move(detail.comment);
    return ZtAtlCom::S_OK;
}

HRESULT CZtDetail::get_Name(BSTR* name) { return EventProperties::MakeBstr(m_name, name); }
HRESULT CZtDetail::get_Text(BSTR* text) { return EventProperties::MakeBstr(m_text, text); }
HRESULT CZtDetail::get_Comment(BSTR* comment) { return EventProperties::MakeBstr(m_comment, comment); }

}  // namespace ZtEventLoggerVdlProxy
