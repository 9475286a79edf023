// The firmware's multiplication and division, fixed decimals and rounding,
// percent and memory, driven through tallivo-run like a user's tape.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/firmware_symbols.h"
#include "tests/support/json.h"
#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

using Lines = std::vector<std::string>;

std::string line(const std::string& number, const std::string& left = "  ",
                 const std::string& right = "  ") {
    return std::string(18 - number.size(), ' ') + number + " " + left + " " + right;
}

struct Tape {
    Lines lines;
    Json state;
    long long lamp(const char* name) const { return state["lamps"][name].number; }
};

// `dp` and `round` are the switch positions (--dp, --round); -1 leaves them.
Tape type(const std::string& keys, int dp = -1, int round = -1) {
    std::vector<std::string> args = {"--type", keys, "--dump-state", "state.json"};
    if (dp >= 0) args.insert(args.end(), {"--dp", std::to_string(dp)});
    if (round >= 0) args.insert(args.end(), {"--round", std::to_string(round)});
    static int runs = 0;
    const auto r = runProgram("tallivo-run", args, "calc" + std::to_string(++runs));
    Tape tape;
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream out(r.out);
    for (std::string l; std::getline(out, l);) tape.lines.push_back(l);
    EXPECT_TRUE(parseJson(r.file("state.json"), tape.state)) << "no state for " << keys;
    return tape;
}

constexpr int kRoundCut = 0;   // "/N"
constexpr int kRoundHalf = 2;  // "5/4"

TEST(FirmwareCalc, MultipliesAndDividesWithTheResultCarriedOn) {
    EXPECT_EQ(type("1 2 X 3 =").lines,
              (Lines{line("12", "X "), line("3", "= "), line("36", "  ", "* ")}));
    EXPECT_EQ(type("2 X 3 X 4 =").lines.back(), line("24", "  ", "* "));
    // The result goes on into "+" with no entry typed, and into another "X".
    EXPECT_EQ(type("1 2 X 3 = + 5 + =").lines,
              (Lines{line("12", "X "), line("3", "= "), line("36", "  ", "* "), line("36", "+ "),
                     line("5", "+ "), line("41", "= ", "* ")}));
    EXPECT_EQ(type("6 / 4 = X 2 =").lines,
              (Lines{line("6", "/ "), line("4", "= "), line("1.5", "  ", "* "), line("1.5", "X "),
                     line("2", "= "), line("3", "  ", "* ")}));
}

TEST(FirmwareCalc, FloatingResultsAreCutAfterFifteenDigits) {
    EXPECT_EQ(type("1 / 7 =").lines.back(), line("0.14285714285714", "  ", "* "));
    EXPECT_EQ(type("2 / 3 =").lines.back(), line("0.66666666666666", "  ", "* "));
    EXPECT_EQ(type("1 . 5 X 1 . 5 =").lines.back(), line("2.25", "  ", "* "));
    EXPECT_EQ(type(". 0 0 0 0 0 0 1 X . 0 0 0 0 0 0 0 1 =").lines.back(), line("0", "  ", "* "));
    // Fifteen-digit operands.
    EXPECT_EQ(type("1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 / 5 =").lines.back(),
              line("24691357802469", "  ", "* "));
    EXPECT_EQ(type("3 3 3 3 3 3 3 3 3 3 3 3 3 3 3 X 3 =").lines.back(),
              line("999999999999999", "  ", "* "));
    EXPECT_EQ(type("1 2 3 4 5 6 7 . 8 9 0 1 2 3 4 X 1 0 0 0 0 =").lines.back(),
              line("12345678901.234", "  ", "* "));
}

TEST(FirmwareCalc, RoundingSwitchSetsTheDecimalsOfEveryNumber) {
    EXPECT_EQ(type("2 / 3 =", 2, kRoundHalf).lines,
              (Lines{line("2.00", "/ "), line("3.00", "= "), line("0.67", "  ", "* ")}));
    EXPECT_EQ(type("2 / 3 =", 2, kRoundCut).lines.back(), line("0.66", "  ", "* "));
    EXPECT_EQ(type("2 / 3 =", 0, kRoundHalf).lines.back(), line("1", "  ", "* "));
    EXPECT_EQ(type("2 / 3 =", 0, kRoundCut).lines.back(), line("0", "  ", "* "));
    EXPECT_EQ(type("2 / 3 =", 3, kRoundHalf).lines.back(), line("0.667", "  ", "* "));
    // Position 7 of the switch is labelled and read as 8.
    EXPECT_EQ(type("2 / 3 =", 7, kRoundHalf).lines.back(), line("0.66666667", "  ", "* "));
    EXPECT_EQ(type("2 / 3 =", 7, kRoundCut).lines.back(), line("0.66666666", "  ", "* "));
}

