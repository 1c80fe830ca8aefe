// package_host - a C++ host built outside the tree against the installed
// package: the version header, target access (Api), the event logger
// (Proxy) and a filter with settings (Filter). Run against a simulated
// controller that plays the demo machine; exit status 0 when every step
// worked and the log held events.
#include <chrono>
#include <cstdio>
#include <thread>

#include "ZtEventLoggerVdlApi/VdlAccess.h"
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
#include "ZtEventLoggerVdlVersion.h"

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::CComPtr;

namespace {

int Fail(const char* what, long code) {
    std::fprintf(stderr, "package_host: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(code) & 0xFFFFFFFFul);
    return 1;
}

}  // namespace

int main() {
    uint32_t major = 0, minor = 0, build = 0;
    ZTEVENTLOGGERVDLPROXYLIBVersion(&major, &minor, &build);
    if (major != ZT_EVENT_LOGGER_VDL_VERSION_MAJOR || minor != ZT_EVENT_LOGGER_VDL_VERSION_MINOR)
        return Fail("the version check", static_cast<long>(major * 100 + minor));
    std::printf("library %u.%u.%u, header %s\n", major, minor, build, ZT_EVENT_LOGGER_VDL_VERSION_STRING);

    {
        ZtEventLoggerVdlApi::VdlAccess access("", 851);
        char* info = nullptr;
        if (uint32_t rc = access.GetTargetInfoCore(&info); rc != 0) return Fail("GetTargetInfoCore", rc);
        std::printf("target: %.60s\n", info);
        delete[] info;
    }

    CComPtr<IZtEventLogger3> logger;
    HRESULT hr = ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                          reinterpret_cast<void**>(logger.ReleaseAndGetAddressOf()));
    if (ZtAtlCom::Failed(hr) || !logger) return Fail("CreateInstance", hr);
    ZtAtlCom::BSTR target = ZtAtlCom::SysAllocString("localhost");
    hr = logger->Connect(target);
    ZtAtlCom::SysFreeString(target);
    if (hr != 0) return Fail("Connect", hr);

    // The scenario raises its first alarms within a second or two.
    int logged = 0;
    for (int i = 0; i < 100 && logged == 0; ++i) {
        CComPtr<IZtLoggedEventCollection> events;
        if (ZtAtlCom::Failed(hr = logger->GetLoggedEvents(10, events.ReleaseAndGetAddressOf()))) break;
        if (events) events->get_Count(&logged);
        if (logged == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (ZtAtlCom::Failed(hr)) return Fail("GetLoggedEvents", hr);
    if (logged == 0) return Fail("waiting for logged events", 0);

    CComPtr<IZtEventFilter> filter;
    CComPtr<IZtExportSettings> settings;
    hr = ZtEventLoggerVdlFilterCreateInstance(CLSID_ZtEventFilter, IID_IZtEventFilter,
                                              reinterpret_cast<void**>(filter.ReleaseAndGetAddressOf()));
    if (ZtAtlCom::Failed(hr)) return Fail("making a filter", hr);
    filter->AddSeverityExpression(SeverityVerbose, FilterGreaterOrEqual);
    hr = ZtEventLoggerVdlFilterCreateInstance(CLSID_ZtExportSettings, IID_IZtExportSettings,
                                              reinterpret_cast<void**>(settings.ReleaseAndGetAddressOf()));
    if (ZtAtlCom::Failed(hr)) return Fail("making settings", hr);
    settings->put_Filter(filter);
    settings->put_MaxCount(5);
    CComPtr<IZtLoggedEventCollection> selected;
    if (ZtAtlCom::Failed(hr = logger->GetLoggedEvents2(settings, selected.ReleaseAndGetAddressOf())))
        return Fail("GetLoggedEvents2", hr);
    int count = 0;
    if (selected) selected->get_Count(&count);
    std::printf("logged events: %d, selected by the filter: %d\n", logged, count);
    logger->Disconnect();
    return count > 0 ? 0 : Fail("the filtered read", count);
}
