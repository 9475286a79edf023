#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "kernel/board_state.h"
#include "tests/support/files.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

// A program that touches everything: RAM, status, ports, shift registers,
// subroutines and a loop.
const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> kBusy = {
    {0x000, {0x20, 0x00, 0x21, 0xE9, 0xF2, 0xE0, 0xE1, 0xE4, 0xE2, 0x50, 0x40, 0x82, 0x63, 0x74,
             0x03, 0x22, 0x10, 0x23, 0xEA, 0x40, 0x03}},
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
        for (int i = 0; i < 50000; ++i) slow.board.stepClock();
        fastState = boardStateJson(fast.board);
        slowState = boardStateJson(slow.board);
    }
    EXPECT_EQ(fastState, slowState);
    const std::string fastTrace = readText(fastSettings.traceFile);
    EXPECT_EQ(fastTrace, readText(slowSettings.traceFile));
    EXPECT_GT(fastTrace.size(), 10000u);
}

TEST(Board, ChipsRegisterInTheFixedOrder) {
    TestBoard t({0x00});
    const Board& b = t.board;
    ASSERT_EQ(b.registry.count(), 12);
    EXPECT_EQ(b.registry.at(0), &b.cpu);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.registry.at(1 + i), &b.roms[static_cast<std::size_t>(i)]);
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

TEST(Board, StateJsonHasEveryMember) {
    TestBoard t({0x00});
    const std::string json = boardStateJson(t.board, "\"extra\":1");
    for (const char* key : {"\"cpu\"", "\"accumulator\"", "\"carry\"", "\"indexRegisters\"",
                            "\"addressStack\"", "\"stackPointer\"", "\"pc\"", "\"cmRamSelect\"",
                            "\"ram\"", "\"mainMemory\"", "\"statusMemory\"", "\"outputLines\"",
                            "\"romPortLines\"", "\"hammerLines\"", "\"keyColumns\"", "\"keyRows\"",
                            "\"nets\"", "\"DrumIndex\"", "\"LampNEG\"", "\"extra\":1"}) {
        EXPECT_NE(json.find(key), std::string::npos) << key;
    }
    EXPECT_EQ(jsonString("a\"b\\\n"), "\"a\\\"b\\\\\\u000a\"");
}

}  // namespace
}  // namespace tallivo::testing
