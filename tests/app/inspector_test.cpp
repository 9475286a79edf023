// The inspector against the board it shows, its commands through the
// application, and the pause as the pacing sees it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>
#include <functional>
#include <string>

#include "kernel/board_state.h"
#include "kernel/calculator_app.h"
#include "panel/inspector_window.h"
#include "panel/keyboard_panel.h"
#include "panel/printer_panel.h"
#include "tests/support/firmware_app.h"
#include "tests/support/firmware_symbols.h"

namespace tallivo {
namespace {

using testing::firmwareOptions;

bool spinUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void spinFor(int milliseconds) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

QString hexDigits(const QJsonArray& values, int from, int count, bool highFirst) {
    QString text;
    for (int i = 0; i < count; ++i) {
        const int index = highFirst ? from + count - 1 - i : from + i;
        text += QString::number(values[index].toInt(), 16).toUpper();
    }
    return text;
}

QString bits(const QJsonArray& values) {
    QString text;
    for (const QJsonValue& v : values) text += QString::number(v.toInt());
    return text;
}

TEST(Inspector, ItsValuesAreTheDumpedStateAtTheSamePoint) {
    CalculatorApp app;
    ASSERT_TRUE(app.startUp(firmwareOptions()));
    // A digit typed and taken, a "+" under way: numbers in RAM, a printer busy.
    QAbstractButton* one = app.keyboard()->keyButton(QStringLiteral("1"));
    QAbstractButton* plus = app.keyboard()->keyButton(QStringLiteral("+"));
    one->setDown(true);
    app.board().run(40000);
    one->setDown(false);
    app.board().run(200000);
    plus->setDown(true);
    app.board().run(40000);
    plus->setDown(false);
    app.board().run(123457);  // in the middle of a cycle
    app.showInspector();
    InspectorWindow& w = *app.inspector();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tallivo 141DU Inspector"));

    const QJsonObject s =
        QJsonDocument::fromJson(QByteArray::fromStdString(boardStateJson(app.board()))).object();
    const QJsonObject cpu = s["cpu"].toObject();
    EXPECT_EQ(w.value("accumulator"), QString::number(cpu["accumulator"].toInt(), 16).toUpper());
    EXPECT_EQ(w.value("carry"), QString::number(cpu["carry"].toInt()));
    EXPECT_EQ(w.value("pc").toInt(nullptr, 16), cpu["pc"].toInt());
    const int sp = cpu["stackPointer"].toInt();
    EXPECT_EQ(w.value("stackPointer").toInt(), sp);
    const QJsonArray stack = cpu["addressStack"].toArray();
    for (int level = 1; level <= 3; ++level)
        EXPECT_EQ(w.value(QStringLiteral("stack%1").arg(level)).toInt(nullptr, 16),
                  stack[(sp - level) & 3].toInt());
    const QJsonArray index = cpu["indexRegisters"].toArray();
    for (int r = 0; r < 16; ++r)
        EXPECT_EQ(w.value(QStringLiteral("r%1").arg(r)).toInt(nullptr, 16), index[r].toInt()) << r;
    for (int p = 0; p < 8; ++p)
        EXPECT_EQ(w.value(QStringLiteral("p%1").arg(p)).toInt(nullptr, 16),
                  index[2 * p].toInt() * 16 + index[2 * p + 1].toInt());
    const int select = cpu["cmRamSelect"].toInt();
    EXPECT_EQ(w.value("dclBank").toInt(), select == 1 ? 0 : select >> 1);

    const QJsonArray rams = s["ram"].toArray();
    for (int chip = 0; chip < 2; ++chip) {
        const QJsonObject ram = rams[chip].toObject();
        for (int reg = 0; reg < 4; ++reg) {
            const QString name = QStringLiteral("ram%1.reg%2").arg(chip).arg(reg);
            EXPECT_EQ(w.value(name), hexDigits(ram["mainMemory"].toArray(), reg * 16, 16, true))
                << name.toStdString();
            EXPECT_EQ(w.value(name + ".status"),
                      hexDigits(ram["statusMemory"].toArray(), reg * 4, 4, false));
        }
        EXPECT_EQ(w.value(QStringLiteral("ram%1.out").arg(chip)),
                  bits(ram["outputLines"].toArray()));
    }
    const QJsonArray ports = s["romPortLines"].toArray();
    for (int chip = 0; chip < 5; ++chip)
        EXPECT_EQ(w.value(QStringLiteral("rom%1.port").arg(chip)), bits(ports[chip].toArray()));
    EXPECT_EQ(w.value("hammers"), bits(s["hammerLines"].toArray()));
    EXPECT_EQ(w.value("keyColumns"), bits(s["keyColumns"].toArray()));
    EXPECT_EQ(w.value("keyRows"), bits(s["keyRows"].toArray()));
    EXPECT_EQ(w.value("test"), QString::number(s["nets"].toObject()["Test"].toInt()));
    EXPECT_EQ(w.value("drumSector"), QString::number(app.printer()->sector));
    // The entry "1" reads as the number 1, with the firmware's names.
    EXPECT_TRUE(w.listingNote().isEmpty()) << w.listingNote().toStdString();
    EXPECT_EQ(w.value("ram0.reg2.reads"), QStringLiteral("1"));
    // The end of the run closes it with the panels.
    app.shutdownAll();
    EXPECT_FALSE(w.isVisible());
}

TEST(Inspector, ABreakpointFromTheDisassemblyStopsTheRunAndAStepMarksWhatChanged) {
    CalculatorApp app;
    ASSERT_TRUE(app.startUp(firmwareOptions()));
    // F2 on the keyboard opens the inspector; the menu has the entry too.
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(app.keyboard(), &f2);
    ASSERT_NE(app.inspector(), nullptr);
    EXPECT_TRUE(app.inspector()->isVisible());
    EXPECT_TRUE(
        app.keyboard()->windowMenu()->actions().contains(app.keyboard()->inspectorAction()));
    InspectorWindow& w = *app.inspector();

    // The key wait `key`, as the listing names it.
    const int key = testing::firmwareSymbol("key");
    const QString keyHex = QString::number(key, 16).toUpper();
    const int row = w.rowOf(key);
    ASSERT_GE(row, 0);
    EXPECT_EQ(w.addressOfRow(row), key);
    EXPECT_EQ(w.disassembly()->topLevelItem(row)->text(2), QStringLiteral("key"));
    // Its first instruction calls the key scan, wherever that lies.
    const int scan = testing::firmwareSymbol("scan");
    const QString callScan = QStringLiteral("JMS %1, %2")
                                 .arg(scan >> 8, 0, 16)
                                 .arg(scan & 0xFF, 2, 16, QLatin1Char('0'))
                                 .toUpper();
    EXPECT_EQ(w.disassembly()->topLevelItem(row)->text(4), callScan + QStringLiteral("  -> scan"));
    w.toggleBreakpoint(row);
    EXPECT_TRUE(app.runControl().hasBreakpoint(key));

    app.startPacing();
    ASSERT_TRUE(spinUntil([&] { return app.clockPaused(); }));
    EXPECT_EQ(app.runControl().lastStop(), RunControl::Stop::Breakpoint);
    EXPECT_EQ(app.board().cpu.pc(), key);
    EXPECT_EQ(w.value("pc"), keyHex);
    EXPECT_EQ(w.value("instruction"), callScan);
    EXPECT_EQ(w.value("label"), QStringLiteral("key"));
    EXPECT_TRUE(w.value("source").startsWith(QStringLiteral("key.asm:")))
        << w.value("source").toStdString();
    EXPECT_TRUE(w.stepButton()->isEnabled());

    // Nothing runs while it stands there.
    const double ran = app.pacer().cyclesRun;
    spinFor(200);
    EXPECT_EQ(app.pacer().cyclesRun, ran);

    // A step into the JMS: the PC and the stack change and are marked; the
    // accumulator is not.
    w.stepButton()->click();
    EXPECT_EQ(app.board().cpu.pc(), scan);
    EXPECT_EQ(app.pacer().cyclesRun, ran + 16);
    EXPECT_TRUE(w.changed("pc"));
    EXPECT_TRUE(w.changed("stackPointer"));
    EXPECT_FALSE(w.changed("accumulator"));

    // Run goes on, and the breakpoint stops it again at the next key wait.
    w.runButton()->click();
    EXPECT_FALSE(app.clockPaused());
    ASSERT_TRUE(spinUntil([&] { return app.clockPaused(); }));
    EXPECT_EQ(app.board().cpu.pc(), key);
    // Step over the JMS runs the whole scan and comes back after it.
    w.stepOverButton()->click();
    ASSERT_TRUE(spinUntil([&] { return app.clockPaused(); }));
    EXPECT_EQ(app.runControl().lastStop(), RunControl::Stop::Return);
    EXPECT_EQ(app.board().cpu.pc(), key + 2);

    // Run to cursor: the line made current in the disassembly.
    w.toggleBreakpoint(row);
    w.disassembly()->setCurrentItem(w.disassembly()->topLevelItem(w.rowOf(scan)));
    w.runToCursorButton()->click();
    ASSERT_TRUE(spinUntil([&] { return app.clockPaused(); }));
    EXPECT_EQ(app.runControl().lastStop(), RunControl::Stop::Target);
    EXPECT_EQ(app.board().cpu.pc(), scan);
    app.shutdownAll();
}

TEST(Inspector, APauseHoldsTheBoardAndThePacingDoesNotCatchUp) {
    CalculatorApp app;
    ASSERT_TRUE(app.startUp(firmwareOptions()));
    app.startPacing();
    ASSERT_TRUE(spinUntil([&] { return app.pacer().cyclesRun > 50000; }));
    app.pauseClock();
    ASSERT_TRUE(app.clockPaused());
    const std::string held = boardStateJson(app.board());
    const double ran = app.pacer().cyclesRun;
    const std::uint64_t seen = app.keyboard()->periodsSeen();
    spinFor(1000);
    EXPECT_EQ(boardStateJson(app.board()), held);
    EXPECT_EQ(app.pacer().cyclesRun, ran);
    EXPECT_EQ(app.keyboard()->periodsSeen(), seen);

    // Resumed, the clock runs at its rate from now on: no burst makes up
    // for the second it stood still.
    const auto resumed = std::chrono::steady_clock::now();
    app.resumeClock();
    spinFor(300);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - resumed).count();
    const double allowed = (seconds + 0.05) * 740000 + Pacer::kBurst;
    EXPECT_LE(app.pacer().cyclesRun - ran, allowed);
    EXPECT_GT(app.pacer().cyclesRun, ran);
    // The report's seconds leave the pause out.
    EXPECT_LT(app.pacer().secondsBeforePause, 1.0);
    app.shutdownAll();
}

}  // namespace
}  // namespace tallivo
