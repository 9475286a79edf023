#include "panel/inspector_window.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "chips/instruction_set.h"
#include "kernel/calculator_app.h"
#include "panel/dialog_units.h"
#include "panel/printer_panel.h"
#include "resources/dialog_layouts.h"
#include "resources/icon.h"
#include "tools/monitor.h"

namespace tallivo {

namespace {

// Group boxes of rows set close, so the whole state fits below the panels.
QGridLayout* compactGrid(QWidget* box) {
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(1);
    grid->setContentsMargins(6, 2, 6, 2);
    return grid;
}

// The program addresses that have ROMs on this board: pages 0 to 4.
constexpr int kProgramWords = 5 * 256;

// Columns of the disassembly.
enum Column {
    kMarkColumn,
    kAddressColumn,
    kLabelColumn,
    kBytesColumn,
    kInstructionColumn,
    kSourceColumn
};

const char* const kRegisterNames[8] = {"LINE", "KEYS", "ENTRY", "TOTAL",
                                       "LAST", "MEM",  "WORK",  "PEND"};

QString hex(unsigned value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString levels(const Net* lines, std::size_t count) {
    QString text;
    for (std::size_t i = 0; i < count; ++i) text += QLatin1Char(lines[i] != 0 ? '1' : '0');
    return text;
}

template <std::size_t N>
QString levels(const std::array<Net*, N>& lines) {
    QString text;
    for (const Net* line : lines) text += QLatin1Char(line != nullptr && *line != 0 ? '1' : '0');
    return text;
}

// The text with every character that differs from `before` marked; nothing is
// marked the first time, when there is nothing before it.
QString markedText(const QString& now, const QString& before) {
    QString html;
    bool open = false;
    for (qsizetype i = 0; i < now.size(); ++i) {
        const bool differs = !before.isEmpty() && (i >= before.size() || before[i] != now[i]);
        if (differs && !open) html += QStringLiteral("<span style=\"background-color:#ffd54f\">");
        if (!differs && open) html += QStringLiteral("</span>");
        open = differs;
        const QChar c = now[i];
        if (c == QLatin1Char(' '))
            html += QStringLiteral("&nbsp;");
        else
            html += QString(c).toHtmlEscaped();
    }
    if (open) html += QStringLiteral("</span>");
    return html;
}

QString instructionAt(const Board& board, int address) {
    if ((address >> 8) >= static_cast<int>(board.roms.size()))
        return QStringLiteral("(no ROM at this address)");
    char text[32];
    formatInstruction(board.programWord(address), board.programWord((address + 1) & 0xFFF), text,
                      sizeof text);
    return QString::fromLatin1(text);
}

const char* stopText(RunControl::Stop stop) {
    switch (stop) {
        case RunControl::Stop::Paused:
            return "paused";
        case RunControl::Stop::Step:
            return "step";
        case RunControl::Stop::Breakpoint:
            return "breakpoint";
        case RunControl::Stop::Return:
            return "returned";
        case RunControl::Stop::Target:
            return "reached the cursor";
        case RunControl::Stop::None:
            break;
    }
    return "stopped";
}

}  // namespace

InspectorWindow::InspectorWindow(CalculatorApp& app, QWidget* parent) : QWidget(parent), app_(app) {
    setWindowFlags(Qt::Window);
    setWindowTitle(layoutText(layout::kInspectorCaption));
    setWindowIcon(tallivoIcon());
    loadListing();

    auto* controls = new QHBoxLayout;
    runButton_ = new QPushButton(this);
    stepButton_ = new QPushButton(QStringLiteral("&Step (F11)"), this);
    stepOverButton_ = new QPushButton(QStringLiteral("Step &over (F10)"), this);
    runToCursorButton_ = new QPushButton(QStringLiteral("Run to &cursor (Ctrl+F10)"), this);
    auto* clearButton = new QPushButton(QStringLiteral("C&lear breakpoints"), this);
    for (QPushButton* button :
         {runButton_, stepButton_, stepOverButton_, runToCursorButton_, clearButton}) {
        button->setAutoDefault(false);
        controls->addWidget(button);
    }
    goTo_ = new QLineEdit(this);
    goTo_->setPlaceholderText(QStringLiteral("Go to address or label (Ctrl+G)"));
    goTo_->setClearButtonEnabled(true);
    controls->addWidget(goTo_);
    QObject::connect(goTo_, &QLineEdit::returnPressed, this, [this] { goTo(goTo_->text()); });
    status_ = new QLabel(this);
    controls->addWidget(status_, 1);
    QObject::connect(runButton_, &QPushButton::clicked, this, [this] {
        if (app_.clockPaused())
            app_.resumeClock();
        else
            app_.pauseClock();
        updateControls();
    });
    QObject::connect(stepButton_, &QPushButton::clicked, this, [this] { app_.stepInstruction(); });
    QObject::connect(stepOverButton_, &QPushButton::clicked, this, [this] { app_.stepOver(); });
    QObject::connect(runToCursorButton_, &QPushButton::clicked, this, [this] { runCursor(); });
    QObject::connect(clearButton, &QPushButton::clicked, this, [this] {
        app_.runControl().clearBreakpoints();
        for (int row = 0; row < static_cast<int>(rows_.size()); ++row) markRow(row);
    });

    auto* state = new QWidget(this);
    auto* stateLayout = new QVBoxLayout(state);
    stateLayout->setContentsMargins(0, 0, 0, 0);
    stateLayout->setSpacing(2);
    stateLayout->addWidget(buildCpuView());
    stateLayout->addWidget(buildRamView());
    stateLayout->addWidget(buildPortView());
    stateLayout->addStretch(1);

    buildDisassembly();
    auto* splitter = new QSplitter(this);
    splitter->addWidget(state);
    splitter->addWidget(disassembly_);
    splitter->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
    layout->addLayout(controls);
    if (!listingNote_.isEmpty()) {
        auto* note = new QLabel(listingNote_, this);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    layout->addWidget(splitter, 1);
    resize(1400, 760);
    // The state pane wide enough for a register's digits with what the
    // firmware keeps there; the disassembly takes the rest.
    splitter->setSizes({760, 640});
    refresh();
}

InspectorWindow::~InspectorWindow() = default;

void InspectorWindow::loadListing() {
    // The listing and symbol table of the code file sit beside it, under its
    // name: 4001.lst and 4001.sym beside 4001.code.
    std::filesystem::path code(app_.codeFilePath());
    std::filesystem::path listingPath = code, symbolsPath = code;
    listingPath.replace_extension(".lst");
    symbolsPath.replace_extension(".sym");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(listingPath, ec) ||
        !std::filesystem::is_regular_file(symbolsPath, ec)) {
        listingNote_ =
            QStringLiteral("No listing beside %1: the disassembly has no source lines or labels.")
                .arg(QString::fromStdString(code.filename().string()));
        return;
    }
    std::string error;
    if (!listing_.load(listingPath.string(), symbolsPath.string(), error)) {
        listingNote_ =
            QStringLiteral(
                "The listing was not read (%1): the disassembly has no source lines or labels.")
                .arg(QString::fromStdString(error));
        return;
    }
    for (std::size_t r = 0; r < registerNames_.size(); ++r) {
        std::int64_t value = -1;
        if (listing_.symbol(kRegisterNames[r], value) && value == static_cast<std::int64_t>(r))
            registerNames_[r] = QString::fromLatin1(kRegisterNames[r]);
    }
}

QLabel* InspectorWindow::addField(const QString& name, std::function<QString()> read,
                                  bool byCharacter) {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::RichText);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Texts whose length changes from one instruction to the next (the label,
    // the source line, what a register holds) are cut at the pane's edge
    // instead of widening it: the panes keep their widths while the clock runs.
    if (name == QLatin1String("label") || name == QLatin1String("source") ||
        name.endsWith(QLatin1String(".reads")))
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fields_.push_back({name, label, std::move(read), QString(), false, byCharacter});
    return label;
}

QWidget* InspectorWindow::buildCpuView() {
    const Board& board = app_.board();
    const Cpu4004& cpu = board.cpu;
    auto* box = new QGroupBox(QStringLiteral("4004 CPU"), this);
    auto* grid = compactGrid(box);
    int row = 0;
    auto put = [&](const QString& caption, QLabel* field, int column, int span = 1) {
        grid->addWidget(new QLabel(caption, box), row, column);
        grid->addWidget(field, row, column + 1, 1, span);
    };
    put(QStringLiteral("ACC"),
        addField(QStringLiteral("accumulator"), [&cpu] { return hex(cpu.accumulator, 1); }), 0);
    put(QStringLiteral("CY"),
        addField(QStringLiteral("carry"), [&cpu] { return QString::number(cpu.carry); }), 2);
    put(QStringLiteral("DCL bank"),
        addField(QStringLiteral("dclBank"),
                 [&cpu] {
                     // DCL 0 raises CM-RAM0 alone; banks 1-7 raise CM-RAM1-3 by their bits.
                     const unsigned bank = cpu.cmRamSelect == 1 ? 0u : cpu.cmRamSelect >> 1u;
                     return QString::number(bank);
                 }),
        4);
    ++row;
    put(QStringLiteral("PC"), addField(QStringLiteral("pc"), [&cpu] { return hex(cpu.pc(), 3); }),
        0);
    put(QStringLiteral("SP"),
        addField(QStringLiteral("stackPointer"),
                 [&cpu] { return QString::number(cpu.stackPointer); }),
        2);
    ++row;
    // The four address registers: the one at the stack pointer is the PC;
    // the others are the stack, the latest return address one below it.
    for (int level = 1; level <= 3; ++level) {
        put(QStringLiteral("Stack %1").arg(level),
            addField(
                QStringLiteral("stack%1").arg(level),
                [&cpu, level] {
                    return hex(
                        cpu.addressStack[static_cast<std::size_t>((cpu.stackPointer - level) & 3)],
                        3);
                }),
            2 * (level - 1));
    }
    ++row;
    auto* registers = new QGridLayout;
    registers->setVerticalSpacing(0);
    for (int half = 0; half < 2; ++half) {
        for (int i = 0; i < 8; ++i) {
            const int r = half * 8 + i;
            registers->addWidget(new QLabel(QStringLiteral("R%1").arg(r), box), half * 4, i);
            registers->addWidget(
                addField(
                    QStringLiteral("r%1").arg(r),
                    [&cpu, r] { return hex(cpu.indexRegisters[static_cast<std::size_t>(r)], 1); }),
                half * 4 + 1, i);
        }
        for (int i = 0; i < 4; ++i) {
            const int p = half * 4 + i;
            registers->addWidget(
                new QLabel(QStringLiteral("P%1 (R%2R%3)").arg(p).arg(2 * p).arg(2 * p + 1), box),
                half * 4 + 2, 2 * i, 1, 2);
            registers->addWidget(
                addField(QStringLiteral("p%1").arg(p),
                         [&cpu, p] {
                             return hex(
                                 static_cast<unsigned>(
                                     cpu.indexRegisters[static_cast<std::size_t>(2 * p)] << 4 |
                                     cpu.indexRegisters[static_cast<std::size_t>(2 * p + 1)]),
                                 2);
                         }),
                half * 4 + 3, 2 * i, 1, 2);
        }
    }
    grid->addLayout(registers, row, 0, 1, 6);
    ++row;
    put(QStringLiteral("At PC"),
        addField(
            QStringLiteral("instruction"),
            [&board, &cpu] { return instructionAt(board, cpu.pc()); }, false),
        0, 5);
    ++row;
    put(QStringLiteral("Label"),
        addField(
            QStringLiteral("label"),
            [this, &cpu] { return QString::fromStdString(listing_.placeOf(cpu.pc())); }, false),
        0, 5);
    ++row;
    put(QStringLiteral("Source"),
        addField(
            QStringLiteral("source"),
            [this, &cpu] {
                const assembler::ProgramListing::Line* line = listing_.lineAt(cpu.pc());
                if (line == nullptr) return QString();
                return QStringLiteral("%1:%2  %3")
                    .arg(QString::fromStdString(line->file), QString::number(line->number),
                         QString::fromStdString(line->text).trimmed());
            },
            false),
        0, 5);
    return box;
}

QString InspectorWindow::ramReads(int chip, int reg) const {
    const Ram4002& ram = app_.board().rams[static_cast<std::size_t>(chip)];
    const int number = chip * 4 + reg;
    if (registerNames_[static_cast<std::size_t>(number)].isEmpty()) return {};
    auto main = [&](int c) { return ram.mainMemory[static_cast<std::size_t>(reg * 16 + c)]; };
    auto status = [&](int c) { return ram.statusMemory[static_cast<std::size_t>(reg * 4 + c)]; };
    if (number == 0) {
        // The print line: character k is column 17 - k; 10 is the point,
        // 15 a blank column.
        QString line;
        for (int c = 15; c >= 0; --c) {
            const int v = main(c);
            line += v <= 9    ? QChar(u'0' + v)
                    : v == 10 ? QLatin1Char('.')
                    : v == 15 ? QLatin1Char(' ')
                              : QLatin1Char('?');
        }
        return QStringLiteral("line \"%1\"").arg(line);
    }
    if (number == 1) return QStringLiteral("%1 key(s) waiting").arg(status(2));
    // A number: fifteen digits, character 0 the lowest, with its decimals in
    // status 1 and its sign in status 3; character 15 takes a sum's carry.
    QString digits;
    for (int c = 14; c >= 0; --c) {
        if (main(c) > 9) return QStringLiteral("(not a number)");
        digits += QChar(u'0' + main(c));
    }
    const int decimals = status(1);
    if (decimals > 14) return QStringLiteral("(not a number)");
    QString whole = digits.left(15 - decimals);
    while (whole.size() > 1 && whole.front() == QLatin1Char('0')) whole.remove(0, 1);
    QString text = whole;
    if (decimals > 0) text += QLatin1Char('.') + digits.right(decimals);
    if (status(3) != 0) text.prepend(QLatin1Char('-'));
    if (main(15) != 0) text += QStringLiteral(" carry %1").arg(main(15));
    return text;
}

QWidget* InspectorWindow::buildRamView() {
    const Board& board = app_.board();
    auto* box =
        new QGroupBox(QStringLiteral("4002 RAMs: main characters 15 to 0, status 0 to 3"), this);
    auto* grid = compactGrid(box);
    for (int chip = 0; chip < 2; ++chip) {
        const Ram4002& ram = board.rams[static_cast<std::size_t>(chip)];
        for (int reg = 0; reg < 4; ++reg) {
            const int row = chip * 5 + reg;
            const int number = chip * 4 + reg;
            const QString name = QStringLiteral("ram%1.reg%2").arg(chip).arg(reg);
            QString caption = QStringLiteral("%1 RAM %2 reg %3").arg(number).arg(chip).arg(reg);
            if (!registerNames_[static_cast<std::size_t>(number)].isEmpty())
                caption += QLatin1Char(' ') + registerNames_[static_cast<std::size_t>(number)];
            grid->addWidget(new QLabel(caption, box), row, 0);
            grid->addWidget(
                addField(name,
                         [&ram, reg] {
                             QString text;
                             for (int c = 15; c >= 0; --c)
                                 text +=
                                     hex(ram.mainMemory[static_cast<std::size_t>(reg * 16 + c)], 1);
                             return text;
                         }),
                row, 1);
            grid->addWidget(
                addField(name + QStringLiteral(".status"),
                         [&ram, reg] {
                             QString text;
                             for (int c = 0; c < 4; ++c)
                                 text += hex(
                                     ram.statusMemory[static_cast<std::size_t>(reg * 4 + c)], 1);
                             return text;
                         }),
                row, 2);
            grid->addWidget(addField(name + QStringLiteral(".reads"),
                                     [this, chip, reg] { return ramReads(chip, reg); }),
                            row, 3);
        }
        const QString port = chip == 0 ? QStringLiteral("RAM 0 out (red ribbon, fire, -, paper)")
                                       : QStringLiteral("RAM 1 out (M, OVF, NEG, -)");
        grid->addWidget(new QLabel(port, box), chip * 5 + 4, 0);
        grid->addWidget(addField(QStringLiteral("ram%1.out").arg(chip),
                                 [&ram] { return levels(ram.outputLines); }),
                        chip * 5 + 4, 1);
    }
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* InspectorWindow::buildPortView() {
    const Board& board = app_.board();
    const BoardNets& n = board.nets;
    auto* box = new QGroupBox(QStringLiteral("Ports and lines (line 0 first)"), this);
    auto* grid = compactGrid(box);
    for (int chip = 0; chip < 5; ++chip) {
        grid->addWidget(new QLabel(QStringLiteral("ROM %1 port").arg(chip), box), chip / 3,
                        (chip % 3) * 2);
        grid->addWidget(
            addField(QStringLiteral("rom%1.port").arg(chip),
                     [&board, chip] {
                         return levels(board.roms[static_cast<std::size_t>(chip)].portLines);
                     }),
            chip / 3, (chip % 3) * 2 + 1);
    }
    grid->addWidget(new QLabel(QStringLiteral("Hammers 0-19"), box), 2, 0);
    grid->addWidget(addField(QStringLiteral("hammers"), [&n] { return levels(n.HammerLine, 20); }),
                    2, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Key columns 0-9"), box), 3, 0);
    grid->addWidget(
        addField(QStringLiteral("keyColumns"), [&n] { return levels(n.KeyColumn, 10); }), 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Key rows 0-3"), box), 3, 2);
    grid->addWidget(addField(QStringLiteral("keyRows"), [&n] { return levels(n.KeyRow, 4); }), 3,
                    3);
    grid->addWidget(new QLabel(QStringLiteral("Drum sector"), box), 4, 0);
    grid->addWidget(addField(QStringLiteral("drumSector"),
                             [this] { return QString::number(app_.printer()->sector); }),
                    4, 1);
    grid->addWidget(new QLabel(QStringLiteral("TEST"), box), 4, 2);
    grid->addWidget(addField(QStringLiteral("test"), [&n] { return QString::number(n.Test); }), 4,
                    3);
    return box;
}

void InspectorWindow::buildDisassembly() {
    const Board& board = app_.board();
    disassembly_ = new QTreeWidget(this);
    disassembly_->setColumnCount(6);
    disassembly_->setHeaderLabels({QStringLiteral("Break"), QStringLiteral("Addr"),
                                   QStringLiteral("Label"), QStringLiteral("Bytes"),
                                   QStringLiteral("Instruction"), QStringLiteral("Source")});
    disassembly_->setRootIsDecorated(false);
    disassembly_->setUniformRowHeights(true);
    disassembly_->setAllColumnsShowFocus(true);
    disassembly_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    disassembly_->setToolTip(
        QStringLiteral("Click a line's Break column (or press F9) to set or clear its breakpoint"));

    // One row a listing line where the listing has one, else one row an
    // instruction, read from the ROMs as the CPU would fetch it.
    rowOfAddress_.assign(kProgramWords, -1);
    QList<QTreeWidgetItem*> items;
    for (int address = 0; address < kProgramWords;) {
        Row row{address, 1};
        const assembler::ProgramListing::Line* line = listing_.lineAt(address);
        const bool fromListing = line != nullptr && line->address == address;
        if (fromListing) {
            row.bytes = std::min(line->byteCount, kProgramWords - address);
        } else if (isa::wordsOf(board.programWord(address)) == 2 && address + 1 < kProgramWords &&
                   (address + 1) % 256 != 0 && listing_.lineAt(address + 1) == nullptr) {
            row.bytes = 2;
        }
        QString bytes;
        for (int b = 0; b < row.bytes && b < 4; ++b)
            bytes += hex(board.programWord(address + b), 2) + QLatin1Char(' ');
        if (row.bytes > 4) bytes += QStringLiteral("...");
        QString labels;
        for (const std::string& label : listing_.labelsAt(address))
            labels += (labels.isEmpty() ? QString() : QStringLiteral(" ")) +
                      QString::fromStdString(label);
        QString instruction =
            fromListing && line->data ? QStringLiteral("db") : instructionAt(board, address);
        // A jump names the label it goes to.
        const std::uint8_t word = board.programWord(address);
        const int opr = word >> 4;
        if (!(fromListing && line->data) && (opr == 4 || opr == 5)) {
            const int target = (word & 15) << 8 | board.programWord(address + 1);
            const std::string place = listing_.placeOf(target);
            if (!place.empty())
                instruction += QStringLiteral("  -> ") + QString::fromStdString(place);
        }
        QString source;
        if (fromListing) source = QString::fromStdString(line->text).trimmed();
        auto* item = new QTreeWidgetItem({QString(), hex(static_cast<unsigned>(address), 3), labels,
                                          bytes.trimmed(), instruction, source});
        if (fromListing)
            item->setToolTip(kSourceColumn,
                             QStringLiteral("%1:%2").arg(QString::fromStdString(line->file),
                                                         QString::number(line->number)));
        items.append(item);
        for (int b = 0; b < row.bytes; ++b)
            rowOfAddress_[static_cast<std::size_t>(address + b)] = static_cast<int>(rows_.size());
        rows_.push_back(row);
        address += row.bytes;
    }
    disassembly_->addTopLevelItems(items);
    for (int c = kMarkColumn; c < kSourceColumn; ++c) disassembly_->resizeColumnToContents(c);
    disassembly_->header()->setStretchLastSection(true);
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) markRow(row);

    QObject::connect(disassembly_, &QTreeWidget::itemClicked, this,
                     [this](QTreeWidgetItem* item, int column) {
                         if (column == kMarkColumn)
                             toggleBreakpoint(disassembly_->indexOfTopLevelItem(item));
                     });
    QObject::connect(disassembly_, &QTreeWidget::itemDoubleClicked, this,
                     [this](QTreeWidgetItem* item, int column) {
                         if (column != kMarkColumn)
                             toggleBreakpoint(disassembly_->indexOfTopLevelItem(item));
                     });
}

int InspectorWindow::rowOf(int address) const {
    if (address < 0 || address >= static_cast<int>(rowOfAddress_.size())) return -1;
    return rowOfAddress_[static_cast<std::size_t>(address)];
}

int InspectorWindow::addressOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return -1;
    return rows_[static_cast<std::size_t>(row)].address;
}

void InspectorWindow::toggleBreakpoint(int row) {
    const int address = addressOfRow(row);
    if (address < 0) return;
    RunControl& control = app_.runControl();
    control.setBreakpoint(address, !control.hasBreakpoint(address));
    markRow(row);
}

void InspectorWindow::markRow(int row) {
    QTreeWidgetItem* item = disassembly_->topLevelItem(row);
    if (item == nullptr) return;
    const bool breakpoint = app_.runControl().hasBreakpoint(addressOfRow(row));
    const bool atPc = row == markedPcRow_;
    item->setText(kMarkColumn, QString(atPc ? QStringLiteral("\u25B6") : QStringLiteral(" ")) +
                                   (breakpoint ? QStringLiteral("\u25CF") : QString()));
    item->setForeground(kMarkColumn, breakpoint ? QBrush(QColor(0xC6, 0x28, 0x28)) : QBrush());
    const QBrush background = atPc ? QBrush(QColor(0xFF, 0xF1, 0x76)) : QBrush();
    for (int c = 0; c <= kSourceColumn; ++c) item->setBackground(c, background);
}

bool InspectorWindow::goTo(const QString& text) {
    const QString wanted = text.trimmed();
    int address = -1;
    std::int64_t value = -1;
    if (listing_.symbol(wanted.toStdString(), value) && rowOf(static_cast<int>(value)) >= 0) {
        address = static_cast<int>(value);
    } else {
        bool ok = false;
        QString digits = wanted;
        if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) digits = digits.mid(2);
        const int number = digits.toInt(&ok, 16);
        if (ok && rowOf(number) >= 0) address = number;
    }
    if (address < 0) {
        status_->setText(QStringLiteral("No program address or label \"%1\"").arg(wanted));
        return false;
    }
    QTreeWidgetItem* item = disassembly_->topLevelItem(rowOf(address));
    disassembly_->setCurrentItem(item);
    disassembly_->scrollToItem(item, QAbstractItemView::PositionAtCenter);
    disassembly_->setFocus();
    return true;
}

void InspectorWindow::runCursor() {
    const int address =
        addressOfRow(disassembly_->indexOfTopLevelItem(disassembly_->currentItem()));
    if (address >= 0) app_.runToAddress(address);
}

void InspectorWindow::updateControls() {
    const bool paused = app_.clockPaused();
    runButton_->setText(paused ? QStringLiteral("&Run (F5)") : QStringLiteral("&Pause (F5)"));
    stepButton_->setEnabled(paused);
    stepOverButton_->setEnabled(paused);
    runToCursorButton_->setEnabled(paused);
    const Cpu4004& cpu = app_.board().cpu;
    if (paused) {
        status_->setText(
            QStringLiteral("Stopped at %1 (%2)")
                .arg(hex(cpu.pc(), 3), QLatin1String(stopText(app_.runControl().lastStop()))));
    } else {
        status_->setText(QStringLiteral("Running"));
    }
}

void InspectorWindow::refresh() {
    for (Field& field : fields_) {
        const QString now = field.read();
        field.changed = !field.shown.isEmpty() && now != field.shown;
        // A text of its own (an instruction, a source line) is marked as a
        // whole; the rest character by character, in place.
        const QString& before =
            field.byCharacter || !field.changed ? field.shown : QString(now.size(), QChar());
        if (field.changed || field.label->text().isEmpty() ||
            field.label->text().contains(QLatin1String("<span")))
            field.label->setText(markedText(now, before));
        field.shown = now;
    }
    const bool paused = app_.clockPaused();
    const int pcRow = rowOf(app_.board().cpu.pc());
    if (pcRow != markedPcRow_) {
        const int old = markedPcRow_;
        markedPcRow_ = pcRow;
        markRow(old);
        markRow(pcRow);
    }
    // Stopped, the line at the PC comes into view; running, the view stays
    // where the reader put it.
    if (paused && pcRow >= 0) disassembly_->scrollToItem(disassembly_->topLevelItem(pcRow));
    updateControls();
}

QString InspectorWindow::value(const QString& name) const {
    for (const Field& field : fields_)
        if (field.name == name) return field.shown;
    return {};
}

bool InspectorWindow::changed(const QString& name) const {
    for (const Field& field : fields_)
        if (field.name == name) return field.changed;
    return false;
}

void InspectorWindow::keyPressEvent(QKeyEvent* event) {
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    switch (event->key()) {
        case Qt::Key_F5:
            runButton_->click();
            return;
        case Qt::Key_F10:
            if (control)
                runCursor();
            else
                app_.stepOver();
            return;
        case Qt::Key_F11:
            app_.stepInstruction();
            return;
        case Qt::Key_F9:
            toggleBreakpoint(disassembly_->indexOfTopLevelItem(disassembly_->currentItem()));
            return;
        case Qt::Key_F2:
            raise();
            return;
        case Qt::Key_G:
            if (!control) break;
            goTo_->setFocus();
            goTo_->selectAll();
            return;
        default:
            break;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tallivo
