#pragma once
// Every clocked object of the board. stepClock calls clockPhase1 of every
// registered component, then clockPhase2 of every one. By convention a
// component samples Nets in phase 1 and drives them in phase 2.
//
// The base also tracks the 4004 instruction cycle for the bus chips: phase 1
// latches SYNC, phase 2 moves the phase counter (0 A1 ... 7 X3, 8 = not
// synchronised). A chip that uses this calls the base first in each override.
#include <cstdint>
#include <type_traits>

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

// The fetch address as A1, A2 and A3 send it on the bus, lowest nibble
// first: `address` with the nibble sampled at the end of P put in its place.
template <std::int32_t P>
constexpr int withAddressNibble(int address, int nibble) {
    static_assert(P == kA1 || P == kA2 || P == kA3);
    if constexpr (P == kA1) return nibble;
    return address | nibble << (4 * P);
}

// For a component whose clock work is written per cycle phase, as
// sampleAt<P>(bus) (phase 1 at the end of P) and driveAt<P>() (phase 2 on
// entering P): runs the one for `phase`, P = kNotSynchronised past X3, each
// compiled to what that phase does alone.
template <class Work>
inline void atPhase(std::int32_t phase, Work&& work) {
    using A1 = std::integral_constant<std::int32_t, kA1>;
    using A2 = std::integral_constant<std::int32_t, kA2>;
    using A3 = std::integral_constant<std::int32_t, kA3>;
    using M1 = std::integral_constant<std::int32_t, kM1>;
    using M2 = std::integral_constant<std::int32_t, kM2>;
    using X1 = std::integral_constant<std::int32_t, kX1>;
    using X2 = std::integral_constant<std::int32_t, kX2>;
    using X3 = std::integral_constant<std::int32_t, kX3>;
    using None = std::integral_constant<std::int32_t, kNotSynchronised>;
    switch (phase) {
        case kA1:
            return work(A1{});
        case kA2:
            return work(A2{});
        case kA3:
            return work(A3{});
        case kM1:
            return work(M1{});
        case kM2:
            return work(M2{});
        case kX1:
            return work(X1{});
        case kX2:
            return work(X2{});
        case kX3:
            return work(X3{});
        default:
            return work(None{});
    }
}
template <class Chip>
inline void sampleAtPhase(Chip& chip, std::int32_t phase, Net bus) {
    atPhase(phase, [&](auto p) { chip.template sampleAt<decltype(p)::value>(bus); });
}
template <class Chip>
inline void driveAtPhase(Chip& chip, std::int32_t phase) {
    atPhase(phase, [&](auto p) { chip.template driveAt<decltype(p)::value>(); });
}

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

    // Phase 1 of a chip that drives nothing in it: SYNC latched, then what
    // the chip samples at the end of its phase (sampleAt<P>).
    template <class Chip>
    int sampleBus(Chip& chip, Net bus) {
        latchSync();
        sampleAtPhase(chip, phase, bus);
        return 0;
    }

    // Components are never destroyed through a Component pointer.
    ~Component() = default;
};

}  // namespace tallivo
