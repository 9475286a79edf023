#include "panel/printer_drum.h"

#include <cstring>

namespace tallivo {

namespace {

// What each sector of the drum prints: a digit column character and the two
// symbol wheels, every symbol two characters wide.
constexpr char kDrumCharacters[PrinterDrum::kSectors + 1] = "0123456789..-";
constexpr const char* kLeftSymbols[PrinterDrum::kSectors] = {
    "<>", "+ ", "- ", "X ", "/ ", "M+", "M-", "^ ", "= ", "SQ", "% ", "C ", "R "};
constexpr const char* kRightSymbols[PrinterDrum::kSectors] = {
    "# ", "* ", "1 ", "2 ", "3 ", "M+", "M-", "T ", "K ", "E ", "Ex", "C ", "M "};

constexpr int kFirstDigitHammer = 2;
constexpr int kLastDigitHammer = 17;
constexpr int kLeftSymbolHammer = 0;
constexpr int kRightSymbolHammer = 1;
constexpr int kLeftSymbolColumn = 19;
constexpr int kRightSymbolColumn = 22;
// The red mark goes into the first space left of the last digit column.
constexpr int kRedMarkSearchStart = 16;

}  // namespace

void PrinterDrum::connect(Net* hammerLines, Net* paperAdvanceLine, Net* hammerFireLine,
                          Net* ribbonRedLine, Net* drumIndexLine, Net* testLine) {
    hammerNets = hammerLines;
    paperAdvanceNet = paperAdvanceLine;
    hammerFireNet = hammerFireLine;
    ribbonRedNet = ribbonRedLine;
    drumIndexNet = drumIndexLine;
    testNet = testLine;
    sectorClock = 0;
    sector = 0;
    sectorsTurned_ = 0;
    clearLine();
}

void PrinterDrum::clearLine() {
    std::memset(printLine, ' ', kLineLength);
    printLine[kLineLength] = '\0';
    redPending = 0;
}

void PrinterDrum::strike() {
    if (hammerNets == nullptr) return;
    // Columns no hammer strikes keep what they hold: a line collects its
    // characters over several sectors.
    for (int hammer = kFirstDigitHammer; hammer <= kLastDigitHammer; ++hammer) {
        if (hammerNets[hammer] != 0) printLine[hammer] = kDrumCharacters[sector];
    }
    if (hammerNets[kLeftSymbolHammer] != 0) {
        std::memcpy(printLine + kLeftSymbolColumn, kLeftSymbols[sector], 2);
    }
    if (hammerNets[kRightSymbolHammer] != 0) {
        std::memcpy(printLine + kRightSymbolColumn, kRightSymbols[sector], 2);
    }
    if (sound != nullptr) {
        // The firmware fires in every sector of a line; only the hammers
        // whose lines are high move, and hammers 18 and 19 have no type.
        int struck = 0;
        for (int hammer = 0; hammer <= kLastDigitHammer; ++hammer)
            struck += hammerNets[hammer] != 0;
        sound->hammersStruck(periodsRun(), struck);
    }
}

void PrinterDrum::feedPaper() {
    if (sound != nullptr) sound->paperFed(periodsRun());
    const bool red = redPending != 0;
    if (red) {
        for (int column = kRedMarkSearchStart; column >= 0; --column) {
            if (printLine[column] == ' ') {
                printLine[column] = '-';
                break;
            }
        }
    }
    // Handed on from a copy, so that whoever hears of the line finds the
    // printer already blank for the next one.
    char line[kLineLength];
    std::memcpy(line, printLine, kLineLength);
    clearLine();
    lineFed(std::string_view(line, kLineLength), red);
}

}  // namespace tallivo
