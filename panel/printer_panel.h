#pragma once
// The printer window: the drum's paper as a list of lines, red-ribbon lines
// in red, with Copy and Save. The drum and its hammers are the PrinterDrum's.
#include <QColor>
#include <QDialog>
#include <QFont>
#include <QStringList>
#include <cstdint>

#include "kernel/net.h"
#include "panel/printer_drum.h"

class QLabel;
class QListWidget;
class QMenu;
class QPagedPaintDevice;

namespace tallivo {

class PrinterPanel final : public QDialog, public PrinterDrum {
    Q_OBJECT
  public:
    explicit PrinterPanel(QWidget* parent = nullptr);
    ~PrinterPanel() override;

    // Hands the printer its Nets (`hammerLines` points at 20 consecutive
    // Nets), puts the drum at sector 0, blanks the line, empties the paper and
    // shows the window. Writes no Net; returns 0.
    int connect(Net* hammerLines, Net* paperAdvanceLine, Net* hammerFireLine, Net* ribbonRedLine,
                Net* drumIndexLine, Net* testLine);

    int shutdown() override;  // closes the window once; later calls do nothing

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
    // The same as a PDF: the paper's font and columns, red lines in red.
    bool savePaperPdf(const QString& path, QString* error = nullptr) const;
    // Draws the paper on the pages of a printer or PDF writer, starting on
    // its current page.
    void paintPaper(QPagedPaintDevice& pages) const;
    // Asks for a file name and saves, as PDF when the name ends in ".pdf" or
    // the PDF filter was chosen, else as text; a failure is shown in a box.
    void savePaperAs();
    // The system's print dialog, then the paper on the printer chosen.
    void printPaper();

    // The line under the paper.
    void setStatus(const QString& text);
    QString status() const;

    // The colour of a line struck with the red ribbon, and whether line `row`
    // was (its text carries the "-" mark as well).
    static QColor redInk();
    bool isRedLine(int row) const;

    QListWidget* paperList = nullptr;
    std::uint8_t isOpen = 0;
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
    // Appends the line to the paper and emits lineEmitted.
    void lineFed(std::string_view text, bool red) override;

  private:
    static constexpr int kRedRole = Qt::UserRole + 1;

    // The last line of the paper is in view (or there is none).
    bool showsLastLine() const;

    QMenu* paperMenu_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace tallivo
