#pragma once
// The execution monitor: a passive bus watcher that writes one trace line per
// instruction cycle to a text file. It assembles the fetch address from A1-A3,
// the instruction byte from M1/M2 and the X2/X3 nibbles, and when SYNC has
// started the next cycle (at A1) describes the cycle just ended.
//
// Pins as the board wires them: DataBus, Sync, Reset. It drives nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kernel/component.h"

namespace tallivo {

// The instruction as a trace line names it, without the cycle count, the
// address and the X2/X3 values, which only a run knows: "LDM 1", "JMS 2, A6",
// "FIN 0", "SRC 2", "WRM". `secondWord` is used by the two-word instructions.
// Writes at most `size` - 1 characters and a terminating zero.
void formatInstruction(std::uint8_t firstWord, std::uint8_t secondWord, char* text,
                       std::size_t size);

class Monitor final : public Component {
  public:
    Monitor() = default;
    virtual ~Monitor();

    // An empty name means no trace file. 1111 when the file can't be created.
    int connect(const std::string& traceFileName, int lineLimitValue, bool page3FilterValue,
                int startAddressValue, Net* dataBusNet, Net* syncNet, Net* resetNet);
    int clockPhase1() override;
    int clockPhase2() override;
    int shutdown() override { return 0; }

    // Phase 1 by cycle phase (see below).
    template <std::int32_t P>
    void sampleAt(Net bus);
    // Whether phase 2 writes anything: with no line left to write (0, the
    // default, records nothing) it only counts the phase.
    bool tracing() const { return lineLimit != 0; }

    // Writes what the trace file holds so far to disk.
    void flush();

    int addressLatch = 0;
    int instructionByte = 0;
    int firstOpr = 0;
    int firstOpa = 0;
    int x2Nibble = 0;
    int x3Nibble = 0;
    bool continuationPending = false;
    bool recording = false;
    int startAddress = 0;
    std::int32_t lineLimit = 0;
    bool page3Filter = false;
    int cycleCount = 0;
    std::uint8_t previousReset = 0;
    std::FILE* traceFile = nullptr;
    Net* dataBus = nullptr;
    Net* reset = nullptr;

  private:
    void record();
    void writeRecord();
};

// Phase 1 split by cycle phase, as for the chips: what the bus held at the
// end of P.
template <std::int32_t P>
inline void Monitor::sampleAt(Net value) {
    const int bus = value;
    if constexpr (P == kA1 || P == kA2 || P == kA3) {
        addressLatch = withAddressNibble<P>(addressLatch, bus);
    } else if constexpr (P == kM1) {
        instructionByte = bus << 4;
        if (!continuationPending) firstOpr = bus;
    } else if constexpr (P == kM2) {
        instructionByte |= bus;
        if (!continuationPending) firstOpa = bus;
    } else if constexpr (P == kX2) {
        x2Nibble = bus;
    } else if constexpr (P == kX3) {
        x3Nibble = bus;
    }
}

inline int Monitor::clockPhase1() {
    return sampleBus(*this, *dataBus);
}

inline int Monitor::clockPhase2() {
    advancePhase();
    // Recording off (the default) costs this one test.
    if (lineLimit == 0) return 0;
    record();
    return 0;
}

}  // namespace tallivo
