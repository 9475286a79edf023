#include "panel/keyboard_panel.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "panel/about_box.h"
#include "panel/dialog_units.h"
#include "panel/pc_keys.h"
#include "resources/dialog_layouts.h"
#include "resources/icon.h"

namespace tallivo {

namespace {

// A lamp is a check box that only the program sets: a click must not toggle
// it, whichever way the click reaches it.
class LampBox final : public QCheckBox {
public:
    explicit LampBox(QWidget* parent) : QCheckBox(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void nextCheckState() override {}
};

Net level(const Net* line) { return line != nullptr ? *line : Net{0}; }

}  // namespace

KeyboardPanel::KeyboardPanel(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(layoutText(layout::kKeyboardCaption));
    panelIcon = tallivoIcon();
    setWindowIcon(panelIcon);
    setFont(dialogFont());
    // The PC keys in the tooltips help most before the user has clicked
    // into the window.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    buildControls();
    // The switches open at "0" and "FL".
    exchangeSwitches(false);

    windowMenu_ = new QMenu(this);
    if (!layout::kAboutMenuText.empty()) {
        aboutAction_ = windowMenu_->addAction(layoutText(layout::kAboutMenuText));
        aboutAction_->setData(layout::kAboutCommand);
        QObject::connect(aboutAction_, &QAction::triggered, this,
                         [this] { systemCommand(aboutAction_->data().toInt()); });
    }
    inspectorAction_ = windowMenu_->addAction(layoutText(layout::kInspectorMenuText));
    QObject::connect(inspectorAction_, &QAction::triggered, this, [this] {
        if (inspectorOpener) inspectorOpener();
    });
    aboutRunner = [this] {
        AboutBox box(this);
        box.exec();
    };
}

KeyboardPanel::~KeyboardPanel() = default;

void KeyboardPanel::buildControls() {
    const DialogUnits units(font());
    setFixedSize(units.size(layout::kKeyboardWidth, layout::kKeyboardHeight));

    decimalSwitch_ = new QButtonGroup(this);
    roundingSwitch_ = new QButtonGroup(this);
    for (const layout::Control& control : layout::kKeyboardControls) {
        const QString caption = layoutText(control.caption);
        QAbstractButton* button = nullptr;
        switch (control.kind) {
        case layout::ControlKind::Key:
        case layout::ControlKind::QuitButton: {
            auto* push = new QPushButton(caption, this);
            // Enter is the "=" key, not "click the focused button".
            push->setAutoDefault(false);
            push->setDefault(control.id == layout::kEqualsId);
            if (control.kind == layout::ControlKind::Key) {
                push->setToolTip(pcKeyTooltip(control.caption));
                // A press by the mouse or the space bar: however short, the
                // firmware gets to see it.
                QObject::connect(push, &QAbstractButton::pressed, this,
                                 [this, push] { holdForBoard(push); });
            }
            button = push;
            break;
        }
        case layout::ControlKind::DecimalSwitch:
            button = new QRadioButton(this);
            decimalSwitch_->addButton(button, decimalSwitch_->buttons().size());
            break;
        case layout::ControlKind::RoundingSwitch:
            button = new QRadioButton(this);
            roundingSwitch_->addButton(button, roundingSwitch_->buttons().size());
            break;
        case layout::ControlKind::Lamp: button = new LampBox(this); break;
        case layout::ControlKind::Label: {
            auto* label = new QLabel(caption, this);
            label->setGeometry(units.rect(control.rect));
            continue;
        }
        }
        QRect area = units.rect(control.rect);
        if (control.kind != layout::ControlKind::Key && control.kind != layout::ControlKind::QuitButton) {
            // A switch or lamp indicator taller than its 8-unit slot would be
            // clipped: let it grow about the slot's centre line.
            const int height = std::max(area.height(), button->sizeHint().height());
            area.adjust(0, -(height - area.height()) / 2, 0, 0);
            area.setHeight(height);
        }
        button->setGeometry(area);
        button->setObjectName(QString::number(control.id));
        // PC keys are calculator keys whichever control has the focus.
        button->installEventFilter(this);
        controls_[static_cast<std::size_t>(control.id - kFirstId)] = button;
    }

    for (int column = 0; column < layout::kKeyColumns; ++column) {
        for (int row = 0; row < layout::kKeyRows; ++row) {
            const int id = layout::kKeyMatrix[column][row];
            matrixKeys_[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)] =
                id != 0 ? controlById(id) : nullptr;
        }
    }

