// What the CPU and the ROMs put on the bus in each phase.
#include <gtest/gtest.h>

#include "tests/support/bus_recorder.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

TEST(CpuBus, AfterResetSyncComesFirstThenAddressZeroWithTheCommandLinesInA3) {
    TestBoard t({0xD7});  // LDM 7
    BusRecorder rec(t.board);
    t.board.stepClock();
    ASSERT_EQ(rec.samples.size(), 1u);
    EXPECT_EQ(rec.samples[0].phase, kNotSynchronised);
    EXPECT_EQ(rec.samples[0].sync, 1);
    EXPECT_EQ(rec.samples[0].dataBus, 0);
    for (int i = 0; i < 8; ++i) t.board.stepClock();
    const auto c = rec.cycle(0);
    ASSERT_EQ(c.size(), 8u);
    // A1 A2 A3 address 0, M1 M2 opcode D 7, X2 the accumulator (still 0).
    EXPECT_EQ(dataBusOf(c), (std::vector<int>{0, 0, 0, 0xD, 7, 7, 0, 0}));
    EXPECT_EQ(cmRomOf(c), (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(c[2].cmRam0, 1);
    EXPECT_EQ(t.board.nets.CmRam[1] + t.board.nets.CmRam[2] + t.board.nets.CmRam[3], 0);
    // SYNC is high in X3 only.
    for (int i = 0; i < 8; ++i) EXPECT_EQ(c[static_cast<std::size_t>(i)].sync, i == kX3 ? 1 : 0);
}

TEST(CpuBus, SrcSendsThePairInX2AndX3WithTheCommandLinesInX2) {
    // FIM P2,5C; SRC P2
    TestBoard t({0x24, 0x5C, 0x25});
    BusRecorder rec(t.board);
    t.cycles(3);
    const auto src = rec.cycle(2);
    ASSERT_EQ(src.size(), 8u);
    EXPECT_EQ(cmRomOf(src), (std::vector<int>{0, 0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(src[kX2].dataBus, 0x5);
    EXPECT_EQ(src[kX3].dataBus, 0xC);
}

TEST(CpuBus, IoGroupRaisesTheCommandLinesInM2AndWritesShowTheAccumulatorInX2) {
    // LDM 7; WRM
    TestBoard t({0xD7, 0xE0});
    BusRecorder rec(t.board);
    t.cycles(2);
    const auto wrm = rec.cycle(1);
    EXPECT_EQ(cmRomOf(wrm), (std::vector<int>{0, 0, 1, 0, 1, 0, 0, 0}));
    EXPECT_EQ(wrm[kX2].dataBus, 7);
}

TEST(CpuBus, SecondCycleOfJunHasNoM2CommandAndCarriesTheAccumulator) {
    // LDM 9; JUN 0x123
    TestBoard t({{0, {0xD9, 0x41, 0x23}}, {0x123, {0x00}}});
    BusRecorder rec(t.board);
    t.cycles(4);
    const auto second = rec.cycle(2);
    EXPECT_EQ(cmRomOf(second), (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(second[kX2].dataBus, 9);
    // The next fetch goes out as 3, 2, 1.
    EXPECT_EQ(dataBusOf(rec.cycle(3)).front(), 3);
    EXPECT_EQ(rec.cycle(3)[kA2].dataBus, 2);
    EXPECT_EQ(rec.cycle(3)[kA3].dataBus, 1);
}

TEST(CpuBus, FinFetchCycleSendsR0R1InThePageAfterAFinOnAPageEnd) {
    // JUN 1FF; at 1FF: FIN P1 with R0=3, R1=A set by FIM P0,3A at 000.
    TestBoard t({{0, {0x20, 0x3A, 0x41, 0xFF}}, {0x1FF, {0x32}}, {0x23A, {0x99}}});
    BusRecorder rec(t.board);
    t.cycles(6);
    const auto fetch = rec.cycle(5);
    EXPECT_EQ(fetch[kA1].dataBus, 0xA);
    EXPECT_EQ(fetch[kA2].dataBus, 0x3);
    EXPECT_EQ(fetch[kA3].dataBus, 0x2);
    EXPECT_EQ(fetch[kM1].dataBus, 0x9);
    EXPECT_EQ(t.board.cpu.indexRegisters[2], 9);
    EXPECT_EQ(t.board.cpu.indexRegisters[3], 9);
    EXPECT_EQ(t.board.cpu.pc(), 0x200);
}

TEST(CpuBus, ThePcWrapsFromTheLastAddressToZero) {
    Cpu4004 cpu;
    BoardNets n;
    cpu.connect(&n.DataBus, &n.Sync, &n.Test, &n.CmRom, n.CmRam, &n.Reset);
    cpu.addressStack[0] = 0xFFF;
    cpu.phase = kM1;
    cpu.clockPhase1();
    EXPECT_EQ(cpu.pc(), 0x000);
}

TEST(CpuBus, TestIsReadOnlyWhenAJcnOnItExecutes) {
    // JCN T (jump if Test = 0) to 0x10; at 0x10 LDM 1.
    TestBoard t({{0, {0x11, 0x10, 0xD2}}, {0x10, {0xD1}}});
    t.board.nets.Test = 1;
    t.cycles(1);
    t.board.nets.Test = 0;  // falls during the second cycle, before X3: seen
    t.cycles(2);
    EXPECT_EQ(t.board.cpu.accumulator, 1);
}

}  // namespace
}  // namespace tallivo::testing
