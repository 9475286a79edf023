// The firmware against the key guide: tapes typed through tallivo-run must
// print, line for line, what the guide's model prints, and leave the same
// lamps lit. Named tapes document the guide; a few hundred random tapes with
// a fixed seed look for the corners nobody wrote down.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/key_guide_model.h"
#include "tests/support/json.h"
#include "tests/support/run_process.h"

#ifndef TALLIVO_GUIDE_TAPES
#define TALLIVO_GUIDE_TAPES 300
#endif

namespace tallivo::testing {
namespace {

using Lines = std::vector<std::string>;

// How every tape is typed, here and in the command a difference reports: the
// runner's defaults, every key as fast as the calculator takes it and the run
// until the last line has printed, so the tapes also prove that no key is
// lost or doubled.
const std::vector<std::string> kTyping = {};

struct Tape {
    std::vector<std::string> keys;
    int dp = 0;     // --dp, the decimal-point switch's position
    int round = 1;  // --round: 0 "/N", 1 "FL", 2 "5/4"

    std::string text() const {
        std::string s;
        for (const std::string& k : keys) s += (s.empty() ? "" : " ") + k;
        return s;
    }
    std::vector<std::string> switches() const {
        return {"--dp", std::to_string(dp), "--round", std::to_string(round)};
    }
    std::string command() const {
        std::string c = "tallivo-run --type \"" + text() + "\"";
        for (const std::string& a : switches()) c += " " + a;
        for (const std::string& a : kTyping) c += " " + a;
        return c + " --dump-state -";
    }
};

struct Outcome {
    Lines paper;
    int ovf = 0, neg = 0, m = 0;
    std::string failure;  // the runner's own failure, if it had one