TEST(FirmwareCalc, FixedDecimalsCutEntriesAndTotals) {
    EXPECT_EQ(type("1 . 2 3 4 5 + 1 + =", 3, kRoundHalf).lines,
              (Lines{line("1.235", "+ "), line("1.000", "+ "), line("2.235", "= ", "* ")}));
    EXPECT_EQ(type("1 . 2 3 4 5 + 1 + =", 3, kRoundCut).lines,
              (Lines{line("1.234", "+ "), line("1.000", "+ "), line("2.234", "= ", "* ")}));
    // At "FL" the entries keep what was typed.
    EXPECT_EQ(type("1 . 2 3 4 5 + =", 3).lines.front(), line("1.2345", "+ "));
}

TEST(FirmwareCalc, NegativeResultsAndTheNegLamp) {
    Tape t = type("2 M- RM X 3 =");
    EXPECT_EQ(t.lines.back(), line("-6", "  ", "* "));
    EXPECT_EQ(t.lamp("NEG"), 1);
    t = type("2 M- RM X 3 = 4 +");
    EXPECT_EQ(t.lamp("NEG"), 0) << "the last number taken is an entry, and the total is positive";
    t = type("3 - X 4 =");
    EXPECT_EQ(t.lines.back(), line("12", "  ", "* "));
    EXPECT_EQ(t.lamp("NEG"), 1) << "the total is negative";
}

TEST(FirmwareCalc, DivisionByZeroAndOverflowUntilClear) {
    Tape t = type("5 / 0 = 3 +");
    EXPECT_EQ(t.lines, (Lines{line("5", "/ "), line("0", "= "), line("", "  ", "E ")}));
    EXPECT_EQ(t.lamp("OVF"), 1);
    t = type("5 / 0 = C 4 + =");
    EXPECT_EQ(t.lines, (Lines{line("5", "/ "), line("0", "= "), line("", "  ", "E "),
                              line("", "  ", "C "), line("4", "+ "), line("4", "= ", "* ")}));
    EXPECT_EQ(t.lamp("OVF"), 0);
    EXPECT_EQ(type("9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 X 9 =").lines.back(), line("", "  ", "E "));
    EXPECT_EQ(type("1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 / . 0 0 0 0 0 1 =").lines.back(),
              line("", "  ", "E "));
}

TEST(FirmwareCalc, Percent) {
    EXPECT_EQ(type("2 0 0 X 5 %").lines,
              (Lines{line("200", "X "), line("5", "% "), line("10", "  ", "* ")}));
    EXPECT_EQ(type("8 X 1 2 . 5 %").lines.back(), line("1", "  ", "* "));
}

// "M+=" and "M-=" finish as "=" does, with the last line marked for the
// memory, and then take that number into the memory.
TEST(FirmwareCalc, MemoryEqualsFinishesTheCalculationIntoTheMemory) {
    Tape t = type("1 2 X 3 M+= RM");
    EXPECT_EQ(t.lines, (Lines{line("12", "X "), line("3", "= "), line("36", "  ", "M+"),
                              line("36", "R ", "M ")}));
    EXPECT_EQ(t.lamp("M"), 1);
    // After additions the total goes in, and a new total begins.
    t = type("1 2 + 3 + M+= 4 + = RM");
    EXPECT_EQ(t.lines, (Lines{line("12", "+ "), line("3", "+ "), line("15", "= ", "M+"),
                              line("4", "+ "), line("4", "= ", "* "), line("15", "R ", "M ")}));
    // "M-=" after "/" subtracts, and the result carries on like that of "=".
    t = type("1 0 M+ 7 / 2 M-= X 2 = RM");
    EXPECT_EQ(t.lines, (Lines{line("10", "M+"), line("7", "/ "), line("2", "= "),
                              line("3.5", "  ", "M-"), line("3.5", "X "), line("2", "= "),
                              line("7", "  ", "* "), line("6.5", "R ", "M ")}));
    // A negative total, and the memory emptied to 0 by it: "M" goes dark.
    t = type("5 M+ 5 + M-= RM");
    EXPECT_EQ(t.lines.back(), line("0", "R ", "M "));
    EXPECT_EQ(t.lamp("M"), 0);
    // At two decimals and "5/4" the number printed is the one that goes in.
    EXPECT_EQ(type("2 / 3 M+= RM", 2, kRoundHalf).lines.back(), line("0.67", "R ", "M "));
}

