// tallivo-run --type against the shipped firmware: a tape prints the same
// paper and lights the same lamps however fast it is typed, no key is lost or
// doubled, and what the keys' queue cannot take is reported, never dropped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/json.h"
#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

struct Typed {
    int exitCode = 0;
    std::string paper;
    std::string err;
    Json state;
};

Typed typeTape(const std::string& tape, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--type", tape, "--dump-state", "state.json"};
    args.insert(args.end(), extra.begin(), extra.end());
    static int runs = 0;
    const auto r = runProgram("tallivo-run", args, "typing" + std::to_string(++runs));
    Typed t{r.exitCode, r.out, r.err, {}};
    EXPECT_TRUE(parseJson(r.file("state.json"), t.state)) << r.err;
    return t;
}

std::vector<std::string> lines(const std::string& paper) {
    std::vector<std::string> result;
    std::string line;
    for (const char c : paper) {
        if (c != '\n') {
            line += c;
            continue;
        }
        // Trimmed of the blanks around the number and the symbols.
        const auto first = line.find_first_not_of(' ');
        const auto last = line.find_last_not_of(' ');
        result.push_back(first == std::string::npos ? "" : line.substr(first, last - first + 1));
        line.clear();
    }
    return result;
}

// Every key the firmware has, the digits, the point and "00" among them,
// sums, a product, a quotient, "%", the memory, the sign, "Ex", the clears;
// it ends with the memory held and a negative total, so that M and NEG light.
const std::string kEveryKey =
    "1 2 . 5 + 3 4 + 5 6 7 - <> 8 9 0 0 0 + 00 . 2 5 - = 1 2 X 3 = 4 5 / 9 = 2 0 0 X 1 5 % "
    "7 M+ 3 M- RM + CM 6 S + 9 X 2 Ex = 4 CE 5 + C 1 0 0 + 5 M+ 9 9 9 -";

TEST(RunnerTyping, ATapeOfEveryKeyPrintsTheSamePaperAtAnySpeed) {
    const Typed fast = typeTape(kEveryKey);
    ASSERT_EQ(fast.exitCode, 0) << fast.err;
    EXPECT_GE(lines(fast.paper).size(), 28u) << fast.paper;
    EXPECT_EQ(fast.state["lamps"]["M"].number, 1);
    EXPECT_EQ(fast.state["lamps"]["NEG"].number, 1);
    EXPECT_EQ(fast.state["stoppedBy"].kind, Json::kNull);
    for (const std::vector<std::string>& speed :
         {std::vector<std::string>{"--hold", "1", "--gap", "1"},
          {"--hold", "40000", "--gap", "200000"}}) {
        const Typed t = typeTape(kEveryKey, speed);
        ASSERT_EQ(t.exitCode, 0) << t.err;
        EXPECT_EQ(t.paper, fast.paper) << speed[1] << "/" << speed[3];
        for (const char* lamp : {"M", "NEG", "OVF"})
            EXPECT_EQ(t.state["lamps"][lamp].number, fast.state["lamps"][lamp].number) << lamp;
    }
}

TEST(RunnerTyping, QuickTypingWhileLinesPrintLosesNoKey) {
    // 27 ms presses 27 ms apart fill the firmware's buffer while lines print;
    // the keys wait on the keyboard instead of being dropped.
    const std::string tape = "1 2 . 5 + 7 X 3 = 2 / 3 = S 1 6 + =";
    const Typed quick = typeTape(tape, {"--hold", "20000", "--gap", "20000"});
    ASSERT_EQ(quick.exitCode, 0) << quick.err;
    const std::vector<std::string> paper = lines(quick.paper);
    ASSERT_EQ(paper.size(), 9u) << quick.paper;
    EXPECT_EQ(paper[7], "-16 +");
    EXPECT_EQ(paper[8], "-3.5 =  *");
    EXPECT_EQ(typeTape(tape).paper, quick.paper);
    // The same tape as the PC keys type it: "*" is "X", "s" is "S".
    EXPECT_EQ(typeTape("12.5+7*3=2/3=s16+=").paper, quick.paper);
}

TEST(RunnerTyping, AHeldKeyCountsOnceAndAKeyTypedTwiceCountsTwice) {
    // Held for four drum revolutions: one 7.
    EXPECT_EQ(lines(typeTape("7 +", {"--hold", "520000", "--gap", "1"}).paper),
              std::vector<std::string>{"7 +"});
    EXPECT_EQ(lines(typeTape("7 7 + 5 00 00 +").paper),
              (std::vector<std::string>{"77 +", "50000 +"}));
    EXPECT_EQ(lines(typeTape("7 7 + 5 00 +", {"--hold", "1", "--gap", "1"}).paper),
              (std::vector<std::string>{"77 +", "500 +"}));
    EXPECT_EQ(lines(typeTape("+ + + =", {"--hold", "1", "--gap", "0"}).paper),
              (std::vector<std::string>{"0 +", "0 +", "0 +", "0 =  *"}));
}

TEST(RunnerTyping, ARunEndsWhenTheCalculatorWaitsForAKeyAgain) {
    // The default ends the run once the last line is printed and the key
    // scan runs on its own: far sooner than a fixed schedule's end.
    const auto r =
        runProgram("tallivo-run", {"--type", "9 9 9 X 9 9 9 = <>", "--stats"}, "typing_end");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 4u) << r.out;
    const auto periods = std::stoull(r.err.substr(r.err.find("periods=") + 8));
    EXPECT_LT(periods, 1500000u) << r.err;
    EXPECT_NE(r.err.find("longest_key_wait="), std::string::npos) << r.err;

    // --periods counts from the moment the calculator took the last key.
    const auto p =
        runProgram("tallivo-run", {"--type", "1 +", "--periods", "1", "--stats"}, "typing_periods");
    ASSERT_EQ(p.exitCode, 0) << p.err;
    EXPECT_EQ(p.out, "") << "not yet printed";
    EXPECT_LT(std::stoull(p.err.substr(8)), 20000u) << p.err;
}

TEST(RunnerTyping, WhatCannotBeTypedIsReported) {
    // More keys than the queue holds: refused whole, before the run.
    std::string tooMany;
    for (int i = 0; i < 257; ++i) tooMany += "7 ";
    Typed t = typeTape(tooMany);
    EXPECT_EQ(t.exitCode, 1);
    EXPECT_NE(t.err.find("typed key 257 ('7') refused: 256 presses were already waiting"),
              std::string::npos)
        << t.err;
    EXPECT_EQ(t.paper, "");

    // A character with no key names itself, and nothing runs.
    auto r = runProgram("tallivo-run", {"--type", "1+2+W"}, "typing_unknown");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no key for 'W' in '1+2+W'"), std::string::npos) << r.err;

    // A program that never scans the keyboard: the wait is cut, and said.
    r = runProgram(
        "tallivo-run",
        {"--code", std::string(TALLIVO_PROGRAMS_DIR) + "/bcd_add.code", "--type", "1 +", "--stats"},
        "typing_cap");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(
        r.err.find("the calculator took no key for 4000000 periods; 2 typed keys were not taken"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("periods=4000000 "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tallivo::testing
