// FilterLexer.h - splits a filter text into words, quoted texts,
// comparison operators and parentheses.
#ifndef ZT_FILTER_SYNTAX_FILTER_LEXER_H
#define ZT_FILTER_SYNTAX_FILTER_LEXER_H

#include "ZtEventLoggerVdlProxy/ZtFilterInterfaces.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ZtFilterSyntax {

using ZtEventLoggerVdlProxy::tagZtFilterCompareEnum;

/* A fault in the text at a byte offset; thrown by the lexer and the parser
 * and turned into a FilterTextResult at the API. */
struct FilterSyntaxError {
    std::size_t offset;
    std::string message;
};

enum class TokenKind { End, Word, Text, Operator, Open, Close };

struct Token {
    TokenKind kind = TokenKind::End;
    std::size_t offset = 0;                                               // first byte in the text
    std::size_t end = 0;                                                  // one past the last byte
    std::string text;                                                     // a word as written; a quoted text decoded
    tagZtFilterCompareEnum compare = ZtEventLoggerVdlProxy::FilterEqual;  // Operator
};

// The tokens of text, ending with one End token. Throws FilterSyntaxError.
std::vector<Token> Tokenize(std::string_view text);

// text, cut after 40 bytes (with "...") to keep messages short.
std::string Shortened(const std::string& text);

// How a token is shown in messages: 'word', a text, '>=', '(' or the end.
std::string Describe(const Token& token);

// The spelling of a comparison operator ("^=").
const char* OperatorText(tagZtFilterCompareEnum compare) noexcept;

}  // namespace ZtFilterSyntax

#endif  // ZT_FILTER_SYNTAX_FILTER_LEXER_H
