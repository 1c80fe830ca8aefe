/*
 * ZtArgumentInterfaces.h - what a host builds to send a message of its own:
 * the typed argument list and the source information.
 *
 * All three objects are created through the class factory
 * (CLSID_ZtArguments, CLSID_ZtArgumentEntry, CLSID_ZtSourceInfo in
 * ZtEventLoggerVdlProxyLib.h) and passed to IZtEventLogger2::SendZtMessage.
 * Conventions as in ZtEventInterfaces.h: HRESULT results, one reference per
 * interface pointer received, BSTR texts freed by the caller, `long` 64-bit.
 * The objects lock themselves; one object may be used from several threads.
 */
#ifndef ZT_ARGUMENT_INTERFACES_H
#define ZT_ARGUMENT_INTERFACES_H

#include "ZtAtlCom/BaseTypes.h"
#include "ZtAtlCom/Dispatch.h"
#include "ZtAtlCom/Guid.h"
#include "ZtAtlCom/SafeArray.h"
#include "ZtAtlCom/Variant.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::BSTR;
using ZtAtlCom::DATE;
using ZtAtlCom::GUID;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IDispatch;
using ZtAtlCom::IUnknown;
using ZtAtlCom::SAFEARRAY;
using ZtAtlCom::VARIANT;
using ZtAtlCom::VARIANT_BOOL;

/* One typed argument. Set accepts VT_BOOL, VT_I1, VT_I2, VT_I4, VT_I8,
 * VT_UI1, VT_UI2, VT_UI4, VT_INT, VT_UINT, VT_UI8, VT_R4, VT_R8, VT_DECIMAL
 * and VT_BSTR; every other type is refused with E_NOINTERFACE and the entry
 * stays as it was. The typed getters convert a copy of the value
 * (VariantChangeType); a failed conversion returns its code and writes
 * nothing. GetData(type, destination, size): *size receives the byte size
 * of the value on the wire (strings: length + 1, 0 when empty); with a null
 * destination only type and size are reported; otherwise *type and the
 * bytes at destination. */
struct IZtArgumentEntry : IDispatch {
    virtual HRESULT Set(VARIANT value) = 0;
    virtual HRESULT Get(VARIANT* value) = 0;
    virtual HRESULT GetBoolean(VARIANT_BOOL* value) = 0;
    virtual HRESULT GetInt8(signed char* value) = 0;
    virtual HRESULT GetInt16(short* value) = 0;
    virtual HRESULT GetInt32(int* value) = 0;
    virtual HRESULT GetInt64(long* value) = 0;
    virtual HRESULT GetUInt8(unsigned char* value) = 0;
    virtual HRESULT GetUInt16(unsigned short* value) = 0;
    virtual HRESULT GetUInt32(unsigned int* value) = 0;
    virtual HRESULT GetUInt64(unsigned long* value) = 0;
    virtual HRESULT GetFloat(float* value) = 0;
    virtual HRESULT GetDouble(double* value) = 0;
    virtual HRESULT GetString(BSTR* value) = 0;
    virtual HRESULT GetData(tagZtEventArgumentTypeEnum* type, void* destination, unsigned int* size) = 0;
};
ZT_DECLARE_IID(IZtArgumentEntry, "8553E857-3EB7-EE60-84B1-823448218033")

/* The argument list of a message, in order. Indices are zero-based.
 * Add/AddV take values as IZtArgumentEntry::Set does (AddV skips refused
 * elements). Set and Remove: E_BOUNDS for an index above the count; Remove
 * of index == count: E_FAIL. The raise time is not sent (the controller
 * stamps the message); a new list reports 2020-12-29 12:27:39 UTC. */
struct IZtArguments : IDispatch {
    virtual HRESULT get__NewEnum(IUnknown** enumerator) = 0;
    virtual HRESULT get_Item(int index, IZtArgumentEntry** item) = 0;
    virtual HRESULT get_Count(int* count) = 0;
    virtual HRESULT get_Size(int* count) = 0;
    virtual HRESULT Add(VARIANT value) = 0;
    virtual HRESULT AddV(SAFEARRAY* values) = 0;
    virtual HRESULT Set(int index, VARIANT value) = 0;
    virtual HRESULT Remove(int index) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT get_TimeRaised(DATE* time) = 0;
    virtual HRESULT put_TimeRaised(DATE time) = 0;
};
ZT_DECLARE_IID(IZtArguments, "0DEF4502-77F3-516E-A9A7-84DB2D886857")

/* The source of a message: at most one numeric id, one GUID and one name.
 * The getters return 50 (a success value) with the output untouched when
 * the item is not set. put_Name stores the text with its NUL (an empty text
 * is an item of one byte). Errors while storing: 0x9811070A. */
struct IZtSourceInfo : IDispatch {
    virtual HRESULT IsSourceInfoTypeSupported(tagZtSourceInfoTypeEnum type, VARIANT_BOOL* supported) = 0;
    virtual HRESULT get_Count(int* count) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT get_Id(unsigned int* id) = 0;
    virtual HRESULT put_Id(unsigned int id) = 0;
    virtual HRESULT get_Guid(GUID* guid) = 0;
    virtual HRESULT put_Guid(GUID guid) = 0;
    virtual HRESULT get_Name(BSTR* name) = 0;
    virtual HRESULT put_Name(BSTR name) = 0;
};
ZT_DECLARE_IID(IZtSourceInfo, "199C67F3-1E75-B688-452B-BB4DE5E2C512")

/* The items of a source info in the order id, guid, name, as the request
 * encoder reads them: GetData(index, type, destination, size) with a null
 * destination reports the size; otherwise copies the bytes (0x98110705 when
 * *size is too small). DISP_E_BADINDEX for an index not below the count. */
struct IZtSourceInfoDataProvider : IUnknown {
    virtual HRESULT GetData(unsigned int index, tagZtSourceInfoTypeEnum* type, void* destination,
                            unsigned int* size) = 0;
};
ZT_DECLARE_IID(IZtSourceInfoDataProvider, "A97C450D-D435-4779-9C0A-76C979982577")

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_ARGUMENT_INTERFACES_H
