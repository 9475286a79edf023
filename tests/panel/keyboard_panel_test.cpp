// The keyboard panel on the offscreen platform: the key matrix read through the
// real buttons, the switches, the lamps, Quit, the About entry and PC keys.
#include "panel/keyboard_panel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <array>
#include <set>
#include <string>

#include "tests/panel/qt_printers.h"
#include "tests/support/mouse.h"

namespace tallivo {
namespace {

// The keyboard as the calculator's wiring has it: the caption of the key on
// each row of each column ("" where the row reads 0).
const char* const kMatrix[8][4] = {
    {"CM", "RM", "M-", "M+"}, {"SQRT", "%", "M-=", "M+="}, {"<>", "/", "X", "="},
    {"-", "+", "", ""},       {"9", "6", "3", "."},        {"8", "5", "2", "00"},
    {"7", "4", "1", "0"},     {"S", "Ex", "CE", "C"},
};

class KeyboardPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        columns.fill(1);
        panel.connect(columns.data(), rows.data(), &lampM, &lampOvf, &lampNeg, &quit);
    }

    // Pulls one column low (the others high) and runs one scan.
    void select(int column) {
        columns.fill(1);
        columns[static_cast<std::size_t>(column)] = 0;
        panel.clockPhase1();
    }
    // Selects the column again after another one, so the scan sees a change.
    void reselect(int column) {
        select(column == 0 ? 1 : 0);
        select(column);
    }
    // Clock periods in which the column pattern stays as it is.
    void idle(std::uint64_t periods) {
        for (std::uint64_t p = 0; p < periods; ++p) panel.clockPhase1();
    }
    int rowBits() const { return rows[0] | rows[1] << 1 | rows[2] << 2 | rows[3] << 3; }
    QAbstractButton* key(const char* caption) const {
        QAbstractButton* button = panel.keyButton(QString::fromLatin1(caption));
        EXPECT_NE(button, nullptr) << caption;
        return button;
    }
    void sendKey(QObject* target, QEvent::Type type, int qtKey, bool autoRepeat = false,
                 quint32 scanCode = 0, const QString& text = {}, ulong timestamp = 0) {
        QKeyEvent event(type, qtKey, Qt::NoModifier, scanCode, 0, 0, text, autoRepeat);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(target, &event);
    }

    std::array<Net, 10> columns{};
    std::array<Net, 4> rows{};
    Net lampM = 0;
    Net lampOvf = 0;
    Net lampNeg = 0;
    Net quit = 0;
    KeyboardPanel panel;
};

TEST_F(KeyboardPanelTest, EveryKeyReachesItsRowOfItsColumnOnly) {
    std::set<std::string> seen;
    for (int column = 0; column < 8; ++column) {
        for (int row = 0; row < 4; ++row) {
            const std::string caption = kMatrix[column][row];
            if (caption.empty()) continue;
            seen.insert(caption);
            QAbstractButton* button = key(caption.c_str());
            button->setDown(true);
            for (int scanned = 0; scanned < 8; ++scanned) {
                reselect(scanned);
                EXPECT_EQ(rowBits(), scanned == column ? 1 << row : 0)
                    << caption << " scanned in column " << scanned;
            }
            button->setDown(false);
        }
    }
    EXPECT_EQ(seen.size(), 30u);
    EXPECT_EQ(panel.keyButton(QStringLiteral("Quit")), nullptr);
    EXPECT_EQ(panel.keyButton(QStringLiteral("7 ")), nullptr);
}

TEST_F(KeyboardPanelTest, ColumnSelectionRules) {
    key("=")->setDown(true);
    key("7")->setDown(true);

    // Two columns low: the lower one is read.
    columns.fill(1);
    columns[6] = 0;
    columns[2] = 0;
    panel.clockPhase1();
    EXPECT_EQ(rowBits(), 0b1000);

    // No column low: nothing drives the rows, they keep their levels.
    columns.fill(1);
    panel.clockPhase1();
    EXPECT_EQ(rowBits(), 0b1000);
    EXPECT_EQ(panel.lastColumns, columns);

    // Column 3 has no keys on rows 2 and 3, whatever is held.
    for (const char* caption : {"-", "+", "9", "6", "3", "."}) key(caption)->setDown(true);
    rows.fill(1);
    select(3);
    EXPECT_EQ(rowBits(), 0b0011);
}

