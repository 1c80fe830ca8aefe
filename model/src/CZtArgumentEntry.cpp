#include "CZtArgumentEntry.h"

#include <cstring>
#include <type_traits>

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/ComVariant.h"
#include "ZtAtlCom/VariantValue.h"
#include "ZtEventProperties.h"

namespace ZtEventLoggerVdlProxy {

using namespace ZtAtlCom;

tagZtEventArgumentTypeEnum CZtArgumentEntry::TypeCodeOf(VARTYPE vt) noexcept {
    switch (vt) {
        case VT_BOOL: return ArgBoolean;
        case VT_I1: return ArgInt8;
        case VT_I2: return ArgInt16;
        case VT_I4: return ArgInt32;
        case VT_I8: return ArgInt64;
        case VT_UI1: return ArgUInt8;
        case VT_UI2: return ArgUInt16;
        case VT_UI4:
        case VT_INT:  // sent as unsigned 32-bit, as the service expects
        case VT_UINT: return ArgUInt32;
        case VT_UI8: return ArgUInt64;
        case VT_R4: return ArgFloat;
        case VT_R8:
        case VT_DECIMAL: return ArgDouble;
        case VT_BSTR: return ArgBstr;
        default: return ArgNone;  // also every VT_ARRAY and VT_BYREF combination
    }
}

HRESULT CZtArgumentEntry::Set(VARIANT value) {
    const tagZtEventArgumentTypeEnum type = TypeCodeOf(value.vt);
    if (type == ArgNone) return E_NOINTERFACE;
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopy(&copy, &value);
    if (Failed(hr)) return hr;
    {
        ObjectLock lock(this);
        std::swap(copy, m_value);
        m_type = type;
    }
    VariantClear(&copy);  // the old value, outside the lock
    return S_OK;
}

HRESULT CZtArgumentEntry::Get(VARIANT* value) {
    if (value == nullptr) return E_POINTER;
    ObjectLock lock(this);
    return VariantCopy(value, &m_value);
}

namespace {

// The runtime's coercion gives no value for VT_DECIMAL; an argument set from
// one is sent as a double, so the entry converts it itself.
double DecimalToDouble(const DECIMAL& d) noexcept {
    double value = static_cast<double>(d.Hi32) * 18446744073709551616.0 + static_cast<double>(d.Lo64);
    for (BYTE scale = d.scale; scale > 0; --scale) value /= 10.0;
    return (d.sign & 0x80) != 0 ? -value : value;
}

}  // namespace

template <class T>
HRESULT CZtArgumentEntry::ValueAs(T& out) const noexcept {
    if constexpr (std::is_same_v<T, double>) {
        if (m_value.vt == VT_DECIMAL) {
            out = DecimalToDouble(m_value.decVal);
            return S_OK;
        }
    }
    return VariantGetValue(m_value, out);
}

HRESULT CZtArgumentEntry::BooleanValue(bool& out) const noexcept {
    VARIANT_BOOL b = VARIANT_FALSE;
    if (m_value.vt == VT_BOOL) {
        b = m_value.boolVal;
    } else {
        CComVariant converted;
        HRESULT hr = VariantChangeType(&converted, &m_value, 0, VT_BOOL);
        if (Failed(hr)) return hr;
        b = converted.boolVal;
    }
    out = b == VARIANT_TRUE;
    return S_OK;
}

HRESULT CZtArgumentEntry::TextValue(std::string& out) const {
    CComVariant converted;
    HRESULT hr = VariantChangeType(&converted, &m_value, 0, VT_BSTR);
    if (Failed(hr)) return hr;
    out.assign(converted.bstrVal != nullptr ? converted.bstrVal : "", SysStringLen(converted.bstrVal));
    return hr;
}

HRESULT CZtArgumentEntry::GetBoolean(VARIANT_BOOL* value) {
    if (value == nullptr) return E_POINTER;
    ObjectLock lock(this);
    if (m_value.vt == VT_BOOL) {
        *value = m_value.boolVal;
        return S_OK;
    }
    CComVariant converted;
    HRESULT hr = VariantChangeType(&converted, &m_value, 0, VT_BOOL);
    if (Succeeded(hr)) *value = converted.boolVal;
    return hr;
}

HRESULT CZtArgumentEntry::GetBoolean(bool* value) {
    if (value == nullptr) return E_POINTER;
    ObjectLock lock(this);
    return BooleanValue(*value);
}

HRESULT CZtArgumentEntry::GetInt8(signed char* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetInt16(short* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetInt32(int* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetInt64(long* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetUInt8(unsigned char* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetUInt16(unsigned short* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetUInt32(unsigned int* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetUInt64(unsigned long* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetFloat(float* value) { return GetLocked(value); }
HRESULT CZtArgumentEntry::GetDouble(double* value) { return GetLocked(value); }

HRESULT CZtArgumentEntry::GetString(BSTR* value) {
    if (value == nullptr) return E_POINTER;
    return ZtAtlCall([&]() -> HRESULT {
        std::string text;
        HRESULT hr = GetString(text, true);
        if (Failed(hr)) return hr;
        HRESULT made = EventProperties::MakeBstr(text, value);
        return Failed(made) ? made : hr;
    });
}

HRESULT CZtArgumentEntry::GetString(std::string& value, bool /*bstr*/) const {
    return ZtAtlCall([&] {
        ObjectLock lock(this);
        return TextValue(value);
    });
}

unsigned int CZtArgumentEntry::SizeOfValue() const {
    switch (m_type) {
        case ArgBoolean:
        case ArgInt8:
        case ArgUInt8:
        case ArgChar: return 1;
        case ArgInt16:
        case ArgUInt16:
        case ArgWChar: return 2;
        case ArgInt32:
        case ArgUInt32:
        case ArgFloat: return 4;
        case ArgInt64:
        case ArgUInt64:
        case ArgDouble: return 8;
        case ArgString:
        case ArgBstr: {
            std::string text;
            if (Failed(TextValue(text)) || text.empty()) return 0;
            return static_cast<unsigned int>(text.size() + 1);
        }
        default: return 0;
    }
}

unsigned int CZtArgumentEntry::GetSize() const {
    try {
        ObjectLock lock(this);
        return SizeOfValue();
    } catch (...) {
        return 0;  // no memory for the text: nothing can be written either
    }
}

// Values go through a local: the destination is a running offset in a
// request buffer and need not be aligned.
template <class T, class Read>
static HRESULT WriteThrough(void* destination, Read&& read) {
    T value{};
    HRESULT hr = read(value);
    if (Succeeded(hr)) std::memcpy(destination, &value, sizeof(T));
    return hr;
}

HRESULT CZtArgumentEntry::WriteValue(void* destination) const {
    auto as = [this](auto& v) { return ValueAs(v); };
    switch (m_type) {
        case ArgBoolean: return WriteThrough<bool>(destination, [this](bool& v) { return BooleanValue(v); });
        case ArgInt8: return WriteThrough<signed char>(destination, as);
        case ArgInt16: return WriteThrough<short>(destination, as);
        case ArgInt32: return WriteThrough<int>(destination, as);
        case ArgInt64: return WriteThrough<long>(destination, as);
        case ArgUInt8: return WriteThrough<unsigned char>(destination, as);
        case ArgUInt16: return WriteThrough<unsigned short>(destination, as);
        case ArgUInt32: return WriteThrough<unsigned int>(destination, as);
        case ArgUInt64: return WriteThrough<unsigned long>(destination, as);
        case ArgFloat: return WriteThrough<float>(destination, as);
        case ArgDouble: return WriteThrough<double>(destination, as);
        case ArgString:
        case ArgBstr: {
            std::string text;
            HRESULT hr = TextValue(text);
            if (Failed(hr)) return hr;
            if (!text.empty()) std::memcpy(destination, text.c_str(), text.size() + 1);
            return S_OK;
        }
        default: return E_FAIL;
    }
}

HRESULT CZtArgumentEntry::GetData(void* destination) {
    if (destination == nullptr) return E_POINTER;
    return ZtAtlCall([&] {
        ObjectLock lock(this);
        return WriteValue(destination);
    });
}

HRESULT CZtArgumentEntry::GetData(tagZtEventArgumentTypeEnum* type, void* destination, unsigned int* size) {
    if (size == nullptr) return E_POINTER;
    return ZtAtlCall([&]() -> HRESULT {
        ObjectLock lock(this);
        *size = SizeOfValue();
        if (destination == nullptr) {
            if (type != nullptr) *type = m_type;
            return S_OK;
        }
        if (type == nullptr) return E_POINTER;
        *type = m_type;
        return WriteValue(destination);
    });
}

}  // namespace ZtEventLoggerVdlProxy
