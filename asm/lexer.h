#pragma once
// Splits one source line into tokens. A ";" outside a quoted constant ends the
// line; everything after it is a comment.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallivo::assembler {

enum class TokenKind {
    Identifier,  // letters, digits, "_" and "."; not starting with a digit
    Number,      // decimal, 0x hex, trailing-h hex, 0b binary, or 'c'
    String,      // "text" (the include directive's operand)
    PairName,    // 0P to 7P: a register pair written Intel's way
    Punct,       // , ( ) + - * / & | << >> : = $
    End,         // after the last token; always present
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;        // as written; for a string, its contents
    std::int64_t value = 0;  // Number: its value; PairName: the pair number
    int column = 0;          // 0-based position in the line
};

struct LexedLine {
    std::vector<Token> tokens;  // ends with an End token, also after an error
    std::string error;          // empty when the line was read cleanly
    // Where the comment's ";" stands (one inside a quoted string or character
    // does not count); npos when the line has none (or an error stopped the
    // reading before it).
    std::size_t commentColumn = std::string_view::npos;
};

LexedLine lexLine(std::string_view line);

// True when `token` is the punctuation `text`.
inline bool isPunct(const Token& token, std::string_view text) {
    return token.kind == TokenKind::Punct && token.text == text;
}

}  // namespace tallivo::assembler
