#include "panel/printer_panel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cstring>

#include "panel/dialog_units.h"
#include "resources/dialog_layouts.h"
#include "resources/icon.h"

namespace tallivo {

namespace {

// What each sector of the drum prints: a digit column character and the two
// symbol wheels, every symbol two characters wide.
constexpr char kDrumCharacters[PrinterPanel::kSectors + 1] = "0123456789..-";
constexpr const char* kLeftSymbols[PrinterPanel::kSectors] = {
    "<>", "+ ", "- ", "X ", "/ ", "M+", "M-", "^ ", "= ", "SQ", "% ", "C ", "R "};
constexpr const char* kRightSymbols[PrinterPanel::kSectors] = {
    "# ", "* ", "1 ", "2 ", "3 ", "M+", "M-", "T ", "K ", "E ", "Ex", "C ", "M "};

constexpr int kFirstDigitHammer = 2;
constexpr int kLastDigitHammer = 17;
constexpr int kLeftSymbolHammer = 0;
constexpr int kRightSymbolHammer = 1;
constexpr int kLeftSymbolColumn = 19;
constexpr int kRightSymbolColumn = 22;
// The red mark goes into the first space left of the last digit column.
constexpr int kRedMarkSearchStart = 16;

// Every paper line is the same height, whatever the font asks for.
class FixedHeightDelegate final : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

QFont makePaperFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Courier New"), font.family()});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(layout::kPaperFontPixels);
    font.setWeight(QFont::Medium);
    return font;
}

}  // namespace

PrinterPanel::PrinterPanel(QWidget* parent) : QDialog(parent) {
    // A caption but no close control: the paper stays until the run ends.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(layoutText(layout::kPrinterCaption));
    setWindowIcon(tallivoIcon());
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(layout::kPrinterWidth, layout::kPrinterHeight));

    paperList = new QListWidget(this);
    paperList->setObjectName(QString::number(layout::kPaperId));
    paperList->setGeometry(units.rect(layout::kPaperList));
    paperList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    paperList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    paperList->setSortingEnabled(false);
    paperList->setUniformItemSizes(true);
    paperList->setItemDelegate(new FixedHeightDelegate(layout::kPaperItemHeight, paperList));

    paperMenu_ = new QMenu(this);
    QAction* copy = paperMenu_->addAction(tr("Copy"));
    QObject::connect(copy, &QAction::triggered, this, [this] { copyToClipboard(); });
    QAction* save = paperMenu_->addAction(tr("Save Paper As..."));
    QObject::connect(save, &QAction::triggered, this, [this] { savePaperAs(); });
    paperList->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(paperList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        paperMenu_->popup(paperList->viewport()->mapToGlobal(at));
    });

    clearLine();
}

PrinterPanel::~PrinterPanel() = default;

int PrinterPanel::connect(Net* hammerLines, Net* paperAdvanceLine, Net* hammerFireLine,
                          Net* ribbonRedLine, Net* drumIndexLine, Net* testLine) {
    hammerNets = hammerLines;
    paperAdvanceNet = paperAdvanceLine;
    hammerFireNet = hammerFireLine;
    ribbonRedNet = ribbonRedLine;
    drumIndexNet = drumIndexLine;
    testNet = testLine;
    sectorClock = 0;
    sector = 0;
    clearLine();
    paperList->clear();
    paperFont = makePaperFont();
    paperList->setFont(paperFont);
    show();
    isOpen = 1;
    return 0;
}

void PrinterPanel::clearLine() {
    std::memset(printLine, ' ', kLineLength);
    printLine[kLineLength] = '\0';
    redPending = 0;
}

int PrinterPanel::clockPhase1() {
    // The red ribbon counts for the whole line if it was up at any time
    // before the paper is fed.
    if (ribbonRedNet != nullptr && *ribbonRedNet != 0) redPending = 1;
    return 0;
}

