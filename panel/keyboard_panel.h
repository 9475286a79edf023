#pragma once
// The calculator's keyboard window: 30 keys, the decimal-point and rounding
// switches, the OVF, NEG and M lamps and Quit, in the application's main
// window. The scan of the matrix is the KeyMatrix's; the window's buttons are
// the keys it reads, its radio buttons the switches and its check boxes the
// lamps it lights.
#include <QDialog>
#include <QIcon>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "kernel/net.h"
#include "panel/key_matrix.h"

class QAbstractButton;
class QAction;
class QButtonGroup;
class QCheckBox;
class QKeyEvent;
class QMenu;
class QMessageBox;
class QTimer;

namespace tallivo {

class KeyboardPanel final : public QDialog, public KeyMatrix {
    Q_OBJECT
  public:
    explicit KeyboardPanel(QWidget* parent = nullptr);
    ~KeyboardPanel() override;

    // Hands the panel its Nets and opens the window at the top left corner of
    // the screen. `columnLines` and `rowLines` point at 10 and 4 consecutive
    // Nets. Writes no Net.
    void connect(Net* columnLines, Net* rowLines, Net* lampMLine, Net* lampOvfLine,
                 Net* lampNegLine, Net* quitRequested);

    int shutdown() override;  // closes the window once; later calls do nothing

    // Window-menu command; commands 16 to 31 run the About box.
    void systemCommand(int command);

    // The key with this caption as the panel shows it ("7", "00", "+", "M+=",
    // "SQRT", "CE", ...), or nullptr for no such key.
    QAbstractButton* keyButton(const QString& caption) const;
    QAbstractButton* quitButton() const;
    QCheckBox* lampM() const;
    QCheckBox* lampOvf() const;
    QCheckBox* lampNeg() const;
    QButtonGroup* decimalPointSwitch() const { return decimalSwitch_; }
    QButtonGroup* roundingSwitch() const { return roundingSwitch_; }
    QMenu* windowMenu() const { return windowMenu_; }
    QAction* aboutAction() const { return aboutAction_; }

    // Turn a switch as the user would (index 0 to 7, or 0 to 2); the firmware
    // reads it at the next pass of the switch's column. Out-of-range indices
    // change nothing and return false.
    bool setDecimalPointIndex(int index);
    bool setRoundingIndex(int index);

    // Runs the About box modally; tests replace it.
    std::function<void()> aboutRunner;
    // Opens the inspector (menu entry and F2); the menu entry is there once
    // this is set.
    std::function<void()> inspectorOpener;
    QAction* inspectorAction() const { return inspectorAction_; }
    // The message that says a press was refused, once one was.
    QMessageBox* refusedMessage() const { return refusedBox_; }
    // The "Sound" check item of the menu: checked as `on`, and `toggled`
    // called when the user changes it. Without an audio output the item
    // is there but greyed, and says why.
    void setSoundChoice(bool available, bool on, std::function<void(bool)> toggled);

    // Types the text through the PC keys (Ctrl+V types the clipboard's):
    // the keys join the keys' queue as it has room for them (a timer adds
    // more as the calculator takes them), so none is lost. Characters with
    // no key are skipped and named to `pasteStatus`, with the count of keys.
    void pasteText(const QString& text);
    // Keys of pastes still to join the queue.
    int keysToPaste() const { return static_cast<int>(pasteKeys_.size() - pasteNext_); }
    std::function<void(const QString&)> pasteStatus;

    std::uint8_t isOpen = 0;
    Net* quitFlag = nullptr;
    QIcon panelIcon;

  public slots:
    // Enter and Escape are calculator keys here: the dialog never closes on
    // its own accept or reject.
    void accept() override {}
    void reject() override {}

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The matrix reads the buttons and radio buttons, and lights the check
    // boxes. A button the mouse or a PC key holds is a person's press, which
    // reaches the board through the keys' queue; one set down otherwise (a
    // script) is read exactly while it is down.
    bool keyHeld(int key) const override;
    void readSwitches() override { exchangeSwitches(true); }
    void lampsChanged() override;

  private:
    void buildControls();
    void exchangeSwitches(bool fromControls);
    QAbstractButton* controlById(int id) const;

    int keyOfButton(const QAbstractButton* button) const;
    // A person presses the button's key: false when the queue refuses it,
    // which a message beside the keyboard then says.
    bool pressButton(const QAbstractButton* button);
    void showRefusedPress(int key);
    // F1 opens the About box, F2 the inspector.
    bool helpKey(const QKeyEvent* event);
    bool pressPcKey(const QKeyEvent* event);
    bool releasePcKey(const QKeyEvent* event);
    void releaseAllPcKeys();

    // Every numbered control, indexed by id - 1000.
    static constexpr int kFirstId = 1000;
    static constexpr int kIdCount = 47;
    std::array<QAbstractButton*, kIdCount> controls_{};
    // The button of each key, in KeyMatrix's numbering.
    std::array<QAbstractButton*, kKeyCount> keyButtons_{};
    QButtonGroup* decimalSwitch_ = nullptr;
    QButtonGroup* roundingSwitch_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* inspectorAction_ = nullptr;
    QMessageBox* refusedBox_ = nullptr;
    int refusedPresses_ = 0;
    QAction* soundAction_ = nullptr;
    std::function<void(bool)> soundToggled_;
    QAction* pasteAction_ = nullptr;

    // Put into the queue as it has room.
    void typeNextPastedKey();
    std::vector<int> pasteKeys_;
    std::size_t pasteNext_ = 0;
    QTimer* pasteTimer_ = nullptr;
    QString pasteSkipped_;  // what the status says of skipped characters

    // Calculator keys held by PC keys, so that the release of the PC key (even
    // after its modifier has changed the key code) lets the same button go.
    struct HeldKey {
        quint32 scanCode;
        int key;
        QAbstractButton* button;
        ulong pressedAt;  // the press event's time, in milliseconds
    };
    std::array<HeldKey, 8> heldKeys_{};
    int heldKeyCount_ = 0;
    // No keyboard repeats a held key sooner than this after its press.
    static constexpr ulong kAutoRepeatDelayMs = 100;
    // The key just let go as one typed again at once: the press that comes
    // with its release is a new press.
    quint32 retypedScanCode_ = 0;
    int retypedKey_ = 0;
};

}  // namespace tallivo
