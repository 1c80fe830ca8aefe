// FilterValidation.h - the rules that make a filter fit to be sent, and the
// sentence that names the first rule broken.
#ifndef ZT_FILTER_VALIDATION_H
#define ZT_FILTER_VALIDATION_H

#include "FilterExpression.h"

#include <optional>
#include <string>

namespace ZtEventLoggerVdlFilter {

/* The first fault of the expression as a sentence ("Item 2.1 (severity): 7
 * is not a severity (0 verbose to 4 critical)."), or nothing when it is
 * valid. Items are numbered from 1; "2.1" is the first item of the group
 * that is item 2. prefix, when given, leads the sentence ("filter "). May
 * throw std::bad_alloc. */
std::optional<std::string> FirstFault(const FilterExpression& expression, const char* prefix = "");

// "Text." from "text": the first letter raised, a full stop added.
std::string AsSentence(std::string text);

}  // namespace ZtEventLoggerVdlFilter

#endif  // ZT_FILTER_VALIDATION_H
