#include "asm/listing_reader.h"

#include <algorithm>
#include <cctype>

namespace tallivo::assembler {

namespace {

// Columns of a listing row (see formatListing): address, bytes, line number.
constexpr std::size_t kBytesColumn = 5;
constexpr std::size_t kBytesPerRow = 4;
constexpr std::size_t kNumberColumn = kBytesColumn + 3 * kBytesPerRow;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// The next row of `text` from `at`, without its line end.
std::string_view nextRow(std::string_view text, std::size_t& at) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view row = text.substr(at, end - at);
    at = end + 1;
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    return row;
}

}  // namespace

bool readListing(std::string_view text, Listing& listing, std::string& error) {
    listing = Listing{};
    listing.files.emplace_back();
    int file = 0;
    int rowNumber = 0;
    auto fail = [&](const std::string& why) {
        error = "listing row " + std::to_string(rowNumber) + ": " + why;
        return false;
    };
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view row = nextRow(text, at);
        ++rowNumber;
        if (row.rfind("; file ", 0) == 0) {
            const std::string name(row.substr(7));
            const auto known = std::find(listing.files.begin() + 1, listing.files.end(), name);
            file = static_cast<int>(known - listing.files.begin());
            if (known == listing.files.end()) listing.files.push_back(name);
            continue;
        }
        if (row.empty()) return fail("empty row");

        int address = -1;
        const std::string_view addressField = row.substr(0, std::min(row.size(), kBytesColumn));
        if (!isBlank(addressField)) {
            if (addressField.size() < kBytesColumn || addressField.substr(3) != "  ")
                return fail("expected an address of three hex digits and two blanks");
            address = 0;
            for (char c : addressField.substr(0, 3)) {
                const int digit = hexValue(c);
                if (digit < 0) return fail("expected an address of three hex digits");
                address = address * 16 + digit;
            }
        }

        std::vector<std::uint8_t> bytes;
        for (std::size_t b = 0; b < kBytesPerRow; ++b) {
            const std::size_t column = kBytesColumn + 3 * b;
            if (column >= row.size()) break;
            const std::string_view cell = row.substr(column, 3);
            if (isBlank(cell)) break;
            const int high = hexValue(cell[0]);
            const int low = cell.size() > 1 ? hexValue(cell[1]) : -1;
            if (high < 0 || low < 0 || (cell.size() > 2 && cell[2] != ' '))
                return fail("expected bytes of two hex digits");
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        }

        // A row of address and bytes only goes on with the line before it.
        if (row.size() <= kNumberColumn) {
            if (bytes.empty() || address < 0)
                return fail("a row without a line number must hold an address and bytes");
            if (listing.lines.empty()) return fail("the first row has no line number");
            SourceLine& previous = listing.lines.back();
            if (previous.address < 0 ||
                address != previous.address + static_cast<int>(previous.bytes.size()))
                return fail("bytes that do not follow on from the line before");
            previous.bytes.insert(previous.bytes.end(), bytes.begin(), bytes.end());
            continue;
        }
        if (bytes.size() < kBytesPerRow &&
            !isBlank(row.substr(kBytesColumn + 3 * bytes.size(),
                                kNumberColumn - kBytesColumn - 3 * bytes.size())))
            return fail("expected bytes of two hex digits");

        std::size_t i = kNumberColumn;
        while (i < row.size() && row[i] == ' ') ++i;
        const std::size_t digits = i;
        int number = 0;
        while (i < row.size() && std::isdigit(static_cast<unsigned char>(row[i])) &&
               number < 100000000)
            number = number * 10 + (row[i++] - '0');
        if (i == digits) return fail("expected a line number");
        SourceLine line;
        line.file = file;
        line.number = number;
        line.address = address;
        line.bytes = std::move(bytes);
        if (i < row.size()) {
            if (row.substr(i, 2) != "  ") return fail("expected two blanks after the line number");
            line.text = std::string(row.substr(i + 2));
        }
        listing.lines.push_back(std::move(line));
    }
    return true;
}

bool readSymbols(std::string_view text, std::map<std::string, std::int64_t>& symbols,
                 std::string& error) {
    symbols.clear();
    int rowNumber = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view row = nextRow(text, at);
        ++rowNumber;
        const std::size_t blank = row.find(' ');
        std::string_view value =
            blank == std::string_view::npos ? std::string_view() : row.substr(blank + 1);
        const bool negative = !value.empty() && value[0] == '-';
        if (negative) value.remove_prefix(1);
        // Twelve hex digits are far beyond any value the assembler keeps.
        bool ok = blank != 0 && blank != std::string_view::npos && value.size() > 2 &&
                  value.size() <= 14 && value.substr(0, 2) == "0x";
        std::int64_t number = 0;
        for (std::size_t k = 2; ok && k < value.size(); ++k) {
            const int digit = hexValue(value[k]);
            ok = digit >= 0;
            number = number * 16 + digit;
        }
        if (!ok) {
            error = "symbol table line " + std::to_string(rowNumber) + ": expected 'NAME 0xVALUE'";
            return false;
        }
        symbols[std::string(row.substr(0, blank))] = negative ? -number : number;
    }
    return true;
}

bool isWord(const Token& token, std::string_view word) {
    if (token.kind != TokenKind::Identifier || token.text.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(token.text[i])) != word[i]) return false;
    return true;
}

std::vector<std::string> lineLabels(const std::vector<Token>& t,
                                    const std::map<std::string, std::int64_t>& symbols,
                                    std::size_t& next) {
    // Every token list ends with an End token, so t[pos + 1] is there
    // whenever t[pos] is an identifier.
    auto isEqu = [&](std::size_t i) {
        return i < t.size() && (isPunct(t[i], "=") || isWord(t[i], "equ"));
    };
    std::vector<std::string> labels;
    std::size_t pos = 0;
    while (pos + 1 < t.size() && t[pos].kind == TokenKind::Identifier && isPunct(t[pos + 1], ":")) {
        labels.push_back(t[pos].text);
        pos += 2;
    }
    if (pos == 0 && !t.empty() && t[0].kind == TokenKind::Identifier && t[0].column == 0 &&
        !isEqu(1) && symbols.count(t[0].text) != 0) {
        labels.push_back(t[0].text);
        pos = 1;
    }
    if (!labels.empty() && isEqu(pos)) labels.pop_back();
    next = pos;
    return labels;
}

}  // namespace tallivo::assembler
