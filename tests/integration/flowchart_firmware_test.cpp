// The firmware's flowchart pictures in use: the runner, started in a fresh
// folder, finds them beside itself and lights the boxes of the routines that
// a typed tape ran, and not the others; the generator that the build runs
// draws them from the listing and refuses a broken one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "asm/listing_reader.h"
#include "pictures/flowchart_chart.h"
#include "tests/support/run_process.h"
#include "tools/bitmap_file.h"

namespace tallivo::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string kBin = std::string(TALLIVO_BIN_DIR) + "/";

struct Firmware {
    assembler::Listing listing;
    std::map<std::string, std::int64_t> symbols;
    Chart chart;
    ChartMessages messages;
};

Firmware firmware() {
    Firmware f;
    std::string error;
    EXPECT_TRUE(assembler::readListing(readText(kBin + "4001.lst"), f.listing, error)) << error;
    EXPECT_TRUE(assembler::readSymbols(readText(kBin + "4001.sym"), f.symbols, error)) << error;
    EXPECT_TRUE(readChart(f.listing, f.symbols, f.chart, f.messages));
    return f;
}

const ChartBox& boxOf(const Chart& chart, const std::string& label) {
    for (const ChartBox& box : chart.boxes)
        if (box.label == label) return box;
    ADD_FAILURE() << "no box starts at " << label;
    return chart.boxes.front();
}

// The shipped pictures read as the view reads them into an area of the
// given size: the picture's codes and each pixel's type.
struct Shipped {
    ScaledBitmap picture, types;
};

Shipped shipped(int width, int height) {
    Shipped s;
    FileSource picture(kBin + "Flowchart.bmp"), types(kBin + "types.bmp");
    EXPECT_EQ(loadScaledPicture(picture, width, height, s.picture), BitmapStatus::ok);
    EXPECT_EQ(loadTypeMap(types, s.picture, s.types), BitmapStatus::ok);
    return s;
}

// Where the picture holds the visit code of a page-3 address.
std::vector<QPoint> stripeOf(const ScaledBitmap& picture, int address) {
    std::vector<QPoint> points;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t i =
                3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                     static_cast<std::size_t>(x));
            if (picture.bytes[i] == 0 && picture.bytes[i + 1] == 0 &&
                picture.bytes[i + 2] == (address & 0xFF))
                points.emplace_back(x, y);
        }
    return points;
}

// The view's three states, told from the colour it shows for a type.
enum class State { current, recent, expired, unknown };

State stateOf(const QColor& colour, int type) {
    static const QColor recent[4] = {{255, 255, 0}, {8, 96, 168}, {255, 0, 0}, {255, 255, 255}};
    static const QColor expired[4] = {
        {128, 128, 0}, {102, 102, 102}, {102, 102, 102}, {63, 63, 63}};
    if (colour == QColor(255, 255, 0)) return State::current;
    if (colour == recent[type]) return State::recent;
    if (colour == expired[type]) return State::expired;
    return State::unknown;
}

TEST(FlowchartFirmware, EveryDataByteOfPage3HasAStripeOrAWarning) {
    // The program and the key table are db lines; each of their bytes is
    // drawn, or the generator says that no box takes it.
    const Firmware f = firmware();
    ASSERT_FALSE(f.chart.boxes.empty());
    const Shipped s = shipped(kMaxBitmapSide, kMaxBitmapSide);
    ASSERT_EQ(s.picture.divisor, 1);
    const std::regex db(R"(^[^;]*\bdb\b)", std::regex::icase);
    int drawn = 0;
    for (const assembler::SourceLine& line : f.listing.lines) {
        if (line.address < 0x300 || line.address > 0x3FF || !std::regex_search(line.text, db))
            continue;
        std::ostringstream range;
        range << "page-3 bytes 0x" << std::hex << std::uppercase << line.address << " to";
        const bool warned = std::any_of(
            f.messages.warnings.begin(), f.messages.warnings.end(),
            [&](const std::string& w) { return w.find(range.str()) != std::string::npos; });
        for (std::size_t b = 0; b < line.bytes.size(); ++b) {
            const int address = line.address + static_cast<int>(b);
            if ((address & 0xFF) == 0) continue;  // no pixel can name 0x300
            EXPECT_NE(stripeOf(s.picture, address).empty(), !warned) << line.text << " byte " << b;
            drawn += warned ? 0 : 1;
        }
    }
    // The key wait, the routines and the 32 entries of the key table.
    EXPECT_GT(drawn, 32 + 60);
}

