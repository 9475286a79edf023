#include "tools/flowchart_view.h"

#include <gtest/gtest.h>

#include <QColor>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel/platform.h"
#include "tests/support/flowchart_bench.h"
#include "tests/tools/bitmap_writer.h"

namespace tallivo {
namespace {

using testing::BitmapSpec;
using testing::makeBitmap;
using testing::writeFile;

using Bytes = std::vector<std::uint8_t>;

// Colours of the view, red, green, blue.
const QColor kYellow(255, 255, 0);

// The bench (a fresh folder, messages captured, the Nets driven) with the two
// pictures written into its folder.
class FlowchartViewTest : public testing::FlowchartBench {
  protected:
    // A picture whose pixels are given as (blue, green, red) per column and
    // row, top row first, and a type map of stored values of the same shape.
    void writePictures(const std::vector<std::vector<Bytes>>& pixels,
                       const std::vector<std::vector<int>>& types) {
        BitmapSpec picture;
        picture.height = static_cast<int>(pixels.size());
        picture.width = static_cast<int>(pixels[0].size());
        picture.pixel = [pixels](int x, int y) {
            return pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
        };
        writeFile("Flowchart.bmp", makeBitmap(picture));
        BitmapSpec map;
        map.height = static_cast<int>(types.size());
        map.width = static_cast<int>(types[0].size());
        map.bitsPerPixel = 8;
        map.paletteEntries = 256;
        map.pixel = [types](int x, int y) {
            return Bytes{static_cast<std::uint8_t>(
                types[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)])};
        };
        writeFile("types.bmp", makeBitmap(map));
    }

    // One visit pixel of address 0x45 per type 0 to 3.
    void writeSimplePictures() {
        writePictures({{visit(0x45), visit(0x45), visit(0x45), visit(0x45)}}, {{0, 1, 100, 255}});
    }
    // The view opened on those pictures with `hitValue`.
    void openSimplePictures(int hitValue) {
        writeSimplePictures();
        ASSERT_EQ(open(hitValue), 0);
    }

