// VdlAccessImpl: construction and symbol access. Files, target information and
// state changes are in VdlAccessImplTarget.cpp.
#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "LittleEndian.h"
#include "SymbolRecord.h"
#include "ValueText.h"

namespace ZtEventLoggerVdlApi {

static_assert(std::endian::native == std::endian::little, "values travel little-endian, as the host holds them");

namespace {

constexpr unsigned int kHandleByName = 0xF003;
constexpr unsigned int kValueByHandle = 0xF005;
constexpr unsigned int kReleaseHandle = 0xF006;
constexpr unsigned int kInfoByName = 0xF009;
constexpr unsigned long kInfoBuffer = 1024;
// A value larger than this is not a symbol but a malformed description; its
// size would otherwise decide an allocation.
constexpr uint32_t kMaxValueSize = 64u * 1024u * 1024u;

// The name as the target expects it: with its terminating 0.
std::string NameRequest(std::string_view name) {
    std::string s(name);
    s.push_back('\0');
    return s;
}

template <class T>
std::string FormatNumber(T v) {
    // 8-bit values print as numbers, with their sign.
    if constexpr (sizeof(T) == 1) return std::to_string(static_cast<int>(v));
    else return std::to_string(v);
}

}  // namespace

VdlAccessImpl::VdlAccessImpl(std::string_view target, unsigned short symbolPort)
    : m_target(target), m_port(symbolPort) {
    // Not checked: a target that cannot be reached shows in every request.
    m_adapter.Connect(m_target.c_str());
}

VdlAccessImpl::~VdlAccessImpl() { m_adapter.Disconnect(); }

uint32_t VdlAccessImpl::VdlSyncAddDeviceNotificationReq(unsigned short port, unsigned int indexGroup,
                                                        unsigned int indexOffset, IVdlNotificationListener* listener,
                                                        long userValue) {
    return m_adapter.VdlSyncAddDeviceNotificationReq(port, indexGroup, indexOffset, listener, userValue);
}

uint32_t VdlAccessImpl::VdlSyncAddDeviceNotificationReq(unsigned int indexGroup, unsigned int indexOffset,
                                                        IVdlNotificationListener* listener, long userValue) {
    return m_adapter.VdlSyncAddDeviceNotificationReq(m_port, indexGroup, indexOffset, listener, userValue);
}

uint32_t VdlAccessImpl::VdlSyncDelDeviceNotificationReq(unsigned short port, IVdlNotificationListener* listener,
                                                        long userValue) {
    return m_adapter.VdlSyncDelDeviceNotificationReq(port, listener, userValue);
}

uint32_t VdlAccessImpl::VdlSyncDelDeviceNotificationReq(IVdlNotificationListener* listener, long userValue) {
    return m_adapter.VdlSyncDelDeviceNotificationReq(m_port, listener, userValue);
}

std::pair<uint32_t, int> VdlAccessImpl::GetHandle(std::string_view name) {
    std::string request = NameRequest(name);
    uint8_t reply[4] = {};
    unsigned long bytesRead = 0;
    uint32_t rc = m_adapter.VdlSyncReadWriteReq(m_port, kHandleByName, 0, sizeof(reply), reply, request.size(),
                                                request.data(), bytesRead);
    if (rc != VDL_OK) return {0, static_cast<int>(rc)};
    if (bytesRead != sizeof(reply)) return {0, VDL_ERR_INVALID_DATA};
    return {detail::Le32(reply), VDL_OK};
}

int VdlAccessImpl::ReleaseHandle(uint32_t handle) {
    auto request = detail::Le32Bytes(handle);
    return static_cast<int>(m_adapter.VdlSyncWriteReq(m_port, kReleaseHandle, 0, request.size(), request.data()));
}

SymbolInfo VdlAccessImpl::GetSymbolInfo(std::string_view name) {
    SymbolInfo info;
    std::string request = NameRequest(name);
    std::vector<uint8_t> reply(kInfoBuffer);
    unsigned long bytesRead = 0;
    uint32_t rc = m_adapter.VdlSyncReadWriteReq(m_port, kInfoByName, 0, reply.size(), reply.data(), request.size(),
                                                request.data(), bytesRead);
    if (rc == VDL_OK)
        rc = detail::DecodeSymbolRecord(reply.data(), std::min<unsigned long>(bytesRead, reply.size()), info);
    if (rc != VDL_OK) {
        info = SymbolInfo{};
        info.error = static_cast<int32_t>(rc);
    }
    return info;
}

int VdlAccessImpl::ReadValue(const SymbolHandle& handle, void* data, unsigned long size) {
    return static_cast<int>(m_adapter.VdlSyncReadReq(m_port, kValueByHandle, handle.Handle(), size, data));
}

int VdlAccessImpl::WriteValue(const SymbolHandle& handle, const void* data, unsigned long size) {
    return static_cast<int>(
        m_adapter.VdlSyncWriteReq(m_port, kValueByHandle, handle.Handle(), size, const_cast<void*>(data)));
}

std::pair<std::string, int> VdlAccessImpl::Read(std::string_view name) {
    SymbolInfo info = GetSymbolInfo(name);
    if (info.error != 0) return {std::string(), info.error};
    SymbolHandle handle(*this, name);
    if (handle.Error() != 0) return {std::string(), handle.Error()};
    switch (info.dataType) {
        case VDL_TYPE_INT16: return ReadNumeric<int16_t>(handle, info);
        case VDL_TYPE_INT32: return ReadNumeric<int32_t>(handle, info);
        case VDL_TYPE_REAL32: return ReadNumeric<float>(handle, info);
        case VDL_TYPE_REAL64: return ReadNumeric<double>(handle, info);
        case VDL_TYPE_INT8:
        case VDL_TYPE_BIT: return ReadNumeric<int8_t>(handle, info);
        case VDL_TYPE_UINT8: return ReadNumeric<uint8_t>(handle, info);
        case VDL_TYPE_UINT16: return ReadNumeric<uint16_t>(handle, info);
        case VDL_TYPE_UINT32: return ReadNumeric<uint32_t>(handle, info);
        case VDL_TYPE_INT64: return ReadNumeric<int64_t>(handle, info);
        case VDL_TYPE_UINT64: return ReadNumeric<uint64_t>(handle, info);
        case VDL_TYPE_STRING: return ReadString<std::string>(handle, info);
        case VDL_TYPE_WSTRING: return ReadString<std::u16string>(handle, info);
        case VDL_TYPE_STRUCT: return ReadStruct(handle, info);
        default: return {std::string(), VDL_ERR_SERVICE_NOT_SUPPORTED};
    }
}

int VdlAccessImpl::Write(std::string_view name, std::string text) {
    SymbolInfo info = GetSymbolInfo(name);
    if (info.error != 0) return info.error;
    SymbolHandle handle(*this, name);
    if (handle.Error() != 0) return handle.Error();
    switch (info.dataType) {
        case VDL_TYPE_INT16: return WriteNumeric<int16_t>(handle, info, text);
        case VDL_TYPE_INT32: return WriteNumeric<int32_t>(handle, info, text);
        case VDL_TYPE_REAL32: return WriteNumeric<float>(handle, info, text);
        case VDL_TYPE_REAL64: return WriteNumeric<double>(handle, info, text);
        case VDL_TYPE_INT8:
        case VDL_TYPE_BIT: return WriteNumeric<int8_t>(handle, info, text);
        case VDL_TYPE_UINT8: return WriteNumeric<uint8_t>(handle, info, text);
        case VDL_TYPE_UINT16: return WriteNumeric<uint16_t>(handle, info, text);
        case VDL_TYPE_UINT32: return WriteNumeric<uint32_t>(handle, info, text);
        case VDL_TYPE_INT64: return WriteNumeric<int64_t>(handle, info, text);
        case VDL_TYPE_UINT64: return WriteNumeric<uint64_t>(handle, info, text);
        case VDL_TYPE_STRING: return WriteString<std::string>(handle, info, text);
        case VDL_TYPE_WSTRING: return WriteString<std::u16string>(handle, info, text);
        case VDL_TYPE_STRUCT: return WriteStruct(handle, info, text);
        default: return VDL_ERR_SERVICE_NOT_SUPPORTED;
    }
}

template <class T>
std::pair<std::string, int> VdlAccessImpl::ReadNumeric(const SymbolHandle& handle, const SymbolInfo& info) {
    // Exactly the variable's width is moved: a symbol of another size would be
    // read past it or only in part.
    if (info.size != sizeof(T)) return {std::string(), VDL_ERR_INVALID_SIZE};
    T value{};
    if (int rc = ReadValue(handle, &value, sizeof(T)); rc != 0) return {std::string(), rc};
    return {FormatNumber(value), VDL_OK};
}

template <class T>
int VdlAccessImpl::WriteNumeric(const SymbolHandle& handle, const SymbolInfo& info, const std::string& text) {
    if (info.size != sizeof(T)) return VDL_ERR_INVALID_SIZE;
    T value;
    if constexpr (std::is_floating_point_v<T>) {
        if constexpr (std::is_same_v<T, float>) value = detail::ParseFloat(text);
        else value = detail::ParseDouble(text);
        if (std::isnan(value)) return VDL_ERR_INVALID_PARAMETER;
    } else if constexpr (std::is_signed_v<T>) {
        long long v = detail::ParseSigned(text);
        if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return VDL_ERR_INVALID_PARAMETER;
        value = static_cast<T>(v);
    } else {
        bool negative = false;
        unsigned long long v = detail::ParseUnsigned(text, negative);
        // std::stoull takes "-1" as the largest value; for 64 bits nothing else would catch it.
        if ((negative && v != 0) || v > std::numeric_limits<T>::max()) return VDL_ERR_INVALID_PARAMETER;
        value = static_cast<T>(v);
    }
    return WriteValue(handle, &value, sizeof(T));
}

template <class S>
std::pair<std::string, int> VdlAccessImpl::ReadString(const SymbolHandle& handle, const SymbolInfo& info) {
    if (info.size > kMaxValueSize) return {std::string(), VDL_ERR_INVALID_SIZE};
    std::string bytes(info.size, '\0');
    if (int rc = ReadValue(handle, bytes.data(), bytes.size()); rc != 0) return {std::string(), rc};
    if constexpr (std::is_same_v<S, std::string>) {
        return {std::move(bytes), VDL_OK};
    } else {
        // An odd size leaves its last byte out: it holds no whole unit.
        std::u16string units;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            auto u = static_cast<char16_t>(detail::Le16(reinterpret_cast<const uint8_t*>(bytes.data() + i)));
            if (u == 0) break;
            units.push_back(u);
        }
        std::string text;
        if (!detail::Utf16ToUtf8(units, text)) return {std::string(), VDL_ERR_INVALID_DATA};
        return {std::move(text), VDL_OK};
    }
}

