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

    // For a run loop that knows when the clock line can change. At rest: no
    // edge waiting, no shift just made and the clock's level already seen,
    // so that phase 1 changes nothing until the clock line moves.
    bool atRest() const {
        return !edgePending && !shifted && previousClock == (*clockIn != 0 ? 1 : 0);
    }
    // Whether the parallel outputs show the stages, as phase 2 leaves them.
    bool outputsShown() const {
        return std::memcmp(parallelOut, stages.data(), stages.size()) == 0;
    }
    // Phase 2 for outputs that already show the stages: only a shift
    // changes what it writes.
    void driveChanges() {
        if (shifted) clockPhase2();
    }

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