    static Bytes visit(int a) { return {0, 0, static_cast<std::uint8_t>(a)}; }
    static Bytes skip(int a) { return {0, static_cast<std::uint8_t>(a), 0x33}; }
    static Bytes entry(int a) { return {static_cast<std::uint8_t>(a), 0x44, 0x55}; }
};

TEST_F(FlowchartViewTest, HitValueZeroCreatesNothing) {
    writeSimplePictures();
    EXPECT_EQ(open(0), 0);
    EXPECT_FALSE(view.isWindowOpen());
    EXPECT_FALSE(view.isVisible());
    EXPECT_TRUE(view.displayedImage().isNull());
    EXPECT_TRUE(messages.empty());
    view.clockPhase1();  // not connected: nothing to read
    view.clockPhase2();
}

TEST_F(FlowchartViewTest, OpensSizedToThePictureInItsOwnColours) {
    writePictures(
        {{visit(0x45), skip(0x10), entry(0x12)}, {Bytes{0, 0, 0}, Bytes{1, 2, 3}, visit(0xFF)}},
        {{1, 1, 1}, {200, 200, 200}});
    for (int depth : {32, 24}) {
        view.overrideDisplayDepth(depth);
        ASSERT_EQ(open(512), 0) << depth;
        EXPECT_TRUE(messages.empty());
        EXPECT_TRUE(view.isWindowOpen());
        EXPECT_TRUE(view.isVisible());
        EXPECT_EQ(view.windowTitle(), "Flowchart");
        EXPECT_EQ(view.size(), QSize(3, 2));
        EXPECT_EQ(view.fourBytePixels, depth == 32);
        EXPECT_EQ(view.displayImageSize, depth == 32 ? 3 * 4 * 2 : 12 * 2);
        EXPECT_EQ(view.previousAddress, 1);
        const QImage shown = view.displayedImage();
        ASSERT_EQ(shown.size(), QSize(3, 2));
        EXPECT_EQ(shown.pixelColor(0, 0), QColor(0x45, 0, 0));
        EXPECT_EQ(shown.pixelColor(1, 0), QColor(0x33, 0x10, 0));
        EXPECT_EQ(shown.pixelColor(2, 0), QColor(0x55, 0x44, 0x12));
        EXPECT_EQ(shown.pixelColor(0, 1), QColor(0, 0, 0));
        EXPECT_EQ(shown.pixelColor(1, 1), QColor(3, 2, 1));
        EXPECT_EQ(shown.pixelColor(2, 1), QColor(0xFF, 0, 0));
        EXPECT_EQ(view.typeMap, (Bytes{1, 1, 1, 2, 2, 2}));
    }
}

TEST_F(FlowchartViewTest, PictureLargerThanTheAreaIsShownAtAFraction) {
    // 5 × 4 in 2 × 2: d = 2, columns 0 and 2; rows 1 and 3 counted from the
    // bottom, which are top-row indices 2 and 0.
    std::vector<std::vector<Bytes>> pixels(4, std::vector<Bytes>(5));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                visit(16 * y + x + 1);
    writePictures(pixels, std::vector<std::vector<int>>(4, std::vector<int>(5, 1)));
    view.overrideAvailableArea(QSize(2, 2));
    ASSERT_EQ(open(512), 0);
    EXPECT_EQ(view.scaleDivisorUsed(), 2);
    EXPECT_EQ(view.size(), QSize(2, 2));
    EXPECT_EQ(pixel(0, 0), QColor(16 * 0 + 0 + 1, 0, 0));
    EXPECT_EQ(pixel(1, 0), QColor(16 * 0 + 2 + 1, 0, 0));
    EXPECT_EQ(pixel(0, 1), QColor(16 * 2 + 0 + 1, 0, 0));
    EXPECT_EQ(pixel(1, 1), QColor(16 * 2 + 2 + 1, 0, 0));
}

TEST_F(FlowchartViewTest, MeasuredAreaFitsASmallPictureUnscaled) {
    // Without an override the area is the screen's work area; a small
    // picture fits it unscaled.
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    EXPECT_EQ(view.scaleDivisorUsed(), 1);
    EXPECT_EQ(view.size(), QSize(4, 1));
}

TEST_F(FlowchartViewTest, ShippedPicturesLightTheStripeOfAnAddress) {
    // The pictures in examples/: sixteen boxes of sixteen address stripes,
    // in snake order; 0x340 to 0x34F is the last box of the second row.
    const std::filesystem::path examples = std::filesystem::path(TALLIVO_SOURCE_DIR) / "examples";
    std::filesystem::copy_file(examples / "Flowchart.bmp", "Flowchart.bmp");
    std::filesystem::copy_file(examples / "types.bmp", "types.bmp");
    view.overrideAvailableArea(QSize(800, 600));
    ASSERT_EQ(open(512), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(view.size(), QSize(752, 364));
    record(0x45);
    tick();
    const int boxX = 24 + 3 * (134 + 56) + 3, boxY = 24 + 46 + 44 + 3;
    EXPECT_EQ(pixel(boxX + 5 * 8 + 3, boxY + 20), kYellow);                // stripe 0x45
    EXPECT_EQ(pixel(boxX + 6 * 8 + 3, boxY + 20), QColor(102, 102, 102));  // stripe 0x46
    EXPECT_EQ(pixel(boxX + 5 * 8 + 3, boxY - 3 - 2 - 3), kYellow);         // its entry tick
    EXPECT_EQ(pixel(0, 0), QColor(0, 0, 0));                               // background
}

// The recorder: a page-3 cycle is recorded when the page-3 cycle before it
// was at 0x300 or 0x302.
TEST_F(FlowchartViewTest, RecordsTheCycleAfterOneAt0x300) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    record(0x45);
    EXPECT_EQ(view.visitCounters[0x45], 512);
    EXPECT_EQ(view.lastVisit, 0x45);
    EXPECT_EQ(view.markerCountdown, 512);
    EXPECT_TRUE(view.needsRedraw);
    EXPECT_EQ(view.previousAddress, 0x45);
    EXPECT_EQ(view.visitCounters[0x00], 0);  // 0x300 itself followed nothing
    EXPECT_FALSE(view.recordNext);
}

TEST_F(FlowchartViewTest, RecordsTheCycleAfterOneAt0x302) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    cycle(0x302);
    EXPECT_TRUE(view.recordNext);
    cycle(0x345);
    EXPECT_EQ(view.visitCounters[0x45], 512);
    EXPECT_EQ(view.lastVisit, 0x45);
    EXPECT_FALSE(view.recordNext);
    // Neighbours of 0x302 arm nothing.
    for (const int before : {0x301, 0x303, 0x304}) {
        cycle(before);
        cycle(0x366);
        EXPECT_EQ(view.visitCounters[0x66], 0) << before;
    }
}