    bool operator==(const Outcome& o) const {
        return paper == o.paper && ovf == o.ovf && neg == o.neg && m == o.m && failure == o.failure;
    }
};

Outcome modelOutcome(const Tape& tape) {
    KeyGuideModel model(tape.dp, tape.round);
    Outcome o;
    for (const std::string& k : tape.keys) {
        if (!model.press(k)) o.failure = "no key " + k;
    }
    o.paper = model.paper();
    o.ovf = model.lampOverflow();
    o.neg = model.lampNegative();
    o.m = model.lampMemory();
    return o;
}

// How many lines the guide prints for the first `count` keys of the tape.
std::size_t modelLinesAfter(const Tape& tape, std::size_t count) {
    KeyGuideModel model(tape.dp, tape.round);
    for (std::size_t i = 0; i < count && i < tape.keys.size(); ++i) model.press(tape.keys[i]);
    return model.paper().size();
}

Outcome firmwareOutcome(const Tape& tape, const std::string& folder) {
    std::vector<std::string> args = {"--type", tape.text(), "--dump-state", "state.json"};
    for (const std::string& a : tape.switches()) args.push_back(a);
    for (const std::string& a : kTyping) args.push_back(a);
    const ProcessResult r = runProgram("tallivo-run", args, folder);
    Outcome o;
    std::istringstream out(r.out);
    for (std::string l; std::getline(out, l);) o.paper.push_back(l);
    Json state;
    if (r.exitCode != 0) {
        o.failure = "tallivo-run exited with " + std::to_string(r.exitCode) + ": " + r.err;
    } else if (!parseJson(r.file("state.json"), state)) {
        o.failure = "no state dump";
    } else {
        o.ovf = static_cast<int>(state["lamps"]["OVF"].number);
        o.neg = static_cast<int>(state["lamps"]["NEG"].number);
        o.m = static_cast<int>(state["lamps"]["M"].number);
    }
    return o;
}

// The firmware's outcome of tapes[first], tapes[first + 1], ..., up to
// `count` of them, two runners at a time.
std::vector<Outcome> firmwareOutcomes(const std::vector<Tape>& tapes, std::size_t first,
                                      std::size_t count) {
    std::vector<Outcome> out;
    for (std::size_t i = first; i < std::min(tapes.size(), first + count); i += 2) {
        std::future<Outcome> second;
        if (i + 1 < std::min(tapes.size(), first + count))
            second =
                std::async(std::launch::async, firmwareOutcome, std::cref(tapes[i + 1]), "guide_b");
        out.push_back(firmwareOutcome(tapes[i], "guide_a"));
        if (second.valid()) out.push_back(second.get());
    }
    return out;
}

// Both papers side by side, differing lines marked, then the lamps.
std::string sideBySide(const Outcome& guide, const Outcome& firmware) {
    std::ostringstream s;
    s << "    key guide                    firmware\n";
    const std::size_t n = std::max(guide.paper.size(), firmware.paper.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::string a = i < guide.paper.size() ? guide.paper[i] : "";
        const std::string b = i < firmware.paper.size() ? firmware.paper[i] : "";
        s << (a == b ? "    " : " !! ") << a << std::string(a.size() < 29 ? 29 - a.size() : 0, ' ')
          << b << "\n";
    }
    s << "    lamps OVF NEG M: " << guide.ovf << " " << guide.neg << " " << guide.m << "          "
      << firmware.ovf << " " << firmware.neg << " " << firmware.m << "\n";
    if (!firmware.failure.empty()) s << "    " << firmware.failure << "\n";
    return s.str();
}

std::string report(const Tape& tape, const Outcome& guide, const Outcome& firmware) {
    std::ostringstream s;
    s << "  keys:     " << tape.text() << "\n"
      << "  switches: --dp " << tape.dp << " --round " << tape.round << "\n"
      << "  again:    " << tape.command() << "\n"
      << sideBySide(guide, firmware);
    return s.str();
}

// The tape cut short and thinned while the firmware still differs from the
// guide on it, within `budget` runs: a shorter tape to reproduce.
Tape shorten(Tape tape, const Outcome& guide, const Outcome& firmware, int budget) {
    auto differs = [&](const Tape& t) {
        return budget-- > 0 && !(firmwareOutcome(t, "guide_shorten") == modelOutcome(t));
    };
    // Up to the key after which the guide has printed past the first
    // differing line.
    std::size_t line = 0;
    while (line < guide.paper.size() && line < firmware.paper.size() &&
           guide.paper[line] == firmware.paper[line])
        ++line;
    if (line < std::max(guide.paper.size(), firmware.paper.size())) {
        std::size_t keys = 1;
        while (keys < tape.keys.size() && modelLinesAfter(tape, keys) <= line) ++keys;
        Tape cut = tape;
        cut.keys.resize(std::min(tape.keys.size(), keys + 1));
        if (cut.keys.size() < tape.keys.size() && differs(cut)) tape = cut;
    }
    for (std::size_t chunk : {8, 4, 2, 1}) {
        for (std::size_t i = tape.keys.size(); i-- > 0 && budget > 0;) {
            if (i + chunk > tape.keys.size()) continue;
            Tape fewer = tape;
            fewer.keys.erase(fewer.keys.begin() + static_cast<std::ptrdiff_t>(i),
                             fewer.keys.begin() + static_cast<std::ptrdiff_t>(i + chunk));
            if (!fewer.keys.empty() && differs(fewer)) tape = fewer;
        }
    }
    return tape;
}

// ---------------------------------------------------------------- named tapes

struct Named {
    const char* what;
    Tape tape;
    Lines paper;
};

std::vector<Named> namedTapes() {
    auto keys = [](const std::string& text, int dp = 0, int round = 1) {
        Tape t;
        std::istringstream in(text);
        for (std::string k; in >> k;) t.keys.push_back(k);
        t.dp = dp;
        t.round = round;
        return t;
    };
    const std::string nines = "9 9 9 9 9 9 9 9 9 9 9 9 9 9 9";
    return {
        {"percent keeps the point when a x b has 14 decimals",
         keys("1 / 3 X 1 %"),
         {paperLine("1", "/ "), paperLine("3", "X "), paperLine("1", "% "),
          paperLine("0.00333333333333", "  ", "* ")}},
        {"percent keeps the point after a result with 14 decimals",
         keys("1 / 7 = X 1 %"),
         {paperLine("1", "/ "), paperLine("7", "= "), paperLine("0.14285714285714", "  ", "* "),
          paperLine("0.14285714285714", "X "), paperLine("1", "% "),
          paperLine("0.00142857142857", "  ", "* ")}},
        {"only the printed percent may overflow",
         keys("1 00 00 00 00 X 1 00 00 00 00 %"),
         {paperLine("100000000", "X "), paperLine("100000000", "% "),
          paperLine("100000000000000", "  ", "* ")}},
        {"5/4 rounds a quotient cut at the switch's decimals",
         keys("5 00 00 00 / 3 =", 7, 2),
         {paperLine("5000000.00000000", "/ "), paperLine("3.00000000", "= "),
          paperLine("1666666.66666667", "  ", "* ")}},
        {"5/4 rounds a quotient that fills fifteen digits",
         keys(nines + " / 2 =", 0, 2),
         {paperLine("999999999999999", "/ "), paperLine("2", "= "),
          paperLine("500000000000000", "  ", "* ")}},
        {"an M+ that overflows keeps the memory",
         keys("5 00 00 00 00 00 00 00 M+ M+ C RM"),
         {paperLine("500000000000000", "M+"), paperLine("500000000000000", "M+"),
          paperLine("", "  ", "E "), paperLine("", "  ", "C "),
          paperLine("500000000000000", "R ", "M ")}},
        {"digits after a printed total start a new number",
         keys("1 2 = 3 +"),
         {paperLine("0", "= ", "* "), paperLine("3", "+ ")}},
        {"Ex with nothing pending does nothing", keys("5 Ex 3 +"), {paperLine("53", "+ ")}},
        {"a number rounded to zero prints black and without sign",
         keys(". 2 3 S -", 0, 2),
         {paperLine("0", "- ")}},
        {"a sum cut to fifteen digits by its decimals",
         keys("1 00 00 00 00 00 00 00 + . 0 5 - <>"),
         {paperLine("100000000000000", "+ "), paperLine("0.05", "- "),
          paperLine("99999999999999.9", "<>")}},
        {"percent after divide gives the share in percent",
         keys("5 0 / 2 0 0 %"),
         {paperLine("50", "/ "), paperLine("200", "% "), paperLine("25", "  ", "* ")}},
        {"Ex exchanges the entry with the pending number",
         keys("3 / 1 2 Ex ="),
         {paperLine("3", "/ "), paperLine("3", "= "), paperLine("4", "  ", "* ")}},
        {"products and quotients stay out of the total",
         keys("1 2 . 5 + 7 X 3 = 2 / 3 = S 1 6 + ="),
         {paperLine("12.5", "+ "), paperLine("7", "X "), paperLine("3", "= "),
          paperLine("21", "  ", "* "), paperLine("2", "/ "), paperLine("3", "= "),
          paperLine("0.66666666666666", "  ", "* "), paperLine("-16", "+ "),
          paperLine("-3.5", "= ", "* ")}},
        {"a chain of multiplications",
         keys("2 X 3 X 4 ="),
         {paperLine("2", "X "), paperLine("3", "X "), paperLine("4", "= "),
          paperLine("24", "  ", "* ")}},
    };
}

TEST(KeyGuide, TheModelPrintsTheGuidesExamples) {
    for (const Named& n : namedTapes()) {
        EXPECT_EQ(modelOutcome(n.tape).paper, n.paper) << n.what << ": " << n.tape.text();
    }
    // The lamps of two of them: the memory kept, and a black zero.
    KeyGuideModel kept(0, 1);
    for (const char* k : {"5", "00", "00", "00", "00", "00", "00", "00", "M+", "M+", "C"})
        kept.press(k);
    EXPECT_TRUE(kept.lampMemory());
    EXPECT_FALSE(kept.lampOverflow());
    KeyGuideModel zero(0, 2);
    for (const char* k : {".", "2", "3", "S", "-"}) zero.press(k);
    EXPECT_FALSE(zero.lampNegative());
}

TEST(KeyGuide, TheFirmwarePrintsTheGuidesExamples) {
    const std::vector<Named> named = namedTapes();
    std::vector<Tape> tapes;
    for (const Named& n : named) tapes.push_back(n.tape);
    const std::vector<Outcome> firmware = firmwareOutcomes(tapes, 0, tapes.size());
    for (std::size_t i = 0; i < named.size(); ++i) {
        const Outcome guide = modelOutcome(tapes[i]);
        EXPECT_TRUE(guide == firmware[i]) << named[i].what << "\n"
                                          << report(tapes[i], guide, firmware[i]);
    }
}

// --------------------------------------------------------------- random tapes

// splitmix64: the same tapes from the same seed with any standard library.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }

