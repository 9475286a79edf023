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

#include "kernel/component.h"

namespace tallivo {

class Ram4002 final : public Component {
public:
    virtual ~Ram4002() = default;

    int connect(int pinP0Value, int metalOptionValue, Net* dataBusNet, Net* syncNet,
                Net* cmRamNet, Net* resetNet, Net* out0, Net* out1, Net* out2, Net* out3);
    int clockPhase1() override;
    int clockPhase2() override;
    int shutdown() override { return 0; }

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

inline int Ram4002::clockPhase1() {
    latchSync();
    switch (phase) {
        case kM2:
            ioOpa = *dataBus & 15;
            selected = *cmRam != 0 && ((srcHigh >> 3) & 1) == metalOption &&
                       ((srcHigh >> 2) & 1) == pinP0;
            break;
        case kX2:
            if (*cmRam != 0) {  // SRC: the chip/register nibble
                srcHigh = *dataBus;
                srcPending = true;
            }
            if (selected) writeAtX2();
            break;
        case kX3:
            if (srcPending) {  // SRC: the character nibble
                characterIndex = *dataBus & 15;
                srcPending = false;
            }
            break;
        default:
            break;
    }
    return 0;
}

inline int Ram4002::clockPhase2() {
    advancePhase();
    if (*reset != 0) {
        resetChip();
        return 0;
    }
    if (phase == kX2 && selected) {
        if (ioOpa == 8 || ioOpa == 9 || ioOpa == 11) {  // SBM, RDM, ADM
            *dataBus = mainMemory[mainIndex()];
        } else if (ioOpa >= 12) {  // RD0-RD3
            *dataBus = statusMemory[statusIndex(ioOpa - 12)];
        }
    }
    return 0;
}

}  // namespace tallivo
