// The drum printer on the offscreen platform: drum timing, striking, the red
// mark, paper feed and the paper's Copy and Save.
#include "panel/printer_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <array>
#include <initializer_list>
#include <string>

#include "tests/panel/qt_printers.h"

namespace tallivo {
namespace {

constexpr int kSector = PrinterPanel::kPeriodsPerSector;

class PrinterPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        printer.connect(hammers.data(), &paperAdvance, &hammerFire, &ribbonRed, &drumIndex, &test);
        QObject::connect(&printer, &PrinterPanel::lineEmitted,
                         [this](const QString& line) { emitted.append(line); });
    }

    void run(int periods) {
        for (int i = 0; i < periods; ++i) {
            printer.clockPhase1();
            printer.clockPhase2();
        }
    }
    // Runs up to the last period of `sector`: the next period ends it.
    void runToEndOf(int sector) {
        while (printer.sector != sector || printer.sectorClock != kSector - 1) run(1);
    }
    // The boundary at the end of `sector`, with these hammer lines held and
    // HammerFire / PaperAdvance as given.
    void boundary(int sector, std::initializer_list<int> lines, bool fire, bool advance) {
        runToEndOf(sector);
        for (const int line : lines) hammers[static_cast<std::size_t>(line)] = 1;
        hammerFire = fire ? 1 : 0;
        paperAdvance = advance ? 1 : 0;
        run(1);
        hammers.fill(0);
        hammerFire = 0;
        paperAdvance = 0;
    }
    std::string line() const { return printer.printLine; }
    // A paper line: columns 0-17 (padded with spaces), then the symbol fields.
    static QString paperLine(const char* digits, const char* left = "  ",
                             const char* right = "  ") {
        return QString::fromLatin1(digits).leftJustified(18) + QLatin1Char(' ') +
               QString::fromLatin1(left) + QLatin1Char(' ') + QString::fromLatin1(right);
    }

    std::array<Net, 20> hammers{};
    Net paperAdvance = 0;
    Net hammerFire = 0;
    Net ribbonRed = 0;
    Net drumIndex = 0;
    Net test = 0;
    QStringList emitted;
    PrinterPanel printer;
};

TEST_F(PrinterPanelTest, DrumIndexAndTestTiming) {
    for (int period = 0; period < kSector; ++period) {
        run(1);
        ASSERT_EQ(drumIndex, 1) << period;
        ASSERT_EQ(test, period < 1600 ? 1 : 0) << period;
    }
    // First period of sector 1.
    run(1);
    EXPECT_EQ(drumIndex, 0);
    EXPECT_EQ(test, 1);
    // Around the boundary from sector 12 back to 0: in the ending period
    // DrumIndex still shows 12 and Test is low.
    runToEndOf(12);
    run(1);
    EXPECT_EQ(drumIndex, 0);
    EXPECT_EQ(test, 0);
    EXPECT_EQ(printer.sector, 0);
    run(1);
    EXPECT_EQ(drumIndex, 1);
    EXPECT_EQ(test, 1);
    EXPECT_EQ(printer.sectorClock, 1);
}

TEST_F(PrinterPanelTest, LineCollectsCharactersOverSectors) {
    boundary(1, {2, 3}, true, false);
    boundary(4, {4}, true, false);
    boundary(10, {5}, true, false);
    boundary(12, {17}, true, false);
    EXPECT_EQ(line(), "  114.           -      ");
    boundary(0, {}, false, true);
    ASSERT_EQ(printer.paperLines(), QStringList{paperLine("  114.           -")});
    EXPECT_EQ(line(), std::string(24, ' '));
}

TEST_F(PrinterPanelTest, SymbolsAndUnusedHammers) {
    boundary(5, {0}, true, false);
    boundary(10, {1}, true, false);
    EXPECT_EQ(line().substr(18), " M+ Ex");
    boundary(0, {0, 1}, true, false);
    EXPECT_EQ(line().substr(18), " <> # ");

    printer.clearLine();
    boundary(7, {18, 19}, true, false);
    EXPECT_EQ(line(), std::string(24, ' '));

    // Hammers raised without HammerFire strike nothing either.
    boundary(3, {2, 0, 1}, false, false);
    EXPECT_EQ(line(), std::string(24, ' '));
}

TEST_F(PrinterPanelTest, EverySectorsCharacterAndSymbols) {
    const char digits[] = "0123456789..-";
    const char* left[] = {"<>", "+ ", "- ", "X ", "/ ", "M+", "M-",
                          "^ ", "= ", "SQ", "% ", "C ", "R "};
    const char* right[] = {"# ", "* ", "1 ", "2 ", "3 ", "M+", "M-",
                           "T ", "K ", "E ", "Ex", "C ", "M "};
    for (int sector = 0; sector < 13; ++sector) {
        boundary(sector, {0, 1, 2, 9, 17}, true, true);
        ASSERT_EQ(emitted.size(), sector + 1);
        const std::string printed = emitted.last().toStdString();
        EXPECT_EQ(printed[2], digits[sector]) << sector;
        EXPECT_EQ(printed[9], digits[sector]) << sector;
        EXPECT_EQ(printed[17], digits[sector]) << sector;
        EXPECT_EQ(printed.substr(19, 2), left[sector]) << sector;
        EXPECT_EQ(printed.substr(22, 2), right[sector]) << sector;
    }
}

