#pragma once
// The 4004 instruction set as the assembler and the disassembler see it: each
// mnemonic, its base opcode and the form of its operands. An instruction word
// is OPR (bits 7-4) and OPA (bits 3-0); the operand fills OPA and, for the
// two-word instructions, the second word.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tallivo::assembler {

// Program addresses that the five 4001 ROMs answer: 0x000 to 0x4FF.
inline constexpr int kRomEnd = 0x500;
inline constexpr int kPageSize = 0x100;

enum class OperandForm {
    None,              // NOP, the I/O group, the accumulator group
    Register,          // INC, ADD, SUB, LD, XCH: OPA = register 0..15
    Pair,              // SRC, FIN, JIN: OPA = 2 * pair (+1 for SRC and JIN)
    Data4,             // BBL, LDM: OPA = 4-bit value
    PairData8,         // FIM: OPA = 2 * pair, second word = 8-bit value
    ConditionAddress,  // JCN: OPA = condition, second word = low 8 address bits
    RegisterAddress,   // ISZ: OPA = register, second word = low 8 address bits
    Address12,         // JUN, JMS: OPA = address bits 11-8, second word = bits 7-0
};

struct Mnemonic {
    std::string_view name;  // upper case, as Intel writes it
    std::uint8_t opcode;    // the first word with OPA = 0 (SRC and JIN: OPA = 1)
    OperandForm form;
};

// Number of program words an instruction of this form occupies.
constexpr int wordCount(OperandForm form) {
    switch (form) {
        case OperandForm::PairData8:
        case OperandForm::ConditionAddress:
        case OperandForm::RegisterAddress:
        case OperandForm::Address12:
            return 2;
        default:
            return 1;
    }
}

// Every mnemonic of the instruction set, in opcode order.
std::span<const Mnemonic> mnemonics();

// The mnemonic named `name` in any letter case, or nullptr.
const Mnemonic* findMnemonic(std::string_view name);

// The instruction whose first word is `word`, or nullptr for the words that
// the CPU executes as a NOP without naming them (0x01-0x0F, 0xFE, 0xFF).
const Mnemonic* decode(std::uint8_t word);

// JCN condition bits: bit 3 inverts the OR of the three tests below it.
inline constexpr int kConditionInvert = 8;
inline constexpr int kConditionAccumulatorZero = 4;
inline constexpr int kConditionCarry = 2;
inline constexpr int kConditionTestLow = 1;

// Parses the letter form of a JCN condition: an optional leading N (invert)
// and one or more of T, C, Z in any order and letter case, each at most once.
std::optional<int> parseConditionLetters(std::string_view text);

// The letter form of a condition, N first, then T, C, Z; empty when no test
// bit is set (conditions 0 and 8), which only a number can write.
std::string_view conditionLetters(int condition);

}  // namespace tallivo::assembler