    QObject::connect(quitButton(), &QAbstractButton::clicked, this, [this] {
        if (quitFlag != nullptr) *quitFlag = 1;
    });
}

QAbstractButton* KeyboardPanel::controlById(int id) const {
    const int index = id - kFirstId;
    if (index < 0 || index >= kIdCount) return nullptr;
    return controls_[static_cast<std::size_t>(index)];
}

void KeyboardPanel::connect(Net* columnLines, Net* rowLines, Net* lampMLine, Net* lampOvfLine,
                            Net* lampNegLine, Net* quitRequested) {
    columnNets = columnLines;
    rowNets = rowLines;
    lampMNet = lampMLine;
    lampOvfNet = lampOvfLine;
    lampNegNet = lampNegLine;
    quitFlag = quitRequested;
    lastColumns.fill(0);
    lastLamps.fill(0);
    if (const QScreen* display = screen()) move(display->availableGeometry().topLeft());
    show();
    isOpen = 1;
}

namespace {

// The ten column lines as two words, compared in two instructions: this runs
// in every clock period.
bool sameColumns(const Net* lines, const std::array<Net, 10>& last) {
    std::uint64_t now8, last8;
    std::uint16_t now2, last2;
    std::memcpy(&now8, lines, 8);
    std::memcpy(&last8, last.data(), 8);
    std::memcpy(&now2, lines + 8, 2);
    std::memcpy(&last2, last.data() + 8, 2);
    return now8 == last8 && now2 == last2;
}

}  // namespace

int KeyboardPanel::clockPhase1() {
    // The usual period costs a count and two comparisons: the widgets are
    // asked only when the firmware has changed the column pattern or a lamp.
    ++periodCount_;
    if (columnNets != nullptr && !sameColumns(columnNets, lastColumns)) {
        scanKeyMatrix();
        std::memcpy(lastColumns.data(), columnNets, lastColumns.size());
    }
    const Net m = level(lampMNet);
    const Net ovf = level(lampOvfNet);
    const Net neg = level(lampNegNet);
    if (m != lastLamps[0] || ovf != lastLamps[1] || neg != lastLamps[2]) {
        lampOvf()->setChecked(ovf != 0);
        lampNeg()->setChecked(neg != 0);
        lampM()->setChecked(m != 0);
        lastLamps = {m, ovf, neg};
    }
    return 0;
}

void KeyboardPanel::scanKeyMatrix() {
    // The selected column is the lowest one pulled low. With none low nothing
    // drives the rows, and they keep their levels.
    std::size_t column = 0;
    while (column < lastColumns.size() && columnNets[column] != 0) ++column;
    if (column == lastColumns.size() || rowNets == nullptr) return;

    if (column < matrixKeys_.size()) {
        for (std::size_t row = 0; row < 4; ++row) {
            rowNets[row] = keyDownForBoard(column, row) ? 1 : 0;
        }
        return;
    }

    exchangeSwitches(true);
    if (column == 8) {
        // The switch's last position is labelled "8": the firmware reads the
        // number printed under the position, not the position.
        if (decimalPointIndex == 7) decimalPointIndex = 8;
        for (std::size_t row = 0; row < 4; ++row) {
            rowNets[row] = static_cast<Net>((decimalPointIndex >> row) & 1);
        }
    } else {
        rowNets[0] = roundingIndex == 0 ? 1 : 0;  // "/N": truncate
        rowNets[1] = 0;
        rowNets[2] = 0;
        rowNets[3] = roundingIndex == 2 ? 1 : 0;  // "5/4": round half up
    }
}

bool KeyboardPanel::keyDownForBoard(std::size_t column, std::size_t row) const {
    const QAbstractButton* key = matrixKeys_[column][row];
    if (key == nullptr) return false;
    // A key stays down for the firmware until its minimum hold has run out,
    // even when the user has let go already.
    return key->isDown() || (heldFrom_[column][row] < periodCount_ && periodCount_ <= heldUntil_[column][row]);
}

void KeyboardPanel::holdForBoard(const QAbstractButton* key) {
    // The press is seen from the next clock period on; the periods already
    // run do not count. Keys pressed while an earlier press has still to
    // reach the board (typed quickly, or while the clock stands still in the
    // inspector) follow one another, each after the earlier one's hold and
    // a scan with no key down: held together, the firmware would take them
    // for two keys at once and keep one.
    std::uint64_t start = periodCount_;
    for (std::size_t column = 0; column < matrixKeys_.size(); ++column) {
        for (std::size_t row = 0; row < 4; ++row) {
            if (matrixKeys_[column][row] != key && heldUntil_[column][row] != 0 && heldUntil_[column][row] >= periodCount_)
                start = std::max(start, heldUntil_[column][row] + kMinimumHoldPeriods);
        }
    }
    for (std::size_t column = 0; column < matrixKeys_.size(); ++column) {
        for (std::size_t row = 0; row < 4; ++row) {
            if (matrixKeys_[column][row] != key) continue;
            heldFrom_[column][row] = start;
            heldUntil_[column][row] = start + kMinimumHoldPeriods;
        }
    }
}

void KeyboardPanel::exchangeSwitches(bool fromControls) {
    if (fromControls) {
        // -1 when no button of a group is checked.
        decimalPointIndex = decimalSwitch_->checkedId();
        roundingIndex = roundingSwitch_->checkedId();
        return;
    }
    if (QAbstractButton* button = decimalSwitch_->button(decimalPointIndex)) button->setChecked(true);
    if (QAbstractButton* button = roundingSwitch_->button(roundingIndex)) button->setChecked(true);
}

bool KeyboardPanel::setDecimalPointIndex(int index) {
    QAbstractButton* button = decimalSwitch_->button(index);
    if (button == nullptr) return false;
    button->setChecked(true);
    decimalPointIndex = index;
    return true;
}

bool KeyboardPanel::setRoundingIndex(int index) {
    QAbstractButton* button = roundingSwitch_->button(index);
    if (button == nullptr) return false;
    button->setChecked(true);
    roundingIndex = index;
    return true;
}

int KeyboardPanel::clockPhase2() { return 0; }

int KeyboardPanel::shutdown() {
    if (isOpen == 0) return 0;
    // Cleared first, so that the close below is not taken for the user's
    // request to quit.
    isOpen = 0;
    releaseAllPcKeys();
    close();
    return 0;
}

void KeyboardPanel::systemCommand(int command) {
    // The low four bits of a window-menu command are reserved for the
    // window system; the entry is recognised with them cleared.
    if ((command & ~0xF) == layout::kAboutCommand && aboutRunner) aboutRunner();
}

QAbstractButton* KeyboardPanel::keyButton(const QString& caption) const {
    for (const layout::Control& control : layout::kKeyboardControls) {
        if (control.kind == layout::ControlKind::Key && layoutText(control.caption) == caption) {
            return controlById(control.id);
        }
    }
    return nullptr;
}

QAbstractButton* KeyboardPanel::quitButton() const { return controlById(layout::kQuitId); }
QCheckBox* KeyboardPanel::lampM() const {
    return static_cast<QCheckBox*>(controlById(layout::kLampMId));
}
QCheckBox* KeyboardPanel::lampOvf() const {
    return static_cast<QCheckBox*>(controlById(layout::kLampOvfId));
}
QCheckBox* KeyboardPanel::lampNeg() const {
    return static_cast<QCheckBox*>(controlById(layout::kLampNegId));
}

bool KeyboardPanel::pressPcKey(const QKeyEvent* event) {
    // With Ctrl, Alt or Meta a key is a shortcut, not a calculator key.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    QAbstractButton* button = keyButton(layoutText(calculatorKeyFor(event->key())));
    if (button == nullptr) return false;
    // Auto-repeat only says the key is still held.
    if (event->isAutoRepeat()) return true;
    for (int i = 0; i < heldKeyCount_; ++i) {
        const HeldKey& held = heldKeys_[static_cast<std::size_t>(i)];
        if (held.scanCode == event->nativeScanCode() && held.key == event->key()) return true;
    }
    if (heldKeyCount_ < static_cast<int>(heldKeys_.size())) {
        heldKeys_[static_cast<std::size_t>(heldKeyCount_++)] = {event->nativeScanCode(),
                                                                event->key(), button};
    }
    button->setDown(true);
    holdForBoard(button);
    return true;
}

bool KeyboardPanel::releasePcKey(const QKeyEvent* event) {
    const bool mapped = !calculatorKeyFor(event->key()).empty();
    if (event->isAutoRepeat()) return mapped;
    // A physical key is known by its scan code where the platform gives one:
    // Shift released before "=" turns the release of "+" into one of "=".
    const quint32 scanCode = event->nativeScanCode();
    for (int i = 0; i < heldKeyCount_; ++i) {
        const HeldKey held = heldKeys_[static_cast<std::size_t>(i)];
        const bool same = scanCode != 0 ? held.scanCode == scanCode : held.key == event->key();
        if (!same) continue;
        heldKeys_[static_cast<std::size_t>(i)] = heldKeys_[static_cast<std::size_t>(--heldKeyCount_)];
        bool stillHeld = false;
        for (int j = 0; j < heldKeyCount_; ++j) {
            stillHeld = stillHeld || heldKeys_[static_cast<std::size_t>(j)].button == held.button;
        }
        if (!stillHeld) held.button->setDown(false);
        return true;
    }
    return mapped;
}

void KeyboardPanel::releaseAllPcKeys() {
    for (int i = 0; i < heldKeyCount_; ++i) heldKeys_[static_cast<std::size_t>(i)].button->setDown(false);
    heldKeyCount_ = 0;
}

bool KeyboardPanel::helpKey(const QKeyEvent* event) {
    if (event->key() == Qt::Key_F2) {
        if (!event->isAutoRepeat() && inspectorOpener) inspectorOpener();
        return true;
    }
    if (event->key() != Qt::Key_F1) return false;
    if (!event->isAutoRepeat()) systemCommand(layout::kAboutCommand);
    return true;
}

void KeyboardPanel::keyPressEvent(QKeyEvent* event) {
    if (!helpKey(event) && !pressPcKey(event)) QDialog::keyPressEvent(event);
}

void KeyboardPanel::keyReleaseEvent(QKeyEvent* event) {
    if (!releasePcKey(event)) QDialog::keyReleaseEvent(event);
}

bool KeyboardPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return helpKey(key) || pressPcKey(key);
    }
    if (event->type() == QEvent::KeyRelease) return releasePcKey(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

void KeyboardPanel::changeEvent(QEvent* event) {
    // A key released while another window has the focus never reports its
    // release here: let go of every held key rather than leave it stuck down.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) releaseAllPcKeys();
    QDialog::changeEvent(event);
}

void KeyboardPanel::closeEvent(QCloseEvent* event) {
    // Closing the calculator from its window frame is Quit: the application
    // shows its report and then ends the run, which closes the window.
    if (isOpen != 0 && quitFlag != nullptr) {
        *quitFlag = 1;
        event->ignore();
        return;
    }
    event->accept();
}

void KeyboardPanel::contextMenuEvent(QContextMenuEvent* event) {
    // Linux windows have no system menu; the window's context menu carries
    // its entry instead.
    inspectorAction_->setVisible(static_cast<bool>(inspectorOpener));
    if (!windowMenu_->isEmpty()) windowMenu_->popup(event->globalPos());
}

}  // namespace tallivo
