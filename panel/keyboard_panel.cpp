#include "panel/keyboard_panel.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
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
    soundAction_ = windowMenu_->addAction(tr("Sound"));
    soundAction_->setCheckable(true);
    soundAction_->setVisible(false);
    QObject::connect(soundAction_, &QAction::toggled, this, [this](bool on) {
        if (soundToggled_) soundToggled_(on);
    });
    // Ctrl+V anywhere in the keyboard window types the clipboard.
    pasteAction_ = new QAction(tr("Paste"), this);
    pasteAction_->setShortcut(QKeySequence::Paste);
    pasteAction_->setShortcutContext(Qt::WindowShortcut);
    addAction(pasteAction_);
    QObject::connect(pasteAction_, &QAction::triggered, this,
                     [this] { pasteText(QGuiApplication::clipboard()->text()); });
    pasteTimer_ = new QTimer(this);
    pasteTimer_->setInterval(10);
    QObject::connect(pasteTimer_, &QTimer::timeout, this, [this] { typeNextPastedKey(); });
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
                    // A press by the mouse or the space bar joins the keys'
                    // queue: however short, the firmware gets to see it.
                    QObject::connect(push, &QAbstractButton::pressed, this, [this, push] {
                        if (!pressButton(push)) push->setDown(false);
                    });
                    QObject::connect(push, &QAbstractButton::released, this,
                                     [this, push] { releaseKey(keyOfButton(push)); });
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
            case layout::ControlKind::Lamp:
                button = new LampBox(this);
                break;
            case layout::ControlKind::Label: {
                auto* label = new QLabel(caption, this);
                label->setGeometry(units.rect(control.rect));
                continue;
            }
        }
        QRect area = units.rect(control.rect);
        if (control.kind != layout::ControlKind::Key &&
            control.kind != layout::ControlKind::QuitButton) {
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

    for (int key = 0; key < kKeyCount; ++key) {
        keyButtons_[static_cast<std::size_t>(key)] = keyButton(layoutText(keyCaption(key)));
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
    KeyMatrix::connect(columnLines, rowLines, lampMLine, lampOvfLine, lampNegLine);
    quitFlag = quitRequested;
    if (const QScreen* display = screen()) move(display->availableGeometry().topLeft());
    show();
    isOpen = 1;
}

void KeyboardPanel::setSoundChoice(bool available, bool on, std::function<void(bool)> toggled) {
    soundToggled_ = nullptr;
    soundAction_->setVisible(true);
    soundAction_->setEnabled(available);
    soundAction_->setText(available ? tr("Sound") : tr("Sound (no audio output)"));
    soundAction_->setChecked(available && on);
    soundToggled_ = std::move(toggled);
}

namespace {

QString keyCount(int keys) {
    return keys == 1 ? KeyboardPanel::tr("1 key") : KeyboardPanel::tr("%1 keys").arg(keys);
}

}  // namespace

void KeyboardPanel::pasteText(const QString& text) {
    const TypedText typed = keysForText(text.toStdString());
    for (const std::string_view caption : typed.keys) pasteKeys_.push_back(keyIndex(caption));
    pasteSkipped_.clear();
    if (!typed.skipped.empty()) {
        QStringList named;
        for (const std::string& character : typed.skipped) {
            const QString c = QString::fromStdString(character);
            // A control character is named by its code: it shows nothing.
            named.append(c.size() == 1 && c[0].unicode() < 0x20
                             ? QStringLiteral("U+%1").arg(c[0].unicode(), 4, 16, QLatin1Char('0'))
                             : QLatin1Char('"') + c + QLatin1Char('"'));
        }
        pasteSkipped_ = tr("; skipped, no key: %1").arg(named.join(QStringLiteral(", ")));
    }
    if (pasteStatus) pasteStatus(tr("Pasting %1").arg(keyCount(keysToPaste())) + pasteSkipped_);
    if (pasteNext_ < pasteKeys_.size() && !pasteTimer_->isActive()) pasteTimer_->start();
}

void KeyboardPanel::typeNextPastedKey() {
    // The pasted keys join the keys' queue as it has room for them, and
    // reach the firmware as fast as it takes them; with the clock stopped
    // they wait in the queue.
    while (pasteNext_ < pasteKeys_.size() && pressesWaiting() < kQueueLength) {
        const int key = pasteKeys_[pasteNext_++];
        pressKey(key);
        releaseKey(key);
    }
    if (pasteNext_ < pasteKeys_.size()) return;
    pasteTimer_->stop();
    if (pasteStatus)
        pasteStatus(tr("Pasted %1").arg(keyCount(static_cast<int>(pasteKeys_.size()))) +
                    pasteSkipped_);
    pasteKeys_.clear();
    pasteNext_ = 0;
}

void KeyboardPanel::lampsChanged() {
    lampOvf()->setChecked(lastLamps[1] != 0);
    lampNeg()->setChecked(lastLamps[2] != 0);
    lampM()->setChecked(lastLamps[0] != 0);
}

bool KeyboardPanel::keyHeld(int key) const {
    const QAbstractButton* button = keyButtons_[static_cast<std::size_t>(key)];
    return button != nullptr && button->isDown();
}

int KeyboardPanel::keyOfButton(const QAbstractButton* button) const {
    for (int key = 0; key < kKeyCount; ++key) {
        if (keyButtons_[static_cast<std::size_t>(key)] == button) return key;
    }
    return -1;
}

bool KeyboardPanel::pressButton(const QAbstractButton* button) {
    const int key = keyOfButton(button);
    if (pressKey(key)) return true;
    if (key >= 0) showRefusedPress(key);
    return false;
}

void KeyboardPanel::showRefusedPress(int key) {
    ++refusedPresses_;
    if (refusedBox_ == nullptr) {
        // Shown beside the keyboard without taking its focus: the keys still
        // waiting go on reaching the calculator meanwhile.
        refusedBox_ =
            new QMessageBox(QMessageBox::Warning, windowTitle(), QString(), QMessageBox::Ok, this);
        refusedBox_->setModal(false);
        refusedBox_->setAttribute(Qt::WA_ShowWithoutActivating);
        QObject::connect(refusedBox_, &QMessageBox::finished, this,
                         [this] { refusedPresses_ = 0; });
    }
    const std::string_view caption = keyCaption(key);
    refusedBox_->setText(
        QStringLiteral(
            "%1 presses are waiting for the calculator, as many as the keyboard keeps: the key "
            "\"%2\" was not taken (%3 refused so far). Type it again once the paper has caught up.")
            .arg(pressesWaiting())
            .arg(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())))
            .arg(refusedPresses_));
    refusedBox_->show();
}

