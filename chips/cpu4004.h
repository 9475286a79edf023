#pragma once
// The Intel 4004 CPU, the only master of the bus.
//
// Pins as the board wires them: DataBus (D0-D3), Sync, Test, CmRom, the four
// CM-RAM lines (one group), Reset.
//
// Each instruction cycle is eight clock periods. In phase 2 of a period the
// CPU enters the next phase and drives: A1-A3 the fetch address, lowest
// nibble first (CM lines high in A3); M1/M2 nothing (the ROM answers); CM lines
// again in M2 of the I/O group; in X2 the accumulator, or the high register of
// SRC's pair with the CM lines; in X3 SRC's low register; SYNC high in X3. In
// phase 1 it samples what was driven: the opcode at the end of M1 and M2, the
// X2 value, and it executes at the end of X3.
#include <array>
#include <cstdint>

#include "chips/instruction_set.h"
#include "kernel/component.h"

namespace tallivo {

class Cpu4004 final : public Component {
  public:
    virtual ~Cpu4004() = default;

    int connect(Net* dataBusNet, Net* syncNet, Net* testNet, Net* cmRomNet, Net* cmRamNets,
                Net* resetNet);
    int clockPhase1() override;
    int clockPhase2() override;
    int shutdown() override { return 0; }

    // Clears the registers and drives every output low.
    void resetRegisters();
    // Carries out the instruction at the end of X3.
    void execute();

    // One clock period's work by cycle phase (see below).
    template <std::int32_t P>
    void sampleAt(Net bus);
    template <std::int32_t P>
    void driveAt();

    std::uint16_t pc() const { return addressStack[stackPointer]; }

    std::uint8_t carry = 0;
    std::uint8_t secondWord = 0;
    std::uint8_t accumulator = 0;
    std::array<std::uint16_t, 4> addressStack{};
    std::uint8_t stackPointer = 0;
    std::uint8_t opr = 0;
    std::uint8_t opa = 0;
    std::uint8_t x2Latch = 0;
    std::array<std::uint8_t, 16> indexRegisters{};
    bool secondWordPending = false;
    std::uint8_t cmRamSelect = 1;

    Net* dataBus = nullptr;
    Net* test = nullptr;
    Net* cmRom = nullptr;
    Net* cmRam = nullptr;
    Net* reset = nullptr;

  private:
    // The cycle that fetches FIN's data byte from R0R1 instead of the next word.
    bool finFetchCycle() const { return secondWordPending && opr == isa::kFinJin; }
    bool isSrc() const { return opr == isa::kFimSrc && (opa & 1) != 0; }
    void assertCommandLines() {
        *cmRom = 1;
        for (int i = 0; i < 4; ++i) cmRam[i] = static_cast<Net>((cmRamSelect >> i) & 1);
    }
    void releaseCommandLines() {
        *cmRom = 0;
        cmRam[0] = cmRam[1] = cmRam[2] = cmRam[3] = 0;
    }
    std::uint16_t& pcRef() { return addressStack[stackPointer]; }
    void addWithCarryOut(unsigned sum) {
        carry = static_cast<std::uint8_t>((sum >> 4) & 1);
        accumulator = static_cast<std::uint8_t>(sum & 15);
    }
    void jumpWithinPage(std::uint8_t low) {
        pcRef() = static_cast<std::uint16_t>((pc() & 0xF00) | low);
    }
    void executeIoGroup();
    void executeAccumulatorGroup();
    void executeSecondCycle();
};

// The clock operations are defined here so that the board's run loop can
// inline them. Each is split by cycle phase: sampleAt<P> is the phase-1 work
// at the end of phase P and driveAt<P> the phase-2 work on entering P, SYNC
// latch, phase count and Reset aside, so that a loop that knows the phase
// runs only what that phase does.

template <std::int32_t P>
inline void Cpu4004::sampleAt(Net bus) {
    if constexpr (P == kM1) {
        // The PC moves past the word just fetched, except in FIN's fetch
        // cycle, whose address came from R0R1.
        if (!finFetchCycle()) pcRef() = static_cast<std::uint16_t>((pc() + 1) & 0xFFF);
        if (!secondWordPending) {
            opr = static_cast<std::uint8_t>(bus & 15);
        } else {
            secondWord = static_cast<std::uint8_t>((bus & 15) << 4);
        }
    } else if constexpr (P == kM2) {
        if (!secondWordPending) {
            opa = static_cast<std::uint8_t>(bus & 15);
        } else {
            secondWord = static_cast<std::uint8_t>(secondWord | (bus & 15));
        }
    } else if constexpr (P == kX2) {
        x2Latch = static_cast<std::uint8_t>(bus & 15);
    } else if constexpr (P == kX3) {
        execute();
    }
}

template <std::int32_t P>
inline void Cpu4004::driveAt() {
    if constexpr (P == kA1) {
        *dataBus = finFetchCycle() ? indexRegisters[1] : static_cast<Net>(pc() & 15);
    } else if constexpr (P == kA2) {
        *dataBus = finFetchCycle() ? indexRegisters[0] : static_cast<Net>((pc() >> 4) & 15);
    } else if constexpr (P == kA3) {
        *dataBus = static_cast<Net>((pc() >> 8) & 15);
        assertCommandLines();
    } else if constexpr (P == kM1 || P == kX1) {
        releaseCommandLines();
    } else if constexpr (P == kM2) {
        if (opr == isa::kIoGroup) assertCommandLines();
    } else if constexpr (P == kX2) {
        if (isSrc()) {
            assertCommandLines();
            *dataBus = indexRegisters[opa - 1u];
        } else if (!(opr == isa::kIoGroup && isa::ioReads(opa))) {
            // I/O reads leave the bus to the chip that answers.
            *dataBus = accumulator;
        }
    } else if constexpr (P == kX3) {
        if (isSrc()) *dataBus = indexRegisters[opa];
        releaseCommandLines();
    }
    *syncIn = (P == kX3 || P == kNotSynchronised) ? 1 : 0;
}

inline int Cpu4004::clockPhase1() {
    latchSync();
    if (*reset != 0) {
        resetRegisters();
        return 0;
    }
    sampleAtPhase(*this, phase, *dataBus);
    return 0;
}

inline int Cpu4004::clockPhase2() {
    advancePhase();
    if (*reset != 0) {
        *syncIn = 0;
        *dataBus = 0;
        return 0;
    }
    driveAtPhase(*this, phase);
    return 0;
}

}  // namespace tallivo