TEST_F(KeyboardPanelTest, KeyHeldUnderAnUnchangedPatternIsSeenAtTheNextChange) {
    select(6);
    EXPECT_EQ(rowBits(), 0);
    key("4")->setDown(true);
    panel.clockPhase1();
    panel.clockPhase1();
    EXPECT_EQ(rowBits(), 0);
    reselect(6);
    EXPECT_EQ(rowBits(), 0b0010);
}

TEST_F(KeyboardPanelTest, DecimalPointSwitchReadsThePrintedNumber) {
    EXPECT_EQ(panel.decimalPointSwitch()->checkedId(), 0);
    const int printed[8] = {0, 1, 2, 3, 4, 5, 6, 8};
    for (int index = 0; index < 8; ++index) {
        ASSERT_TRUE(panel.setDecimalPointIndex(index));
        reselect(8);
        EXPECT_EQ(rowBits(), printed[index]) << "position " << index;
    }
    // "8" is row 3 alone; the stored value stays 8 until the next read.
    EXPECT_EQ(rows, (std::array<Net, 4>{0, 0, 0, 1}));
    EXPECT_EQ(panel.decimalPointIndex, 8);

    // The scan reads the switch from the control, as a click leaves it.
    panel.decimalPointSwitch()->button(5)->click();
    reselect(8);
    EXPECT_EQ(rows, (std::array<Net, 4>{1, 0, 1, 0}));
    EXPECT_EQ(panel.decimalPointIndex, 5);

    EXPECT_FALSE(panel.setDecimalPointIndex(8));
    EXPECT_FALSE(panel.setDecimalPointIndex(-1));
    EXPECT_EQ(panel.decimalPointSwitch()->checkedId(), 5);
}

TEST_F(KeyboardPanelTest, RoundingSwitch) {
    EXPECT_EQ(panel.roundingSwitch()->checkedId(), 1);
    rows.fill(1);
    select(9);
    EXPECT_EQ(rowBits(), 0) << "FL";
    panel.setRoundingIndex(0);
    reselect(9);
    EXPECT_EQ(rowBits(), 0b0001) << "/N";
    panel.roundingSwitch()->button(2)->click();
    reselect(9);
    EXPECT_EQ(rowBits(), 0b1000) << "5/4";
    EXPECT_FALSE(panel.setRoundingIndex(3));
}

TEST_F(KeyboardPanelTest, LampsFollowTheirNetsAndIgnoreClicks) {
    panel.clockPhase1();
    EXPECT_FALSE(panel.lampM()->isChecked());

    // A box set behind the scan's back stays until some lamp Net changes;
    // then all three are written from their Nets.
    panel.lampOvf()->setChecked(true);
    panel.clockPhase1();
    EXPECT_TRUE(panel.lampOvf()->isChecked());
    lampM = 1;
    panel.clockPhase1();
    EXPECT_TRUE(panel.lampM()->isChecked());
    EXPECT_FALSE(panel.lampOvf()->isChecked());
    EXPECT_FALSE(panel.lampNeg()->isChecked());

    lampNeg = 1;
    lampM = 0;
    panel.clockPhase1();
    EXPECT_FALSE(panel.lampM()->isChecked());
    EXPECT_TRUE(panel.lampNeg()->isChecked());
    EXPECT_EQ(panel.lastLamps, (std::array<Net, 3>{0, 0, 1}));

    for (QCheckBox* lamp : {panel.lampM(), panel.lampOvf(), panel.lampNeg()}) {
        const bool before = lamp->isChecked();
        lamp->click();
        testing::clickWithMouse(lamp);
        EXPECT_EQ(lamp->isChecked(), before);
        EXPECT_EQ(lamp->focusPolicy(), Qt::NoFocus);
    }
}