template <class S>
int VdlAccessImpl::WriteString(const SymbolHandle& handle, const SymbolInfo& info, const std::string& text) {
    if constexpr (std::is_same_v<S, std::string>) {
        if (text.size() + 1 > info.size) return VDL_ERR_INVALID_SIZE;
        return WriteValue(handle, text.c_str(), text.size() + 1);
    } else {
        std::u16string units;
        if (!detail::Utf8ToUtf16(text, units)) return VDL_ERR_INVALID_SIZE;
        if (units.size() + 1 > info.size / 2) return VDL_ERR_INVALID_SIZE;
        std::vector<uint8_t> bytes;
        bytes.reserve((units.size() + 1) * 2);
        for (char16_t u : units) {
            bytes.push_back(static_cast<uint8_t>(u));
            bytes.push_back(static_cast<uint8_t>(u >> 8));
        }
        bytes.insert(bytes.end(), 2, 0);
        return WriteValue(handle, bytes.data(), bytes.size());
    }
}

std::pair<std::string, int> VdlAccessImpl::ReadStruct(const SymbolHandle& handle, const SymbolInfo& info) {
    if (info.size > kMaxValueSize) return {std::string(), VDL_ERR_INVALID_SIZE};
    std::vector<uint8_t> bytes(info.size, 0);
    if (int rc = ReadValue(handle, bytes.data(), bytes.size()); rc != 0) return {std::string(), rc};
    return {detail::HexText(bytes.data(), bytes.size()), VDL_OK};
}

