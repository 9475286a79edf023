#pragma once
// The calculator as its key guide describes it, in exact decimal arithmetic:
// every register and flag the guide names, and the paper lines and lamps a
// tape of keys should give. The firmware is checked against it.
#include <optional>
#include <string>
#include <vector>

namespace tallivo::testing {

// Wide enough for a product of two 15-digit mantissas, or a dividend of 31 digits.
__extension__ typedef unsigned __int128 WideMantissa;

// ±mantissa / 10^decimals. A register keeps at most 15 digits and 14
// decimals; a product or a quotient on its way holds up to 31 digits.
struct Decimal {
    bool negative = false;
    WideMantissa mantissa = 0;
    int decimals = 0;

    bool isZero() const { return mantissa == 0; }
    bool isNegative() const { return negative && mantissa != 0; }
};

// The number as the printer strikes it: at least one digit before the
// point, "-" in front when negative (the red ribbon).
std::string printedNumber(const Decimal& x);

// A whole paper line as tallivo-run writes it: the number right-aligned to
// column 17 (a negative one with the red mark just left of it), then the left
// and the right symbol, each two characters.
std::string paperLine(const std::string& number, const std::string& left = "  ",
                      const std::string& right = "  ");

class KeyGuideModel {
  public:
    enum Rounding { kCut = 0, kFloating = 1, kHalfUp = 2 };

    // The switches as tallivo-run's --dp (0..7) and --round (0..2) give them.
    KeyGuideModel(int decimalPointIndex, int roundingIndex);

    // One key by its caption; false for a caption the keyboard does not have.
    bool press(const std::string& caption);

    const std::vector<std::string>& paper() const { return paper_; }
    bool lampOverflow() const { return overflow_; }
    bool lampNegative() const {
        return total_.isNegative() || (lastIsResult_ && last_.isNegative());
    }
    bool lampMemory() const { return !memory_.isZero(); }

  private:
    enum class Pending { kNone, kMultiply, kDivide };

    Decimal fix(Decimal x, int keptDigit = 0) const;
    // A typed entry becomes the last number; then take fixes it (the
    // printing keys), takeEntry alone does not ("Ex").
    void takeEntry();
    void take();
    void print(const Decimal& x, const char* left, const char* right = "  ");
    void printBare(const char* left, const char* right) {
        paper_.push_back(paperLine("", left, right));
    }
    void overflowed();
    void digit(int d);
    void startEntryIfNotTyped();
    void addTo(Decimal& reg, bool subtract);
    // Result of the pending operation (or of "%") into LAST and ENTRY;
    // false when it overflowed.
    bool calculate(Pending op, const Decimal& a, const Decimal& b, bool percent);
    // A result, cut to fit with firstCut the first digit cut, into LAST and ENTRY.
    void keepResult(Decimal value, bool cut, int firstCut, bool negative);

    int decimalsWanted_;  // D, the decimal-point switch's number
    Rounding rounding_;

    Decimal entry_;
    bool typed_ = false;
    bool pointTyped_ = false;
    Decimal total_;
    Decimal last_;
    bool lastIsResult_ = false;
    int lastKeptDigit_ = 0;  // a result's first digit cut off, 0 for others
    Decimal memory_;
    Decimal pend_;
    Pending pending_ = Pending::kNone;
    bool overflow_ = false;
    std::vector<std::string> paper_;
};

}  // namespace tallivo::testing
