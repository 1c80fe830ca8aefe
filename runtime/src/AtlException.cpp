// The runtime's exception and the fixed exception-to-HRESULT table.
#include "ZtAtlCom/AtlException.h"

#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

namespace ZtAtlCom {

void ZtAtlThrow(HRESULT hr) { throw CAtlException(hr); }

namespace detail {

HRESULT HResultFromCurrentException() noexcept {
    if (!std::current_exception()) return E_FAIL;
    // The order matters: out_of_range and invalid_argument are logic_errors.
    try {
        throw;
    } catch (const CAtlException& e) {
        return e.m_hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::out_of_range&) {
        return E_BOUNDS;
    } catch (const std::bad_weak_ptr&) {
        return E_POINTER;
    } catch (const std::invalid_argument&) {
        return E_INVALIDARG;
    } catch (const std::logic_error&) {
        return E_INVALID_STATE;
    } catch (const std::system_error&) {
        return E_UNEXPECTED;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace detail
}  // namespace ZtAtlCom
