// VdlAccessImpl: files, target information, runtime state and state changes,
// all through the target's system service.
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "LittleEndian.h"
#include "TargetPath.h"
#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"

namespace ZtEventLoggerVdlApi {

namespace {

constexpr unsigned short kSystemPort = 10000;
constexpr unsigned int kOpenGroup = 120;
constexpr unsigned int kCloseGroup = 121;
constexpr unsigned int kReadGroup = 122;
constexpr unsigned int kWriteGroup = 123;
constexpr unsigned int kDeleteGroup = 131;
constexpr unsigned int kStatusGroup = 134;
constexpr unsigned int kMkDirGroup = 138;
constexpr unsigned int kRmDirGroup = 139;
constexpr unsigned int kTargetInfoGroup = 700;
constexpr unsigned int kOpenForReading = 0x10011;
constexpr unsigned int kOpenForWriting = 0x10012;
constexpr unsigned int kDeleteOffset = 0x10852;
constexpr unsigned int kPathOffset = 1;
constexpr unsigned int kTargetInfoOffset = 1;
constexpr unsigned long kReadChunk = 0x8000;
constexpr unsigned long kWriteChunk = 0x3F00;
// Longer than any description a target gives; a larger length is a bad reply
// and would otherwise decide an allocation.
constexpr uint32_t kMaxTargetInfo = 1024u * 1024u;
// A target that never reports the end of a file would otherwise fill the
// host's memory.
constexpr size_t kMaxFileSize = 256u * 1024u * 1024u;

constexpr unsigned short kControlToRun = 2;
constexpr unsigned short kControlToConfig = 16;
constexpr int kChangeTimeoutMs = 200;
constexpr int kPolls = 100;
constexpr auto kPollInterval = std::chrono::milliseconds(100);

}  // namespace

int VdlAccessImpl::PathRequest(unsigned int group, unsigned int offset, std::string_view path, void* readData,
                               unsigned long readLength, unsigned long* bytesRead) {
    std::string request(path);
    request.push_back('\0');
    unsigned long count = 0;
    uint32_t rc = m_adapter.VdlSyncReadWriteReq(kSystemPort, group, offset, readLength, readData, request.size(),
                                                request.data(), count);
    if (bytesRead != nullptr) *bytesRead = count;
    return static_cast<int>(rc);
}

std::pair<uint32_t, int> VdlAccessImpl::OpenFile(std::string_view path, unsigned int mode) {
    uint8_t reply[4] = {};
    unsigned long bytesRead = 0;
    int rc = PathRequest(kOpenGroup, mode, path, reply, sizeof(reply), &bytesRead);
    if (rc != 0) return {0, rc};
    if (bytesRead != sizeof(reply)) return {0, VDL_ERR_INVALID_DATA};
    return {detail::Le32(reply), VDL_OK};
}

namespace {

// Closes an open file on every way out; Close() gives the close request's code.
class OpenFileGuard {
public:
    OpenFileGuard(VdlR3AdapterCore& adapter, uint32_t handle) : adapter_(adapter), handle_(handle) {}
    ~OpenFileGuard() {
        try {
            Close();
        } catch (...) {
            // Out of memory while closing: nothing more can be done here.
        }
    }
    OpenFileGuard(const OpenFileGuard&) = delete;
    OpenFileGuard& operator=(const OpenFileGuard&) = delete;