TEST_F(FlowchartViewTest, OnlyTheCycleRightAfter0x300IsRecorded) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    cycle(0x300);
    cycle(0x301);
    cycle(0x345);
    EXPECT_EQ(view.visitCounters[0x01], 512);
    EXPECT_EQ(view.visitCounters[0x45], 0);
    EXPECT_EQ(view.lastVisit, 0x01);
}

TEST_F(FlowchartViewTest, CyclesOutsidePage3ChangeNothing) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    for (int address : {0x300, 0x145, 0x2FF, 0x445, 0x345}) cycle(address);
    EXPECT_EQ(view.visitCounters[0x45], 512);
    EXPECT_EQ(view.visitCounters[0xFF], 0);
    // A cycle at 0x102 or 0x002 is not at 0x302.
    for (int address : {0x102, 0x310, 0x002, 0x311}) cycle(address);
    EXPECT_EQ(view.visitCounters[0x10], 0);
    EXPECT_EQ(view.visitCounters[0x11], 0);
}

TEST_F(FlowchartViewTest, TwoAboveThePreviousRecordingIsASkip) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    record(0x10);
    record(0x12);
    EXPECT_EQ(view.skipCounters[0x10], 512);
    EXPECT_EQ(view.visitCounters[0x12], 512);
    EXPECT_EQ(view.entryCounters[0x12], 0);
    EXPECT_EQ(view.lastSkip, 0x10);
    EXPECT_EQ(view.lastVisit, 0x12);
    EXPECT_EQ(view.lastEntry, 0);
    // Three above is no skip.
    record(0x15);
    EXPECT_EQ(view.skipCounters[0x12], 0);
    EXPECT_EQ(view.lastSkip, 0);
}

TEST_F(FlowchartViewTest, RecordingAfterAnEntryCodeIsAnEntry) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    record(0x10);  // the first recording after construction is an entry
    EXPECT_EQ(view.entryCounters[0x10], 512);
    for (int code : {0xEF, 0xF1, 0xF3}) {
        view.entryCounters.fill(0);
        record(0x20, code);
        EXPECT_EQ(view.entryCounters[0x20], 0) << code;
        record(0x30);
        EXPECT_EQ(view.entryCounters[0x30], 512) << code;
        EXPECT_EQ(view.lastEntry, 0x30);
    }
    // Other bytes are no entry codes.
    for (int code : {0x00, 0xF0, 0xF2, 0xEE, 0xFF}) {
        view.entryCounters.fill(0);
        record(0x40, code);
        record(0x50);
        EXPECT_EQ(view.entryCounters[0x50], 0) << code;
    }
    // Two above the previous recording it is a skip instead.
    record(0x60, 0xF1);
    record(0x62);
    EXPECT_EQ(view.entryCounters[0x62], 0);
    EXPECT_EQ(view.skipCounters[0x60], 512);
}

TEST_F(FlowchartViewTest, FirstRecordingAfterResetIsAnEntryUnlessAt0x02) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    record(0x20, 0x00);
    cycle(0x300);  // recordNext is set now; reset clears it
    holdReset();
    EXPECT_FALSE(view.recordNext);
    EXPECT_EQ(view.previousAddress, 0);
    EXPECT_TRUE(view.afterEntryCode);
    cycle(0x377);
    EXPECT_EQ(view.visitCounters[0x77], 0);
    record(0x45);
    EXPECT_EQ(view.entryCounters[0x45], 512);

    holdReset();
    record(0x02);
    EXPECT_EQ(view.skipCounters[0x00], 512);
    EXPECT_EQ(view.entryCounters[0x02], 0);
    EXPECT_EQ(view.visitCounters[0x02], 512);
}

TEST_F(FlowchartViewTest, ResetStopsTheRecorderWhileHigh) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    cycle(0x300);
    reset = 1;
    cycle(0x345);
    reset = 0;
    EXPECT_EQ(view.visitCounters[0x45], 0);
}

