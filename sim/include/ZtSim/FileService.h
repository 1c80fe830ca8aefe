// FileService.h - the file requests of a simulated target's system service
// (port 10000, index groups 120 to 139), working inside a sandbox folder.
//
// Every request names its path as text (NUL optional) relative to the
// sandbox, with '/' or '\' between the parts. A path that is absolute
// (starts with a separator or a drive "X:"), contains "..", names the sandbox
// itself, or leads through a symbolic link out of the sandbox is refused with
// kErrPathRefused before anything is touched.
//
//   120 open        offset 0x10011 (low bits 1): for reading; 0x10012 (low
//                   bits 2): for writing (created or emptied). Reads a 4-byte
//                   file handle. 1804: no such file / parent folder missing.
//   121 close       offset = handle.
//   122 read        offset = handle; up to the read length, 0 bytes at the end.
//   123 write       offset = handle; the bytes written.
//   131 delete      the file. 1804: no such file.
//   134 status      a 36-byte record: attributes (4: 0x10 folder, 0x80
//                   file), size (8), creation, access and change FILETIMEs (8
//                   each). 1804: nothing there.
//   138 make folder 1804: parent missing; 1827: already there.
//   139 remove folder 1804: no such folder; kErrPathRefused: not empty.
// Unknown handles give 1804, other groups of the range 1793.
#ifndef ZT_SIM_FILE_SERVICE_H
#define ZT_SIM_FILE_SERVICE_H

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "SimTypes.h"

namespace ZtSim {

class SystemService;

constexpr uint32_t kFileOpenGroup = 120;
constexpr uint32_t kFileCloseGroup = 121;
constexpr uint32_t kFileReadGroup = 122;
constexpr uint32_t kFileWriteGroup = 123;
constexpr uint32_t kFileDeleteGroup = 131;
constexpr uint32_t kFileStatusGroup = 134;
constexpr uint32_t kMkDirGroup = 138;
constexpr uint32_t kRmDirGroup = 139;
constexpr uint32_t kErrPathRefused = 1803;
constexpr size_t kFileStatusSize = 36;

class FileService {
public:
    // root: the sandbox folder, created when missing. An empty root makes a
    // fresh temporary folder that is removed with the service. Throws
    // std::runtime_error when the folder cannot be made.
    explicit FileService(const std::filesystem::path& root);
    ~FileService();
    FileService(const FileService&) = delete;
    FileService& operator=(const FileService&) = delete;

    // Serves groups 120 to 139 of the given system service, which then shares
    // the ownership of files.
    static void Register(const std::shared_ptr<FileService>& files, SystemService& service);
    Reply Handle(const Request& request);

    const std::filesystem::path& Root() const { return root_; }
    // Files opened and not closed yet.
    size_t OpenFiles() const;

    // The path a request names, inside the sandbox; nullopt when refused.
    std::optional<std::filesystem::path> Resolve(std::span<const uint8_t> text) const;

private:
    struct OpenFile {
        std::FILE* file = nullptr;
        bool forWriting = false;
    };
    Reply Open(const Request& request);
    Reply Chunk(const Request& request);
    Reply Close(uint32_t handle);
    Reply PathRequest(const Request& request);

    std::filesystem::path root_;  // canonical
    bool ownsRoot_ = false;
    mutable std::mutex mutex_;
    std::map<uint32_t, OpenFile> files_;
    uint32_t nextHandle_ = 1;
};

}  // namespace ZtSim

#endif  // ZT_SIM_FILE_SERVICE_H
