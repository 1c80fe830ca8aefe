#include "CZtArguments.h"

#include <cmath>

#include "ZtAtlCom/ComPtr.h"
#include "ZtAtlCom/SafeArray.h"

namespace ZtEventLoggerVdlProxy {

using namespace ZtAtlCom;

namespace {

constexpr uint64_t kDateEpochFileTime = 94353120000000000ull;
constexpr double kFileTimePerDay = 8.64e11;

// Destroys the array copy on every path.
struct ArrayCopy {
    SAFEARRAY* array = nullptr;
    ~ArrayCopy() { SafeArrayDestroy(array); }
};

}  // namespace

HRESULT CZtArguments::Add(VARIANT value) {
    CComPtr<IZtArgumentEntry> entry;
    HRESULT hr = Create<CZtArgumentEntry, IZtArgumentEntry>(entry.ReleaseAndGetAddressOf());
    if (Failed(hr)) return hr;
    hr = entry->Set(value);
    if (Failed(hr)) return hr;
    return Vector::Add(entry);
}

HRESULT CZtArguments::AddV(SAFEARRAY* values) {
    if (values == nullptr) return E_INVALIDARG;
    ArrayCopy copy;
    HRESULT hr = SafeArrayCopy(values, &copy.array);
    if (Failed(hr)) return hr;
    if (copy.array == nullptr) return E_INVALIDARG;
    // Reading other elements as VARIANTs would run past them.
    VARTYPE vt = VT_EMPTY;
    if (Failed(SafeArrayGetVartype(copy.array, &vt)) || vt != VT_VARIANT) return DISP_E_BADVARTYPE;
    const UINT dims = SafeArrayGetDim(copy.array);
    if (dims == 0) return E_INVALIDARG;
    std::vector<LONG> index(dims);
    LONG upper = 0;
    for (UINT d = 0; d < dims; ++d) {
        hr = SafeArrayGetLBound(copy.array, d + 1, &index[d]);
        if (Failed(hr)) return hr;
    }
    hr = SafeArrayGetUBound(copy.array, 1, &upper);
    if (Failed(hr)) return hr;
    SafeArrayLock(copy.array);
    for (LONG i = index[0]; i <= upper; ++i) {
        index[0] = i;
        VARIANT element;
        VariantInit(&element);
        if (Succeeded(SafeArrayGetElement(copy.array, index.data(), &element))) Add(element);
        VariantClear(&element);
        if (i == upper) break;  // the bound may be the largest LONG
    }
    SafeArrayUnlock(copy.array);
    return S_OK;
}

HRESULT CZtArguments::Set(int index, VARIANT value) {
    CComPtr<IZtArgumentEntry> entry;
    {
        ObjectLock lock(this);
        if (index < 0 || static_cast<size_t>(index) >= m_coll.size()) return E_BOUNDS;
        entry = m_coll[static_cast<size_t>(index)];
    }
    if (!entry) return E_POINTER;
    return entry->Set(value);
}

HRESULT CZtArguments::Remove(int index) {
    CComPtr<IZtArgumentEntry> removed;  // released after the lock
    ObjectLock lock(this);
    const size_t count = m_coll.size();
    if (index < 0 || static_cast<size_t>(index) > count) return E_BOUNDS;
    if (static_cast<size_t>(index) == count) return E_FAIL;
    removed = std::move(m_coll[static_cast<size_t>(index)]);
    m_coll.erase(m_coll.begin() + index);
    return S_OK;
}

HRESULT CZtArguments::Clear() { return RemoveAll(); }

HRESULT CZtArguments::get_TimeRaised(DATE* time) {
    if (time == nullptr) return E_POINTER;
    // Unsigned as the FILETIME is: no special case for 0.
    *time = static_cast<double>(m_fileTimeRaised.load() - kDateEpochFileTime) / kFileTimePerDay;
    return S_OK;
}

HRESULT CZtArguments::put_TimeRaised(DATE time) {
    const double fileTime = time * kFileTimePerDay + 9.435312e16;
    // Outside the signed 64-bit range the conversion is undefined.
    if (!std::isfinite(fileTime) || fileTime >= 9.2233720368547758e18 || fileTime < -9.2233720368547758e18)
        return E_INVALIDARG;
    m_fileTimeRaised.store(static_cast<uint64_t>(static_cast<int64_t>(fileTime)));
    return S_OK;
}

}  // namespace ZtEventLoggerVdlProxy
