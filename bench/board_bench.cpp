// Clock periods per second of the board with the chips and the monitor, the
// CPU kept busy by a tight loop that adds, reads and writes RAM and writes a
// port. The goal is 25 times the 4004's 740 kHz on one core.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "kernel/board.h"
#include "kernel/run_control.h"
#include "panel/key_matrix.h"
#include "panel/printer_drum.h"

namespace {

// FIM P0,00; SRC P0; loop: RDM; IAC; WRM; WMP; WRR; ADD R2; INC R3; ISZ R4,loop; JUN loop
constexpr const char* kBusyProgram =
    "@000\n20\n00\n21\n"
    "E9\nF2\nE0\nE1\nE2\n82\n63\n74\n03\n40\n03\n";

std::string writeProgram() {
    const auto path = std::filesystem::temp_directory_path() / "tallivo_bench.code";
    std::ofstream(path) << kBusyProgram;
    return path.string();
}

void prepare(tallivo::Board& board) {
    tallivo::BoardSettings settings;
    settings.codeFile = writeProgram();
    settings.traceFile.clear();
    board.connectChips(settings);
    board.warmUp();
}

// Periods per second, and how many times the 4004's 740 kHz that is.
void countPeriods(benchmark::State& state, std::int64_t periodsPerIteration) {
    state.SetItemsProcessed(state.iterations() * periodsPerIteration);
    state.counters["realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations() * periodsPerIteration) / 740000.0, benchmark::Counter::kIsRate);
}

void BM_RunLoop(benchmark::State& state) {
    static tallivo::Board board;
    static bool ready = (prepare(board), true);
    (void)ready;
    const auto periods = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) board.run(periods);
    countPeriods(state, state.range(0));
}
BENCHMARK(BM_RunLoop)->Arg(100000);

void BM_StepClock(benchmark::State& state) {
    static tallivo::Board board;
    static bool ready = (prepare(board), true);
    (void)ready;
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i) board.stepClock();
    }
    countPeriods(state, 100000);
}
BENCHMARK(BM_StepClock);

// The same loop under the inspector's run control with a breakpoint that is
// never fetched: the CPU is looked at once per instruction cycle.
void BM_RunLoopWithBreakpoint(benchmark::State& state) {
    static tallivo::Board board;
    static bool ready = (prepare(board), true);
    (void)ready;
    tallivo::RunControl control;
    control.setBreakpoint(0xFFF, true);
    const auto periods = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(control.run(board, periods));
    countPeriods(state, state.range(0));
}
BENCHMARK(BM_RunLoopWithBreakpoint)->Arg(100000);

// The board as the calculator runs it: the keyboard's matrix and the
// printer's drum in front of the chips, as the web page has them.
class DiscardedPaper final : public tallivo::PrinterDrum {
protected:
    void lineFed(std::string_view, bool) override {}
};

void BM_RunLoopWithPanels(benchmark::State& state) {
    static tallivo::Board board;
    static tallivo::KeyMatrix keys;
    static DiscardedPaper printer;
    static bool ready = [] {
        board.connectKeyboard(keys);
        board.connectPrinter(printer);
        prepare(board);
        return true;
    }();
    (void)ready;
    const auto periods = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) board.run(periods);
    countPeriods(state, state.range(0));
}
BENCHMARK(BM_RunLoopWithPanels)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
