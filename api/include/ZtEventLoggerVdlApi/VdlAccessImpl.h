// VdlAccessImpl.h - target access: symbols of a program read and written as
// text, files on the target, the target's description, its runtime state and
// the two state changes a host may ask for. VdlAccess.h is the facade hosts
// normally use; this class does the work and may be used directly.
//
// Every request goes through the embedded router adapter (VdlR3AdapterCore):
// symbol requests to the symbol port given at construction, everything else to
// the target's system service on port 10000.
//
// Results are Vdl error codes (VdlErrors.h), 0 for success:
//   1793  data type not supported (after the handle was obtained and released)
//   1797  text too long for the symbol, text not convertible to UTF-16, or a
//         symbol whose size does not match its type (a numeric symbol must be
//         exactly as wide as its type; any value larger than 64 MiB is refused)
//   1798  UTF-16 value not convertible to UTF-8, structure text not valid
//         hexadecimal, or a reply that does not hold what it claims (symbol
//         information record, handle, file handle, chunk, target information
//         length beyond 1 MiB)
//   1803  number out of range, NaN, or a negative number for an unsigned type
//   any code of the router adapter or of the target (for example 1804 "not
//         found", 1827 "already exists", 1861 time-out, 1864 no router link).
//
// Exceptions: Write lets the standard parsers' exceptions pass, as documented
// at Write; std::bad_alloc may pass from any operation. Symbol handles are
// released on every path, exceptions included. VdlAccess maps all of them to
// codes.
//
// Threads: no lock of its own. Calls from several threads on one object are
// safe as far as the adapter's requests are (each call uses its own handle and
// buffers), but SetConfigMode and RestartCorvex change the adapter's request
// time-out for their whole duration, which then applies to other calls made
// on the same object meanwhile.
#ifndef ZT_VDL_ACCESS_IMPL_H
#define ZT_VDL_ACCESS_IMPL_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "SymbolHandle.h"
#include "SymbolInfo.h"
#include "VdlApiExport.h"
#include "VdlR3AdapterCore.h"

namespace ZtEventLoggerVdlApi {

// Data type codes of symbols and the text forms of their values.
enum VdlDataType : uint32_t {
    VDL_TYPE_INT16 = 2,    // decimal; write: base-10 text within -32768..32767
    VDL_TYPE_INT32 = 3,    // decimal; write within 32 bits signed
    VDL_TYPE_REAL32 = 4,   // std::to_string (six decimals); write: any float but NaN
    VDL_TYPE_REAL64 = 5,   // the same for double
    VDL_TYPE_INT8 = 16,    // decimal with sign ("-1" for 0xFF); write within -128..127
    VDL_TYPE_UINT8 = 17,   // decimal; write 0..255
    VDL_TYPE_UINT16 = 18,  // decimal; write 0..0xFFFF
    VDL_TYPE_UINT32 = 19,  // decimal; write 0..0xFFFFFFFF
    VDL_TYPE_INT64 = 20,   // decimal; write within the parser's range
    VDL_TYPE_UINT64 = 21,  // decimal; write within the parser's range, not negative
    VDL_TYPE_STRING = 30,  // the symbol's bytes; write: the text and its NUL must fit
    VDL_TYPE_WSTRING = 31, // UTF-16 up to its first 0 unit, as UTF-8; write: converted
                           // to UTF-16, with its 0 unit it must fit in size / 2 units
    VDL_TYPE_BIT = 33,     // as VDL_TYPE_INT8
    VDL_TYPE_STRUCT = 65,  // "0x" and two lower-case hex digits per byte; write: "0x" and
                           // exactly two hex digits (either case) per byte of the symbol
};

// Runtime states a target reports (GetVdlState); others exist, such as the
// reconfiguring state between two of these.
enum VdlRuntimeState : unsigned short {
    VDL_STATE_RUN = 5,
    VDL_STATE_STOP = 6,
    VDL_STATE_ERROR = 11,
    VDL_STATE_CONFIG = 15,  // configuration mode
};

// The 36-byte file status record, passed on as the target gave it.
using FileStatusRecord = std::array<uint8_t, 36>;

class ZT_VDLAPI VdlAccessImpl {
public:
    // Connects the embedded adapter to target (a MrxNetId in dotted text, a
    // local alias or a route name). A failed connection is not reported here:
    // every later request reports it. symbolPort: the program's router port.
    VdlAccessImpl(std::string_view target, unsigned short symbolPort);
    // Disconnects the adapter.
    ~VdlAccessImpl();
    VdlAccessImpl(const VdlAccessImpl&) = delete;
    VdlAccessImpl& operator=(const VdlAccessImpl&) = delete;

    // --- Symbols --------------------------------------------------------

    // A handle of the symbol (0 with the code on failure). A handle obtained
    // here must be given back with ReleaseHandle; SymbolHandle does both.
    std::pair<uint32_t, int> GetHandle(std::string_view name);
    int ReleaseHandle(uint32_t handle);
    // The symbol's description; on failure all fields are empty or 0 and the
    // error field holds the code. An unknown name gives the target's code.
    SymbolInfo GetSymbolInfo(std::string_view name);

