#include "LoggerSource.h"

#include <atomic>
#include <mutex>

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/ComVariant.h"
#include "ZtAtlCom/StandardInterfaces.h"
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerSink.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
#include "ZtFilterSyntax/FilterText.h"
#include "ZtTool/EventJson.h"
#include "ZtTool/EventView.h"

namespace ZtGateway {

namespace {

using namespace ZtEventLoggerVdlProxy;
using ZtAtlCom::CComPtr;
using ZtAtlCom::S_OK;

// Vdl "not found", as the service reports it.
constexpr HRESULT kNotFound = ZtAtlCom::MakeHResult(0x98110000u + 1804u);

// The key of an event: class and id from the view, the qualifier from the
// event's identity interface (0, unspecified, when it has none).
AlarmKey KeyOf(const ZtTool::EventView& v, ZtAtlCom::IUnknown* event) {
    unsigned int qualifier = 0;
    CComPtr<IZtEventIdentity> identity;
    if (event && event->QueryInterface(IID_IZtEventIdentity, reinterpret_cast<void**>(identity.ReleaseAndGetAddressOf())) ==
                     S_OK &&
        identity) {
        identity->get_KeyQualifier(&qualifier);
    }
    return AlarmKey{ZtTool::GuidText(v.eventClass), v.eventId, qualifier};
}

// The JSON object of an event with its texts (one request per language).
template <class I, class Read>
std::string Json(I* event, Read read, const std::vector<long>& languages, ZtTool::EventView& view) {
    read(event, view);
    if (!languages.empty()) ZtTool::ReadTexts(event, languages, view);
    return ZtTool::EventJsonLine(view);
}
std::string AlarmJson(IZtAlarm* a, const std::vector<long>& languages, ZtTool::EventView& view) {
    return Json(a, ZtTool::ReadAlarm, languages, view);
}
std::vector<long> Languages(const std::vector<int32_t>& ids) { return std::vector<long>(ids.begin(), ids.end()); }

struct Bstr {
    BSTR b;
    explicit Bstr(const std::string& s) : b(ZtAtlCom::SysAllocStringByteLen(s.data(), static_cast<unsigned>(s.size()))) {}
    ~Bstr() { ZtAtlCom::SysFreeString(b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
};

template <class I>
HRESULT Create(const ZtAtlCom::CLSID& clsid, CComPtr<I>& out) {
    return ZtEventLoggerVdlProxyLib::CreateInstance(clsid, ZtAtlCom::iid_of<I>(),
                                                    reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

// Turns the logger's events into SourceEvents; detached before the source goes.
class Sink : public ZtEventLoggerSink {
public:
    Sink(EventSource::Listener* listener, std::vector<long> languages)
        : listener_(listener), languages_(std::move(languages)) {}
    void Detach() {
        std::lock_guard<std::mutex> lock(mutex_);
        listener_ = nullptr;
    }
    HRESULT MessageSent(IZtMessage* m) override {
        if (!m) return S_OK;
        ZtTool::EventView view;
        std::string json = Json(m, ZtTool::ReadMessage, languages_, view);
        return Deliver(SourceEvent{Transition::Message, false, KeyOf(view, m), std::move(json)});
    }
    HRESULT AlarmRaised(IZtAlarm* a) override { return Alarm(Transition::Raised, a, 0); }
    HRESULT AlarmCleared(IZtAlarm* a, VARIANT_BOOL removed) override { return Alarm(Transition::Cleared, a, removed); }
    HRESULT AlarmConfirmed(IZtAlarm* a, VARIANT_BOOL removed) override {
        return Alarm(Transition::Confirmed, a, removed);
    }

private:
    HRESULT Alarm(Transition t, IZtAlarm* a, VARIANT_BOOL removed) {
        if (!a) return S_OK;
        ZtTool::EventView view;
        std::string json = AlarmJson(a, languages_, view);
        return Deliver(SourceEvent{t, removed != 0, KeyOf(view, a), std::move(json)});
    }
    HRESULT Deliver(const SourceEvent& ev) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (listener_) listener_->OnSourceEvent(ev);
        return S_OK;
    }
    std::mutex mutex_;
    EventSource::Listener* listener_;
    const std::vector<long> languages_;
};

class LoggerSource final : public EventSource {
public:
    LoggerSource(const TargetConfig& config, Listener& listener) : config_(config) {
        sink_ = new Sink(&listener, Languages(config.languages));
        if (ZtAtlCom::Failed(Create(CLSID_ZtEventLogger, logger_))) return;
        CComPtr<ZtAtlCom::IConnectionPointContainer> container;
        if (logger_->QueryInterface(ZtAtlCom::iid_of<ZtAtlCom::IConnectionPointContainer>(),
                                    reinterpret_cast<void**>(container.ReleaseAndGetAddressOf())) == S_OK &&
            container->FindConnectionPoint(IID__IZtEventLoggerEvents, point_.ReleaseAndGetAddressOf()) == S_OK) {
            point_->Advise(sink_, &cookie_);
        }
    }
    ~LoggerSource() override {
        sink_->Detach();
        if (logger_) logger_->Disconnect();
        if (point_ && cookie_) point_->Unadvise(cookie_);
        sink_->Release();
    }

    HRESULT Connect() override {
        if (!logger_) return ZtAtlCom::E_OUTOFMEMORY;
        linkUp_.store(false);
        logger_->Disconnect();  // a link that was lost is closed before it opens again
        Bstr target(config_.target);
        HRESULT hr = logger_->Connect(target.b);
        // A refused Connect (the service did not take the subscription) may
        // leave the router port open: that is no link to the controller.
        if (ZtAtlCom::Failed(hr)) {
            logger_->Disconnect();
        } else {
            linkUp_.store(true);
        }
        return hr;
    }
    void Disconnect() override {
        linkUp_.store(false);
        if (logger_) logger_->Disconnect();
    }
    bool IsConnected() override {
        VARIANT_BOOL c = 0;
        return linkUp_.load() && logger_ && logger_->get_IsConnected(&c) == S_OK && c != 0;
    }
    HRESULT ActiveAlarms(std::vector<SourceAlarm>& alarms) override {
        std::vector<CComPtr<IZtAlarm>> list;
        HRESULT hr = List(list);
        for (auto& a : list) {
            ZtTool::EventView view;
            std::string json = AlarmJson(a.Get(), Languages(config_.languages), view);
            alarms.push_back(SourceAlarm{KeyOf(view, a.Get()), std::move(json)});
        }
        return hr;
    }
    HRESULT ConfirmAlarm(const AlarmKey& key) override {
        std::vector<CComPtr<IZtAlarm>> list;
        if (HRESULT hr = List(list); ZtAtlCom::Failed(hr)) return hr;
        for (auto& a : list) {
            ZtTool::EventView view;
            ZtTool::ReadAlarm(a.Get(), view);
            AlarmKey k = KeyOf(view, a.Get());
            // A qualifier of 0 is unspecified and matches any, as the controller matches keys.
            bool qualifierMatches = key.qualifier == 0 || k.qualifier == 0 || key.qualifier == k.qualifier;
            if (k.eventClass == key.eventClass && k.eventId == key.eventId && qualifierMatches) return a->Confirm();
        }
        return kNotFound;
    }
    HRESULT ConfirmAll() override { return logger_ ? logger_->ConfirmAllAlarms() : ZtAtlCom::E_OUTOFMEMORY; }
    HRESULT ClearByFilter(const std::string& text, bool reset, std::string& error) override {
        if (!logger_) return ZtAtlCom::E_OUTOFMEMORY;
        CComPtr<IZtEventFilter> filter;
        auto parsed = ZtFilterSyntax::CreateFilterFromText(text, ZtEventLoggerVdlFilterCreateInstance,
                                                           filter.ReleaseAndGetAddressOf());
        if (!parsed.Ok()) {
            error = "filter: " + parsed.Describe();
            return parsed.hr;
        }
        return logger_->ClearAlarms(0, reset ? ZtAtlCom::VARIANT_TRUE : ZtAtlCom::VARIANT_FALSE, filter.Get());
    }
    HRESULT SendMessage(const MessageRequest& m) override {
        if (!logger_) return ZtAtlCom::E_OUTOFMEMORY;
        GUID cls{};
        if (!ZtCppUtils::detail::GuidStringToGuid(m.eventClass.c_str(), &cls)) return ZtAtlCom::E_INVALIDARG;
        CComPtr<IZtArguments> args;
        CComPtr<IZtSourceInfo> source;
        HRESULT hr = Create(CLSID_ZtArguments, args);
        if (ZtAtlCom::Succeeded(hr)) hr = Create(CLSID_ZtSourceInfo, source);
        for (size_t i = 0; ZtAtlCom::Succeeded(hr) && i < m.arguments.size(); ++i) {
            hr = args->Add(Variant(m.arguments[i]));
        }
        if (ZtAtlCom::Succeeded(hr) && m.hasSourceId) hr = source->put_Id(m.sourceId);
        if (ZtAtlCom::Succeeded(hr) && !m.sourceGuid.empty()) {
            GUID g{};
            hr = ZtCppUtils::detail::GuidStringToGuid(m.sourceGuid.c_str(), &g) ? source->put_Guid(g)
                                                                               : ZtAtlCom::E_INVALIDARG;
        }
        if (ZtAtlCom::Succeeded(hr) && m.hasSourceName) {
            Bstr name(m.sourceName);
            hr = source->put_Name(name.b);
        }
        if (ZtAtlCom::Failed(hr)) return hr;
        Bstr json(m.json);
        return logger_->SendZtMessage(cls, m.eventId, static_cast<tagSeverityLevelEnum>(m.severity),
                                      m.json.empty() ? nullptr : json.b, source.Get(), args.Get());
    }
    HRESULT ReadLog(uint32_t count, std::vector<std::string>& events) override {
        if (!logger_) return ZtAtlCom::E_OUTOFMEMORY;
        CComPtr<IZtLoggedEventCollection> coll;
        HRESULT hr = logger_->GetLoggedEvents(count, coll.ReleaseAndGetAddressOf());
        if (ZtAtlCom::Failed(hr)) return hr;
        int n = 0;
        coll->get_Count(&n);
        for (int i = 0; i < n; ++i) {
            CComPtr<IZtLoggedEvent> e;
            if (coll->get_Item(i, e.ReleaseAndGetAddressOf()) == S_OK && e) {
                ZtTool::EventView view;
                events.push_back(Json(e.Get(), ZtTool::ReadLoggedEvent, Languages(config_.languages), view));
            }
        }
        return S_OK;
    }

private:
    HRESULT List(std::vector<CComPtr<IZtAlarm>>& list) {
        if (!logger_) return ZtAtlCom::E_OUTOFMEMORY;
        CComPtr<IZtAlarmCollection> coll;
        HRESULT hr = logger_->get_ActiveAlarms(coll.ReleaseAndGetAddressOf());
        if (ZtAtlCom::Failed(hr)) return hr;
        int n = 0;
        coll->get_Count(&n);
        for (int i = 0; i < n; ++i) {
            CComPtr<IZtAlarm> a;
            if (coll->get_Item(i, a.ReleaseAndGetAddressOf()) == S_OK && a) list.push_back(std::move(a));
        }
        return S_OK;
    }
    static ZtAtlCom::CComVariant Variant(const MessageArgument& a) {
        const std::string& t = a.type;
        if (t == "bool") return ZtAtlCom::CComVariant(a.boolean);
        if (t == "int8") return ZtAtlCom::CComVariant(static_cast<signed char>(a.integer));
        if (t == "int16") return ZtAtlCom::CComVariant(static_cast<short>(a.integer));
        if (t == "int32") return ZtAtlCom::CComVariant(static_cast<int>(a.integer));
        if (t == "int64") return ZtAtlCom::CComVariant(static_cast<long long>(a.integer));
        if (t == "uint8") return ZtAtlCom::CComVariant(static_cast<unsigned char>(a.uinteger));
        if (t == "uint16") return ZtAtlCom::CComVariant(static_cast<unsigned short>(a.uinteger));
        if (t == "uint32") return ZtAtlCom::CComVariant(static_cast<unsigned int>(a.uinteger));
        if (t == "uint64") return ZtAtlCom::CComVariant(static_cast<unsigned long long>(a.uinteger));
        if (t == "float") return ZtAtlCom::CComVariant(static_cast<float>(a.number));
        if (t == "double") return ZtAtlCom::CComVariant(a.number);
        return ZtAtlCom::CComVariant(a.text.c_str());
    }

    const TargetConfig config_;
    CComPtr<IZtEventLogger3> logger_;
    CComPtr<ZtAtlCom::IConnectionPoint> point_;
    ZtAtlCom::DWORD cookie_ = 0;
    Sink* sink_ = nullptr;
    std::atomic<bool> linkUp_{false};
};

}  // namespace

std::unique_ptr<EventSource> MakeLoggerSource(const TargetConfig& config, EventSource::Listener& listener) {
    return std::make_unique<LoggerSource>(config, listener);
}

}  // namespace ZtGateway
