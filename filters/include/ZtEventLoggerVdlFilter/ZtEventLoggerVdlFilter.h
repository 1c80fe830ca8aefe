/*
 * ZtEventLoggerVdlFilter.h - the entry of libZtEventLoggerVdlFilter_2.1: the
 * filter and export-settings components that the event logger's
 * ConfirmAlarms, ClearAlarms, GetLoggedEvents2 and ExportLoggedEvents take.
 * A C++ host includes this header alone.
 *
 *     using namespace ZtEventLoggerVdlProxy;
 *     ZtAtlCom::CComPtr<IZtEventFilter> filter;
 *     HRESULT hr = ZtEventLoggerVdlFilterCreateInstance(
 *         CLSID_ZtEventFilter, IID_IZtEventFilter, reinterpret_cast<void**>(filter.ReleaseAndGetAddressOf()));
 *     filter->AddSeverityExpression(SeverityError, FilterGreaterOrEqual);
 *     hr = logger->ConfirmAlarms(0, filter);
 *
 * The filter object (CLSID_ZtEventFilter) answers IZtEventFilter,
 * IZtAlarmFilter, IZtSegbusDeviceEventFilter, IZtStreamSerializableProvider,
 * ISupportErrorInfo and IDispatch. The settings object
 * (CLSID_ZtExportSettings) answers IZtExportSettings, IZtCsvExportSettings,
 * IZtStreamSerializableProvider, ISupportErrorInfo and IDispatch. Every
 * method may be called from any thread; each object guards its state with
 * its own lock. The expression model, the validation rules and the form in
 * which the objects serialise themselves are described in the project's
 * docs/filters.md and in ZtFilterInterfaces.h.
 *
 * What the methods add to the interfaces' contracts:
 *   - Add...Expression records its arguments as given, also values that are
 *     out of range (an unknown comparison code, a severity above 4, a text
 *     holding a zero byte, ...), and returns S_OK; the filter then reports
 *     itself invalid (IZtFilterValidation::IsValid false, with the reason
 *     from GetValidationError) and the logger refuses it with 0x9811070B
 *     before anything is sent.
 *   - A filter holds at most 10000 items, those inside groups counted, and
 *     groups nest at most 32 deep: an Add that would pass either limit
 *     returns E_INVALIDARG and changes nothing.
 *   - AddExpressionGroup(g) copies g's expressions at the time of the call
 *     (later changes to g do not reach this filter; g may be this filter).
 *     A null g is E_POINTER; a filter object not made by this library is
 *     E_INVALIDARG (its expressions cannot be read).
 *   - put_Filter copies likewise (null removes the filter, a foreign object
 *     is E_INVALIDARG); get_Filter hands out a new filter object holding a
 *     copy, or null when no filter is set.
 *   - put_Order, put_Delimiter, put_WithHeader and put_LangId record their
 *     value as given; the settings are invalid while the order is not 0 or
 *     1, the delimiter is not exactly one character other than '"', CR and
 *     LF, WithHeader is neither VARIANT_TRUE nor VARIANT_FALSE, the language
 *     id is outside 0..2147483647 or the filter is invalid.
 *   - GetStreamSerializable hands out a snapshot: what it validates and
 *     writes is the content at the time of the call, so an Add made
 *     meanwhile on another thread can never slip an unchecked expression
 *     into a request. Serialize of an invalid snapshot writes nothing and
 *     returns E_INVALIDARG.
 *   - The settings' serializable also answers IZtFilterValidation (the
 *     first fault of the settings as a sentence); IZtSettingsValidation's
 *     Validate hands out that same object as the error of invalid settings.
 */
#ifndef ZT_EVENT_LOGGER_VDL_FILTER_H
#define ZT_EVENT_LOGGER_VDL_FILTER_H

#include <cstdint>

#include "ZtAtlCom/ZtAtlCom.h"
#include "ZtEventLoggerVdlProxy/ZtEventTypes.h"
#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"
#include "ZtEventLoggerVdlProxy/ZtStreamInterfaces.h"

#if defined(ZT_BUILDING_FILTER_LIBRARY)
#define ZT_FILTER_LIB_API __attribute__((visibility("default")))
#else
#define ZT_FILTER_LIB_API
#endif

namespace ZtEventLoggerVdlProxy {

// The classes the factory creates.
inline constexpr ZtAtlCom::CLSID CLSID_ZtEventFilter =
    ZtAtlCom::detail::ParseGuidLiteral("30264E87-48E7-40B7-B71D-AD38673E571B");
inline constexpr ZtAtlCom::CLSID CLSID_ZtExportSettings =
    ZtAtlCom::detail::ParseGuidLiteral("66C86B71-1205-42E5-81B3-998F8D9E3B75");

}  // namespace ZtEventLoggerVdlProxy

extern "C" {

/* Creates a new object of class clsid and returns its interface iid in *ppv
 * with one reference. E_POINTER for a null ppv; REGDB_E_CLASSNOTREG
 * (0x80040154) for a class id it does not know (*ppv untouched);
 * E_NOINTERFACE when the object lacks iid (*ppv null, nothing stays alive);
 * E_OUTOFMEMORY when the object cannot be made. Any thread. A new filter is
 * empty (selects every event); new settings have no filter, MaxCount 0,
 * newest first, delimiter ",", a header line and language 1033. */
ZT_FILTER_LIB_API ZtAtlCom::HRESULT ZtEventLoggerVdlFilterCreateInstance(const ZtAtlCom::CLSID& clsid,
                                                                         const ZtAtlCom::IID& iid, void** ppv) noexcept;

// Writes 2, 1 and 0 through the non-null pointers; returns 0.
ZT_FILTER_LIB_API uint32_t ZtEventLoggerVdlFilterVersion(uint32_t* major, uint32_t* minor, uint32_t* build) noexcept;
}

#endif  // ZT_EVENT_LOGGER_VDL_FILTER_H
