// Stand-in for the event logger library's class factory until it is built:
// knows no class, so every id goes to the filter library.
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"
extern "C" ZtAtlCom::HRESULT ZtEventLoggerVdlProxyLibCreateInstance(const ZtAtlCom::CLSID&, const ZtAtlCom::IID&,
                                                                    void**) noexcept {
    return ZtAtlCom::REGDB_E_CLASSNOTREG;
}