TEST(FlowchartFirmware, ATypedTapeLightsTheRoutinesThatRanAndNoOthers) {
    const auto r = runProgram(
        "tallivo-run", {"--type", "1 +", "--flowchart", "512", "--flowchart-png", "flow.png"},
        "flowchart_tape");
    const Firmware fw = firmware();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QImage shown(QString::fromStdString((r.dir / "flow.png").string()));
    ASSERT_FALSE(shown.isNull());
    // The runner's screen may be smaller than the picture: read the pictures
    // at the scale the window showed them.
    const Shipped s = shipped(shown.width(), shown.height());
    ASSERT_EQ(QSize(s.picture.width, s.picture.height), shown.size());

    auto states = [&](int address) {
        std::set<State> seen;
        for (const QPoint& p : stripeOf(s.picture, address))
            seen.insert(
                stateOf(shown.pixelColor(p),
                        s.types.bytes[static_cast<std::size_t>(p.y() * s.types.width + p.x())]));
        EXPECT_FALSE(seen.empty()) << "no pixel of 0x" << std::hex << address << " at this scale";
        EXPECT_EQ(seen.count(State::unknown), 0u)
            << "a colour the view never shows at 0x" << std::hex << address;
        return seen;
    };
    auto lit = [&](int address) {
        const auto seen = states(address);
        return seen.count(State::current) + seen.count(State::recent) > 0;
    };
    auto dark = [&](int address) { return states(address) == std::set<State>{State::expired}; };
    auto keyEntry = [&](const std::string& name) {
        for (const ChartStep& step : boxOf(fw.chart, "keytable").steps)
            if (step.name == name) return step.address;
        ADD_FAILURE() << "no key-table entry named " << name;
        return 0;
    };

    // Ran: the key wait, the digit's end, every step of "+", and the
    // key-table entries of "1" and "+" (not those of the keys not typed).
    for (const char* label : {"main", "k_digit", "k_plus"})
        for (const ChartStep& step : boxOf(fw.chart, label).steps)
            EXPECT_TRUE(lit(step.address)) << label;
    EXPECT_TRUE(lit(keyEntry("1")));
    EXPECT_TRUE(lit(keyEntry("+")));
    EXPECT_TRUE(dark(keyEntry("7")));

    // Did not run: "=", "C", the keys not built, the overflow, "X", and the
    // entries of "X" and "=".
    for (const char* label : {"k_total", "k_clear", "k_sqrt", "k_overflow", "k_times"})
        for (const ChartStep& step : boxOf(fw.chart, label).steps)
            EXPECT_TRUE(dark(step.address)) << label;
    EXPECT_TRUE(dark(keyEntry("X")));
    EXPECT_TRUE(dark(keyEntry("=")));
}

TEST(FlowchartGenerator, DrawsTheShippedPicturesAndRefusesABrokenListing) {
    const auto good = runProgram(
        "tallivo-flowchart",
        {"--listing", kBin + "4001.lst", "--symbols", kBin + "4001.sym", "--output", "."},
        "flowchart_generator");
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_THAT(good.err, Not(HasSubstr("tallivo-flowchart")));  // no warning of its own
    EXPECT_TRUE(good.file("Flowchart.bmp") == readText(kBin + "Flowchart.bmp"));
    EXPECT_TRUE(good.file("types.bmp") == readText(kBin + "types.bmp"));

    // A @next to a label that does not exist: an error at the tag's line,
    // and no pictures.
    const auto inputs = std::filesystem::temp_directory_path() /
                        ("tallivo_flowchart_inputs_" + std::to_string(::getpid()));
    std::filesystem::create_directories(inputs);
    const std::string listing = (inputs / "bad.lst").string(),
                      symbols = (inputs / "bad.sym").string();
    std::ofstream(listing) << "                     1  ; @box X\n"
                              "                     2  ; @next nowhere\n"
                              "300  01              3  m: db 1\n";
    std::ofstream(symbols) << "m 0x300\n";
    const auto bad = runProgram("tallivo-flowchart",
                                {"--listing", listing, "--symbols", symbols, "--output", "."},
                                "flowchart_generator_bad");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_THAT(bad.err, HasSubstr("listing:2: error: @next names 'nowhere', which is no label"));
    EXPECT_FALSE(std::filesystem::exists(bad.dir / "Flowchart.bmp"));

    const auto missing =
        runProgram("tallivo-flowchart", {"--listing", "none.lst", "--symbols", symbols},
                   "flowchart_generator_missing");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("cannot read 'none.lst'"));
    std::filesystem::remove_all(inputs);
}

}  // namespace
}  // namespace tallivo::testing
