// CZtArguments.h - the argument list of a message a host sends (internal;
// hosts see IZtArguments, created through the class factory under
// CLSID_ZtArguments).
//
// An ordered vector of CZtArgumentEntry objects (the collection of
// ZtCollection.h: get_Item, get_Count, get__NewEnum, all zero-based) plus a
// raise time that is not sent. The request encoder walks it with get_Count,
// get_Item and IZtArgumentEntry::GetData. Guarded by the object lock.
#ifndef ZT_CZT_ARGUMENTS_H
#define ZT_CZT_ARGUMENTS_H

#include <atomic>
#include <cstdint>

#include "CZtArgumentEntry.h"
#include "ZtAtlCom/ZtCollection.h"

namespace ZtEventLoggerVdlProxy {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Woverloaded-virtual"
class CZtArguments
    : public ZtAtlCom::CComObjectRootEx<ZtAtlCom::CComMultiThreadModel>,
      public ZtAtlCom::ISupportErrorInfoImpl<&IID_IZtArguments>,
      public ZtAtlCom::IZtVectorOnSTLImpl<IZtArguments, CZtArguments,
                                          ZtAtlCom::IDispatchImpl<IZtArguments, &IID_IZtArguments>,
                                          IZtArgumentEntry, &IID_IZtArgumentEntry> {
    using Vector = ZtAtlCom::IZtVectorOnSTLImpl<IZtArguments, CZtArguments,
                                                ZtAtlCom::IDispatchImpl<IZtArguments, &IID_IZtArguments>,
                                                IZtArgumentEntry, &IID_IZtArgumentEntry>;

public:
    BEGIN_COM_MAP(CZtArguments)
        COM_INTERFACE_ENTRY(IZtArguments)
        COM_INTERFACE_ENTRY2(IDispatch, IZtArguments)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    // 2020-12-29 12:27:39.0012345 UTC, what a new list reports as its raise time.
    static constexpr uint64_t kInitialTimeRaised = 132537184590012345ull;

    // A new entry set from value (IZtArgumentEntry::Set's result when it
    // refuses; nothing added), appended.
    HRESULT Add(VARIANT value) override;
    // Add for every element of the first dimension, lower to upper bound, of
    // a copy of the array; refused elements are skipped. E_INVALIDARG for a
    // null array, DISP_E_BADVARTYPE for one whose elements are not VARIANTs;
    // the copy's failure when it cannot be made.
    HRESULT AddV(SAFEARRAY* values) override;
    // E_BOUNDS for an index outside [0, count); else the entry's Set.
    HRESULT Set(int index, VARIANT value) override;
    // E_BOUNDS for a negative index or one above the count, E_FAIL for the
    // count itself; else the entry leaves and the later ones move down.
    HRESULT Remove(int index) override;
    HRESULT Clear() override;
    // DATE of the raise time; E_POINTER for null.
    HRESULT get_TimeRaised(DATE* time) override;
    // E_INVALIDARG for a date outside the FILETIME range (or not a number).
    HRESULT put_TimeRaised(DATE time) override;

private:
    std::atomic<uint64_t> m_fileTimeRaised{kInitialTimeRaised};
};
#pragma GCC diagnostic pop

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_CZT_ARGUMENTS_H
