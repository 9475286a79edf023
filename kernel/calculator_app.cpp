#include "kernel/calculator_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <initializer_list>

#include "kernel/data_files.h"
#include "kernel/platform.h"
#include "kernel/qt_platform.h"
#include "panel/inspector_window.h"
#include "panel/keyboard_panel.h"
#include "panel/machine_sound.h"
#include "panel/printer_panel.h"
#include "panel/sound_output.h"
#include "tools/flowchart_view.h"

namespace tallivo {

CalculatorApp::CalculatorApp()
    : board_(std::make_unique<Board>()),
      keyboard_(std::make_unique<KeyboardPanel>()),
      printer_(std::make_unique<PrinterPanel>()),
      flowchart_(std::make_unique<FlowchartView>()) {
    // The tick that moves the target, and runs at once the periods that
    // have fallen due since the last one: one wake-up per tick, and one call
    // of the clock. Only when they do not fit one slice of time does the
    // idle driver run the rest between window events. The sound is fed in
    // the same wake-up, with what the clock has just run.
    tickTimer_.setInterval(kTickMilliseconds);
    tickTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tickTimer_, &QTimer::timeout, this, [this] {
        onTimer();
        if (!idleDriver_.isActive() && onIdle() && pacer_.behind()) idleDriver_.start();
        if (soundOutput_) soundOutput_->pump();
        // While the clock runs the inspector follows it at the tick; a
        // stopped clock changes nothing to show.
        if (inspector_ && inspector_->isVisible() && !runControl_.paused()) inspector_->refresh();
    });
    idleDriver_.setInterval(0);
    QObject::connect(&idleDriver_, &QTimer::timeout, this, [this] {
        if (!onIdle()) idleDriver_.stop();
    });
}

CalculatorApp::~CalculatorApp() = default;

namespace {

// From anywhere in a cycle, the rest of it and two more cycles (a two-word
// instruction or FIN) reach the next instruction start in at most this many
// periods.
constexpr std::uint64_t kInstructionPeriods = 24;

// Lets the window system show a window and the window manager frame it, so
// that its real frame (caption included) can be measured. Bounded: a window
// that never shows holds nothing up for long.
void waitUntilExposed(std::initializer_list<QWidget*> windows) {
    QElapsedTimer waited;
    waited.start();
    auto allExposed = [&windows] {
        for (QWidget* window : windows) {
            const QWindow* handle = window->windowHandle();
            if (handle != nullptr && !handle->isExposed()) return false;
        }
        return true;
    };
    while (!allExposed() && waited.elapsed() < 2000) handleEventsFor(10);
    // The frame extents and the final position come with the expose.
    handleEventsFor(20);
}

}  // namespace

PanelFrames CalculatorApp::panelFrames() const {
    PanelFrames frames;
    const QScreen* screen = keyboard_->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) frames.area = screen->availableGeometry();
    if (keyboard_->isVisible()) frames.keyboard = keyboard_->frameGeometry();
    if (printer_->isVisible()) frames.printer = printer_->frameGeometry();
    return frames;
}

bool CalculatorApp::startUp(const Options& options) {
    const StartSettings& s = options.settings;
    BoardNets& n = board_->nets;
    placeWindows_ = options.stayOnTop;

    // The panels stay on top of other windows. The hint is given before a
    // window is first shown: given to a shown window it makes a new native
    // window in place of the old one.
    if (options.stayOnTop) {
        keyboard_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        printer_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }

    // The keyboard is the main window: closing it ends the run.
    keyboard_->connect(n.KeyColumn, n.KeyRow, &n.LampM, &n.LampOVF, &n.LampNEG, &n.QuitRequested);
    board_->registerFront(keyboard_.get());
    if (options.stayOnTop) waitUntilExposed({keyboard_.get()});

    // Beside the keyboard's frame rather than under it, so the paper can be
    // read.
    const QRect keys = keyboard_->frameGeometry();
    printer_->move(keys.right() + 1, keys.top());
    printer_->connect(n.HammerLine, &n.PaperAdvance, &n.HammerFire, &n.RibbonRed, &n.DrumIndex,
                      &n.Test);
    board_->registerFront(printer_.get());
    if (options.stayOnTop) {
        waitUntilExposed({printer_.get()});
        // Boxes from here on open clear of the panels and above them.
        keepMessageBoxesClearOf(keyboard_.get(), printer_.get());
    }

    if (s.hitValue != 0) {
        flowchart_->withoutFlowchartHint = options.withoutFlowchartHint;
        if (flowchart_->connect(s.hitValue, &n.DataBus, &n.Sync, &n.Test, &n.Reset) != 0)
            return false;
        board_->registerFront(flowchart_.get());
        placeFlowchart();
        flowchart_->raise();
    }

    // The panels above everything else: without a window manager the hint
    // means nothing, and the order of raising decides.
    if (options.stayOnTop) {
        printer_->raise();
        keyboard_->raise();
    }

    BoardSettings chips;
    chips.codeFile = findDataFile(options.codeFile);
    // The user at a terminal learns where the code file was looked for; the
    // ROMs show their own message.
    if (!std::filesystem::is_regular_file(chips.codeFile))
        platform().detail(describeSearch(options.codeFile));
    chips.traceFile = options.traceFile;
    chips.traceLimit = s.traceLimit;
    chips.page3Filter = s.page3Filter;
    chips.traceStart = s.traceStart;
    codeFilePath_ = chips.codeFile;
    if (board_->connectChips(chips) != 0) return false;
    keyboard_->inspectorOpener = [this] { showInspector(); };
    // What a paste skipped is said under the paper, where the user looks.
    keyboard_->pasteStatus = [this](const QString& text) { printer_->setStatus(text); };

    if (options.sound) startSound(s);

    pacer_.start(s.clockRate, platform().utcNow());
    board_->warmUp();
    return true;
}

