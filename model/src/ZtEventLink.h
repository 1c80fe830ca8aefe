// ZtEventLink.h - what the event objects reach the service through (internal).
//
// Messages, alarms and logged events outlive the event logger that made them
// whenever a host keeps them. They therefore never hold the service proxy or
// the event handler themselves: each holds one counted reference to the
// link, which forwards texts (IResourceManager) and the alarm requests to
// the service proxy for as long as the link is attached. The event handler
// owns the link and detaches it when the logger goes away; from then on
// every call answers ZT_E_LINK_RELEASED, and no call reaches the proxy.
//
// Detach refuses new calls at once and waits for the calls in flight, so once
// it returns the proxy may be destroyed; hosts that keep calling cannot hold
// it up. A call in flight must not detach the same link (nothing the proxy
// calls does).
#ifndef ZT_EVENT_LINK_H
#define ZT_EVENT_LINK_H

#include <condition_variable>
#include <mutex>

#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

// The answer of a link whose logger is gone: the code of a lost router link.
constexpr HRESULT ZT_E_LINK_RELEASED = ZtAtlCom::MakeHResult(0x98110748u);

class ZtEventLink final : public IResourceManager {
public:
    // A new attached link with one reference (the caller's); null when memory
    // runs out. Either pointer may be null (its calls then fail as detached).
    static ZtEventLink* Create(IZtEventLoggerUmProxy* proxy, IResourceManager* resources) noexcept;

    ZtEventLink(const ZtEventLink&) = delete;
    ZtEventLink& operator=(const ZtEventLink&) = delete;

    ULONG ZtAddRef() override;
    HRESULT ZtQueryInterface(const ZtAtlCom::IID& iid, void** object) override;  // IResourceManager only
    ULONG ZtRelease() override;

    // IResourceManager, forwarded.
    HRESULT GetMessageString(const ZtEventKey& key, const ZtEventLoggerCommon::ZtEventArguments& arguments,
                             void* argumentData, int64_t languageId, char** text) override;
    HRESULT GetMessageString(ZtEventEntity* record, int64_t languageId, char** text) override;
    HRESULT GetEventClassName(const GUID& eventClass, int64_t languageId, char** text) override;
    HRESULT GetCauseRemedy(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                           std::vector<CauseRemedy>& out) override;
    HRESULT GetEventClassDetails(const GUID& eventClass, int64_t languageId, std::vector<Detail>& out) override;
    HRESULT GetEventDetails(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                            std::vector<Detail>& out) override;
    HRESULT ClearResourceCache() override;
    HRESULT LoadResourceFile(const std::string& path) override;
    HRESULT UnloadResourceFile(const std::string& path) override;

    // The service proxy's requests that the alarm list and the alarms make.
    HRESULT ReadActiveEvents(std::vector<ZtEventEntity*>& events);
    // *sent (when given) tells whether the request went to the proxy.
    HRESULT ConfirmEvent(const ZtEventKey& key, bool* sent = nullptr);
    HRESULT ConfirmAllAlarms();
    HRESULT ClearAllAlarms(bool resetConfirmation);

    // Stops forwarding, after the calls in flight have returned.
    void Detach() noexcept;

private:
    ZtEventLink(IZtEventLoggerUmProxy* proxy, IResourceManager* resources) noexcept
        : m_proxy(proxy), m_resources(resources) {}
    ~ZtEventLink() = default;

    // call(target) unless detached; *made tells whether it was called.
    template <class Target, class Call>
    HRESULT Forward(Target* const ZtEventLink::*target, Call&& call, bool* made = nullptr);

    ZtAtlCom::ZtUnknownCount m_refs;
    mutable std::mutex m_lock;       // guards the three below
    std::condition_variable m_idle;  // the last call in flight has returned
    int m_calls = 0;                 // calls in flight
    bool m_detached = false;
    IZtEventLoggerUmProxy* const m_proxy;
    IResourceManager* const m_resources;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_EVENT_LINK_H
