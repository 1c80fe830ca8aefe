// ArgumentText.h - typed event arguments as written on the command line:
// TYPE:VALUE ("uint16:4", "bstr:Z", "double:0.473") or a bare value, whose
// type is then int32 (or int64) for an integer, double for a decimal, bool
// for true/false and string otherwise. Also GUIDs and severities.
#ifndef ZT_EVENTLOG_ARGUMENT_TEXT_H
#define ZT_EVENTLOG_ARGUMENT_TEXT_H

#include <string>

#include "ZtAtlCom/ComVariant.h"
#include "ZtTool/EventView.h"

namespace ZtEventLog {

// Throws UsageError for a value that does not fit its type.
ZtTool::EventArgument ParseArgumentText(const std::string& text);
// The VARIANT IZtArguments::Add takes for the argument.
ZtAtlCom::CComVariant ArgumentVariant(const ZtTool::EventArgument& argument);
// A GUID with or without braces (UsageError naming what otherwise).
ZtAtlCom::GUID ParseGuidOption(const std::string& text, const std::string& what);
// verbose, info, warning, error, critical or 0..4.
int ParseSeverity(const std::string& text);

}  // namespace ZtEventLog

#endif  // ZT_EVENTLOG_ARGUMENT_TEXT_H