void CalculatorApp::startSound(const StartSettings& s) {
    // The sound follows the simulated clock: at -c370 the drum turns, and
    // is heard, at half speed. A clock that never runs makes no sound.
    if (s.clockRate <= 0) return;
    sound_ = std::make_unique<MachineSound>(static_cast<std::uint64_t>(s.clockRate) * 1000);
    soundOutput_ = std::make_unique<SoundOutput>(*printer_, *sound_);
    keyboard_->setSoundChoice(soundOutput_->available(), !s.quiet,
                              [this](bool on) { setSoundOn(on); });
    setSoundOn(!s.quiet);
}

void CalculatorApp::setSoundOn(bool on) {
    if (!soundOutput_ || !soundOutput_->available()) return;
    // Without a listener the drum and the keys tell nobody: no cost at all.
    printer_->sound = on ? sound_.get() : nullptr;
    keyboard_->sound = on ? sound_.get() : nullptr;
    soundOutput_->setPlaying(on);
}

void CalculatorApp::placeFlowchart() {
    // Placed from the panels' real frames and its own: below the panels
    // where it fits, else beside them, else where least of it is hidden.
    // Leaving the maximised state changes its frame (a maximised window has
    // no side borders), and the new frame reaches the toolkit a moment
    // later: it is placed again until its frame stays where it belongs.
    FlowchartView& view = *flowchart_;
    if (!view.isVisible()) return;
    waitUntilExposed({&view});
    QElapsedTimer waited;
    waited.start();
    int stable = 0;
    int moves = 0;
    while (stable < 3 && moves < 6 && waited.elapsed() < 1000) {
        const QPoint corner =
            placeClearOfPanels(view.frameGeometry().size(), panelFrames(), Alignment::Start);
        if (view.frameGeometry().topLeft() == corner) {
            ++stable;
        } else {
            stable = 0;
            ++moves;
            view.move(corner);
        }
        handleEventsFor(30);
    }
}

void CalculatorApp::startPacing() {
    tickTimer_.start();
    idleDriver_.start();
}

void CalculatorApp::onTimer() {
    if (board_->nets.QuitRequested != 0) return;
    pacer_.onTimer(platform().utcNow());
}

bool CalculatorApp::onIdle() {
    // A modal box runs a nested event loop in which this driver still fires:
    // no clock period may run then, nor one inside another.
    if (stepping_ || quitting_ || QApplication::activeModalWidget() != nullptr) return false;
    if (board_->nets.QuitRequested != 0) {
        exitReport();
        return false;
    }
    if (!pacer_.behind()) return false;
    // What is due runs in as few calls of the clock as it can: whole bursts
    // of 100 periods up to the target, at most kMostPeriodsAtOnce at a time,
    // for at most one slice of wall time, after which window events are
    // handled before the rest.
    const auto sliceEnd = std::chrono::steady_clock::now() + kIdleSlice;
    stepping_ = true;
    do {
        runControlled(duePeriods());
        if (afterBurst) afterBurst();
        // A box shown from inside the clock (the monitor's note) has run its
        // own event loop: stop here, as between two idle calls.
    } while (pacer_.behind() && board_->nets.QuitRequested == 0 &&
             QApplication::activeModalWidget() == nullptr &&
             std::chrono::steady_clock::now() < sliceEnd);
    stepping_ = false;
    return true;
}