TEST_F(PrinterPanelTest, PeriodFillAtSectorEleven) {
    std::initializer_list<int> all = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    boundary(11, all, true, false);
    EXPECT_EQ(line(), "  ................      ");
}

TEST_F(PrinterPanelTest, PaperFeedAtBoundariesOnly) {
    // A pulse that starts and ends between two boundaries does nothing.
    run(100);
    hammers[5] = 1;
    hammerFire = 1;
    paperAdvance = 1;
    run(kSector - 500);
    hammerFire = 0;
    paperAdvance = 0;
    run(1000);
    EXPECT_TRUE(printer.paperLines().isEmpty());
    EXPECT_EQ(line(), std::string(24, ' '));
    hammers.fill(0);

    // Held across three boundaries: one line each, the later ones holding
    // only what their own boundary struck.
    runToEndOf(2);
    hammers[2] = 1;
    hammerFire = 1;
    paperAdvance = 1;
    run(1);
    hammerFire = 0;
    run(2 * kSector);
    paperAdvance = 0;
    run(2 * kSector);
    EXPECT_EQ(printer.paperLines(), (QStringList{paperLine("  2"), paperLine(""), paperLine("")}));
}

TEST_F(PrinterPanelTest, RedMark) {
    // Red seen once during the line: the mark falls in the first space left
    // of the digits.
    boundary(8, {10, 11, 12, 13, 14, 15, 16, 17}, true, false);
    ribbonRed = 1;
    run(1);
    ribbonRed = 0;
    boundary(12, {}, false, true);
    EXPECT_EQ(emitted.last(), paperLine("         -88888888"));

    // The latch is cleared with the line.
    boundary(0, {17}, true, true);
    EXPECT_EQ(emitted.last(), paperLine("                 0"));

    // Nothing struck in columns 2 to 16: the mark goes to column 16.
    ribbonRed = 1;
    boundary(1, {17}, true, true);
    ribbonRed = 0;
    EXPECT_EQ(emitted.last(), paperLine("                -1"));

    // No space left in columns 0 to 16: no mark.
    runToEndOf(3);
    std::fill(printer.printLine, printer.printLine + 17, '7');
    printer.redPending = 1;
    boundary(3, {}, false, true);
    EXPECT_EQ(emitted.last(), paperLine("77777777777777777"));
}

TEST_F(PrinterPanelTest, EmissionAppendsInOrderAndSignals) {
    boundary(4, {16}, true, true);
    boundary(6, {17}, true, true);
    const QStringList expected{paperLine("                4"), paperLine("                 6")};
    EXPECT_EQ(emitted, expected);
    EXPECT_EQ(printer.paperLines(), expected);
    EXPECT_EQ(printer.paper()->selectedItems().size(), 0);
    EXPECT_EQ(printer.paper()->count(), 2);
}

TEST_F(PrinterPanelTest, PaperWindow) {
    EXPECT_EQ(printer.windowTitle(), QStringLiteral("Tallivo 141DU Printer"));
    EXPECT_FALSE(printer.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(printer.paper()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(printer.paper()->font().fixedPitch());
    boundary(0, {2}, true, true);
    EXPECT_EQ(printer.paper()->sizeHintForRow(0), 15);

    // Escape, Enter and a frame close leave the paper open.
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&printer, &press);
    }
    EXPECT_FALSE(printer.close());
    EXPECT_TRUE(printer.isVisible());

    EXPECT_EQ(printer.shutdown(), 0);
    EXPECT_FALSE(printer.isVisible());
    EXPECT_EQ(printer.isOpen, 0);
    EXPECT_EQ(printer.shutdown(), 0);
    EXPECT_EQ(printer.paperLines().size(), 1);
}

TEST_F(PrinterPanelTest, CopyTakesTheSelectionInPaperOrderOrTheWholePaper) {
    for (const int sector : {1, 2, 3}) boundary(sector, {17}, true, true);
    boundary(4, {0}, true, true);  // a symbol and nothing after it
    boundary(5, {}, false, true);  // a blank line
    // Copied without the blanks at the ends of the lines; a blank line stays
    // a line.
    EXPECT_EQ(printer.copyText(),
              QStringLiteral("                 1\n                 2\n                 3\n"
                             "                   /\n\n"));

    printer.paper()->item(2)->setSelected(true);
    printer.paper()->item(0)->setSelected(true);
    EXPECT_EQ(printer.copyText(), QStringLiteral("                 1\n                 3\n"));
    printer.copyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), printer.copyText());

    QStringList menu;
    for (const QAction* action : printer.paperMenu()->actions()) menu.append(action->text());
    EXPECT_EQ(menu, (QStringList{QStringLiteral("Copy"), QStringLiteral("Save paper..."),
                                 QStringLiteral("Print paper...")}));
    // Saving and printing are the window's Ctrl+S and Ctrl+P.
    EXPECT_EQ(printer.paperMenu()->actions()[1]->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(printer.paperMenu()->actions()[2]->shortcut(), QKeySequence(QKeySequence::Print));
}

