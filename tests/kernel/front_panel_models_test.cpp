// The keyboard's matrix, the printer's drum and the flowchart's recorder as
// plain components, without a window: what the web page and any other host
// rely on beyond what the desktop windows' tests cover.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "kernel/board_state.h"
#include "kernel/key_schedule.h"
#include "panel/key_matrix.h"
#include "panel/paper_roll.h"
#include "panel/pc_key_bindings.h"
#include "panel/printer_drum.h"
#include "resources/dialog_layouts.h"
#include "tools/flowchart_recorder.h"

namespace tallivo {
namespace {

class CountingMatrix final : public KeyMatrix {
  public:
    int lampChanges = 0;

  protected:
    void lampsChanged() override { ++lampChanges; }
};

class KeyMatrixTest : public ::testing::Test {
  protected:
    void SetUp() override {
        columns.fill(1);
        keys.connect(columns.data(), rows.data(), &lampM, &lampOvf, &lampNeg);
    }
    // Pulls one column low after another one, so the scan sees a change, and
    // gives the rows it reads.
    int rowsOf(int column) {
        columns.fill(1);
        columns[static_cast<std::size_t>(column == 0 ? 1 : 0)] = 0;
        keys.clockPhase1();
        columns.fill(1);
        columns[static_cast<std::size_t>(column)] = 0;
        keys.clockPhase1();
        return rows[0] | rows[1] << 1 | rows[2] << 2 | rows[3] << 3;
    }
    int key(const char* caption) {
        const int k = KeyMatrix::keyIndex(caption);
        EXPECT_GE(k, 0) << caption;
        return k;
    }

