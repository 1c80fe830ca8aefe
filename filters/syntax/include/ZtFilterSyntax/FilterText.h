/*
 * FilterText.h - the readable filter syntax shared by the command-line tool
 * and the gateway: a text such as
 *
 *     severity >= error and source ~ "Axis" and not confirmed
 *
 * becomes the calls on an IZtEventFilter (and on its IZtAlarmFilter and
 * IZtSegbusDeviceEventFilter) that build the same filter. The grammar and
 * examples are in docs/filter-syntax.md.
 *
 *     ZtAtlCom::CComPtr<IZtEventFilter> filter;
 *     auto result = ZtFilterSyntax::CreateFilterFromText(
 *         text, ZtEventLoggerVdlFilterCreateInstance, filter.ReleaseAndGetAddressOf());
 *     if (!result.Ok()) std::cerr << result.Describe() << '\n';   // "column 13: ..."
 *
 * Nothing here throws; bad text gives a message with its column, never a
 * crash. The functions keep no state and may run on any thread at once.
 */
#ifndef ZT_FILTER_SYNTAX_FILTER_TEXT_H
#define ZT_FILTER_SYNTAX_FILTER_TEXT_H

#include "ZtAtlCom/Guid.h"
#include "ZtAtlCom/HResult.h"
#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace ZtFilterSyntax {

using ZtAtlCom::HRESULT;
using ZtEventLoggerVdlProxy::IZtEventFilter;

/* Makes the filter objects that parenthesised groups need; called as
 * factory(CLSID_ZtEventFilter, IID_IZtEventFilter, &p). Pass
 * ZtEventLoggerVdlFilterCreateInstance (ZtEventLoggerVdlFilter.h). */
using FilterFactory = HRESULT (*)(const ZtAtlCom::CLSID& clsid, const ZtAtlCom::IID& iid, void** ppv);

struct FilterTextResult {
    // S_OK; E_INVALIDARG for text that is not a filter; E_POINTER for a null
    // argument; otherwise the failure of a filter call (E_OUTOFMEMORY, ...).
    HRESULT hr = ZtAtlCom::S_OK;
    // Where the fault lies: 1-based, counted in characters (UTF-8 code
    // points); the text's length + 1 when the text ends too early; 0 when
    // there is no fault or it has no place in the text.
    std::size_t column = 0;
    // What is wrong, in words ("expected a value after '>='"); empty on success.
    std::string message;

    bool Ok() const noexcept { return ZtAtlCom::Succeeded(hr); }
    // "column 13: 7 is not a severity ..." (or the message alone when it
    // has no column; empty on success).
    std::string Describe() const;
};

/* Parses text and appends its expressions to filter (normally an empty
 * one). The whole text is checked before the first call, so bad text leaves
 * filter untouched. If a call on filter fails, filter is cleared (Clear) so
 * that no half-built filter is used, and the result names that call's
 * place. An empty text (or blanks only) adds nothing: every event. */
FilterTextResult ParseFilterText(std::string_view text, IZtEventFilter* filter, FilterFactory factory) noexcept;

/* Makes a new filter with factory and parses text into it. On success
 * *filter holds it with one reference; otherwise *filter is null. */
FilterTextResult CreateFilterFromText(std::string_view text, FilterFactory factory, IZtEventFilter** filter) noexcept;

// Checks text only (configuration files, command lines): no filter is made.
FilterTextResult CheckFilterText(std::string_view text) noexcept;

}  // namespace ZtFilterSyntax

#endif  // ZT_FILTER_SYNTAX_FILTER_TEXT_H
