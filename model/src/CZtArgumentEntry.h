// CZtArgumentEntry.h - one typed argument of a message a host sends
// (internal; hosts see IZtArgumentEntry, created through the class factory
// under CLSID_ZtArgumentEntry, or made by CZtArguments::Add).
//
// The entry keeps a copy of the VARIANT it was set with and the argument type
// code of that VARIANT's type (ZtEventTypes.h); the request encoder reads it
// with GetData: once with a null destination for the size, once to write
// the value's bytes (little-endian, unaligned, strings with their NUL). The
// value is guarded by the object lock, so one entry may be used from several
// threads; each call sees one value.
#ifndef ZT_CZT_ARGUMENT_ENTRY_H
#define ZT_CZT_ARGUMENT_ENTRY_H

#include <string>

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/DispatchImpl.h"
#include "ZtEventLoggerVdlProxy/ZtArgumentInterfaces.h"

namespace ZtEventLoggerVdlProxy {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Woverloaded-virtual"
class CZtArgumentEntry : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
                         public ZtAtlCom::IDispatchImpl<IZtArgumentEntry, &IID_IZtArgumentEntry> {
public:
    BEGIN_COM_MAP(CZtArgumentEntry)
        COM_INTERFACE_ENTRY(IZtArgumentEntry)
        COM_INTERFACE_ENTRY2(IDispatch, IZtArgumentEntry)
    END_COM_MAP()

    CZtArgumentEntry() noexcept { ZtAtlCom::VariantInit(&m_value); }
    ~CZtArgumentEntry() override { ZtAtlCom::VariantClear(&m_value); }

    // The type code of a VARIANT type the entry accepts; ArgNone for the
    // others (VT_EMPTY, VT_DATE, VT_DISPATCH, arrays, references, ...).
    static tagZtEventArgumentTypeEnum TypeCodeOf(ZtAtlCom::VARTYPE vt) noexcept;

    // ---- IZtArgumentEntry --------------------------------------------------
    // A refused type: E_NOINTERFACE. A value that cannot be copied (no
    // memory for its text): that failure. Either way the entry is unchanged.
    HRESULT Set(VARIANT value) override;
    // A copy of the stored value; the copy's failure when it cannot be made
    // (the caller's VARIANT is then VT_EMPTY).
    HRESULT Get(VARIANT* value) override;
    HRESULT GetBoolean(VARIANT_BOOL* value) override;
    HRESULT GetInt8(signed char* value) override;
    HRESULT GetInt16(short* value) override;
    HRESULT GetInt32(int* value) override;
    HRESULT GetInt64(long* value) override;
    HRESULT GetUInt8(unsigned char* value) override;
    HRESULT GetUInt16(unsigned short* value) override;
    HRESULT GetUInt32(unsigned int* value) override;
    HRESULT GetUInt64(unsigned long* value) override;
    HRESULT GetFloat(float* value) override;
    HRESULT GetDouble(double* value) override;
    HRESULT GetString(BSTR* value) override;
    // Size and bytes are taken from one state of the entry.
    HRESULT GetData(tagZtEventArgumentTypeEnum* type, void* destination, unsigned int* size) override;

    // ---- internal forms ----------------------------------------------------
    // true when the value converts to VARIANT_TRUE.
    virtual HRESULT GetBoolean(bool* value);
    // The value as text (the flag, true for code 21 and false for 14, does
    // not change the result).
    virtual HRESULT GetString(std::string& value, bool bstr) const;
    // The value's bytes at destination (GetSize of them); E_FAIL for codes
    // without a value (0, 12, 13, undefined).
    virtual HRESULT GetData(void* destination);
    // Bytes of the value on the wire: by code, strings length + 1 (0 when empty).
    unsigned int GetSize() const;

private:
    // The value converted to vt (a copy), under the lock the caller holds.
    template <class T>
    HRESULT ValueAs(T& out) const noexcept;
    HRESULT BooleanValue(bool& out) const noexcept;
    HRESULT TextValue(std::string& out) const;
    unsigned int SizeOfValue() const;
    HRESULT WriteValue(void* destination) const;

    template <class T>
    HRESULT GetLocked(T* out) {
        if (out == nullptr) return ZtAtlCom::E_POINTER;
        ObjectLock lock(this);
        return ValueAs(*out);
    }

    tagZtEventArgumentTypeEnum m_type = ArgNone;
    VARIANT m_value;
};
#pragma GCC diagnostic pop

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_ARGUMENT_ENTRY_H