std::uint64_t CalculatorApp::duePeriods() const {
    constexpr std::uint64_t burst = Pacer::kBurst;
    const auto bursts = [](double periods) {
        return periods <= burst ? std::uint64_t{1}
                                : static_cast<std::uint64_t>(std::ceil(periods / burst));
    };
    std::uint64_t count =
        std::min(bursts(pacer_.cycleTarget - pacer_.cyclesRun), kMostPeriodsAtOnce / burst);
    if (periodsToNextEvent)
        count = std::min(count, bursts(static_cast<double>(periodsToNextEvent())));
    return count * burst;
}

void CalculatorApp::runControlled(std::uint64_t periods) {
    const bool wasPaused = runControl_.paused();
    pacer_.ran(runControl_.run(*board_, periods));
    if (runControl_.paused() && !wasPaused) clockStopped();
}

bool CalculatorApp::canRunNow() const {
    // As in the idle hook: no period inside another (the monitor's note is
    // shown from inside the clock) nor under a modal box.
    return !stepping_ && !quitting_ && QApplication::activeModalWidget() == nullptr;
}

void CalculatorApp::runNow(std::uint64_t periods) {
    stepping_ = true;
    runControlled(periods);
    stepping_ = false;
}

void CalculatorApp::clockStopped() {
    pacer_.pause(platform().utcNow());
    // The trace so far is on disk for a reader who looks at it now.
    board_->monitor.flush();
    // A breakpoint set in the inspector brings it back when it has been
    // closed since.
    if (inspector_) {
        if (!inspector_->isVisible()) inspector_->show();
        inspector_->refresh();
    }
}

void CalculatorApp::pauseClock() {
    if (runControl_.paused() || quitting_) return;
    // The instruction under way is finished, so the clock stops at an
    // instruction start; if the clock is busy, the idle hook finishes it.
    runControl_.pause();
    if (canRunNow()) runNow(kInstructionPeriods);
}

void CalculatorApp::resumePaced() {
    pacer_.resume(platform().utcNow());
    if (inspector_) inspector_->refresh();
    if (!idleDriver_.isActive()) idleDriver_.start();
}

void CalculatorApp::resumeClock() {
    if (!runControl_.paused() || !canRunNow()) return;
    runControl_.resume();
    resumePaced();
}

void CalculatorApp::stepInstruction() {
    if (!runControl_.paused() || !canRunNow()) return;
    runControl_.step(1);
    runNow(kInstructionPeriods);
}

void CalculatorApp::stepOver() {
    if (!runControl_.paused() || !canRunNow()) return;
    if (runControl_.stepOver(*board_)) {
        // A call may take long (the key wait returns when a key is typed):
        // it runs paced, and Pause stops it.
        resumePaced();
    } else {
        runNow(kInstructionPeriods);
    }
}

void CalculatorApp::runToAddress(int address) {
    if (!runControl_.paused() || !canRunNow()) return;
    runControl_.runTo(address);
    resumePaced();
}

void CalculatorApp::showInspector() {
    if (!inspector_) {
        inspector_ = std::make_unique<InspectorWindow>(*this);
        if (placeWindows_) {
            // Below the panels, which stay on top, as tall as the room there
            // allows and no shorter than its contents need.
            const PanelFrames frames = panelFrames();
            const int panelsBottom = std::max(frames.keyboard.bottom(), frames.printer.bottom());
            const int room = frames.area.bottom() - panelsBottom - 40;
            const QSize wanted(std::min(inspector_->width(), frames.area.width()),
                               std::max(std::min(inspector_->height(), room),
                                        inspector_->minimumSizeHint().height()));
            inspector_->resize(wanted);
            inspector_->show();
            waitUntilExposed({inspector_.get()});
            inspector_->move(
                placeClearOfPanels(inspector_->frameGeometry().size(), frames, Alignment::Start));
        }
    }
    inspector_->show();
    inspector_->raise();
    inspector_->activateWindow();
    inspector_->refresh();
}

void CalculatorApp::exitReport() {
    quitting_ = true;
    idleDriver_.stop();
    const std::string report = pacer_.exitReport(platform().utcNow());
    if (onQuit) {
        onQuit();
        return;
    }
    platform().showMessage(report);
    shutdownAll();
}

int CalculatorApp::shutdownAll() {
    tickTimer_.stop();
    idleDriver_.stop();
    setSoundOn(false);
    // The inspector goes with the panels: a window left open would keep
    // the toolkit's event loop running after the calculator has ended.
    if (inspector_) inspector_->close();
    return board_->registry.shutdownAll();
}

}  // namespace tallivo