TEST_F(KeyboardPanelTest, EachLampLightsAndGoesDarkOnItsOwn) {
    Net* const nets[3] = {&lampM, &lampOvf, &lampNeg};
    QCheckBox* const boxes[3] = {panel.lampM(), panel.lampOvf(), panel.lampNeg()};
    const char* const names[3] = {"M", "OVF", "NEG"};
    // With the other two dark, then with the other two lit.
    for (const Net others : {Net{0}, Net{1}}) {
        for (int lamp = 0; lamp < 3; ++lamp) {
            for (Net* net : nets) *net = others;
            panel.clockPhase1();
            for (const Net level : {static_cast<Net>(1 - others), others}) {
                *nets[lamp] = level;
                panel.clockPhase1();
                for (int i = 0; i < 3; ++i) {
                    EXPECT_EQ(boxes[i]->isChecked(), (i == lamp ? level : others) != 0)
                        << names[lamp] << " at " << int(level) << ", the others at " << int(others)
                        << ": lamp " << names[i];
                }
            }
        }
    }
}

TEST_F(KeyboardPanelTest, ALowLineWalkedThroughAllTenColumnsReadsKeysThenBothSwitches) {
    // One key held in every key column, each on another row where it can be.
    const char* const held[8] = {"CM", "%", "X", "+", ".", "2", "7", "Ex"};
    const int rowsOf[8] = {0b0001, 0b0010, 0b0100, 0b0010, 0b1000, 0b0100, 0b0001, 0b0010};
    for (const char* caption : held) key(caption)->setDown(true);
    panel.setDecimalPointIndex(5);  // reads 5: rows 0 and 2
    panel.setRoundingIndex(2);      // "5/4": row 3
    for (int walk = 0; walk < 2; ++walk) {
        // As a firmware scans: the low line moves from column 0 to 9, one
        // step per change of the pattern.
        for (int column = 0; column < 10; ++column) {
            select(column);
            const int expected = column < 8    ? rowsOf[column]
                                 : column == 8 ? 0b0101
                                               : (walk == 0 ? 0b1000 : 0b0001);
            EXPECT_EQ(rowBits(), expected) << "walk " << walk << ", column " << column;
        }
        panel.setRoundingIndex(0);  // "/N" for the second walk: row 0
    }
}

TEST_F(KeyboardPanelTest, QuitAndFrameCloseRequestTheEndOfTheRun) {
    rows = {1, 0, 1, 0};
    panel.quitButton()->click();
    EXPECT_EQ(quit, 1);
    EXPECT_EQ(rows, (std::array<Net, 4>{1, 0, 1, 0}));
    EXPECT_TRUE(panel.isVisible());

    quit = 0;
    EXPECT_FALSE(panel.close());
    EXPECT_EQ(quit, 1);
    EXPECT_TRUE(panel.isVisible());
}

TEST_F(KeyboardPanelTest, ShutdownClosesOnceWithoutRequestingQuit) {
    EXPECT_EQ(panel.isOpen, 1);
    EXPECT_EQ(panel.shutdown(), 0);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(panel.isOpen, 0);
    EXPECT_EQ(quit, 0);
    EXPECT_EQ(panel.shutdown(), 0);
    EXPECT_EQ(quit, 0);
    EXPECT_EQ(panel.clockPhase2(), 0);
}

TEST(KeyboardPanelUnconnected, FrameCloseClosesAndScanDoesNothing) {
    KeyboardPanel panel;
    EXPECT_EQ(panel.isOpen, 0);
    EXPECT_EQ(panel.decimalPointIndex, 0);
    EXPECT_EQ(panel.roundingIndex, 1);
    EXPECT_EQ(panel.clockPhase1(), 0);
    panel.show();
    EXPECT_TRUE(panel.close());
}

TEST_F(KeyboardPanelTest, WindowMenuCommandsRunTheAboutBox) {
    int runs = 0;
    panel.aboutRunner = [&runs] { ++runs; };
    for (int command = 0; command < 48; ++command) {
        const int before = runs;
        panel.systemCommand(command);
        EXPECT_EQ(runs - before, command >= 16 && command < 32 ? 1 : 0) << command;
    }
    ASSERT_NE(panel.aboutAction(), nullptr);
    EXPECT_EQ(panel.aboutAction()->text(), QStringLiteral("&About Tallivo..."));
    EXPECT_TRUE(panel.windowMenu()->actions().contains(panel.aboutAction()));
    runs = 0;
    panel.aboutAction()->trigger();
    EXPECT_EQ(runs, 1);
}

