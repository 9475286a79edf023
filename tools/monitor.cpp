#include "tools/monitor.h"

#include "kernel/platform.h"

namespace tallivo {

namespace {

// Three characters each; "LD " ends in a blank.
constexpr const char* kMainMnemonics[14] = {"NOP", "JCN", "FIM", "FIN", "JUN", "JMS", "INC",
                                            "ISZ", "ADD", "SUB", "LD ", "XCH", "BBL", "LDM"};
constexpr const char* kIoMnemonics[16] = {"WRM", "WMP", "WRR", "WPM", "WR0", "WR1", "WR2", "WR3",
                                          "SBM", "RDM", "RDR", "ADM", "RD0", "RD1", "RD2", "RD3"};
constexpr const char* kAccumulatorMnemonics[16] = {"CLB", "CLC", "IAC", "CMC", "CMA", "RAL",
                                                   "RAR", "TCC", "DAC", "TCS", "STC", "DAA",
                                                   "KBP", "DCL", "???", "???"};

}  // namespace

const char* instructionMnemonic(int opr, int opa) {
    if (opr == 14) return kIoMnemonics[opa & 15];
    if (opr == 15) return kAccumulatorMnemonics[opa & 15];
    if (opr == 2 && (opa & 1)) return "SRC";
    if (opr == 3 && (opa & 1)) return "JIN";
    return kMainMnemonics[opr & 15];
}

bool takesSecondWord(std::uint8_t firstWord) {
    const int opr = firstWord >> 4;
    const int opa = firstWord & 15;
    return opr == 1 || opr == 4 || opr == 5 || opr == 7 || (opr == 2 && (opa & 1) == 0);
}

void formatInstruction(std::uint8_t firstWord, std::uint8_t secondWord, char* text,
                       std::size_t size) {
    if (size == 0) return;
    const int opr = firstWord >> 4;
    const int opa = firstWord & 15;
    const char* name = instructionMnemonic(opr, opa);
    // Spaced as the trace spaces them, "LD  5" included.
    if (takesSecondWord(firstWord)) {
        std::snprintf(text, size, "%s %X, %02X", name, opa, secondWord);
    } else if (opr == 0 || opr >= 14) {
        std::snprintf(text, size, "%s", name);
    } else {
        std::snprintf(text, size, "%s %X", name, opa);
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
        if (firstOpr == 3) {
            std::fprintf(traceFile, ", %02X => %02X\n", addressLatch, instructionByte);
        } else {
            std::fprintf(traceFile, ", %02X\n", instructionByte);
        }
        return;
    }
    const char* name = instructionMnemonic(firstOpr, firstOpa);
    switch (firstOpr) {
        case 0:
            std::fprintf(traceFile, "%5d: %04X %s\n", cycleCount, addressLatch, name);
            break;
        case 1:
        case 4:
        case 5:
        case 7:
            std::fprintf(traceFile, "%5d: %04X %s %X", cycleCount, addressLatch, name, firstOpa);
            continuationPending = true;
            break;
        case 2:
        case 3:
            if ((firstOpa & 1) == 0) {  // FIM, FIN: the second cycle completes the line
                std::fprintf(traceFile, "%5d: %04X %s %X", cycleCount, addressLatch, name,
                             firstOpa);
                continuationPending = true;
            } else if (firstOpr == 2) {  // SRC shows the pair as it went out in X2 and X3
                std::fprintf(traceFile, "%5d: %04X %s %X (%X:%X)\n", cycleCount, addressLatch, name,
                             firstOpa, x2Nibble, x3Nibble);
            } else {
                std::fprintf(traceFile, "%5d: %04X %s %X\n", cycleCount, addressLatch, name,
                             firstOpa);
            }
            break;
        case 14:
            std::fprintf(traceFile, "%5d: %04X %s (%X)\n", cycleCount, addressLatch, name,
                         x2Nibble);
            break;
        case 15:
            std::fprintf(traceFile, "%5d: %04X %s\n", cycleCount, addressLatch, name);
            break;
        default:
            std::fprintf(traceFile, "%5d: %04X %s %X\n", cycleCount, addressLatch, name, firstOpa);
            break;
    }
}

}  // namespace tallivo
