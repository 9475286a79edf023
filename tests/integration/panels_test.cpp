// The runner with the panels: held keys reach the firmware through the
// keyboard matrix, and the printer's paper is emitted line by line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/json.h"
#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

std::string program(const std::string& name) {
    return std::string(TALLIVO_PROGRAMS_DIR) + "/" + name;
}

Json lastLineJson(const std::string& out) {
    const std::string body = out.substr(0, out.size() - 1);
    const auto nl = body.rfind('\n');
    Json json;
    EXPECT_TRUE(parseJson(nl == std::string::npos ? body : body.substr(nl + 1), json)) << out;
    return json;
}

TEST(RunnerPanels, APaperLineIsEmittedAtEverySectorWhileTheFeedIsHeld) {
    // ports.asm holds HammerFire and PaperAdvance high with hammer 0 loaded, so
    // every sector boundary strikes that sector's left symbol and feeds a line.
    const auto r = runProgram(
        "tallivo-run",
        {"--code", program("ports.code"), "--periods", "130000", "--dump-state", "-"}, "paper");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const char* symbols[13] = {"<>", "+ ", "- ", "X ", "/ ", "M+", "M-",
                               "^ ", "= ", "SQ", "% ", "C ", "R "};
    std::string expected;
    for (const char* s : symbols) expected += std::string(19, ' ') + s + "   \n";
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    const Json state = lastLineJson(r.out);
    ASSERT_EQ(state["paper"].items.size(), 13u);
    EXPECT_EQ(state["paper"][9].text, std::string(19, ' ') + "SQ   ");
    EXPECT_EQ(state["lamps"]["M"].number, 1);
    EXPECT_EQ(state["lamps"]["NEG"].number, 1);
    EXPECT_EQ(state["lamps"]["OVF"].number, 0);
}

// The board's state when a run of keys.code with the `extra` options stops,
// from its dump.
Json stateAfter(const std::vector<std::string>& extra, const std::string& folder) {
    std::vector<std::string> args = {"--code", program("keys.code"), "--dump-state", "-"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = runProgram("tallivo-run", args, folder);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return lastLineJson(r.out);
}

// What keys.code stored of the rows it read: RAM 0's first character.
double rowsStored(const Json& state) {
    return state["ram"][0]["mainMemory"][0].number;
}

// The keys held when the run stops.
std::vector<std::string> keysDownAfter(const std::vector<std::string>& extra,
                                       const std::string& folder) {
    // The state is kept: a range over a part of the returned temporary would
    // outlive it.
    const Json state = stateAfter(extra, folder);
    std::vector<std::string> keys;
    for (const Json& item : state["keysDown"].items) keys.push_back(item.text);
    return keys;
}

TEST(RunnerPanels, AHeldKeyIsReadThroughItsColumnAndRow) {
    // "%" is row 1 of column 1: the scan stores 2.
    EXPECT_EQ(rowsStored(stateAfter({"--periods", "20000", "--keys", "%@0-20000"}, "keys_held")),
              2);
    // "CM" is row 0 of column 0, the other column of the scan.
    EXPECT_EQ(rowsStored(stateAfter({"--type", "CM", "--hold", "5000", "--periods", "1000"},
                                    "keys_typed")),
              1);
    EXPECT_EQ(
        rowsStored(stateAfter({"--periods", "20000", "--keys", "%@30000-40000"}, "keys_none")), 0);
}

TEST(RunnerPanels, APacedRunEndsAfterItsPeriods) {
    const auto r = runProgram("tallivo-run",
                              {"--code", program("keys.code"), "--paced", "--periods", "20000",
                               "--keys", "%@0-20000", "--stats", "--dump-state", "-"},
                              "paced");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The pacing runs whole bursts of 100 periods.
    EXPECT_EQ(r.err.rfind("periods=20000 ", 0), 0u) << r.err;
    EXPECT_EQ(lastLineJson(r.out)["ram"][0]["mainMemory"][0].number, 2);
}

TEST(RunnerKeySchedule, TwoHoldsOfOneKeyBackToBackKeepItDown) {
    // The first hold ends where the second begins: the second is not lost.
    EXPECT_EQ(keysDownAfter({"--keys", "1@0-100,1@100-200", "--periods", "150"}, "back_to_back"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(
        keysDownAfter({"--keys", "1@100-200,1@0-100", "--periods", "150"}, "back_to_back_swapped"),
        std::vector<std::string>{"1"});
    EXPECT_EQ(keysDownAfter({"--keys", "1@0-100", "--periods", "150"}, "single"),
              std::vector<std::string>{});
}

TEST(RunnerKeySchedule, TheEndOfAHoldIsExclusive) {
    // Held for periods 0 to 99: over once period 100 is reached.
    EXPECT_EQ(keysDownAfter({"--keys", "%@0-100", "--periods", "99"}, "end_99"),
              std::vector<std::string>{"%"});
    EXPECT_EQ(keysDownAfter({"--keys", "%@0-100", "--periods", "100"}, "end_100"),
              std::vector<std::string>{});
    EXPECT_EQ(keysDownAfter({"--keys", "%@0-100", "--paced", "--periods", "100"}, "end_paced"),
              std::vector<std::string>{});
}

TEST(RunnerKeySchedule, ATypedRunEndsItsPeriodsAfterTheLastRelease) {
    // Two keys of 1000 periods with a gap of 500 between them: the last key
    // is released at 2500; no gap follows it, then the 300 periods run.
    const auto r = runProgram("tallivo-run",
                              {"--code", program("keys.code"), "--type", "1 2", "--hold", "1000",
                               "--gap", "500", "--periods", "300", "--stats"},
                              "typed_length");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.rfind("periods=2800 ", 0), 0u) << r.err;
}

TEST(RunnerPanels, BadKeySchedulesAreRefused) {
    for (const std::string& keys : {"NOPE@0-10", "7@10", "7@20-10", "@0-5"}) {
        const auto r =
            runProgram("tallivo-run", {"--code", program("keys.code"), "--keys", keys}, "badkeys");
        EXPECT_EQ(r.exitCode, 2) << keys;
        EXPECT_NE(r.err.find("usage: tallivo-run"), std::string::npos) << keys;
    }
    const auto r = runProgram("tallivo-run", {"--dp", "8"}, "baddp");
    EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace tallivo::testing
