// The flowchart pictures of the firmware: the chart read from the tags of a
// listing, its drawing in the colour code of the flowchart window, and the
// pictures that the build ships, opened and lit by the window.
#include "pictures/flowchart_pictures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QColor>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "asm/output_files.h"
#include "pictures/flowchart_chart.h"
#include "tests/support/flowchart_bench.h"
#include "tools/flowchart_view.h"

namespace tallivo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ReadChart {
    bool ok = false;
    Chart chart;
    ChartMessages messages;
};

ReadChart readFromTexts(const std::string& listingText, const std::string& symbolsText) {
    ReadChart r;
    assembler::Listing listing;
    std::map<std::string, std::int64_t> symbols;
    std::string error;
    EXPECT_TRUE(assembler::readListing(listingText, listing, error)) << error;
    EXPECT_TRUE(assembler::readSymbols(symbolsText, symbols, error)) << error;
    r.ok = readChart(listing, symbols, r.chart, r.messages);
    return r;
}

// The chart of a source, through the listing and symbol table it assembles to;
// included as prog.asm, as program.asm is in the firmware, so that the listing
// names its file.
ReadChart chartOf(const std::string& source, const std::string& mainTail = "") {
    const assembler::FileReader reader = [source](const std::string&) {
        return std::optional<std::string>(source);
    };
    const assembler::Assembly a =
        assembler::assemble(" include \"prog.asm\"\n" + mainTail, "main.asm", reader);
    EXPECT_TRUE(a.ok()) << (a.diagnostics.empty() ? ""
                                                  : assembler::formatDiagnostic(a.diagnostics[0]));
    return readFromTexts(assembler::formatListing(a), assembler::formatSymbols(a));
}

// The chart of the firmware that the build assembled.
ReadChart firmwareChart() {
    return readFromTexts(fileText(std::string(TALLIVO_BIN_DIR) + "/4001.lst"),
                         std::string(fileText(std::string(TALLIVO_BIN_DIR) + "/4001.sym")));
}

std::vector<int> addresses(const ChartBox& box) {
    std::vector<int> out;
    for (const ChartStep& s : box.steps) out.push_back(s.address);
    return out;
}

std::vector<int> marked(const Chart& chart, bool ChartStep::*mark) {
    std::vector<int> out;
    for (const ChartBox& box : chart.boxes)
        for (const ChartStep& s : box.steps)
            if (s.*mark) out.push_back(s.address);
    return out;
}

// The seed programs of the listing fuzz target, which the chart tests read too.
std::string listingSeed(const std::string& name) {
    return fileText(std::string(TALLIVO_SOURCE_DIR) + "/fuzz/corpus/listing/" + name);
}

// A small program with every kind of box and mark (its first lines say which).
const std::string kProgram = listingSeed("tagged.asm");

TEST(FlowchartChart, TheListingSeedsAreWhatTheirSourcesAssembleTo) {
    // The fuzz target starts from these listings and symbol tables: they stay
    // those of the sources beside them.
    for (const char* name : {"tagged", "key_table"}) {
        SCOPED_TRACE(name);
        const assembler::Assembly a =
            assembler::assemble(listingSeed(std::string(name) + ".asm"), name, {});
        ASSERT_TRUE(a.ok());
        EXPECT_EQ(assembler::formatListing(a), listingSeed(std::string(name) + ".lst"));
        EXPECT_EQ(assembler::formatSymbols(a), listingSeed(std::string(name) + ".sym"));
    }
}

