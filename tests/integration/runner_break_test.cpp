// tallivo-run's --break and --step: the run stops at an instruction and the
// dump is the state there.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/firmware_symbols.h"
#include "tests/support/json.h"
#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

Json lastLineJson(const ProcessResult& r) {
    const std::string out = r.out.substr(0, r.out.size() - 1);
    Json json;
    EXPECT_TRUE(
        parseJson(out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1), json))
        << r.out;
    return json;
}

TEST(RunnerBreak, TheAddRoutineStopsWithTheEntryAndTheTotalInRam) {
    // The firmware's add routine (adds) is first reached by the first "+":
    // the entry 1 is in RAM 0 register 2, character 0. The breakpoint is
    // given in lower case.
    const int adds = firmwareSymbol("adds");
    char hex[8];
    std::snprintf(hex, sizeof hex, "%03x", adds);
    const auto r =
        runProgram("tallivo-run",
                   {"--type", "1 + 2 +", "--break", hex, "--break", "0xFFF", "--dump-state", "-"},
                   "break_adds");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json s = lastLineJson(r);
    EXPECT_EQ(s["cpu"]["pc"].number, adds);
    EXPECT_EQ(s["stoppedBy"].text, "breakpoint");
    EXPECT_EQ(s["ram"][0]["mainMemory"][32].number, 1);
    char expected[64];
    std::snprintf(expected, sizeof expected, "stopped by breakpoint at %03X after ", adds);
    EXPECT_NE(r.err.find(expected), std::string::npos) << r.err;
    // Stopped before the second "+" was typed: the typed run is far longer.
    EXPECT_LT(s["periodsRun"].number, 600000);
}

TEST(RunnerBreak, StepsAndBreakpointsThatAreNotReached) {
    const auto steps = runProgram("tallivo-run", {"--step", "10", "--dump-state", "-"}, "step10");
    ASSERT_EQ(steps.exitCode, 0) << steps.err;
    const Json s = lastLineJson(steps);
    EXPECT_EQ(s["stoppedBy"].text, "step");
    // JUN to END's lamps, then FIM, SRC, RD0, JCN, XCH, FIM, SRC, RD3: the
    // tenth is the CLC at 0x10C, so the program counter is past it.
    EXPECT_EQ(s["cpu"]["pc"].number, 0x10D);

    // A breakpoint never fetched lets the run go to its end.
    const auto none = runProgram(
        "tallivo-run", {"--periods", "5000", "--break", "FFF", "--dump-state", "-"}, "nobreak");
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(lastLineJson(none)["periodsRun"].number, 5000);
    EXPECT_EQ(none.err.find("stopped"), std::string::npos);
}

TEST(RunnerBreak, BadValuesAreRefusedWithTheUsage) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--break", "1000"},
                                               {"--break", "xyz"},
                                               {"--break", "-1"},
                                               {"--step", "0"},
                                               {"--step", "ten"},
                                               {"--break"}}) {
        const auto r = runProgram("tallivo-run", args, "bad_break");
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("usage: tallivo-run"), std::string::npos) << args[0];
    }
}

}  // namespace
}  // namespace tallivo::testing
