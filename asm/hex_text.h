#pragma once
// Upper-case hexadecimal text, the way listings and code files print numbers.
#include <cstdint>
#include <string>

namespace tallivo::assembler {

// `value` in at least `width` upper-case hex digits; a negative value gets a
// leading minus.
inline std::string hexDigits(std::int64_t value, int width) {
    static const char* const kDigits = "0123456789ABCDEF";
    const bool negative = value < 0;
    // Work on the unsigned magnitude so that the most negative value is safe.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[magnitude & 15]);
        magnitude >>= 4;
    } while (magnitude != 0);
    if (digits.size() < static_cast<std::size_t>(width)) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return negative ? "-" + digits : digits;
}

}  // namespace tallivo::assembler