TEST(FlowchartChart, BoxesRunFromTheirLabelToTheNextBox) {
    const ReadChart r = chartOf(kProgram);
    ASSERT_TRUE(r.ok) << (r.messages.errors.empty() ? "" : r.messages.errors[0]);
    EXPECT_TRUE(r.messages.warnings.empty());
    const auto& boxes = r.chart.boxes;
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].title, "Wait");
    EXPECT_EQ(boxes[0].label, "main");
    EXPECT_THAT(addresses(boxes[0]), ElementsAre(0x304));
    EXPECT_THAT(addresses(boxes[1]), ElementsAre(0x305, 0x306, 0x307, 0x308));
    EXPECT_THAT(addresses(boxes[2]), ElementsAre(0x309, 0x30A, 0x30B));
    EXPECT_THAT(addresses(boxes[3]), ElementsAre(0x3F0, 0x3F1, 0x3F2, 0x3F3));
    // r_b2 lies inside B; a box's arrow back to itself counts once; a @next
    // after the label still belongs to its box.
    EXPECT_THAT(boxes[0].next, ElementsAre(1, 2));
    EXPECT_THAT(boxes[1].next, ElementsAre(0, 2, 1));
    EXPECT_THAT(boxes[2].next, ElementsAre(0));
    EXPECT_FALSE(boxes[1].table);
    EXPECT_TRUE(boxes[3].table);
    // The table: one column per line, names from a comment that lists them.
    EXPECT_EQ(boxes[3].lineCount(), 2);
    EXPECT_EQ(boxes[3].steps[0].name, "one");
    EXPECT_EQ(boxes[3].steps[1].name, "two");
    EXPECT_EQ(boxes[3].steps[2].name, "");
    EXPECT_EQ(boxes[3].steps[3].name, "");
    EXPECT_EQ(boxes[3].steps[3].line, 1);
    EXPECT_EQ(r.chart.boxAt(0x303), -1);
    EXPECT_EQ(r.chart.boxAt(0x3F3), 3);
    EXPECT_EQ(r.chart.boxAt(0x3F4), -1);
    EXPECT_EQ(r.chart.quietAddress, 0x01);
}

TEST(FlowchartChart, MarksStandWhereTheViewCanLightThem) {
    const ReadChart r = chartOf(kProgram);
    ASSERT_TRUE(r.ok);
    // The start (the first recording after reset is an entry), the bytes
    // after 0xF3 inside A, the table that the dispatch 0xF1 leaves through,
    // and the @entry line's first byte.
    EXPECT_THAT(marked(r.chart, &ChartStep::entry),
                ElementsAre(0x304, 0x307, 0x30A, 0x3F0, 0x3F1, 0x3F2, 0x3F3));
    // The @skip line's last byte.
    EXPECT_THAT(marked(r.chart, &ChartStep::skip), ElementsAre(0x308));

    // Without a dispatch nothing enters the table.
    std::string noDispatch = kProgram;
    noDispatch.replace(noDispatch.find("0xF1"), 4, "0x01");
    const ReadChart plain = chartOf(noDispatch);
    ASSERT_TRUE(plain.ok);
    EXPECT_THAT(marked(plain.chart, &ChartStep::entry), ElementsAre(0x304, 0x307, 0x30A));
}

TEST(FlowchartChart, ABoxEndsAtAnOrgOrItsFileAndATableGoesOnInPieces) {
    // The key table written in rows between other boxes, as the firmware
    // does, with 4004 code in page 3 that the window never records.
    const ReadChart r = chartOf(listingSeed("key_table.asm"), " db 0x13\n");
    ASSERT_TRUE(r.ok) << (r.messages.errors.empty() ? "" : r.messages.errors[0]);
    const auto& boxes = r.chart.boxes;
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_THAT(addresses(boxes[1]), ElementsAre(0x3C8, 0x3C9, 0x3CA, 0x3CB, 0x3D8, 0x3D9));
    EXPECT_THAT(addresses(boxes[2]), ElementsAre(0x3D0, 0x3D1, 0x3D4));  // not ldm, bbl
    std::vector<std::string> names;
    std::vector<int> rows;
    for (const ChartStep& step : boxes[1].steps) {
        names.push_back(step.name);
        rows.push_back(step.line);
    }
    EXPECT_THAT(names, ElementsAre("K1", "K2", "", "K4", "K5", "K6"));
    EXPECT_THAT(rows, ElementsAre(0, 0, 0, 0, 1, 1));
    // The byte after the include is main.asm's, and no box there takes it.
    ASSERT_EQ(r.messages.warnings.size(), 1u) << ::testing::PrintToString(r.messages.warnings);
    EXPECT_THAT(r.messages.warnings[0],
                HasSubstr("main.asm:2: warning: page-3 bytes 0x3DA to 0x3DA are in no box"));

    // Without a table in the file, bytes after an org stand in no box.
    const ReadChart loose =
        chartOf(" org 0x304\n; @box X\n; @next m\nm: db 1\n org 0x310\n db 2, 3\n");
    ASSERT_TRUE(loose.ok);
    EXPECT_THAT(addresses(loose.chart.boxes[0]), ElementsAre(0x304));
    ASSERT_EQ(loose.messages.warnings.size(), 1u);
    EXPECT_THAT(loose.messages.warnings[0],
                HasSubstr("prog.asm:6: warning: page-3 bytes 0x310 to 0x311 are in no box"));
}

