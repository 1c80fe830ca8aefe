#include "ZtSim/FileService.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "ZtSim/SystemService.h"

namespace fs = std::filesystem;

namespace ZtSim {

namespace {

constexpr uint32_t kOpenRead = 1;
constexpr uint32_t kOpenWrite = 2;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;
// A read chunk larger than this is served in part: the client reads on.
constexpr uint32_t kMaxChunk = 1u << 20;

uint64_t FileTime(const timespec& ts) {
    constexpr uint64_t kEpochDelta = 116444736000000000ull;  // 1601 to 1970 in 100 ns
    return kEpochDelta + static_cast<uint64_t>(ts.tv_sec) * 10000000ull + static_cast<uint64_t>(ts.tv_nsec) / 100;
}

bool Inside(const fs::path& root, const fs::path& p) {
    auto [r, q] = std::mismatch(root.begin(), root.end(), p.begin(), p.end());
    return r == root.end();
}

}  // namespace

FileService::FileService(const fs::path& root) {
    std::error_code ec;
    fs::path dir = root;
    if (dir.empty()) {
        std::string tmpl = (fs::temp_directory_path(ec) / "zt-sim-XXXXXX").string();
        if (ec || ::mkdtemp(tmpl.data()) == nullptr)
            throw std::runtime_error("simulator: cannot make a sandbox folder");
        dir = tmpl;
        ownsRoot_ = true;
    } else {
        fs::create_directories(dir, ec);
    }
    root_ = fs::canonical(dir, ec);
    if (ec || !fs::is_directory(root_)) throw std::runtime_error("simulator: no sandbox folder " + dir.string());
}

FileService::~FileService() {
    for (auto& [h, f] : files_) std::fclose(f.file);
    if (ownsRoot_) {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
}

void FileService::Register(const std::shared_ptr<FileService>& files, SystemService& service) {
    for (uint32_t g = kFileOpenGroup; g <= kRmDirGroup; ++g)
        service.SetGroupHandler(g, [files](Target&, const Request& r) { return files->Handle(r); });
}

size_t FileService::OpenFiles() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return files_.size();
}

std::optional<fs::path> FileService::Resolve(std::span<const uint8_t> data) const {
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    if (text.empty() || text[0] == '/' || text[0] == '\\' || (text.size() >= 2 && text[1] == ':'))
        return std::nullopt;
    fs::path full = root_;
    bool any = false;
    std::error_code ec;
    bool exists = true;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view part = text.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        full /= std::string(part);
        any = true;
        if (!exists) continue;
        // A link may only lead to a place inside the sandbox (a dangling one is refused too).
        auto st = fs::symlink_status(full, ec);
        if (ec || !fs::exists(st)) {
            exists = false;
        } else if (fs::is_symlink(st)) {
            fs::path target = fs::canonical(full, ec);
            if (ec || !Inside(root_, target) || target == root_) return std::nullopt;
        }
    }
    if (!any) return std::nullopt;
    return full;
}

Reply FileService::Handle(const Request& request) {
    switch (request.indexGroup) {
        case kFileOpenGroup:
            return Open(request);
        case kFileCloseGroup: {
            std::lock_guard<std::mutex> lk(mutex_);
            return Close(request.indexOffset);
        }
        case kFileReadGroup:
        case kFileWriteGroup:
            return Chunk(request);
        case kFileDeleteGroup:
        case kFileStatusGroup:
        case kMkDirGroup:
        case kRmDirGroup:
            return PathRequest(request);
        default:
            return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    }
}

