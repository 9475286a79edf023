// tallivo-run: the board without a display and without pacing. Runs a code
// file for a number of clock periods after the warm-up, optionally traced, and
// reports the final state for scripts and tests.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "kernel/board.h"
#include "kernel/board_state.h"
#include "kernel/data_files.h"
#include "kernel/platform.h"

namespace {

constexpr const char* kUsage =
    "usage: tallivo-run [options]\n"
    "  --code FILE          code file to load (default 4001.code)\n"
    "  --periods N          clock periods to run after the warm-up (default 740000)\n"
    "  --trace FILE         trace file (default 4004out.txt)\n"
    "  --trace-limit M      trace writes allowed, 0 = no tracing (default 0; as -m)\n"
    "  --trace-start HEX    address at which tracing starts (default 0; as -s)\n"
    "  --page3              trace only addresses 0x300-0x3FF (as -v)\n"
    "  --dump-state FILE    write the final state as JSON ('-' for standard output)\n"
    "  --stats              print the run's speed on standard error\n"
    "  --help               show this text\n";

struct Options {
    std::string codeFile = "4001.code";
    std::uint64_t periods = 740000;
    tallivo::BoardSettings board;
    std::optional<std::string> dumpState;
    bool stats = false;
};

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "tallivo-run: %s\n%s", message.c_str(), kUsage);
    std::exit(2);
}

// Whole-string numbers only: "12x", "" and out-of-range values are refused.
bool parseInteger(const std::string& text, int base, long long low, long long high,
                  long long& value) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        begin += 2;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, base);
    if (errno != 0 || end == begin || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    o.board.traceFile = "4004out.txt";
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) usageError("option " + name + " needs a value");
            return args[++i];
        };
        auto number = [&](int base, long long low, long long high) {
            const std::string text = value();
            long long v = 0;
            if (!parseInteger(text, base, low, high, v))
                usageError("bad number for " + name + ": '" + text + "'");
            return v;
        };
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (name == "--code") {
            o.codeFile = value();
        } else if (name == "--periods") {
            o.periods = static_cast<std::uint64_t>(number(10, 0, INT64_MAX));
        } else if (name == "--trace") {
            o.board.traceFile = value();
        } else if (name == "--trace-limit") {
            o.board.traceLimit = static_cast<int>(number(10, INT32_MIN, INT32_MAX));
        } else if (name == "--trace-start") {
            o.board.traceStart = static_cast<int>(number(16, INT32_MIN, INT32_MAX));
        } else if (name == "--page3" && !inlineValue) {
            o.board.page3Filter = true;
        } else if (name == "--dump-state") {
            o.dumpState = value();
        } else if (name == "--stats" && !inlineValue) {
            o.stats = true;
        } else {
            usageError("unknown option '" + args[i] + "'");
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    tallivo::setExecutablePath(argv[0]);
    Options options = parseOptions(argc, argv);
    options.board.codeFile = tallivo::findDataFile(options.codeFile);

    static tallivo::Board board;
    if (board.connectChips(options.board) != 0) return 1;
    board.warmUp();

    const auto start = std::chrono::steady_clock::now();
    board.run(options.periods);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    board.monitor.flush();

    if (options.stats) {
        const double rate = seconds > 0 ? static_cast<double>(options.periods) / seconds : 0.0;
        std::fprintf(stderr, "periods=%llu seconds=%.3f periods_per_second=%.0f realtime=%.2f\n",
                     static_cast<unsigned long long>(options.periods), seconds, rate,
                     rate / 740000.0);
    }
    if (options.dumpState) {
        const std::string json = tallivo::boardStateJson(board);
        if (*options.dumpState == "-") {
            std::fputs(json.c_str(), stdout);
        } else {
            std::ofstream out(*options.dumpState);
            out << json;
            if (!out) {
                std::fprintf(stderr, "tallivo-run: cannot write '%s'\n", options.dumpState->c_str());
                return 1;
            }
        }
    }
    return 0;
}
