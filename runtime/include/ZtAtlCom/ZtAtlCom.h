/*
 * ZtAtlCom.h - the whole public component runtime in one include.
 */
#ifndef ZT_ATLCOM_H
#define ZT_ATLCOM_H

#include "ZtAtlCom/AtlException.h"
#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/BaseTypes.h"
#include "ZtAtlCom/CharTraits.h"
#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ComDynamicUnkArray.h"
#include "ZtAtlCom/ComEnum.h"
#include "ZtAtlCom/ComEnumOnSTL.h"
#include "ZtAtlCom/ComObject.h"
#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/ComSafeArray.h"
#include "ZtAtlCom/ComVariant.h"
#include "ZtAtlCom/ConnectionPoint.h"
#include "ZtAtlCom/Dispatch.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtAtlCom/Export.h"
#include "ZtAtlCom/Guid.h"
#include "ZtAtlCom/HResult.h"
#include "ZtAtlCom/SafeArray.h"
#include "ZtAtlCom/StandardInterfaces.h"
#include "ZtAtlCom/Unknown.h"
#include "ZtAtlCom/Variant.h"
#include "ZtAtlCom/VariantValue.h"
#include "ZtAtlCom/ZtCollection.h"
#include "ZtAtlCom/ZtUnknown.h"

#endif  // ZT_ATLCOM_H