Reply FileService::Open(const Request& request) {
    auto path = Resolve(request.data);
    if (!path) return Reply::Error(kErrPathRefused);
    const uint32_t mode = request.indexOffset & 0xF;
    if (mode != kOpenRead && mode != kOpenWrite) return Reply::Error(MRX_ERR_INVALID_PARAMETER);
    // A client that cannot take the handle would never close the file.
    if (request.readLength < 4) return Reply::SizeHint(4);
    std::error_code ec;
    auto st = fs::status(*path, ec);
    if (fs::is_directory(st)) return Reply::Error(kErrPathRefused);
    if (mode == kOpenRead && !fs::is_regular_file(st)) return Reply::Error(MRX_ERR_NOT_FOUND);
    if (mode == kOpenWrite && !fs::is_directory(path->parent_path(), ec)) return Reply::Error(MRX_ERR_NOT_FOUND);
    std::FILE* f = std::fopen(path->c_str(), mode == kOpenRead ? "rb" : "wb");
    if (f == nullptr) return Reply::Error(mode == kOpenRead ? MRX_ERR_NOT_FOUND : kErrPathRefused);
    std::lock_guard<std::mutex> lk(mutex_);
    uint32_t handle = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;
    files_[handle] = OpenFile{f, mode == kOpenWrite};
    return Reply::Data(Bytes().U32(handle).Take());
}

Reply FileService::Close(uint32_t handle) {
    auto it = files_.find(handle);
    if (it == files_.end()) return Reply::Error(MRX_ERR_NOT_FOUND);
    int rc = std::fclose(it->second.file);
    files_.erase(it);
    return rc == 0 ? Reply::Ok() : Reply::Error(MRX_ERR_INVALID_DATA);
}

Reply FileService::Chunk(const Request& request) {
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = files_.find(request.indexOffset);
    if (it == files_.end()) return Reply::Error(MRX_ERR_NOT_FOUND);
    OpenFile& f = it->second;
    if (request.indexGroup == kFileReadGroup) {
        if (f.forWriting) return Reply::Error(MRX_ERR_INVALID_PARAMETER);
        std::vector<uint8_t> buf(std::min(request.readLength, kMaxChunk));
        size_t n = std::fread(buf.data(), 1, buf.size(), f.file);
        if (n < buf.size() && std::ferror(f.file)) return Reply::Error(MRX_ERR_INVALID_DATA);
        buf.resize(n);
        return Reply::Data(std::move(buf));
    }
    if (!f.forWriting) return Reply::Error(MRX_ERR_INVALID_PARAMETER);
    if (std::fwrite(request.data.data(), 1, request.data.size(), f.file) != request.data.size())
        return Reply::Error(MRX_ERR_INVALID_DATA);
    return Reply::Ok();
}

Reply FileService::PathRequest(const Request& request) {
    auto path = Resolve(request.data);
    if (!path) return Reply::Error(kErrPathRefused);
    std::error_code ec;
    auto lst = fs::symlink_status(*path, ec);
    const bool exists = fs::exists(lst);
    switch (request.indexGroup) {
        case kFileDeleteGroup:
            if (!exists) return Reply::Error(MRX_ERR_NOT_FOUND);
            if (fs::is_directory(lst)) return Reply::Error(kErrPathRefused);
            return fs::remove(*path, ec) ? Reply::Ok() : Reply::Error(kErrPathRefused);
        case kFileStatusGroup: {
            struct stat st {};
            if (::stat(path->c_str(), &st) != 0) return Reply::Error(MRX_ERR_NOT_FOUND);
            const bool dir = S_ISDIR(st.st_mode);
            Bytes b;
            b.U32(dir ? kAttrDirectory : kAttrNormal)
                .U64(dir ? 0 : static_cast<uint64_t>(st.st_size))
                .U64(FileTime(st.st_ctim))
                .U64(FileTime(st.st_atim))
                .U64(FileTime(st.st_mtim));
            return Reply::Data(b.Take());
        }
        case kMkDirGroup:
            if (exists) return Reply::Error(MRX_ERR_ALREADY_EXISTS);
            if (!fs::is_directory(path->parent_path(), ec)) return Reply::Error(MRX_ERR_NOT_FOUND);
            return fs::create_directory(*path, ec) ? Reply::Ok() : Reply::Error(kErrPathRefused);
        case kRmDirGroup:
            if (!exists) return Reply::Error(MRX_ERR_NOT_FOUND);
            if (!fs::is_directory(lst) || !fs::is_empty(*path, ec)) return Reply::Error(kErrPathRefused);
            return fs::remove(*path, ec) ? Reply::Ok() : Reply::Error(kErrPathRefused);
        default:
            return Reply::Error(MRX_ERR_SERVICE_NOT_SUPPORTED);
    }
}

}  // namespace ZtSim
