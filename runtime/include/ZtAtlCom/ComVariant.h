/*
 * ComVariant.h - a VARIANT with value semantics.
 *
 * CComVariant is a VARIANT (same 24 bytes, usable wherever a VARIANT* is
 * expected) that owns its value: it starts VT_EMPTY, copies with VariantCopy
 * and clears itself on destruction. A copy that fails (or a text that cannot
 * be allocated) leaves it VT_ERROR holding the failure's HRESULT, so the
 * failure travels with the value. Nothing here throws.
 */
#ifndef ZT_ATLCOM_COM_VARIANT_H
#define ZT_ATLCOM_COM_VARIANT_H

#include "ZtAtlCom/BStr.h"
#include "ZtAtlCom/Variant.h"

#include <cstring>
#include <utility>

namespace ZtAtlCom {

class CComVariant : public tagVARIANT {
public:
    CComVariant() noexcept { VariantInit(this); }
    ~CComVariant() { VariantClear(this); }

    CComVariant(const VARIANT& source) noexcept : CComVariant() { InternalCopy(&source); }
    CComVariant(const CComVariant& source) noexcept : CComVariant() { InternalCopy(&source); }
    CComVariant(CComVariant&& source) noexcept : CComVariant() { Swap(source); }

    CComVariant(bool value) noexcept : CComVariant() { Set(VT_BOOL, &VARIANT::boolVal, value ? VARIANT_TRUE : VARIANT_FALSE); }
    CComVariant(char value) noexcept : CComVariant() { Set(VT_I1, &VARIANT::cVal, value); }
    CComVariant(signed char value) noexcept : CComVariant() { Set(VT_I1, &VARIANT::cVal, static_cast<char>(value)); }
    CComVariant(unsigned char value) noexcept : CComVariant() { Set(VT_UI1, &VARIANT::bVal, value); }
    CComVariant(short value) noexcept : CComVariant() { Set(VT_I2, &VARIANT::iVal, value); }
    CComVariant(unsigned short value) noexcept : CComVariant() { Set(VT_UI2, &VARIANT::uiVal, value); }
    CComVariant(int value) noexcept : CComVariant() { Set(VT_I4, &VARIANT::lVal, value); }
    CComVariant(unsigned int value) noexcept : CComVariant() { Set(VT_UI4, &VARIANT::ulVal, value); }
    CComVariant(long value) noexcept : CComVariant() { Set(VT_I8, &VARIANT::llVal, static_cast<LONGLONG>(value)); }
    CComVariant(unsigned long value) noexcept : CComVariant() {
        Set(VT_UI8, &VARIANT::ullVal, static_cast<ULONGLONG>(value));
    }
    CComVariant(long long value) noexcept : CComVariant() { Set(VT_I8, &VARIANT::llVal, static_cast<LONGLONG>(value)); }
    CComVariant(unsigned long long value) noexcept : CComVariant() {
        Set(VT_UI8, &VARIANT::ullVal, static_cast<ULONGLONG>(value));
    }
    CComVariant(float value) noexcept : CComVariant() { Set(VT_R4, &VARIANT::fltVal, value); }
    CComVariant(double value) noexcept : CComVariant() { Set(VT_R8, &VARIANT::dblVal, value); }
    // A BSTR copy of the text up to its first 0 (null text: a null BSTR).
    CComVariant(const char* text) noexcept : CComVariant() { SetText(text); }
    // Interface pointers are held with a reference of their own.
    CComVariant(IDispatch* p) noexcept : CComVariant() { SetInterface(VT_DISPATCH, p); }
    CComVariant(IUnknown* p) noexcept : CComVariant() { SetInterface(VT_UNKNOWN, p); }

    CComVariant& operator=(const CComVariant& source) noexcept { return *this = static_cast<const VARIANT&>(source); }
    CComVariant& operator=(const VARIANT& source) noexcept {
        if (static_cast<const VARIANT*>(this) != &source) InternalCopy(&source);
        return *this;
    }
    CComVariant& operator=(CComVariant&& source) noexcept {
        if (this != &source) {
            Clear();
            Swap(source);
        }
        return *this;
    }
    template <class T>
    CComVariant& operator=(T value) noexcept {
        return *this = CComVariant(value);
    }

    HRESULT Clear() noexcept { return VariantClear(this); }

    // Copies source into this VARIANT (VT_ERROR with the failure on failure).
    HRESULT Copy(const VARIANT* source) noexcept { return InternalCopy(source); }

    // Copies this value out to dest, which is cleared first.
    HRESULT CopyTo(VARIANT* dest) const noexcept { return dest ? VariantCopy(dest, this) : E_POINTER; }

    // Takes over source's value; source becomes VT_EMPTY.
    HRESULT Attach(VARIANT* source) noexcept {
        if (!source) return E_INVALIDARG;
        HRESULT hr = Clear();
        if (Failed(hr)) return hr;
        std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), source, sizeof(VARIANT));
        VariantInit(source);
        return S_OK;
    }
    // Hands the value to dest (cleared first); this becomes VT_EMPTY.
    HRESULT Detach(VARIANT* dest) noexcept {
        if (!dest) return E_POINTER;
        HRESULT hr = VariantClear(dest);
        if (Failed(hr)) return hr;
        std::memcpy(static_cast<void*>(dest), static_cast<VARIANT*>(this), sizeof(VARIANT));
        VariantInit(this);
        return S_OK;
    }

    // Converts in place, or from source when given (VariantChangeType rules).
    HRESULT ChangeType(VARTYPE vtNew, const VARIANT* source = nullptr) noexcept {
        return VariantChangeType(this, source ? source : this, 0, vtNew);
    }

    void Swap(CComVariant& other) noexcept {
        VARIANT t;
        std::memcpy(static_cast<void*>(&t), static_cast<VARIANT*>(this), sizeof(VARIANT));
        std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), static_cast<VARIANT*>(&other), sizeof(VARIANT));
        std::memcpy(static_cast<void*>(static_cast<VARIANT*>(&other)), &t, sizeof(VARIANT));
    }

private:
    HRESULT InternalCopy(const VARIANT* source) noexcept {
        HRESULT hr = VariantCopy(this, source);
        if (Failed(hr)) SetError(hr);
        return hr;
    }

    void SetError(HRESULT hr) noexcept {
        VariantClear(this);  // may fail for a value it cannot release; then it is given up
        VariantInit(this);
        vt = VT_ERROR;
        scode = hr;
    }

    template <class M, class V>
    void Set(VARTYPE type, M VARIANT::*member, V value) noexcept {
        vt = type;
        this->*member = static_cast<M>(value);
    }

    void SetText(const char* text) noexcept {
        vt = VT_BSTR;
        bstrVal = SysAllocString(text);
        if (text && !bstrVal) SetError(E_OUTOFMEMORY);
    }

    void SetInterface(VARTYPE type, IUnknown* p) noexcept {
        vt = type;
        punkVal = p;
        if (p) p->AddRef();
    }
};

static_assert(sizeof(CComVariant) == sizeof(VARIANT), "CComVariant adds no state");

}  // namespace ZtAtlCom

#endif  // ZT_ATLCOM_COM_VARIANT_H
