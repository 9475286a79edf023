// Clock periods per second of the board, and how many times the 4004's
// 740 kHz that is: the chips and the monitor with the CPU kept busy by a tight
// loop that adds, reads and writes RAM and writes a port, alone, with the
// panels in front, period by period through stepClock and under the run
// control with a breakpoint; and the calculator's own firmware (4001.code
// beside this program) waiting for a key, as the calculator runs it with -f0
// and with the flowchart recorder and its pictures. After the usual table,
// a summary gives each case's periods a second and multiple of real time.
// bench/web_bench.js measures the web module on the same firmware.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/board.h"
#include "kernel/run_control.h"
#include "panel/key_matrix.h"
#include "panel/paper_roll.h"
#include "panel/printer_drum.h"
#include "tools/bitmap_file.h"
#include "tools/flowchart_recorder.h"

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

// The 4004's own clock: periods a second at 740 kHz.
constexpr double kRealRate = 740000.0;

// Periods per second (items_per_second); the summary turns them into the
// multiple of real time.
void countPeriods(benchmark::State& state, std::int64_t periodsPerIteration) {
    state.SetItemsProcessed(state.iterations() * periodsPerIteration);
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

void BM_RunLoopWithPanels(benchmark::State& state) {
    static tallivo::Board board;
    static tallivo::KeyMatrix keys;
    static tallivo::PaperRoll printer;
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

// The firmware and the pictures the build puts beside this program.
std::filesystem::path besideBench(const char* name) {
    return std::filesystem::canonical("/proc/self/exe").parent_path() / name;
}

struct FirmwareBoard {
    tallivo::Board board;
    tallivo::KeyMatrix keys;
    tallivo::PaperRoll printer;
    tallivo::FlowchartRecorder recorder;

    // False when the firmware or (with the recorder) its pictures are not
    // beside the benchmark.
    bool start(bool withRecorder) {
        board.connectKeyboard(keys);
        board.connectPrinter(printer);
        if (withRecorder) {
            board.connectRecorder(recorder, 512);
            tallivo::FileSource pictureFile(besideBench("Flowchart.bmp").string());
            tallivo::FileSource typesFile(besideBench("types.bmp").string());
            tallivo::ScaledBitmap picture, types;
            if (!pictureFile.isOpen() || !typesFile.isOpen() ||
                tallivo::loadScaledPicture(pictureFile, 1270, 480, picture) !=
                    tallivo::BitmapStatus::ok ||
                tallivo::loadTypeMap(typesFile, picture, types) != tallivo::BitmapStatus::ok)
                return false;
            recorder.setPicture(std::move(picture), true);
            recorder.setTypes(std::move(types));
        }
        tallivo::BoardSettings settings;
        settings.codeFile = besideBench("4001.code").string();
        settings.traceFile.clear();
        if (board.connectChips(settings) != 0) return false;
        board.warmUp();
        // Past the start-up: the firmware waits for a key, the drum turns.
        board.run(740000);
        return true;
    }
};

void runFirmware(benchmark::State& state, bool withRecorder) {
    static FirmwareBoard boards[2];
    static bool ready[2] = {boards[0].start(false), boards[1].start(true)};
    if (!ready[withRecorder ? 1 : 0]) {
        state.SkipWithError("4001.code, Flowchart.bmp or types.bmp is not beside the benchmark");
        return;
    }
    tallivo::Board& board = boards[withRecorder ? 1 : 0].board;
    const auto periods = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) board.run(periods);
    countPeriods(state, state.range(0));
}

void BM_FirmwareF0(benchmark::State& state) {
    runFirmware(state, false);
}
BENCHMARK(BM_FirmwareF0)->Arg(100000);

void BM_FirmwareFlowchart(benchmark::State& state) {
    runFirmware(state, true);
}
BENCHMARK(BM_FirmwareFlowchart)->Arg(100000);

// The cases as the README's speed table names them, in its order.
struct Case {
    const char* benchmark;
    const char* label;
};
constexpr Case kCases[] = {
    {"BM_FirmwareF0", "-f0: firmware waiting for a key"},
    {"BM_FirmwareFlowchart", "flowchart: the same with the recorder"},
    {"BM_RunLoopWithPanels", "panels: busy loop with the panels"},
    {"BM_RunLoopWithBreakpoint", "breakpoint: busy loop, breakpoint set"},
    {"BM_RunLoop", "chips alone: busy loop"},
    {"BM_StepClock", "stepClock: busy loop period by period"},
};

// The console's table as usual, then one line a case: periods a second and
// how many times the 4004's real clock that is.
class SummaryReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the aggregates follow the runs: the median then
        // stands for the case.
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (run.error_occurred || rate == run.counters.end()) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            rates_[run.run_name.function_name] = rate->second.value;
        }
    }

    void Finalize() override {
        std::ostream& out = GetOutputStream();
        char line[160];
        std::snprintf(line, sizeof line, "\n%-40s %14s %16s\n", "case", "periods/s",
                      "times real time");
        out << line;
        for (const Case& c : kCases) {
            const auto found = rates_.find(c.benchmark);
            if (found == rates_.end()) continue;
            std::snprintf(line, sizeof line, "%-40s %12.1f M %16.1f\n", c.label,
                          found->second / 1e6, found->second / kRealRate);
            out << line;
        }
        out << "web module: node bench/web_bench.js build/web/site "
               "[this program]\n";
        ConsoleReporter::Finalize();
    }

  private:
    std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    // The summary goes with the console's output only: JSON and CSV stay as
    // their readers expect them.
    bool console = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.rfind("--benchmark_format=", 0) == 0 && arg != "--benchmark_format=console")
            console = false;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (console) {
        SummaryReporter summary;
        benchmark::RunSpecifiedBenchmarks(&summary);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}
