// Stopping the clock at instructions: steps against the monitor's trace,
// step over, breakpoints, and the pacing across a pause.
#include "kernel/run_control.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "chips/instruction_set.h"
#include "kernel/board_state.h"
#include "kernel/command_line.h"
#include "tests/support/firmware_symbols.h"
#include "tests/support/test_board.h"
#include "tools/monitor.h"

namespace tallivo {
namespace {

using testing::Blocks;
using testing::TestBoard;

// The firmware that ships, traced into a file of this test's own.
struct FirmwareBoard {
    explicit FirmwareBoard(const std::string& trace = {}) {
        BoardSettings settings;
        settings.codeFile = std::string(TALLIVO_BIN_DIR) + "/4001.code";
        settings.traceFile = trace.empty() ? std::string() : testing::temporaryPath(trace);
        settings.traceLimit = trace.empty() ? 0 : -1;
        traceFile = settings.traceFile;
        EXPECT_EQ(board.connectChips(settings), 0);
        board.warmUp();
    }
    // The fetch address and the instruction text of every trace line, in order.
    struct TraceLine {
        int address = 0;
        std::string text;
    };
    std::vector<TraceLine> traced() {
        board.monitor.flush();
        std::ifstream in(traceFile);
        std::vector<TraceLine> lines;
        for (std::string line; std::getline(in, line);) {
            int count = 0, address = 0, end = 0;
            if (std::sscanf(line.c_str(), "%d: %x %n", &count, &address, &end) == 2)
                lines.push_back({address, line.substr(static_cast<std::size_t>(end))});
        }
        return lines;
    }
    Board board;
    std::string traceFile;
};

// Runs until the control stops, for at most `limit` periods.
std::uint64_t runToStop(RunControl& control, Board& board, std::uint64_t limit = 5000000) {
    std::uint64_t ran = 0;
    while (!control.paused() && ran < limit)
        ran += control.run(board, std::min<std::uint64_t>(1000, limit - ran));
    return ran;
}

TEST(RunControl, StepsCoverExactlyTheNextTraceLines) {
    FirmwareBoard f("steps.trace");
    RunControl control;
    // Into the key scan and the interpreter, then stopped at an instruction.
    f.board.run(200000);
    control.pause();
    runToStop(control, f.board);
    ASSERT_TRUE(control.paused());
    // The line of the instruction that has just ended is written as the
    // next cycle starts, so the steps' lines follow the lines so far.
    const std::size_t before = f.traced().size();

    constexpr std::size_t kSteps = 300;
    std::vector<int> pcs;
    std::vector<std::uint64_t> periods;
    for (std::size_t i = 0; i < kSteps; ++i) {
        pcs.push_back(f.board.cpu.pc());
        control.step();
        periods.push_back(runToStop(control, f.board, 64));
        ASSERT_EQ(control.lastStop(), RunControl::Stop::Step);
    }
    const auto traced = f.traced();
    ASSERT_EQ(traced.size(), before + kSteps);
    for (std::size_t i = 0; i < kSteps; ++i) {
        const auto& line = traced[before + i];
        EXPECT_EQ(line.address, pcs[i]) << "step " << i;
        // The instruction as the inspector names it begins the trace's text,
        // which adds what only the run knows (the I/O value, FIN's data).
        const std::uint8_t word = f.board.programWord(pcs[i]);
        char text[32];
        formatInstruction(word, f.board.programWord(pcs[i] + 1), text, sizeof text);
        EXPECT_EQ(line.text.rfind(text, 0), 0u) << line.text << " / " << text;
        // One cycle, or two for a two-word instruction and FIN.
        EXPECT_EQ(periods[i], 8u * static_cast<unsigned>(isa::cyclesOf(word))) << "step " << i;
    }
}

TEST(RunControl, ManyStepsAtOnceEndWhereSingleStepsEnd) {
    FirmwareBoard a, b;
    RunControl one, many;
    a.board.run(150000);
    b.board.run(150000);
    for (RunControl* c : {&one, &many}) c->pause();
    runToStop(one, a.board);
    runToStop(many, b.board);
    for (int i = 0; i < 50; ++i) {
        one.step();
        runToStop(one, a.board, 64);
    }
    many.step(50);
    runToStop(many, b.board, 50 * 16);
    EXPECT_TRUE(many.paused());
    EXPECT_EQ(boardStateJson(a.board), boardStateJson(b.board));
}

TEST(RunControl, StepOverReturnsToTheWordAfterTheJmsAtItsDepth) {
    FirmwareBoard f;
    RunControl control;
    // The interpreter's loop calls the operation fetch at 0x300; the key
    // wait calls the key scan, one level deeper.
    for (const int call : {testing::firmwareSymbol("loop"), testing::firmwareSymbol("key")}) {
        ASSERT_EQ(f.board.programWord(call) >> 4, 5) << "no JMS at " << call;
        control.runTo(call);
        runToStop(control, f.board);
        ASSERT_EQ(control.lastStop(), RunControl::Stop::Target);
        const std::uint8_t depth = f.board.cpu.stackPointer;
        const std::uint64_t seen = control.instructionsSeen();
        ASSERT_TRUE(control.stepOver(f.board));
        runToStop(control, f.board);
        EXPECT_EQ(control.lastStop(), RunControl::Stop::Return);
        EXPECT_EQ(f.board.cpu.pc(), call + 2);
        EXPECT_EQ(f.board.cpu.stackPointer, depth);
        // The subroutine ran: more than the JMS itself.
        EXPECT_GT(control.instructionsSeen() - seen, 2u);
    }
    // Anything but a JMS is one step.
    control.runTo(0x300);
    runToStop(control, f.board);
    const int pc = f.board.cpu.pc();
    EXPECT_FALSE(control.stepOver(f.board));
    runToStop(control, f.board, 64);
    EXPECT_EQ(control.lastStop(), RunControl::Stop::Step);
    EXPECT_NE(f.board.cpu.pc(), pc);
}

TEST(RunControl, StepOverARecursiveCallWaitsForTheOuterReturn) {
    // 000 JMS 010; 002 JUN 002 | 010 ISZ R0,012 -> 012 JMS 010 when R0 != 0;
    // R0 counts up from 14: the calls nest twice and unwind.
    TestBoard t(Blocks{{0x000, {0x50, 0x10, 0x40, 0x02}},
                       {0x010, {0x70, 0x14, 0xC0, 0x00, 0x50, 0x10, 0xC0}}},
                BoardSettings{});
    t.board.cpu.indexRegisters[0] = 14;
    RunControl control;
    control.pause();
    runToStop(control, t.board);
    ASSERT_EQ(t.board.cpu.pc(), 0x000);
    ASSERT_TRUE(control.stepOver(t.board));
    runToStop(control, t.board, 10000);
    EXPECT_EQ(control.lastStop(), RunControl::Stop::Return);
    EXPECT_EQ(t.board.cpu.pc(), 0x002);
    EXPECT_EQ(t.board.cpu.stackPointer, 0);
    EXPECT_EQ(t.board.cpu.indexRegisters[0], 0);
}

// FIM P0,00; SRC P0; loop: RDM; IAC; WRM; WMP; WRR; ADD R2; INC R3;
// ISZ R4,loop; JUN loop: the ISZ falls through after 16 passes.
const Blocks kLoop{
    {0, {0x20, 0x00, 0x21, 0xE9, 0xF2, 0xE0, 0xE1, 0xE2, 0x82, 0x63, 0x74, 0x03, 0x40, 0x03}}};

TEST(RunControl, ABreakpointStopsAtTheFirstFetchOfItsAddressOnly) {
    TestBoard t(kLoop, BoardSettings{});
    RunControl control;
    control.setBreakpoint(0x00C, true);
    // The two periods in which the CPU first raises SYNC and enters A1,
    // FIM's two cycles, SRC, and 16 passes of 9 cycles (ISZ takes two).
    EXPECT_EQ(runToStop(control, t.board, 100000), 2u + 8u * (3 + 16 * 9));
    ASSERT_EQ(control.lastStop(), RunControl::Stop::Breakpoint);
    EXPECT_EQ(t.board.cpu.pc(), 0x00C);
    // The sixteenth ISZ has just fallen through: nothing of the JUN has run.
    EXPECT_EQ(t.board.cpu.indexRegisters[4], 0);
    EXPECT_EQ(t.board.cpu.indexRegisters[3], 0);
    EXPECT_EQ(t.board.cpu.phase, kA1);

    // Resumed, it leaves the breakpoint and stops at its next fetch, 16
    // passes later.
    control.resume();
    const std::uint64_t ran = runToStop(control, t.board, 100000);
    EXPECT_EQ(control.lastStop(), RunControl::Stop::Breakpoint);
    EXPECT_EQ(ran, 8u * (2 + 16 * 9));

    // The second word of the ISZ and FIN's data are no instruction starts.
    TestBoard u(kLoop, BoardSettings{});
    RunControl second;
    second.setBreakpoint(0x00B, true);
    second.setBreakpoint(0x001, true);
    EXPECT_EQ(second.run(u.board, 100000), 100000u);
    EXPECT_FALSE(second.paused());
    // Out-of-range addresses are ignored.
    second.setBreakpoint(-1, true);
    second.setBreakpoint(4096, true);
    EXPECT_EQ(second.breakpointCount(), 2);
}

TEST(RunControl, ABreakpointAtZeroStopsBeforeTheFirstInstruction) {
    TestBoard t(kLoop, BoardSettings{});
    RunControl control;
    control.setBreakpoint(0, true);
    EXPECT_EQ(control.run(t.board, 1000), 2u);
    EXPECT_EQ(control.lastStop(), RunControl::Stop::Breakpoint);
    EXPECT_EQ(control.instructionsSeen(), 0u);
    EXPECT_EQ(t.board.cpu.pc(), 0);
    EXPECT_EQ(control.run(t.board, 1000), 0u);  // paused: nothing runs
}

TEST(RunControl, CheckingEachCycleChangesNothingThatTheBoardDoes) {
    // The same periods with and without per-cycle checks end in the same
    // state, also when a run ends in the middle of a cycle.
    FirmwareBoard fast, checked;
    RunControl free, watching;
    watching.setBreakpoint(0xFFF, true);  // never fetched
    for (std::uint64_t chunk : {1u, 7u, 100u, 12345u, 300000u}) {
        EXPECT_EQ(free.run(fast.board, chunk), chunk);
        EXPECT_EQ(watching.run(checked.board, chunk), chunk);
        EXPECT_EQ(boardStateJson(fast.board), boardStateJson(checked.board)) << chunk;
    }
}

TEST(PacingPause, APauseHoldsTheTargetAndResumingStartsANewTimeBase) {
    Pacer p;
    p.start(740, {100, 0});
    p.onTimer({101, 0});
    EXPECT_DOUBLE_EQ(p.cycleTarget, 740000);
    p.cyclesRun = 740000;
    p.pause({101, 0});
    EXPECT_FALSE(p.behind());
    // Ticks while paused move nothing.
    p.onTimer({110, 0});
    EXPECT_DOUBLE_EQ(p.cycleTarget, 740000);
    // Nine seconds later: half a second after the resume is half a second's
    // periods more, not nine and a half.
    p.resume({110, 0});
    EXPECT_TRUE(p.behind());
    p.onTimer({110, 500});
    EXPECT_DOUBLE_EQ(p.cycleTarget, 740000 + 370000);
    p.cyclesRun = 1110000;
    // The report counts 1.5 s of running, not 11.
    EXPECT_EQ(p.exitReport({110, 500}),
              "Exiting, executed 1.11M machine cycles in 1 seconds\n1110.00 kcyc/sec");
    // Quitting while paused: the time since the pause does not count.
    p.pause({111, 0});
    EXPECT_EQ(p.exitReport({150, 0}),
              "Exiting, executed 1.11M machine cycles in 2 seconds\n555.00 kcyc/sec");
}

}  // namespace
}  // namespace tallivo
