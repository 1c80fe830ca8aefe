#include "ZtEventLoggerVdlApi/VdlR3AdapterImpl.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "RouteRecord.h"

namespace ZtEventLoggerVdlApi {

namespace {

constexpr unsigned short kRouterPortAny = 0xFFFF;
constexpr unsigned int kRouterConnectArg2 = 4096;
constexpr unsigned int kRouterConnectArg3 = 80;
constexpr unsigned short kSystemServicePort = 10000;
constexpr unsigned int kRouteTableGroup = 803;
// A router that answers every route number would keep the listing going
// forever; no real table comes near this.
constexpr unsigned int kMaxRoutes = 4096;
constexpr unsigned long kMaxRequestLength = 0xFFFFFFFFul;

uint64_t Pack(const MrxNetId& id) {
    uint64_t v = 0;
    for (int i = 0; i < 6; ++i) v |= static_cast<uint64_t>(id.b[i]) << (8 * i);
    return v;
}

MrxNetId Unpack(uint64_t v) {
    MrxNetId id;
    for (int i = 0; i < 6; ++i) id.b[i] = static_cast<unsigned char>(v >> (8 * i));
    return id;
}

bool IsLocalAlias(std::string_view text) {
    return text.empty() || text == "localhost" || text == "127.0.0.1" || text == "127.0.0.1.1.1";
}

// Reads up to six dot-separated decimal numbers from a text of NetId shape the
// way "%d.%d.%d.%d.%d.%d" would, without its overflow: a number above 255 is
// clamped to 256 and so refused.
int ParseSixNumbers(std::string_view text, int (&numbers)[6]) {
    size_t pos = 0;
    int count = 0;
    while (count < 6) {
        if (count > 0) {
            if (pos >= text.size() || text[pos] != '.') break;
            ++pos;
        }
        size_t start = pos;
        int value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = std::min(value * 10 + (text[pos] - '0'), 256);
            ++pos;
        }
        if (pos == start) break;
        numbers[count++] = value;
    }
    return count;
}

}  // namespace

VdlR3AdapterImpl::VdlR3AdapterImpl() : m_sync(0, 0, "ZtEventLoggerVdlApi::VdlR3AdapterImpl") {}

VdlR3AdapterImpl::~VdlR3AdapterImpl() = default;

MrxNetId VdlR3AdapterImpl::TargetNetId() const { return Unpack(m_targetNetId.load(std::memory_order_acquire)); }

void VdlR3AdapterImpl::SetTargetNetId(const MrxNetId& id) { m_targetNetId.store(Pack(id), std::memory_order_release); }

// Reads the port's state without the connection mutex: notification listeners
// ask this on the router client's thread while holding the registry lock, and
// a Connect holding the connection mutex may be waiting for that registry lock
// (a listener subscribing). The port guards its own state.
bool VdlR3AdapterImpl::IsConnected() const {
    return m_sync.m_port.MrxPortIsOpen() != 0 && m_sync.m_port.MrxPortConnected() != 0;
}

void VdlR3AdapterImpl::NotifyListeners(ConnectionState state) const {
    for (IConnectionStateListener* l : m_listeners) l->OnConnectionStateChaned(state);
}

uint32_t VdlR3AdapterImpl::Connect(std::string_view target) {
    std::lock_guard<std::recursive_mutex> lk(m_connectionMutex);
    const bool portConnected = IsConnected();
    if (m_connected && target.empty() && portConnected) return VDL_OK;
    if (!portConnected) {
        if (m_sync.m_port.MrxConnect(kRouterPortAny, kRouterConnectArg2, kRouterConnectArg3) == 0)
            return m_sync.m_port.MrxGetLastError();
    }
    if (m_connected) {
        // The port was re-opened for the target already chosen.
        if (target.empty()) return VDL_OK;
        std::shared_lock<std::shared_mutex> ll(m_listenerLock);
        NotifyListeners(ConnectionState::TargetChanging);
    }

    auto [netId, error] = MrxNetIdFromString(target);
    SetTargetNetId(netId);
    if (error != VDL_OK) return error;

    std::shared_lock<std::shared_mutex> ll(m_listenerLock);
    for (IConnectionStateListener* l : m_listeners) {
        uint32_t rc = l->OnConnectionStateChaned(ConnectionState::Connected);
        if (rc != 0) {
            // Everyone hears Disconnected, also those never asked, so that a
            // listener that already subscribed can undo it.
            NotifyListeners(ConnectionState::Disconnected);
            m_connected = false;
            return rc;
        }
    }
    m_connected = true;
    return VDL_OK;
}

