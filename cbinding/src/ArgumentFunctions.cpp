// C functions of what a host builds for a message of its own: the source
// info, the argument entries and the argument list.
#include "CallPattern.h"
#include "ZtAtlCom/SafeArray.h"
#include "ZtEventLoggerVdlProxy/ZtArgumentInterfaces.h"

using namespace ZtProxyC;
using ZtEventLoggerVdlProxy::IZtArgumentEntry;
using ZtEventLoggerVdlProxy::IZtArguments;
using ZtEventLoggerVdlProxy::IZtSourceInfo;

// ---- IZtSourceInfo ------------------------------------------------------

ZTC_API HRESULT IZtSourceInfo_IsSourceInfoTypeSupported(void* h, ZtSourceInfoType type, char* supported) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::IsSourceInfoTypeSupported, ToEnum<ZtEventLoggerVdlProxy::tagZtSourceInfoTypeEnum>(type),
                               OutBool(supported));
}
ZTC_API HRESULT IZtSourceInfo_get_Count(void* h, int* count) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::get_Count, count);
}
ZTC_API HRESULT IZtSourceInfo_Clear(void* h) noexcept { return Call<IZtSourceInfo>(h, &IZtSourceInfo::Clear); }
ZTC_API HRESULT IZtSourceInfo_get_Id(void* h, unsigned int* id) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::get_Id, id);
}
ZTC_API HRESULT IZtSourceInfo_put_Id(void* h, unsigned int id) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::put_Id, id);
}
ZTC_API HRESULT IZtSourceInfo_get_Guid(void* h, GUID* guid) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::get_Guid, ToGuid(guid));
}
ZTC_API HRESULT IZtSourceInfo_put_Guid(void* h, GUID guid) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::put_Guid, ToGuid(guid));
}
ZTC_API HRESULT IZtSourceInfo_get_Name(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::get_Name, OutText(cb, ctx));
}
ZTC_API HRESULT IZtSourceInfo_put_Name(void* h, const char* name) noexcept {
    return Call<IZtSourceInfo>(h, &IZtSourceInfo::put_Name, InText(name));
}

// ---- IZtArgumentEntry ---------------------------------------------------

ZTC_API HRESULT IZtArgumentEntry_Set(void* h, const VARIANT* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::Set, InVariant(value));
}
ZTC_API HRESULT IZtArgumentEntry_Get(void* h, ZtVariantCallback cb, void* ctx) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::Get, OutVariant(cb, ctx));
}
ZTC_API HRESULT IZtArgumentEntry_GetBoolean(void* h, char* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetBoolean, OutBool(value));
}
ZTC_API HRESULT IZtArgumentEntry_GetInt8(void* h, signed char* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetInt8, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetInt16(void* h, short* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetInt16, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetInt32(void* h, int* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetInt32, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetInt64(void* h, int64_t* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetInt64, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetUInt8(void* h, unsigned char* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetUInt8, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetUInt16(void* h, unsigned short* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetUInt16, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetUInt32(void* h, unsigned int* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetUInt32, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetUInt64(void* h, uint64_t* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetUInt64, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetFloat(void* h, float* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetFloat, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetDouble(void* h, double* value) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetDouble, value);
}
ZTC_API HRESULT IZtArgumentEntry_GetString(void* h, ZtTextCallback cb, void* ctx) noexcept {
    return Call<IZtArgumentEntry>(h, &IZtArgumentEntry::GetString, OutText(cb, ctx));
}

// ---- IZtArguments -------------------------------------------------------

ZTC_API HRESULT IZtArguments_get_Item(void* h, int index, void** item) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::get_Item, index, OutObject<IZtArgumentEntry>(item));
}
ZTC_API HRESULT IZtArguments_get_Count(void* h, int* count) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::get_Count, count);
}
ZTC_API HRESULT IZtArguments_get_Size(void* h, int* count) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::get_Size, count);
}
ZTC_API HRESULT IZtArguments_Add(void* h, const VARIANT* value) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::Add, InVariant(value));
}

namespace {

// The C array gathered into a one-dimensional SAFEARRAY of VT_VARIANT
// (lower bound 0), destroyed with the converter. Creation, locking or
// placing an element failing ends the call with E_FAIL.
class InVariantArray {
public:
    InVariantArray(const VARIANT* values, int count) noexcept : m_values(values), m_count(count) {}
    ~InVariantArray() {
        if (!m_array) return;
        ZtAtlCom::SafeArrayUnlock(m_array);
        ZtAtlCom::SafeArrayDestroy(m_array);
    }
    InVariantArray(InVariantArray&&) = delete;

    HRESULT Prepare() noexcept {
        // A negative count would become a huge element count.
        if (m_count < 0 || (!m_values && m_count > 0)) return ZtAtlCom::E_INVALIDARG;
        ZtAtlCom::SAFEARRAYBOUND bound{static_cast<ZtAtlCom::ULONG>(m_count), 0};
        ZtAtlCom::SAFEARRAY* array = ZtAtlCom::SafeArrayCreate(ZtAtlCom::VT_VARIANT, 1, &bound);
        if (!array) return ZtAtlCom::E_FAIL;
        if (ZtAtlCom::Failed(ZtAtlCom::SafeArrayLock(array))) {
            ZtAtlCom::SafeArrayDestroy(array);
            return ZtAtlCom::E_FAIL;
        }
        m_array = array;
        auto* slots = static_cast<ZtAtlCom::VARIANT*>(array->pvData);
        for (int i = 0; i < m_count; ++i) {
            ZtAtlCom::VARIANT copy;
            ZtAtlCom::VariantInit(&copy);
            HRESULT hr = ZtAtlCom::VariantCopy(&copy, reinterpret_cast<const ZtAtlCom::VARIANT*>(&m_values[i]));
            if (ZtAtlCom::Succeeded(hr)) hr = ZtAtlCom::VariantCopyInd(&slots[i], &copy);
            ZtAtlCom::VariantClear(&copy);
            if (ZtAtlCom::Failed(hr)) return ZtAtlCom::E_FAIL;
        }
        return ZtAtlCom::S_OK;
    }
    ZtAtlCom::SAFEARRAY* Arg() const noexcept { return m_array; }
    HRESULT Finish(HRESULT hr) const noexcept { return hr; }

private:
    const VARIANT* m_values;
    int m_count;
    ZtAtlCom::SAFEARRAY* m_array = nullptr;
};

}  // namespace

ZTC_API HRESULT IZtArguments_AddV(void* h, const VARIANT* values, int count) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::AddV, InVariantArray(values, count));
}
ZTC_API HRESULT IZtArguments_Set(void* h, int index, const VARIANT* value) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::Set, index, InVariant(value));
}
ZTC_API HRESULT IZtArguments_Remove(void* h, int index) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::Remove, index);
}
ZTC_API HRESULT IZtArguments_Clear(void* h) noexcept { return Call<IZtArguments>(h, &IZtArguments::Clear); }
ZTC_API HRESULT IZtArguments_get_TimeRaised(void* h, double* time) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::get_TimeRaised, time);
}
ZTC_API HRESULT IZtArguments_put_TimeRaised(void* h, double time) noexcept {
    return Call<IZtArguments>(h, &IZtArguments::put_TimeRaised, time);
}
