/*
 * ResultText.h - result codes as the sentences users read.
 *
 *     DescribeResult(0x98110745)  "the controller did not answer in time (0x98110745 ZT_E_VDL_TIMEOUT)"
 *     DescribeVdlError(1861)      "the controller did not answer in time (Vdl error 1861, 0x98110745 ZT_E_VDL_TIMEOUT)"
 *
 * The names and sentences come from the one table in
 * ZtEventLoggerVdlProxy/ZtResultCodes.h. Pure functions, any thread.
 */
#ifndef ZT_TOOL_RESULT_TEXT_H
#define ZT_TOOL_RESULT_TEXT_H

#include <cstdint>
#include <string>

namespace ZtTool {

// The sentence of an HRESULT with its hex value and name; a code the table
// does not know reads "error 0x........" (service range: "Vdl error N").
std::string DescribeResult(int32_t hr);
// The same for a plain Vdl error code of the router adapter or target access.
std::string DescribeVdlError(uint32_t code);
// The name alone ("E_POINTER"), or the hex value for an unknown code.
std::string ResultName(int32_t hr);

// What the event logger's Connect returned, as an HRESULT: Connect passes the
// router adapter's Vdl code through (1865, ...), which is then mapped into
// the service range; HRESULTs stay as they are.
int32_t ConnectResultToHResult(int32_t result);

// Vdl codes and HRESULTs that mean the link to the router or the controller
// is gone (time-out, no router, no route, service port missing): a watcher
// reconnects on these and only on these.
bool IsLinkLoss(int32_t hr);

}  // namespace ZtTool

#endif  // ZT_TOOL_RESULT_TEXT_H