int PrinterPanel::clockPhase2() {
    // Both outputs are written every period from the state before the step:
    // in the last period of a sector Test is already low while DrumIndex
    // still shows the ending sector.
    if (drumIndexNet != nullptr) *drumIndexNet = sector == 0 ? 1 : 0;
    if (testNet != nullptr) *testNet = sectorClock < kTestPeriods ? 1 : 0;
    if (++sectorClock < kPeriodsPerSector) return 0;

    // Sector boundary: the hammers strike first, so a line fed at the same
    // boundary already carries the characters just struck.
    sectorClock = 0;
    if (hammerFireNet != nullptr && *hammerFireNet != 0) strike();
    if (paperAdvanceNet != nullptr && *paperAdvanceNet != 0) feedPaper();
    sector = (sector + 1) % kSectors;
    return 0;
}

void PrinterPanel::strike() {
    if (hammerNets == nullptr) return;
    // Columns no hammer strikes keep what they hold: a line collects its
    // characters over several sectors.
    for (int hammer = kFirstDigitHammer; hammer <= kLastDigitHammer; ++hammer) {
        if (hammerNets[hammer] != 0) printLine[hammer] = kDrumCharacters[sector];
    }
    if (hammerNets[kLeftSymbolHammer] != 0) {
        std::memcpy(printLine + kLeftSymbolColumn, kLeftSymbols[sector], 2);
    }
    if (hammerNets[kRightSymbolHammer] != 0) {
        std::memcpy(printLine + kRightSymbolColumn, kRightSymbols[sector], 2);
    }
}

void PrinterPanel::feedPaper() {
    if (redPending != 0) {
        for (int column = kRedMarkSearchStart; column >= 0; --column) {
            if (printLine[column] == ' ') {
                printLine[column] = '-';
                break;
            }
        }
    }
    const QString line = QString::fromLatin1(printLine);
    paperList->addItem(line);
    // Bring the newest line into view; nothing stays selected.
    paperList->scrollToItem(paperList->item(paperList->count() - 1));
    paperList->clearSelection();
    clearLine();
    emit lineEmitted(line);
}

int PrinterPanel::shutdown() {
    if (isOpen == 0) return 0;
    isOpen = 0;
    close();
    return 0;
}

void PrinterPanel::closeEvent(QCloseEvent* event) {
    // Only the end of the run closes the paper; a window manager's close
    // request would otherwise hide it for good.
    if (isOpen != 0) {
        event->ignore();
        return;
    }
    event->accept();
}

QStringList PrinterPanel::paperLines() const {
    QStringList lines;
    lines.reserve(paperList->count());
    for (int row = 0; row < paperList->count(); ++row) lines.append(paperList->item(row)->text());
    return lines;
}

QString PrinterPanel::copyText() const {
    QString text;
    const QList<QListWidgetItem*> selected = paperList->selectedItems();
    if (selected.isEmpty()) {
        for (const QString& line : paperLines()) text += line + QLatin1Char('\n');
        return text;
    }
    // Selection order is the order of clicking; the paper's order is wanted.
    QList<int> rows;
    rows.reserve(selected.size());
    for (const QListWidgetItem* item : selected) rows.append(paperList->row(item));
    std::sort(rows.begin(), rows.end());
    for (const int row : rows) text += paperList->item(row)->text() + QLatin1Char('\n');
    return text;
}

void PrinterPanel::copyToClipboard() const { QApplication::clipboard()->setText(copyText()); }

bool PrinterPanel::savePaper(const QString& path, QString* error) const {
    // Written to a temporary file and renamed over the target on success, so
    // a failed save never leaves a half-written or emptied file behind.
    QSaveFile file(path);
    QByteArray bytes;
    for (const QString& line : paperLines()) bytes += line.toLatin1() + '\n';
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                       file.write(bytes) == bytes.size() && file.commit();
    if (!saved && error != nullptr) *error = file.errorString();
    return saved;
}

void PrinterPanel::savePaperAs() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Paper As"),
                                                      QStringLiteral("paper.txt"),
                                                      tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty()) return;
    QString error;
    if (!savePaper(path, &error)) {
        QMessageBox::critical(this, QCoreApplication::applicationName(),
                              tr("ERROR: The paper could not be saved to\n%1\n\n%2\n\n"
                                 "The paper is unchanged; try another file.")
                                  .arg(path, error));
    }
}

}  // namespace tallivo
