#pragma once
// The application: connects and registers every component of the board in
// start-up order, holds Reset for the warm-up, paces the clock against the
// wall clock from the event loop, and ends the run with the exit report.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "kernel/board.h"
#include "kernel/command_line.h"
#include "kernel/run_control.h"
#include "kernel/window_placement.h"

namespace tallivo {

class KeyboardPanel;
class PrinterPanel;
class FlowchartView;
class InspectorWindow;
class MachineSound;
class SoundOutput;

class CalculatorApp : public QObject {
    Q_OBJECT
  public:
    struct Options {
        StartSettings settings;
        std::string codeFile = "4001.code";
        std::string traceFile = "4004out.txt";
        // Keep the panels above other windows and place the windows and boxes
        // from their real frames (off for the headless runner).
        bool stayOnTop = true;
        // The machine's sound on the audio output (the desktop; not the
        // runner, which writes its own). -q starts it turned off.
        bool sound = false;
        // What standard error gets beside a flowchart picture's message.
        std::string withoutFlowchartHint =
            "start with -f0 to run the calculator without the flowchart";
    };

    CalculatorApp();
    ~CalculatorApp() override;

    // Start-up steps from the panels to the warm-up; false when it failed
    // (its message has been shown). Does not start the pacing.
    bool startUp(const Options& options);
    // Starts the 50 ms timer and the idle driver.
    void startPacing();

    // What the toolkit calls: the idle hook (true: call again) and the tick.
    bool onIdle();
    void onTimer();

    // shutdown of every component, then the toolkit's exit processing.
    int shutdownAll();

    Board& board() { return *board_; }
    KeyboardPanel* keyboard() const { return keyboard_.get(); }
    PrinterPanel* printer() const { return printer_.get(); }
    FlowchartView* flowchart() const { return flowchart_.get(); }
    Pacer& pacer() { return pacer_; }
    RunControl& runControl() { return runControl_; }
    // The code file the ROMs loaded, as found.
    const std::string& codeFilePath() const { return codeFilePath_; }

    // Turns the sound on or off (the keyboard's "Sound" item).
    void setSoundOn(bool on);

    // Opens the inspector (made at its first opening) and raises it.
    void showInspector();
    InspectorWindow* inspector() const { return inspector_.get(); }

    // The inspector's commands. While paused no clock period runs and the
    // pacing stands still; a command that runs to a place far away (a
    // return, an address) runs paced, as the calculator runs.
    void pauseClock();
    void resumeClock();
    void stepInstruction();
    void stepOver();
    void runToAddress(int address);
    bool clockPaused() const { return runControl_.paused(); }
    int componentCount() const { return board_->registry.count(); }

    // The period of the tick that moves the pacing's target.
    static constexpr int kTickMilliseconds = 50;
    const QTimer& tickTimer() const { return tickTimer_; }

    // The longest stretch of wall time that one idle call spends running
    // the clock before it lets the event loop handle window events.
    static constexpr std::chrono::microseconds kIdleSlice{4000};
    // The most periods one call of the clock runs: a slice is checked
    // between two such calls. A tick's worth at rates up to 2000 kHz, so
    // that a tick runs what has fallen due in one call.
    static constexpr std::uint64_t kMostPeriodsAtOnce = 100000;

    // Called after every run of the pacing, when set (the runner applies its
    // key schedule this way, without a watcher on the event loop).
    std::function<void()> afterBurst;
    // When set, the periods until the caller's next event: a run of the
    // pacing then ends at the first burst boundary at or after it, as if
    // the clock ran one burst of 100 periods at a time.
    std::function<std::uint64_t()> periodsToNextEvent;

    // Called instead of the exit report's box and the toolkit's quit when set
    // (the runner ends its paced run this way).
    std::function<void()> onQuit;

    // The work area and the panels' frames, as the windows are placed from.
    PanelFrames panelFrames() const;

  private:
    void exitReport();
    // Runs at most `periods` periods under the run control and counts them;
    // when the clock stopped, pauses the pacing and shows where.
    void runControlled(std::uint64_t periods);
    // The periods one call of the clock runs now: the whole bursts that
    // reach the target, within the limits above.
    std::uint64_t duePeriods() const;
    // Whether a command may run clock periods at once: none is running and
    // no modal box is open.
    bool canRunNow() const;
    void runNow(std::uint64_t periods);
    // Lets the pacing run the clock again from a new time base.
    void resumePaced();
    void clockStopped();
    void placeFlowchart();
    void startSound(const StartSettings& settings);

    std::unique_ptr<Board> board_;
    std::unique_ptr<KeyboardPanel> keyboard_;
    std::unique_ptr<PrinterPanel> printer_;
    std::unique_ptr<FlowchartView> flowchart_;
    std::unique_ptr<InspectorWindow> inspector_;
    std::unique_ptr<MachineSound> sound_;
    std::unique_ptr<SoundOutput> soundOutput_;
    Pacer pacer_;
    RunControl runControl_;
    std::string codeFilePath_;
    QTimer idleDriver_;
    QTimer tickTimer_;
    bool placeWindows_ = false;
    bool stepping_ = false;
    bool quitting_ = false;
};

}  // namespace tallivo