TEST(FlowchartChart, TagErrorsNameTheirFileAndLine) {
    const std::string page3 = " org 0x300\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {page3 + "; @box X\n; @next nowhere\nm: db 1\n",
         "prog.asm:3: error: @next names 'nowhere', which is no label"},
        {page3 + "m: db 1\n; @box X\n", "prog.asm:3: error: @box \"X\" has no label after it"},
        {page3 + "; @box X\n; @box Y\nm: db 1\n",
         "prog.asm:2: error: @box \"X\" has no label after it"},
        {" org 0x200\n; @box X\nm: db 1\n",
         "prog.asm:3: error: box \"X\" starts at m = 0x200, outside page 3"},
        {page3 + "f: db 1\n; @box X\n; @next f\nm: db 1\n",
         "prog.asm:4: error: @next names 'f' at 0x300, which lies in no box"},
        {page3 + "; @box X\na:\n; @box Y\nb: db 1\n",
         "prog.asm:4: error: box \"Y\" starts where \"X\" does, at 0x300"},
        {page3 + "m: db 1\n", "listing: error: no @box tags"},
        {page3 + "; @next m\nm: db 1\n", "prog.asm:2: error: @next before any @box"},
        {page3 + "; @box\nm: db 1\n", "prog.asm:2: error: @box without a title"},
    };
    for (const auto& [source, message] : cases) {
        const ReadChart r = chartOf(source);
        EXPECT_FALSE(r.ok) << source;
        ASSERT_FALSE(r.messages.errors.empty()) << source;
        EXPECT_THAT(r.messages.errors[0], HasSubstr(message)) << source;
    }
    // A box at 0x300 loses that byte, which no pixel can name, and says so.
    const ReadChart r = chartOf(page3 + "; @box X\n; @next m\nm: db 1, 2\n");
    ASSERT_TRUE(r.ok);
    EXPECT_THAT(addresses(r.chart.boxes[0]), ElementsAre(0x301));
    ASSERT_EQ(r.messages.warnings.size(), 1u);
    EXPECT_THAT(r.messages.warnings[0], HasSubstr("prog.asm:4: warning: 0x300 cannot be shown"));
    // A listing whose symbol table lacks the box's label.
    const ReadChart stale =
        readFromTexts("                     1  ; @box X\n300  01              2  m: db 1\n", "");
    EXPECT_FALSE(stale.ok);
    ASSERT_FALSE(stale.messages.errors.empty());
    EXPECT_THAT(stale.messages.errors[0],
                HasSubstr("listing:2: error: label 'm' is not in the symbol table"));
}

// Reading a drawn picture: the code and the type of a pixel.
struct Pixel {
    std::uint8_t blue, green, red, type;
    bool operator==(const Pixel&) const = default;
};
Pixel at(const CodedPicture& p, int x, int y) {
    const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
                          static_cast<std::size_t>(x);
    return {p.bgr[3 * i], p.bgr[3 * i + 1], p.bgr[3 * i + 2], p.types[i]};
}
bool isBlack(const Pixel& p) {
    return p.blue == 0 && p.green == 0 && p.red == 0;
}

// Whether some pixel of `area` satisfies `test`.
template <typename Test>
int count(const CodedPicture& p, QRect area, Test test) {
    area &= QRect(0, 0, p.width, p.height);
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += test(at(p, x, y)) ? 1 : 0;
    return n;
}

bool isLine(const Pixel& p, const Chart& chart) {
    return p.blue == 0 && p.green == 0 && p.red == chart.quietAddress && p.type == kTypeLine;
}