  private:
    std::uint64_t state_;
};

struct Weighted {
    const char* key;
    int weight;
};

// The decimals each position of the decimal-point switch gives.
constexpr int kDecimalPointSwitch[8] = {0, 1, 2, 3, 4, 5, 6, 8};

// Keys that work on the entry, the total, the memory and the pending operation.
constexpr Weighted kOperations[] = {{"+", 14},  {"-", 9},   {"X", 12}, {"/", 10}, {"%", 6},
                                    {"=", 13},  {"<>", 5},  {"M+", 5}, {"M-", 4}, {"RM", 4},
                                    {"CM", 2},  {"Ex", 5},  {"CE", 3}, {"C", 4},  {"M+=", 4},
                                    {"M-=", 3}, {"SQRT", 4}};
// Every key.
constexpr Weighted kAnyKey[] = {
    {"0", 4},  {"1", 4},  {"2", 4}, {"3", 4},   {"4", 4},   {"5", 4},   {"6", 4},  {"7", 4},
    {"8", 4},  {"9", 4},  {".", 6}, {"00", 3},  {"S", 3},   {"+", 4},   {"-", 3},  {"X", 3},
    {"/", 3},  {"%", 2},  {"=", 3}, {"<>", 2},  {"M+", 2},  {"M-", 2},  {"RM", 2}, {"CM", 1},
    {"Ex", 2}, {"CE", 2}, {"C", 2}, {"M+=", 1}, {"M-=", 1}, {"SQRT", 1}};

// Tapes of 20-40 keys: numbers of every length and shape, the keys between
// them, and passages that go to the edges on purpose. The guide's model
// follows the tape as it grows, so that an overflow is mostly cleared after a
// few ignored keys rather than wasting the rest of the tape.
class TapeMaker {
  public:
    explicit TapeMaker(std::uint64_t seed) : random_(seed) {}