    // The value as text (see VdlDataType) and the code; the text is empty on
    // failure. A string of type 30 comes back with all the symbol's bytes,
    // trailing zero bytes included.
    std::pair<std::string, int> Read(std::string_view name);
    // Writes the value given as text. Nothing is written on failure. Throws
    // std::invalid_argument when a numeric text is not a number and
    // std::out_of_range when the parser cannot hold it (the handle is released).
    int Write(std::string_view name, std::string text);

    // The steps of Read and Write for one kind of value, for a handle and
    // description obtained before. T: int8_t, int16_t, int32_t, int64_t,
    // uint8_t, uint16_t, uint32_t, uint64_t, float, double. S: std::string
    // (type 30) or std::u16string (type 31).
    template <class T>
    std::pair<std::string, int> ReadNumeric(const SymbolHandle& handle, const SymbolInfo& info);
    template <class T>
    int WriteNumeric(const SymbolHandle& handle, const SymbolInfo& info, const std::string& text);
    template <class S>
    std::pair<std::string, int> ReadString(const SymbolHandle& handle, const SymbolInfo& info);
    template <class S>
    int WriteString(const SymbolHandle& handle, const SymbolInfo& info, const std::string& text);
    std::pair<std::string, int> ReadStruct(const SymbolHandle& handle, const SymbolInfo& info);
    int WriteStruct(const SymbolHandle& handle, const SymbolInfo& info, const std::string& text);

    // Device notifications through the adapter (VdlR3AdapterImpl.h); the
    // forms without a port use the symbol port.
    uint32_t VdlSyncAddDeviceNotificationReq(unsigned short port, unsigned int indexGroup, unsigned int indexOffset,
                                             IVdlNotificationListener* listener, long userValue);
    uint32_t VdlSyncAddDeviceNotificationReq(unsigned int indexGroup, unsigned int indexOffset,
                                             IVdlNotificationListener* listener, long userValue);
    uint32_t VdlSyncDelDeviceNotificationReq(unsigned short port, IVdlNotificationListener* listener,
                                             long userValue);
    uint32_t VdlSyncDelDeviceNotificationReq(IVdlNotificationListener* listener, long userValue);

    // --- Files, target information, state -------------------------------
    // Paths are the target's, with '/' or '\' between their parts.

    // Makes the folder and any missing parents: tries the path, then each
    // parent upwards until one is made; then makes, highest first, those that
    // failed with 1804 (parent missing). 0 and 1827 count as made. When no
    // level was missing and the path itself failed with another code than
    // 1827, that code is the result (a folder never made is not a success).
    int MkDir(std::string_view path);
    int RmDir(std::string_view path);
    int RmFile(std::string_view path);
    // The status record and the code of the file status request.
    std::pair<FileStatusRecord, int> GetFileStatus(std::string_view path);
    // The whole file, read in chunks of 0x8000 bytes. The file is closed on
    // every path once opened. A failed chunk gives its code with the bytes
    // read before it (1797 for a file beyond 256 MiB); otherwise the close
    // request's code.
    std::pair<std::string, int> ReadFile(std::string_view path);
    // Writes text and one terminating 0 byte, in chunks of 0x3F00 bytes. A
    // failed chunk closes the file and gives its code; otherwise the close
    // request's code.
    int WriteFile(std::string_view path, std::string_view text);
    // The target's description text.
    std::pair<std::string, int> GetTargetInfo();
    // The runtime state (a VdlRuntimeState or another value); 0 when it cannot be read.
    unsigned short GetVdlState();
    // Ask the runtime into configuration mode (state 15) or to restart into
    // run (state 5), then poll its state every 100 ms, about 10 s at most.
    // When the runtime is already in the wanted state, first wait for it to
    // leave it (the reconfiguration), then for it to come back. The adapter's
    // time-out is 200 ms meanwhile and is restored afterwards (unless it was
    // 0). True when the last state read is the wanted one.
    bool SetConfigMode();
    bool RestartCorvex();

    // The embedded adapter (time-outs, listeners), the target text and the
    // symbol port given at construction.
    VdlR3AdapterCore& Adapter() { return m_adapter; }
    const std::string& TargetText() const { return m_target; }
    unsigned short SymbolPort() const { return m_port; }

private:
    ZT_VDLAPI_LOCAL int ReadValue(const SymbolHandle& handle, void* data, unsigned long size);
    ZT_VDLAPI_LOCAL int WriteValue(const SymbolHandle& handle, const void* data, unsigned long size);
    ZT_VDLAPI_LOCAL int PathRequest(unsigned int group, unsigned int offset, std::string_view path,
                                    void* readData = nullptr, unsigned long readLength = 0,
                                    unsigned long* bytesRead = nullptr);
    ZT_VDLAPI_LOCAL std::pair<uint32_t, int> OpenFile(std::string_view path, unsigned int mode);
    ZT_VDLAPI_LOCAL bool ChangeState(unsigned short control, unsigned short wanted);

    VdlR3AdapterCore m_adapter;
    std::string m_target;
    unsigned short m_port;
};

}  // namespace ZtEventLoggerVdlApi

#endif  // ZT_VDL_ACCESS_IMPL_H
