// Period by period: when the port writes change their lines, in which phase
// the memory chips put their answers on the bus, and at which moment a JCN
// samples Test. Final levels alone would not show a write made a period late
// or a value driven in a neighbouring phase.
#include <gtest/gtest.h>

#include "tests/support/bus_recorder.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

constexpr std::uint8_t LDM(int n) {
    return static_cast<std::uint8_t>(0xD0 | n);
}

// One port's levels through a cycle: at the end of each period, or once
// every component's phase 1 of it has run.
std::vector<int> endLevels(const std::vector<BusSample>& c, int PortLevels::*port) {
    return column(c, [port](const BusSample& s) { return s.ports.*port; });
}
std::vector<int> phase1Levels(const std::vector<BusSample>& c, int PortLevels::*port) {
    return column(c, [port](const BusSample& s) { return s.portsAfterPhase1.*port; });
}

// A RAM's port through the cycle of its WMP: still 0 until the last period,
// the one that ends in X3, whose phase 1 already leaves the value written.
// A phase-2 write would leave the phase-1 levels as they were.
void expectWrittenInPhase1OfX3(const std::vector<BusSample>& c, int PortLevels::*port, int value) {
    const std::vector<int> levels{0, 0, 0, 0, 0, 0, 0, value};
    EXPECT_EQ(endLevels(c, port), levels) << "the port that takes " << value;
    EXPECT_EQ(phase1Levels(c, port), levels) << "the port that takes " << value;
}

TEST(PortTiming, WrrChangesRom0sLinesInPhase2OfX3AndNotBefore) {
    // FIM P0,00; FIM P1,05; SRC P0 (ROM 0); LDM 7; LD R3 (acc 5); WRR; LDM 2; WRR.
    // The cycle before each WRR carried another value in its X2 (7, then 5),
    // so a write from that older value would show as well as a late one.
    TestBoard t({0x20, 0x00, 0x22, 0x05, 0x21, LDM(7), 0xA3, 0xE2, LDM(2), 0xE2});
    BusRecorder rec(t.board);
    t.cycles(10);
    const auto first = rec.cycle(7);
    ASSERT_EQ(first.size(), 8u);
    EXPECT_EQ(endLevels(first, &PortLevels::rom0), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 5}));
    EXPECT_EQ(phase1Levels(first, &PortLevels::rom0), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(dataBusOf(first), (std::vector<int>{7, 0, 0, 0xE, 2, 2, 5, 5}));
    // Bit 2 rises and bit 0 falls at the second write, again in X3 only.
    const auto second = rec.cycle(9);
    ASSERT_EQ(second.size(), 8u);
    EXPECT_EQ(endLevels(second, &PortLevels::rom0), (std::vector<int>{5, 5, 5, 5, 5, 5, 5, 2}));
    EXPECT_EQ(rec.cycle(10).front().ports.rom0, 2);
}

TEST(PortTiming, WmpChangesTheRamLinesInPhase1OfThePeriodAfterX2) {
    // SRC 00 (RAM 0); LDM B; WMP; FIM P0,40; SRC (RAM 1); LDM 5; WMP.
    TestBoard t({0x20, 0x00, 0x21, LDM(0xB), 0xE1, 0x20, 0x40, 0x21, LDM(5), 0xE1});
    BusRecorder rec(t.board);
    t.cycles(10);
    // The RAM takes the accumulator that the CPU drove in X2 in the next
    // period's phase 1, while its phase still reads X2: the period that ends
    // in X3.
    const auto ram0 = rec.cycle(4);
    ASSERT_EQ(ram0.size(), 8u);
    expectWrittenInPhase1OfX3(ram0, &PortLevels::ram0, 0xB);
    EXPECT_EQ(dataBusOf(ram0), (std::vector<int>{4, 0, 0, 0xE, 1, 1, 0xB, 0xB}));
    EXPECT_EQ(column(ram0, [](const BusSample& s) { return s.cmRam0; }),
              (std::vector<int>{0, 0, 1, 0, 1, 0, 0, 0}));
    for (const BusSample& s : ram0) EXPECT_EQ(s.ports.ram1, 0);

    const auto ram1 = rec.cycle(9);
    ASSERT_EQ(ram1.size(), 8u);
    expectWrittenInPhase1OfX3(ram1, &PortLevels::ram1, 5);
    for (const BusSample& s : ram1) EXPECT_EQ(s.ports.ram0, 0xB);
}

TEST(PortTiming, RdrPutsThePortOnTheBusInX2Only) {
    // SRC 10 (ROM 1, the KeyRow lines); RDR.
    TestBoard t({0x20, 0x10, 0x21, 0xEA});
    t.board.nets.KeyRow[0] = 1;
    t.board.nets.KeyRow[2] = 1;
    BusRecorder rec(t.board);
    t.cycles(4);
    const auto rdr = rec.cycle(3);
    ASSERT_EQ(rdr.size(), 8u);
    // M2 and X1 still hold OPA; the port value comes in X2 and stays, as
    // nobody drives X3.
    EXPECT_EQ(dataBusOf(rdr), (std::vector<int>{3, 0, 0, 0xE, 0xA, 0xA, 5, 5}));
    EXPECT_EQ(t.board.cpu.accumulator, 5);
}

TEST(PortTiming, EveryRamReadDrivesTheBusInX2Only) {
    // SRC 00; LDM 6; WRM; WR0-WR3; then each read instruction, one per board.
    const std::vector<std::uint8_t> fill = {0x20, 0x00, 0x21, LDM(6), 0xE0, 0xE4, 0xE5, 0xE6, 0xE7};
    for (int opa : {8, 9, 11, 12, 13, 14, 15}) {
        std::vector<std::uint8_t> program = fill;
        program.push_back(static_cast<std::uint8_t>(0xE0 | opa));
        TestBoard t(program);
        BusRecorder rec(t.board);
        t.cycles(10);
        const auto read = rec.cycle(9);
        ASSERT_EQ(read.size(), 8u) << opa;
        EXPECT_EQ(dataBusOf(read), (std::vector<int>{9, 0, 0, 0xE, opa, opa, 6, 6})) << opa;
    }
}

// JCN 1 (jump when Test is 0) at 000 to 010. After the warm-up the JCN's
// second cycle is cycle 1; its X3 is sampled in phase 1 of the period that
// enters the next A1. Test is changed between periods, as the printer drives
// it in phase 2.
TEST(PortTiming, JcnSamplesTestAtTheEndOfItsSecondCyclesX3) {
    const std::uint64_t sampledIn = periodEntering(2, kA1);
    for (const Net before : {Net{0}, Net{1}}) {
        for (std::uint64_t change = 0; change <= sampledIn + 1; ++change) {
            TestBoard t({0x11, 0x10});
            t.board.nets.Test = before;
            t.board.run(change);
            t.board.nets.Test = static_cast<Net>(1 - before);
            t.board.run(sampledIn + 1 - change);
            const Net seen = change <= sampledIn ? static_cast<Net>(1 - before) : before;
            EXPECT_EQ(t.board.cpu.pc(), seen == 0 ? 0x010 : 0x002)
                << "Test " << int{before} << " changed before period " << change;
        }
    }
}

}  // namespace
}  // namespace tallivo::testing
