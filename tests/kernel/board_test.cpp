#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

#include "kernel/board_state.h"
#include "panel/paper_roll.h"
#include "tests/support/files.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

// A program that touches everything: RAM, status, ports, shift registers,
// subroutines and a loop.
const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> kBusy = {
    {0x000, {0x20, 0x00, 0x21, 0xE9, 0xF2, 0xE0, 0xE1, 0xE4, 0xE2, 0x50, 0x40,
             0x82, 0x63, 0x74, 0x03, 0x22, 0x10, 0x23, 0xEA, 0x40, 0x03}},
    {0x040, {0xFB, 0xF5, 0xC7}},
};

TEST(Board, TheRunLoopGivesTheSameTraceAndStateAsStepClock) {
    BoardSettings fastSettings, slowSettings;
    fastSettings.traceFile = temporaryPath("fast.txt");
    slowSettings.traceFile = temporaryPath("slow.txt");
    fastSettings.traceLimit = slowSettings.traceLimit = -1;
    std::string fastState, slowState;
    {
        TestBoard fast(kBusy, fastSettings);
        TestBoard slow(kBusy, slowSettings);
        fast.board.run(50000);
        slow.run(50000, true);
        fastState = boardStateJson(fast.board);
        slowState = boardStateJson(slow.board);
    }
    EXPECT_EQ(fastState, slowState);
    const std::string fastTrace = readText(fastSettings.traceFile);
    EXPECT_EQ(fastTrace, readText(slowSettings.traceFile));
    EXPECT_GT(fastTrace.size(), 10000u);
}

// The keyboard, the printer and the recorder in front of the chips, as the
// calculator has them, each board in one of the ways the run loop can call
// them: by type, through their virtual phases, or period by period through
// the registry.
struct FrontBoard {
    enum class Registered { ByType, AsComponents, StepClock };
    BoardExtras extrasFor(Registered how) {
        BoardExtras e;
        if (how == Registered::ByType) {
            e.connectFront = [this](Board& b) {
                b.connectKeyboard(keys);
                b.connectPrinter(paper);
                b.connectRecorder(recorder, 4);
            };
        } else {
            // The same Nets, the components registered as plain components.
            e.connectFront = [this](Board& b) {
                BoardNets& n = b.nets;
                keys.connect(n.KeyColumn, n.KeyRow, &n.LampM, &n.LampOVF, &n.LampNEG);
                paper.connect(n.HammerLine, &n.PaperAdvance, &n.HammerFire, &n.RibbonRed,
                              &n.DrumIndex, &n.Test);
                recorder.start(4, &n.DataBus, &n.Sync, &n.Test, &n.Reset);
            };
            e.front = {&keys, &paper, &recorder};
        }
        return e;
    }
    FrontBoard(const Blocks& program, Registered how)
        : how_(how), t(program, BoardSettings{}, extrasFor(how)) {}
    void run(std::uint64_t periods) { t.run(periods, how_ == Registered::StepClock); }
    Registered how_;
    KeyMatrix keys;
    PaperRoll paper;
    FlowchartRecorder recorder;
    TestBoard t;
};

TEST(Board, TheRunLoopCallsTheKeyboardPrinterAndRecorderAsStepClockDoes) {
    // The busy loop moved into page 3 and started again from 0x300, where
    // the recorder counts it; its port writes walk the key columns, load
    // hammers and fire them.
    const Blocks program = {
        {0x000, {0x43, 0x00}},
        {0x040, {0xFB, 0xF5, 0xC7}},
        {0x300, {0x20, 0x00, 0x21, 0xE9, 0xF2, 0xE0, 0xE1, 0xE4, 0xE2, 0x50, 0x40,
                 0x82, 0x63, 0x74, 0x00, 0x22, 0x10, 0x23, 0xEA, 0x43, 0x00}},
    };
    using R = FrontBoard::Registered;
    FrontBoard byType(program, R::ByType), asComponents(program, R::AsComponents),
        stepped(program, R::StepClock);
    for (FrontBoard* b : {&byType, &asComponents, &stepped}) {
        b->keys.setKeyDown(KeyMatrix::keyIndex("7"), true);
        b->run(150000);
        b->keys.setKeyDown(KeyMatrix::keyIndex("7"), false);
        b->keys.setRoundingIndex(2);
        b->run(150000);
    }
    ASSERT_FALSE(stepped.paper.lines.empty()) << "the program fires the hammers";
    ASSERT_GT(*std::max_element(stepped.recorder.visitCounters.begin(),
                                stepped.recorder.visitCounters.end()),
              0);
    for (FrontBoard* b : {&byType, &asComponents}) {
        EXPECT_EQ(boardStateJson(b->t.board), boardStateJson(stepped.t.board));
        EXPECT_EQ(b->paper.lines, stepped.paper.lines);
        EXPECT_EQ(b->paper.red, stepped.paper.red);
        EXPECT_EQ(b->keys.periodsSeen(), stepped.keys.periodsSeen());
        EXPECT_EQ(b->keys.lastColumns, stepped.keys.lastColumns);
        EXPECT_EQ(b->recorder.visitCounters, stepped.recorder.visitCounters);
        EXPECT_EQ(b->recorder.entryCounters, stepped.recorder.entryCounters);
    }
}

