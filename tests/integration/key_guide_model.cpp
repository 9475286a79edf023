#include "tests/integration/key_guide_model.h"

#include <algorithm>
#include <utility>

namespace tallivo::testing {

namespace {

using Wide = WideMantissa;

constexpr Wide pow10(int n) {
    Wide p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

constexpr Wide kFifteenDigits = pow10(15);  // the first number that needs 16 digits
constexpr Wide kFourteenDigits = pow10(14);
constexpr int kMostDecimals = 14;
constexpr int kDecimalPointSwitch[8] = {0, 1, 2, 3, 4, 5, 6, 8};

int digitCount(Wide m) {
    int n = 0;
    for (; m != 0; m /= 10) ++n;
    return n;
}

void dropTrailingZeroDecimals(Decimal& x) {
    while (x.decimals > 0 && x.mantissa % 10 == 0) {
        x.mantissa /= 10;
        --x.decimals;
    }
}

// A product or quotient cut toward zero, before the "5/4" rounding of the
// result: whether digits were cut off, and the first (highest) of them.
struct Cut {
    Decimal value;
    bool cut = false;
    int firstCut = 0;
};

std::optional<Cut> product(const Decimal& a, const Decimal& b, bool percent) {
    Cut r;
    r.value.mantissa = a.mantissa * b.mantissa;  // below 10^30
    r.value.decimals = a.decimals + b.decimals + (percent ? 2 : 0);
    while (r.value.decimals > kMostDecimals ||
           (r.value.mantissa >= kFifteenDigits && r.value.decimals > 0)) {
        r.firstCut = static_cast<int>(r.value.mantissa % 10);
        r.value.mantissa /= 10;
        --r.value.decimals;
        r.cut = true;
    }
    if (r.value.mantissa >= kFifteenDigits) return std::nullopt;
    return r;
}

// a / b, or (a x 100) / b for "%", to at most 15 significant digits and at
// most 14 decimals.
std::optional<Cut> quotient(const Decimal& a, const Decimal& b, bool percent) {
    if (b.isZero()) return std::nullopt;
    // a.m / 10^a.d / (b.m / 10^b.d) = (a.m x 10^b.d) / (b.m x 10^a.d)
    const Wide numerator = a.mantissa * pow10(b.decimals) * (percent ? 100 : 1);  // below 10^31
    const Wide divisor = b.mantissa * pow10(a.decimals);                          // below 10^29
    Cut r;
    Wide q = numerator / divisor;
    Wide rest = numerator % divisor;
    if (q >= kFifteenDigits) return std::nullopt;
    const int decimals = std::min(kMostDecimals, 15 - digitCount(q));
    for (int i = 0; i < decimals; ++i) {
        rest *= 10;
        q = q * 10 + rest / divisor;
        rest %= divisor;
    }
    r.value.mantissa = q;
    r.value.decimals = decimals;
    r.cut = rest != 0;
    r.firstCut = static_cast<int>(rest * 10 / divisor);
    return r;
}

// The square root as the hand method makes it, two digits of the argument
// (its decimals made even) for each digit of the root: fifteen digits, or
// fourteen decimals, cut after the last; the first digit cut is the next one
// the method would make.
std::optional<Cut> root(const Decimal& a) {
    if (a.isNegative()) return std::nullopt;
    Wide m = a.mantissa;
    int decimals = a.decimals;
    if (decimals % 2 != 0) {
        m *= 10;
        ++decimals;
    }
    Wide rest = 0;
    Wide q = 0;
    auto nextDigit = [&](Wide pair) {
        rest = rest * 100 + pair;
        Wide d = 0;
        while ((20 * q + d + 1) * (d + 1) <= rest) ++d;
        rest -= (20 * q + d) * d;
        return d;
    };
    // Eight pairs of the argument's sixteen digit places make the whole part
    // and decimals / 2 decimals; pairs of zeros make the rest.
    int rootDecimals = decimals / 2 - 8;
    int pairsLeft = 8;
    auto pair = [&]() { return pairsLeft-- > 0 ? m / pow10(2 * pairsLeft) % 100 : Wide{0}; };
    do {
        q = q * 10 + nextDigit(pair());
        ++rootDecimals;
    } while (rootDecimals < kMostDecimals && q < kFourteenDigits);
    Cut r;
    r.value.mantissa = q;
    r.value.decimals = rootDecimals;
    r.firstCut = static_cast<int>(nextDigit(pair()));
    r.cut = true;
    return r;
}

// The exact sum a ± b, cut to 15 digits by its decimals.
std::optional<Decimal> sum(const Decimal& a, const Decimal& b, bool subtract) {
    const int decimals = std::max(a.decimals, b.decimals);
    const Wide x = a.mantissa * pow10(decimals - a.decimals);
    const Wide y = b.mantissa * pow10(decimals - b.decimals);
    const bool bNegative = b.negative != subtract;
    Decimal s;
    s.decimals = decimals;
    if (a.negative == bNegative) {
        s.mantissa = x + y;
        s.negative = a.negative;
    } else if (x >= y) {
        s.mantissa = x - y;
        s.negative = a.negative;
    } else {
        s.mantissa = y - x;
        s.negative = bNegative;
    }
    while (s.mantissa >= kFifteenDigits && s.decimals > 0) {
        s.mantissa /= 10;
        --s.decimals;
    }
    if (s.mantissa >= kFifteenDigits) return std::nullopt;
    dropTrailingZeroDecimals(s);
    if (s.isZero()) s.negative = false;
    return s;
}

std::string wideText(Wide m) {
    std::string s;
    do {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    return s;
}

}  // namespace

std::string printedNumber(const Decimal& x) {
    std::string digits = wideText(x.mantissa);
    const auto width = static_cast<std::size_t>(x.decimals) + 1;
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    if (x.decimals > 0) digits.insert(digits.size() - static_cast<std::size_t>(x.decimals), ".");
    return (x.isNegative() ? "-" : "") + digits;
}

std::string paperLine(const std::string& number, const std::string& left,
                      const std::string& right) {
    return std::string(18 - number.size(), ' ') + number + " " + left + " " + right;
}

KeyGuideModel::KeyGuideModel(int decimalPointIndex, int roundingIndex)
    : decimalsWanted_(kDecimalPointSwitch[std::clamp(decimalPointIndex, 0, 7)]),
      rounding_(static_cast<Rounding>(std::clamp(roundingIndex, 0, 2))) {}

Decimal KeyGuideModel::fix(Decimal x, int keptDigit) const {
    if (rounding_ != kFloating) {
        // The digit after the last: a result's first digit cut off, until
        // fix cuts one of its own or pads a zero.
        int after = keptDigit;
        while (x.decimals > decimalsWanted_) {
            after = static_cast<int>(x.mantissa % 10);
            x.mantissa /= 10;
            --x.decimals;
        }
        while (x.decimals < decimalsWanted_ && x.mantissa < kFourteenDigits) {
            x.mantissa *= 10;
            ++x.decimals;
            after = 0;
        }
        if (rounding_ == kHalfUp && after >= 5) {
            ++x.mantissa;
            // Fifteen nines rounded up give up a decimal.
            if (x.mantissa >= kFifteenDigits && x.decimals > 0) {
                x.mantissa /= 10;
                --x.decimals;
            }
        }
    }
    if (x.isZero()) x.negative = false;
    return x;
}

void KeyGuideModel::takeEntry() {
    if (typed_) {
        last_ = entry_;
        lastIsResult_ = false;
        lastKeptDigit_ = 0;
    }
}

void KeyGuideModel::take() {
    takeEntry();
    typed_ = false;
    last_ = fix(last_, lastKeptDigit_);
    if (rounding_ != kFloating) lastKeptDigit_ = 0;  // used once
    entry_ = last_;
}

void KeyGuideModel::print(const Decimal& x, const char* left, const char* right) {
    paper_.push_back(paperLine(printedNumber(x), left, right));
}

void KeyGuideModel::overflowed() {
    overflow_ = true;
    printBare("  ", "E ");
}

void KeyGuideModel::startEntryIfNotTyped() {
    if (typed_) return;
    entry_ = Decimal{};
    pointTyped_ = false;
    typed_ = true;
}

void KeyGuideModel::digit(int d) {
    startEntryIfNotTyped();
    if (entry_.mantissa >= kFourteenDigits || entry_.decimals == kMostDecimals) return;
    entry_.mantissa = entry_.mantissa * 10 + static_cast<unsigned>(d);
    if (pointTyped_) ++entry_.decimals;
}

void KeyGuideModel::addTo(Decimal& reg, bool subtract) {
    const std::optional<Decimal> s = sum(reg, entry_, subtract);
    if (s) {
        reg = *s;
    } else {
        overflowed();
    }
}

bool KeyGuideModel::calculate(Pending op, const Decimal& a, const Decimal& b, bool percent) {
    const std::optional<Cut> c =
        op == Pending::kDivide ? quotient(a, b, percent) : product(a, b, percent);
    pending_ = Pending::kNone;
    if (!c) {
        overflowed();
        return false;
    }
    keepResult(c->value, c->cut, c->firstCut, a.negative != b.negative);
    return true;
}

void KeyGuideModel::keepResult(Decimal r, bool cut, int firstCut, bool negative) {
    // The result keeps its first digit cut off, for the rounding when it is
    // printed; trailing zeros that go take that place away.
    const int decimalsCut = r.decimals;
    dropTrailingZeroDecimals(r);
    lastKeptDigit_ = cut && r.decimals == decimalsCut ? firstCut : 0;
    r.negative = !r.isZero() && negative;
    last_ = r;
    lastIsResult_ = true;
    entry_ = r;
}

bool KeyGuideModel::press(const std::string& key) {
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9') {
        if (!overflow_) digit(key[0] - '0');
        return true;
    }
    static const char* const kKeys[] = {"00", ".",  "S",  "+",    "-",   "X",  "/",
                                        "%",  "=",  "<>", "M+",   "M-",  "RM", "CM",
                                        "Ex", "CE", "C",  "SQRT", "M+=", "M-="};
    if (std::find_if(std::begin(kKeys), std::end(kKeys), [&](const char* k) { return key == k; }) ==
        std::end(kKeys))
        return false;
    if (overflow_ && key != "C") return true;

    if (key == "00") {
        digit(0);
        digit(0);
    } else if (key == ".") {
        startEntryIfNotTyped();
        pointTyped_ = true;
    } else if (key == "S") {
        startEntryIfNotTyped();
        entry_.negative = !entry_.negative;
    } else if (key == "+" || key == "-") {
        take();
        print(entry_, key == "+" ? "+ " : "- ");
        addTo(total_, key == "-");
    } else if (key == "M+" || key == "M-") {
        take();
        print(entry_, key.c_str());
        addTo(memory_, key == "M-");
    } else if (key == "<>") {
        total_ = fix(total_);
        print(total_, "<>");
        typed_ = false;
    } else if (key == "=" || key == "M+=" || key == "M-=") {
        // "M+=" and "M-=" are "=" with the last line marked for the memory,
        // whose number then goes to the memory as "M+" or "M-" would take it.
        const char* mark = key == "=" ? "* " : key == "M+=" ? "M+" : "M-";
        if (pending_ != Pending::kNone) {
            take();
            print(entry_, "= ");
            if (!calculate(pending_, pend_, entry_, false)) return true;
            take();
            print(entry_, "  ", mark);
        } else {
            total_ = fix(total_);
            print(total_, "= ", mark);
            entry_ = total_;  // the printed number, as every print leaves it
            total_ = Decimal{};
            typed_ = false;
        }
        if (key != "=") addTo(memory_, key == "M-=");
    } else if (key == "X" || key == "/") {
        take();
        print(entry_, key == "X" ? "X " : "/ ");
        if (pending_ != Pending::kNone && !calculate(pending_, pend_, entry_, false)) return true;
        pend_ = entry_;
        pending_ = key == "X" ? Pending::kMultiply : Pending::kDivide;
    } else if (key == "%") {
        take();
        print(entry_, "% ");
        bool ok = false;
        if (pending_ == Pending::kNone) {
            Decimal one;
            one.mantissa = 1;
            ok = calculate(Pending::kMultiply, one, entry_, true);
        } else {
            ok = calculate(pending_, pend_, entry_, true);
        }
        if (!ok) return true;
        take();
        print(entry_, "  ", "* ");
    } else if (key == "SQRT") {
        // A result as "X" gives one; a pending operation stays pending.
        take();
        print(entry_, "SQ");
        const std::optional<Cut> c = root(entry_);
        if (!c) {
            overflowed();
            return true;
        }
        keepResult(c->value, c->cut, c->firstCut, false);
        take();
        print(entry_, "  ", "* ");
    } else if (key == "RM") {
        entry_ = memory_;
        typed_ = true;
        take();
        print(entry_, "R ", "M ");
    } else if (key == "CM") {
        memory_ = Decimal{};
        printBare("C ", "M ");
        typed_ = false;
    } else if (key == "Ex") {
        // The entry is taken as a printing key takes it, but nothing is
        // printed, so nothing is fixed.
        if (pending_ == Pending::kNone) return true;
        takeEntry();
        typed_ = false;
        std::swap(last_, pend_);
        lastKeptDigit_ = 0;
    } else if (key == "CE") {
        entry_ = Decimal{};
        typed_ = false;
    } else if (key == "C") {
        entry_ = total_ = last_ = pend_ = Decimal{};
        lastKeptDigit_ = 0;
        lastIsResult_ = false;
        pending_ = Pending::kNone;
        overflow_ = false;
        typed_ = false;
        printBare("  ", "C ");
    }
    return true;
}

}  // namespace tallivo::testing