    Tape next() {
        Tape t;
        t.dp = random_.below(8);
        t.round = random_.below(3);
        decimals_ = kDecimalPointSwitch[t.dp];
        keys_.clear();
        KeyGuideModel model(t.dp, t.round);
        std::size_t fed = 0;
        const auto length = static_cast<std::size_t>(random_.between(20, 40));
        while (keys_.size() < length) {
            const int r = random_.below(100);
            if (r < 40) {
                endTyping();
                number();
            } else if (r < 76) {
                pick(kOperations);
            } else if (r < 86) {
                pick(kAnyKey);
            } else {
                edge();
            }
            for (; fed < keys_.size(); ++fed) model.press(keys_[fed]);
            if (model.lampOverflow() && random_.chance(85)) {
                for (int i = random_.below(3); i > 0; --i) pick(kAnyKey);
                push("C");
                for (; fed < keys_.size(); ++fed) model.press(keys_[fed]);
            }
        }
        keys_.resize(length);
        t.keys = keys_;
        return t;
    }

  private:
    template <std::size_t N>
    void pick(const Weighted (&table)[N]) {
        int total = 0;
        for (const Weighted& w : table) total += w.weight;
        int r = random_.below(total);
        for (const Weighted& w : table) {
            if ((r -= w.weight) < 0) {
                keys_.push_back(w.key);
                return;
            }
        }
    }
    void push(const std::string& keys) {
        std::istringstream in(keys);
        for (std::string k; in >> k;) keys_.push_back(k);
    }
    void digit(int low = 0) {
        keys_.push_back(std::string(1, static_cast<char>('0' + random_.between(low, 9))));
    }
    void digits(int count) {
        for (int i = 0; i < count; ++i) digit();
    }
    void wholeDigits(int count) {
        digit(1);
        digits(count - 1);
    }
    void nines(int count) {
        for (int i = 0; i < count; ++i) keys_.push_back("9");
    }
    // 14 or 15 digits, or fifteen 9s, or 10^14: the numbers at the edge.
    void bigNumber() {
        switch (random_.below(3)) {
            case 0:
                wholeDigits(random_.between(14, 15));
                break;
            case 1:
                nines(15);
                break;
            default:
                push("1 00 00 00 00 00 00 00");
                break;
        }
    }
    void smallDecimal() {
        push(".");
        digits(random_.between(0, 3));
        digit(1);
        if (random_.chance(50)) digit();
    }
    // A number with some digits before and after the point.
    void decimal(int whole, int decimals) {
        wholeDigits(whole);
        push(".");
        digits(decimals);
    }
    void number() {
        const bool signFirst = random_.chance(8);
        if (signFirst) push("S");
        const int r = random_.below(100);
        if (r < 30) {
            wholeDigits(random_.between(1, 3));
        } else if (r < 55) {
            decimal(random_.between(1, 4), random_.between(1, 4));
        } else if (r < 65) {
            smallDecimal();
        } else if (r < 70) {
            static const char* const kZeros[] = {"0", ". 0 0", "0 . 0 0 0", "00", ". 0"};
            push(kZeros[random_.below(5)]);
        } else if (r < 76) {
            push("1");
            for (int i = random_.between(3, 7); i > 0; --i) push("00");
        } else if (r < 82) {
            digit(1);
            for (int i = random_.between(1, 4); i > 0; --i) push("00");
        } else if (r < 88) {
            // 14 to 16 digits (the sixteenth is ignored), the point
            // somewhere among them or none.
            const int count = random_.between(14, 16);
            const int point = random_.chance(50) ? random_.between(1, count - 1) : -1;
            digit(1);
            for (int i = 1; i < count; ++i) {
                if (i == point) push(".");
                digit();
            }
        } else if (r < 94) {
            // 14 decimals, and now and then a digit beyond them that is ignored.
            if (random_.chance(50)) push("0");
            push(".");
            digits(random_.between(12, 15));
        } else {
            nines(random_.between(13, 15));
            if (random_.chance(40)) push(". 9 9");
        }
        if (!signFirst && random_.chance(8)) push("S");
    }
    // Mostly, a number is not typed onto the digits of the one before it.
    void endTyping() {
        if (keys_.empty() || random_.chance(15)) return;
        const std::string& k = keys_.back();
        if (k == "." || k == "00" || k == "S" || (k.size() == 1 && k[0] >= '0' && k[0] <= '9'))
            pick(kOperations);
    }
    void edge() {
        endTyping();
        switch (random_.below(10)) {
            case 0:
                // Division by zero, by "=", "%" or a chained key.
                number();
                push("/");
                push(random_.chance(50) ? "0" : ". 0 0");
                push(random_.chance(40) ? "=" : random_.chance(50) ? "%" : "X");
                break;
            case 1:
                // A product that overflows, and keys that are ignored after it.
                bigNumber();
                push("X");
                bigNumber();
                push(random_.chance(70) ? "=" : "X");
                for (int i = random_.between(1, 3); i > 0; --i) pick(kAnyKey);
                break;
            case 2:
                // A total near 10^15 with small decimals.
                bigNumber();
                push("+");
                smallDecimal();
                push(random_.chance(50) ? "-" : "+");
                push(random_.chance(50) ? "<>" : "=");
                break;
            case 3:
                // The memory overflows, and keeps what it had.
                bigNumber();
                push(random_.chance(70) ? "M+ M+" : "S M- M-");
                push("C RM");
                break;
            case 4:
                // A negative number that fixes to zero.
                push(". 0");
                digits(random_.between(0, 2));
                push("S");
                pick(kOperations);
                break;
            case 5:
            case 6:
                // Quotients with a long whole part, cut to fifteen digits
                // within the switch's decimals (where "5/4" rounds them).
                wholeDigits(random_.between(std::max(5, 15 - decimals_), 15));
                push("/");
                push(random_.chance(50) ? "3" : random_.chance(50) ? "7" : "1 . 6");
                push(random_.chance(70) ? "=" : "%");
                break;
            case 7:
                // Products of two decimal numbers that need more than
                // fifteen digits.
                decimal(random_.between(2, 8), random_.between(2, 6));
                push("X");
                decimal(random_.between(1, 6), random_.between(2, 6));
                push(random_.chance(70) ? "=" : "%");
                break;
            case 8:
                // Per cent of a result with fourteen decimals.
                wholeDigits(random_.between(1, 2));
                push(random_.chance(50) ? "/ 7 X" : "/ 3 =  X");
                number();
                push("%");
                break;
            default:
                // The operands exchanged, before "=", "%" or another operation.
                number();
                push(random_.chance(50) ? "/" : "X");
                if (random_.chance(70)) number();
                push("Ex");
                pick(kOperations);
                break;
        }
    }