    int Close() {
        if (closed_) return VDL_OK;
        closed_ = true;
        return static_cast<int>(
            adapter_.VdlSyncReadWriteReq(kSystemPort, kCloseGroup, handle_, 0, nullptr, 0, nullptr));
    }

private:
    VdlR3AdapterCore& adapter_;
    const uint32_t handle_;
    bool closed_ = false;
};

}  // namespace

std::pair<std::string, int> VdlAccessImpl::ReadFile(std::string_view path) {
    auto [handle, rc] = OpenFile(path, kOpenForReading);
    if (rc != 0) return {std::string(), rc};
    OpenFileGuard file(m_adapter, handle);
    std::string contents;
    std::vector<char> chunk(kReadChunk);
    int chunkError = VDL_OK;
    for (;;) {
        unsigned long bytesRead = 0;
        chunkError = static_cast<int>(m_adapter.VdlSyncReadWriteReq(kSystemPort, kReadGroup, handle, chunk.size(),
                                                                     chunk.data(), 0, nullptr, bytesRead));
        if (chunkError != VDL_OK || bytesRead == 0) break;
        if (bytesRead > chunk.size()) {
            chunkError = VDL_ERR_INVALID_DATA;
            break;
        }
        if (bytesRead > kMaxFileSize - contents.size()) {
            chunkError = VDL_ERR_INVALID_SIZE;
            break;
        }
        contents.append(chunk.data(), bytesRead);
    }
    const int closeError = file.Close();
    // A chunk that failed is reported: the contents would otherwise pass for the whole file.
    return {std::move(contents), chunkError != VDL_OK ? chunkError : closeError};
}

int VdlAccessImpl::WriteFile(std::string_view path, std::string_view text) {
    auto [handle, rc] = OpenFile(path, kOpenForWriting);
    if (rc != 0) return rc;
    OpenFileGuard file(m_adapter, handle);
    std::string data(text);
    data.push_back('\0');  // the terminating 0 is part of what is written
    for (size_t at = 0; at < data.size(); at += kWriteChunk) {
        const size_t n = std::min<size_t>(kWriteChunk, data.size() - at);
        rc = static_cast<int>(
            m_adapter.VdlSyncReadWriteReq(kSystemPort, kWriteGroup, handle, 0, nullptr, n, data.data() + at));
        if (rc != VDL_OK) return rc;  // the guard closes the file
    }
    return file.Close();
}

int VdlAccessImpl::MkDir(std::string_view path) {
    const std::vector<std::string> chain = detail::PathChain(path);
    std::vector<const std::string*> missing;  // highest first
    int pathError = VDL_OK;
    bool madeParent = false;
    for (size_t i = 0; i < chain.size(); ++i) {
        int rc = PathRequest(kMkDirGroup, kPathOffset, chain[i]);
        if (rc == VDL_OK) {
            madeParent = i > 0;
            break;
        }
        if (rc == VDL_ERR_NOT_FOUND) {
            missing.insert(missing.begin(), &chain[i]);
        } else if (i == 0 && rc != VDL_ERR_DIR_EXISTS) {
            pathError = rc;
        }
    }
    for (const std::string* dir : missing) {
        int rc = PathRequest(kMkDirGroup, kPathOffset, *dir);
        if (rc != VDL_OK && rc != VDL_ERR_DIR_EXISTS) return rc;
    }
    if (pathError == VDL_OK || (missing.empty() && !madeParent)) return pathError;
    // The full path failed otherwise while parents were missing; now that they
    // exist it is tried once more, and that attempt decides.
    int rc = PathRequest(kMkDirGroup, kPathOffset, chain.front());
    return rc == VDL_ERR_DIR_EXISTS ? static_cast<int>(VDL_OK) : rc;
}

int VdlAccessImpl::RmDir(std::string_view path) { return PathRequest(kRmDirGroup, kPathOffset, path); }

int VdlAccessImpl::RmFile(std::string_view path) { return PathRequest(kDeleteGroup, kDeleteOffset, path); }

std::pair<FileStatusRecord, int> VdlAccessImpl::GetFileStatus(std::string_view path) {
    FileStatusRecord record{};
    int rc = PathRequest(kStatusGroup, kPathOffset, path, record.data(), record.size());
    return {record, rc};
}

std::pair<std::string, int> VdlAccessImpl::GetTargetInfo() {
    uint8_t length[4] = {};
    int rc = static_cast<int>(m_adapter.VdlSyncReadReq(kSystemPort, kTargetInfoGroup, kTargetInfoOffset,
                                                       sizeof(length), length));
    if (rc != VDL_OK) return {std::string(), rc};
    const uint32_t size = detail::Le32(length);
    if (size > kMaxTargetInfo) return {std::string(), VDL_ERR_INVALID_DATA};
    std::string text(size, '\0');
    if (size == 0) return {std::move(text), VDL_OK};
    rc = static_cast<int>(
        m_adapter.VdlSyncReadReq(kSystemPort, kTargetInfoGroup, kTargetInfoOffset, size, text.data()));
    if (rc != VDL_OK) return {std::string(), rc};
    return {std::move(text), VDL_OK};
}

unsigned short VdlAccessImpl::GetVdlState() {
    unsigned short state = 0, device = 0;
    if (m_adapter.VdlSyncReadStateReq(kSystemPort, &state, &device) != VDL_OK) return 0;
    return state;
}

bool VdlAccessImpl::SetConfigMode() { return ChangeState(kControlToConfig, VDL_STATE_CONFIG); }

bool VdlAccessImpl::RestartCorvex() { return ChangeState(kControlToRun, VDL_STATE_RUN); }

bool VdlAccessImpl::ChangeState(unsigned short control, unsigned short wanted) {
    // The short time-out keeps each poll short while the runtime restarts;
    // the caller's own time-out comes back on every way out.
    struct TimeoutGuard {
        VdlR3AdapterCore& adapter;
        uint32_t saved;
        ~TimeoutGuard() {
            if (saved != 0) adapter.VdlSyncSetTimeout(static_cast<int>(saved));
        }
    } timeout{m_adapter, m_adapter.VdlSyncGetTimeout()};
    m_adapter.VdlSyncSetTimeout(kChangeTimeoutMs);

    unsigned short state = 0, device = 0;
    const bool firstRead = m_adapter.VdlSyncReadStateReq(kSystemPort, &state, &device) == VDL_OK;
    // Not checked: a runtime going down for the change may not answer it.
    m_adapter.VdlSyncWriteControlReq(kSystemPort, control, 0, 0, nullptr);

    unsigned short last = firstRead ? state : 0;
    int budget = kPolls;
    if (firstRead && state == wanted) {
        // Already there: the change is a reconfiguration; wait for it to start.
        int used = 0;
        while (used < kPolls) {
            std::this_thread::sleep_for(kPollInterval);
            ++used;
            if (m_adapter.VdlSyncReadStateReq(kSystemPort, &state, &device) != VDL_OK) {
                last = 0;
                break;
            }
            last = state;
            if (state != wanted) break;
        }
        budget = kPolls - used;
    }
    while (budget > 0) {
        std::this_thread::sleep_for(kPollInterval);
        --budget;
        last = m_adapter.VdlSyncReadStateReq(kSystemPort, &state, &device) == VDL_OK ? state : 0;
        if (last == wanted) break;
    }
    return last == wanted;
}

}  // namespace ZtEventLoggerVdlApi
