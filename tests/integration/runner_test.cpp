// tallivo-run as a script uses it: its options, its failures, and the final
// state of small programs read back through --dump-state.
#include <gtest/gtest.h>

#include "tests/support/json.h"
#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

Json dumpOf(const std::string& program, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {
        "--code",       std::string(TALLIVO_PROGRAMS_DIR) + "/" + program,
        "--periods",    "20000",
        "--dump-state", "-"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = runProgram("tallivo-run", args, "dump_" + program);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Paper lines come first, one per line; the state is the last line.
    const std::string out = r.out.substr(0, r.out.size() - 1);
    const std::string last =
        out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    Json json;
    EXPECT_TRUE(parseJson(last, json)) << r.out;
    return json;
}

TEST(RunnerPrograms, RamFillLeavesCharactersZeroToFifteen) {
    const Json s = dumpOf("ram_fill.code");
    std::vector<long long> expected(64, 0);
    for (int c = 0; c < 16; ++c) expected[static_cast<std::size_t>(c)] = c;
    EXPECT_EQ(s["ram"][0]["mainMemory"].numbers(), expected);
    EXPECT_EQ(s["ram"][1]["mainMemory"].numbers(), std::vector<long long>(64, 0));
    EXPECT_EQ(s["cpu"]["pc"].number, 0x007 + 2);
    EXPECT_EQ(s["cpu"]["indexRegisters"][1].number, 0);
}

TEST(RunnerPrograms, PortsDriveLampsPrinterLinesAndTheHammerChain) {
    const Json s = dumpOf("ports.code");
    EXPECT_EQ(s["ram"][1]["outputLines"].numbers(), (std::vector<long long>{1, 0, 1, 0}));
    EXPECT_EQ(s["ram"][0]["outputLines"].numbers(), (std::vector<long long>{0, 1, 0, 1}));
    EXPECT_EQ(s["nets"]["LampM"].number, 1);
    EXPECT_EQ(s["nets"]["LampNEG"].number, 1);
    EXPECT_EQ(s["nets"]["LampOVF"].number, 0);
    EXPECT_EQ(s["nets"]["HammerFire"].number, 1);
    EXPECT_EQ(s["nets"]["PaperAdvance"].number, 1);
    EXPECT_EQ(s["nets"]["RibbonRed"].number, 0);
    std::vector<long long> hammers(20, 0);
    hammers[0] = 1;
    EXPECT_EQ(s["hammerLines"].numbers(), hammers);
    EXPECT_EQ(s["romPortLines"][0].numbers(), (std::vector<long long>{0, 1, 0, 0}));
    EXPECT_EQ(s["keyColumns"].numbers(), std::vector<long long>(10, 0));
}

TEST(RunnerPrograms, BcdAddInASubroutine) {
    const Json s = dumpOf("bcd_add.code");
    EXPECT_EQ(s["cpu"]["indexRegisters"][4].number, 8);
    EXPECT_EQ(s["cpu"]["indexRegisters"][5].number, 5);
    EXPECT_EQ(s["cpu"]["accumulator"].number, 1);
    EXPECT_EQ(s["cpu"]["stackPointer"].number, 0);
    // Back in the JUN loop at 006; the run may stop in the middle of its fetch.
    EXPECT_GE(s["cpu"]["addressStack"][0].number, 0x006);
    EXPECT_LE(s["cpu"]["addressStack"][0].number, 0x008);
    // BBL leaves the subroutine's last PC, past the BBL, in the entry above.
    EXPECT_EQ(s["cpu"]["addressStack"][1].number, 0x01A);
    EXPECT_EQ(s["cpu"]["cmRamSelect"].number, 1);
}

TEST(RunnerPrograms, AResetAtTheEndOfTheRunClearsWhatTheProgramFilled) {
    const Json filled = dumpOf("fill_state.code");
    EXPECT_EQ(filled["cpu"]["cmRamSelect"].number, 12);
    EXPECT_EQ(filled["cpu"]["stackPointer"].number, 3);
    EXPECT_EQ(filled["cpu"]["carry"].number, 1);
    EXPECT_EQ(filled["ram"][1]["statusMemory"][3].number, 7);
    EXPECT_EQ(filled["ram"][0]["outputLines"].numbers(), (std::vector<long long>{1, 1, 0, 1}));
    EXPECT_EQ(filled["romPortLines"][0].numbers(), (std::vector<long long>{1, 1, 0, 0}));

    // Reset due after the last period: held for its 12 periods, then the dump.
    const Json s = dumpOf("fill_state.code", {"--reset-at", "20000"});
    const Json& cpu = s["cpu"];
    EXPECT_EQ(cpu["accumulator"].number, 0);
    EXPECT_EQ(cpu["carry"].number, 0);
    EXPECT_EQ(cpu["indexRegisters"].numbers(), std::vector<long long>(16, 0));
    EXPECT_EQ(cpu["addressStack"].numbers(), std::vector<long long>(4, 0));
    EXPECT_EQ(cpu["stackPointer"].number, 0);
    EXPECT_EQ(cpu["cmRamSelect"].number, 1);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(s["ram"][r]["mainMemory"].numbers(), std::vector<long long>(64, 0)) << r;
        EXPECT_EQ(s["ram"][r]["statusMemory"].numbers(), std::vector<long long>(16, 0)) << r;
        EXPECT_EQ(s["ram"][r]["outputLines"].numbers(), std::vector<long long>(4, 0)) << r;
    }
    // ROM 0's outputs and the inputs that the panels drive, DrumIndex and KeyRow.
    for (std::size_t r = 0; r < 3; ++r)
        EXPECT_EQ(s["romPortLines"][r].numbers(), std::vector<long long>(4, 0)) << r;
    // The shift registers have no reset: the keyboard column shifted in stays.
    EXPECT_EQ(s["keyColumns"][0].number, 1);
}

