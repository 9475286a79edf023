#include "kernel/run_control.h"

#include <algorithm>

namespace tallivo {

void RunControl::setBreakpoint(int address, bool on) {
    if (address < 0 || address >= kAddresses) return;
    breakpoints_.set(static_cast<std::size_t>(address), on);
}

bool RunControl::hasBreakpoint(int address) const {
    return address >= 0 && address < kAddresses &&
           breakpoints_.test(static_cast<std::size_t>(address));
}

void RunControl::start(Goal goal) {
    goal_ = goal;
    paused_ = false;
}

void RunControl::resume() {
    start(Goal::Free);
}

void RunControl::pause() {
    if (!paused_) start(Goal::Pause);
}

void RunControl::step(int instructions) {
    stepsLeft_ = std::max(instructions, 1);
    start(Goal::Steps);
}

bool RunControl::stepOver(const Board& board) {
    const int pc = board.cpu.pc();
    if ((board.programWord(pc) >> 4) != 5) {
        step(1);
        return false;
    }
    // JMS pushes the address of the word after its two words; its BBL pulls
    // the stack pointer back to where it was.
    targetAddress_ = (pc + 2) & 0xFFF;
    targetDepth_ = board.cpu.stackPointer;
    start(Goal::Return);
    return true;
}

void RunControl::runTo(int address) {
    targetAddress_ = address & 0xFFF;
    start(Goal::Address);
}

void RunControl::stopWith(Stop reason) {
    paused_ = true;
    lastStop_ = reason;
    goal_ = Goal::Free;
}

bool RunControl::stopsAt(const Board& board, bool instructionEnded) {
    if (instructionEnded) ++instructionsSeen_;
    const int pc = board.cpu.pc();
    switch (goal_) {
        case Goal::Pause:
            stopWith(Stop::Paused);
            return true;
        case Goal::Steps:
            if (instructionEnded && --stepsLeft_ == 0) {
                stopWith(Stop::Step);
                return true;
            }
            break;
        case Goal::Return:
            if (pc == targetAddress_ && board.cpu.stackPointer == targetDepth_) {
                stopWith(Stop::Return);
                return true;
            }
            break;
        case Goal::Address:
            if (pc == targetAddress_) {
                stopWith(Stop::Target);
                return true;
            }
            break;
        case Goal::Free:
            break;
    }
    if (breakpoints_.test(static_cast<std::size_t>(pc))) {
        stopWith(Stop::Breakpoint);
        return true;
    }
    return false;
}

std::uint64_t RunControl::run(Board& board, std::uint64_t periods) {
    if (paused_) return 0;
    if (!checking()) {
        board.run(periods);
        return periods;
    }
    std::uint64_t ran = 0;
    while (ran < periods) {
        // Stopped at an instruction start, the first check comes a whole
        // cycle later: a resumed run leaves the breakpoint it stopped at.
        const std::uint64_t chunk = std::min(board.periodsToCycleStart(), periods - ran);
        // The first cycle after Reset starts without an instruction before it.
        const bool afterReset = board.cpu.phase == kNotSynchronised;
        board.run(chunk);
        ran += chunk;
        if (board.atCycleStart() && !board.cpu.secondWordPending && stopsAt(board, !afterReset))
            break;
    }
    return ran;
}

}  // namespace tallivo
