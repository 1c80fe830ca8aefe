/*
 * ComSafeArray.h - an owning holder of a one-dimensional SAFEARRAY.
 *
 * CComSafeArray<VARIANT> owns one SAFEARRAY of VT_VARIANT elements; it is
 * destroyed (SafeArrayUnlock, then SafeArrayDestroy) with the holder. Every
 * operation returns an HRESULT except GetAt, which throws CAtlException:
 * E_FAIL for an empty holder, E_INVALIDARG for an index outside dimension 1,
 * the bound query's failure as it is, and DISP_E_BADVARTYPE for an array
 * whose elements are not of the holder's type.
 */
#ifndef ZT_ATLCOM_COM_SAFE_ARRAY_H
#define ZT_ATLCOM_COM_SAFE_ARRAY_H

#include "ZtAtlCom/AtlException.h"
#include "ZtAtlCom/SafeArray.h"

#include <cstdint>
#include <utility>

namespace ZtAtlCom {

template <class T>
struct CComSafeArrayTraits;

template <>
struct CComSafeArrayTraits<VARIANT> {
    static constexpr VARTYPE vt = VT_VARIANT;
};

template <class T, VARTYPE vtElement = CComSafeArrayTraits<T>::vt>
class CComSafeArray {
public:
    CComSafeArray() noexcept = default;
    CComSafeArray(const CComSafeArray&) = delete;
    CComSafeArray& operator=(const CComSafeArray&) = delete;
    CComSafeArray(CComSafeArray&& other) noexcept : m_psa(std::exchange(other.m_psa, nullptr)) {}
    CComSafeArray& operator=(CComSafeArray&& other) noexcept {
        if (this != &other) {
            Destroy();
            m_psa = std::exchange(other.m_psa, nullptr);
        }
        return *this;
    }
    ~CComSafeArray() { Destroy(); }

    // A new array of count empty elements from lowerBound (any held one destroyed first).
    HRESULT Create(ULONG count = 0, LONG lowerBound = 0) noexcept {
        HRESULT hr = Destroy();
        if (Failed(hr)) return hr;
        SAFEARRAYBOUND bound{count, lowerBound};
        m_psa = SafeArrayCreate(vtElement, 1, &bound);
        return m_psa ? S_OK : E_OUTOFMEMORY;
    }

    // A private copy of source.
    HRESULT CopyFrom(SAFEARRAY* source) noexcept {
        if (!source || !HoldsElementType(source)) return E_INVALIDARG;
        SAFEARRAY* copy = nullptr;
        HRESULT hr = SafeArrayCopy(source, &copy);
        if (Failed(hr)) return hr;
        hr = Destroy();
        if (Failed(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
        m_psa = copy;
        return S_OK;
    }

    // Takes ownership of source, which must hold the holder's element type.
    HRESULT Attach(SAFEARRAY* source) noexcept {
        if (!source || !HoldsElementType(source)) return E_INVALIDARG;
        HRESULT hr = Destroy();
        if (Failed(hr)) return hr;
        m_psa = source;
        return S_OK;
    }
    SAFEARRAY* Detach() noexcept { return std::exchange(m_psa, nullptr); }

    // Unlocks and destroys the array; the holder is empty when both succeed.
    HRESULT Destroy() noexcept {
        if (!m_psa) return S_OK;
        HRESULT hr = SafeArrayUnlock(m_psa);
        if (Succeeded(hr)) hr = SafeArrayDestroy(m_psa);
        if (Succeeded(hr)) m_psa = nullptr;
        return hr;
    }

    SAFEARRAY* m_psa = nullptr;

    operator SAFEARRAY*() const noexcept { return m_psa; }
    SAFEARRAY* GetSafeArrayPtr() const noexcept { return m_psa; }

    // Bounds and count of dimension 1; 0 for an empty holder.
    LONG GetLowerBound() const noexcept {
        LONG lb = 0;
        return m_psa && Succeeded(SafeArrayGetLBound(m_psa, 1, &lb)) ? lb : 0;
    }
    LONG GetUpperBound() const noexcept {
        LONG ub = -1;
        return m_psa && Succeeded(SafeArrayGetUBound(m_psa, 1, &ub)) ? ub : -1;
    }
    ULONG GetCount() const noexcept {
        return m_psa && m_psa->cDims ? (m_psa->rgsabound + (m_psa->cDims - 1))->cElements : 0;
    }

    // The element at index (dimension 1); throws as described above.
    T& GetAt(LONG index) const {
        if (!m_psa) ZtAtlThrow(E_FAIL);
        LONG lower = 0;
        HRESULT hr = SafeArrayGetLBound(m_psa, 1, &lower);
        if (Failed(hr)) ZtAtlThrow(hr);
        // In 64 bits: the upper bound of an empty dimension starting at INT_MIN
        // would wrap to INT_MAX.
        const std::int64_t offset = std::int64_t{index} - lower;
        if (offset < 0 || offset >= std::int64_t{GetCount()}) ZtAtlThrow(E_INVALIDARG);
        if (m_psa->cbElements != sizeof(T) || !m_psa->pvData) ZtAtlThrow(DISP_E_BADVARTYPE);
        return static_cast<T*>(m_psa->pvData)[static_cast<std::size_t>(offset)];
    }

    // Copies value into the element at index (dimension 1).
    HRESULT SetAt(LONG index, const T& value) noexcept {
        if (!m_psa || m_psa->cDims != 1) return E_FAIL;
        return SafeArrayPutElement(m_psa, &index, const_cast<T*>(&value));
    }

    // Appends a copy of value, growing the array by one (creating it when empty).
    HRESULT Add(const T& value) noexcept {
        HRESULT hr = m_psa ? S_OK : Create();
        if (Failed(hr)) return hr;
        if (m_psa->cDims != 1) return E_FAIL;
        SAFEARRAYBOUND bound{GetCount() + 1, GetLowerBound()};
        hr = SafeArrayRedim(m_psa, &bound);
        if (Failed(hr)) return hr;
        return SetAt(GetUpperBound(), value);
    }

private:
    static bool HoldsElementType(SAFEARRAY* psa) noexcept {
        VARTYPE vt = VT_EMPTY;
        return Succeeded(SafeArrayGetVartype(psa, &vt)) && vt == vtElement && psa->cbElements == sizeof(T);
    }
};

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_COM_SAFE_ARRAY_H
