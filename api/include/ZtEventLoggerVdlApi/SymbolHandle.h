// SymbolHandle.h - a symbol handle that is released when it goes away.
#ifndef ZT_SYMBOL_HANDLE_H
#define ZT_SYMBOL_HANDLE_H

#include <cstdint>
#include <string_view>

#include "VdlApiExport.h"

namespace ZtEventLoggerVdlApi {

class VdlAccessImpl;

// Asks the target for a handle of a symbol by name (VdlAccessImpl::GetHandle)
// and releases it (VdlAccessImpl::ReleaseHandle) when destroyed, also while an
// exception passes, when the handle is not 0 and was obtained without error.
// A handle belongs to one call on one thread; it is neither copied nor moved.
class ZT_VDLAPI SymbolHandle {
public:
    SymbolHandle(VdlAccessImpl& owner, std::string_view name);
    ~SymbolHandle();
    SymbolHandle(const SymbolHandle&) = delete;
    SymbolHandle& operator=(const SymbolHandle&) = delete;

    uint32_t Handle() const { return m_handle; }
    // 0, or the Vdl error code of the handle request (the handle is then 0).
    int32_t Error() const { return m_error; }

private:
    VdlAccessImpl& m_owner;
    uint32_t m_handle;
    int32_t m_error;
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_SYMBOL_HANDLE_H
