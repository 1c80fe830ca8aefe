#include "ZtEventLink.h"

#include <mutex>
#include <new>

#include "ZtAtlCom/AtlException.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::E_POINTER;
using ZtAtlCom::S_OK;

ZtEventLink* ZtEventLink::Create(IZtEventLoggerUmProxy* proxy, IResourceManager* resources) noexcept {
    auto* link = new (std::nothrow) ZtEventLink(proxy, resources);
    if (link != nullptr) link->ZtAddRef();
    return link;
}

ULONG ZtEventLink::ZtAddRef() { return m_refs.Increment(); }

ULONG ZtEventLink::ZtRelease() {
    ULONG count = m_refs.Decrement();
    if (count == 0) delete this;
    return count;
}

HRESULT ZtEventLink::ZtQueryInterface(const ZtAtlCom::IID& iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == ZtAtlCom::iid_of<IResourceManager>())) return ZtAtlCom::ZT_E_NOINTERFACE;
    *object = static_cast<IResourceManager*>(this);
    ZtAddRef();
    return S_OK;
}

template <class Target, class Call>
HRESULT ZtEventLink::Forward(Target* const ZtEventLink::*target, Call&& call, bool* made) {
    Target* to = this->*target;
    if (made != nullptr) *made = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_detached || to == nullptr) return ZT_E_LINK_RELEASED;
        ++m_calls;
    }
    if (made != nullptr) *made = true;
    HRESULT hr = ZtAtlCom::ZtAtlCall([&] { return call(to); });
    std::lock_guard<std::mutex> lock(m_lock);
    if (--m_calls == 0 && m_detached) m_idle.notify_all();
    return hr;
}

HRESULT ZtEventLink::GetMessageString(const ZtEventKey& key, const ZtEventLoggerCommon::ZtEventArguments& arguments,
                                      void* argumentData, int64_t languageId, char** text) {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    return Forward(&ZtEventLink::m_resources, [&](IResourceManager* rm) {
        return rm->GetMessageString(key, arguments, argumentData, languageId, text);
    });
}

HRESULT ZtEventLink::GetMessageString(ZtEventEntity* record, int64_t languageId, char** text) {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    return Forward(&ZtEventLink::m_resources,
                   [&](IResourceManager* rm) { return rm->GetMessageString(record, languageId, text); });
}

HRESULT ZtEventLink::GetEventClassName(const GUID& eventClass, int64_t languageId, char** text) {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    return Forward(&ZtEventLink::m_resources,
                   [&](IResourceManager* rm) { return rm->GetEventClassName(eventClass, languageId, text); });
}

HRESULT ZtEventLink::GetCauseRemedy(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                                    std::vector<CauseRemedy>& out) {
    return Forward(&ZtEventLink::m_resources,
                   [&](IResourceManager* rm) { return rm->GetCauseRemedy(eventClass, eventId, languageId, out); });
}

HRESULT ZtEventLink::GetEventClassDetails(const GUID& eventClass, int64_t languageId, std::vector<Detail>& out) {
    return Forward(&ZtEventLink::m_resources,
                   [&](IResourceManager* rm) { return rm->GetEventClassDetails(eventClass, languageId, out); });
}

HRESULT ZtEventLink::GetEventDetails(const GUID& eventClass, const unsigned int& eventId, int64_t languageId,
                                     std::vector<Detail>& out) {
    return Forward(&ZtEventLink::m_resources,
                   [&](IResourceManager* rm) { return rm->GetEventDetails(eventClass, eventId, languageId, out); });
}

HRESULT ZtEventLink::ClearResourceCache() {
    return Forward(&ZtEventLink::m_resources, [](IResourceManager* rm) { return rm->ClearResourceCache(); });
}

HRESULT ZtEventLink::LoadResourceFile(const std::string& path) {
    return Forward(&ZtEventLink::m_resources, [&](IResourceManager* rm) { return rm->LoadResourceFile(path); });
}

HRESULT ZtEventLink::UnloadResourceFile(const std::string& path) {
    return Forward(&ZtEventLink::m_resources, [&](IResourceManager* rm) { return rm->UnloadResourceFile(path); });
}

HRESULT ZtEventLink::ReadActiveEvents(std::vector<ZtEventEntity*>& events) {
    return Forward(&ZtEventLink::m_proxy, [&](IZtEventLoggerUmProxy* p) { return p->ReadActiveEvents(events); });
}

HRESULT ZtEventLink::ConfirmEvent(const ZtEventKey& key, bool* sent) {
    return Forward(&ZtEventLink::m_proxy, [&](IZtEventLoggerUmProxy* p) { return p->ConfirmEvent(key); }, sent);
}

HRESULT ZtEventLink::ConfirmAllAlarms() {
    return Forward(&ZtEventLink::m_proxy, [](IZtEventLoggerUmProxy* p) { return p->ConfirmAllAlarms(); });
}

HRESULT ZtEventLink::ClearAllAlarms(bool resetConfirmation) {
    return Forward(&ZtEventLink::m_proxy,
                   [&](IZtEventLoggerUmProxy* p) { return p->ClearAllAlarms(resetConfirmation); });
}

void ZtEventLink::Detach() noexcept {
    std::unique_lock<std::mutex> lock(m_lock);
    m_detached = true;
    m_idle.wait(lock, [this] { return m_calls == 0; });
}

}  // namespace ZtEventLoggerVdlProxy
