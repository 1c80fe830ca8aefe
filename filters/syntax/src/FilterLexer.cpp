#include "FilterLexer.h"

#include <cstdint>

namespace ZtFilterSyntax {

using namespace ZtEventLoggerVdlProxy;

namespace {

// Bare words carry field names, names, numbers, times and GUIDs; bytes of
// multi-byte UTF-8 characters belong to words too (JSON member names).
bool IsWordByte(unsigned char c) noexcept {
    if (c >= 0x80) return true;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '_':
    case '.':
    case ':':
    case '+':
    case '-':
    case '{':
    case '}': return true;
    default: return false;
    }
}

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        for (;;) {
            while (m_pos < m_text.size() && IsBlank(m_text[m_pos])) ++m_pos;
            Token token;
            token.offset = m_pos;
            if (m_pos == m_text.size()) {
                token.end = m_pos;
                tokens.push_back(std::move(token));
                return tokens;
            }
            Next(token);
            token.end = m_pos;
            tokens.push_back(std::move(token));
        }
    }

private:
    void Next(Token& token) {
        const char c = m_text[m_pos];
        switch (c) {
        case '(': token.kind = TokenKind::Open, ++m_pos; return;
        case ')': token.kind = TokenKind::Close, ++m_pos; return;
        case '"':
        case '\'': return QuotedText(token, c);
        case '=': return Operator(token, FilterEqual, Follows('=') ? 2 : 1);
        case '~': return Operator(token, FilterContains, 1);
        case '<': return Operator(token, Follows('=') ? FilterLessOrEqual : FilterLess, Follows('=') ? 2 : 1);
        case '>': return Operator(token, Follows('=') ? FilterGreaterOrEqual : FilterGreater, Follows('=') ? 2 : 1);
        case '!':
            if (Follows('=')) return Operator(token, FilterNotEqual, 2);
            throw FilterSyntaxError{m_pos, "'!' alone is no operator; write '!=' or 'not'"};
        case '^':
            if (Follows('=')) return Operator(token, FilterStartsWith, 2);
            throw FilterSyntaxError{m_pos, "'^' alone is no operator; write '^=' (starts with)"};
        case '$':
            if (Follows('=')) return Operator(token, FilterEndsWith, 2);
            throw FilterSyntaxError{m_pos, "'$' alone is no operator; write '$=' (ends with)"};
        default: break;
        }
        if (!IsWordByte(static_cast<unsigned char>(c))) {
            if (c == '\0') throw FilterSyntaxError{m_pos, "the text holds a zero byte"};
            if (static_cast<unsigned char>(c) < 0x20) throw FilterSyntaxError{m_pos, "unexpected control character"};
            throw FilterSyntaxError{m_pos, std::string("unexpected character '") + c + "'"};
        }
        token.kind = TokenKind::Word;
        while (m_pos < m_text.size() && IsWordByte(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
        token.text.assign(m_text.substr(token.offset, m_pos - token.offset));
    }

    bool Follows(char c) const noexcept { return m_pos + 1 < m_text.size() && m_text[m_pos + 1] == c; }

    void Operator(Token& token, tagZtFilterCompareEnum compare, std::size_t length) {
        token.kind = TokenKind::Operator;
        token.compare = compare;
        m_pos += length;
    }

    void QuotedText(Token& token, char quote) {
        token.kind = TokenKind::Text;
        const std::size_t start = m_pos++;
        for (;;) {
            if (m_pos >= m_text.size()) throw FilterSyntaxError{start, "this text has no closing quote"};
            const char c = m_text[m_pos];
            if (c == quote) {
                ++m_pos;
                return;
            }
            if (c == '\0') throw FilterSyntaxError{m_pos, "the text holds a zero byte"};
            if (c != '\\') {
                token.text += c;
                ++m_pos;
                continue;
            }
            Escape(token.text);
        }
    }

    void Escape(std::string& out) {
        const std::size_t at = m_pos;
        if (m_pos + 1 >= m_text.size()) throw FilterSyntaxError{at, "'\\' ends the text"};
        const char c = m_text[m_pos + 1];
        m_pos += 2;
        switch (c) {
        case '"':
        case '\'':
        case '\\':
        case '/': out += c; return;
        case 'b': out += '\b'; return;
        case 'f': out += '\f'; return;
        case 'n': out += '\n'; return;
        case 'r': out += '\r'; return;
        case 't': out += '\t'; return;
        case 'u': break;
        default: throw FilterSyntaxError{at, std::string("unknown escape '\\") + c + "'"};
        }
        std::uint32_t code = Hex4(at);
        if (code >= 0xD800 && code <= 0xDBFF) {
            // A high surrogate must be followed by its low half.
            if (m_pos + 1 >= m_text.size() || m_text[m_pos] != '\\' || m_text[m_pos + 1] != 'u')
                throw FilterSyntaxError{at, "'\\u' gives half of a surrogate pair"};
            m_pos += 2;
            const std::uint32_t low = Hex4(at);
            if (low < 0xDC00 || low > 0xDFFF) throw FilterSyntaxError{at, "'\\u' gives half of a surrogate pair"};
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            throw FilterSyntaxError{at, "'\\u' gives half of a surrogate pair"};
        }
        if (code == 0) throw FilterSyntaxError{at, "a text cannot hold the character 0"};
        AppendUtf8(out, code);
    }

    std::uint32_t Hex4(std::size_t at) {
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            const int digit = m_pos < m_text.size() ? HexValue(m_text[m_pos]) : -1;
            if (digit < 0) throw FilterSyntaxError{at, "'\\u' needs four hexadecimal digits"};
            code = (code << 4) | static_cast<std::uint32_t>(digit);
        }
        return code;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) { return Lexer(text).Run(); }

const char* OperatorText(tagZtFilterCompareEnum compare) noexcept {
    switch (compare) {
    case FilterEqual: return "=";
    case FilterNotEqual: return "!=";
    case FilterLess: return "<";
    case FilterLessOrEqual: return "<=";
    case FilterGreater: return ">";
    case FilterGreaterOrEqual: return ">=";
    case FilterContains: return "~";
    case FilterStartsWith: return "^=";
    case FilterEndsWith: return "$=";
    }
    return "?";
}

std::string Shortened(const std::string& text) {
    std::size_t n = text.size();
    if (n <= 40) return text;
    n = 40;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;  // a character boundary
    return text.substr(0, n) + "...";
}

std::string Describe(const Token& token) {
    switch (token.kind) {
    case TokenKind::End: return "the end of the text";
    case TokenKind::Word: return "'" + Shortened(token.text) + "'";
    case TokenKind::Text: return "a quoted text";
    case TokenKind::Operator: return std::string("'") + OperatorText(token.compare) + "'";
    case TokenKind::Open: return "'('";
    case TokenKind::Close: return "')'";
    }
    return "?";
}

}  // namespace ZtFilterSyntax