int VdlAccessImpl::WriteStruct(const SymbolHandle& handle, const SymbolInfo& info, const std::string& text) {
    // The size is the target's word: the same bound as for reading.
    if (info.size > kMaxValueSize) return VDL_ERR_INVALID_SIZE;
    std::vector<uint8_t> bytes;
    if (uint32_t rc = detail::ParseHexText(text, info.size, bytes); rc != VDL_OK) return static_cast<int>(rc);
    return WriteValue(handle, bytes.data(), bytes.size());
}

// The value types a symbol can have.
#define ZT_NUMERIC(T)                                                                                       \
    template std::pair<std::string, int> VdlAccessImpl::ReadNumeric<T>(const SymbolHandle&,     \
                                                                                 const SymbolInfo&);      \
    template int VdlAccessImpl::WriteNumeric<T>(const SymbolHandle&, const SymbolInfo&, const std::string&);
ZT_NUMERIC(int8_t)
ZT_NUMERIC(int16_t)
ZT_NUMERIC(int32_t)
ZT_NUMERIC(int64_t)
ZT_NUMERIC(uint8_t)
ZT_NUMERIC(uint16_t)
ZT_NUMERIC(uint32_t)
ZT_NUMERIC(uint64_t)
ZT_NUMERIC(float)
ZT_NUMERIC(double)
#undef ZT_NUMERIC
template std::pair<std::string, int> VdlAccessImpl::ReadString<std::string>(const SymbolHandle&,
                                                                                        const SymbolInfo&);
template std::pair<std::string, int> VdlAccessImpl::ReadString<std::u16string>(const SymbolHandle&,
                                                                                           const SymbolInfo&);
template int VdlAccessImpl::WriteString<std::string>(const SymbolHandle&, const SymbolInfo&,
                                                                const std::string&);
template int VdlAccessImpl::WriteString<std::u16string>(const SymbolHandle&, const SymbolInfo&,
                                                                   const std::string&);

}  // namespace ZtEventLoggerVdlApi
