#pragma once
// The calculator's drum printer without a window: the drum, the hammers, the
// red ribbon and the paper feed as the board sees them.
//
// The drum carries 13 character sectors and turns continuously, one sector per
// 10000 clock periods. The printer tells the firmware where it is: Test (the
// CPU's TEST input) is high for the first 1600 periods of every sector and
// DrumIndex (ROM 2's port bit 0) is high through sector 0. The firmware loads
// the 20 hammer lines through the two printer shift registers and raises
// HammerFire on RAM 0's port when the wanted sector comes round; at the end of
// the sector the chosen hammers strike that sector's character. PaperAdvance
// at a sector boundary feeds the paper: the struck line is handed to lineFed.
// RibbonRed at any time during a line prints it in red, which the paper shows
// as a "-" mark left of the number.
//
// Print line columns: 0-1 red mark only; 2-17 digits struck by hammers 2-17;
// 19-20 the left symbol (hammer 0); 22-23 the right symbol (hammer 1).
// Hammers 18 and 19 strike nothing.
#include <cstdint>
#include <string_view>

#include "kernel/component.h"
#include "kernel/net.h"
#include "panel/machine_sound.h"

namespace tallivo {

class PrinterDrum : public Component {
  public:
    static constexpr int kLineLength = 24;
    static constexpr int kSectors = 13;
    static constexpr int kPeriodsPerSector = 10000;
    static constexpr int kTestPeriods = 1600;

    PrinterDrum() { clearLine(); }

    // Hands the printer its Nets (`hammerLines` points at 20 consecutive
    // Nets), puts the drum at sector 0 and blanks the line. Writes no Net.
    void connect(Net* hammerLines, Net* paperAdvanceLine, Net* hammerFireLine, Net* ribbonRedLine,
                 Net* drumIndexLine, Net* testLine);

    // Final and inline, so that the board's run loop calls them directly.
    int clockPhase1() final;  // red-ribbon latch
    int clockPhase2() final;  // the drum: Test, DrumIndex, strike and paper feed
    int shutdown() override { return 0; }

    // Blanks the print line and forgets the red ribbon.
    void clearLine();

    // Clock periods since connect, as the drum has counted them.
    std::uint64_t periodsRun() const {
        return sectorsTurned_ * kPeriodsPerSector + static_cast<std::uint64_t>(sectorClock);
    }
    // Where the hammer blows and paper feeds are heard, if anywhere: told at
    // the sector boundary each happens at, nothing in between.
    MachineSound* sound = nullptr;

    std::uint8_t redPending = 0;
    char printLine[kLineLength + 1] = {};
    std::int32_t sector = 0;
    std::int32_t sectorClock = 0;
    Net* hammerNets = nullptr;
    Net* paperAdvanceNet = nullptr;
    Net* hammerFireNet = nullptr;
    Net* ribbonRedNet = nullptr;
    Net* drumIndexNet = nullptr;
    Net* testNet = nullptr;

  protected:
    // A line has been fed out: its 24 columns, and whether the red ribbon
    // struck it (its text carries the "-" mark then). The print line is
    // already blank again.
    virtual void lineFed(std::string_view line, bool red) = 0;

  private:
    void strike();
    void feedPaper();

    std::uint64_t sectorsTurned_ = 0;
};

inline int PrinterDrum::clockPhase1() {
    // The red ribbon counts for the whole line if it was up at any time
    // before the paper is fed.
    if (ribbonRedNet != nullptr && *ribbonRedNet != 0) redPending = 1;
    return 0;
}

inline int PrinterDrum::clockPhase2() {
    // Both outputs are written every period from the state before the step:
    // in the last period of a sector Test is already low while DrumIndex
    // still shows the ending sector.
    if (drumIndexNet != nullptr) *drumIndexNet = sector == 0 ? 1 : 0;
    if (testNet != nullptr) *testNet = sectorClock < kTestPeriods ? 1 : 0;
    if (++sectorClock < kPeriodsPerSector) return 0;

    // Sector boundary: the hammers strike first, so a line fed at the same
    // boundary already carries the characters just struck.
    sectorClock = 0;
    ++sectorsTurned_;
    if (hammerFireNet != nullptr && *hammerFireNet != 0) strike();
    if (paperAdvanceNet != nullptr && *paperAdvanceNet != 0) feedPaper();
    sector = (sector + 1) % kSectors;
    return 0;
}

}  // namespace tallivo
