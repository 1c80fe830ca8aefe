/*
 * ZtResultCodes.h - every result code the libraries return, with its name
 * and a sentence a user can read.
 *
 * One list (ZT_RESULT_CODES below: name, value, sentence) makes the named
 * constants, the lookup and the documented table, so the names that a
 * program prints and the values in the headers never drift apart:
 *
 *     HRESULT hr = logger->Connect(target);
 *     if (ZtResultCodes::Failed(hr))
 *         std::printf("%s (0x%08X %s)\n", ZtResultCodes::Sentence(hr),
 *                     static_cast<unsigned>(hr), ZtResultCodes::Name(hr));
 *
 * Three kinds of value share the list:
 *   - the generic HRESULTs of the component runtime (E_POINTER, ...);
 *   - 0x98110000 + a Vdl error code: a failure of the router, the target or
 *     the event logger service as the event logger reports it (VdlErrors.h
 *     has the bare Vdl codes that the router adapter and the target-access
 *     toolkit return; VdlName / VdlSentence look those up);
 *   - a few successes with a meaning of their own (S_FALSE, 50).
 *
 * Everything here is constexpr or inline and needs no library. Name and
 * Sentence never return null: an unknown value gives "" and a general
 * sentence for its kind.
 */
#ifndef ZT_RESULT_CODES_H
#define ZT_RESULT_CODES_H

#include <cstddef>
#include <cstdint>

/* X(name, value, sentence). Values of the service range are 0x98110000 + the
 * Vdl error code of the same meaning. */
#define ZT_RESULT_CODES(X)                                                                                        \
    X(S_OK, 0x00000000u, "success")                                                                               \
    X(S_FALSE, 0x00000001u, "success, with a negative answer")                                                   \
    X(ZT_S_ITEM_NOT_SET, 0x00000032u, "the event has no such source item")                                       \
    X(E_NOTIMPL, 0x80004001u, "the operation is not implemented")                                                 \
    X(E_NOINTERFACE, 0x80004002u, "the object does not offer the interface asked for")                           \
    X(E_POINTER, 0x80004003u, "a required pointer argument is null")                                             \
    X(E_FAIL, 0x80004005u, "the operation failed")                                                                \
    X(E_BOUNDS, 0x8000000Bu, "an index is out of range")                                                          \
    X(E_UNEXPECTED, 0x8000FFFFu, "an unexpected system error occurred")                                          \
    X(E_OUTOFMEMORY, 0x8007000Eu, "out of memory")                                                                \
    X(E_INVALIDARG, 0x80070057u, "an argument is not valid")                                                      \
    X(E_INVALID_STATE, 0x8007139Fu, "the object is not in a state that allows the operation")                    \
    X(DISP_E_TYPEMISMATCH, 0x80020005u, "the value cannot be converted to the type asked for")                   \
    X(DISP_E_BADVARTYPE, 0x80020008u, "the value type is not supported")                                          \
    X(DISP_E_MEMBERNOTFOUND, 0x80020003u, "the sink has no event of that dispatch number")                      \
    X(DISP_E_BADPARAMCOUNT, 0x8002000Eu, "an event came with the wrong number of arguments")                   \
    X(DISP_E_BADINDEX, 0x8002000Bu, "the index is out of range")                                                  \
    X(DISP_E_ARRAYISLOCKED, 0x8002000Du, "the array is locked")                                                   \
    X(CONNECT_E_NOCONNECTION, 0x80040200u, "no such event connection")                                            \
    X(CONNECT_E_ADVISELIMIT, 0x80040201u, "no more event sinks can be advised")                                   \
    X(CONNECT_E_CANNOTCONNECT, 0x80040202u, "the sink does not implement the event interface")                    \
    X(REGDB_E_CLASSNOTREG, 0x80040154u, "the library does not know this class")                                   \
    X(CO_E_CLASSSTRING, 0x800401F3u, "no class has this name")                                                    \
    X(ZT_E_VDL_TARGET_PORT_NOT_FOUND, 0x98110006u, "the service is not reachable on the target (port not found)")     \
    X(ZT_E_VDL_TARGET_MACHINE_NOT_FOUND, 0x98110007u, "the router has no route to the target")                        \
    X(ZT_E_VDL_NO_MEMORY, 0x98110019u, "the target or the router ran out of memory")                                  \
    X(ZT_E_VDL_SERVICE_NOT_SUPPORTED, 0x98110701u, "the service or data type is not supported")                        \
    X(ZT_E_VDL_INVALID_SIZE, 0x98110705u, "a buffer is too small or a text too long")                                 \
    X(ZT_E_VDL_INVALID_DATA, 0x98110706u, "the data is malformed")                                                     \
    X(ZT_E_VDL_NO_RESOURCES, 0x9811070Au, "the request needs more resources than are available")                     \
    X(ZT_E_VDL_INVALID_PARAMETER, 0x9811070Bu, "a parameter is not valid (for example an invalid filter)")            \
    X(ZT_E_VDL_NOT_FOUND, 0x9811070Cu, "not found")                                                                    \
    X(ZT_E_BAD_FRAME_VERSION, 0x9811070Eu, "a frame of an unknown version was received")                          \
    X(ZT_E_VDL_ALREADY_EXISTS, 0x9811070Fu, "it exists already (for example the same subscription)")                  \
    X(ZT_E_VDL_SYMBOL_NOT_FOUND, 0x98110710u, "the program has no symbol of that name")                          \
    X(ZT_E_NOINTERFACE, 0x9811071Au, "an internal object does not offer the interface asked for")                 \
    X(ZT_E_VDL_DIR_EXISTS, 0x98110723u, "the directory exists already")                                               \
    X(ZT_E_VDL_LENGTH_TOO_LARGE, 0x98110734u, "a request length does not fit in 32 bits")                              \
    X(ZT_E_VDL_TIMEOUT, 0x98110745u, "the controller did not answer in time")                                                  \
    X(ZT_E_VDL_BAD_TIMEOUT, 0x98110747u, "the time-out must be above 0")                                               \
    X(ZT_E_VDL_NO_ROUTER, 0x98110748u, "no connection to the message router")                                         \
    X(ZT_E_VDL_TARGET_NOT_FOUND, 0x98110749u, "the target is not a NetId, local alias or route name")                \
    X(ZT_E_SUBSCRIBE_PORT_NOT_FOUND, 0x98220002u, "the event logger service is not running on the target")

