#include "chips/code_file.h"

#include <cstring>
#include <fstream>

namespace tallivo {

namespace {

// A physical line longer than this is taken in pieces of at most this many
// characters, each handled as a line of its own (the loader's line buffer).
constexpr std::size_t kMaxPiece = 255;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a hexadecimal number the way a 32-bit strtol(..., 16) does: leading
// white space, an optional sign, an optional 0x, then digits. A magnitude that
// does not fit saturates to the 32-bit limits instead of wrapping. False when
// no digit follows.
bool parseHex(const char* text, std::int32_t& value) {
    const char* p = text;
    while (isBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // "0x" counts as a prefix only when a digit follows; "0xg" is the number 0.
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigit(p[2]) >= 0) p += 2;
    if (hexDigit(*p) < 0) return false;
    constexpr std::uint64_t kLimit = 0x80000000u;  // magnitude of the most negative value
    std::uint64_t magnitude = 0;
    for (int d; (d = hexDigit(*p)) >= 0; ++p) {
        if (magnitude <= kLimit) magnitude = magnitude * 16 + static_cast<std::uint64_t>(d);
    }
    if (negative) {
        value = magnitude >= kLimit
                    ? INT32_MIN
                    : static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    } else {
        value = magnitude >= kLimit ? INT32_MAX : static_cast<std::int32_t>(magnitude);
    }
    return true;
}

void handleLine(char* line, int lineNumber, std::int32_t& loadAddress,
                const CodeByteHandler& onByte) {
    if (char* slash = std::strchr(line, '/')) *slash = '\0';
    std::int32_t number = 0;
    if (line[0] == '@') {
        // An address line names the address of the next byte; with no number it is ignored.
        if (parseHex(line + 1, number)) loadAddress = number;
        return;
    }
    if (!parseHex(line, number)) return;
    onByte(loadAddress, static_cast<std::uint8_t>(number & 0xFF), lineNumber);
    // Every byte advances the address, stored or not; it wraps as a 32-bit value.
    loadAddress = static_cast<std::int32_t>(static_cast<std::uint32_t>(loadAddress) + 1u);
}

}  // namespace

void scanCodeStream(std::istream& in, const CodeByteHandler& onByte) {
    // Bytes before the first address line go to address 0 and up.
    std::int32_t loadAddress = 0;
    char piece[kMaxPiece + 1];
    std::size_t length = 0;
    int line = 1;       // the physical line the next piece starts on
    int pieceLine = 1;  // the line the current piece started on
    char c;
    while (in.get(c)) {
        // A NUL ends the text of a piece as it would in a C string buffer.
        if (length == 0) pieceLine = line;
        piece[length++] = c;
        if (c == '\n') ++line;
        if (c == '\n' || length == kMaxPiece) {
            piece[length] = '\0';
            handleLine(piece, pieceLine, loadAddress, onByte);
            length = 0;
        }
    }
    if (length > 0) {
        piece[length] = '\0';
        handleLine(piece, pieceLine, loadAddress, onByte);
    }
}

void loadCodeStream(std::istream& in, int chipNumber, RomPage& image) {
    // Each chip keeps the bytes whose address names its page.
    scanCodeStream(in, [&](std::int32_t address, std::uint8_t value, int) {
        if ((address >> 8) == chipNumber) image[static_cast<std::size_t>(address & 0xFF)] = value;
    });
}

bool loadCodeFile(const std::string& path, int chipNumber, RomPage& image) {
    std::ifstream in(path, std::ios::in);
    if (!in) return false;
    loadCodeStream(in, chipNumber, image);
    return true;
}

}  // namespace tallivo
