/*
 * AtlException.h - the runtime's exception and the fixed mapping of
 * exceptions to HRESULTs.
 *
 * Internal code may throw; a public method never lets an exception escape.
 * It wraps its body in ZtAtlCall (or catches everything and calls
 * detail::HResultFromCurrentException), which reports the first matching row:
 *
 *   CAtlException              the HRESULT it holds
 *   std::bad_alloc             E_OUTOFMEMORY  0x8007000E
 *   std::out_of_range          E_BOUNDS       0x8000000B
 *   std::bad_weak_ptr          E_POINTER      0x80004003
 *   std::invalid_argument      E_INVALIDARG   0x80070057
 *   std::logic_error (other)   E_INVALID_STATE 0x8007139F
 *   std::system_error          E_UNEXPECTED   0x8000FFFF
 *   anything else              E_FAIL         0x80004005
 */
#ifndef ZT_ATLCOM_ATL_EXCEPTION_H
#define ZT_ATLCOM_ATL_EXCEPTION_H

#include "ZtAtlCom/Export.h"
#include "ZtAtlCom/HResult.h"

#include <utility>

namespace ZtAtlCom {

class ZT_ATLCOM_API CAtlException {
public:
    constexpr CAtlException() noexcept : m_hr(E_FAIL) {}
    constexpr explicit CAtlException(HRESULT hr) noexcept : m_hr(hr) {}
    constexpr operator HRESULT() const noexcept { return m_hr; }

    HRESULT m_hr;
};

// Throws CAtlException holding hr. Never returns.
[[noreturn]] ZT_ATLCOM_API void ZtAtlThrow(HRESULT hr);

namespace detail {

// The mapping table above applied to the exception being handled; call it
// only inside a catch block (outside one it returns E_FAIL).
ZT_ATLCOM_API HRESULT HResultFromCurrentException() noexcept;

}  // namespace detail

// Runs body (returning HRESULT) and maps any exception it throws.
template <class Body>
HRESULT ZtAtlCall(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return detail::HResultFromCurrentException();
    }
}

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_ATL_EXCEPTION_H
