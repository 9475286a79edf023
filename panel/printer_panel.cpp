#include "panel/printer_panel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QStyledItemDelegate>

#include <algorithm>

#include "panel/dialog_units.h"
#include "resources/dialog_layouts.h"
#include "resources/icon.h"

namespace tallivo {

namespace {

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
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    paperList->addAction(copy);
    QObject::connect(copy, &QAction::triggered, this, [this] { copyToClipboard(); });
    QAction* save = paperMenu_->addAction(tr("Save Paper As..."));
    QObject::connect(save, &QAction::triggered, this, [this] { savePaperAs(); });
    paperList->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(paperList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        paperMenu_->popup(paperList->viewport()->mapToGlobal(at));
    });
}

PrinterPanel::~PrinterPanel() = default;

int PrinterPanel::connect(Net* hammerLines, Net* paperAdvanceLine, Net* hammerFireLine,
                          Net* ribbonRedLine, Net* drumIndexLine, Net* testLine) {
    PrinterDrum::connect(hammerLines, paperAdvanceLine, hammerFireLine, ribbonRedLine, drumIndexLine,
                         testLine);
    paperList->clear();
    paperFont = makePaperFont();
    paperList->setFont(paperFont);
    show();
    isOpen = 1;
    return 0;
}

void PrinterPanel::lineFed(std::string_view text, bool red) {
    const QString line = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    // The paper follows the newest line only while the user is reading the
    // end of it; a user who scrolled back keeps the view, and any lines
    // selected stay selected.
    const bool following = showsLastLine();
    auto* item = new QListWidgetItem(line);
    if (red) {
        item->setForeground(redInk());
        item->setData(kRedRole, true);
    }
    paperList->addItem(item);
    if (following) paperList->scrollToItem(item);
    emit lineEmitted(line);
}

bool PrinterPanel::showsLastLine() const {
    const int count = paperList->count();
    if (count == 0) return true;
    // Asking for the rectangle lays out the lines added since the last
    // paint, so the answer holds even when many lines came at once.
    const QRect last = paperList->visualItemRect(paperList->item(count - 1));
    return last.intersects(paperList->viewport()->rect());
}

QColor PrinterPanel::redInk() { return QColor(0xC0, 0x00, 0x00); }

bool PrinterPanel::isRedLine(int row) const {
    const QListWidgetItem* item = paperList->item(row);
    return item != nullptr && item->data(kRedRole).toBool();
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
    QList<int> rows;
    const QList<QListWidgetItem*> selected = paperList->selectedItems();
    // Selection order is the order of clicking; the paper's order is wanted.
    for (const QListWidgetItem* item : selected) rows.append(paperList->row(item));
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty()) {
        for (int row = 0; row < paperList->count(); ++row) rows.append(row);
    }
    QString text;
    for (const int row : rows) {
        // The blank symbol columns at the end of a line are no part of it
        // for whoever pastes it.
        QString line = paperList->item(row)->text();
        qsizetype end = line.size();
        while (end > 0 && line[end - 1] == QLatin1Char(' ')) --end;
        line.truncate(end);
        text += line + QLatin1Char('\n');
    }
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
