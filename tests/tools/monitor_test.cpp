#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "kernel/platform.h"
#include "tests/support/files.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

// Runs `program` with the given monitor settings for `periods` after the
// warm-up and returns the trace file and the messages shown.
struct TraceRun {
    std::string trace;
    std::vector<std::string> messages;
};

// `everyPage` adds ROM chips in pages 5 to 15, for programs that run there.
TraceRun trace(const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>& program,
               int limit, int start = 0, bool page3 = false, std::uint64_t periods = 400,
               bool everyPage = false) {
    TraceRun result;
    platform().showMessage = [&](const std::string& m) { result.messages.push_back(m); };
    BoardSettings s;
    s.traceFile = temporaryPath("trace.txt");
    s.traceLimit = limit;
    s.traceStart = start;
    s.page3Filter = page3;
    {
        TestBoard t(program, s, BoardExtras{{}, everyPage});
        t.board.run(periods);
    }  // the monitor closes the file when it goes
    resetPlatform();
    result.trace = readText(s.traceFile);
    return result;
}

TEST(Monitor, WithoutALimitOnlyTheHeaderIsWritten) {
    EXPECT_EQ(trace({{0, {0x20, 0x3C}}}, 0, 0x123, true).trace, "4004 Monitor\n");
}

TEST(Monitor, ANegativeLimitNeverRunsOut) {
    const TraceRun r = trace({{0, {0xF0, 0x40, 0x00}}}, -1, 0, false, 8000);
    EXPECT_TRUE(r.messages.empty());
    // CLB and JUN: two lines every three cycles, a thousand cycles.
    EXPECT_GT(std::count(r.trace.begin(), r.trace.end(), '\n'), 600);
}

TEST(Monitor, AStartAddressWaitsForItAndCountsFromZero) {
    // 000: NOP x3; 003: JUN 123; 123: LDM 1
    const TraceRun r =
        trace({{0, {0x00, 0x00, 0x00, 0x41, 0x23}}, {0x123, {0xD1, 0xF2}}}, 3, 0x123);
    EXPECT_EQ(r.trace, "4004 Monitor\n    0: 0123 LDM 1\n    1: 0124 IAC\n    2: 0125 NOP\n");
    EXPECT_EQ(r.messages, std::vector<std::string>{"NOTE: Recording Limit Reached"});
}

TEST(Monitor, APartlyAssembledAddressAlsoMatchesALowStartAddress) {
    // Start 0x05: the fetch of 0x105 holds 0x05 after A2 and starts recording
    // although address 0x005 is never fetched.
    const TraceRun r = trace({{0, {0x41, 0x05}}, {0x105, {0xD3}}}, 1, 0x05);
    EXPECT_EQ(r.trace, "4004 Monitor\n    0: 0105 LDM 3\n");
}

TEST(Monitor, ThePage3FilterSkipsOtherAddressesButKeepsCounting) {
    // 000: NOP; 001: JUN 300; 300: LDM 2; JUN 000
    const TraceRun r =
        trace({{0, {0x00, 0x43, 0x00}}, {0x300, {0xD2, 0x40, 0x00}}}, 4, 0, true, 2 + 8 * 14);
    EXPECT_EQ(r.trace,
              "4004 Monitor\n"
              "Reset\n"
              "    4: 0300 LDM 2\n"
              "    5: 0301 JUN 0, 00\n"
              "   10: 0300 LDM 2\n");
}

TEST(Monitor, FinShowsAllThreeDigitsOfAnAddressFromPage1Up) {
    // FIM P0,3A; JUN 1F0; 1F0: FIN P1 reads 13A; JUN 4F0; 4F0: FIN P1 reads 43A.
    const TraceRun r = trace({{0, {0x20, 0x3A, 0x41, 0xF0}},
                              {0x1F0, {0x32, 0x44, 0xF0}},
                              {0x13A, {0xB7}},
                              {0x4F0, {0x32}},
                              {0x43A, {0x0C}}},
                             11);
    EXPECT_EQ(r.trace,
              "4004 Monitor\n"
              "Reset\n"
              "    0: 0000 NOP\n"
              "    1: 0000 FIM 0, 3A\n"
              "    3: 0002 JUN 1, F0\n"
              "    5: 01F0 FIN 2, 13A => B7\n"
              "    7: 01F1 JUN 4, F0\n"
              "    9: 04F0 FIN 2, 43A => 0C\n");
}