    std::array<Net, 10> columns{};
    std::array<Net, 4> rows{};
    Net lampM = 0, lampOvf = 0, lampNeg = 0;
    CountingMatrix keys;
};

TEST_F(KeyMatrixTest, KeysHeldWithoutAWindowReachTheirMatrixCells) {
    // Column, row bit and caption as the calculator is wired.
    const struct {
        int column;
        int bit;
        const char* caption;
    } cells[] = {{0, 1, "CM"}, {0, 8, "M+"}, {1, 1, "SQRT"}, {2, 8, "="},  {3, 2, "+"},
                 {4, 8, "."},  {5, 8, "00"}, {6, 8, "0"},    {7, 4, "CE"}, {7, 8, "C"}};
    for (const auto& cell : cells) {
        keys.setKeyDown(key(cell.caption), true);
        EXPECT_EQ(rowsOf(cell.column), cell.bit) << cell.caption;
        EXPECT_TRUE(keys.keyIsDown(key(cell.caption)));
        keys.setKeyDown(key(cell.caption), false);
        EXPECT_EQ(rowsOf(cell.column), 0) << cell.caption;
    }
}

TEST_F(KeyMatrixTest, NumbersOutsideTheKeysAndSwitchesChangeNothing) {
    for (const int k : {-1, KeyMatrix::kKeyCount, 1 << 20}) {
        keys.setKeyDown(k, true);
        EXPECT_FALSE(keys.pressKey(k));
        keys.releaseKey(k);
        EXPECT_FALSE(keys.keyIsDown(k));
    }
    EXPECT_EQ(keys.pressesWaiting(), 0u);
    for (int column = 0; column < 8; ++column) EXPECT_EQ(rowsOf(column), 0) << column;
    EXPECT_FALSE(keys.setDecimalPointIndex(8));
    EXPECT_FALSE(keys.setDecimalPointIndex(-1));
    EXPECT_FALSE(keys.setRoundingIndex(3));
    EXPECT_EQ(keys.decimalPointIndex, 0);
    EXPECT_EQ(keys.roundingIndex, 1);
    EXPECT_EQ(KeyMatrix::keyIndex("NOPE"), -1);
    EXPECT_EQ(KeyMatrix::keyCaption(30), "");
}

TEST_F(KeyMatrixTest, SwitchesAndLampsWithoutAWindow) {
    ASSERT_TRUE(keys.setDecimalPointIndex(7));
    EXPECT_EQ(rowsOf(8), 8);  // the last position reads as the 8 under it
    ASSERT_TRUE(keys.setRoundingIndex(2));
    EXPECT_EQ(rowsOf(9), 8);
    ASSERT_TRUE(keys.setRoundingIndex(0));
    EXPECT_EQ(rowsOf(9), 1);

    const int before = keys.lampChanges;
    lampNeg = 1;
    keys.clockPhase1();
    keys.clockPhase1();
    EXPECT_EQ(keys.lampChanges, before + 1);
    EXPECT_TRUE(keys.lampNeg());
    EXPECT_FALSE(keys.lampM());
}

TEST(KeyLayout, EveryKeyHasAPcKeyAndNoPcKeyHoldsTwo) {
    std::vector<int> codes;
    for (int k = 0; k < KeyMatrix::kKeyCount; ++k) {
        const std::string_view caption = KeyMatrix::keyCaption(k);
        EXPECT_EQ(KeyMatrix::keyIndex(caption), k);
        EXPECT_EQ(kPcKeyBindings[static_cast<std::size_t>(k)].caption, caption);
        EXPECT_FALSE(pcKeyTooltipText(caption).empty()) << caption;
        for (const int code : kPcKeyBindings[static_cast<std::size_t>(k)].keys) {
            if (code == 0) continue;
            EXPECT_EQ(calculatorKeyFor(code), caption);
            codes.push_back(code);
        }
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
    EXPECT_EQ(calculatorKeyFor(0), "");
    EXPECT_EQ(pcKeyTooltipText("="), "PC keys: Enter or =");
    EXPECT_EQ(pcKeyTooltipText("S"), "PC key: S");
}

// The paper, and the print line as it stood when each line was fed.
class WatchedRoll final : public PaperRoll {
  public:
    std::vector<std::string> printLineWhenFed;

  protected:
    void lineFed(std::string_view line, bool isRed) override {
        PaperRoll::lineFed(line, isRed);
        printLineWhenFed.emplace_back(printLine);
    }
};

TEST(PrinterDrumModel, FedLinesAreWholeAndThePrinterIsBlankForTheNext) {
    std::array<Net, 20> hammers{};
    Net advance = 0, fire = 0, ribbon = 0, index = 0, test = 0;
    WatchedRoll drum;
    drum.connect(hammers.data(), &advance, &fire, &ribbon, &index, &test);
    auto sector = [&] {
        for (int p = 0; p < PrinterDrum::kPeriodsPerSector; ++p) {
            drum.clockPhase1();
            drum.clockPhase2();
        }
    };
    // "7" in the last digit column and "+" as the left symbol, struck in
    // sectors 7 and 1, then fed in red.
    sector();  // sector 0
    hammers[0] = 1;
    fire = 1;
    sector();  // sector 1: "+ "
    hammers[0] = 0;
    fire = 0;
    for (int s = 2; s < 7; ++s) sector();
    hammers[17] = 1;
    fire = 1;
    ribbon = 1;
    advance = 1;
    sector();  // sector 7: "7", and the feed
    ASSERT_EQ(drum.lines.size(), 1u);
    EXPECT_EQ(drum.lines[0], "                -7 +    ");
    EXPECT_EQ(drum.lines[0].size(), 24u);
    EXPECT_TRUE(drum.red[0]);
    EXPECT_EQ(drum.printLineWhenFed[0], std::string(24, ' '));
}

// A 3 × 2 picture: one pixel for visits of 0x302 (red 2), one for entries at
// 0x302 (blue 2), the rest black.
class RecorderTest : public ::testing::Test {
  protected:
    static ScaledBitmap picture() {
        ScaledBitmap b;
        b.width = 3;
        b.height = 2;
        b.bytesPerPixel = 3;
        b.bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0,   // visit 0x02 at (0,0)
                   0, 0, 0, 0, 0, 0, 2, 0, 0};  // entry 0x02 at (2,1)
        return b;
    }
    static ScaledBitmap types(int width = 3, int height = 2) {
        ScaledBitmap t;
        t.width = width;
        t.height = height;
        t.bytesPerPixel = 1;
        t.bytes.assign(static_cast<std::size_t>(width * height), 2);
        return t;
    }
};

class AreaRecorder final : public FlowchartRecorder {
  public:
    std::vector<PixelRect> areas;

