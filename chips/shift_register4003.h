#pragma once
// One Intel 4003: a 10-stage serial-in, parallel-out shift register with a
// serial output. It ignores the instruction cycle and reacts only to its own
// clock line: a rising edge seen in one period shifts in the next period,
// taking the data level of that next period.
//
// Pins as the board wires them: clock, data in, serial out (may be absent),
// ten consecutive parallel outputs.
#include <array>
#include <cstdint>
#include <cstring>

#include "kernel/component.h"

namespace tallivo {

class ShiftRegister4003 final : public Component {
public:
    virtual ~ShiftRegister4003() = default;

    int connect(Net* clockNet, Net* dataNet, Net* serialOutNet, Net* parallelOutNets);
    int clockPhase1() override;
    int clockPhase2() override;
    int shutdown() override { return 0; }

    std::array<std::uint8_t, 10> stages{};
    Net* clockIn = nullptr;
    Net* dataIn = nullptr;
    Net* serialOut = nullptr;
    Net* parallelOut = nullptr;
    std::uint8_t previousClock = 1;
    bool edgePending = false;
    bool shifted = false;
};

inline int ShiftRegister4003::clockPhase1() {
    if (edgePending) {
        std::memmove(&stages[1], &stages[0], 9);
        stages[0] = *dataIn != 0 ? 1 : 0;
    }
    shifted = edgePending;
    const std::uint8_t clock = *clockIn != 0 ? 1 : 0;
    edgePending = clock == 1 && previousClock == 0;
    previousClock = clock;
    return 0;
}

inline int ShiftRegister4003::clockPhase2() {
    std::memcpy(parallelOut, stages.data(), stages.size());
    if (shifted && serialOut) *serialOut = stages[9];
    return 0;
}

}  // namespace tallivo