TEST(Monitor, ThePage3FilterLooksAtAddressBits8To10Only) {
    // 000: JUN B00; B00: LDM 1; JUN 700; 700: LDM 2; JUN 000. Bits 8-10 of
    // 0xB00 are 3, so its cycles are written; those of 0x700 (7) are not.
    const TraceRun r =
        trace({{0x000, {0x4B, 0x00}}, {0xB00, {0xD1, 0x47, 0x00}}, {0x700, {0xD2, 0x40, 0x00}}}, 6,
              0, true, 2 + 8 * 16, true);
    EXPECT_EQ(r.trace,
              "4004 Monitor\n"
              "Reset\n"
              "    3: 0B00 LDM 1\n"
              "    4: 0B01 JUN 7, 00\n"
              "   11: 0B00 LDM 1\n"
              "   12: 0B01 JUN 7, 00\n");
}

TEST(Monitor, UnderThePage3FilterAContinuationLeftOpenTakesTheNextWrittenCycle) {
    // 000: JUN 300; 300: LDM 5; JUN 3FF; 3FF: JUN 000, whose second word lies
    // at 400, outside the filter. The line of that JUN stays open and the
    // next cycle written, LDM 5 at 300 on the next round, completes it with
    // its own byte.
    const TraceRun r =
        trace({{0x000, {0x43, 0x00}}, {0x300, {0xD5, 0x43, 0xFF}}, {0x3FF, {0x40, 0x00}}}, 7, 0,
              true, 2 + 8 * 16);
    EXPECT_EQ(r.trace,
              "4004 Monitor\n"
              "Reset\n"
              "    3: 0300 LDM 5\n"
              "    4: 0301 JUN 3, FF\n"
              "    6: 03FF JUN 0, D5\n"
              "   11: 0301 JUN 3, FF\n");
}

TEST(Monitor, EveryMnemonicGroupIsFormatted) {
    // SRC P0 after FIM; RDR (I/O read shows the chip's answer); ISZ; BBL; LD; KBP; 0xFE
    const TraceRun r =
        trace({{0, {0x20, 0x12, 0x21, 0xEA, 0x75, 0x06, 0xA4, 0xFC, 0xFE, 0x31, 0xC3}}}, 11, 0,
              false, 2 + 8 * 12);
    EXPECT_EQ(r.trace,
              "4004 Monitor\n"
              "Reset\n"
              "    0: 0000 NOP\n"
              "    1: 0000 FIM 0, 12\n"
              "    3: 0002 SRC 1 (1:2)\n"
              "    4: 0003 RDR (0)\n"
              "    5: 0004 ISZ 5, 06\n"
              "    7: 0006 LD  4\n"
              "    8: 0007 KBP\n"
              "    9: 0008 ???\n"
              "   10: 0009 JIN 1\n");
}

TEST(Monitor, ResetAgainWritesAnotherResetLineAndNoInstructions) {
    BoardSettings s;
    s.traceFile = temporaryPath("reset.txt");
    s.traceLimit = 3;
    {
        TestBoard t({{0, {0xD1}}}, s);
        t.board.run(10);
        t.board.warmUp();
        t.board.run(10);
    }
    EXPECT_EQ(readText(s.traceFile),
              "4004 Monitor\nReset\n    0: 0000 NOP\n    1: 0000 LDM 1\nReset\n    2: 0000 NOP\n");
}

TEST(Monitor, AnUncreatableTraceFileGivesTheFailureCodeAndRecordsNothing) {
    Monitor m;
    Net bus = 0, sync = 0, reset = 0;
    EXPECT_EQ(m.connect("/nonexistent/dir/trace.txt", 5, false, 0, &bus, &sync, &reset), 1111);
    reset = 1;
    m.clockPhase1();
    m.clockPhase2();  // would write "Reset" if it had a file; must not crash
    EXPECT_EQ(m.lineLimit, 5);
    EXPECT_EQ(m.connect("", 5, false, 0, &bus, &sync, &reset), 0);
}

}  // namespace
}  // namespace tallivo::testing
