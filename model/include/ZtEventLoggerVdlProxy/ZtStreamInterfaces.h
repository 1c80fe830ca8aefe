/*
 * ZtStreamInterfaces.h - how filter and settings objects put themselves into
 * a request to the controller.
 *
 * The event logger asks a filter or settings object (any object, also one a
 * host writes itself) for IZtStreamSerializableProvider, gets its
 * serializable, lets it validate itself and then lets it write its content
 * into the request through an IZtStreamWriter, under the key "filter" or
 * "settings". These interfaces are rooted in IZtUnknown (ZtAddRef,
 * ZtQueryInterface, ZtRelease; unknown ids give 0x9811071A). All calls run
 * on the thread of the logger operation that sends the request.
 */
#ifndef ZT_STREAM_INTERFACES_H
#define ZT_STREAM_INTERFACES_H

#include "ZtAtlCom/Guid.h"
#include "ZtAtlCom/HResult.h"
#include "ZtAtlCom/Unknown.h"
#include "ZtAtlCom/ZtUnknown.h"

namespace ZtEventLoggerVdlProxy {

using ZtAtlCom::GUID;
using ZtAtlCom::HRESULT;
using ZtAtlCom::IUnknown;
using ZtAtlCom::IZtUnknown;

/* Writes one request body as a tree of objects, arrays, keys and typed
 * values. The binary form (the one the logger sends) writes a tag byte per
 * call, keys as a 64-bit hash of their text up to the first '.', values
 * with a type byte; the JSON form writes JSON text. Every call returns true
 * when its bytes were stored. A key is followed by exactly one value,
 * object or array. */
struct IZtStreamWriter : IZtUnknown {
    virtual bool StartObject() = 0;
    virtual bool StartArray() = 0;
    virtual bool Key(const char* key) = 0;
    virtual bool Value(bool value) = 0;
    virtual bool Value(signed char value) = 0;
    virtual bool Value(short value) = 0;
    virtual bool Value(int value) = 0;
    virtual bool Value(long value) = 0;  // 64-bit
    virtual bool Value(unsigned char value) = 0;
    virtual bool Value(unsigned short value) = 0;
    virtual bool Value(unsigned int value) = 0;
    virtual bool Value(unsigned long value) = 0;  // 64-bit
    virtual bool Value(float value) = 0;
    virtual bool Value(double value) = 0;
    virtual bool Value(const char* value) = 0;  // UTF-8; null is written as the empty text
    virtual bool Value(const GUID& value) = 0;
    virtual bool EndArray() = 0;
    virtual bool EndObject() = 0;
    virtual ~IZtStreamWriter() = default;
};
ZT_DECLARE_IID(IZtStreamWriter, "0CE05B06-7004-4B2E-9849-A9DE40B03EAA")

/* Writes the object's content as one value (normally an object or an
 * array) at the writer's current place. Its result is not looked at. */
struct IZtStreamSerializable : IZtUnknown {
    virtual HRESULT Serialize(IZtStreamWriter* writer) = 0;
};
ZT_DECLARE_IID(IZtStreamSerializable, "615D1575-8F58-406C-A1B1-0C7FADE5A8BF")

/* Answered by a filter's serializable. IsValid(false) makes the logger
 * refuse the operation with 0x9811070B and send nothing. GetValidationError
 * describes the first fault found (a BSTR the caller frees; null when the
 * filter is valid); the logger does not call it. */
struct IZtFilterValidation : IZtUnknown {
    virtual HRESULT GetValidationError(char** text) = 0;
    virtual HRESULT IsValid(bool* valid) = 0;
};
ZT_DECLARE_IID(IZtFilterValidation, "A14816DA-1BF9-4FC3-A858-FC8F73323D88")

/* Answered by a settings object's serializable. Validate(false, error) makes
 * the logger refuse the operation with 0x9811070B and send nothing; *error
 * (may stay null) is an object with one reference that the caller
 * releases. */
struct IZtSettingsValidation : IZtUnknown {
    virtual HRESULT Validate(bool* valid, IZtUnknown** error) = 0;
};
ZT_DECLARE_IID(IZtSettingsValidation, "5D5BFA1D-E5F3-4672-8E85-56EB14C20311")

/* Reached by QueryInterface on a filter or settings object: hands out the
 * object that serialises it (an IZtUnknown with one reference for the
 * caller, answering IZtStreamSerializable). An object without this
 * interface contributes nothing to a request (as a null filter would). */
struct IZtStreamSerializableProvider : IUnknown {
    virtual HRESULT GetStreamSerializable(IZtUnknown** serializable) = 0;
};
ZT_DECLARE_IID(IZtStreamSerializableProvider, "A883B7D9-A98D-2A2C-F371-7D57EB1BBA81")

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_STREAM_INTERFACES_H
