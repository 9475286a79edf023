#pragma once
// The calculator's drum printer and its paper.
//
// The drum carries 13 character sectors and turns continuously, one sector per
// 10000 clock periods. The printer tells the firmware where it is: Test (the
// CPU's TEST input) is high for the first 1600 periods of every sector and
// DrumIndex (ROM 2's port bit 0) is high through sector 0. The firmware loads
// the 20 hammer lines through the two printer shift registers and raises
// HammerFire on RAM 0's port when the wanted sector comes round; at the end of
// the sector the chosen hammers strike that sector's character. PaperAdvance
// at a sector boundary feeds the paper: the struck line is appended to the
// paper list. RibbonRed at any time during a line prints it in red, which the
// paper shows as a "-" mark left of the number.
//
// Print line columns: 0-1 red mark only; 2-17 digits struck by hammers 2-17;
// 19-20 the left symbol (hammer 0); 22-23 the right symbol (hammer 1).
// Hammers 18 and 19 strike nothing.
#include <QDialog>
#include <QColor>
#include <QFont>
#include <QStringList>

#include <cstdint>

#include "kernel/component.h"
#include "kernel/net.h"

class QListWidget;
class QMenu;

namespace tallivo {

class PrinterPanel final : public QDialog, public Component {
    Q_OBJECT
public:
    static constexpr int kLineLength = 24;
    static constexpr int kSectors = 13;
    static constexpr int kPeriodsPerSector = 10000;
    static constexpr int kTestPeriods = 1600;

    explicit PrinterPanel(QWidget* parent = nullptr);
    ~PrinterPanel() override;

    // Hands the printer its Nets (`hammerLines` points at 20 consecutive
    // Nets), puts the drum at sector 0, blanks the line, empties the paper and
    // shows the window. Writes no Net; returns 0.
    int connect(Net* hammerLines, Net* paperAdvanceLine, Net* hammerFireLine, Net* ribbonRedLine,
                Net* drumIndexLine, Net* testLine);

    int clockPhase1() override;  // red-ribbon latch
    int clockPhase2() override;  // the drum: Test, DrumIndex, strike and paper feed
    int shutdown() override;     // closes the window once; later calls do nothing

    // Blanks the print line and forgets the red ribbon.
    void clearLine();

    // Every printed line, oldest first.
    QStringList paperLines() const;
    QListWidget* paper() const { return paperList; }
    QMenu* paperMenu() const { return paperMenu_; }

    // The selected lines (all lines when none is selected), in the paper's
    // order, each without its trailing blanks and ended by a newline, as Copy
    // (also Ctrl+C) puts them on the clipboard.
    QString copyText() const;
    void copyToClipboard() const;
    // Writes every printed line, one per text line. On failure returns false
    // with a readable reason; an existing file is left as it was.
    bool savePaper(const QString& path, QString* error = nullptr) const;
    // Asks for a file name and saves, reporting a failure in a message box.
    void savePaperAs();

    // The colour of a line struck with the red ribbon, and whether line `row`
    // was (its text carries the "-" mark as well).
    static QColor redInk();
    bool isRedLine(int row) const;

    QListWidget* paperList = nullptr;
    std::uint8_t redPending = 0;
    char printLine[kLineLength + 1] = {};
    std::int32_t sector = 0;
    std::int32_t sectorClock = 0;
    std::uint8_t isOpen = 0;
    Net* hammerNets = nullptr;
    Net* paperAdvanceNet = nullptr;
    Net* hammerFireNet = nullptr;
    Net* ribbonRedNet = nullptr;
    Net* drumIndexNet = nullptr;
    Net* testNet = nullptr;
    QFont paperFont;

signals:
    // A line has been fed out and appended to the paper.
    void lineEmitted(const QString& line);

public slots:
    // Escape and Enter must not close the paper.
    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static constexpr int kRedRole = Qt::UserRole + 1;

    void strike();
    void feedPaper();
    // The last line of the paper is in view (or there is none).
    bool showsLastLine() const;

    QMenu* paperMenu_ = nullptr;
};

}  // namespace tallivo
