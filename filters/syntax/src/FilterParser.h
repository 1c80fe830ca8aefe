// FilterParser.h - the grammar of the filter syntax (docs/filter-syntax.md):
// tokens in, a tree of and/or/not nodes over comparison calls out.
#ifndef ZT_FILTER_SYNTAX_FILTER_PARSER_H
#define ZT_FILTER_SYNTAX_FILTER_PARSER_H

#include "FilterLexer.h"

#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace ZtFilterSyntax {

using ZtAtlCom::HRESULT;
using ZtEventLoggerVdlProxy::IZtEventFilter;

/* One node of the parsed text. The tree is kept flat: an And never holds an
 * And, an Or never holds an Or, and neither holds a single child, so that
 * redundant parentheses leave no trace in the filter. An empty text is an
 * And without children. */
struct FilterNode {
    enum class Type { Comparison, Not, And, Or };

    Type type = Type::And;
    std::size_t offset = 0;  // where it starts in the text (bytes)
    std::vector<FilterNode> children;
    // Comparison: appends its expression to a filter (querying the alarm or
    // device interface when it needs one).
    std::function<HRESULT(IZtEventFilter*)> add;
};

// Parenthesised groups and negations nest at most this deep, and a text is
// at most this long: far more than a filter of the most expressions a
// filter holds needs, and a bound on the work a text from outside can cause.
inline constexpr int kMaxNesting = 32;
inline constexpr std::size_t kMaxTextBytes = 1 << 20;

// The tree of text. Throws FilterSyntaxError (or std::bad_alloc).
FilterNode ParseFilterTree(std::string_view text);

}  // namespace ZtFilterSyntax

#endif  // ZT_FILTER_SYNTAX_FILTER_PARSER_H
