#pragma once
// The 4004's instruction set (isa), written once: the named OPR and OPA values
// that the CPU, the ROM and the RAM decode by, and the table of the 46
// instructions (mnemonic, first word, operand, words, cycles) that the
// execution monitor, the inspector, the assembler and the disassembler read.
//
// An instruction's first word is OPR (bits 7-4) and OPA (bits 3-0). OPR picks
// the instruction, except that in OPR 2 and 3 OPA's bit 0 tells FIM from SRC
// and FIN from JIN, and that in OPR 14 and 15 OPA picks it. The operand fills
// the rest of OPA and, for the two-word instructions, the second word.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tallivo::isa {

// OPR: the instruction, or the group whose OPA names it.
enum Opr : std::uint8_t {
    kNop = 0x0,  // with OPA 1-15 nothing either
    kJcn = 0x1,
    kFimSrc = 0x2,  // FIM with an even OPA, SRC with an odd one
    kFinJin = 0x3,  // FIN with an even OPA, JIN with an odd one
    kJun = 0x4,
    kJms = 0x5,
    kInc = 0x6,
    kIsz = 0x7,
    kAdd = 0x8,
    kSub = 0x9,
    kLd = 0xA,
    kXch = 0xB,
    kBbl = 0xC,
    kLdm = 0xD,
    kIoGroup = 0xE,
    kAccumulatorGroup = 0xF,
};

// OPA in the I/O and RAM group. The CPU raises the command lines in M2 of
// these, and the chip selected by the last SRC does the work: OPA 0-7 write
// the accumulator, which the CPU drives in X2; OPA 8-15 read, the chip drives
// X2.
enum IoOpa : std::uint8_t {
    kWrm = 0x0,
    kWmp = 0x1,
    kWrr = 0x2,
    kWpm = 0x3,
    kWr0 = 0x4,
    kWr1 = 0x5,
    kWr2 = 0x6,
    kWr3 = 0x7,
    kSbm = 0x8,
    kRdm = 0x9,
    kRdr = 0xA,
    kAdm = 0xB,
    kRd0 = 0xC,
    kRd1 = 0xD,
    kRd2 = 0xE,
    kRd3 = 0xF,
};
constexpr bool ioReads(std::uint8_t opa) {
    return opa >= kSbm;
}

// OPA in the accumulator group; 14 and 15 are no instruction.
enum AccumulatorOpa : std::uint8_t {
    kClb = 0x0,
    kClc = 0x1,
    kIac = 0x2,
    kCmc = 0x3,
    kCma = 0x4,
    kRal = 0x5,
    kRar = 0x6,
    kTcc = 0x7,
    kDac = 0x8,
    kTcs = 0x9,
    kStc = 0xA,
    kDaa = 0xB,
    kKbp = 0xC,
    kDcl = 0xD,
};

// JCN's condition in OPA: jump when one of the three tests holds, or, with
// the invert bit, when none does.
inline constexpr std::uint8_t kConditionInvert = 8;
inline constexpr std::uint8_t kConditionAccumulatorZero = 4;
inline constexpr std::uint8_t kConditionCarry = 2;
inline constexpr std::uint8_t kConditionTestLow = 1;

enum class OperandKind : std::uint8_t {
    None,              // NOP, the I/O group, the accumulator group
    Register,          // INC, ADD, SUB, LD, XCH: OPA = register 0..15
    Pair,              // SRC, FIN, JIN: OPA = 2 * pair (+1 for SRC and JIN)
    Data4,             // BBL, LDM: OPA = 4-bit value
    PairData8,         // FIM: OPA = 2 * pair, second word = 8-bit value
    ConditionAddress,  // JCN: OPA = condition, second word = low 8 address bits
    RegisterAddress,   // ISZ: OPA = register, second word = low 8 address bits
    Address12,         // JUN, JMS: OPA = address bits 11-8, second word = bits 7-0
};