// Decay and redraw on the rising edges of Test.
TEST_F(FlowchartViewTest, CountersDecayOncePerRisingEdgeOfTest) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(3));
    record(0x45);
    // Test held high for many periods is one tick; its fall is none.
    test = 1;
    for (int i = 0; i < 20; ++i) period(0, 0);
    EXPECT_EQ(view.visitCounters[0x45], 2);
    EXPECT_EQ(view.markerCountdown, 2);
    EXPECT_FALSE(view.needsRedraw);
    test = 0;
    for (int i = 0; i < 20; ++i) period(0, 0);
    EXPECT_EQ(view.visitCounters[0x45], 2);
    tick();
    tick();
    EXPECT_EQ(view.visitCounters[0x45], 0);
    EXPECT_EQ(view.entryCounters[0x45], 0);
    EXPECT_EQ(view.markerCountdown, 0);
    EXPECT_EQ(view.lastVisit, 0);
    EXPECT_EQ(view.lastEntry, 0);
    tick();
    EXPECT_EQ(view.visitCounters[0x45], 0);
    EXPECT_EQ(view.markerCountdown, 0);
}

TEST_F(FlowchartViewTest, RedrawsOnlyWhenAPixelMayChangeState) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(5));
    record(0x45);
    auto tickRedraws = [this] {
        const auto before = view.redraws;
        tick();
        return view.redraws != before;
    };
    EXPECT_TRUE(tickRedraws());  // new recording
    EXPECT_EQ(pixel(1, 0), kYellow);
    EXPECT_TRUE(tickRedraws());   // counter 4 → 3: leaves "recorded since the last tick"
    EXPECT_FALSE(tickRedraws());  // 3 → 2, marker 3 → 2: nothing changes state
    EXPECT_FALSE(tickRedraws());  // marker 2 → 1
    EXPECT_TRUE(tickRedraws());   // counter 1 → 0 and markers cleared
    EXPECT_FALSE(tickRedraws());
}

// The colour the hardware description gives a pixel (blue, green, red bytes
// and a type 0 to 3) from the view's counters and markers.
QColor expectedColour(const FlowchartView& v, const Bytes& bgr, int type) {
    const std::array<std::int32_t, 256>* counters = nullptr;
    int marker = 0, index = 0;
    if (bgr[0] != 0)
        counters = &v.entryCounters, marker = v.lastEntry, index = bgr[0];
    else if (bgr[1] != 0)
        counters = &v.skipCounters, marker = v.lastSkip, index = bgr[1];
    else if (bgr[2] != 0)
        counters = &v.visitCounters, marker = v.lastVisit, index = bgr[2];
    else
        return QColor(0, 0, 0);
    const int counter = (*counters)[static_cast<std::size_t>(index)];
    if (index == marker || counter == v.hitValue - 1) return kYellow;
    static const QColor recent[4] = {QColor(255, 255, 0), QColor(8, 96, 168), QColor(255, 0, 0),
                                     QColor(255, 255, 255)};
    static const QColor expired[4] = {QColor(128, 128, 0), QColor(102, 102, 102),
                                      QColor(102, 102, 102), QColor(63, 63, 63)};
    return counter == 0 ? expired[type] : recent[type];
}

TEST_F(FlowchartViewTest, RecolouringOnlyTheChangedAddressesGivesTheWholePicturesColours) {
    // Several addresses of every kind, each with pixels of several types and
    // at several places, so that a pixel left out of a redraw shows.
    const std::vector<std::vector<Bytes>> pixels = {
        {visit(0x10), visit(0x12), skip(0x10), entry(0x20), Bytes{0, 0, 0}, visit(0x30)},
        {visit(0x12), visit(0x10), entry(0x12), skip(0x30), visit(0x20), entry(0x30)},
        {skip(0x12), visit(0x30), visit(0x10), Bytes{0, 0, 0}, entry(0x10), visit(0x12)},
    };
    const std::vector<std::vector<int>> types = {
        {1, 100, 255, 0, 1, 64}, {255, 0, 65, 1, 254, 100}, {1, 1, 255, 0, 100, 0}};
    writePictures(pixels, types);
    ASSERT_EQ(open(6), 0);
    auto typeOf = [](int stored) {
        return stored == 0 ? 0 : stored <= 64 ? 1 : stored < 255 ? 2 : 3;
    };
    auto checkAll = [&](int step) {
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 6; ++x) {
                const Bytes& bgr = pixels[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
                if (bgr == Bytes{0, 0, 0}) continue;  // never touched
                EXPECT_EQ(
                    pixel(x, y),
                    expectedColour(
                        view, bgr,
                        typeOf(types[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)])))
                    << "step " << step << " pixel " << x << "," << y;
            }
    };
    // Recordings of all three kinds, ticks in between, until everything has
    // gone dark again.
    const std::vector<std::pair<int, int>> events = {
        {0x10, 0xF1}, {0x12, 0}, {0x30, 0}, {0x20, 0xEF}, {0x30, 0}, {0x10, 0}, {0x12, 0}};
    int step = 0;
    for (const auto& [address, byte] : events) {
        record(address, byte);
        tick();
        checkAll(step++);
        tick();
        checkAll(step++);
    }
    for (int i = 0; i < 8; ++i) {
        tick();
        checkAll(step++);
    }
}

