/*
 * ZtEventLoggerVdlProxyLib.h - the entry of libZtEventLoggerVdlProxy_2.1:
 * the class factory, the class ids it knows and the library version. A C++
 * host includes this header alone.
 *
 *     using namespace ZtEventLoggerVdlProxy;
 *     ZtAtlCom::CComPtr<IZtEventLogger3> logger;
 *     HRESULT hr = ZtEventLoggerVdlProxyLib::CreateInstance(
 *         CLSID_ZtEventLogger, IID_IZtEventLogger3, reinterpret_cast<void**>(&logger.p));
 *
 * Loading the library starts no thread and makes no connection; each event
 * logger starts one worker thread when it is created.
 */
#ifndef ZT_EVENT_LOGGER_VDL_PROXY_LIB_H
#define ZT_EVENT_LOGGER_VDL_PROXY_LIB_H

#include <cstdint>

#include "ZtAtlCom/ZtAtlCom.h"
#include "ZtEventLoggerVdlProxy/ZtArgumentInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtEventInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"
#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

#if defined(ZT_BUILDING_PROXY_LIBRARY)
#define ZT_PROXY_LIB_API __attribute__((visibility("default")))
#else
#define ZT_PROXY_LIB_API
#endif

namespace ZtEventLoggerVdlProxy {

// The classes the factory creates, in the order it compares them.
inline constexpr ZtAtlCom::CLSID CLSID_ZtSourceInfo =
    ZtAtlCom::detail::ParseGuidLiteral("24FB3B1E-2B08-E7EA-8744-F2CDEA7743FF");
inline constexpr ZtAtlCom::CLSID CLSID_ZtEventLogger =
    ZtAtlCom::detail::ParseGuidLiteral("9131811A-838B-CD6C-C549-3BF441F55FF7");
inline constexpr ZtAtlCom::CLSID CLSID_ZtArgumentEntry =
    ZtAtlCom::detail::ParseGuidLiteral("FE3458F0-D408-5BAD-BA26-672A9CA36D3A");
inline constexpr ZtAtlCom::CLSID CLSID_ZtArguments =
    ZtAtlCom::detail::ParseGuidLiteral("26325FD0-6894-5118-594F-297CED19C395");

}  // namespace ZtEventLoggerVdlProxy

namespace ZtEventLoggerVdlProxyLib {

/* Creates a new object of class clsid and returns its interface iid in *ppv
 * with one reference. E_POINTER for a null ppv; REGDB_E_CLASSNOTREG
 * (0x80040154) for a class id it does not know (out-pointer untouched);
 * E_NOINTERFACE when the object lacks iid (nothing stays alive);
 * E_OUTOFMEMORY when the object or, for the event logger, its service link
 * cannot be made. Any thread. */
ZT_PROXY_LIB_API ZtAtlCom::HRESULT CreateInstance(const ZtAtlCom::CLSID& clsid, const ZtAtlCom::IID& iid,
                                                  void** ppv) noexcept;

// No class has a ProgID: CO_E_CLASSSTRING (0x800401F3), clsid untouched.
ZT_PROXY_LIB_API ZtAtlCom::HRESULT CLSIDFromProgID(const char* progId, ZtAtlCom::CLSID& clsid) noexcept;

}  // namespace ZtEventLoggerVdlProxyLib

extern "C" {
// The same two, callable from C.
ZT_PROXY_LIB_API ZtAtlCom::HRESULT ZtEventLoggerVdlProxyLibCreateInstance(const ZtAtlCom::CLSID& clsid,
                                                                          const ZtAtlCom::IID& iid,
                                                                          void** ppv) noexcept;
ZT_PROXY_LIB_API ZtAtlCom::HRESULT ZtEventLoggerVdlProxyLibCLSIDFromProgID(const char* progId,
                                                                           ZtAtlCom::CLSID* clsid) noexcept;
// Writes 2, 1 and 0 through the non-null pointers; returns 0.
ZT_PROXY_LIB_API uint32_t ZTEVENTLOGGERVDLPROXYLIBVersion(uint32_t* major, uint32_t* minor,
                                                          uint32_t* build) noexcept;
}

#endif  // ZT_EVENT_LOGGER_VDL_PROXY_LIB_H
