#pragma once
// One Intel 4001: a 256-byte page of program memory and a 4-line I/O port.
//
// Pins as the board wires them: DataBus, Sync, CmRom, Reset, port lines 0-3
// (any may be absent). The chip listens to the fetch address (A1, A2 low and
// middle nibbles; A3 the page nibble with CM-ROM high selects it), answers
// with the opcode's high nibble in M1 and low nibble in M2, is chosen as an
// I/O port by SRC (CM-ROM high in X2 with its number on the bus), reads its
// port onto the bus in X2 for RDR and writes its output lines in X3 for WRR.
#include <array>
#include <cstdint>
#include <string>

#include "chips/code_file.h"
#include "chips/instruction_set.h"
#include "kernel/component.h"

namespace tallivo {

class Rom4001 final : public Component {
  public:
    virtual ~Rom4001() = default;

    // Loads the chip's page from the code file; 1 when the file can't be
    // opened (the message is shown and the page stays all zeros).
    int connect(const std::string& codeFile, int chipNumberValue, int ioMaskValue, Net* dataBusNet,
                Net* syncNet, Net* cmRomNet, Net* resetNet, Net* port0, Net* port1, Net* port2,
                Net* port3);
    int clockPhase1() override;
    int clockPhase2() override;
    int shutdown() override { return 0; }

    // One clock period's work by cycle phase (see below).
    template <std::int32_t P>
    void sampleAt(Net bus);
    template <std::int32_t P>
    void driveAt();

    int chipNumber = 0;
    std::uint8_t ioMask = 0;
    RomPage image{};
    int pageAddress = 0;
    bool romSelected = false;
    bool ioSelected = false;
    int ioOpa = 0;
    bool ioCommand = false;
    int portData = 0;
    Net* dataBus = nullptr;
    Net* cmRom = nullptr;
    Net* reset = nullptr;
    std::array<Net*, 4> portLines{};

  private:
    bool ioInstruction(int opa) const { return ioSelected && ioCommand && ioOpa == opa; }
    // The phases in which the chip drives the bus or its port in phase 2, as
    // bits by phase number, worked out in phase 1 whenever a latch that
    // decides it changes. A chip that is neither the fetched page nor the
    // port of the I/O instruction drives nothing, and most periods cost it
    // one bit test instead of the walk through the cases.
    void updateDrivePhases() {
        drivePhases_ = static_cast<std::uint16_t>((romSelected ? (1u << kM1 | 1u << kM2) : 0u) |
                                                  (ioInstruction(isa::kRdr) ? 1u << kX2 : 0u) |
                                                  (ioInstruction(isa::kWrr) ? 1u << kX3 : 0u));
    }
    std::uint16_t drivePhases_ = 0;
};

// The clock operations split by cycle phase, as for the CPU: sampleAt<P> is
// phase 1 at the end of P, driveAt<P> phase 2 on entering P.

template <std::int32_t P>
inline void Rom4001::sampleAt(Net bus) {
    if constexpr (P == kA1) {
        pageAddress = bus & 15;
    } else if constexpr (P == kA2) {
        pageAddress = (pageAddress | (bus << 4)) & 0xFF;
    } else if constexpr (P == kA3) {
        romSelected = *cmRom != 0 && bus == chipNumber;
        updateDrivePhases();
    } else if constexpr (P == kM2) {
        ioOpa = bus;
        ioCommand = *cmRom != 0;
        updateDrivePhases();
    } else if constexpr (P == kX2) {
        portData = bus;
        // Only SRC raises CM-ROM in X2: its high register picks the port.
        if (*cmRom != 0) ioSelected = bus == chipNumber;
        updateDrivePhases();
    }
}

template <std::int32_t P>
inline void Rom4001::driveAt() {
    // A1-A3 and X1 never drive; otherwise only the phases worked out when
    // the latches changed.
    if constexpr (P == kM1 || P == kM2 || P == kX2 || P == kX3) {
        if ((drivePhases_ >> P & 1u) == 0) return;
    } else {
        return;
    }
    if constexpr (P == kM1) {
        *dataBus = static_cast<Net>(image[static_cast<std::size_t>(pageAddress)] >> 4);
    } else if constexpr (P == kM2) {
        *dataBus = static_cast<Net>(image[static_cast<std::size_t>(pageAddress)] & 15);
    } else if constexpr (P == kX2) {
        // RDR reads all four lines, outputs included.
        Net value = 0;
        for (int j = 0; j < 4; ++j)
            if (portLines[static_cast<std::size_t>(j)] &&
                *portLines[static_cast<std::size_t>(j)] != 0)
                value = static_cast<Net>(value | (1 << j));
        *dataBus = value;
    } else if constexpr (P == kX3) {
        // WRR writes the output lines only.
        for (int j = 0; j < 4; ++j) {
            Net* line = portLines[static_cast<std::size_t>(j)];
            if (line && (ioMask >> j & 1)) *line = static_cast<Net>((portData >> j) & 1);
        }
    }
}

inline int Rom4001::clockPhase1() {
    return sampleBus(*this, *dataBus);
}

inline int Rom4001::clockPhase2() {
    advancePhase();
    if (*reset != 0) {
        // Reset clears every connected port line, inputs included.
        for (Net* line : portLines)
            if (line) *line = 0;
        return 0;
    }
    driveAtPhase(*this, phase);
    return 0;
}

}  // namespace tallivo