namespace ZtResultCodes {

// The value as an HRESULT (signed), for comparing with what a call returned.
#define ZT_RESULT_CODE_CONSTANT(name, value, sentence) inline constexpr int32_t k_##name = static_cast<int32_t>(value);
ZT_RESULT_CODES(ZT_RESULT_CODE_CONSTANT)
#undef ZT_RESULT_CODE_CONSTANT

struct Entry {
    const char* name;
    uint32_t value;
    const char* sentence;
};

#define ZT_RESULT_CODE_ENTRY(name, value, sentence) Entry{#name, value, sentence},
inline constexpr Entry kEntries[] = {ZT_RESULT_CODES(ZT_RESULT_CODE_ENTRY)};
#undef ZT_RESULT_CODE_ENTRY
inline constexpr std::size_t kEntryCount = sizeof(kEntries) / sizeof(kEntries[0]);

// The base of the service range: 0x98110000 + Vdl error code.
inline constexpr uint32_t kVdlBase = 0x98110000u;

constexpr bool Failed(int32_t hr) noexcept { return hr < 0; }

// The entry of the value, or null.
constexpr const Entry* Find(uint32_t value) noexcept {
    for (const Entry& e : kEntries)
        if (e.value == value) return &e;
    return nullptr;
}
constexpr const Entry* Find(int32_t hr) noexcept { return Find(static_cast<uint32_t>(hr)); }

// "E_POINTER", or "" for a value not in the list.
constexpr const char* Name(int32_t hr) noexcept {
    const Entry* e = Find(hr);
    return e ? e->name : "";
}

// The sentence of the value; for one not in the list a general sentence of
// its kind (a Vdl error of the service range, a failure, a success).
constexpr const char* Sentence(int32_t hr) noexcept {
    const Entry* e = Find(hr);
    if (e) return e->sentence;
    uint32_t v = static_cast<uint32_t>(hr);
    if ((v & 0xFFFF0000u) == kVdlBase) return "the router, the target or the service reported an error";
    return hr < 0 ? "the operation failed" : "success";
}

// The HRESULT the event logger reports for a bare Vdl error code.
constexpr int32_t FromVdl(uint32_t vdl) noexcept {
    return vdl == 0 ? 0 : static_cast<int32_t>(((vdl | 0x18110000u) ^ 0x80000000u));
}

// Name and sentence of a bare Vdl error code (VdlErrors.h), through the
// entry of the same meaning in the service range: 1865 gives
// "ZT_E_VDL_TARGET_NOT_FOUND". "" and a general sentence for an unknown code.
constexpr const char* VdlName(uint32_t vdl) noexcept { return vdl == 0 ? "VDL_OK" : vdl < 0x10000u ? Name(FromVdl(vdl)) : ""; }
constexpr const char* VdlSentence(uint32_t vdl) noexcept {
    if (vdl == 0) return "success";
    if (vdl >= 0x10000u) return "the router, the target or the service reported an error";
    return Sentence(FromVdl(vdl));
}

}  // namespace ZtResultCodes

// The same lookups under the flat names the tools use.
using ZtResultCode = ZtResultCodes::Entry;
// The entry of an HRESULT, or null.
constexpr const ZtResultCode* ZtFindResultCode(int32_t hr) noexcept { return ZtResultCodes::Find(hr); }
// The entry of a bare Vdl error code (through 0x98110000 + code), or null.
constexpr const ZtResultCode* ZtFindVdlError(uint32_t code) noexcept {
    return code == 0 || code >= 0x10000u ? nullptr : ZtResultCodes::Find(ZtResultCodes::FromVdl(code));
}
constexpr int32_t ZtVdlErrorToHResult(uint32_t code) noexcept { return ZtResultCodes::FromVdl(code); }

#endif  // ZT_RESULT_CODES_H
