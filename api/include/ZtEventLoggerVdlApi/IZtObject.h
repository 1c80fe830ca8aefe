// IZtObject.h - root of the exported classes of libZtEventLoggerVdlApi_2.1.
#ifndef ZT_IZT_OBJECT_H
#define ZT_IZT_OBJECT_H

#include "VdlApiExport.h"

namespace ZtEventLoggerVdlApi {

class ZT_VDLAPI IZtObject {
public:
    virtual ~IZtObject();
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_IZT_OBJECT_H