TEST_F(PrinterPanelTest, SaveWritesOneLinePerPrintedLine) {
    boundary(1, {2}, true, true);
    boundary(2, {3}, true, true);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("paper.txt"));
    QString error;
    ASSERT_TRUE(printer.savePaper(path, &error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(file.readAll()),
              paperLine("  1") + QLatin1Char('\n') + paperLine("   2") + QLatin1Char('\n'));

    // A failed save says why and loses nothing.
    error.clear();
    EXPECT_FALSE(printer.savePaper(dir.filePath(QStringLiteral("missing/paper.txt")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(printer.paperLines().size(), 2);

    // The PDF: a failure says why and leaves no file; a saved one is a PDF.
    error.clear();
    EXPECT_FALSE(printer.savePaperPdf(dir.filePath(QStringLiteral("missing/paper.pdf")), &error));
    EXPECT_FALSE(error.isEmpty());
    const QString pdf = dir.filePath(QStringLiteral("paper.pdf"));
    ASSERT_TRUE(printer.savePaperPdf(pdf, &error)) << error.toStdString();
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith("%PDF-"));
}

// The paper as its reader sees it: it follows the newest line while the end
// is in view, and stays where the reader scrolled otherwise.
class PaperViewTest : public PrinterPanelTest {
  protected:
    // Feeds `count` lines, one per drum sector, each with a digit.
    void feed(int count) {
        for (int i = 0; i < count; ++i) boundary(printer.sector, {17}, true, true);
    }
    bool inView(int row) const {
        const QRect rect = printer.paper()->visualItemRect(printer.paper()->item(row));
        return printer.paper()->viewport()->rect().contains(rect);
    }
    int lastRow() const { return printer.paper()->count() - 1; }
};

TEST_F(PaperViewTest, FollowsTheNewestLineWhileTheEndIsInView) {
    feed(40);  // far more than the list shows
    ASSERT_FALSE(inView(0));
    EXPECT_TRUE(inView(lastRow()));
    feed(3);
    EXPECT_TRUE(inView(lastRow()));
}

TEST_F(PaperViewTest, StaysWhereTheReaderScrolledAndKeepsTheSelection) {
    feed(40);
    printer.paper()->scrollToTop();
    printer.paper()->item(2)->setSelected(true);
    printer.paper()->item(4)->setSelected(true);
    feed(20);
    EXPECT_TRUE(inView(0));
    EXPECT_FALSE(inView(lastRow()));
    EXPECT_EQ(printer.paper()->selectedItems().size(), 2);
    EXPECT_TRUE(printer.paper()->item(2)->isSelected());
    EXPECT_TRUE(printer.paper()->item(4)->isSelected());
    // Back at the end, the paper follows again; the selection stays.
    printer.paper()->scrollToBottom();
    feed(5);
    EXPECT_TRUE(inView(lastRow()));
    EXPECT_EQ(printer.paper()->selectedItems().size(), 2);
}

TEST_F(PaperViewTest, ARedLineIsDrawnInRedWithItsMark) {
    ribbonRed = 1;
    boundary(3, {17}, true, true);
    ribbonRed = 0;
    boundary(4, {17}, true, true);
    ASSERT_EQ(printer.paper()->count(), 2);
    EXPECT_EQ(printer.paper()->item(0)->text(), paperLine("                -3"));
    EXPECT_TRUE(printer.isRedLine(0));
    EXPECT_EQ(printer.paper()->item(0)->foreground().color(), PrinterPanel::redInk());
    EXPECT_FALSE(printer.isRedLine(1));
    EXPECT_NE(printer.paper()->item(1)->foreground().color(), PrinterPanel::redInk());
    EXPECT_EQ(PrinterPanel::redInk().red(), 0xC0);
    EXPECT_EQ(PrinterPanel::redInk().green(), 0);
}

TEST_F(PaperViewTest, CopyHasTheUsualShortcutOnThePaper) {
    feed(2);
    QApplication::clipboard()->clear();
    QAction* copy = nullptr;
    for (QAction* action : printer.paper()->actions())
        if (action->shortcut() == QKeySequence(QKeySequence::Copy)) copy = action;
    ASSERT_NE(copy, nullptr);
    copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), printer.copyText());
}

TEST(PrinterPanelUnconnected, DrumRunsWithoutNets) {
    PrinterPanel printer;
    EXPECT_EQ(printer.isOpen, 0);
    for (int i = 0; i < 2 * kSector; ++i) {
        printer.clockPhase1();
        printer.clockPhase2();
    }
    EXPECT_EQ(printer.sector, 2);
    EXPECT_EQ(printer.shutdown(), 0);
}

}  // namespace
}  // namespace tallivo