  protected:
    void pictureChanged(std::span<const PixelRect> changed) override {
        areas.assign(changed.begin(), changed.end());
    }
};

TEST_F(RecorderTest, TakesOnlyATypeMapOfThePicturesSize) {
    AreaRecorder r;
    Net bus = 0, sync = 0, test = 0, reset = 0;
    r.start(4, &bus, &sync, &test, &reset);
    EXPECT_FALSE(r.setTypes(types())) << "no picture yet";
    r.setPicture(picture(), true);
    EXPECT_FALSE(r.setTypes(types(2, 2)));
    EXPECT_FALSE(r.setTypes(types(3, 3)));
    EXPECT_TRUE(r.typeMap.empty());
    EXPECT_TRUE(r.setTypes(types()));
    EXPECT_EQ(r.typeMap.size(), 6u);
}

TEST_F(RecorderTest, APictureShortOfItsBytesShowsBlack) {
    AreaRecorder r;
    ScaledBitmap shortPicture = picture();
    shortPicture.bytes.resize(5);
    r.setPicture(std::move(shortPicture), false);
    EXPECT_EQ(r.displayRowBytes(), 12);
    EXPECT_EQ(r.displayImage, std::vector<std::uint8_t>(24, 0));
    EXPECT_FALSE(r.setTypes(types()));
}

TEST_F(RecorderTest, ATickReportsTheRecolouredPixelsAndColoursThem) {
    AreaRecorder r;
    Net bus = 0, sync = 0, test = 0, reset = 0;
    r.start(4, &bus, &sync, &test, &reset);
    r.setPicture(picture(), true);
    ASSERT_TRUE(r.setTypes(types()));
    const auto pixel = [&](int x, int y) {
        const std::size_t at = static_cast<std::size_t>(y * r.displayRowBytes() + x * 4);
        return std::array<int, 4>{r.displayImage[at], r.displayImage[at + 1],
                                  r.displayImage[at + 2], r.displayImage[at + 3]};
    };
    const auto tick = [&] {
        r.areas.clear();
        test = 0;
        r.clockPhase2();
        test = 1;
        r.clockPhase2();
    };
    // A visit of 0x302 just recorded: the first tick colours every mapped
    // pixel, entries first, and leaves the black one alone.
    r.visitCounters[2] = 4;
    r.needsRedraw = true;
    tick();
    ASSERT_EQ(r.areas.size(), 2u);
    EXPECT_EQ(r.areas[0].x, 2);
    EXPECT_EQ(r.areas[0].y, 1);
    EXPECT_EQ(r.areas[1].x, 0);
    EXPECT_EQ(r.areas[1].y, 0);
    EXPECT_EQ(r.areas[1].width, 1);
    EXPECT_EQ(r.areas[1].height, 1);
    // Blue, green, red, opaque: the visit current (yellow), the entry never
    // recorded (grey of type 2), black untouched.
    EXPECT_EQ(pixel(0, 0), (std::array<int, 4>{0, 255, 255, 255}));
    EXPECT_EQ(pixel(2, 1), (std::array<int, 4>{102, 102, 102, 255}));
    EXPECT_EQ(pixel(1, 0), (std::array<int, 4>{0, 0, 0, 255}));
    // Next tick the visit is recent (red for type 2); only its pixel is
    // reported. Then nothing changes until it expires.
    tick();
    ASSERT_EQ(r.areas.size(), 1u);
    EXPECT_EQ(r.areas[0].x, 0);
    EXPECT_EQ(pixel(0, 0), (std::array<int, 4>{0, 0, 255, 255}));
    tick();
    EXPECT_TRUE(r.areas.empty());
    tick();
    ASSERT_EQ(r.areas.size(), 1u);
    EXPECT_EQ(pixel(0, 0), (std::array<int, 4>{102, 102, 102, 255}));
}

TEST(PixelRectTest, GrowsToTakeInEachPixel) {
    PixelRect rect;
    EXPECT_TRUE(rect.isEmpty());
    rect.include(5, 3);
    rect.include(2, 7);
    rect.include(4, 4);
    EXPECT_EQ(rect.x, 2);
    EXPECT_EQ(rect.y, 3);
    EXPECT_EQ(rect.width, 4);
    EXPECT_EQ(rect.height, 5);
}

TEST(KeyScheduleTest, KeyHoldsAreReadWhole) {
    KeyHold hold;
    ASSERT_TRUE(parseKeyHold("M-=@10-20", hold));
    EXPECT_EQ(hold.caption, "M-=");
    EXPECT_EQ(hold.start, 10u);
    EXPECT_EQ(hold.end, 20u);
    ASSERT_TRUE(parseKeyHold("-@0-0", hold));
    EXPECT_EQ(hold.caption, "-");
    for (const char* bad :
         {"7", "@1-2", "7@", "7@1", "7@1-", "7@2-1", "7@1-2x", "7@ 1-2", "7@-1-2"})
        EXPECT_FALSE(parseKeyHold(bad, hold)) << bad;
}

TEST(KeyScheduleTest, ReleasesComeBeforePressesAtTheSamePeriod) {
    std::vector<KeyHold> holds{{"5", 100, 200}, {"5", 200, 300}};
    std::vector<KeyChange> changes;
    std::string unknown;
    ASSERT_TRUE(keyChanges(holds, changes, unknown));
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_FALSE(changes[1].down);
    EXPECT_TRUE(changes[2].down);
    EXPECT_EQ(changes[1].period, 200u);
    EXPECT_EQ(changes[2].period, 200u);
}

TEST(PanelStateJson, LampsKeysAndPaper) {
    KeyMatrix keys;
    std::array<Net, 10> columns{};
    std::array<Net, 4> rows{};
    Net m = 1, ovf = 0, neg = 1;
    keys.connect(columns.data(), rows.data(), &m, &ovf, &neg);
    keys.clockPhase1();
    keys.setKeyDown(KeyMatrix::keyIndex("M+"), true);
    keys.setKeyDown(KeyMatrix::keyIndex("S"), true);
    const std::vector<std::string> paper{"  1 \"+\"", "2"};
    EXPECT_EQ(panelStateJson(keys, paper),
              "\"lamps\":{\"M\":1,\"OVF\":0,\"NEG\":1},\"keysDown\":[\"S\",\"M+\"],"
              "\"paper\":[\"  1 \\\"+\\\"\",\"2\"]");
}

// Text pasted through the PC keys: the keys it types and what it skips.
TEST(PastedText, KeysOfATapeAndOfAColumnOfNumbers) {
    using Keys = std::vector<std::string_view>;
    const TypedText tape = keysForText("12.5+7,25=");
    EXPECT_EQ(tape.keys, (Keys{"1", "2", ".", "5", "+", "7", ".", "2", "5", "="}));
    EXPECT_TRUE(tape.skipped.empty());

    // One number a line: each is added, the last one too; a line that ends
    // with its own key keeps it, and blank lines and blanks type nothing.
    const TypedText column = keysForText(" 12.5\r\n7.25 -\n\n 3\n");
    EXPECT_EQ(column.keys, (Keys{"1", "2", ".", "5", "+", "7", ".", "2", "5", "-", "3", "+"}));
    EXPECT_EQ(keysForText("1\n2").keys, (Keys{"1", "+", "2", "+"}));
    // A single number is typed as the entry.
    EXPECT_EQ(keysForText("42").keys, (Keys{"4", "2"}));

    // Letters by their capitals; "<>" is one key, "<" or ">" alone too.
    EXPECT_EQ(keysForText("3x4<>s>m").keys, (Keys{"3", "X", "4", "<>", "S", "<>", "M+"}));

    // What has no key is named once each, in order, multi-byte characters whole.
    const TypedText odd = keysForText(
        "1a2\xE2\x82\xAC"
        "3a#");
    EXPECT_EQ(odd.keys, (Keys{"1", "2", "3"}));
    EXPECT_EQ(odd.skipped, (std::vector<std::string>{"a", "\xE2\x82\xAC", "#"}));
}

}  // namespace
}  // namespace tallivo
