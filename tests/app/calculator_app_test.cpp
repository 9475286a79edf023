#include "kernel/calculator_app.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "kernel/command_line.h"
#include "kernel/platform.h"
#include "kernel/qt_platform.h"
#include "panel/keyboard_panel.h"
#include "panel/printer_panel.h"
#include "tools/flowchart_view.h"

namespace tallivo {
namespace {

TEST(CommandLine, DefaultsAndEverySwitch) {
    const StartSettings none = parseCommandLine("");
    EXPECT_TRUE(none.valid);
    EXPECT_EQ(none.clockRate, 740);
    EXPECT_EQ(none.hitValue, 512);
    EXPECT_EQ(none.traceLimit, 0);
    EXPECT_FALSE(none.page3Filter);
    EXPECT_FALSE(none.quiet);

    const StartSettings all = parseCommandLine("-c370 -f0 -q -m100 -v");
    EXPECT_EQ(all.clockRate, 370);
    EXPECT_EQ(all.hitValue, 0);
    EXPECT_EQ(all.traceLimit, 100);
    EXPECT_TRUE(all.page3Filter);
    EXPECT_TRUE(all.quiet);

    EXPECT_EQ(parseCommandLine("-s1ff").traceStart, 0x1FF);
    EXPECT_EQ(parseCommandLine("-s 0x20").traceStart, 0x20);
    EXPECT_EQ(parseCommandLine("-c 370").clockRate, 370);
    EXPECT_EQ(parseCommandLine("-c-5").clockRate, -5);
    EXPECT_EQ(parseCommandLine("-m5 -m7").traceLimit, 7);
    // A dash anywhere starts a switch, even inside a word.
    EXPECT_EQ(parseCommandLine("x-m3").traceLimit, 3);
}

TEST(CommandLine, AMissingOrOversizedNumberEndsTheScan) {
    const StartSettings s = parseCommandLine("-c -m5");
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.clockRate, 740);  // "-m5" is not a number for -c, and scanning stops
    EXPECT_EQ(s.traceLimit, 0);
    const StartSettings big = parseCommandLine("-c99999999999 -m5");
    EXPECT_EQ(big.clockRate, 740);
    EXPECT_EQ(big.traceLimit, 0);
}

TEST(CommandLine, UnknownSwitchesKeepTheTextFromTheDash) {
    for (const auto& [text, rest] : std::vector<std::pair<std::string, std::string>>{
             {"-x", "-x"}, {"-c100 -C740", "-C740"}, {"-m5 -", "-"}, {"-v -Q -m2", "-Q -m2"}}) {
        const StartSettings s = parseCommandLine(text);
        EXPECT_FALSE(s.valid) << text;
        EXPECT_EQ(s.badSwitch, rest) << text;
    }
}

TEST(Pacing, ElapsedTimeUsesSignedMilliseconds) {
    const Elapsed e = elapsedBetween({10, 900}, {12, 100});
    EXPECT_EQ(e.wholeSeconds, 2);
    EXPECT_EQ(e.milliseconds, -800);
    EXPECT_DOUBLE_EQ(e.seconds(), 1.2);
    Pacer p;
    p.start(740, {10, 900});
    p.onTimer({12, 100});
    EXPECT_DOUBLE_EQ(p.cycleTarget, 1.2 * 740 * 1000);
}

TEST(Pacing, BeforeTheFirstTickEightBurstsRunAtTheDefaultRate) {
    Pacer p;
    p.start(740, {100, 0});
    int bursts = 0;
    while (p.behind()) {
        p.ranBurst();
        ++bursts;
    }
    EXPECT_EQ(bursts, 8);
    EXPECT_EQ(p.cyclesRun, 800);
}

TEST(Pacing, AZeroOrNegativeRateNeverRunsAndTheReportNeverDividesByZero) {
    Pacer p;
    p.start(0, {100, 0});
    p.onTimer({105, 0});
    EXPECT_FALSE(p.behind());
    EXPECT_EQ(p.exitReport({105, 0}),
              "Exiting, executed 0.00M machine cycles in 5 seconds\n0.00 kcyc/sec");
    p.start(-3, {100, 0});
    p.onTimer({101, 0});
    EXPECT_FALSE(p.behind());

    Pacer q;
    q.start(740, {100, 0});
    q.cyclesRun = 370000;
    // Half a second: the exact elapsed time divides.
    EXPECT_EQ(q.exitReport({100, 500}),
              "Exiting, executed 0.37M machine cycles in 0 seconds\n740.00 kcyc/sec");
    EXPECT_EQ(q.exitReport({100, 0}),
              "Exiting, executed 0.37M machine cycles in 0 seconds\n0.00 kcyc/sec");
    EXPECT_EQ(q.exitReport({102, 0}),
              "Exiting, executed 0.37M machine cycles in 2 seconds\n185.00 kcyc/sec");
}

TEST(Pacing, TheExitReportDividesByTheWholeSecondsOnly) {
    // 2.2 s of clock at 740 kHz. From 100.900 to 103.100 the whole seconds
    // are 3 (and -800 ms): the report divides by 3.
    Pacer p;
    p.start(740, {100, 900});
    p.onTimer({103, 100});
    EXPECT_DOUBLE_EQ(p.cycleTarget, 2.2 * 740000);
    p.cyclesRun = 1628000;
    EXPECT_EQ(p.exitReport({103, 100}),
              "Exiting, executed 1.63M machine cycles in 3 seconds\n542.67 kcyc/sec");
    // From 100.100 to 102.900: 2 whole seconds (and +800 ms).
    p.start(740, {100, 100});
    p.cyclesRun = 2072000;
    EXPECT_EQ(p.exitReport({102, 900}),
              "Exiting, executed 2.07M machine cycles in 2 seconds\n1036.00 kcyc/sec");
}

CalculatorApp::Options appOptions(int hitValue) {
    CalculatorApp::Options o;
    o.settings.hitValue = hitValue;
    o.codeFile = std::string(TALLIVO_PROGRAMS_DIR) + "/ports.code";
    o.traceFile.clear();
    o.stayOnTop = false;
    return o;
}

TEST(CalculatorApp, RegistersFourteenComponentsWithoutTheFlowchartAndShutsDownTwice) {
    CalculatorApp app;
    ASSERT_TRUE(app.startUp(appOptions(0)));
    EXPECT_EQ(app.componentCount(), 14);
    Board& b = app.board();
    EXPECT_EQ(b.registry.at(0), static_cast<Component*>(app.keyboard()));
    EXPECT_EQ(b.registry.at(1), static_cast<Component*>(app.printer()));
    EXPECT_EQ(b.registry.at(2), &b.cpu);
    EXPECT_EQ(b.registry.at(13), &b.monitor);
    EXPECT_EQ(b.nets.Reset, 0);
    app.shutdownAll();
    app.shutdownAll();
    EXPECT_EQ(app.keyboard()->isOpen, 0);
    EXPECT_EQ(app.printer()->isOpen, 0);
}

TEST(CalculatorApp, TheFlowchartComesThirdWhenItsPicturesLoad) {
    // The pictures that ship are found beside the test binary's build folder.
    CalculatorApp app;
    app.flowchart()->overrideAvailableArea(QSize(800, 600));
    ASSERT_TRUE(app.startUp(appOptions(512)));
    EXPECT_EQ(app.componentCount(), 15);
    EXPECT_EQ(app.board().registry.at(2), static_cast<Component*>(app.flowchart()));
    EXPECT_EQ(app.board().registry.at(3), &app.board().cpu);
    app.shutdownAll();
}

TEST(CalculatorApp, AMissingCodeFileFailsStartUpAfterTheMessage) {
    std::vector<std::string> messages;
    platform().showMessage = [&](const std::string& m) { messages.push_back(m); };
    CalculatorApp app;
    CalculatorApp::Options o = appOptions(0);
    o.codeFile = "/nonexistent/4001.code";
    EXPECT_FALSE(app.startUp(o));
    resetPlatform();
    EXPECT_EQ(messages,
              std::vector<std::string>{"ERROR: Unable to initialize ROM, does code file exist?"});
    app.shutdownAll();
}

TEST(CalculatorApp, IdleRunsBurstsUntilTheTargetAndQuitEndsWithTheReport) {
    std::vector<std::string> messages;
    platform().showMessage = [&](const std::string& m) { messages.push_back(m); };
    platform().utcNow = [] { return UtcTime{1000, 0}; };
    CalculatorApp app;
    ASSERT_TRUE(app.startUp(appOptions(0)));
    // Idle calls run bursts until the eight that reach the target have run
    // (several in one call, as many as fit its slice of time), and then
    // report that nothing is left to do.
    int calls = 0;
    while (app.onIdle()) ++calls;
    EXPECT_GE(calls, 1);
    EXPECT_LE(calls, 8);
    EXPECT_EQ(app.pacer().cyclesRun, 800);
    app.keyboard()->quitButton()->click();
    EXPECT_EQ(app.board().nets.QuitRequested, 1);
    platform().utcNow = [] { return UtcTime{1003, 0}; };
    app.onTimer();  // no longer moves the target
    EXPECT_EQ(app.pacer().cycleTarget, 740);
    EXPECT_FALSE(app.onIdle());
    resetPlatform();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Exiting, executed 0.00M machine cycles in 3 seconds\n0.27 kcyc/sec");
    EXPECT_EQ(app.keyboard()->isOpen, 0);
}

TEST(CalculatorApp, ATickRunsWhatHasFallenDueInOneCallOfTheClock) {
    UtcTime now{1000, 0};
    platform().utcNow = [&] { return now; };
    CalculatorApp app;
    ASSERT_TRUE(app.startUp(appOptions(0)));
    std::vector<double> afterEachCall;
    app.afterBurst = [&] { afterEachCall.push_back(app.pacer().cyclesRun); };
    while (app.onIdle()) {
    }
    ASSERT_EQ(app.pacer().cyclesRun, 800);

    // A tick 50 ms on at 740 kHz: 37000 periods are due, and they run in one
    // call of the clock, so the tick wakes the program once and calls the
    // clock once.
    now = {1000, 50};
    app.onTimer();
    afterEachCall.clear();
    EXPECT_TRUE(app.onIdle());
    EXPECT_EQ(afterEachCall, std::vector<double>{37000});
    EXPECT_FALSE(app.onIdle());

    // A second that fell due at once (after a stall) runs in calls of at most
    // kMostPeriodsAtOnce, with window events handled between slices, and
    // ends on the target.
    now = {1001, 50};
    app.onTimer();
    afterEachCall.clear();
    while (app.onIdle()) {
    }
    EXPECT_EQ(app.pacer().cyclesRun, 777000);
    ASSERT_GE(afterEachCall.size(), 8u);
    double before = 37000;
    for (const double ran : afterEachCall) {
        EXPECT_LE(ran - before, CalculatorApp::kMostPeriodsAtOnce);
        before = ran;
    }
    resetPlatform();
    app.shutdownAll();
}

// Runs the event loop until `done` holds, for 10 seconds at most.
bool runUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

TEST(CalculatorApp, ABrokenFlowchartPictureEndsStartUpBeforeAnyClockPeriod) {
    // The working folder is searched first: a broken picture there.
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("tallivo_broken_picture_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    std::ofstream(dir / "Flowchart.bmp") << "not a bitmap";
    std::vector<std::string> messages;
    platform().showMessage = [&](const std::string& m) { messages.push_back(m); };
    platform().detail = [](const std::string&) {};

    CalculatorApp app;
    EXPECT_FALSE(app.startUp(appOptions(512)));
    resetPlatform();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);

    EXPECT_EQ(messages, std::vector<std::string>{
                            "ERROR Connecting Flowchart module, please check bitmap file"});
    // Only the two panels were registered, no chip was connected, and not
    // one clock period ran, the warm-up's included.
    EXPECT_EQ(app.componentCount(), 2);
    EXPECT_EQ(app.keyboard()->periodsSeen(), 0u);
    EXPECT_EQ(app.printer()->sectorClock, 0);
    EXPECT_FALSE(app.flowchart()->isVisible());
    // The program then ends: its shutdown closes the panels.
    app.shutdownAll();
    EXPECT_EQ(app.keyboard()->isOpen, 0);
    EXPECT_EQ(app.printer()->isOpen, 0);
}

TEST(CalculatorApp, TheTickComesEvery50Milliseconds) {
    CalculatorApp app;
    ASSERT_TRUE(app.startUp(appOptions(0)));
    EXPECT_FALSE(app.tickTimer().isActive());
    app.startPacing();
    EXPECT_TRUE(app.tickTimer().isActive());
    EXPECT_EQ(app.tickTimer().interval(), 50);
    EXPECT_EQ(app.tickTimer().timerType(), Qt::PreciseTimer);
    app.shutdownAll();
    EXPECT_FALSE(app.tickTimer().isActive());
}

TEST(CalculatorApp, ThePeriodsTheBoardRunsAreTheCyclesRun) {
    CalculatorApp app;
    CalculatorApp::Options o = appOptions(0);
    o.settings.clockRate = 200;
    ASSERT_TRUE(app.startUp(o));
    app.startPacing();
    // Counted by the keyboard, which the clock calls in every period (the
    // 12 of the warm-up too), not by the pacing's own count.
    for (const double goal : {5000.0, 30000.0, 60000.0}) {
        ASSERT_TRUE(runUntil([&] { return app.pacer().cyclesRun >= goal; }));
        EXPECT_EQ(static_cast<double>(app.keyboard()->periodsSeen()), app.pacer().cyclesRun + 12);
    }
    app.shutdownAll();
}

TEST(CalculatorApp, NoClockPeriodRunsWhileTheAboutBoxOrAMessageBoxIsOpen) {
    installQtPlatform();
    CalculatorApp app;
    CalculatorApp::Options o = appOptions(0);
    o.settings.clockRate = 200;
    ASSERT_TRUE(app.startUp(o));
    app.startPacing();
    ASSERT_TRUE(runUntil([&] { return app.pacer().cyclesRun > 2000; }));
    for (const bool about : {true, false}) {
        double atOpen = -1;
        double atClose = -1;
        std::uint64_t seenAtOpen = 0;
        std::uint64_t seenAtClose = 0;
        double targetAtOpen = 0;
        double targetAtClose = 0;
        QTimer::singleShot(0, [&] {
            // Open for 300 ms, six ticks: the tick moves the target, the
            // clock stands.
            QTimer::singleShot(300, [&] {
                atClose = app.pacer().cyclesRun;
                seenAtClose = app.keyboard()->periodsSeen();
                targetAtClose = app.pacer().cycleTarget;
                if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    box->done(0);
            });
            atOpen = app.pacer().cyclesRun;
            seenAtOpen = app.keyboard()->periodsSeen();
            targetAtOpen = app.pacer().cycleTarget;
            if (about)
                app.keyboard()->systemCommand(16);
            else
                platform().showMessage("NOTE: Recording Limit Reached");
        });
        ASSERT_TRUE(runUntil([&] { return atClose >= 0; }))
            << (about ? "About box" : "message box");
        EXPECT_EQ(atClose, atOpen) << (about ? "About box" : "message box");
        EXPECT_EQ(seenAtClose, seenAtOpen) << (about ? "About box" : "message box");
        EXPECT_GT(targetAtClose, targetAtOpen);
        // Closed, the clock catches up.
        EXPECT_TRUE(runUntil([&] { return app.pacer().cyclesRun > atClose + 20000; }));
    }
    resetPlatform();
    app.shutdownAll();
}

// A click far shorter than the time between two bursts of the clock, through
// the real pacing: the program scans the keyboard as a firmware does and
// keeps the last key it read in RAM 0.
TEST(CalculatorApp, AOneMillisecondClickReachesTheFirmware) {
    CalculatorApp app;
    CalculatorApp::Options o = appOptions(0);
    o.codeFile = std::string(TALLIVO_PROGRAMS_DIR) + "/keys.code";
    // A rate that any build keeps up with, so that the clock catches up
    // with its target between two ticks.
    o.settings.clockRate = 100;
    ASSERT_TRUE(app.startUp(o));
    app.startPacing();
    // Caught up with the target: no period runs until the next tick.
    ASSERT_TRUE(runUntil([&] { return app.pacer().cyclesRun > 20000 && !app.pacer().behind(); }));
    const double before = app.pacer().cyclesRun;

    QAbstractButton* percent = app.keyboard()->keyButton(QStringLiteral("%"));
    const QPointF centre = QRectF(percent->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, percent->mapToGlobal(centre),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, percent->mapToGlobal(centre),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(percent, &press);
    QElapsedTimer held;
    held.start();
    while (held.nsecsElapsed() < 1000000) QCoreApplication::processEvents();
    QApplication::sendEvent(percent, &release);

    ASSERT_TRUE(runUntil([&] { return app.pacer().cyclesRun > before + 40000; }));
    EXPECT_EQ(app.keyboard()->pressesWaiting(), 0u);
    // "%" is row 1 of column 1: the scan stored 2.
    EXPECT_EQ(app.board().rams[0].mainMemory[0], 2);
    app.shutdownAll();
}

}  // namespace
}  // namespace tallivo