    Random random_;
    int decimals_ = 0;  // the decimal-point switch's number for this tape
    std::vector<std::string> keys_;
};

long envNumber(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::strtol(v, nullptr, 10) : fallback;
}

// TALLIVO_GUIDE_TAPES and TALLIVO_GUIDE_SEED change the count and the seed
// for a longer search; TALLIVO_GUIDE_ALL=1 reports every differing tape
// rather than stopping at the first.
TEST(KeyGuide, RandomTapesPrintWhatTheGuideSays) {
    const long count = envNumber("TALLIVO_GUIDE_TAPES", TALLIVO_GUIDE_TAPES);
    const auto seed = static_cast<std::uint64_t>(envNumber("TALLIVO_GUIDE_SEED", 141));
    const bool all = envNumber("TALLIVO_GUIDE_ALL", 0) != 0;
    TapeMaker maker(seed);
    std::vector<Tape> tapes;
    for (long i = 0; i < count; ++i) tapes.push_back(maker.next());

    int differing = 0;
    // Two runners at a time; the tapes are judged in order.
    for (std::size_t i = 0; i < tapes.size(); i += 2) {
        const std::vector<Outcome> results = firmwareOutcomes(tapes, i, 2);
        for (std::size_t j = i; j < i + results.size(); ++j) {
            const Outcome guide = modelOutcome(tapes[j]);
            const Outcome& firmware = results[j - i];
            if (guide == firmware) continue;
            ++differing;
            std::string message = "tape " + std::to_string(j + 1) + " of " + std::to_string(count) +
                                  " (seed " + std::to_string(seed) +
                                  ") differs from the key guide\n" +
                                  report(tapes[j], guide, firmware);
            const Tape shorter = shorten(tapes[j], guide, firmware, 40);
            if (shorter.keys.size() < tapes[j].keys.size()) {
                message +=
                    "a shorter tape that differs too:\n" +
                    report(shorter, modelOutcome(shorter), firmwareOutcome(shorter, "guide_a"));
            }
            ADD_FAILURE() << message;
            if (!all) return;
        }
    }
    if (all) std::printf("%d of %ld tapes differ\n", differing, count);
}

}  // namespace
}  // namespace tallivo::testing
