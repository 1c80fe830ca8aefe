#include "ZtEventLoggerVdlApi/IZtObject.h"

namespace ZtEventLoggerVdlApi {

IZtObject::~IZtObject() = default;

}  // namespace ZtEventLoggerVdlApi
