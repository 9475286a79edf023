#include "asm/lexer.h"

#include <cctype>
#include <optional>

namespace tallivo::assembler {

namespace {

bool isIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}
bool isIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const int lower = std::tolower(static_cast<unsigned char>(c));
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
    return 99;
}

// Larger numbers than this fit no field of any instruction; refusing them
// early also keeps every later sum and product far from overflow.
constexpr std::int64_t kNumberLimit = 0xFFFFFFFF;

std::optional<std::int64_t> digitsValue(std::string_view digits, int base) {
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        const int d = digitValue(c);
        if (d >= base) return std::nullopt;
        value = value * base + d;
        if (value > kNumberLimit) return std::nullopt;
    }
    return value;
}

bool allDigits(std::string_view digits, int base) {
    if (digits.empty()) return false;
    for (char c : digits) {
        if (digitValue(c) >= base) return false;
    }
    return true;
}

// The text of a character for a message: printable as itself, else as hex.
std::string describeChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isprint(u)) return std::string("'") + c + "'";
    static const char* const kHex = "0123456789ABCDEF";
    return std::string("byte 0x") + kHex[u >> 4] + kHex[u & 15];
}

// Reads a number written as a run of letters and digits. The run decides the
// base: trailing h (hex, Intel's form, e.g. 0FFh), 0x (hex), 0b (binary), or
// plain decimal. A digit 0-7 followed by P is a register pair.
bool lexNumber(std::string_view run, Token& token, std::string& error) {
    if (run.size() == 2 && run[0] >= '0' && run[0] <= '7' && (run[1] == 'P' || run[1] == 'p')) {
        token.kind = TokenKind::PairName;
        token.value = run[0] - '0';
        return true;
    }
    std::optional<std::int64_t> value;
    const char last = run.back();
    if (run.size() > 1 && (last == 'h' || last == 'H') &&
        allDigits(run.substr(0, run.size() - 1), 16)) {
        value = digitsValue(run.substr(0, run.size() - 1), 16);
    } else if (run.size() > 2 && run[0] == '0' && (run[1] == 'x' || run[1] == 'X') &&
               allDigits(run.substr(2), 16)) {
        value = digitsValue(run.substr(2), 16);
    } else if (run.size() > 2 && run[0] == '0' && (run[1] == 'b' || run[1] == 'B') &&
               allDigits(run.substr(2), 2)) {
        value = digitsValue(run.substr(2), 2);
    } else if (allDigits(run, 10)) {
        value = digitsValue(run, 10);
    } else {
        error = "malformed number '" + std::string(run) + "'";
        return false;
    }
    if (!value) {
        error = "number '" + std::string(run) + "' is too large";
        return false;
    }
    token.kind = TokenKind::Number;
    token.value = *value;
    return true;
}

// Reads 'c' or one of the escapes \\ \' \" \n \r \t \0 starting at the
// opening quote; returns the length consumed or 0 on error.
std::size_t lexCharacter(std::string_view line, std::size_t start, Token& token,
                         std::string& error) {
    std::size_t i = start + 1;
    if (i >= line.size()) {
        error = "unterminated character constant";
        return 0;
    }
    unsigned char value = static_cast<unsigned char>(line[i]);
    if (line[i] == '\\') {
        ++i;
        if (i >= line.size()) {
            error = "unterminated character constant";
            return 0;
        }
        switch (line[i]) {
            case '\\':
                value = '\\';
                break;
            case '\'':
                value = '\'';
                break;
            case '"':
                value = '"';
                break;
            case 'n':
                value = '\n';
                break;
            case 'r':
                value = '\r';
                break;
            case 't':
                value = '\t';
                break;
            case '0':
                value = 0;
                break;
            default:
                error =
                    "unknown escape '\\" + std::string(1, line[i]) + "' in a character constant";
                return 0;
        }
    }
    ++i;
    if (i >= line.size() || line[i] != '\'') {
        error = "a character constant holds one character and ends with '";
        return 0;
    }
    token.kind = TokenKind::Number;
    token.value = value;
    return i + 1 - start;
}

}  // namespace

LexedLine lexLine(std::string_view line) {
    LexedLine result;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (isBlank(c)) {
            ++i;
            continue;
        }
        if (c == ';') {
            result.commentColumn = i;
            break;
        }
        Token token;
        token.column = static_cast<int>(i);
        if (isIdentifierStart(c)) {
            std::size_t end = i;
            while (end < line.size() && isIdentifierChar(line[end])) ++end;
            token.kind = TokenKind::Identifier;
            token.text = std::string(line.substr(i, end - i));
            i = end;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t end = i;
            while (end < line.size() && isIdentifierChar(line[end])) ++end;
            token.text = std::string(line.substr(i, end - i));
            if (!lexNumber(token.text, token, result.error)) break;
            i = end;
        } else if (c == '\'') {
            const std::size_t length = lexCharacter(line, i, token, result.error);
            if (length == 0) break;
            token.text = std::string(line.substr(i, length));
            i += length;
        } else if (c == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                result.error = "unterminated string";
                break;
            }
            token.kind = TokenKind::String;
            token.text = std::string(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if ((c == '<' || c == '>') && i + 1 < line.size() && line[i + 1] == c) {
            token.kind = TokenKind::Punct;
            token.text = std::string(2, c);
            i += 2;
        } else if (std::string_view(",()+-*/&|:=$").find(c) != std::string_view::npos) {
            token.kind = TokenKind::Punct;
            token.text = std::string(1, c);
            ++i;
        } else {
            result.error = "unexpected " + describeChar(c);
            break;
        }
        result.tokens.push_back(std::move(token));
    }
    Token end;
    end.column = static_cast<int>(line.size());
    result.tokens.push_back(end);
    return result;
}

}  // namespace tallivo::assembler