TEST(FirmwareCalc, MemoryEqualsThatOverflowsLeavesTheMemory) {
    Tape t = type("9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 M+ + M+= 7 C RM");
    EXPECT_EQ(t.lines, (Lines{line("999999999999999", "M+"), line("999999999999999", "+ "),
                              line("999999999999999", "= ", "M+"), line("", "  ", "E "),
                              line("", "  ", "C "), line("999999999999999", "R ", "M ")}));
    t = type("9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 M- 1 X 1 M-=");
    EXPECT_EQ(t.lines.back(), line("", "  ", "E "));
    EXPECT_EQ(t.lamp("OVF"), 1);
}

// "SQRT" prints its argument with "SQ" and the root as a result.
TEST(FirmwareCalc, SquareRootsOfPerfectSquaresAreExact) {
    EXPECT_EQ(type("1 6 SQRT").lines, (Lines{line("16", "SQ"), line("4", "  ", "* ")}));
    for (const auto& [argument, root] : std::vector<std::pair<std::string, std::string>>{
             {". 0 4", "0.2"},
             {"0", "0"},
             {"1 4 4", "12"},
             {"2 . 2 5", "1.5"},
             {"1 0 0 0 0 0 0", "1000"},
             {". 0 0 0 1", "0.01"},
             {"9 8 0 1 0 0 0 0 0 0 0 0 0 0", "9900000"}})
        EXPECT_EQ(type(argument + " SQRT").lines.back(), line(root, "  ", "* ")) << argument;
}

TEST(FirmwareCalc, SquareRootsKeepFifteenDigitsOrFourteenDecimals) {
    for (const auto& [argument, root] : std::vector<std::pair<std::string, std::string>>{
             {"2", "1.41421356237309"},
             {"9 9 9 9 9 9 9 9 9 9 9 9 9 9 9", "31622776.6016837"},
             {"1 2 3 4 5 6 7 8 9 0 1 2 3 4 . 5", "3513641.82882013"},
             {"1 2 3 4 5 6 7 8 9", "11111.1110605555"},
             {". 9 9 9 9 9 9 9 9 9 9 9 9 9 9", "0.99999999999999"},
             {". 0 0 0 0 0 0 0 0 0 0 0 0 0 1", "0.0000001"},
             {". 0 0 0 0 0 0 0 0 0 0 0 0 0 2", "0.00000014142135"}})
        EXPECT_EQ(type(argument + " SQRT").lines.back(), line(root, "  ", "* ")) << argument;
}

TEST(FirmwareCalc, SquareRootsTakeTheSwitchesDecimals) {
    const std::string fifteenNines = "9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 SQRT";
    struct Case {
        std::string keys;
        int dp;
        std::string cut, half;
    };
    for (const Case& c :
         std::vector<Case>{{"2 SQRT", 2, "1.41", "1.41"},
                           {"3 SQRT", 7, "1.73205080", "1.73205081"},
                           {fifteenNines, 6, "31622776.601683", "31622776.601684"},
                           // Fifteen digits leave seven decimals of the eight wanted: "5/4"
                           // rounds from the digit after the last, which the root made.
                           {fifteenNines, 7, "31622776.6016837", "31622776.6016838"},
                           {"1 6 SQRT", 3, "4.000", "4.000"}}) {
        EXPECT_EQ(type(c.keys, c.dp, kRoundCut).lines.back(), line(c.cut, "  ", "* ")) << c.keys;
        EXPECT_EQ(type(c.keys, c.dp, kRoundHalf).lines.back(), line(c.half, "  ", "* ")) << c.keys;
    }
    // The argument, too, prints with the switch's decimals.
    EXPECT_EQ(type("2 SQRT", 2, kRoundHalf).lines.front(), line("2.00", "SQ"));
}

