// The interface ids as exported data, named after their text, each checked
// against the interface's own id when compiling.
#include "CallPattern.h"
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"
#include "ZtEventLoggerVdlProxy/ZtEventLoggerVdlProxyLib.h"

namespace {

constexpr ::GUID ToCGuid(const ZtAtlCom::GUID& g) noexcept {
    return ::GUID{g.Data1, g.Data2, g.Data3, {g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                                               g.Data4[6], g.Data4[7]}};
}

}  // namespace

#define ZT_EXPORT_IID(iid, a, b, c, d, e)                                                                    \
    static_assert(ZtAtlCom::detail::ParseGuidLiteral(#a "-" #b "-" #c "-" #d "-" #e) == iid,                \
                  "exported name and interface id disagree");                                                \
    ZTC_API const ::GUID _GUID_##a##_##b##_##c##_##d##_##e = ToCGuid(iid);

ZT_EXPORT_IID(ZtAtlCom::IID_IUnknown, 00000000, 0000, 0000, c000, 000000000046)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtSourceInfo, 199c67f3, 1e75, b688, 452b, bb4de5e2c512)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtArgumentEntry, 8553e857, 3eb7, ee60, 84b1, 823448218033)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtArguments, 0def4502, 77f3, 516e, a9a7, 84db2d886857)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtEventFilter, d940c6a7, 6cb1, b5b8, 8628, f0f2a7e74469)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtSegbusDeviceEventFilter, 6f6641e6, 6064, 7652, e86e, 48e43f0ea0e7)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtAlarmFilter, cb42bc96, 2b7a, dd36, 64dd, 026f665806c3)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtCsvExportSettings, 6568cb44, e548, 38b9, f3cd, 948bad119176)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtDetail, a72a8fb4, 6625, dfb8, 4965, 59ed3672fe3b)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtDetailCollection, 5542c560, 61df, 369d, 6a6a, 6e70ef14e4db)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtCauseRemedy, dbbf805a, be56, cafa, c3ad, 8657ffcc0d03)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtCauseRemedyCollection, e4814f90, 35b2, e0c2, cdc8, 4facf0b93482)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtEvent, 7f082ceb, 5849, 2339, f26e, 40f1f89b8c47)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtMessage, ab1e800b, cfcb, 18c1, 52b3, 7957f0b34f22)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtMessage2, 855560c0, b58e, 49d8, 2d5d, 245a28f412ff)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtMessage3, fd9aacf8, 463e, 16dc, 75eb, 8b0255bf5264)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtAlarm, 40fe833c, 7627, 4c1b, bd60, 12f6db71bc05)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtAlarm2, 8ca549d2, 5acc, d78a, 9d32, c65cf149c31a)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtAlarm3, 4f3e3ece, 2f11, 6dc4, 056e, 1df5c2c84450)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtLoggedEvent, 6d7f95c0, c3d2, 889d, ed56, c220d92b5d58)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtLoggedEvent2, a60931bc, ff64, c536, 1589, 36445cb95bb1)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtLoggedEvent3, 10444087, 7f0a, cc7a, 8584, d400e1500f09)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtLoggedEvent4, 8cc384da, 7653, 6482, ce0d, edce97fe78ce)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtAlarmCollection, 289b61b1, 31c1, f4f8, 30a2, 6e3d4855f12c)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtLoggedEventCollection, 1c7674ae, b0d2, b0f2, 9f9e, 84b20f95a13e)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtEventLogger, 9fe4e6f4, 3478, cd14, 2a78, 8d1d6c69d3e5)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtEventLogger2, 2894cc3b, e43d, c171, 24b5, 6f549b179ad9)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtEventLogger3, 56c60b31, 0e51, 2dd5, b0a0, d342fbca96b3)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID__IZtEventLoggerEvents, fc4b8323, 4e7b, e642, fcdf, 9baf02915a4a)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID__IZtAlarmEvents, e31aab1c, 958c, dd92, 4afa, 02ad9c26d925)
ZT_EXPORT_IID(ZtEventLoggerVdlProxy::IID_IZtExportSettings, 2c0d2cd1, 6f95, 4c41, 8602, a37c38713111)