struct Instruction {
    std::string_view name;  // Intel's mnemonic, upper case
    std::uint8_t opcode;    // the first word with the operand's bits 0
    OperandKind operand;
    std::uint8_t words;   // program words: 2 when the operand goes on in a second word
    std::uint8_t cycles;  // instruction cycles: FIN's second fetches its data byte

    // The bits of a first word that name the instruction; the others are
    // its operand.
    constexpr std::uint8_t mask() const {
        switch (operand) {
            case OperandKind::None:
                return 0xFF;
            case OperandKind::Pair:
            case OperandKind::PairData8:
                return 0xF1;
            default:
                return 0xF0;
        }
    }
};

constexpr std::uint8_t firstWord(Opr opr, std::uint8_t opa = 0) {
    return static_cast<std::uint8_t>(opr << 4 | opa);
}

// In opcode order.
inline constexpr std::array<Instruction, 46> kInstructions{{
    {"NOP", firstWord(kNop), OperandKind::None, 1, 1},
    {"JCN", firstWord(kJcn), OperandKind::ConditionAddress, 2, 2},
    {"FIM", firstWord(kFimSrc, 0), OperandKind::PairData8, 2, 2},
    {"SRC", firstWord(kFimSrc, 1), OperandKind::Pair, 1, 1},
    {"FIN", firstWord(kFinJin, 0), OperandKind::Pair, 1, 2},
    {"JIN", firstWord(kFinJin, 1), OperandKind::Pair, 1, 1},
    {"JUN", firstWord(kJun), OperandKind::Address12, 2, 2},
    {"JMS", firstWord(kJms), OperandKind::Address12, 2, 2},
    {"INC", firstWord(kInc), OperandKind::Register, 1, 1},
    {"ISZ", firstWord(kIsz), OperandKind::RegisterAddress, 2, 2},
    {"ADD", firstWord(kAdd), OperandKind::Register, 1, 1},
    {"SUB", firstWord(kSub), OperandKind::Register, 1, 1},
    {"LD", firstWord(kLd), OperandKind::Register, 1, 1},
    {"XCH", firstWord(kXch), OperandKind::Register, 1, 1},
    {"BBL", firstWord(kBbl), OperandKind::Data4, 1, 1},
    {"LDM", firstWord(kLdm), OperandKind::Data4, 1, 1},
    {"WRM", firstWord(kIoGroup, kWrm), OperandKind::None, 1, 1},
    {"WMP", firstWord(kIoGroup, kWmp), OperandKind::None, 1, 1},
    {"WRR", firstWord(kIoGroup, kWrr), OperandKind::None, 1, 1},
    {"WPM", firstWord(kIoGroup, kWpm), OperandKind::None, 1, 1},
    {"WR0", firstWord(kIoGroup, kWr0), OperandKind::None, 1, 1},
    {"WR1", firstWord(kIoGroup, kWr1), OperandKind::None, 1, 1},
    {"WR2", firstWord(kIoGroup, kWr2), OperandKind::None, 1, 1},
    {"WR3", firstWord(kIoGroup, kWr3), OperandKind::None, 1, 1},
    {"SBM", firstWord(kIoGroup, kSbm), OperandKind::None, 1, 1},
    {"RDM", firstWord(kIoGroup, kRdm), OperandKind::None, 1, 1},
    {"RDR", firstWord(kIoGroup, kRdr), OperandKind::None, 1, 1},
    {"ADM", firstWord(kIoGroup, kAdm), OperandKind::None, 1, 1},
    {"RD0", firstWord(kIoGroup, kRd0), OperandKind::None, 1, 1},
    {"RD1", firstWord(kIoGroup, kRd1), OperandKind::None, 1, 1},
    {"RD2", firstWord(kIoGroup, kRd2), OperandKind::None, 1, 1},
    {"RD3", firstWord(kIoGroup, kRd3), OperandKind::None, 1, 1},
    {"CLB", firstWord(kAccumulatorGroup, kClb), OperandKind::None, 1, 1},
    {"CLC", firstWord(kAccumulatorGroup, kClc), OperandKind::None, 1, 1},
    {"IAC", firstWord(kAccumulatorGroup, kIac), OperandKind::None, 1, 1},
    {"CMC", firstWord(kAccumulatorGroup, kCmc), OperandKind::None, 1, 1},
    {"CMA", firstWord(kAccumulatorGroup, kCma), OperandKind::None, 1, 1},
    {"RAL", firstWord(kAccumulatorGroup, kRal), OperandKind::None, 1, 1},
    {"RAR", firstWord(kAccumulatorGroup, kRar), OperandKind::None, 1, 1},
    {"TCC", firstWord(kAccumulatorGroup, kTcc), OperandKind::None, 1, 1},
    {"DAC", firstWord(kAccumulatorGroup, kDac), OperandKind::None, 1, 1},
    {"TCS", firstWord(kAccumulatorGroup, kTcs), OperandKind::None, 1, 1},
    {"STC", firstWord(kAccumulatorGroup, kStc), OperandKind::None, 1, 1},
    {"DAA", firstWord(kAccumulatorGroup, kDaa), OperandKind::None, 1, 1},
    {"KBP", firstWord(kAccumulatorGroup, kKbp), OperandKind::None, 1, 1},
    {"DCL", firstWord(kAccumulatorGroup, kDcl), OperandKind::None, 1, 1},
}};