TEST(Board, ChipsRegisterInTheFixedOrder) {
    TestBoard t({0x00});
    const Board& b = t.board;
    ASSERT_EQ(b.registry.count(), 12);
    EXPECT_EQ(b.registry.at(0), &b.cpu);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(b.registry.at(1 + i), &b.roms[static_cast<std::size_t>(i)]);
    EXPECT_EQ(b.registry.at(6), &b.rams[0]);
    EXPECT_EQ(b.registry.at(7), &b.rams[1]);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(b.registry.at(8 + i), &b.shiftRegisters[static_cast<std::size_t>(i)]);
    EXPECT_EQ(b.registry.at(11), &b.monitor);
}

TEST(Board, PortWritesFanOutThroughTheShiftRegisters) {
    // Shift 1 into the keyboard register: WRR 3 (data 1, key clock 1), WRR 0.
    TestBoard t({0x20, 0x00, 0x21, 0xD2, 0xE2, 0xD3, 0xE2, 0xD0, 0xE2, 0x40, 0x09});
    t.cycles(12);
    EXPECT_EQ(t.board.nets.KeyColumn[0], 1);
    EXPECT_EQ(t.board.nets.HammerLine[0], 0);
}

// Selects a RAM bank, fills the call stack and both RAMs, writes status
// characters and every port, then loops in a JUN.
const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> kFillEverything = {
    {0x000, {0x20, 0x4A, 0x21, 0xD7, 0xE0, 0xE4, 0xE5, 0xE6, 0xE7,  // RAM 1: WRM, WR0-WR3 with 7
             0xE1,                                                  // WMP 7: the three lamps
             0x22, 0x0B, 0x23, 0xDB, 0xE0, 0xE7, 0xE1,              // RAM 0: WRM, WR3, WMP with B
             0xD3, 0xE2,  // WRR 3 to ROM 0: shifts a 1 into the keys
             0x24, 0x5C, 0x26, 0x9E, 0x28, 0x11, 0x2A, 0x22, 0x2C, 0x33, 0x2E, 0x44,  // FIM P2-P7
             0xFA, 0x50, 0x40}},        // STC; JMS 040
    {0x040, {0x50, 0x50}},              // JMS 050
    {0x050, {0x50, 0x60}},              // JMS 060
    {0x060, {0xDE, 0xFD, 0x40, 0x62}},  // LDM E; DCL (banks 2, 3); JUN 062
};

