#include "asm/mnemonics.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tallivo::assembler {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

const isa::Instruction* findMnemonic(std::string_view name) {
    for (const isa::Instruction& in : isa::kInstructions) {
        if (equalsIgnoringCase(in.name, name)) return &in;
    }
    return nullptr;
}

std::optional<int> parseConditionLetters(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int condition = 0;
    std::size_t i = 0;
    if (std::toupper(static_cast<unsigned char>(text[0])) == 'N') {
        condition = isa::kConditionInvert;
        i = 1;
    }
    if (i == text.size()) return std::nullopt;  // "N" alone names no test
    for (; i < text.size(); ++i) {
        int bit = 0;
        switch (std::toupper(static_cast<unsigned char>(text[i]))) {
            case 'T':
                bit = isa::kConditionTestLow;
                break;
            case 'C':
                bit = isa::kConditionCarry;
                break;
            case 'Z':
                bit = isa::kConditionAccumulatorZero;
                break;
            default:
                return std::nullopt;
        }
        if (condition & bit) return std::nullopt;
        condition |= bit;
    }
    return condition;
}

std::string_view conditionLetters(int condition) {
    static constexpr std::array<std::string_view, 16> kLetters{
        "", "T",  "C",  "TC",  "Z",  "TZ",  "CZ",  "TCZ",
        "", "NT", "NC", "NTC", "NZ", "NTZ", "NCZ", "NTCZ"};
    return kLetters[static_cast<std::size_t>(condition & 15)];
}

}  // namespace tallivo::assembler
