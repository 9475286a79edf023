#pragma once
// The inspector: a live view of the chips and a disassembly of the ROMs with
// breakpoints, for following the firmware while the calculator runs.
//
// It is not a component and drives no Net: it reads the chips' state when it
// is refreshed (at the application's 50 ms tick while the clock runs, and at
// once whenever the clock stops or a step has run) and marks every character
// that changed since the refresh before. Its buttons are the application's
// run commands: Pause / Run, Step, Step over, Run to cursor.
//
// Where the code file's listing and symbol table ship beside it (4001.lst and
// 4001.sym beside 4001.code), the disassembly carries the source lines and
// labels, the CPU view names the source line at the program counter, and the
// RAM registers are named and read as the firmware's memory map has them.
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "asm/program_listing.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tallivo {

class CalculatorApp;

class InspectorWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit InspectorWindow(CalculatorApp& app, QWidget* parent = nullptr);
    ~InspectorWindow() override;

    // Reads the chips again and marks what changed since the last refresh.
    void refresh();

    // The plain text of a field as shown, by name: "accumulator", "carry",
    // "pc", "stackPointer", "stack1" to "stack3" (the latest return address
    // first), "dclBank", "r0" to "r15", "p0" to "p7", "instruction",
    // "source", "label", "ram0.reg0" (the 16 main characters, character 15
    // first), "ram0.reg0.status" (status characters 0 to 3), "ram0.reg0.reads"
    // (what the firmware reads there), "ram0.out", "rom0.port" (each line's
    // level, line 0 first), "hammers", "keyColumns", "keyRows",
    // "drumSector", "test". Empty for an unknown name.
    QString value(const QString& name) const;
    // Whether the field was marked as changed at the last refresh.
    bool changed(const QString& name) const;

    QTreeWidget* disassembly() const { return disassembly_; }
    // The disassembly's row that holds `address`, or -1.
    int rowOf(int address) const;
    // The program address of a disassembly row.
    int addressOfRow(int row) const;
    // Sets or clears the breakpoint of a row, as a click on its mark does.
    void toggleBreakpoint(int row);
    // Makes the line of a label or a hexadecimal address the current line of
    // the disassembly (the cursor of Run to cursor, the line of F9); false,
    // with a note in the status line, when there is no such line.
    bool goTo(const QString& text);
    // Why the listing is not shown, when it is not ("" when it is).
    const QString& listingNote() const { return listingNote_; }
    QPushButton* runButton() const { return runButton_; }
    QPushButton* stepButton() const { return stepButton_; }
    QPushButton* stepOverButton() const { return stepOverButton_; }
    QPushButton* runToCursorButton() const { return runToCursorButton_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Field {
        QString name;
        QLabel* label = nullptr;
        std::function<QString()> read;
        QString shown;
        bool changed = false;
        bool byCharacter = true;
    };
    struct Row {
        int address = 0;
        int bytes = 1;
    };

    QLabel* addField(const QString& name, std::function<QString()> read, bool byCharacter = true);
    QWidget* buildCpuView();
    QWidget* buildRamView();
    QWidget* buildPortView();
    void buildDisassembly();
    void loadListing();
    void markRow(int row);
    void runCursor();
    void updateControls();
    QString ramReads(int chip, int reg) const;

    CalculatorApp& app_;
    assembler::ProgramListing listing_;
    QString listingNote_;
    // The firmware's register names, when its symbol table defines them.
    std::array<QString, 8> registerNames_{};
    std::vector<Field> fields_;
    std::vector<Row> rows_;
    std::vector<int> rowOfAddress_;
    QTreeWidget* disassembly_ = nullptr;
    QPushButton* runButton_ = nullptr;
    QPushButton* stepButton_ = nullptr;
    QPushButton* stepOverButton_ = nullptr;
    QPushButton* runToCursorButton_ = nullptr;
    QLineEdit* goTo_ = nullptr;
    QLabel* status_ = nullptr;
    int markedPcRow_ = -1;
};

}  // namespace tallivo