// Checks what every drawing must hold: boxes apart and inside the picture,
// each step's stripe (and its marks) inside its own box, every coloured
// pixel a step of the box it stands in or a line, each title written, an
// arrow into every box that an arrow goes to and none into the others.
void expectSoundDrawing(const Chart& chart, const FlowchartDrawing& d) {
    const CodedPicture& p = d.picture;
    ASSERT_EQ(d.boxes.size(), chart.boxes.size());
    const QRect frame(0, 0, p.width, p.height);
    std::set<int> entered;
    for (const ChartBox& b : chart.boxes) entered.insert(b.next.begin(), b.next.end());
    for (std::size_t i = 0; i < chart.boxes.size(); ++i) {
        const ChartBox& box = chart.boxes[i];
        const QRect r = d.boxes[i];
        EXPECT_TRUE(frame.contains(r)) << box.title;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(r.intersects(d.boxes[j])) << box.title << " / " << j;
        for (const ChartStep& s : box.steps) {
            const auto a = static_cast<std::uint8_t>(s.address);
            EXPECT_GT(count(p, r,
                            [&](const Pixel& x) {
                                return x == Pixel{0, 0, a, kTypeStripe};
                            }),
                      0)
                << box.title << " step " << std::hex << s.address;
            EXPECT_EQ(count(p, r,
                            [&](const Pixel& x) {
                                return x == Pixel{a, 0, 0, kTypeMark};
                            }) > 0,
                      s.entry)
                << box.title << " entry " << std::hex << s.address;
            EXPECT_EQ(count(p, r,
                            [&](const Pixel& x) {
                                return x == Pixel{0, a, 0, kTypeMark};
                            }) > 0,
                      s.skip)
                << box.title << " skip " << std::hex << s.address;
        }
        EXPECT_GT(count(p, r, isBlack), 20) << "no title in " << box.title;
        const QRect above(r.left(), r.top() - 1, r.width(), 1),
            below(r.left(), r.bottom() + 1, r.width(), 1);
        auto line = [&](const Pixel& x) { return isLine(x, chart); };
        EXPECT_EQ(count(p, above, line) > 0, entered.count(static_cast<int>(i)) != 0)
            << "arrow into " << box.title;
        EXPECT_EQ(count(p, below, line) > 0, !box.next.empty()) << "line out of " << box.title;
    }
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const Pixel px = at(p, x, y);
            if (isBlack(px) || px.red == chart.quietAddress) continue;
            const int address = 0x300 | (px.blue ? px.blue : px.green ? px.green : px.red);
            const int box = chart.boxAt(address);
            ASSERT_GE(box, 0) << x << "," << y;
            ASSERT_TRUE(d.boxes[static_cast<std::size_t>(box)].contains(x, y)) << x << "," << y;
        }
}

TEST(FlowchartPictures, TheFirmwareIsDrawnSoundlyWithinTheScreen) {
    const ReadChart r = firmwareChart();
    ASSERT_TRUE(r.ok) << (r.messages.errors.empty() ? "" : r.messages.errors[0]);
    const FlowchartDrawing d = drawFlowchart(r.chart);
    EXPECT_TRUE(d.fits) << d.picture.width << " x " << d.picture.height;
    EXPECT_LE(d.picture.width, kFlowchartMaxWidth);
    EXPECT_LE(d.picture.height, kFlowchartMaxHeight);
    expectSoundDrawing(r.chart, d);
    // The key wait stands above every box its arrows reach.
    for (int next : r.chart.boxes[0].next)
        EXPECT_LT(d.boxes[0].bottom(), d.boxes[static_cast<std::size_t>(next)].top());
}

TEST(FlowchartPictures, EveryKindOfBoxAndMarkIsDrawnSoundly) {
    // A self-loop (back up along the left edge), a table beside the key
    // wait, entry and skip marks.
    const ReadChart r = chartOf(kProgram);
    ASSERT_TRUE(r.ok);
    const FlowchartDrawing d = drawFlowchart(r.chart);
    EXPECT_TRUE(d.fits);
    expectSoundDrawing(r.chart, d);
    EXPECT_EQ(d.boxes[3].top(), d.boxes[0].top());  // the table stands in the first row
}

