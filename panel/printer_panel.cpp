#include "panel/printer_panel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
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
    FixedHeightDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent), height_(height) {}

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
    // Saving and printing work wherever the focus is in the printer window.
    QAction* save = paperMenu_->addAction(tr("Save paper..."));
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WindowShortcut);
    addAction(save);
    QObject::connect(save, &QAction::triggered, this, [this] { savePaperAs(); });
    QAction* print = paperMenu_->addAction(tr("Print paper..."));
    print->setShortcut(QKeySequence::Print);
    print->setShortcutContext(Qt::WindowShortcut);
    addAction(print);
    QObject::connect(print, &QAction::triggered, this, [this] { printPaper(); });
    paperList->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        paperList, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { paperMenu_->popup(paperList->viewport()->mapToGlobal(at)); });

    status_ = new QLabel(this);
    status_->setGeometry(units.rect(layout::kPaperStatus));
    status_->setTextFormat(Qt::PlainText);
}

PrinterPanel::~PrinterPanel() = default;

int PrinterPanel::connect(Net* hammerLines, Net* paperAdvanceLine, Net* hammerFireLine,
                          Net* ribbonRedLine, Net* drumIndexLine, Net* testLine) {
    PrinterDrum::connect(hammerLines, paperAdvanceLine, hammerFireLine, ribbonRedLine,
                         drumIndexLine, testLine);
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

QColor PrinterPanel::redInk() {
    return QColor(0xC0, 0x00, 0x00);
}

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

void PrinterPanel::copyToClipboard() const {
    QApplication::clipboard()->setText(copyText());
}

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

void PrinterPanel::setStatus(const QString& text) {
    // A long text is cut at the window's edge; the whole of it is the tooltip.
    status_->setToolTip(text);
    status_->setText(status_->fontMetrics().elidedText(text, Qt::ElideRight, status_->width()));
}

QString PrinterPanel::status() const {
    return status_->toolTip();
}

void PrinterPanel::paintPaper(QPagedPaintDevice& pages) const {
    // The paper as the window shows it: its fixed-pitch font (at the size of
    // a typewriter's type), every line's 24 columns as printed, red lines
    // in red, one paper line per print line, page after page.
    QPainter painter(&pages);
    QFont font = paperFont;
    font.setPointSizeF(10);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &pages);
    const double lineHeight =
        metrics.height() * layout::kPaperItemHeight / layout::kPaperFontPixels;
    const QRectF area = pages.pageLayout().paintRectPixels(pages.logicalDpiY());
    const double top = metrics.ascent();
    const int perPage = std::max(1, static_cast<int>((area.height() - top) / lineHeight));
    for (int row = 0; row < paperList->count(); ++row) {
        if (row > 0 && row % perPage == 0) pages.newPage();
        painter.setPen(isRedLine(row) ? redInk() : QColor(Qt::black));
        painter.drawText(QPointF(0, top + (row % perPage) * lineHeight),
                         paperList->item(row)->text());
    }
}

namespace {

void setUpPages(QPagedPaintDevice& pages) {
    pages.setPageSize(QPageSize(QPageSize::A4));
    pages.setPageMargins(QMarginsF(20, 15, 20, 15), QPageLayout::Millimeter);
}

}  // namespace

bool PrinterPanel::savePaperPdf(const QString& path, QString* error) const {
    // Written to a temporary file and renamed over the target, as the text.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error != nullptr) *error = file.errorString();
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setCreator(QStringLiteral("Tallivo 141DU"));
        pdf.setTitle(tr("Tallivo 141DU paper"));
        pdf.setResolution(600);
        setUpPages(pdf);
        paintPaper(pdf);
    }
    if (!file.commit()) {
        if (error != nullptr) *error = file.errorString();
        return false;
    }
    return true;
}

void PrinterPanel::savePaperAs() {
    const QString pdfFilter = tr("PDF files (*.pdf)");
    QString chosen;
    QString path =
        QFileDialog::getSaveFileName(this, tr("Save paper"), QStringLiteral("paper.txt"),
                                     tr("Text files (*.txt)") + QStringLiteral(";;") + pdfFilter +
                                         QStringLiteral(";;") + tr("All files (*)"),
                                     &chosen);
    if (path.isEmpty()) return;
    const bool pdf =
        path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ||
        (chosen == pdfFilter && !path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive));
    if (pdf && !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        // The PDF filter with the name the box offered: the name follows.
        if (path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)) path.chop(4);
        path += QStringLiteral(".pdf");
    }
    QString error;
    if (!(pdf ? savePaperPdf(path, &error) : savePaper(path, &error))) {
        QMessageBox::critical(this, QCoreApplication::applicationName(),
                              tr("ERROR: The paper could not be saved to\n%1\n\n%2\n\n"
                                 "The paper is unchanged; try another file.")
                                  .arg(path, error));
        return;
    }
    setStatus(tr("Paper saved to %1").arg(path));
}

void PrinterPanel::printPaper() {
    QPrinter printer(QPrinter::HighResolution);
    setUpPages(printer);
    printer.setDocName(tr("Tallivo 141DU paper"));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print paper"));
    if (dialog.exec() != QDialog::Accepted) return;
    paintPaper(printer);
    setStatus(tr("Paper sent to %1")
                  .arg(printer.outputFileName().isEmpty() ? printer.printerName()
                                                          : printer.outputFileName()));
}

}  // namespace tallivo
