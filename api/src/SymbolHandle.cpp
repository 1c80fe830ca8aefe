#include "ZtEventLoggerVdlApi/SymbolHandle.h"

#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"

namespace ZtEventLoggerVdlApi {

SymbolHandle::SymbolHandle(VdlAccessImpl& owner, std::string_view name) : m_owner(owner), m_handle(0), m_error(0) {
    auto [handle, error] = owner.GetHandle(name);
    m_handle = handle;
    m_error = error;
}

SymbolHandle::~SymbolHandle() {
    if (m_handle == 0 || m_error != 0) return;
    try {
        m_owner.ReleaseHandle(m_handle);
    } catch (...) {
        // Out of memory while releasing: the target keeps the handle, the host keeps running.
    }
}

}  // namespace ZtEventLoggerVdlApi