uint32_t VdlR3AdapterImpl::Disconnect() {
    std::shared_lock<std::shared_mutex> ll(m_listenerLock);
    NotifyListeners(ConnectionState::Disconnected);
    if (m_sync.m_port.MrxDisconnect() == 1) return VDL_OK;
    return m_sync.m_port.MrxGetLastError();
}

uint32_t VdlR3AdapterImpl::VdlSyncWriteControlReq(unsigned short port, unsigned short vdlState,
                                                  unsigned short deviceState, unsigned long length,
                                                  const void* data) const {
    if (length > kMaxRequestLength) return VDL_ERR_LENGTH_TOO_LARGE;
    MrxAddr addr(TargetNetId(), port);
    return m_sync.VdlSyncWriteControlReq(addr, vdlState, deviceState, static_cast<unsigned int>(length),
                                         const_cast<void*>(data));
}

uint32_t VdlR3AdapterImpl::VdlSyncReadStateReq(unsigned short port, unsigned short* vdlState,
                                               unsigned short* deviceState) {
    MrxAddr addr(TargetNetId(), port);
    return m_sync.VdlSyncReadStateReq(addr, vdlState, deviceState);
}

uint32_t VdlR3AdapterImpl::VdlSyncReadReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                          unsigned long length, void* data) {
    if (length > kMaxRequestLength) return VDL_ERR_LENGTH_TOO_LARGE;
    MrxAddr addr(TargetNetId(), port);
    return m_sync.VdlSyncReadReq(addr, indexGroup, indexOffset, static_cast<unsigned int>(length), data);
}

uint32_t VdlR3AdapterImpl::VdlSyncWriteReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                           unsigned long length, void* data) {
    if (length > kMaxRequestLength) return VDL_ERR_LENGTH_TOO_LARGE;
    MrxAddr addr(TargetNetId(), port);
    return m_sync.VdlSyncWriteReq(addr, indexGroup, indexOffset, static_cast<unsigned int>(length), data);
}

uint32_t VdlR3AdapterImpl::VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup,
                                               unsigned int indexOffset, unsigned long readLength, void* readData,
                                               unsigned long writeLength, void* writeData) {
    if (readLength > kMaxRequestLength || writeLength > kMaxRequestLength) return VDL_ERR_LENGTH_TOO_LARGE;
    MrxAddr addr(TargetNetId(), port);
    return m_sync.VdlSyncReadWriteReq(addr, indexGroup, indexOffset, static_cast<unsigned int>(readLength), readData,
                                      static_cast<unsigned int>(writeLength), writeData);
}

uint32_t VdlR3AdapterImpl::VdlSyncReadWriteReq(unsigned short port, unsigned int indexGroup,
                                               unsigned int indexOffset, unsigned long readLength, void* readData,
                                               unsigned long writeLength, void* writeData,
                                               unsigned long& bytesRead) {
    if (readLength > kMaxRequestLength || writeLength > kMaxRequestLength) return VDL_ERR_LENGTH_TOO_LARGE;
    MrxAddr addr(TargetNetId(), port);
    unsigned int count = 0;
    uint32_t rc = m_sync.VdlSyncReadWriteReq(addr, indexGroup, indexOffset, static_cast<unsigned int>(readLength),
                                             readData, static_cast<unsigned int>(writeLength), writeData, count);
    bytesRead = count;
    return rc;
}

uint32_t VdlR3AdapterImpl::VdlSyncSetTimeout(int milliseconds) {
    if (milliseconds <= 0) return VDL_ERR_BAD_TIMEOUT;
    std::lock_guard<std::mutex> lk(m_timeoutMutex);
    if (m_shortTimeoutUsers > 0)
        m_callerTimeout = milliseconds;
    else
        m_sync.m_timeout.store(milliseconds);
    return VDL_OK;
}

uint32_t VdlR3AdapterImpl::VdlSyncGetTimeout() {
    std::lock_guard<std::mutex> lk(m_timeoutMutex);
    return static_cast<uint32_t>(m_shortTimeoutUsers > 0 ? m_callerTimeout : m_sync.m_timeout.load());
}

void VdlR3AdapterImpl::BeginShortTimeout(int milliseconds) {
    std::lock_guard<std::mutex> lk(m_timeoutMutex);
    if (m_shortTimeoutUsers++ == 0) m_callerTimeout = m_sync.m_timeout.load();
    m_sync.m_timeout.store(milliseconds);
}

