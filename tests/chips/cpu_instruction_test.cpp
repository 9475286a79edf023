// What each instruction does to the registers, run on the board from ROM.
#include <gtest/gtest.h>

#include "chips/instruction_set.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

constexpr std::uint8_t LDM(int n) {
    return static_cast<std::uint8_t>(0xD0 | n);
}
constexpr std::uint8_t XCH(int r) {
    return static_cast<std::uint8_t>(0xB0 | r);
}
constexpr std::uint8_t STC = 0xFA, CLC = 0xF1;

struct AccCase {
    const char* name;
    std::vector<std::uint8_t> program;  // every byte is one one-cycle instruction
    int accumulator;
    int carry;
};

// ctest names each case by its printed parameter: print the stable name, not
// the bytes of the struct (which hold a heap pointer that changes every run).
void PrintTo(const AccCase& c, std::ostream* out) {
    *out << c.name;
}

class AccumulatorArithmetic : public ::testing::TestWithParam<AccCase> {};

TEST_P(AccumulatorArithmetic, GivesTheExpectedAccumulatorAndCarry) {
    const AccCase& c = GetParam();
    TestBoard t(c.program);
    t.cycles(c.program.size());
    EXPECT_EQ(t.board.cpu.accumulator, c.accumulator) << c.name;
    EXPECT_EQ(t.board.cpu.carry, c.carry) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cpu, AccumulatorArithmetic,
    ::testing::Values(
        AccCase{"ADD 9+8+1", {LDM(8), XCH(0), STC, LDM(9), 0x80}, 2, 1},
        AccCase{"SUB 5-3 carry0", {LDM(3), XCH(0), CLC, LDM(5), 0x90}, 2, 1},
        AccCase{"SUB 5-3 carry1", {LDM(3), XCH(0), STC, LDM(5), 0x90}, 1, 1},
        AccCase{"SUB 3-5 borrow", {LDM(5), XCH(0), CLC, LDM(3), 0x90}, 14, 0},
        AccCase{"DAC 0", {LDM(0), 0xF8}, 15, 0}, AccCase{"DAC 1", {LDM(1), 0xF8}, 0, 1},
        AccCase{"IAC 15", {LDM(15), 0xF2}, 0, 1}, AccCase{"IAC 14", {LDM(14), 0xF2}, 15, 0},
        AccCase{"DAA 12", {LDM(12), 0xFB}, 2, 1},
        AccCase{"DAA 5 carry", {STC, LDM(5), 0xFB}, 11, 1}, AccCase{"DAA 5", {LDM(5), 0xFB}, 5, 0},
        AccCase{"TCS carry", {STC, 0xF9}, 10, 0}, AccCase{"TCS", {CLC, 0xF9}, 9, 0},
        AccCase{"RAL 8", {LDM(8), 0xF5}, 0, 1}, AccCase{"RAR 1 carry", {STC, LDM(1), 0xF6}, 8, 1},
        AccCase{"TCC", {STC, 0xF7}, 1, 0}, AccCase{"CMA", {STC, LDM(5), 0xF4}, 10, 1},
        AccCase{"CMC", {STC, 0xF3}, 0, 0}, AccCase{"CLB", {STC, LDM(3), 0xF0}, 0, 0},
        AccCase{"BBL loads its operand", {0xC6}, 6, 0},
        AccCase{"unused opcodes change nothing", {STC, LDM(7), 0x0F, 0xFF, 0xFE, 0x01}, 7, 1}));

TEST(Cpu, KbpMapsOneBitToItsPositionAndEverythingElseToFifteen) {
    const int expected[16] = {0, 1, 2, 15, 3, 15, 15, 15, 4, 15, 15, 15, 15, 15, 15, 15};
    for (int v = 0; v < 16; ++v) {
        TestBoard t({LDM(v), STC, 0xFC});
        t.cycles(3);
        EXPECT_EQ(t.board.cpu.accumulator, expected[v]) << v;
        EXPECT_EQ(t.board.cpu.carry, 1) << "KBP leaves the carry";
    }
}

TEST(Cpu, DclChoosesTheRamBank) {
    const std::pair<int, int> cases[] = {{0, 1}, {8, 1}, {3, 6}, {9, 2}, {7, 14}};
    for (auto [acc, select] : cases) {
        TestBoard t({LDM(acc), 0xFD});
        t.cycles(2);
        EXPECT_EQ(t.board.cpu.cmRamSelect, select) << acc;
    }
}

TEST(Cpu, IncAndXchAndLdWorkOnTheNamedRegister) {
    // LDM 15; XCH R5; INC R5; LD R5 -> acc 0, R5 0, carry unchanged (0)
    TestBoard t({LDM(15), XCH(5), 0x65, 0xA5, 0x67});
    t.cycles(5);
    EXPECT_EQ(t.board.cpu.indexRegisters[5], 0);
    EXPECT_EQ(t.board.cpu.indexRegisters[7], 1);
    EXPECT_EQ(t.board.cpu.accumulator, 0);
    EXPECT_EQ(t.board.cpu.carry, 0);
}

TEST(Cpu, IszJumpsUntilTheRegisterWrapsToZero) {
    // LDM 14; XCH R2; ISZ R2,0x00 -> R2 15, jumps to 0
    TestBoard t({LDM(14), XCH(2), 0x72, 0x00});
    t.cycles(4);
    EXPECT_EQ(t.board.cpu.indexRegisters[2], 15);
    EXPECT_EQ(t.board.cpu.pc(), 0x000);
    // Again from R2 = 15: it wraps to 0 and falls through.
    TestBoard u({LDM(15), XCH(2), 0x72, 0x00});
    u.cycles(4);
    EXPECT_EQ(u.board.cpu.indexRegisters[2], 0);
    EXPECT_EQ(u.board.cpu.pc(), 0x004);
}

