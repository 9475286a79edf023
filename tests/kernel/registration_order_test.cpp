// The same-phase cases that the board's call order settles, with stand-ins
// for the panels and the flowchart view in their places before the CPU: a
// component that comes before a writer sees a same-phase write a period late,
// one that comes after it sees it in the same period. Each case runs through
// the board's own run loop and through the registry's stepClock.
#include <gtest/gtest.h>

#include <limits>

#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

constexpr std::uint8_t LDM(int n) {
    return static_cast<std::uint8_t>(0xD0 | n);
}
constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

// Does nothing until `start`, after the warm-up; from then on `period`
// counts the periods, the same number in both phases of one.
class StandIn : public Component {
  public:
    int clockPhase1() override {
        if (nets) sample();
        return 0;
    }
    int clockPhase2() override {
        if (!nets) return 0;
        drive();
        ++period;
        return 0;
    }
    int shutdown() override { return 0; }
    void start(BoardNets& n) {
        nets = &n;
        period = 0;
    }

  protected:
    virtual void sample() {}
    virtual void drive() {}
    void noteFirst(std::uint64_t& when, bool high) const {
        if (high && when == kNever) when = period;
    }
    BoardNets* nets = nullptr;
    std::uint64_t period = 0;
};

// Where the keyboard panel sits: reads the lamps in phase 1.
class KeyboardStandIn final : public StandIn {
  public:
    std::uint64_t lampSeen = kNever;

  private:
    void sample() override { noteFirst(lampSeen, nets->LampM != 0); }
};

// Where the printer panel sits: drives Test and DrumIndex in phase 2 in every
// period, reads RibbonRed in phase 1 and the hammer lines in phase 2.
class PrinterStandIn final : public StandIn {
  public:
    std::uint64_t testFrom = kNever;
    std::uint64_t drumIndexFrom = kNever;
    std::uint64_t ribbonSeen = kNever;
    std::uint64_t hammerLineSeen = kNever;
    std::uint64_t hammerFireSeen = kNever;

  private:
    void sample() override { noteFirst(ribbonSeen, nets->RibbonRed != 0); }
    void drive() override {
        nets->Test = period >= testFrom ? 1 : 0;
        nets->DrumIndex = period >= drumIndexFrom ? 1 : 0;
        noteFirst(hammerLineSeen, nets->HammerLine[0] != 0);
        noteFirst(hammerFireSeen, nets->HammerFire != 0);
    }
};

// Where the flowchart view sits: reads Test in phase 2.
class FlowchartStandIn final : public StandIn {
  public:
    std::uint64_t testSeen = kNever;

  private:
    void drive() override { noteFirst(testSeen, nets->Test != 0); }
};

// A board with the three stand-ins in front, in the panels' order.
struct FrontBoard {
    explicit FrontBoard(const std::vector<std::uint8_t>& program)
        : t(Blocks{{0, program}}, BoardSettings{}, BoardExtras{{&keyboard, &printer, &flowchart}}) {
        keyboard.start(t.board.nets);
        printer.start(t.board.nets);
        flowchart.start(t.board.nets);
    }
    void run(std::uint64_t periods, bool throughRegistry) { t.run(periods, throughRegistry); }
    KeyboardStandIn keyboard;
    PrinterStandIn printer;
    FlowchartStandIn flowchart;
    TestBoard t;
};

class RegistrationOrder : public ::testing::TestWithParam<bool> {};

TEST_P(RegistrationOrder, RdrFromRom2SeesDrumIndexChangedInTheSamePeriod) {
    // SRC 20 (ROM 2); RDR in cycle 3: ROM 2 reads its port in phase 2 of the
    // period that enters X2, after the printer has driven DrumIndex.
    const std::uint64_t x2 = periodEntering(3, kX2);
    for (const std::uint64_t from : {x2, x2 + 1}) {
        FrontBoard f({0x20, 0x20, 0x21, 0xEA});
        f.printer.drumIndexFrom = from;
        f.run(periodsForCycles(4), GetParam());
        EXPECT_EQ(f.t.board.cpu.accumulator, from == x2 ? 1 : 0) << "DrumIndex from " << from;
    }
}

TEST_P(RegistrationOrder, TheFlowchartSeesTestInThePeriodThePrinterDrivesIt) {
    FrontBoard f({0x00});
    f.printer.testFrom = 20;
    f.run(40, GetParam());
    EXPECT_EQ(f.flowchart.testSeen, 20u);
}

TEST_P(RegistrationOrder, ThePrinterSeesTheHammerLinesOnePeriodAfterTheShift) {
    // SRC 00 (ROM 0); LDM 6; WRR in cycle 4 raises PrinterShiftClock with
    // ShiftData 1 in X3. The register sees the edge in the next period,
    // shifts and drives its outputs in the one after, and the printer, which
    // comes first, reads them in phase 2 of the period after that.
    const std::uint64_t x3 = periodEntering(4, kX3);
    FrontBoard f({0x20, 0x00, 0x21, LDM(6), 0xE2});
    f.run(x3 + 3, GetParam());
    EXPECT_EQ(f.t.board.nets.HammerLine[0], 1);
    EXPECT_EQ(f.printer.hammerLineSeen, kNever);
    f.run(1, GetParam());
    EXPECT_EQ(f.printer.hammerLineSeen, x3 + 3);
}

TEST_P(RegistrationOrder, PhaseOneReadersSeeWmpOnePeriodLateAndPhaseTwoReadersAtOnce) {
    // SRC 40; LDM 1; WMP (RAM 1: LampM) in cycle 4; SRC 00; LDM 3; WMP (RAM 0:
    // RibbonRed and HammerFire) in cycle 9. The RAM writes in phase 1 of the
    // period after the one that enters X2.
    FrontBoard f({0x20, 0x40, 0x21, LDM(1), 0xE1, 0x20, 0x00, 0x21, LDM(3), 0xE1});
    f.run(periodsForCycles(10), GetParam());
    const std::uint64_t lamps = periodEntering(4, kX2) + 1;
    const std::uint64_t printer = periodEntering(9, kX2) + 1;
    EXPECT_EQ(f.keyboard.lampSeen, lamps + 1);
    EXPECT_EQ(f.printer.ribbonSeen, printer + 1);
    EXPECT_EQ(f.printer.hammerFireSeen, printer);
}

INSTANTIATE_TEST_SUITE_P(Board, RegistrationOrder, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "ThroughTheRegistry" : "ThroughTheRunLoop";
                         });

}  // namespace
}  // namespace tallivo::testing
