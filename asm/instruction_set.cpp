#include "asm/instruction_set.h"

#include <array>
#include <cctype>

namespace tallivo::assembler {

namespace {

constexpr std::array<Mnemonic, 46> kMnemonics{{
    {"NOP", 0x00, OperandForm::None},
    {"JCN", 0x10, OperandForm::ConditionAddress},
    {"FIM", 0x20, OperandForm::PairData8},
    {"SRC", 0x21, OperandForm::Pair},
    {"FIN", 0x30, OperandForm::Pair},
    {"JIN", 0x31, OperandForm::Pair},
    {"JUN", 0x40, OperandForm::Address12},
    {"JMS", 0x50, OperandForm::Address12},
    {"INC", 0x60, OperandForm::Register},
    {"ISZ", 0x70, OperandForm::RegisterAddress},
    {"ADD", 0x80, OperandForm::Register},
    {"SUB", 0x90, OperandForm::Register},
    {"LD", 0xA0, OperandForm::Register},
    {"XCH", 0xB0, OperandForm::Register},
    {"BBL", 0xC0, OperandForm::Data4},
    {"LDM", 0xD0, OperandForm::Data4},
    // The I/O and RAM group: OPA picks the instruction.
    {"WRM", 0xE0, OperandForm::None},
    {"WMP", 0xE1, OperandForm::None},
    {"WRR", 0xE2, OperandForm::None},
    {"WPM", 0xE3, OperandForm::None},
    {"WR0", 0xE4, OperandForm::None},
    {"WR1", 0xE5, OperandForm::None},
    {"WR2", 0xE6, OperandForm::None},
    {"WR3", 0xE7, OperandForm::None},
    {"SBM", 0xE8, OperandForm::None},
    {"RDM", 0xE9, OperandForm::None},
    {"RDR", 0xEA, OperandForm::None},
    {"ADM", 0xEB, OperandForm::None},
    {"RD0", 0xEC, OperandForm::None},
    {"RD1", 0xED, OperandForm::None},
    {"RD2", 0xEE, OperandForm::None},
    {"RD3", 0xEF, OperandForm::None},
    // The accumulator group; 0xFE and 0xFF have no instruction.
    {"CLB", 0xF0, OperandForm::None},
    {"CLC", 0xF1, OperandForm::None},
    {"IAC", 0xF2, OperandForm::None},
    {"CMC", 0xF3, OperandForm::None},
    {"CMA", 0xF4, OperandForm::None},
    {"RAL", 0xF5, OperandForm::None},
    {"RAR", 0xF6, OperandForm::None},
    {"TCC", 0xF7, OperandForm::None},
    {"DAC", 0xF8, OperandForm::None},
    {"TCS", 0xF9, OperandForm::None},
    {"STC", 0xFA, OperandForm::None},
    {"DAA", 0xFB, OperandForm::None},
    {"KBP", 0xFC, OperandForm::None},
    {"DCL", 0xFD, OperandForm::None},
}};

// Which mnemonic each of the 256 first words decodes to (index into
// kMnemonics), or -1. Built once from the table above so the two can't drift.
std::array<int, 256> buildDecodeTable() {
    std::array<int, 256> table{};
    table.fill(-1);
    for (int i = 0; i < static_cast<int>(kMnemonics.size()); ++i) {
        const Mnemonic& m = kMnemonics[static_cast<std::size_t>(i)];
        switch (m.form) {
            case OperandForm::None:
                table[m.opcode] = i;
                break;
            case OperandForm::Pair:
            case OperandForm::PairData8:
                // The pair sits in OPA bits 3-1; bit 0 tells FIM from SRC and
                // FIN from JIN, and is already part of the base opcode.
                for (int pair = 0; pair < 8; ++pair) table[m.opcode + 2 * pair] = i;
                break;
            default:
                for (int opa = 0; opa < 16; ++opa) table[m.opcode + opa] = i;
                break;
        }
    }
    return table;
}

const std::array<int, 256>& decodeTable() {
    static const std::array<int, 256> table = buildDecodeTable();
    return table;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

std::span<const Mnemonic> mnemonics() {
    return kMnemonics;
}

const Mnemonic* findMnemonic(std::string_view name) {
    for (const Mnemonic& m : kMnemonics) {
        if (equalsIgnoringCase(m.name, name)) return &m;
    }
    return nullptr;
}

const Mnemonic* decode(std::uint8_t word) {
    const int index = decodeTable()[word];
    return index < 0 ? nullptr : &kMnemonics[static_cast<std::size_t>(index)];
}

std::optional<int> parseConditionLetters(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int condition = 0;
    std::size_t i = 0;
    if (std::toupper(static_cast<unsigned char>(text[0])) == 'N') {
        condition = kConditionInvert;
        i = 1;
    }
    if (i == text.size()) return std::nullopt;  // "N" alone names no test
    for (; i < text.size(); ++i) {
        int bit = 0;
        switch (std::toupper(static_cast<unsigned char>(text[i]))) {
            case 'T':
                bit = kConditionTestLow;
                break;
            case 'C':
                bit = kConditionCarry;
                break;
            case 'Z':
                bit = kConditionAccumulatorZero;
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