TEST_F(KeyboardPanelTest, PcKeysHoldCalculatorKeys) {
    const std::pair<int, const char*> keys[] = {
        {Qt::Key_0, "0"},          {Qt::Key_5, "5"},       {Qt::Key_9, "9"},
        {Qt::Key_Period, "."},     {Qt::Key_Plus, "+"},    {Qt::Key_Minus, "-"},
        {Qt::Key_Asterisk, "X"},   {Qt::Key_Slash, "/"},   {Qt::Key_Enter, "="},
        {Qt::Key_Return, "="},     {Qt::Key_Equal, "="},   {Qt::Key_Escape, "C"},
        {Qt::Key_Backspace, "CE"}, {Qt::Key_Percent, "%"},
    };
    for (const auto& [qtKey, caption] : keys) {
        sendKey(&panel, QEvent::KeyPress, qtKey);
        EXPECT_TRUE(key(caption)->isDown()) << caption;
        // The keyboard's repeat, after its delay.
        sendKey(&panel, QEvent::KeyRelease, qtKey, true, 0, {}, 500);
        sendKey(&panel, QEvent::KeyPress, qtKey, true, 0, {}, 500);
        EXPECT_TRUE(key(caption)->isDown()) << caption << " after auto-repeat";
        sendKey(&panel, QEvent::KeyRelease, qtKey);
        EXPECT_FALSE(key(caption)->isDown()) << caption;
    }
    // Enter and Escape are keys, never the dialog's accept or reject.
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(quit, 0);

    // Each tap is a press in the keys' queue.
    EXPECT_EQ(panel.pressesWaiting(), std::size(keys));
}

