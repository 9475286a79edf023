#pragma once
// One Intel 4002: four registers of 16 main and 4 status characters, and a
// 4-line output port.
//
// Pins as the board wires them: DataBus, Sync, one CM-RAM line, Reset, output
// lines 0-3 (any may be absent); P0 and the metal option give its number in
// the bank. SRC (CM-RAM high in X2) sends the chip/register nibble in X2 and
// the character in X3; an I/O instruction (CM-RAM high in M2) addressed to the
// chip writes from the bus at the end of X2 or drives its read value in X2.
#include <array>
#include <cstdint>

#include "chips/instruction_set.h"
#include "kernel/component.h"

namespace tallivo {

class Ram4002 final : public Component {
  public:
    virtual ~Ram4002() = default;

    int connect(int pinP0Value, int metalOptionValue, Net* dataBusNet, Net* syncNet, Net* cmRamNet,
                Net* resetNet, Net* out0, Net* out1, Net* out2, Net* out3);
    int clockPhase1() override;
    int clockPhase2() override;
    int shutdown() override { return 0; }

    // One clock period's work by cycle phase (see below).
    template <std::int32_t P>
    void sampleAt(Net bus);
    template <std::int32_t P>
    void driveAt();

    std::uint8_t pinP0 = 0;
    std::uint8_t metalOption = 0;
    std::array<std::uint8_t, 64> mainMemory{};
    std::array<std::uint8_t, 16> statusMemory{};
    int srcHigh = 0;
    int characterIndex = 0;
    bool srcPending = false;
    int ioOpa = 0;
    bool selected = false;
    Net* dataBus = nullptr;
    Net* cmRam = nullptr;
    Net* reset = nullptr;
    std::array<Net*, 4> outputLines{};

  private:
    std::size_t mainIndex() const {
        return static_cast<std::size_t>((srcHigh & 3) * 16 + (characterIndex & 15));
    }
    std::size_t statusIndex(int character) const {
        return static_cast<std::size_t>((srcHigh & 3) * 4 + (character & 3));
    }
    void writeAtX2();
    void resetChip();
};

// The clock operations split by cycle phase, as for the CPU: sampleAt<P> is
// phase 1 at the end of P, driveAt<P> phase 2 on entering P.

template <std::int32_t P>
inline void Ram4002::sampleAt(Net bus) {
    if constexpr (P == kM2) {
        ioOpa = bus & 15;
        selected =
            *cmRam != 0 && ((srcHigh >> 3) & 1) == metalOption && ((srcHigh >> 2) & 1) == pinP0;
    } else if constexpr (P == kX2) {
        if (*cmRam != 0) {  // SRC: the chip/register nibble
            srcHigh = bus;
            srcPending = true;
        }
        if (selected) writeAtX2();
    } else if constexpr (P == kX3) {
        if (srcPending) {  // SRC: the character nibble
            characterIndex = bus & 15;
            srcPending = false;
        }
    }
}

template <std::int32_t P>
inline void Ram4002::driveAt() {
    if constexpr (P == kX2) {
        if (!selected) return;
        if (ioOpa == isa::kSbm || ioOpa == isa::kRdm || ioOpa == isa::kAdm) {
            *dataBus = mainMemory[mainIndex()];
        } else if (ioOpa >= isa::kRd0) {  // RD0-RD3
            *dataBus = statusMemory[statusIndex(ioOpa - isa::kRd0)];
        }
    }
}

inline int Ram4002::clockPhase1() {
    return sampleBus(*this, *dataBus);
}

inline int Ram4002::clockPhase2() {
    advancePhase();
    if (*reset != 0) {
        resetChip();
        return 0;
    }
    if (phase == kX2) driveAt<kX2>();
    return 0;
}

}  // namespace tallivo