TEST(FirmwareCalc, TheRootIsAResultCarriedOn) {
    EXPECT_EQ(type("2 SQRT X 2 =").lines,
              (Lines{line("2", "SQ"), line("1.41421356237309", "  ", "* "),
                     line("1.41421356237309", "X "), line("2", "= "),
                     line("2.82842712474618", "  ", "* ")}));
    EXPECT_EQ(type("1 6 SQRT + 1 + =").lines.back(), line("5", "= ", "* "));
    // A pending operation stays pending: the root is its second operand.
    EXPECT_EQ(type("3 X 1 6 SQRT =").lines,
              (Lines{line("3", "X "), line("16", "SQ"), line("4", "  ", "* "), line("4", "= "),
                     line("12", "  ", "* ")}));
    // With no entry typed, the root of the last number.
    EXPECT_EQ(type("8 1 SQRT SQRT").lines, (Lines{line("81", "SQ"), line("9", "  ", "* "),
                                                  line("9", "SQ"), line("3", "  ", "* ")}));
}

TEST(FirmwareCalc, ANegativeArgumentOverflowsUntilClear) {
    Tape t = type("2 S SQRT 5 +");
    EXPECT_EQ(t.lines, (Lines{line("-2", "SQ"), line("", "  ", "E ")}));
    EXPECT_EQ(t.lamp("OVF"), 1);
    t = type("2 S SQRT 5 + C 9 SQRT");
    EXPECT_EQ(t.lines.back(), line("3", "  ", "* "));
    EXPECT_EQ(t.lamp("OVF"), 0);
    // -0 is 0, whose root is 0.
    EXPECT_EQ(type("S SQRT").lines.back(), line("0", "  ", "* "));
}

// The slowest root, fifteen nines in its digits, takes less than a second of
// the calculator's time (740000 clock periods) from SQRT's code to the root.
TEST(FirmwareCalc, TheSlowestRootTakesLessThanASecond) {
    auto periodsAt = [](int address) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%03X", address);
        const auto r = runProgram(
            "tallivo-run",
            {"--type", "9 9 9 9 9 9 9 9 9 9 9 9 9 9 . 9 SQRT", "--break", hex, "--dump-state", "-"},
            "slow_root");
        Json s;
        EXPECT_TRUE(parseJson(r.out.substr(r.out.find('{')), s)) << r.out;
        return s["periodsRun"].number;
    };
    const long long periods =
        periodsAt(firmwareSymbol("sg_last")) - periodsAt(firmwareSymbol("sqrt"));
    EXPECT_GT(periods, 500000);
    EXPECT_LT(periods, 740000);
}

TEST(FirmwareCalc, MemoryAddsSubtractsRecallsAndClears) {
    Tape t = type("5 M+ 3 M+ RM + 2 M- RM +");
    EXPECT_EQ(t.lines,
              (Lines{line("5", "M+"), line("3", "M+"), line("8", "R ", "M "), line("8", "+ "),
                     line("2", "M-"), line("6", "R ", "M "), line("6", "+ ")}));
    EXPECT_EQ(t.lamp("M"), 1);
    t = type("5 M+ CM RM +");
    EXPECT_EQ(t.lines, (Lines{line("5", "M+"), line("", "C ", "M "), line("0", "R ", "M "),
                              line("0", "+ ")}));
    EXPECT_EQ(t.lamp("M"), 0);
    // With no entry typed, the last result goes to the memory.
    EXPECT_EQ(type("4 X 5 = M+ RM +").lines.back(), line("20", "+ "));
}

TEST(FirmwareCalc, SignChangesTheEntryAndExchangeSwapsTheOperands) {
    Tape t = type("5 S + 2 + =");
    EXPECT_EQ(t.lines, (Lines{line("-5", "+ "), line("2", "+ "), line("-3", "= ", "* ")}));
    EXPECT_EQ(t.lamp("NEG"), 0);
    // A new entry begun with "S" takes its digits as a negative number.
    EXPECT_EQ(type("S 7 X 2 =").lines,
              (Lines{line("-7", "X "), line("2", "= "), line("-14", "  ", "* ")}));
    EXPECT_EQ(type("3 / 1 2 Ex =").lines,
              (Lines{line("3", "/ "), line("3", "= "), line("4", "  ", "* ")}));
}

TEST(FirmwareCalc, PercentAtItsEdges) {
    // A product of fourteen decimals: the per cent cuts two of them off.
    EXPECT_EQ(type("1 / 3 X 1 %").lines.back(), line("0.00333333333333", "  ", "* "));
    // a x b has seventeen digits, a x b / 100 fifteen: it fits.
    Tape big = type("1 00 00 00 00 X 1 00 00 00 00 %");
    EXPECT_EQ(big.lines.back(), line("100000000000000", "  ", "* "));
    EXPECT_EQ(big.lamp("OVF"), 0);
    // After "/" the share in per cent; alone, the number / 100.
    EXPECT_EQ(type("5 0 / 2 0 0 %").lines.back(), line("25", "  ", "* "));
    EXPECT_EQ(type("1 / 3 %").lines.back(), line("33.3333333333333", "  ", "* "));
    EXPECT_EQ(type("5 0 %").lines, (Lines{line("50", "% "), line("0.5", "  ", "* ")}));
}

