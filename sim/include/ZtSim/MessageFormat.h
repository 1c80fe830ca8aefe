// MessageFormat.h - message texts of the simulated event logger service,
// formatted from the typed arguments of an event.
//
// A placeholder is "{index}" or "{index:layout}", index counting the arguments
// from 0; "{{" and "}}" stand for the braces themselves. layout is
// [0][width][.precision][type] as in printf:
//   type  d decimal, x / X hexadecimal, f fixed, e exponent, g general,
//         s as the argument's plain text; omitted: the argument's own form.
//   width pads on the left (with '0' when the layout starts with 0).
// The plain form of each argument type:
//   bool "true" / "false"; integers in decimal; float up to 7 significant
//   digits, double up to 15 ("%g"); char the character; wchar the character
//   in UTF-8; string and bstr the text; none (type 0) nothing; a code the
//   service does not know: "?".
// Numbers take every numeric type (an integer with f prints as a double, a
// floating value with d or x as its integer part); texts ignore the type.
// A placeholder whose index has no argument, or that is not closed, stays in
// the text as written. Plain functions: callable from any thread.
#ifndef ZT_SIM_MESSAGE_FORMAT_H
#define ZT_SIM_MESSAGE_FORMAT_H

#include <string>
#include <string_view>
#include <vector>

#include "EventRecord.h"

namespace ZtSim {

std::string FormatMessage(std::string_view pattern, const std::vector<EventArgument>& arguments);
// One argument in its plain form.
std::string ArgumentText(const EventArgument& argument);

}  // namespace ZtSim

#endif  // ZT_SIM_MESSAGE_FORMAT_H
