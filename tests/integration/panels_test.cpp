// The runner with the panels: held keys reach the firmware through the
// keyboard matrix, and the printer's paper is emitted line by line.
#include <gtest/gtest.h>

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
    const auto r = runProgram("tallivo-run",
                              {"--code", program("ports.code"), "--periods", "130000",
                               "--dump-state", "-"},
                              "paper");
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

TEST(RunnerPanels, AHeldKeyIsReadThroughItsColumnAndRow) {
    // "%" is row 1 of column 1: the scan stores 2.
    const auto held = runProgram("tallivo-run",
                                 {"--code", program("keys.code"), "--periods", "20000", "--keys",
                                  "%@0-20000", "--dump-state", "-"},
                                 "keys_held");
    ASSERT_EQ(held.exitCode, 0) << held.err;
    EXPECT_EQ(lastLineJson(held.out)["ram"][0]["mainMemory"][0].number, 2);

    // "CM" is row 0 of column 0, the other column of the scan.
    const auto typed = runProgram("tallivo-run",
                                  {"--code", program("keys.code"), "--type", "CM", "--hold",
                                   "5000", "--periods", "1000", "--dump-state", "-"},
                                  "keys_typed");
    ASSERT_EQ(typed.exitCode, 0) << typed.err;
    EXPECT_EQ(lastLineJson(typed.out)["ram"][0]["mainMemory"][0].number, 1);

    const auto none = runProgram("tallivo-run",
                                 {"--code", program("keys.code"), "--periods", "20000", "--keys",
                                  "%@30000-40000", "--dump-state", "-"},
                                 "keys_none");
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(lastLineJson(none.out)["ram"][0]["mainMemory"][0].number, 0);
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

TEST(RunnerPanels, BadKeySchedulesAreRefused) {
    for (const std::string& keys : {"NOPE@0-10", "7@10", "7@20-10", "@0-5"}) {
        const auto r = runProgram("tallivo-run",
                                  {"--code", program("keys.code"), "--keys", keys}, "badkeys");
        EXPECT_EQ(r.exitCode, 2) << keys;
        EXPECT_NE(r.err.find("usage: tallivo-run"), std::string::npos) << keys;
    }
    const auto r = runProgram("tallivo-run", {"--dp", "8"}, "baddp");
    EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace tallivo::testing
