// event_monitor - a small host of the event logger: connects to a controller,
// prints the alarms active there, then every message and alarm change as it
// happens, with its properties and texts, and the active alarms at the end.
//
//   event_monitor [target] [seconds] [--min-events N]
//
// target: a NetId ("5.80.201.232.1.1"), "localhost" (default) or a route name.
// The router is found as the router client finds it (ZT_MRX_ROUTER=host:port
// for the simulated controller). The exit status is 0 when the connection
// worked and at least N events (default 0) arrived, 1 otherwise.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "ZtEventLoggerVdlProxy/ZtEventLoggerSink.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::CComPtr;

constexpr long kEnglish = 1033;

// A text the library hands out, as std::string (the BSTR is freed).
std::string Take(ZtAtlCom::BSTR text) {
    std::string s = text != nullptr ? text : "";
    ZtAtlCom::SysFreeString(text);
    return s;
}

const char* ConfirmationName(tagConfirmationStateEnum state) {
    switch (state) {
        case ConfirmationNotRequired: return "no confirmation";
        case ConfirmationWaitForConfirmation: return "waiting for confirmation";
        case ConfirmationStateThree: return "confirmed";
        case ConfirmationReset: return "reset";
        default: return "?";
    }
}

// The properties every event has, and its text.
std::string Describe(IZtEvent* event) {
    unsigned int id = 0;
    tagSeverityLevelEnum severity{};
    event->get_EventId(&id);
    event->get_SeverityLevel(&severity);
    ZtAtlCom::BSTR source = nullptr, className = nullptr, text = nullptr;
    event->get_SourceName(&source);
    event->GetEventClassName(kEnglish, &className);
    event->GetText(kEnglish, &text);
    long raised = 0;
    event->get_FileTimeRaised(&raised);
    char head[96];
    std::snprintf(head, sizeof(head), "id %u, severity %d, raised at %ld, ", id, static_cast<int>(severity), raised);
    return head + ("class \"" + Take(className) + "\", source \"" + Take(source) + "\": " + Take(text));
}

std::string DescribeAlarm(IZtAlarm* alarm) {
    VARIANT_BOOL raised = 0;
    tagConfirmationStateEnum state{};
    alarm->get_IsRaised(&raised);
    alarm->get_ConfirmationState(&state);
    return Describe(alarm) + (raised ? " [raised, " : " [not raised, ") + ConfirmationName(state) + "]";
}

// Runs on the logger's worker thread; prints each event as it comes.
class Printer final : public ZtEventLoggerSink {
public:
    HRESULT MessageSent(IZtMessage* message) override {
        Print("message", message ? Describe(message) : std::string("(none)"));
        return ZtAtlCom::S_OK;
    }
    HRESULT AlarmRaised(IZtAlarm* alarm) override {
        Print("raised", alarm ? DescribeAlarm(alarm) : std::string("(none)"));
        return ZtAtlCom::S_OK;
    }
    HRESULT AlarmCleared(IZtAlarm* alarm, VARIANT_BOOL removed) override {
        Print(removed ? "cleared, left the list" : "cleared", alarm ? DescribeAlarm(alarm) : std::string());
        return ZtAtlCom::S_OK;
    }
    HRESULT AlarmConfirmed(IZtAlarm* alarm, VARIANT_BOOL removed) override {
        Print(removed ? "confirmed, left the list" : "confirmed", alarm ? DescribeAlarm(alarm) : std::string());
        return ZtAtlCom::S_OK;
    }
    std::atomic<int> events{0};

private:
    void Print(const char* what, const std::string& text) {
        ++events;
        std::printf("%-25s %s\n", what, text.c_str());
        std::fflush(stdout);
    }
};

void PrintActiveAlarms(IZtEventLogger3* logger, const char* when) {
    CComPtr<IZtAlarmCollection> alarms;
    if (ZtAtlCom::Failed(logger->get_ActiveAlarms(&alarms.p))) return;
    int count = 0;
    alarms->get_Count(&count);
    std::printf("%d active alarms %s\n", count, when);
    for (int i = 0; i < count; ++i) {
        CComPtr<IZtAlarm> alarm;
        if (ZtAtlCom::Succeeded(alarms->get_Item(i, &alarm.p))) std::printf("  %s\n", DescribeAlarm(alarm).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string target = "localhost";
    int seconds = 5, minEvents = 0;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--min-events") == 0 && i + 1 < argc)
            minEvents = std::atoi(argv[++i]);
        else if (positional++ == 0)
            target = argv[i];
        else
            seconds = std::atoi(argv[i]);
    }

    CComPtr<IZtEventLogger3> logger;
    HRESULT hr = ZtEventLoggerVdlProxyLib::CreateInstance(CLSID_ZtEventLogger, IID_IZtEventLogger3,
                                                          reinterpret_cast<void**>(&logger.p));
    if (ZtAtlCom::Failed(hr)) {
        std::fprintf(stderr, "cannot create the event logger: 0x%08X\n", static_cast<unsigned>(hr));
        return 1;
    }

    // The sink goes on the logger's connection point, which holds its own reference.
    auto* printer = new Printer;
    CComPtr<ZtAtlCom::IConnectionPointContainer> container;
    CComPtr<ZtAtlCom::IConnectionPoint> point;
    ZtAtlCom::DWORD cookie = 0;
    logger->QueryInterface(ZtAtlCom::iid_of<ZtAtlCom::IConnectionPointContainer>(),
                           reinterpret_cast<void**>(&container.p));
    if (ZtAtlCom::Failed(container->FindConnectionPoint(IID__IZtEventLoggerEvents, &point.p)) ||
        ZtAtlCom::Failed(point->Advise(printer, &cookie))) {
        std::fprintf(stderr, "cannot advise the sink\n");
        printer->Release();
        return 1;
    }

    hr = logger->Connect(target.data());
    if (ZtAtlCom::Failed(hr)) {
        std::fprintf(stderr, "cannot connect to %s: 0x%08X\n", target.c_str(), static_cast<unsigned>(hr));
        point->Unadvise(cookie);
        printer->Release();
        return 1;
    }
    std::printf("connected to %s for %d s\n", target.c_str(), seconds);
    PrintActiveAlarms(logger, "at connect");

    std::this_thread::sleep_for(std::chrono::seconds(seconds));

    logger->Disconnect();  // no event arrives after this returns
    const int seen = printer->events.load();
    point->Unadvise(cookie);
    printer->Release();
    std::printf("%d events\n", seen);
    if (seen < minEvents) {
        std::fprintf(stderr, "expected at least %d events\n", minEvents);
        return 1;
    }
    return 0;
}
