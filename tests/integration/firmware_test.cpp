// The calculator's own firmware, the default 4001.code: its code file, and
// the adding machine driven key by key through tallivo-run, reading the paper
// line by line and the lamps from the final state.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/json.h"
#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

const std::string kShipped = std::string(TALLIVO_BIN_DIR) + "/4001.code";
const std::string kSource = std::string(TALLIVO_SOURCE_DIR) + "/firmware/tallivo.asm";

// A paper line as the printer strikes it: the number right-aligned to column
// 17 (a negative one with the red mark, written here as its "-"), then the
// left and the right symbol.
std::string line(const std::string& number, const std::string& left = "  ",
                 const std::string& right = "  ") {
    return std::string(18 - number.size(), ' ') + number + " " + left + " " + right;
}

struct Tape {
    std::vector<std::string> lines;
    Json state;
    std::string err;
};

// Types `keys` on the calculator started with no --code: it finds the
// shipped firmware beside the runner, as a user's run does.
Tape type(const std::string& keys, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--type", keys, "--dump-state", "state.json"};
    args.insert(args.end(), extra.begin(), extra.end());
    static int runs = 0;
    const auto r = runProgram("tallivo-run", args, "tape" + std::to_string(++runs));
    Tape tape;
    tape.err = r.err;
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream out(r.out);
    for (std::string l; std::getline(out, l);) tape.lines.push_back(l);
    EXPECT_TRUE(parseJson(r.file("state.json"), tape.state)) << "no state for " << keys;
    return tape;
}

using Lines = std::vector<std::string>;

TEST(Firmware, TheShippedCodeFileIsTheAssembledSourceAndFitsTheRoms) {
    const auto r = runProgram(
        "tallivo-asm", {kSource, "-o", "fresh.code", "--listing", "fresh.lst"}, "firmware_asm");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "") << "the firmware assembles without warnings";
    EXPECT_EQ(r.file("fresh.code"), readText(kShipped));
    // Every address line of the code file names a page of the five ROMs.
    std::istringstream code(r.file("fresh.code"));
    int lines = 0;
    for (std::string l; std::getline(code, l);) {
        if (l.empty() || l[0] != '@') continue;
        ++lines;
        EXPECT_LT(std::stoi(l.substr(1), nullptr, 16), 0x500) << l;
    }
    EXPECT_GT(lines, 0);
}

TEST(Firmware, AddsAndSubtractsWholeAndDecimalNumbers) {
    EXPECT_EQ(type("1 2 . 5 + 7 . 2 5 + =").lines,
              (Lines{line("12.5", "+ "), line("7.25", "+ "), line("19.75", "= ", "* ")}));
    // Entries print as typed, the total with its trailing zeros dropped.
    EXPECT_EQ(type("1 . 5 0 + 1 . 5 0 + =").lines,
              (Lines{line("1.50", "+ "), line("1.50", "+ "), line("3", "= ", "* ")}));
    EXPECT_EQ(type("1 0 0 - 0 . 0 1 - =").lines,
              (Lines{line("100", "- "), line("0.01", "- "), line("-100.01", "= ", "* ")}));
}

TEST(Firmware, LeadingZerosAndZeroItself) {
    EXPECT_EQ(
        type("0 0 7 + 0 . 2 5 + . 5 + =").lines,
        (Lines{line("7", "+ "), line("0.25", "+ "), line("0.5", "+ "), line("7.75", "= ", "* ")}));
    EXPECT_EQ(type("0 + 0 . 0 0 + =").lines,
              (Lines{line("0", "+ "), line("0.00", "+ "), line("0", "= ", "* ")}));
    // A second point is ignored.
    EXPECT_EQ(type("1 . 2 . 5 +").lines, (Lines{line("1.25", "+ ")}));
}

TEST(Firmware, ANegativeTotalPrintsRedAndLightsNeg) {
    Tape t = type("5 - 8 - <>");
    EXPECT_EQ(t.lines, (Lines{line("5", "- "), line("8", "- "), line("-13", "<>")}));
    EXPECT_EQ(t.state["lamps"]["NEG"].number, 1);
    EXPECT_EQ(t.state["lamps"]["OVF"].number, 0);
    t = type("5 - 8 - 2 0 + =");
    EXPECT_EQ(t.lines.back(), line("7", "= ", "* "));
    EXPECT_EQ(t.state["lamps"]["NEG"].number, 0);
    // "=" clears a negative total, and the lamp with it.
    t = type("3 - =");
    EXPECT_EQ(t.lines, (Lines{line("3", "- "), line("-3", "= ", "* ")}));
    EXPECT_EQ(t.state["lamps"]["NEG"].number, 0);
}

