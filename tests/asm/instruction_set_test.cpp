// Every one of the 256 first words: what it assembles from and what it
// disassembles to, checked against the opcode map written out independently
// here (OPR selects the instruction; groups 14 and 15 are selected by OPA).
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "asm/assembler.h"
#include "asm/disassembler.h"
#include "asm/mnemonics.h"

namespace tallivo::assembler {
namespace {

// The two groups as a datasheet lists them, OPA 0 first, one name every four
// characters.
constexpr std::string_view kIoGroup =
    "WRM WMP WRR WPM WR0 WR1 WR2 WR3 SBM RDM RDR ADM RD0 RD1 RD2 RD3";
constexpr std::string_view kAccumulatorGroup =
    "CLB CLC IAC CMC CMA RAL RAR TCC DAC TCS STC DAA KBP DCL";
std::string groupName(std::string_view group, int opa) {
    return std::string(group.substr(static_cast<std::size_t>(4 * opa), 3));
}
constexpr int kAt = 0x100;     // where each word is placed
constexpr int kSecond = 0x23;  // the second word of two-word instructions

std::string hex(int value, int digits) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (int i = digits - 1; i >= 0; --i) s += d[(value >> (4 * i)) & 15];
    return s;
}

std::string condition(int c) {
    std::string letters = (c & 8) ? "N" : "";
    if (c & 1) letters += "T";
    if (c & 2) letters += "C";
    if (c & 4) letters += "Z";
    return (c & 7) ? letters : std::to_string(c);
}

// The source line that stands for `word` (with kSecond as second word), and
// whether the instruction has two words.
std::pair<std::string, bool> expected(int word) {
    const int opr = word >> 4, opa = word & 15;
    const std::string reg = "R" + std::to_string(opa), pair = "P" + std::to_string(opa / 2);
    const std::string inPage = "0x1" + hex(kSecond, 2);  // JCN/ISZ stay on page 1
    switch (opr) {
        case 0:
            return {opa == 0 ? "NOP" : "db 0x" + hex(word, 2), false};
        case 1:
            return {"JCN " + condition(opa) + ", " + inPage, true};
        case 2:
            return opa % 2 ? std::pair{"SRC " + pair, false}
                           : std::pair{"FIM " + pair + ", 0x23", true};
        case 3:
            return {(opa % 2 ? "JIN " : "FIN ") + pair, false};
        case 4:
            return {"JUN 0x" + hex(opa, 1) + "23", true};
        case 5:
            return {"JMS 0x" + hex(opa, 1) + "23", true};
        case 6:
            return {"INC " + reg, false};
        case 7:
            return {"ISZ " + reg + ", " + inPage, true};
        case 8:
            return {"ADD " + reg, false};
        case 9:
            return {"SUB " + reg, false};
        case 10:
            return {"LD " + reg, false};
        case 11:
            return {"XCH " + reg, false};
        case 12:
            return {"BBL " + std::to_string(opa), false};
        case 13:
            return {"LDM " + std::to_string(opa), false};
        case 14:
            return {groupName(kIoGroup, opa), false};
        default:
            return {opa < 14 ? groupName(kAccumulatorGroup, opa) : "db 0x" + hex(word, 2), false};
    }
}

// The instruction text of the first line after the org in a disassembly.
std::string firstInstruction(const std::string& source) {
    const std::size_t org = source.find("org ");
    std::size_t start = source.find('\n', org) + 1;
    const std::string line = source.substr(start, source.find('\n', start) - start);
    std::string text = line.substr(8, line.find(';') - 8);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

TEST(InstructionSet, EveryWordAssemblesAndDisassemblesAsTheOpcodeMapSays) {
    for (int word = 0; word < 256; ++word) {
        SCOPED_TRACE("word 0x" + hex(word, 2));
        const auto [text, twoWords] = expected(word);

        const Assembly assembly = assemble("  org 0x100\n  " + text + "\n", "op.asm", {});
        ASSERT_TRUE(assembly.ok()) << assembly.diagnostics.front().message;
        EXPECT_EQ(assembly.image.at(kAt), word);
        EXPECT_EQ(assembly.image.has(kAt + 1), twoWords);
        if (twoWords) {
            EXPECT_EQ(assembly.image.at(kAt + 1), kSecond);
        }

        RomImage image;
        image.set(kAt, static_cast<std::uint8_t>(word));
        image.set(kAt + 1, kSecond);
        EXPECT_EQ(firstInstruction(disassemble(image, "t")), text);

        const isa::Instruction* m = isa::decode(static_cast<std::uint8_t>(word));
        EXPECT_EQ(m != nullptr, text.rfind("db", 0) != 0);
        EXPECT_EQ(isa::wordsOf(static_cast<std::uint8_t>(word)), twoWords ? 2 : 1);
        // FIN is one word, but its second cycle fetches its data byte.
        const bool fin = word >> 4 == 3 && word % 2 == 0;
        EXPECT_EQ(isa::cyclesOf(static_cast<std::uint8_t>(word)), twoWords || fin ? 2 : 1);
        if (m) {
            EXPECT_EQ(findMnemonic(m->name), m);
        }
    }
}

TEST(InstructionSet, ConditionLettersNameTheTestBits) {
    EXPECT_EQ(parseConditionLetters("T"), 1);
    EXPECT_EQ(parseConditionLetters("c"), 2);
    EXPECT_EQ(parseConditionLetters("Z"), 4);
    EXPECT_EQ(parseConditionLetters("NZ"), 12);
    EXPECT_EQ(parseConditionLetters("TC"), 3);
    EXPECT_EQ(parseConditionLetters("zct"), 7);
    EXPECT_EQ(parseConditionLetters("N"), std::nullopt);   // inverts nothing
    EXPECT_EQ(parseConditionLetters("TT"), std::nullopt);  // a test named twice
    EXPECT_EQ(parseConditionLetters("ZN"), std::nullopt);  // N only in front
    EXPECT_EQ(parseConditionLetters("A"), std::nullopt);
    for (int c = 0; c < 16; ++c) {
        const std::string_view letters = conditionLetters(c);
        if (c & 7) {
            EXPECT_EQ(parseConditionLetters(letters), c);
        } else {
            EXPECT_TRUE(letters.empty());
        }
    }
}

}  // namespace
}  // namespace tallivo::assembler
