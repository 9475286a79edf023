#pragma once
// Stopping the clock at instructions: breakpoints on program addresses,
// stepping one instruction, stepping over a subroutine call and running to an
// address.
//
// The clock only ever stops at an instruction start: the period in which the
// CPU has carried out the last cycle's instruction (at the end of X3) and
// begun the next cycle (A1), whose fetch is of the first word of an
// instruction. The second cycle of a two-word instruction and FIN's data
// fetch are inside the instruction. Stopped there, the registers hold what
// the instructions so far have made of them, the monitor has written the
// trace line of the last one, and the program counter names the next
// instruction, whose address no ROM has yet taken from the bus.
//
// Without a breakpoint and with no step to finish, run() is the board's fused
// run loop and nothing else; otherwise it runs whole instruction cycles
// through that loop and looks at the CPU once per cycle.
#include <bitset>
#include <cstdint>

#include "kernel/board.h"

namespace tallivo {

class RunControl {
  public:
    // Why the clock stopped last.
    enum class Stop : std::uint8_t {
        None,        // it has not stopped
        Paused,      // pause() was asked for
        Step,        // the instructions of step() have run
        Breakpoint,  // the next instruction is at a breakpoint
        Return,      // the subroutine of stepOver() has returned
        Target,      // the next instruction is at runTo()'s address
    };

    static constexpr int kAddresses = 4096;

    // Breakpoints on the 12-bit program addresses; other values are ignored.
    void setBreakpoint(int address, bool on);
    bool hasBreakpoint(int address) const;
    int breakpointCount() const { return static_cast<int>(breakpoints_.count()); }
    void clearBreakpoints() { breakpoints_.reset(); }

    // True after a stop, until one of the commands below runs the clock again.
    bool paused() const { return paused_; }
    Stop lastStop() const { return lastStop_; }

    // Runs freely: only a breakpoint stops the clock.
    void resume();
    // Stops at the next instruction start (at most two cycles away).
    void pause();
    // Runs `instructions` instructions (1 or more) and stops.
    void step(int instructions = 1);
    // With the board stopped at a JMS: runs until the subroutine has returned
    // to the word after the JMS, at the stack depth of the JMS. Any other
    // instruction is a step. True when it runs to a return.
    bool stepOver(const Board& board);
    // Runs until the next instruction is at `address`.
    void runTo(int address);

    // Runs at most `periods` clock periods and returns how many ran: fewer
    // when a stop is reached, none while paused.
    std::uint64_t run(Board& board, std::uint64_t periods);

    // Instructions started since construction, as far as the checks saw
    // them (counted only while a check was needed).
    std::uint64_t instructionsSeen() const { return instructionsSeen_; }

  private:
    enum class Goal : std::uint8_t { Free, Pause, Steps, Return, Address };

    // Whether the clock must be looked at once per cycle.
    bool checking() const { return goal_ != Goal::Free || breakpoints_.any(); }
    // At an instruction start, after an instruction or else after Reset:
    // true when the clock stops here.
    bool stopsAt(const Board& board, bool instructionEnded);
    void stopWith(Stop reason);
    void start(Goal goal);

    std::bitset<kAddresses> breakpoints_;
    Goal goal_ = Goal::Free;
    bool paused_ = false;
    Stop lastStop_ = Stop::None;
    int stepsLeft_ = 0;
    int targetAddress_ = 0;
    std::uint8_t targetDepth_ = 0;
    std::uint64_t instructionsSeen_ = 0;
};

}  // namespace tallivo
