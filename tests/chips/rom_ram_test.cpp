// The ROM port and the RAM instructions, on the wired board.
#include <gtest/gtest.h>

#include "kernel/platform.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

constexpr std::uint8_t LDM(int n) {
    return static_cast<std::uint8_t>(0xD0 | n);
}
std::vector<std::uint8_t> fimSrc(int pairValue) {
    return {0x20, static_cast<std::uint8_t>(pairValue), 0x21};
}
std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                    const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Rom, OnlyTheChipNamedInA3AnswersTheFetch) {
    TestBoard t({{0, {0x41, 0x23}}, {0x123, {0xD6}}, {0x023, {0xD1}}, {0x223, {0xD2}}});
    t.cycles(3);
    EXPECT_EQ(t.board.roms[1].pageAddress, 0x23);
    EXPECT_TRUE(t.board.roms[1].romSelected);
    EXPECT_FALSE(t.board.roms[0].romSelected);
    EXPECT_EQ(t.board.cpu.accumulator, 6);
}

TEST(Rom, RdrReadsTheSelectedPortAndAnSrcToNoChipLeavesTheBus) {
    // SRC 0x10 selects ROM 1 (KeyRow); RDR. Then SRC 0x50 selects no chip; RDR.
    TestBoard t(fimSrc(0x10) + std::vector<std::uint8_t>{0xEA, 0x20, 0x50, 0x21, LDM(3), 0xEA});
    t.cycles(2);
    t.board.nets.KeyRow[0] = 1;
    t.board.nets.KeyRow[2] = 1;
    t.cycles(2);
    EXPECT_EQ(t.board.cpu.accumulator, 5);
    EXPECT_TRUE(t.board.roms[1].ioSelected);
    EXPECT_FALSE(t.board.roms[0].ioSelected);
    t.cycles(5);
    for (const Rom4001& rom : t.board.roms) EXPECT_FALSE(rom.ioSelected);
    // Nobody drove X2, so the bus still held the opcode's low nibble from M2.
    EXPECT_EQ(t.board.cpu.accumulator, 0xA);
}

TEST(Rom, RdrFromRom2ReadsDrumIndexAndRom0ReadsBackItsOutputs) {
    TestBoard t(fimSrc(0x20) + std::vector<std::uint8_t>{0xEA, 0xB3, 0x22, 0x00, 0x23, LDM(6), 0xE2,
                                                         LDM(0), 0xEA});
    t.cycles(2);
    t.board.nets.DrumIndex = 1;
    t.cycles(3);
    EXPECT_EQ(t.board.cpu.indexRegisters[3], 1);
    t.cycles(7);
    EXPECT_EQ(t.board.nets.ShiftData, 1);
    EXPECT_EQ(t.board.nets.PrinterShiftClock, 1);
    EXPECT_EQ(t.board.nets.KeyShiftClock, 0);
    EXPECT_EQ(t.board.cpu.accumulator, 6);
}

TEST(Rom, WrrWritesOnlyMaskedLinesAndOnlyAtX3) {
    TestBoard t(fimSrc(0x00) + std::vector<std::uint8_t>{LDM(0xF), 0xE2});
    t.cycles(5);
    // Bit 3 goes nowhere; bits 0-2 drive the three lines.
    EXPECT_EQ(t.board.nets.KeyShiftClock, 1);
    EXPECT_EQ(t.board.nets.ShiftData, 1);
    EXPECT_EQ(t.board.nets.PrinterShiftClock, 1);
    // ROM 1 has mask 0: a WRR to it changes no line.
    TestBoard u(fimSrc(0x10) + std::vector<std::uint8_t>{LDM(0xF), 0xE2});
    u.cycles(5);
    for (Net row : u.board.nets.KeyRow) EXPECT_EQ(row, 0);
}

TEST(Rom, ResetClearsPortLinesIncludingInputs) {
    TestBoard t({0x00});
    t.board.nets.KeyRow[1] = 1;
    t.board.nets.DrumIndex = 1;
    t.board.nets.ShiftData = 1;
    t.board.warmUp();
    EXPECT_EQ(t.board.nets.KeyRow[1], 0);
    EXPECT_EQ(t.board.nets.DrumIndex, 0);
    EXPECT_EQ(t.board.nets.ShiftData, 0);
}