namespace detail {

constexpr bool hasSecondWord(OperandKind operand) {
    return operand == OperandKind::PairData8 || operand == OperandKind::ConditionAddress ||
           operand == OperandKind::RegisterAddress || operand == OperandKind::Address12;
}

// Every row's length agrees with its operand, and no first word is claimed
// by two rows.
constexpr bool tableIsSound() {
    for (const Instruction& in : kInstructions) {
        if (in.words != (hasSecondWord(in.operand) ? 2 : 1)) return false;
        if (in.cycles < in.words || in.cycles > 2) return false;
        if ((in.opcode & ~in.mask()) != 0) return false;
    }
    for (int word = 0; word < 256; ++word) {
        int claims = 0;
        for (const Instruction& in : kInstructions) claims += (word & in.mask()) == in.opcode;
        if (claims > 1) return false;
    }
    return true;
}
static_assert(tableIsSound());

// Which row each of the 256 first words decodes to, or -1 (0x01-0x0F, 0xFE,
// 0xFF, which the CPU runs as NOP).
constexpr std::array<std::int8_t, 256> decodeRows() {
    std::array<std::int8_t, 256> rows{};
    rows.fill(-1);
    for (std::size_t i = 0; i < kInstructions.size(); ++i) {
        for (int word = 0; word < 256; ++word) {
            if ((word & kInstructions[i].mask()) == kInstructions[i].opcode)
                rows[static_cast<std::size_t>(word)] = static_cast<std::int8_t>(i);
        }
    }
    return rows;
}

inline constexpr std::array<std::int8_t, 256> kDecodeRows = decodeRows();

}  // namespace detail

// The instruction whose first word is `word`, or nullptr for the words that
// the CPU runs as NOP without naming them.
constexpr const Instruction* decode(std::uint8_t word) {
    const int row = detail::kDecodeRows[word];
    return row < 0 ? nullptr : &kInstructions[static_cast<std::size_t>(row)];
}

// Program words and instruction cycles of the instruction that starts with
// `word`: one each for the unnamed words.
constexpr int wordsOf(std::uint8_t word) {
    const Instruction* in = decode(word);
    return in ? in->words : 1;
}
constexpr int cyclesOf(std::uint8_t word) {
    const Instruction* in = decode(word);
    return in ? in->cycles : 1;
}

}  // namespace tallivo::isa