TEST(FlowchartPictures, ALongRowWrapsAndEveryBoxStaysReachable) {
    // A key wait with thirty routines that go back to it, two with a common
    // successor, and a table: more than one row of routines is needed.
    Chart chart;
    ChartBox wait{"Wait for a key", "main", 0x301, {{0x301, 0xF1}}, {}, false};
    chart.boxes.push_back(wait);
    for (int i = 0; i < 30; ++i) {
        ChartBox routine{"Routine number " + std::to_string(i), "r", 0x302 + 3 * i, {}, {0}, false};
        for (int k = 0; k < 3; ++k) routine.steps.push_back({0x302 + 3 * i + k, 0x10});
        chart.boxes[0].next.push_back(i + 1);
        chart.boxes.push_back(routine);
    }
    chart.boxes.push_back({"Both end here", "e", 0x360, {{0x360, 0x0C}}, {0}, false});
    chart.boxes[1].next.push_back(31);
    chart.boxes[30].next.push_back(31);
    ChartBox table{"Table", "t", 0x3F0, {}, {}, true};
    for (int k = 0; k < 8; ++k)
        table.steps.push_back({0x3F0 + k, 0x05, k / 4, k % 4, "k" + std::to_string(k), true});
    chart.boxes.push_back(table);
    chart.quietAddress = 0x70;

    const FlowchartDrawing d = drawFlowchart(chart);
    EXPECT_LE(d.picture.width, kFlowchartMaxWidth);
    std::set<int> routineRows;
    for (int i = 1; i <= 30; ++i) routineRows.insert(d.boxes[static_cast<std::size_t>(i)].top());
    EXPECT_GE(routineRows.size(), 2u);
    expectSoundDrawing(chart, d);
}

// The bench with the pictures that the build put beside the executables.
class ShippedPicturesTest : public testing::FlowchartBench {
  protected:
    void SetUp() override {
        FlowchartBench::SetUp();
        for (const char* name : {"Flowchart.bmp", "types.bmp"})
            std::filesystem::copy_file(std::filesystem::path(TALLIVO_BIN_DIR) / name, dir / name);
    }
};

TEST_F(ShippedPicturesTest, TheyAreTheDrawingOfTheFirmware) {
    const ReadChart r = firmwareChart();
    ASSERT_TRUE(r.ok);
    const FlowchartDrawing d = drawFlowchart(r.chart);
    const auto picture = pictureFile(d.picture), types = typesFile(d.picture);
    EXPECT_TRUE(fileText("Flowchart.bmp") == std::string(picture.begin(), picture.end()));
    EXPECT_TRUE(fileText("types.bmp") == std::string(types.begin(), types.end()));
}

TEST_F(ShippedPicturesTest, TheViewOpensThemUnscaledAndLightsAStep) {
    const ReadChart r = firmwareChart();
    ASSERT_TRUE(r.ok);
    const FlowchartDrawing d = drawFlowchart(r.chart);
    // The room under the panels on a 1280 x 800 screen.
    view.overrideAvailableArea(QSize(1280, 500));
    ASSERT_EQ(open(512), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(view.scaleDivisorUsed(), 1);
    EXPECT_EQ(view.size(), QSize(d.picture.width, d.picture.height));

    // The "+" routine's first byte, fetched by the interpreter's FIN at 0x300.
    const int box =
        static_cast<int>(std::find_if(r.chart.boxes.begin(), r.chart.boxes.end(),
                                      [](const ChartBox& b) { return b.label == "k_plus"; }) -
                         r.chart.boxes.begin());
    ASSERT_LT(box, static_cast<int>(r.chart.boxes.size()));
    const ChartStep& step = r.chart.boxes[static_cast<std::size_t>(box)].steps.front();
    cycle(0x300, 0x32);
    cycle(step.address, step.byte);
    tick();
    QPoint lit(-1, -1), line(-1, -1), title(-1, -1);
    const QRect rect = d.boxes[static_cast<std::size_t>(box)];
    for (int y = 0; y < d.picture.height; ++y)
        for (int x = 0; x < d.picture.width; ++x) {
            const Pixel px = at(d.picture, x, y);
            if (px == Pixel{0, 0, static_cast<std::uint8_t>(step.address), kTypeStripe})
                lit = {x, y};
            if (isLine(px, r.chart)) line = {x, y};
            if (isBlack(px) && rect.contains(x, y)) title = {x, y};
        }
    EXPECT_EQ(pixel(lit.x(), lit.y()), QColor(255, 255, 0));    // current: yellow
    EXPECT_EQ(pixel(line.x(), line.y()), QColor(128, 128, 0));  // a line never lights: olive
    EXPECT_EQ(pixel(title.x(), title.y()), QColor(0, 0, 0));    // the title stays black
    const int next = r.chart.boxes[static_cast<std::size_t>(box)].steps[1].address;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (at(d.picture, x, y) == Pixel{0, 0, static_cast<std::uint8_t>(next), kTypeStripe})
                ASSERT_EQ(pixel(x, y), QColor(102, 102, 102));  // its next step has not run
}

}  // namespace
}  // namespace tallivo
