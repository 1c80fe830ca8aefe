// ZtStreamSerializableRef.h - the serializable of a host's filter or settings
// object for one logger operation (internal).
//
//     ZtStreamSerializableRef filter;
//     HRESULT hr = filter.Obtain(hostFilter, ZtStreamSerializableRef::Kind::Filter);
//     if (Failed(hr)) return hr;                   // 0x9811070B: invalid, send nothing
//     hr = proxy->ConfirmAlarms(timeStamp, filter.Get());  // null: no "filter" key
//
// The object is reached only through IZtStreamSerializableProvider; one that
// lacks it (or whose serializable lacks IZtStreamSerializable) contributes
// nothing, as a null object would. A serializable without the validation
// interface of its kind counts as valid. The references are held until the
// holder goes, i.e. for the length of the operation.
#ifndef ZT_STREAM_SERIALIZABLE_REF_H
#define ZT_STREAM_SERIALIZABLE_REF_H

#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

namespace ZtEventLoggerVdlProxy {

// A filter or settings object that reports itself invalid (Vdl error 0x70B).
constexpr HRESULT ZT_E_INVALID_FILTER = ZtAtlCom::MakeHResult(0x9811070Bu);

class ZtStreamSerializableRef {
public:
    enum class Kind { Filter, Settings };

    ZtStreamSerializableRef() = default;
    ~ZtStreamSerializableRef();
    ZtStreamSerializableRef(const ZtStreamSerializableRef&) = delete;
    ZtStreamSerializableRef& operator=(const ZtStreamSerializableRef&) = delete;

    // S_OK (Get() may stay null), or ZT_E_INVALID_FILTER when the object's
    // validation says no. Call once. Nothing the host's objects throw escapes.
    HRESULT Obtain(IUnknown* object, Kind kind) noexcept;
    IZtStreamSerializable* Get() const noexcept { return m_serializable; }

private:
    HRESULT Validate(Kind kind);

    IZtStreamSerializableProvider* m_provider = nullptr;
    IZtStreamSerializable* m_serializable = nullptr;
};

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_STREAM_SERIALIZABLE_REF_H