TEST(Rom, AMissingCodeFileShowsTheMessageAndStopsAtRom0) {
    std::vector<std::string> messages;
    platform().showMessage = [&](const std::string& m) { messages.push_back(m); };
    Board board;
    BoardSettings settings;
    settings.codeFile = "/nonexistent/4001.code";
    settings.traceFile.clear();
    EXPECT_EQ(board.connectChips(settings), 1);
    resetPlatform();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "ERROR: Unable to initialize ROM, does code file exist?");
    EXPECT_EQ(board.registry.count(), 1);  // the CPU only
}

TEST(Ram, WrmAndStatusWritesLandInTheChipAndRegisterNamedBySrc) {
    // SRC 4A; LDM 7; WRM -> RAM 1 reg 0 char 10. SRC 3F; LDM 9; WR2; LDM 0; RD2.
    TestBoard t(fimSrc(0x4A) + std::vector<std::uint8_t>{LDM(7), 0xE0, 0x20, 0x3F, 0x21, LDM(9),
                                                         0xE6, LDM(0), 0xEE});
    t.cycles(13);
    EXPECT_EQ(t.board.rams[1].mainMemory[10], 7);
    EXPECT_EQ(t.board.rams[0].mainMemory, (std::array<std::uint8_t, 64>{}));
    EXPECT_EQ(t.board.rams[0].statusMemory[3 * 4 + 2], 9);
    EXPECT_EQ(t.board.cpu.accumulator, 9);
}

TEST(Ram, AdmAndSbmUseTheValueTheRamDrivesInX2) {
    // SRC 00; LDM 6; WRM; LDM 3; CLC; ADM -> 9; CLC; LDM 3; SBM -> 3-6 = 13 borrow
    TestBoard t(fimSrc(0x00) + std::vector<std::uint8_t>{LDM(6), 0xE0, LDM(3), 0xF1, 0xEB});
    t.cycles(8);
    EXPECT_EQ(t.board.cpu.accumulator, 9);
    EXPECT_EQ(t.board.cpu.carry, 0);
    TestBoard u(fimSrc(0x00) + std::vector<std::uint8_t>{LDM(6), 0xE0, LDM(3), 0xF1, 0xE8});
    u.cycles(8);
    EXPECT_EQ(u.board.cpu.accumulator, 13);
    EXPECT_EQ(u.board.cpu.carry, 0);
}

TEST(Ram, AnSrcToNoChipOrAnotherBankLeavesTheRamsAlone) {
    // SRC 80 (chip 2, none here); LDM 5; RDM: no chip drives X2, so the bus
    // still holds RDM's own low nibble from M2.
    TestBoard t(fimSrc(0x80) + std::vector<std::uint8_t>{LDM(5), 0xE9, 0xE0});
    t.cycles(6);
    EXPECT_EQ(t.board.cpu.accumulator, 9);
    EXPECT_EQ(t.board.rams[0].mainMemory[0], 0);
    // DCL to bank 1, then SRC 0x4A: neither RAM takes the address.
    TestBoard u(std::vector<std::uint8_t>{LDM(1), 0xFD} + fimSrc(0x4A) +
                std::vector<std::uint8_t>{LDM(7), 0xE0});
    u.cycles(7);
    EXPECT_EQ(u.board.rams[1].srcHigh, 0);
    EXPECT_EQ(u.board.rams[1].mainMemory[10], 0);
}

TEST(Ram, WmpDrivesThePrinterAndLampLinesAndResetClearsEverything) {
    TestBoard t(fimSrc(0x00) +
                std::vector<std::uint8_t>{LDM(0xB), 0xE1, 0xE0, 0x20, 0x40, 0x21, LDM(0xF), 0xE1});
    t.cycles(11);
    EXPECT_EQ(t.board.nets.RibbonRed, 1);
    EXPECT_EQ(t.board.nets.HammerFire, 1);
    EXPECT_EQ(t.board.nets.PaperAdvance, 1);
    EXPECT_EQ(t.board.nets.LampM, 1);
    EXPECT_EQ(t.board.nets.LampOVF, 1);
    EXPECT_EQ(t.board.nets.LampNEG, 1);
    EXPECT_EQ(t.board.rams[0].mainMemory[0], 0xB);
    t.board.warmUp();
    EXPECT_EQ(t.board.nets.PaperAdvance + t.board.nets.LampNEG, 0);
    EXPECT_EQ(t.board.rams[0].mainMemory[0], 0);
    EXPECT_EQ(t.board.rams[0].srcHigh, 0);
}

}  // namespace
}  // namespace tallivo::testing
