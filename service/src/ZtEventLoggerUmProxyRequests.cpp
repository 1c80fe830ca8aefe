// The event and alarm requests of the service proxy: the active events, the
// event log, confirming and clearing alarms, messages and export. Each runs on
// the caller's thread through the shared adapter; the proxy takes no lock.
#include "ZtEventLoggerUmProxy.h"

#include "ServiceReplies.h"
#include "ZtAtlCom/AtlException.h"
#include "ZtEventLoggerVdlApi/VdlErrors.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::ZtAtlCall;
using ZtEventLoggerVdlApi::VDL_ERR_INVALID_SIZE;

namespace {

constexpr uint32_t kActiveEventsOffset = 1;
constexpr size_t kActiveEventsFirstBuffer = 4095;

}  // namespace

HRESULT ZtEventLoggerUmProxy::ReadActiveEvents(std::vector<ZtEventEntity*>& events) {
    if (!m_adapter) return ZtAtlCom::E_UNEXPECTED;
    return ZtAtlCall([&] {
        std::vector<unsigned char> reply(kActiveEventsFirstBuffer);
        for (;;) {
            uint32_t rc = m_adapter->VdlSyncReadReq(kServicePort, kGroupEvents, kActiveEventsOffset, reply.size(),
                                                    reply.data());
            if (rc == 0) break;
            // Too small: double, but never beyond what any reply may carry,
            // so a service that keeps answering 1797 cannot exhaust memory.
            if (rc != VDL_ERR_INVALID_SIZE || reply.size() > RequestRetry::kMaxReplySize / 2)
                return VdlErrorToHResult(rc);
            const size_t next = reply.size() * 2;
            reply.clear();
            reply.shrink_to_fit();
            reply.resize(next);
        }
        return ParseActiveEventsReply(reply.data(), reply.size(), events);
    });
}

}  // namespace ZtEventLoggerVdlProxy