void KeyboardPanel::exchangeSwitches(bool fromControls) {
    if (fromControls) {
        // -1 when no button of a group is checked.
        decimalPointIndex = decimalSwitch_->checkedId();
        roundingIndex = roundingSwitch_->checkedId();
        return;
    }
    if (QAbstractButton* button = decimalSwitch_->button(decimalPointIndex))
        button->setChecked(true);
    if (QAbstractButton* button = roundingSwitch_->button(roundingIndex)) button->setChecked(true);
}

bool KeyboardPanel::setDecimalPointIndex(int index) {
    QAbstractButton* button = decimalSwitch_->button(index);
    if (button == nullptr) return false;
    button->setChecked(true);
    return KeyMatrix::setDecimalPointIndex(index);
}

bool KeyboardPanel::setRoundingIndex(int index) {
    QAbstractButton* button = roundingSwitch_->button(index);
    if (button == nullptr) return false;
    button->setChecked(true);
    return KeyMatrix::setRoundingIndex(index);
}

int KeyboardPanel::shutdown() {
    if (isOpen == 0) return 0;
    // Cleared first, so that the close below is not taken for the user's
    // request to quit.
    isOpen = 0;
    releaseAllPcKeys();
    pasteTimer_->stop();
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

QAbstractButton* KeyboardPanel::quitButton() const {
    return controlById(layout::kQuitId);
}
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
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    QAbstractButton* button = keyButton(layoutText(calculatorKeyFor(event->key())));
    if (button == nullptr) return false;
    // Auto-repeat only says the key is still held, unless it is the press of
    // a key typed again at once (see releasePcKey).
    const bool retyped = event->isAutoRepeat() && retypedScanCode_ == event->nativeScanCode() &&
                         retypedKey_ == event->key();
    retypedKey_ = 0;
    if (event->isAutoRepeat() && !retyped) return true;
    for (int i = 0; i < heldKeyCount_; ++i) {
        const HeldKey& held = heldKeys_[static_cast<std::size_t>(i)];
        if (held.scanCode == event->nativeScanCode() && held.key == event->key()) return true;
    }
    if (!pressButton(button)) return true;
    if (heldKeyCount_ < static_cast<int>(heldKeys_.size())) {
        heldKeys_[static_cast<std::size_t>(heldKeyCount_++)] = {
            event->nativeScanCode(), event->key(), button, event->timestamp()};
    }
    button->setDown(true);
    return true;
}

bool KeyboardPanel::releasePcKey(const QKeyEvent* event) {
    const bool mapped = !calculatorKeyFor(event->key()).empty();
    // A physical key is known by its scan code where the platform gives one:
    // Shift released before "=" turns the release of "+" into one of "=".
    const quint32 scanCode = event->nativeScanCode();
    for (int i = 0; i < heldKeyCount_; ++i) {
        const HeldKey held = heldKeys_[static_cast<std::size_t>(i)];
        const bool same = scanCode != 0 ? held.scanCode == scanCode : held.key == event->key();
        if (!same) continue;
        if (event->isAutoRepeat()) {
            // The window system calls a release and a press of one key at the
            // same moment an auto-repeat. The keyboard's own repeat begins
            // only after its delay; sooner, the key was let go and typed
            // again as fast as a paste types (xdotool type --delay 0).
            if (event->timestamp() - held.pressedAt >= kAutoRepeatDelayMs) return true;
            retypedScanCode_ = scanCode;
            retypedKey_ = event->key();
        }
        heldKeys_[static_cast<std::size_t>(i)] =
            heldKeys_[static_cast<std::size_t>(--heldKeyCount_)];
        bool stillHeld = false;
        for (int j = 0; j < heldKeyCount_; ++j) {
            stillHeld = stillHeld || heldKeys_[static_cast<std::size_t>(j)].button == held.button;
        }
        if (!stillHeld) {
            held.button->setDown(false);
            releaseKey(keyOfButton(held.button));
        }
        return true;
    }
    return mapped;
}

void KeyboardPanel::releaseAllPcKeys() {
    for (int i = 0; i < heldKeyCount_; ++i) {
        QAbstractButton* button = heldKeys_[static_cast<std::size_t>(i)].button;
        button->setDown(false);
        releaseKey(keyOfButton(button));
    }
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
