// The calculator with its firmware, typed on its keyboard window as a paste
// with no delay between keys arrives from the window system: every key
// pressed and let go in the same millisecond, a key typed again right after
// itself flagged as an auto-repeat. It prints what the same tape typed by its
// captions prints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <string>

#include "kernel/calculator_app.h"
#include "kernel/key_schedule.h"
#include "panel/keyboard_panel.h"
#include "panel/printer_panel.h"
#include "tests/support/firmware_app.h"

namespace tallivo {
namespace {

using testing::firmwareOptions;

// Runs the board until the calculator has taken every key, printed and waits
// for a key again.
bool runUntilKeyWait(CalculatorApp& app) {
    for (int slice = 0; slice < 4000; ++slice) {
        if (app.keyboard()->keyWaitReached()) return true;
        app.board().run(10000);
    }
    return false;
}

TEST(PastedKeys, APasteWithNoDelayPrintsWhatItsCaptionsPrint) {
    const std::string captions =
        "1 2 . 5 + 3 4 + 5 6 7 - <> 8 9 0 0 0 + 00 . 2 5 - = 1 2 X 3 = 4 5 / 9 = 2 0 0 X 1 5 % "
        "7 M+ 3 M- RM + CM 6 S + 9 X 2 Ex = 4 CE 5 + C 1 0 0 + 5 M+ 9 9 9 -";
    const std::string pasted =
        "12.5+34+567-d89000+z.25-=12x3=45/9=200x15%7m3nr+l6s+9x2e=4\b5+\x1b"
        "100+5m999-";

    CalculatorApp typed;
    ASSERT_TRUE(typed.startUp(firmwareOptions()));
    std::string error;
    ASSERT_TRUE(typeTape(captions, *typed.keyboard(), error)) << error;
    ASSERT_TRUE(runUntilKeyWait(typed));
    const QStringList expected = typed.printer()->paperLines();
    typed.shutdownAll();
    ASSERT_GE(expected.size(), 28);

    CalculatorApp app;
    ASSERT_TRUE(app.startUp(firmwareOptions()));
    KeyboardPanel& keyboard = *app.keyboard();
    // X11 calls a release and a press of the same key at the same moment an
    // auto-repeat, both of them.
    auto send = [&](QEvent::Type type, char c, bool autoRepeat) {
        const int qtKey = c == '\b'     ? Qt::Key_Backspace
                          : c == '\x1b' ? Qt::Key_Escape
                                        : QChar(c).toUpper().unicode();
        QKeyEvent event(type, qtKey, Qt::NoModifier, static_cast<quint32>(qtKey & 0xFF), 0, 0,
                        QString(QChar(c)), autoRepeat);
        event.setTimestamp(100000);
        QApplication::sendEvent(&keyboard, &event);
    };
    for (std::size_t i = 0; i < pasted.size(); ++i) {
        send(QEvent::KeyPress, pasted[i], i > 0 && pasted[i - 1] == pasted[i]);
        send(QEvent::KeyRelease, pasted[i], i + 1 < pasted.size() && pasted[i + 1] == pasted[i]);
    }
    EXPECT_EQ(keyboard.pressesWaiting(), 72u);
    ASSERT_TRUE(runUntilKeyWait(app));
    EXPECT_EQ(app.printer()->paperLines(), expected);
    EXPECT_TRUE(keyboard.lampM()->isChecked());
    EXPECT_TRUE(keyboard.lampNeg()->isChecked());
    app.shutdownAll();
}

}  // namespace
}  // namespace tallivo