// The CPU's decoder and the instruction table the monitor, the inspector and
// the assembler read must agree on which words take a second cycle.
TEST(Cpu, EveryFirstWordTakesTheCyclesOfTheInstructionTable) {
    for (int word = 0; word < 256; ++word) {
        const auto first = static_cast<std::uint8_t>(word);
        TestBoard t({first, 0x00});
        t.cycles(1);
        EXPECT_EQ(t.board.cpu.secondWordPending, isa::cyclesOf(first) == 2) << "word " << word;
        t.cycles(1);
        EXPECT_FALSE(t.board.cpu.secondWordPending) << "word " << word;
    }
}

TEST(Cpu, JcnConditions) {
    struct Case {
        int condition;
        int accumulator;
        bool carry;
        int test;
        bool jumps;
    } cases[] = {
        {0x0, 0, true, 0, false},  {0x8, 5, false, 1, true},  {0x4, 0, false, 1, true},
        {0x4, 3, false, 1, false}, {0xC, 3, false, 1, true},  {0xC, 0, false, 1, false},
        {0x1, 3, false, 0, true},  {0x1, 3, false, 1, false}, {0x9, 3, false, 1, true},
        {0x2, 3, true, 1, true},   {0xA, 3, true, 1, false},  {0x6, 3, true, 1, true},
    };
    for (const Case& c : cases) {
        TestBoard t({c.carry ? STC : CLC, LDM(c.accumulator),
                     static_cast<std::uint8_t>(0x10 | c.condition), 0x40});
        t.board.nets.Test = static_cast<Net>(c.test);
        t.cycles(4);
        EXPECT_EQ(t.board.cpu.pc(), c.jumps ? 0x040 : 0x004) << "condition " << c.condition;
    }
}

TEST(Cpu, JcnWithItsSecondWordOnAPageEndJumpsIntoTheNextPage) {
    // JUN 1FE; JCN always, 0x20 at 1FE/1FF -> 0x220
    TestBoard t({{0, {0x41, 0xFE}}, {0x1FE, {0x18, 0x20}}});
    t.cycles(4);
    EXPECT_EQ(t.board.cpu.pc(), 0x220);
}

TEST(Cpu, JinOnAPageEndJumpsWithinTheNextPage) {
    // FIM P0,47; JUN 2FF; at 2FF JIN P0 -> 0x347
    TestBoard t({{0, {0x20, 0x47, 0x42, 0xFF}}, {0x2FF, {0x31}}});
    t.cycles(5);
    EXPECT_EQ(t.board.cpu.pc(), 0x347);
}

TEST(Cpu, FimAndFinLoadAPair) {
    // FIM P2,5C; FIM P0,3A; JUN 120; at 120 FIN P0 -> R0R1 = byte at 13A
    TestBoard t({{0, {0x24, 0x5C, 0x20, 0x3A, 0x41, 0x20}}, {0x120, {0x30}}, {0x13A, {0xB7}}});
    t.cycles(8);
    EXPECT_EQ(t.board.cpu.indexRegisters[4], 5);
    EXPECT_EQ(t.board.cpu.indexRegisters[5], 12);
    EXPECT_EQ(t.board.cpu.indexRegisters[0], 0xB);
    EXPECT_EQ(t.board.cpu.indexRegisters[1], 0x7);
    EXPECT_EQ(t.board.cpu.pc(), 0x121);
}

TEST(Cpu, SubroutineStackKeepsThreeReturnsAndWrapsOnTheFourth) {
    // 000: JMS 010; 010: JMS 020; 020: JMS 030; 030: JMS 040; 040: BBL 1 x4
    TestBoard t({{0, {0x50, 0x10}},
                 {0x10, {0x50, 0x20}},
                 {0x20, {0x50, 0x30}},
                 {0x30, {0x50, 0x40}},
                 {0x40, {0xC1}}});
    t.cycles(8);
    EXPECT_EQ(t.board.cpu.stackPointer, 0);  // four pushes wrap around
    EXPECT_EQ(t.board.cpu.pc(), 0x040);
    EXPECT_EQ(t.board.cpu.addressStack[1], 0x012);
    EXPECT_EQ(t.board.cpu.addressStack[2], 0x022);
    EXPECT_EQ(t.board.cpu.addressStack[3], 0x032);
    t.cycles(1);  // BBL returns to 0x032
    EXPECT_EQ(t.board.cpu.pc(), 0x032);
    EXPECT_EQ(t.board.cpu.accumulator, 1);
    EXPECT_EQ(t.board.cpu.stackPointer, 3);
}

TEST(Cpu, ResetInTheMiddleOfATwoCycleInstructionAbandonsIt) {
    TestBoard t({0x41, 0x23});
    t.cycles(1);
    EXPECT_TRUE(t.board.cpu.secondWordPending);
    t.board.warmUp();
    EXPECT_FALSE(t.board.cpu.secondWordPending);
    EXPECT_EQ(t.board.cpu.pc(), 0);
    EXPECT_EQ(t.board.cpu.cmRamSelect, 1);
}

}  // namespace
}  // namespace tallivo::testing
