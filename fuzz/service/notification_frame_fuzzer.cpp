// Notification frames from an untrusted service, through the arrival check
// and the dispatcher, to a handler that reads every record it is given.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "RecordWalk.h"
#include "ServiceProtocol.h"
#include "ZtServiceInterfaces.h"

namespace {

using namespace ZtEventLoggerVdlProxy;

class WalkingHandler : public IZtEventHandler {
public:
    ZtAtlCom::ULONG ZtAddRef() override { return 1; }
    ZtAtlCom::ULONG ZtRelease() override { return 1; }
    HRESULT ZtQueryInterface(const ZtAtlCom::IID&, void**) override { return ZtAtlCom::ZT_E_NOINTERFACE; }
    HRESULT OnNewEvent(ZtEventEntity* r) override { return Walk(r); }
    HRESULT OnClearAlarm(ZtEventEntity* r) override { return Walk(r); }
    HRESULT OnNewMessage(ZtEventEntity* r) override { return Walk(r); }
    HRESULT OnDisposeActiveAlarm(ZtEventEntity* r) override { return Walk(r); }
    HRESULT OnAlarmConfirmed(ZtEventEntity* r) override { return Walk(r); }
    HRESULT OnClearAlarmList() override { return 0; }
    HRESULT ConfirmEvent(ZtEventEntity*) override { return 0; }
    HRESULT GetActiveAlarms(std::vector<ZtAtlCom::CComPtr<IZtAlarm>>&) override { return 0; }
    HRESULT ClearAllAlarms(bool) override { return 0; }
    HRESULT ConfirmAllAlarms() override { return 0; }

private:
    HRESULT Walk(ZtEventEntity* r) {
        WalkRecord(r);
        return 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto* copy = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (size != 0) std::memcpy(copy, data, size);
    if (CheckNotificationFrame(copy, size) == FrameCheck::Ok) {
        WalkingHandler handler;
        bool activity = false;
        (void)DispatchNotificationFrame(reinterpret_cast<const ZtEventStreamHeader*>(copy), &handler, &activity);
    }
    std::free(copy);
    return 0;
}