TEST(Firmware, SubtotalKeepsTheTotalAndARepeatedKeyTakesTheLastEntry) {
    EXPECT_EQ(type("4 + <> 3 + =").lines,
              (Lines{line("4", "+ "), line("4", "<>"), line("3", "+ "), line("7", "= ", "* ")}));
    EXPECT_EQ(type("2 . 5 + + - =").lines, (Lines{line("2.5", "+ "), line("2.5", "+ "),
                                                  line("2.5", "- "), line("2.5", "= ", "* ")}));
}

TEST(Firmware, ClearEntryAndClear) {
    EXPECT_EQ(type("9 CE 4 + =").lines, (Lines{line("4", "+ "), line("4", "= ", "* ")}));
    EXPECT_EQ(type("7 + 5 C 2 + =").lines, (Lines{line("7", "+ "), line("", "  ", "C "),
                                                  line("2", "+ "), line("2", "= ", "* ")}));
}

TEST(Firmware, ATotalTooLargeOverflowsUntilClear) {
    const std::string nines = "9 9 9 9 9 9 9 9 9 9 9 9 9 9 9";
    Tape t = type(nines + " + 1 + 5 + =");
    EXPECT_EQ(t.lines,
              (Lines{line("999999999999999", "+ "), line("1", "+ "), line("", "  ", "E ")}));
    EXPECT_EQ(t.state["lamps"]["OVF"].number, 1);
    t = type(nines + " + 1 + C 3 + =");
    EXPECT_EQ(t.lines, (Lines{line("999999999999999", "+ "), line("1", "+ "), line("", "  ", "E "),
                              line("", "  ", "C "), line("3", "+ "), line("3", "= ", "* ")}));
    EXPECT_EQ(t.state["lamps"]["OVF"].number, 0);
    // A sum that needs a sixteenth digit gives up its last decimal instead.
    EXPECT_EQ(type(nines + " + . 5 + =").lines,
              (Lines{line("999999999999999", "+ "), line("0.5", "+ "),
                     line("999999999999999", "= ", "* ")}));
}

TEST(Firmware, LongEntriesKeepFifteenDigits) {
    EXPECT_EQ(type("1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 +").lines,
              (Lines{line("123456789012345", "+ ")}));
    EXPECT_EQ(type(". 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 +").lines,
              (Lines{line("0.12345678901234", "+ ")}));
    EXPECT_EQ(type("1 2 3 4 5 6 7 8 9 . 1 2 3 4 5 6 7 +").lines,
              (Lines{line("123456789.123456", "+ ")}));
    // Decimals that no longer fit beside the whole digits are cut from the sum.
    EXPECT_EQ(type("1 2 3 4 5 6 7 8 9 0 1 2 3 4 + . 5 5 + =").lines.back(),
              line("12345678901234.5", "= ", "* "));
}

TEST(Firmware, KeysTypedWhileALinePrintsAreKeptInOrder) {
    // A key every 40000 periods, while a line takes 130000 to 260000: up to
    // eight keys wait in the buffer, none lost or taken twice.
    EXPECT_EQ(
        type("1 + 2 2 + 3 3 3 + =", {"--hold", "20000", "--gap", "20000", "--periods", "2000000"})
            .lines,
        (Lines{line("1", "+ "), line("22", "+ "), line("333", "+ "), line("356", "= ", "* ")}));
}

TEST(Firmware, AKeyHeldDownCountsOnce) {
    const auto r = runProgram(
        "tallivo-run",
        {"--keys",
         "7@0-1500000,+@1600000-1650000,7@1700000-1710000,7@1730000-1740000,+@1800000-1810000",
         "--periods", "2600000"},
        "held");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, line("7", "+ ") + "\n" + line("77", "+ ") + "\n");
}

}  // namespace
}  // namespace tallivo::testing
