#pragma once
// The calculator board: every Net, and the connect and registerComponent
// calls of the chips and the monitor, in start-up order. The components that
// come before the CPU in the call order (the keyboard and printer panels and
// the flowchart view) are connected by the application, which hands them the
// same Nets and registers them here first.
#include <array>
#include <cstdint>
#include <string>

#include "chips/cpu4004.h"
#include "chips/ram4002.h"
#include "chips/rom4001.h"
#include "chips/shift_register4003.h"
#include "kernel/component_registry.h"
#include "kernel/net.h"
#include "panel/key_matrix.h"
#include "panel/printer_drum.h"
#include "tools/flowchart_recorder.h"
#include "tools/monitor.h"

namespace tallivo {

// Every wire of the board, all 0 at start. Groups are consecutive bytes.
struct BoardNets {
    Net DataBus = 0;
    Net Sync = 0;
    Net CmRom = 0;
    Net CmRam[4] = {};
    Net Reset = 0;
    Net Test = 0;
    Net KeyShiftClock = 0;
    Net ShiftData = 0;
    Net PrinterShiftClock = 0;
    Net ShiftCarry = 0;
    Net KeyColumn[10] = {};
    Net HammerLine[20] = {};
    Net KeyRow[4] = {};
    Net DrumIndex = 0;
    Net RibbonRed = 0;
    Net HammerFire = 0;
    Net PaperAdvance = 0;
    Net LampM = 0;
    Net LampOVF = 0;
    Net LampNEG = 0;
    Net QuitRequested = 0;
};

struct BoardSettings {
    std::string codeFile = "4001.code";
    std::string traceFile = "4004out.txt";  // empty: no trace file
    int traceLimit = 0;                     // -m
    bool page3Filter = false;               // -v
    int traceStart = 0;                     // -s
};

class Board {
  public:
    static constexpr int kWarmUpPeriods = 12;
    static constexpr int kMaxFront = 3;

    Board() = default;
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Registers a component that runs before the CPU (a panel or the
    // flowchart view), after the application has connected it.
    void registerFront(Component* component);
    // The same for the keyboard matrix, the printer's drum and the flowchart
    // recorder, which the run loop then calls directly, without a virtual
    // call, when they are registered in that order and alone.
    void registerFront(KeyMatrix* keys);
    void registerFront(PrinterDrum* drum);
    void registerFront(FlowchartRecorder* recorder);

    // The keyboard matrix, the printer's drum and the flowchart recorder
    // connected to their Nets and registered, for a board without the
    // desktop's windows (the web page, the benchmarks, tests). Called in
    // this order, before connectChips.
    void connectKeyboard(KeyMatrix& keys);
    void connectPrinter(PrinterDrum& drum);
    void connectRecorder(FlowchartRecorder& recorder, int hitValue);

    // Connects and registers the CPU, ROMs 0-4, RAMs 0-1, shift registers 0-2
    // and the monitor. 1 when ROM 0 could not load the code file: nothing
    // after it is connected or registered then.
    int connectChips(const BoardSettings& settings);

    // Holds Reset high for the warm-up periods, then releases it.
    void warmUp() { holdReset(kWarmUpPeriods); }

    // Raises Reset between two clock periods, runs `periods` periods with it
    // high and releases it: the warm-up, and a reset in the middle of a run.
    // Each chip clears what its reset clears. Held for nine periods or more,
    // it also lets the phase counters run out, so the CPU raises SYNC and
    // starts again at address 0; a shorter pulse lets the cycle go on.
    void holdReset(int periods);

    // Runs clock periods: the same calls in the same order as stepClock, made
    // directly on the chip classes so the compiler can inline them.
    void run(std::uint64_t periods);

    // One period through the registry, the general path.
    void stepClock() { registry.stepClock(); }

    // True when a new instruction cycle has just begun: the CPU has carried
    // out the last cycle's instruction in phase 1 of this period (the end of
    // X3) and in phase 2 entered A1 of the fetch from its program counter,
    // which no chip has sampled yet.
    bool atCycleStart() const { return cpu.phase == kA1; }
    // Periods from now to the next cycle start: the rest of this cycle, or a
    // whole one when a cycle has just begun. One while the CPU is not
    // synchronised (after Reset), so that the caller looks again.
    std::uint64_t periodsToCycleStart() const {
        if (cpu.phase == kNotSynchronised) return 1;
        return static_cast<std::uint64_t>(kX3 + 1 - cpu.phase);
    }

    // The word at a program address as the ROMs hold it; 0 where no ROM
    // answers (pages 5 to 15).
    std::uint8_t programWord(int address) const {
        const auto chip = static_cast<std::size_t>((address >> 8) & 15);
        if (chip >= roms.size()) return 0;
        return roms[chip].image[static_cast<std::size_t>(address & 0xFF)];
    }

    BoardNets nets;
    ComponentRegistry registry;
    Cpu4004 cpu;
    std::array<Rom4001, 5> roms;
    std::array<Ram4002, 2> rams;
    std::array<ShiftRegister4003, 3> shiftRegisters;
    Monitor monitor;

  private:
    // True while the registry holds exactly the front components followed by
    // the chips and the monitor, in order; otherwise run() takes stepClock.
    bool layoutIsStandard() const;
    // What stands in front of the chips: any components, called through
    // their virtual phases; nothing; or the keyboard and printer models,
    // with or without the recorder, called directly.
    enum class FrontKind { Any, None, Panels, PanelsAndRecorder };
    FrontKind frontKind() const;
    template <FrontKind kind>
    void runFast(std::uint64_t periods);
    // Every component's own phase operations, period by period: phase 1 of
    // every component in registration order, then phase 2.
    template <FrontKind kind>
    void runPeriods(std::uint64_t periods);
    template <FrontKind kind, int clockPhase>
    void clockEvery();

    // The run loop by cycle phase. Every chip that follows the instruction
    // cycle holds the same phase (they all latch the one Sync Net, which
    // only the CPU drives), so while Reset is low a period's work is known
    // from that phase alone: each component does only what it does in that
    // phase, without a call or a test of its own counter, and the counters
    // are written back when the run ends. The shift registers only move in
    // the three periods after ROM 0's port write in X3; in the other five
    // they are at rest and are not called.
    template <FrontKind kind>
    bool cyclesReady() const;
    template <FrontKind kind, bool tracing>
    void runCycles(std::uint64_t periods);
    template <FrontKind kind, bool tracing, std::int32_t P>
    void cyclePeriod();

    std::array<Component*, kMaxFront> front_{};
    int frontCount_ = 0;
    KeyMatrix* keys_ = nullptr;
    PrinterDrum* drum_ = nullptr;
    FlowchartRecorder* recorder_ = nullptr;
};

}  // namespace tallivo