TEST(BoardReset, InTheMiddleOfARunClearsTheCpuTheRamsAndThePortsAndStartsAgainAtZero) {
    TestBoard t(kFillEverything, BoardSettings{});
    t.cycles(41);    // into the loop, past the first cycle of a JUN
    t.board.run(3);  // and into the middle of its second cycle
    const Cpu4004& cpu = t.board.cpu;
    const BoardNets& n = t.board.nets;
    // What there is to clear.
    ASSERT_TRUE(cpu.secondWordPending);
    ASSERT_EQ(cpu.cmRamSelect, 12);
    ASSERT_EQ(cpu.stackPointer, 3);
    ASSERT_EQ(cpu.addressStack[0], 0x022);
    ASSERT_EQ(cpu.accumulator, 0xE);
    ASSERT_EQ(cpu.carry, 1);
    ASSERT_EQ(t.board.rams[1].statusMemory[3], 7);
    ASSERT_EQ(t.board.rams[0].mainMemory[11], 0xB);
    ASSERT_EQ(n.LampM + n.LampOVF + n.LampNEG + n.RibbonRed + n.HammerFire + n.PaperAdvance, 6);
    ASSERT_EQ(n.KeyShiftClock + n.ShiftData, 2);
    ASSERT_EQ(n.KeyColumn[0], 1);
    // The panels drive the input lines of ROMs 1 and 2.
    for (Net& row : t.board.nets.KeyRow) row = 1;
    t.board.nets.DrumIndex = 1;

    t.board.holdReset(Board::kWarmUpPeriods);

    EXPECT_EQ(cpu.accumulator, 0);
    EXPECT_EQ(cpu.carry, 0);
    EXPECT_EQ(cpu.indexRegisters, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(cpu.addressStack, (std::array<std::uint16_t, 4>{}));
    EXPECT_EQ(cpu.stackPointer, 0);
    EXPECT_EQ(cpu.opr, 0);
    EXPECT_EQ(cpu.opa, 0);
    EXPECT_FALSE(cpu.secondWordPending);
    EXPECT_EQ(cpu.cmRamSelect, 1);
    EXPECT_EQ(n.Sync + n.DataBus + n.CmRom + n.CmRam[0] + n.CmRam[1] + n.CmRam[2] + n.CmRam[3], 0);
    for (const Ram4002& ram : t.board.rams) {
        EXPECT_EQ(ram.mainMemory, (std::array<std::uint8_t, 64>{}));
        EXPECT_EQ(ram.statusMemory, (std::array<std::uint8_t, 16>{}));
        EXPECT_EQ(ram.srcHigh, 0);
        EXPECT_EQ(ram.characterIndex, 0);
        EXPECT_FALSE(ram.selected);
        EXPECT_FALSE(ram.srcPending);
    }
    EXPECT_EQ(n.LampM + n.LampOVF + n.LampNEG + n.RibbonRed + n.HammerFire + n.PaperAdvance, 0);
    // Every connected ROM port line goes low, the inputs too.
    EXPECT_EQ(n.KeyShiftClock + n.ShiftData + n.PrinterShiftClock + n.DrumIndex, 0);
    EXPECT_EQ(n.KeyRow[0] + n.KeyRow[1] + n.KeyRow[2] + n.KeyRow[3], 0);
    // Reset reaches neither the ROMs' latches nor the shift registers.
    EXPECT_TRUE(t.board.roms[0].ioSelected);
    EXPECT_EQ(n.KeyColumn[0], 1);

    // The phase counter ran out: SYNC, then the fetch of address 0 with
    // CM-RAM0 alone in A3.
    t.board.run(1 + 3);
    EXPECT_EQ(cpu.phase, kA3);
    EXPECT_EQ(n.DataBus, 0);
    EXPECT_EQ(n.CmRom, 1);
    EXPECT_EQ(n.CmRam[0] * 1 + n.CmRam[1] * 2 + n.CmRam[2] * 4 + n.CmRam[3] * 8, 1);
    t.cycles(3);  // FIM P0,4A; SRC: the program runs again from its start
    EXPECT_EQ(t.board.rams[1].srcHigh, 4);
    EXPECT_EQ(t.board.rams[1].characterIndex, 0xA);
}

TEST(Board, StateJsonHasEveryMember) {
    TestBoard t({0x00});
    const std::string json = boardStateJson(t.board, "\"extra\":1");
    for (const char* key :
         {"\"cpu\"",          "\"accumulator\"",  "\"carry\"",        "\"indexRegisters\"",
          "\"addressStack\"", "\"stackPointer\"", "\"pc\"",           "\"cmRamSelect\"",
          "\"ram\"",          "\"mainMemory\"",   "\"statusMemory\"", "\"outputLines\"",
          "\"romPortLines\"", "\"hammerLines\"",  "\"keyColumns\"",   "\"keyRows\"",
          "\"nets\"",         "\"DrumIndex\"",    "\"LampNEG\"",      "\"extra\":1"}) {
        EXPECT_NE(json.find(key), std::string::npos) << key;
    }
    EXPECT_EQ(jsonString("a\"b\\\n"), "\"a\\\"b\\\\\\u000a\"");
}

}  // namespace
}  // namespace tallivo::testing