TEST_F(KeyboardPanelTest, EveryKeyHasAPcKeyShownInItsTooltip) {
    const std::pair<int, const char*> letters[] = {
        {Qt::Key_S, "S"},    {Qt::Key_E, "Ex"},    {Qt::Key_Z, "00"},    {Qt::Key_D, "<>"},
        {Qt::Key_Q, "SQRT"}, {Qt::Key_P, "%"},     {Qt::Key_J, "M-="},   {Qt::Key_K, "M+="},
        {Qt::Key_L, "CM"},   {Qt::Key_R, "RM"},    {Qt::Key_N, "M-"},    {Qt::Key_M, "M+"},
        {Qt::Key_X, "X"},    {Qt::Key_Comma, "."}, {Qt::Key_Less, "<>"},
    };
    for (const auto& [qtKey, caption] : letters) {
        sendKey(&panel, QEvent::KeyPress, qtKey);
        EXPECT_TRUE(key(caption)->isDown()) << caption;
        sendKey(&panel, QEvent::KeyRelease, qtKey);
        EXPECT_FALSE(key(caption)->isDown()) << caption;
    }
    // Every key says which PC key holds it, and that PC key holds it.
    for (const auto& column : kMatrix) {
        for (const char* caption : column) {
            if (*caption == '\0') continue;
            const QString tip = key(caption)->toolTip();
            EXPECT_TRUE(tip.startsWith(QStringLiteral("PC key")))
                << caption << ": " << tip.toStdString();
        }
    }
    EXPECT_EQ(key("=")->toolTip(), QStringLiteral("PC keys: Enter or ="));
    EXPECT_EQ(key("C")->toolTip(), QStringLiteral("PC key: Esc"));
    EXPECT_EQ(key("CE")->toolTip(), QStringLiteral("PC key: Backspace"));
    EXPECT_EQ(key("X")->toolTip(), QStringLiteral("PC keys: * or X"));

    // With Ctrl a letter is a shortcut, not a key.
    QKeyEvent ctrlS(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
    QApplication::sendEvent(&panel, &ctrlS);
    EXPECT_FALSE(key("S")->isDown());
}

TEST_F(KeyboardPanelTest, F1OpensTheAboutBox) {
    int runs = 0;
    panel.aboutRunner = [&runs] { ++runs; };
    sendKey(&panel, QEvent::KeyPress, Qt::Key_F1);
    EXPECT_EQ(runs, 1);
    sendKey(key("7"), QEvent::KeyPress, Qt::Key_F1);  // from a focused key too
    EXPECT_EQ(runs, 2);
    sendKey(&panel, QEvent::KeyPress, Qt::Key_F1, true);  // held: once
    EXPECT_EQ(runs, 2);
}

TEST_F(KeyboardPanelTest, TheSwitchesSayWhatTheyAre) {
    QStringList labels;
    for (const QLabel* label : panel.findChildren<QLabel*>()) labels.append(label->text());
    EXPECT_TRUE(labels.contains(QStringLiteral("Decimals")));
    EXPECT_TRUE(labels.contains(QStringLiteral("Rounding")));
    // Between the switches and the keys, inside the window.
    for (const QLabel* label : panel.findChildren<QLabel*>()) {
        if (label->text() != QStringLiteral("Decimals") &&
            label->text() != QStringLiteral("Rounding"))
            continue;
        EXPECT_TRUE(panel.rect().contains(label->geometry()));
        EXPECT_LE(label->geometry().bottom(), key("7")->y());
        EXPECT_GT(label->y(), panel.decimalPointSwitch()->button(0)->y());
    }
}

// However short a press is, the firmware sees the key until the scan has
// read its column: a press joins the keys' queue, which shows the board one
// press at a time from the start of a scan pass.
class ShortPressTest : public KeyboardPanelTest {
  protected:
    // One scan pass as the firmware walks it: a low line from column 0 to 9,
    // a few periods each. Returns the rows read in column 1 ("SQRT" row 0,
    // "%" row 1).
    int passReadingColumn1() {
        int read = 0;
        for (int column = 0; column < 10; ++column) {
            select(column);
            if (column == 1) read = rowBits();
            idle(50);
        }
        return read;
    }
    void click(QAbstractButton* button) { testing::clickWithMouse(button); }
};

TEST_F(ShortPressTest, AClickBetweenTwoPeriodsIsShownUntilItsColumnIsScanned) {
    passReadingColumn1();
    click(key("%"));
    EXPECT_FALSE(key("%")->isDown());
    EXPECT_EQ(panel.pressesWaiting(), 1u);
    idle(100000);  // the firmware busy elsewhere: the press waits
    EXPECT_EQ(passReadingColumn1(), 0b0010);
    EXPECT_EQ(panel.pressesWaiting(), 0u);
    EXPECT_EQ(passReadingColumn1(), 0);
}

TEST_F(ShortPressTest, KeysClickedBeforeTheBoardSawTheFirstFollowOneAnother) {
    // Two clicks with no clock period between them (quick typing, or the
    // clock stopped in the inspector): one key a pass, in order, never two
    // at once, and "%" twice with a pass without a key between, so that the
    // firmware takes it for two presses.
    click(key("%"));
    click(key("%"));
    click(key("SQRT"));
    std::vector<int> read;
    for (int pass = 0; pass < 5; ++pass) read.push_back(passReadingColumn1());
    EXPECT_EQ(read, (std::vector<int>{0b0010, 0, 0b0010, 0b0001, 0}));
}

TEST_F(ShortPressTest, ATapOfAPcKeyIsShownUntilItsColumnIsScanned) {
    sendKey(&panel, QEvent::KeyPress, Qt::Key_P);
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_P);
    EXPECT_EQ(passReadingColumn1(), 0b0010);
    EXPECT_EQ(passReadingColumn1(), 0);
}

