#pragma once
// The calculator's keyboard: 30 keys, the decimal-point and rounding switches,
// the OVF, NEG and M lamps and Quit, in the application's main window.
//
// On the board the keyboard is a matrix read through a shift register: the
// firmware pulls one of the ten KeyColumn lines low and reads the four KeyRow
// lines through ROM 1's input port. Columns 0 to 7 carry keys, column 8 the
// decimal-point switch as a binary number, column 9 the rounding switch. The
// lamps follow RAM 1's output port.
//
// As a component it works in phase 1 only (it is registered first, so it sees
// what the shift register and RAM 1 drove in the previous period) and asks the
// widgets for key and switch states only when the column pattern changes.
#include <QDialog>
#include <QIcon>

#include <array>
#include <cstdint>
#include <functional>

#include "kernel/component.h"
#include "kernel/net.h"

class QAbstractButton;
class QAction;
class QButtonGroup;
class QCheckBox;
class QKeyEvent;
class QMenu;

namespace tallivo {

class KeyboardPanel final : public QDialog, public Component {
    Q_OBJECT
public:
    // However short a press of a key is (a click, a tap of a PC key), the
    // firmware sees the key down for at least this many clock periods: the
    // clock runs in bursts between window events, and a press that came and
    // went between two bursts would otherwise never reach the board. 20000
    // periods (27 ms at 740 kHz) cover a full scan of the ten columns.
    static constexpr std::uint64_t kMinimumHoldPeriods = 20000;

    explicit KeyboardPanel(QWidget* parent = nullptr);
    ~KeyboardPanel() override;

    // Hands the panel its Nets and opens the window at the top left corner of
    // the screen. `columnLines` and `rowLines` point at 10 and 4 consecutive
    // Nets. Writes no Net.
    void connect(Net* columnLines, Net* rowLines, Net* lampMLine, Net* lampOvfLine,
                 Net* lampNegLine, Net* quitRequested);

    int clockPhase1() override;  // key matrix and lamp scan
    int clockPhase2() override;  // nothing: the panel drives its rows in phase 1
    int shutdown() override;     // closes the window once; later calls do nothing

    // Clock periods run since construction, as the scan counts them.
    std::uint64_t periodsSeen() const { return periodCount_; }

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

    std::int32_t decimalPointIndex = 0;  // 0..7; 8 stands for position 7 ("8")
    std::int32_t roundingIndex = 1;      // 0 "/N", 1 "FL", 2 "5/4"
    std::array<Net, 3> lastLamps{};      // LampM, LampOVF, LampNEG at the last change
    std::array<Net, 10> lastColumns{};   // KeyColumn 0..9 at the last change
    std::uint8_t isOpen = 0;
    Net* columnNets = nullptr;
    Net* rowNets = nullptr;
    Net* lampMNet = nullptr;
    Net* lampOvfNet = nullptr;
    Net* lampNegNet = nullptr;
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

private:
    void buildControls();
    void exchangeSwitches(bool fromControls);
    void scanKeyMatrix();
    QAbstractButton* controlById(int id) const;

    bool keyDownForBoard(std::size_t column, std::size_t row) const;
    void holdForBoard(const QAbstractButton* key);
    // F1 opens the About box, F2 the inspector.
    bool helpKey(const QKeyEvent* event);
    bool pressPcKey(const QKeyEvent* event);
    bool releasePcKey(const QKeyEvent* event);
    void releaseAllPcKeys();

    // Every numbered control, indexed by id - 1000.
    static constexpr int kFirstId = 1000;
    static constexpr int kIdCount = 47;
    std::array<QAbstractButton*, kIdCount> controls_{};
    // The key of each matrix cell of columns 0 to 7; nullptr where a row
    // always reads 0.
    std::array<std::array<QAbstractButton*, 4>, 8> matrixKeys_{};
    QButtonGroup* decimalSwitch_ = nullptr;
    QButtonGroup* roundingSwitch_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* inspectorAction_ = nullptr;

    // Clock periods run so far, and for each key of the matrix the first
    // and the last period of its minimum hold.
    std::uint64_t periodCount_ = 0;
    std::array<std::array<std::uint64_t, 4>, 8> heldFrom_{};
    std::array<std::array<std::uint64_t, 4>, 8> heldUntil_{};

    // Calculator keys held by PC keys, so that the release of the PC key (even
    // after its modifier has changed the key code) lets the same button go.
    struct HeldKey {
        quint32 scanCode;
        int key;
        QAbstractButton* button;
    };
    std::array<HeldKey, 8> heldKeys_{};
    int heldKeyCount_ = 0;
};

}  // namespace tallivo
