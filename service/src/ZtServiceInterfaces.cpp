#include "ZtServiceInterfaces.h"

namespace ZtEventLoggerVdlProxy {

// Static initialisers: the ids are copied when the library is loaded.
const GUID g_IID_IZtEventLoggerUmProxy = IID_IZtEventLoggerUmProxy;
const GUID g_IID_IZtEventLoggerUmProxyInit = IID_IZtEventLoggerUmProxyInit;
const GUID g_IID_IResourceManager = IID_IResourceManager;
const GUID g_IID_IZtStreamWriter = ZtAtlCom::detail::ParseGuidLiteral("0CE05B06-7004-4B2E-9849-A9DE40B03EAA");
const GUID g_IID_IZtStreamBuffer = ZtAtlCom::detail::ParseGuidLiteral("ECC20E71-CB34-4B2A-8884-B5894322D265");
const GUID g_IID_IZtEventHandler = IID_IZtEventHandler;

// The record is its own argument base: its descriptor's offsets count from
// the start of the record.
HRESULT IResourceManager::GetMessageString(ZtEventEntity* record, int64_t languageId, char** text) {
    if (record == nullptr) {
        if (text != nullptr) *text = nullptr;
        return ZtAtlCom::E_POINTER;
    }
    const ZtEventLoggerCommon::ZtEventArguments arguments = record->arguments;
    return GetMessageString(ZtEventLoggerCommon::KeyOf(record), arguments, record, languageId, text);
}

}  // namespace ZtEventLoggerVdlProxy
