#include "asm/code_file_reader.h"

#include <array>
#include <cstdint>
#include <optional>

#include "asm/hex_text.h"

namespace tallivo::assembler {

namespace {

// The loader reads with a 255-character buffer: a longer physical line is
// handled as several lines, the line end counting as a character.
constexpr std::size_t kPieceLength = 255;

// Past this many, repeated warnings are summed up in one line.
constexpr int kMaxWarningsOfAKind = 20;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A hex number as a 32-bit strtol reads it: blanks, a sign, an optional 0x
// (only when a digit follows it), digits; too large a magnitude saturates.
std::optional<std::int32_t> leadingHexNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexValue(text[i + 2]) >= 0)
        i += 2;
    if (i >= text.size() || hexValue(text[i]) < 0) return std::nullopt;
    constexpr std::int64_t kMostNegative = 0x80000000;
    std::int64_t magnitude = 0;
    for (; i < text.size() && hexValue(text[i]) >= 0; ++i) {
        magnitude = std::min(magnitude * 16 + hexValue(text[i]), kMostNegative);
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(std::min(magnitude, kMostNegative - 1));
}

class Reader {
public:
    explicit Reader(const std::string& fileName) : fileName_(fileName) { lineOf_.fill(0); }

    CodeFileContents run(std::string_view text) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = start;
            while (end < text.size() && end - start < kPieceLength && text[end] != '\n') ++end;
            if (end < text.size() && text[end] == '\n' && end - start < kPieceLength) ++end;
            piece(text.substr(start, end - start));
            if (text[end - 1] == '\n') ++line_;
            start = end;
        }
        summarise(outside_, "more bytes outside the ROMs were left out");
        summarise(repeated_, "more addresses were given again");
        return std::move(result_);
    }

private:
    void warn(int line, std::string message) {
        result_.diagnostics.push_back({Severity::Warning, fileName_, line, std::move(message)});
    }

    void summarise(int count, const char* what) {
        if (count > kMaxWarningsOfAKind) warn(0, std::to_string(count - kMaxWarningsOfAKind) + " " + what);
    }

    void piece(std::string_view text) {
        // The loader's buffer is a C string: a NUL ends the text, and the
        // first "/" starts a comment.
        text = text.substr(0, text.find('\0'));
        text = text.substr(0, text.find('/'));
        if (!text.empty() && text[0] == '@') {
            if (const auto address = leadingHexNumber(text.substr(1))) address_ = *address;
            return;
        }
        const auto number = leadingHexNumber(text);
        if (!number) return;
        const auto value = static_cast<std::uint8_t>(*number & 0xFF);
        if (address_ >= 0 && address_ < kRomEnd) {
            const auto index = static_cast<std::size_t>(address_);
            if (result_.image.has(address_) && ++repeated_ <= kMaxWarningsOfAKind) {
                warn(line_, "address 0x" + hexDigits(address_, 3) + " was given before, at line " +
                                std::to_string(lineOf_[index]) + "; the later byte counts");
            }
            result_.image.set(address_, value);
            lineOf_[index] = line_;
        } else if (++outside_ <= kMaxWarningsOfAKind) {
            const std::string where = address_ < 0 ? std::to_string(address_) : "0x" + hexDigits(address_, 3);
            warn(line_, "byte at address " + where +
                            " is outside the ROMs (0x000 to 0x4FF) and is left out");
        }
        address_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(address_) + 1u);
    }

    const std::string& fileName_;
    CodeFileContents result_;
    std::array<int, kRomEnd> lineOf_{};
    std::int32_t address_ = 0;  // bytes before the first "@" line load from 0 up
    int line_ = 1;
    int outside_ = 0;
    int repeated_ = 0;
};

}  // namespace

CodeFileContents readCodeFile(std::string_view text, const std::string& fileName) {
    return Reader(fileName).run(text);
}

}  // namespace tallivo::assembler
