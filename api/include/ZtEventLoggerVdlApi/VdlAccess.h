// VdlAccess.h - target access for host programs: read and write symbols of a
// program by name as text, handle files on the target, read its description
// and runtime state, switch it into configuration mode or restart it.
//
// A thin facade over VdlAccessImpl (see there for the text forms of values
// and the meaning of each operation). Unlike VdlAccessImpl, no operation of
// this class lets an exception escape: a numeric text that is not a number or
// that the parser cannot hold gives 1803, lack of memory gives 25.
//
// Results are Vdl error codes (VdlErrors.h), 0 for success. A null text or
// out-pointer gives 1803 before any request is made.
//
// Texts handed back (ReadCore, ReadFileCore, GetTargetInfoCore) are arrays
// made with new[] and ending in a 0 byte; the caller frees them with
// delete[]. On failure the out-pointer is left untouched.
//
// Threads: as VdlAccessImpl. One object may be used from several threads,
// but SetConfigMode and RestartCorvex shorten the request time-out of the
// object for their duration.
#ifndef ZT_VDL_ACCESS_H
#define ZT_VDL_ACCESS_H

#include <cstdint>

#include "IZtObject.h"
#include "VdlApiExport.h"
#include "VdlErrors.h"

namespace ZtEventLoggerVdlApi {

class VdlAccessImpl;

// Values of GetCORVEXState.
enum CorvexState : int {
    CORVEX_STATE_UNKNOWN = 0,  // any other runtime state, or the state could not be read
    CORVEX_STATE_RUN = 1,      // runtime state 5
    CORVEX_STATE_CONFIG = 2,   // runtime state 15
    CORVEX_STATE_STOP = 3,     // runtime state 6
    CORVEX_STATE_ERROR = 4,    // runtime state 11
};

class ZT_VDLAPI VdlAccess : public IZtObject {
public:
    // target: a MrxNetId in dotted text, a local alias or a route name; null
    // is the empty text (the local router). symbolPort: the program's router
    // port for symbol requests. Connects at once; a target that cannot be
    // reached shows in the result of every later call.
    VdlAccess(const char* target, unsigned short symbolPort);
    ~VdlAccess() override;
    VdlAccess(const VdlAccess&) = delete;
    VdlAccess& operator=(const VdlAccess&) = delete;

    // The symbol's value as text (its first 0 byte ends it).
    uint32_t ReadCore(const char* name, char** text);
    uint32_t WriteCore(const char* name, const char* text);

    uint32_t MkDirCore(const char* path);
    uint32_t RmDirCore(const char* path);
    uint32_t RmFileCore(const char* path);
    // 0, and exists set to whether the file status request succeeded (false
    // for a missing file or an unreachable target); 1803 for a null path.
    uint32_t FileExistsCore(const char* path, bool& exists);
    // The file's contents (which may hold 0 bytes of their own) and a 0 byte.
    uint32_t ReadFileCore(const char* path, char** text);
    // Writes text and its terminating 0.
    uint32_t WriteFileCore(const char* path, const char* text);
    uint32_t GetTargetInfoCore(char** text);
    // A CorvexState value.
    int GetCORVEXState();
    // True when the runtime reached configuration mode / run (about 10 s at most).
    bool SetConfigMode();
    bool RestartCorvex();

    // Equal when both hold the same implementation, that is, are the same object.
    bool operator==(const VdlAccess& other) const { return m_impl == other.m_impl; }
    bool operator!=(const VdlAccess& other) const { return !(*this == other); }

private:
    VdlAccessImpl* const m_impl;  // owned; never null, never replaced
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_VDL_ACCESS_H
