// The trace of the small program that opens with FIM, SRC, WRR and a FIN,
// through the runner, compared byte for byte. worked_example.trace is the
// whole file with 20 writes allowed: the lines below, then NOPs from the empty
// rest of page 0 up to the limit.
#include <gtest/gtest.h>

#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

constexpr const char* kTraceStart =
    "4004 Monitor\n"
    "Reset\n"
    "    0: 0000 NOP\n"
    "    1: 0000 FIM 0, 3C\n"
    "    3: 0002 SRC 1 (3:C)\n"
    "    4: 0003 LDM 5\n"
    "    5: 0004 WRR (5)\n"
    "    6: 0005 LD  3\n"
    "    7: 0006 JUN 0, 10\n"
    "    9: 0010 FIN 2, 3C => 7F\n"
    "   11: 0011 CLB\n";

TEST(WorkedExample, TraceWithTwentyWritesMatchesTheGoldenFile) {
    const auto r = runProgram("tallivo-run",
                              {"--code", testData("golden/worked_example.code"), "--trace-limit",
                               "20", "--periods", "2000"},
                              "worked20");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string trace = r.file("4004out.txt");
    EXPECT_EQ(trace.substr(0, std::string(kTraceStart).size()), kTraceStart);
    EXPECT_EQ(trace, readText(testData("golden/worked_example.trace")));
    EXPECT_EQ(r.err, "NOTE: Recording Limit Reached\n");
}

TEST(WorkedExample, TwoWritesLeaveTheFimLineOpen) {
    const auto r = runProgram(
        "tallivo-run", {"--code", testData("golden/worked_example.code"), "--trace-limit", "2"},
        "worked2");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.file("4004out.txt"), "4004 Monitor\nReset\n    0: 0000 NOP\n    1: 0000 FIM 0");
    EXPECT_EQ(r.err, "NOTE: Recording Limit Reached\n");
}

TEST(WorkedExample, WithoutALimitOnlyTheHeaderIsWrittenAtEveryRun) {
    const auto r = runProgram("tallivo-run",
                              {"--code", testData("golden/worked_example.code"), "--trace-start",
                               "123", "--page3", "--periods", "100"},
                              "worked0");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.file("4004out.txt"), "4004 Monitor\n");
}

}  // namespace
}  // namespace tallivo::testing