TEST_F(FlowchartViewTest, ColourOfEachStateAndType) {
    // Columns: types 0, 1, 2, 3 (stored 0, 1, 100, 255).
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(4));
    record(0x45);
    record(0x50);  // moves the visit marker away from 0x45
    tick();
    // Recorded since the previous tick: current, yellow in every type.
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixel(x, 0), kYellow) << x;
    tick();
    EXPECT_EQ(pixel(0, 0), QColor(255, 255, 0));
    EXPECT_EQ(pixel(1, 0), QColor(8, 96, 168));
    EXPECT_EQ(pixel(2, 0), QColor(255, 0, 0));
    EXPECT_EQ(pixel(3, 0), QColor(255, 255, 255));
    tick();
    tick();
    EXPECT_EQ(pixel(0, 0), QColor(128, 128, 0));
    EXPECT_EQ(pixel(1, 0), QColor(102, 102, 102));
    EXPECT_EQ(pixel(2, 0), QColor(102, 102, 102));
    EXPECT_EQ(pixel(3, 0), QColor(63, 63, 63));
}

TEST_F(FlowchartViewTest, MarkerKeepsTheLastEventCurrentUntilItRunsOut) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(4));
    record(0x45);
    for (int i = 0; i < 3; ++i) {
        tick();
        EXPECT_EQ(pixel(1, 0), kYellow) << i;
    }
    tick();  // counter and marker reach 0 together
    EXPECT_EQ(pixel(1, 0), QColor(102, 102, 102));
}

TEST_F(FlowchartViewTest, FirstNonZeroByteChoosesTheTable) {
    // Blue names an entry, green a skip, red a visit; black is never touched.
    writePictures({{Bytes{0x20, 0x45, 0x45}, Bytes{0, 0x10, 0x45}, visit(0x45), Bytes{0, 0, 0}}},
                  {{1, 1, 1, 1}});
    ASSERT_EQ(open(512), 0);
    record(0x10);
    record(0x12);  // skip[0x10]
    record(0x45);
    tick();
    EXPECT_EQ(pixel(0, 0), QColor(102, 102, 102));  // entry 0x20: expired
    EXPECT_EQ(pixel(1, 0), kYellow);                // skip 0x10 counter just set
    EXPECT_EQ(pixel(2, 0), kYellow);
    EXPECT_EQ(pixel(3, 0), QColor(0, 0, 0));
}

TEST_F(FlowchartViewTest, HitValueOneKeepsEveryMappedPixelCurrent) {
    writePictures({{visit(0x45), visit(0x46), skip(0x10), entry(0x99), Bytes{0, 0, 0}}},
                  {{1, 2, 3, 0, 1}});
    ASSERT_EQ(open(1), 0);
    record(0x45);
    for (int i = 0; i < 5; ++i) {
        tick();
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixel(x, 0), kYellow) << i << "," << x;
        EXPECT_EQ(pixel(4, 0), QColor(0, 0, 0));
    }
}

// Failures: each with its message and result.
TEST_F(FlowchartViewTest, UnusablePictureFileGivesResult1) {
    const std::string text = "ERROR Connecting Flowchart module, please check bitmap file";
    // (A missing file would be found beside the test program, where the
    // build puts the pictures that ship; an empty one stands for it here.)
    writeSimplePictures();
    writeFile("Flowchart.bmp", {});
    EXPECT_EQ(open(512), 1);
    ASSERT_EQ(messages, std::vector<std::string>{text});

    BitmapSpec eightBit;
    eightBit.bitsPerPixel = 8;
    writeFile("Flowchart.bmp", makeBitmap(eightBit));
    messages.clear();
    EXPECT_EQ(open(512), 1);
    EXPECT_EQ(messages, std::vector<std::string>{text});

    auto truncated = makeBitmap(BitmapSpec{});
    truncated.pop_back();
    writeFile("Flowchart.bmp", truncated);
    messages.clear();
    EXPECT_EQ(open(512), 1);
    EXPECT_EQ(messages, std::vector<std::string>{text});
}

