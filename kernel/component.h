#pragma once
// Every clocked object of the board. stepClock calls clockPhase1 of every
// registered component, then clockPhase2 of every one. By convention a
// component samples Nets in phase 1 and drives them in phase 2.
//
// The base also tracks the 4004 instruction cycle for the bus chips: phase 1
// latches SYNC, phase 2 moves the phase counter (0 A1 ... 7 X3, 8 = not
// synchronised). A chip that uses this calls the base first in each override.
#include <cstdint>

#include "kernel/net.h"

namespace tallivo {

enum CyclePhase : std::int32_t {
    kA1 = 0,
    kA2 = 1,
    kA3 = 2,
    kM1 = 3,
    kM2 = 4,
    kX1 = 5,
    kX2 = 6,
    kX3 = 7,
    kNotSynchronised = 8,
};

class Component {
  public:
    Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    virtual int clockPhase1() {
        latchSync();
        return 0;
    }
    virtual int clockPhase2() {
        advancePhase();
        return 0;
    }
    // Every concrete component overrides this; reaching the base is a
    // programming error (see component.cpp).
    virtual int shutdown() = 0;

    std::int32_t phase = kNotSynchronised;
    Net* syncIn = nullptr;
    std::uint8_t syncLatch = 0;

  protected:
    // The base's two steps, for the overrides of the bus chips, which run
    // them first without a virtual call.
    void latchSync() { syncLatch = *syncIn; }
    void advancePhase() {
        // SYNC seen in the last phase 1 starts a new cycle at A1; otherwise
        // count on, and stay at 8 once SYNC has stopped.
        if (syncLatch != 0) {
            phase = kA1;
        } else if (phase != kNotSynchronised) {
            ++phase;
        }
    }

    // Components are never destroyed through a Component pointer.
    ~Component() = default;
};

}  // namespace tallivo
