#include "ZtEventLoggerVdlApi/VdlAccess.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "ZtEventLoggerVdlApi/VdlAccessImpl.h"

namespace ZtEventLoggerVdlApi {

namespace {

// Runs an operation of the implementation and turns whatever it throws into
// a code: no exception may cross the library's border.
template <class F>
uint32_t Guarded(F&& f) noexcept {
    try {
        return static_cast<uint32_t>(f());
    } catch (const std::invalid_argument&) {
        return VDL_ERR_INVALID_PARAMETER;
    } catch (const std::out_of_range&) {
        return VDL_ERR_INVALID_PARAMETER;
    } catch (const std::bad_alloc&) {
        return VDL_ERR_NO_MEMORY;
    } catch (const std::length_error&) {
        return VDL_ERR_NO_MEMORY;
    } catch (...) {
        return VDL_ERR_INVALID_DATA;
    }
}

// A new[] copy of n bytes and a terminating 0.
char* NewText(const char* bytes, size_t n) {
    char* out = new char[n + 1];
    std::memcpy(out, bytes, n);
    out[n] = '\0';
    return out;
}

}  // namespace

VdlAccess::VdlAccess(const char* target, unsigned short symbolPort)
    : m_impl(new VdlAccessImpl(target != nullptr ? target : "", symbolPort)) {}

VdlAccess::~VdlAccess() { delete m_impl; }

uint32_t VdlAccess::ReadCore(const char* name, char** text) {
    if (name == nullptr || text == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] {
        auto [value, rc] = m_impl->Read(name);
        if (rc != 0) return rc;
        // A string symbol comes with its padding; the text ends at its first 0.
        *text = NewText(value.c_str(), std::strlen(value.c_str()));
        return 0;
    });
}

uint32_t VdlAccess::WriteCore(const char* name, const char* text) {
    if (name == nullptr || text == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] { return m_impl->Write(name, text); });
}

uint32_t VdlAccess::MkDirCore(const char* path) {
    if (path == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] { return m_impl->MkDir(path); });
}

uint32_t VdlAccess::RmDirCore(const char* path) {
    if (path == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] { return m_impl->RmDir(path); });
}

uint32_t VdlAccess::RmFileCore(const char* path) {
    if (path == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] { return m_impl->RmFile(path); });
}

uint32_t VdlAccess::FileExistsCore(const char* path, bool& exists) {
    exists = false;
    if (path == nullptr) return VDL_ERR_INVALID_PARAMETER;
    Guarded([&] {
        exists = m_impl->GetFileStatus(path).second == 0;
        return 0;
    });
    return VDL_OK;
}

uint32_t VdlAccess::ReadFileCore(const char* path, char** text) {
    if (path == nullptr || text == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] {
        auto [contents, rc] = m_impl->ReadFile(path);
        if (rc != 0) return rc;
        *text = NewText(contents.data(), contents.size());
        return 0;
    });
}

uint32_t VdlAccess::WriteFileCore(const char* path, const char* text) {
    if (path == nullptr || text == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] { return m_impl->WriteFile(path, text); });
}

uint32_t VdlAccess::GetTargetInfoCore(char** text) {
    if (text == nullptr) return VDL_ERR_INVALID_PARAMETER;
    return Guarded([&] {
        auto [info, rc] = m_impl->GetTargetInfo();
        if (rc != 0) return rc;
        *text = NewText(info.data(), info.size());
        return 0;
    });
}

int VdlAccess::GetCORVEXState() {
    unsigned short state = 0;
    Guarded([&] {
        state = m_impl->GetVdlState();
        return 0;
    });
    switch (state) {
        case VDL_STATE_RUN: return CORVEX_STATE_RUN;
        case VDL_STATE_CONFIG: return CORVEX_STATE_CONFIG;
        case VDL_STATE_STOP: return CORVEX_STATE_STOP;
        case VDL_STATE_ERROR: return CORVEX_STATE_ERROR;
        default: return CORVEX_STATE_UNKNOWN;
    }
}

bool VdlAccess::SetConfigMode() {
    bool reached = false;
    Guarded([&] {
        reached = m_impl->SetConfigMode();
        return 0;
    });
    return reached;
}

bool VdlAccess::RestartCorvex() {
    bool reached = false;
    Guarded([&] {
        reached = m_impl->RestartCorvex();
        return 0;
    });
    return reached;
}

}  // namespace ZtEventLoggerVdlApi