TEST(RunnerPrograms, AResetInTheMiddleOfTheRunStartsTheProgramAgain) {
    const auto r = runProgram("tallivo-run",
                              {"--code", std::string(TALLIVO_PROGRAMS_DIR) + "/fill_state.code",
                               "--periods", "20000", "--reset-at", "200", "--trace", "t.txt",
                               "--trace-limit", "60", "--dump-state", "state.json"},
                              "reset_mid_run");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string trace = r.file("t.txt");
    const auto second = trace.find("Reset\n", trace.find("Reset\n") + 1);
    ASSERT_NE(second, std::string::npos) << trace;
    EXPECT_NE(trace.find("0000 FIM 0, 4A", second), std::string::npos) << trace;
    Json s;
    ASSERT_TRUE(parseJson(r.file("state.json"), s));
    EXPECT_EQ(s["cpu"]["cmRamSelect"].number, 12);
    EXPECT_EQ(s["ram"][1]["mainMemory"][10].number, 7);
    // The WRR of the second run shifted a second 1 into the keyboard register.
    EXPECT_EQ(s["keyColumns"][1].number, 1);
}

TEST(RunnerOptions, BadInputGetsAMessageTheUsageAndExitCode2) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--frobnicate"},
                                                                  {"--periods", "12x"},
                                                                  {"--periods", "-5"},
                                                                  {"--periods"},
                                                                  {"--trace-start", "xyz"},
                                                                  {"--trace-limit", "99999999999"},
                                                                  {"--reset-at", "-1"},
                                                                  {"--reset-at"},
                                                                  {"stray"}}) {
        const auto r = runProgram("tallivo-run", args, "badopt");
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("usage: tallivo-run"), std::string::npos) << args[0];
        EXPECT_NE(r.err.find("tallivo-run: "), std::string::npos) << args[0];
    }
    const auto help = runProgram("tallivo-run", {"--help"}, "help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--dump-state"), std::string::npos);
    EXPECT_NE(help.out.find("--reset-at P"), std::string::npos);
}

TEST(RunnerOptions, AMissingCodeFileFailsWithTheRomMessage) {
    const auto r = runProgram("tallivo-run", {"--code", "/nonexistent/4001.code"}, "nocode");
    EXPECT_EQ(r.exitCode, 1);
    // Where the file was looked for, then the box's text, exactly.
    EXPECT_EQ(r.err,
              "looked for /nonexistent/4001.code in:\n  /nonexistent/4001.code (not there)\n"
              "ERROR: Unable to initialize ROM, does code file exist?\n");
}

TEST(RunnerOptions, StatsAndDumpToAFileAndTraceOptions) {
    const auto r = runProgram("tallivo-run",
                              {"--code", std::string(TALLIVO_PROGRAMS_DIR) + "/bcd_add.code",
                               "--periods=8000", "--stats", "--dump-state", "state.json", "--trace",
                               "t.txt", "--trace-limit", "3", "--trace-start", "0x10"},
                              "stats");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("periods=8000 seconds="), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" periods_per_second="), std::string::npos);
    EXPECT_NE(r.err.find(" realtime="), std::string::npos);
    Json s;
    EXPECT_TRUE(parseJson(r.file("state.json"), s));
    EXPECT_EQ(r.file("t.txt"),
              "4004 Monitor\n    0: 0010 CLC\n    1: 0011 LD  1\n    2: 0012 ADD 3\n");
}

}  // namespace
}  // namespace tallivo::testing