TEST_F(ShortPressTest, AKeyTypedAgainAtOnceIsANewPressNotARepeat) {
    // xdotool type --delay 0 "%%%": each release and the next press come at
    // the same millisecond, which the window system calls an auto-repeat.
    const quint32 scanCode = 14;
    sendKey(&panel, QEvent::KeyPress, Qt::Key_Percent, false, scanCode, {}, 5000);
    for (int again = 0; again < 2; ++again) {
        sendKey(&panel, QEvent::KeyRelease, Qt::Key_Percent, true, scanCode, {}, 5001);
        sendKey(&panel, QEvent::KeyPress, Qt::Key_Percent, true, scanCode, {}, 5001);
    }
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_Percent, false, scanCode, {}, 5002);
    EXPECT_EQ(panel.pressesWaiting(), 3u);
    // A key held down and repeated by the keyboard, past its delay: one press.
    sendKey(&panel, QEvent::KeyPress, Qt::Key_Q, false, 15, {}, 6000);
    for (ulong t = 6500; t < 7000; t += 40) {
        sendKey(&panel, QEvent::KeyRelease, Qt::Key_Q, true, 15, {}, t);
        sendKey(&panel, QEvent::KeyPress, Qt::Key_Q, true, 15, {}, t);
    }
    EXPECT_TRUE(key("SQRT")->isDown());
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_Q, false, 15, {}, 7000);
    EXPECT_EQ(panel.pressesWaiting(), 4u);
    std::vector<int> read;
    for (int pass = 0; pass < 7; ++pass) read.push_back(passReadingColumn1());
    EXPECT_EQ(read, (std::vector<int>{0b0010, 0, 0b0010, 0, 0b0010, 0b0001, 0}));
}

TEST_F(ShortPressTest, ALongerHoldIsOnePressThatEndsWithTheRelease) {
    sendKey(&panel, QEvent::KeyPress, Qt::Key_P);
    sendKey(&panel, QEvent::KeyPress, Qt::Key_Q);  // waits behind the held "%"
    for (int pass = 0; pass < 5; ++pass) EXPECT_EQ(passReadingColumn1(), 0b0010) << pass;
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_P);
    EXPECT_EQ(passReadingColumn1(), 0b0001);
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_Q);
    EXPECT_EQ(passReadingColumn1(), 0);
    EXPECT_EQ(panel.pressesWaiting(), 0u);
}

TEST_F(ShortPressTest, APressTheFullQueueRefusesIsSaidAndLeavesTheKeyUp) {
    for (std::size_t i = 0; i < KeyboardPanel::kQueueLength; ++i)
        click(key(i % 2 == 0 ? "7" : "8"));
    EXPECT_EQ(panel.refusedMessage(), nullptr);
    click(key("9"));
    sendKey(&panel, QEvent::KeyPress, Qt::Key_4);
    EXPECT_FALSE(key("9")->isDown());
    EXPECT_FALSE(key("4")->isDown());
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_4);
    ASSERT_NE(panel.refusedMessage(), nullptr);
    EXPECT_TRUE(panel.refusedMessage()->isVisible());
    const QString text = panel.refusedMessage()->text();
    EXPECT_TRUE(text.contains(QStringLiteral("256 presses"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\"4\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2 refused"))) << text.toStdString();
    EXPECT_EQ(panel.pressesWaiting(), KeyboardPanel::kQueueLength);
    // Nothing is shown to the board outside the queue.
    reselect(4);
    EXPECT_EQ(rowBits(), 0);
    panel.refusedMessage()->close();
}

TEST_F(ShortPressTest, AKeyHeldByAScriptIsSeenExactlyWhileHeld) {
    // The runner's --keys sets buttons down and up at given periods: read at
    // any change of the columns while down, outside the queue.
    key("%")->setDown(true);
    reselect(1);
    EXPECT_EQ(rowBits(), 0b0010);
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(passReadingColumn1(), 0b0010);
    key("%")->setDown(false);
    EXPECT_EQ(passReadingColumn1(), 0);
    EXPECT_EQ(panel.pressesWaiting(), 0u);
}

TEST_F(KeyboardPanelTest, PcKeyReachesTheKeyboardWhenAButtonHasFocus) {
    QAbstractButton* focused = key("S");
    sendKey(focused, QEvent::KeyPress, Qt::Key_Return);
    EXPECT_TRUE(key("=")->isDown());
    sendKey(focused, QEvent::KeyRelease, Qt::Key_Return);
    EXPECT_FALSE(key("=")->isDown());
}

