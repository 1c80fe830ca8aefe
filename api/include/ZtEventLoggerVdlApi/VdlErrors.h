// VdlErrors.h - Vdl error codes returned by the router adapter and the
// target-access toolkit. 0 means success. These are not HRESULT values.
#ifndef ZT_VDL_ERRORS_H
#define ZT_VDL_ERRORS_H

#include <cstdint>

namespace ZtEventLoggerVdlApi {

enum VdlError : uint32_t {
    VDL_OK = 0,
    VDL_ERR_TARGET_PORT_NOT_FOUND = 6,     // no service at that port of the target
    VDL_ERR_TARGET_MACHINE_NOT_FOUND = 7,  // no route to the target NetId
    VDL_ERR_NO_MEMORY = 25,
    VDL_ERR_SERVICE_NOT_SUPPORTED = 1793,  // also: data type not supported
    VDL_ERR_INVALID_SIZE = 1797,           // buffer too small, text too long
    VDL_ERR_INVALID_DATA = 1798,           // malformed reply or record, bad text
    VDL_ERR_INVALID_PARAMETER = 1803,      // null argument, number out of range
    VDL_ERR_NOT_FOUND = 1804,              // no such subscription, file or directory
    VDL_ERR_ALREADY_EXISTS = 1807,         // subscription exists for this listener, port and value
    VDL_ERR_DIR_EXISTS = 1827,             // directory already exists
    VDL_ERR_LENGTH_TOO_LARGE = 1844,       // a request length does not fit in 32 bits
    VDL_ERR_TIMEOUT = 1861,                // no reply within the time-out
    VDL_ERR_BAD_TIMEOUT = 1863,            // time-out of 0 or less
    VDL_ERR_PORT_NOT_CONNECTED = 1864,     // router port not open or link lost
    VDL_ERR_TARGET_NOT_FOUND = 1865,       // target text not a NetId, alias or route name
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_VDL_ERRORS_H