void VdlR3AdapterImpl::EndShortTimeout() {
    std::lock_guard<std::mutex> lk(m_timeoutMutex);
    if (--m_shortTimeoutUsers == 0) m_sync.m_timeout.store(m_callerTimeout);
}

uint32_t VdlR3AdapterImpl::AddListener(IConnectionStateListener* listener) {
    if (listener == nullptr) return VDL_ERR_INVALID_PARAMETER;
    std::unique_lock<std::shared_mutex> ll(m_listenerLock);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
    return VDL_OK;
}

uint32_t VdlR3AdapterImpl::RemoveListener(IConnectionStateListener* listener) {
    if (listener == nullptr) return VDL_ERR_INVALID_PARAMETER;
    std::unique_lock<std::shared_mutex> ll(m_listenerLock);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end()) m_listeners.erase(it);
    return VDL_OK;
}

bool VdlR3AdapterImpl::IsNetId(std::string_view text) {
    int digits = 0, dots = 0;
    for (char c : text) {
        // The limits are checked before each character, so a last group of
        // four digits or a trailing dot still passes.
        if (digits > 3 || dots > 5) return false;
        if (c == '.') {
            if (digits == 0) return false;
            ++dots;
            digits = 0;
        } else if (c < '0' || c > '9') {
            return false;
        } else {
            ++digits;
        }
    }
    return true;
}

std::pair<MrxNetId, uint32_t> VdlR3AdapterImpl::MrxNetIdFromString(std::string_view text) const {
    const MrxNetId zero{};
    if (IsLocalAlias(text)) return {IsConnected() ? m_sync.m_port.MrxGetNetId() : zero, VDL_OK};
    if (IsNetId(text)) {
        int n[6] = {};
        if (ParseSixNumbers(text, n) != 6) return {zero, VDL_ERR_TARGET_NOT_FOUND};
        MrxNetId id;
        for (int i = 0; i < 6; ++i) {
            if (n[i] < 0 || n[i] > 255) return {zero, VDL_ERR_TARGET_NOT_FOUND};
            id.b[i] = static_cast<unsigned char>(n[i]);
        }
        return {id, VDL_OK};
    }
    return MrxNetIdFromComputerName(text);
}

std::pair<MrxNetId, uint32_t> VdlR3AdapterImpl::MrxNetIdFromComputerName(std::string_view name) const {
    const MrxNetId zero{};
    if (auto nul = name.find('\0'); nul != std::string_view::npos) name = name.substr(0, nul);
    if (name.empty()) return {zero, VDL_ERR_TARGET_NOT_FOUND};
    auto [routes, listError] = ListVdlRoutes();
    for (const VdlRoute& r : routes) {
        if (r.name.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i) {
            unsigned char a = static_cast<unsigned char>(name[i]), b = static_cast<unsigned char>(r.name[i]);
            same = a == b || std::tolower(a) == std::tolower(b);
        }
        if (same) return {r.netId, VDL_OK};
    }
    // A table that could not be read whole is reported as such, not as "no such name".
    return {zero, listError != VDL_OK ? listError : VDL_ERR_TARGET_NOT_FOUND};
}

std::pair<std::vector<VdlRoute>, uint32_t> VdlR3AdapterImpl::ListVdlRoutes() const {
    std::vector<VdlRoute> routes;
    MrxAddr addr(m_sync.m_port.MrxGetNetId(), kSystemServicePort);
    std::vector<uint8_t> buffer(detail::kRouteRecordBuffer);
    uint32_t result = VDL_OK;
    for (unsigned int index = 0; index < kMaxRoutes; ++index) {
        // Cleared for every row so that a short row never shows bytes of the one before.
        std::fill(buffer.begin(), buffer.end(), 0);
        if (m_sync.VdlSyncReadReq(addr, kRouteTableGroup, index, static_cast<unsigned int>(buffer.size()),
                                  buffer.data()) != 0)
            break;  // the first failing row number ends the table
        auto route = detail::DecodeRouteRecord(buffer.data(), buffer.size());
        if (!route) {
            // Refused, and reported; the rows after it are still routes.
            result = VDL_ERR_INVALID_DATA;
            continue;
        }
        routes.push_back(std::move(*route));
    }
    return {std::move(routes), result};
}

}  // namespace ZtEventLoggerVdlApi