TEST_F(KeyboardPanelTest, PcKeyReleasedUnderAnotherKeyCodeStillLetsGo) {
    // Shift released before the key: "+" goes up as "=", same physical key.
    sendKey(&panel, QEvent::KeyPress, Qt::Key_Plus, false, 21);
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_Equal, false, 21);
    EXPECT_FALSE(key("+")->isDown());
    EXPECT_FALSE(key("=")->isDown());

    // Two PC keys on one button: it stays down until both are up.
    sendKey(&panel, QEvent::KeyPress, Qt::Key_Return, false, 36);
    sendKey(&panel, QEvent::KeyPress, Qt::Key_Equal, false, 21);
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_Return, false, 36);
    EXPECT_TRUE(key("=")->isDown());
    sendKey(&panel, QEvent::KeyRelease, Qt::Key_Equal, false, 21);
    EXPECT_FALSE(key("=")->isDown());
}

TEST_F(KeyboardPanelTest, LosingTheFocusReleasesHeldPcKeys) {
    sendKey(&panel, QEvent::KeyPress, Qt::Key_3);
    ASSERT_TRUE(key("3")->isDown());
    QEvent deactivated(QEvent::ActivationChange);
    QApplication::sendEvent(&panel, &deactivated);
    EXPECT_FALSE(key("3")->isDown());
}

TEST_F(KeyboardPanelTest, WindowLayout) {
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Tallivo 141DU Keyboard"));
    EXPECT_FALSE(panel.windowIcon().isNull());
    EXPECT_EQ(panel.decimalPointSwitch()->buttons().size(), 8);
    EXPECT_EQ(panel.roundingSwitch()->buttons().size(), 3);
    // "+" spans two key rows; "=" is two keys wide.
    const QRect plus = key("+")->geometry();
    const QRect minus = key("-")->geometry();
    EXPECT_GT(plus.height(), 2 * minus.height());
    EXPECT_GT(key("=")->width(), 2 * minus.width());
    EXPECT_LT(minus.bottom(), plus.top());
    // Switches sit above the keys, Quit top right, all inside the window.
    EXPECT_LT(panel.decimalPointSwitch()->button(0)->geometry().bottom(), key("7")->y());
    EXPECT_TRUE(panel.rect().contains(panel.quitButton()->geometry()));
    EXPECT_TRUE(panel.rect().contains(key("M+")->geometry()));
}

// Ctrl+V types the clipboard through the keys' queue, and names what it
// skipped.
TEST_F(KeyboardPanelTest, PasteTypesTheClipboardKeyByKeyAndNamesWhatItSkips) {
    QStringList said;
    panel.pasteStatus = [&said](const QString& text) { said.append(text); };
    QApplication::clipboard()->setText(QStringLiteral("7a+\x01"));
    for (QAction* action : panel.actions())
        if (action->shortcut() == QKeySequence(QKeySequence::Paste)) action->trigger();
    ASSERT_EQ(panel.keysToPaste(), 2);
    ASSERT_EQ(said.size(), 1);
    EXPECT_EQ(said[0], QStringLiteral("Pasting 2 keys; skipped, no key: \"a\", U+0001"));

    // Both join the keys' queue; the board is shown "7", and "+" from the
    // next scan pass once the firmware has read "7".
    const auto waitUntilLeft = [this](int keys) {
        QElapsedTimer waited;
        waited.start();
        while (panel.keysToPaste() > keys && waited.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return panel.keysToPaste() == keys;
    };
    ASSERT_TRUE(waitUntilLeft(0));
    EXPECT_EQ(panel.pressesWaiting(), 2u);
    reselect(6);
    EXPECT_EQ(rowBits(), 1) << "7";
    reselect(3);
    EXPECT_EQ(rowBits(), 2) << "+";
    EXPECT_EQ(panel.pressesWaiting(), 0u);
    EXPECT_EQ(said.back(), QStringLiteral("Pasted 2 keys; skipped, no key: \"a\", U+0001"));
}

}  // namespace
}  // namespace tallivo
