// LoggerSession.cpp - the event logger object of a subcommand.
#include "LoggerSession.h"

#include <fmt/format.h>

#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"
#include "ZtFilterSyntax/FilterText.h"
#include "ZtTool/ComText.h"
#include "ZtTool/ResultText.h"

namespace ZtEventLog {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::Failed;

int LoggerSession::Create() {
    if (m_logger) return kExitOk;
    const HRESULT hr = ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                                reinterpret_cast<void**>(m_logger.ReleaseAndGetAddressOf()));
    if (Failed(hr) || !m_logger) return m_ctx.Fail(Failed(hr) ? hr : ZtAtlCom::E_FAIL, "cannot make an event logger");
    return kExitOk;
}

std::string LoggerSession::TargetText() const {
    return m_ctx.options.target.empty() ? std::string("localhost") : m_ctx.options.target;
}

int32_t LoggerSession::Connect() {
    if (!m_logger) return ZtAtlCom::E_POINTER;
    ZtTool::BstrIn target(TargetText());
    return ZtTool::ConnectResultToHResult(m_logger->Connect(target));
}

int LoggerSession::Open() {
    if (int rc = Create(); rc != kExitOk) return rc;
    const int32_t hr = Connect();
    if (hr != 0) return m_ctx.Fail(hr, fmt::format("cannot connect to {}", TargetText()));
    return kExitOk;
}

bool LoggerSession::Connected() const {
    ZtAtlCom::VARIANT_BOOL connected = ZtAtlCom::VARIANT_FALSE;
    return m_logger && !Failed(m_logger->get_IsConnected(&connected)) && connected == ZtAtlCom::VARIANT_TRUE;
}

void LoggerSession::Disconnect() {
    if (m_logger) m_logger->Disconnect();
}

void LoggerSession::Close() {
    if (!m_logger) return;
    if (Connected()) m_logger->Disconnect();
    m_logger.Release();
}

CComPtr<IZtEventFilter> LoggerSession::MakeFilter(const std::string& text) const {
    CComPtr<IZtEventFilter> filter;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return filter;
    ZtFilterSyntax::FilterTextResult r = ZtFilterSyntax::CreateFilterFromText(
        text, ZtEventLoggerVdlFilterCreateInstance, filter.ReleaseAndGetAddressOf());
    if (r.hr == ZtAtlCom::E_INVALIDARG) throw UsageError(fmt::format("filter: {}", r.Describe()));
    if (!r.Ok()) throw std::runtime_error(fmt::format("filter: {}", ZtTool::DescribeResult(r.hr)));
    return filter;
}

CComPtr<IZtExportSettings> LoggerSession::MakeSettings(const Selection& s) const {
    CComPtr<IZtEventFilter> filter = MakeFilter(s.filter);
    CComPtr<IZtExportSettings> settings;
    HRESULT hr = ZtEventLoggerVdlFilterCreateInstance(CLSID_ZtExportSettings, IID_IZtExportSettings,
                                                      reinterpret_cast<void**>(settings.ReleaseAndGetAddressOf()));
    if (Failed(hr) || !settings) throw std::runtime_error("cannot make export settings: " + ZtTool::DescribeResult(hr));
    auto check = [](HRESULT r, const char* what) {
        if (Failed(r)) throw std::runtime_error(fmt::format("{}: {}", what, ZtTool::DescribeResult(r)));
    };
    if (filter) check(settings->put_Filter(filter), "cannot set the filter");
    check(settings->put_MaxCount(s.maxCount), "cannot set the count");
    check(settings->put_Order(s.oldestFirst ? EventOrderOldestFirst : EventOrderNewestFirst), "cannot set the order");
    CComPtr<IZtCsvExportSettings> csv;
    if (!Failed(settings->QueryInterface(IID_IZtCsvExportSettings, reinterpret_cast<void**>(&csv.p))) && csv) {
        if (!s.delimiter.empty()) {
            ZtTool::BstrIn d(s.delimiter);
            check(csv->put_Delimiter(d), "cannot set the delimiter");
        }
        if (s.noHeader) check(csv->put_WithHeader(ZtAtlCom::VARIANT_FALSE), "cannot leave out the header");
        check(csv->put_LangId(s.csvLanguage.value_or(m_ctx.Language())), "cannot set the language");
    }
    return settings;
}

}  // namespace ZtEventLog