TEST_F(FlowchartViewTest, ABrokenPictureGetsItsBoxBeforeAnyWindowAndTheReasonOnStandardError) {
    std::vector<std::string> details;
    platform().detail = [&details](const std::string& text) { details.push_back(text); };
    std::vector<bool> windowShownAtBox;
    platform().showMessage = [&](const std::string& text) {
        messages.push_back(text);
        windowShownAtBox.push_back(view.isVisible());
    };
    writeSimplePictures();
    writeFile("Flowchart.bmp", {'X', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(open(512), 1);
    EXPECT_EQ(messages, std::vector<std::string>{
                            "ERROR Connecting Flowchart module, please check bitmap file"});
    EXPECT_EQ(windowShownAtBox, std::vector<bool>{false});
    EXPECT_FALSE(view.isVisible());
    ASSERT_EQ(details.size(), 3u);
    EXPECT_EQ(details[0].rfind(
                  "looked for Flowchart.bmp in:\n  " + (dir / "Flowchart.bmp").string() + "\n", 0),
              0u)
        << details[0];
    EXPECT_EQ(details[1], "Flowchart.bmp was refused: it does not start with \"BM\"");
    EXPECT_NE(details[2].find("-f0"), std::string::npos);

    writeSimplePictures();
    writeFile("types.bmp", {'B', 'M'});
    messages.clear();
    details.clear();
    windowShownAtBox.clear();
    EXPECT_EQ(open(512), 3);
    EXPECT_EQ(windowShownAtBox, std::vector<bool>{false});
    ASSERT_EQ(details.size(), 3u);
    EXPECT_EQ(details[1], "types.bmp was refused: it is shorter than the 54 bytes of its headers");
}

TEST_F(FlowchartViewTest, AFrameCloseLeavesTheWindowOpenUntilShutdown) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    EXPECT_FALSE(view.close());
    EXPECT_TRUE(view.isVisible());
    view.shutdown();
    EXPECT_FALSE(view.isVisible());
}

TEST_F(FlowchartViewTest, ShallowDisplayGivesResult2) {
    writeSimplePictures();
    view.overrideDisplayDepth(16);
    EXPECT_EQ(open(512), 2);
    EXPECT_EQ(messages, std::vector<std::string>{"ERROR: Incompatible display format"});
}

TEST_F(FlowchartViewTest, UnusableTypeFileGivesResult3) {
    const std::string text = "ERROR Connecting Flowchart module, please check type file";
    writeSimplePictures();
    writeFile("types.bmp", {'B', 'M'});
    EXPECT_EQ(open(512), 3);
    EXPECT_EQ(messages, std::vector<std::string>{text});

    // 24 bits per pixel, and a map smaller than the picture.
    std::filesystem::copy_file("Flowchart.bmp", "types.bmp",
                               std::filesystem::copy_options::overwrite_existing);
    messages.clear();
    EXPECT_EQ(open(512), 3);
    EXPECT_EQ(messages, std::vector<std::string>{text});

    writePictures({{visit(1), visit(2)}, {visit(3), visit(4)}}, {{1, 1}});
    messages.clear();
    EXPECT_EQ(open(512), 3);
    EXPECT_EQ(messages, std::vector<std::string>{text});
}

TEST_F(FlowchartViewTest, ShutdownTwiceAndOpenAgain) {
    ASSERT_NO_FATAL_FAILURE(openSimplePictures(512));
    EXPECT_EQ(view.shutdown(), 0);
    EXPECT_FALSE(view.isWindowOpen());
    EXPECT_FALSE(view.isVisible());
    EXPECT_TRUE(view.pictureBytes.empty());
    EXPECT_TRUE(view.displayImage.empty());
    EXPECT_TRUE(view.typeMap.empty());
    EXPECT_TRUE(view.displayedImage().isNull());
    EXPECT_EQ(view.shutdown(), 0);
    EXPECT_FALSE(view.isWindowOpen());
    // A tick after shutdown has nothing to colour.
    record(0x45);
    tick();

    ASSERT_EQ(open(512), 0);
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.visitCounters[0x45], 0);
    EXPECT_EQ(view.displayedImage().size(), QSize(4, 1));
}

}  // namespace
}  // namespace tallivo
