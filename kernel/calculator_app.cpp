#include "kernel/calculator_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <QTimerEvent>
#include <QWidget>

#include "kernel/data_files.h"
#include "kernel/platform.h"
#include "panel/keyboard_panel.h"
#include "panel/printer_panel.h"
#include "tools/flowchart_view.h"

namespace tallivo {

CalculatorApp::CalculatorApp()
    : board_(std::make_unique<Board>()),
      keyboard_(std::make_unique<KeyboardPanel>()),
      printer_(std::make_unique<PrinterPanel>()),
      flowchart_(std::make_unique<FlowchartView>()) {
    idleDriver_.setInterval(0);
    QObject::connect(&idleDriver_, &QTimer::timeout, this, [this] {
        if (!onIdle()) idleDriver_.stop();
    });
}

CalculatorApp::~CalculatorApp() = default;

void CalculatorApp::keepOnTop(QWidget* window) {
    // Changing the flags hides the window; show it again where it was.
    const QPoint where = window->pos();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->move(where);
    window->show();
}

void CalculatorApp::placeBelowPanels(QWidget* window) {
    // The panels stay on top at the top left corner: the picture goes under
    // them where it still fits on the screen, so that all of it can be seen.
    const int top = std::max(keyboard_->frameGeometry().bottom(), printer_->frameGeometry().bottom()) + 1;
    const QScreen* screen = window->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    if (top + window->frameGeometry().height() <= area.bottom() + 1) window->move(area.left(), top);
}

bool CalculatorApp::startUp(const Options& options) {
    const StartSettings& s = options.settings;
    BoardNets& n = board_->nets;

    // The keyboard is the main window: closing it ends the run.
    keyboard_->connect(n.KeyColumn, n.KeyRow, &n.LampM, &n.LampOVF, &n.LampNEG, &n.QuitRequested);
    board_->registerFront(keyboard_.get());

    printer_->connect(n.HammerLine, &n.PaperAdvance, &n.HammerFire, &n.RibbonRed, &n.DrumIndex,
                      &n.Test);
    // Beside the keyboard rather than under it, so the paper can be read.
    const QRect keys = keyboard_->frameGeometry();
    printer_->move(keys.right() + 1, keys.top());
    board_->registerFront(printer_.get());

    if (s.hitValue != 0) {
        if (flowchart_->connect(s.hitValue, &n.DataBus, &n.Sync, &n.Test, &n.Reset) != 0)
            return false;
        board_->registerFront(flowchart_.get());
        placeBelowPanels(flowchart_.get());
        flowchart_->raise();
    }

    if (options.stayOnTop) {
        keepOnTop(printer_.get());
        keepOnTop(keyboard_.get());
    }

    BoardSettings chips;
    chips.codeFile = findDataFile(options.codeFile);
    chips.traceFile = options.traceFile;
    chips.traceLimit = s.traceLimit;
    chips.page3Filter = s.page3Filter;
    chips.traceStart = s.traceStart;
    if (board_->connectChips(chips) != 0) return false;

    pacer_.start(s.clockRate, platform().utcNow());
    board_->warmUp();
    return true;
}

void CalculatorApp::startPacing() {
    tickTimerId_ = startTimer(50, Qt::PreciseTimer);
    idleDriver_.start();
}

void CalculatorApp::timerEvent(QTimerEvent* event) {
    if (event->timerId() != tickTimerId_) return QObject::timerEvent(event);
    onTimer();
    // The tick wakes the idle driver, which stops itself once caught up.
    if (!idleDriver_.isActive()) idleDriver_.start();
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
    stepping_ = true;
    board_->run(Pacer::kBurst);
    stepping_ = false;
    pacer_.ranBurst();
    return true;
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
    if (tickTimerId_ != 0) {
        killTimer(tickTimerId_);
        tickTimerId_ = 0;
    }
    idleDriver_.stop();
    return board_->registry.shutdownAll();
}

}  // namespace tallivo