TEST(FirmwareCalc, HalfUpRoundsAResultFromTheDigitCutOffIt) {
    EXPECT_EQ(type("5 00 00 00 / 3 =", 7, kRoundHalf).lines.back(),
              line("1666666.66666667", "  ", "* "));
    EXPECT_EQ(type("5 00 00 00 / 3 =", 6, kRoundHalf).lines.back(),
              line("1666666.666667", "  ", "* "));
    EXPECT_EQ(type("5 00 00 00 / 3 =", 7, kRoundCut).lines.back(),
              line("1666666.66666666", "  ", "* "));
    EXPECT_EQ(type("9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 / 2 =", 0, kRoundHalf).lines.back(),
              line("500000000000000", "  ", "* "));
    // 1.500000000000005 is cut to 1.50000000000000 and loses its zeros: the
    // digit cut off no longer follows the last one, and 1.5 stays 1.5.
    EXPECT_EQ(type("3 0 0 0 0 0 0 0 0 0 0 0 0 0 1 / 2 00 00 00 00 00 00 00 =", 1, kRoundHalf)
                  .lines.back(),
              line("1.5", "  ", "* "));
    // 99999999.00 x 1000000.01 is 99999999999999.99: cut to fifteen nines,
    // rounded up it has sixteen digits and gives up its decimal.
    EXPECT_EQ(type("9 9 9 9 9 9 9 9 X 1 0 0 0 0 0 0 . 0 1 =", 2, kRoundHalf).lines.back(),
              line("100000000000000", "  ", "* "));
    EXPECT_EQ(type("9 9 9 9 9 9 9 9 X 1 0 0 0 0 0 0 . 0 1 =").lines.back(),
              line("99999999999999.9", "  ", "* "));
}

TEST(FirmwareCalc, SumsThatNeedMoreThanFifteenDigits) {
    // The decimals are cut, toward zero; the whole part must fit.
    EXPECT_EQ(type("1 00 00 00 00 00 00 00 + . 0 5 - <>").lines.back(),
              line("99999999999999.9", "<>"));
    EXPECT_EQ(type("1 00 00 00 00 00 00 00 + . 0 5 + <>").lines.back(),
              line("100000000000000", "<>"));
    EXPECT_EQ(type("9 9 9 9 9 9 9 9 9 9 9 9 9 9 . 9 + . 0 9 + <>").lines.back(),
              line("99999999999999.9", "<>"));
    Tape over = type("9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 + 1 + <>");
    EXPECT_EQ(over.lines.back(), line("", "  ", "E "));
    EXPECT_EQ(over.lamp("OVF"), 1);
    // A memory that overflows keeps what it had.
    Tape memory = type("5 00 00 00 00 00 00 00 M+ M+ C RM");
    EXPECT_EQ(memory.lines, (Lines{line("500000000000000", "M+"), line("500000000000000", "M+"),
                                   line("", "  ", "E "), line("", "  ", "C "),
                                   line("500000000000000", "R ", "M ")}));
    EXPECT_EQ(memory.lamp("M"), 1);
}

TEST(FirmwareCalc, APrintedLineEndsTheEntryAndZeroHasNoSign) {
    EXPECT_EQ(type("1 2 = 3 +").lines, (Lines{line("0", "= ", "* "), line("3", "+ ")}));
    EXPECT_EQ(type("4 CM 7 +").lines, (Lines{line("", "C ", "M "), line("7", "+ ")}));
    // "Ex" with nothing pending does nothing: the entry goes on.
    EXPECT_EQ(type("5 Ex 3 +").lines, (Lines{line("53", "+ ")}));
    Tape zero = type(". 2 3 S -", 0, kRoundHalf);
    EXPECT_EQ(zero.lines, (Lines{line("0", "- ")}));
    EXPECT_EQ(zero.lamp("NEG"), 0);
    EXPECT_EQ(type("S +").lines, (Lines{line("0", "+ ")}));
}

}  // namespace
}  // namespace tallivo::testing
