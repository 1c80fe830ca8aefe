/*
 * HResult.h - result codes of the component runtime.
 *
 * Every public operation of the library returns an HRESULT: 0 or greater is
 * success (S_FALSE is a success with a negative answer), negative is failure.
 * The codes below are the generic ones; the service link adds its own range
 * (0x98110000 + the Vdl error code).
 */
#ifndef ZT_ATLCOM_HRESULT_H
#define ZT_ATLCOM_HRESULT_H

#include "ZtAtlCom/BaseTypes.h"

namespace ZtAtlCom {

constexpr HRESULT MakeHResult(std::uint32_t bits) noexcept { return static_cast<HRESULT>(bits); }

constexpr bool Succeeded(HRESULT hr) noexcept { return hr >= 0; }
constexpr bool Failed(HRESULT hr) noexcept { return hr < 0; }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);      // record types, text targets
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);  // interface lookup found no entry
constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);      // required out-pointer is null
constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);         // unrecognised failure
constexpr HRESULT E_BOUNDS = MakeHResult(0x8000000Bu);       // std::out_of_range
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);   // std::system_error
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);  // allocation failure
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);   // bad argument

constexpr std::uint32_t ERROR_INVALID_STATE = 5023;
constexpr HRESULT HResultFromWin32(std::uint32_t error) noexcept {
    return error == 0 ? S_OK : MakeHResult((error & 0xFFFFu) | 0x80070000u);
}
constexpr HRESULT E_INVALID_STATE = HResultFromWin32(ERROR_INVALID_STATE);  // 0x8007139F, std::logic_error

constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005u);   // VARIANT coercion
constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);     // type code not supported
constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000Bu);       // SAFEARRAY index out of range
constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHResult(0x8002000Du);  // SAFEARRAY locked

constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200u);
constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHResult(0x80040201u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3u);

// Answer of ZtQueryInterface for an interface id an internal object does not
// have (the service range, Vdl error 0x71A).
constexpr HRESULT ZT_E_NOINTERFACE = MakeHResult(0x9811071Au);

}  // namespace ZtAtlCom

#ifndef SUCCEEDED
#define SUCCEEDED(hr) (::ZtAtlCom::Succeeded(hr))
#endif
#ifndef FAILED
#define FAILED(hr) (::ZtAtlCom::Failed(hr))
#endif

#endif  // ZT_ATLCOM_HRESULT_H
