#pragma once
// A board loaded with a small program for chip-level tests. The program is
// written as a code file in a temporary folder, so the ROMs load it the way
// they load the firmware.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "kernel/board.h"

namespace tallivo::testing {

// Periods from the end of the warm-up until n instruction cycles have executed:
// one period in which the CPU raises SYNC, then eight per cycle, and the period
// whose phase 1 executes the last one.
constexpr std::uint64_t periodsForCycles(std::uint64_t cycles) {
    return 2 + 8 * cycles;
}

// Index, counted from 0 after the warm-up, of the period whose phase 2 enters
// `phase` of instruction cycle `cycle`: what the CPU drives then is sampled in
// the next period, whose phase 1 still sees that phase.
constexpr std::uint64_t periodEntering(std::uint64_t cycle, int phase) {
    return 1 + 8 * cycle + static_cast<std::uint64_t>(phase);
}

// A folder of this process's own: ctest runs test processes side by side,
// and they must not write one another's files.
inline std::string temporaryPath(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tallivo_tests_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

inline std::string writeTextFile(const std::string& name, const std::string& text) {
    const std::string path = temporaryPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A code file with `bytes` placed from `origin` on.
inline std::string codeText(std::uint16_t origin, const std::vector<std::uint8_t>& bytes) {
    char line[16];
    std::snprintf(line, sizeof line, "@%03X\n", origin);
    std::string text = line;
    for (std::uint8_t b : bytes) {
        std::snprintf(line, sizeof line, "%02X\n", b);
        text += line;
    }
    return text;
}

using Block = std::pair<std::uint16_t, std::vector<std::uint8_t>>;
using Blocks = std::vector<Block>;

struct BoardExtras {
    // Registered before the CPU, in this order, where the panels and the
    // flowchart view sit on the calculator's board (after what
    // `connectFront` below registers).
    std::vector<Component*> front;
    // ROM chips 5 to 15 as well, without port lines, so that a program can
    // run in every page of the 12-bit address space. They are registered after
    // the monitor, so the board's run takes the general path.
    bool everyPage = false;
    // Connects and registers front components first, as the board's own
    // connectKeyboard, connectPrinter and connectRecorder do.
    std::function<void(Board&)> connectFront;
};

class TestBoard {
  public:
    TestBoard(const Blocks& blocks, BoardSettings settings, const BoardExtras& extras = {}) {
        std::string text;
        for (const auto& [origin, bytes] : blocks) text += codeText(origin, bytes);
        settings.codeFile = writeTextFile("program.code", text);
        // Tests that do not look at a trace write none into the working directory.
        if (settings.traceFile == BoardSettings{}.traceFile) settings.traceFile.clear();
        if (extras.connectFront) extras.connectFront(board);
        for (Component* c : extras.front) board.registerFront(c);
        board.connectChips(settings);
        if (extras.everyPage) {
            BoardNets& n = board.nets;
            for (std::size_t i = 0; i < upperRoms.size(); ++i) {
                upperRoms[i].connect(settings.codeFile, static_cast<int>(5 + i), 0, &n.DataBus,
                                     &n.Sync, &n.CmRom, &n.Reset, nullptr, nullptr, nullptr,
                                     nullptr);
                board.registry.registerComponent(&upperRoms[i]);
            }
        }
        board.warmUp();
    }
    TestBoard(std::initializer_list<Block> blocks) : TestBoard(Blocks(blocks), BoardSettings{}) {}
    TestBoard(const std::vector<std::uint8_t>& program)
        : TestBoard(Blocks{{0, program}}, BoardSettings{}) {}

    // Runs until `cycles` more instruction cycles have executed.
    void cycles(std::uint64_t count) {
        board.run(started_ ? 8 * count : periodsForCycles(count));
        started_ = true;
    }

    // `periods` clock periods through the board's run loop, or one by one
    // through the registry's stepClock: the general path, which the run loop
    // must match.
    void run(std::uint64_t periods, bool throughRegistry) {
        if (!throughRegistry) return board.run(periods);
        for (std::uint64_t p = 0; p < periods; ++p) board.stepClock();
    }

    Board board;
    std::array<Rom4001, 11> upperRoms;  // chips 5-15, connected only for BoardExtras::everyPage

  private:
    bool started_ = false;
};

}  // namespace tallivo::testing
