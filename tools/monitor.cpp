#include "tools/monitor.h"

#include <string_view>

#include "chips/instruction_set.h"
#include "kernel/platform.h"

namespace tallivo {

namespace {

// The trace names the words that the CPU runs as NOP without naming them:
// 0x01-0x0F as NOP, 0xFE and 0xFF as "???". It writes every name in three
// columns ("LD ").
std::string_view traceName(int opr, int opa) {
    if (const isa::Instruction* in = isa::decode(static_cast<std::uint8_t>(opr << 4 | opa)))
        return in->name;
    return opr == isa::kNop ? isa::decode(isa::firstWord(isa::kNop))->name : "???";
}

}  // namespace

void formatInstruction(std::uint8_t firstWord, std::uint8_t secondWord, char* text,
                       std::size_t size) {
    if (size == 0) return;
    const std::string_view name = traceName(firstWord >> 4, firstWord & 15);
    const int nameLength = static_cast<int>(name.size());
    const isa::Instruction* in = isa::decode(firstWord);
    // Spaced as the trace spaces them, "LD  5" included.
    if (in && in->words == 2) {
        std::snprintf(text, size, "%-3.*s %X, %02X", nameLength, name.data(), firstWord & 15,
                      secondWord);
    } else if (!in || in->operand == isa::OperandKind::None) {
        std::snprintf(text, size, "%-3.*s", nameLength, name.data());
    } else {
        std::snprintf(text, size, "%-3.*s %X", nameLength, name.data(), firstWord & 15);
    }
}

Monitor::~Monitor() {
    if (traceFile) std::fclose(traceFile);
}

int Monitor::connect(const std::string& traceFileName, int lineLimitValue, bool page3FilterValue,
                     int startAddressValue, Net* dataBusNet, Net* syncNet, Net* resetNet) {
    lineLimit = lineLimitValue;
    page3Filter = page3FilterValue;
    startAddress = startAddressValue;
    dataBus = dataBusNet;
    syncIn = syncNet;
    reset = resetNet;
    cycleCount = 0;
    continuationPending = false;
    previousReset = 0;
    recording = startAddress == 0;
    if (traceFile) {
        std::fclose(traceFile);
        traceFile = nullptr;
    }
    if (traceFileName.empty()) return 0;
    traceFile = std::fopen(traceFileName.c_str(), "w");
    if (!traceFile) return 1111;
    std::fputs("4004 Monitor\n", traceFile);
    return 0;
}

void Monitor::flush() {
    if (traceFile) std::fflush(traceFile);
}

void Monitor::record() {
    // With no trace file there is nowhere to write: record nothing at all.
    if (!traceFile) return;
    // The start test is made in every period, against the address as far as
    // it has been assembled.
    if (addressLatch == startAddress) {
        recording = true;
    } else if (!recording) {
        return;
    }
    const bool resetHigh = *reset != 0;
    if (resetHigh && previousReset == 0) std::fputs("Reset\n", traceFile);
    previousReset = resetHigh ? 1 : 0;
    if (phase != kA1 || resetHigh) return;
    if (page3Filter && (addressLatch & 0x700) != 0x300) {
        ++cycleCount;
        return;
    }
    writeRecord();
    if (--lineLimit == 0) {
        std::fflush(traceFile);
        platform().showMessage("NOTE: Recording Limit Reached");
    }
    ++cycleCount;
}

void Monitor::writeRecord() {
    if (continuationPending) {
        continuationPending = false;
        if (firstOpr == isa::kFinJin) {  // FIN: where its byte came from, and the byte
            std::fprintf(traceFile, ", %02X => %02X\n", addressLatch, instructionByte);
        } else {
            std::fprintf(traceFile, ", %02X\n", instructionByte);
        }
        return;
    }
    const std::string_view name = traceName(firstOpr, firstOpa);
    std::fprintf(traceFile, "%5d: %04X %-3.*s", cycleCount, addressLatch,
                 static_cast<int>(name.size()), name.data());
    // A two-cycle instruction's line is finished by its second cycle.
    if (isa::cyclesOf(static_cast<std::uint8_t>(firstOpr << 4 | firstOpa)) == 2) {
        std::fprintf(traceFile, " %X", firstOpa);
        continuationPending = true;
        return;
    }
    switch (firstOpr) {
        case isa::kNop:
        case isa::kAccumulatorGroup:
            std::fputs("\n", traceFile);
            break;
        case isa::kFimSrc:  // SRC shows the pair as it went out in X2 and X3
            std::fprintf(traceFile, " %X (%X:%X)\n", firstOpa, x2Nibble, x3Nibble);
            break;
        case isa::kIoGroup:  // the value moved in X2
            std::fprintf(traceFile, " (%X)\n", x2Nibble);
            break;
        default:
            std::fprintf(traceFile, " %X\n", firstOpa);
            break;
    }
}

}  // namespace tallivo
