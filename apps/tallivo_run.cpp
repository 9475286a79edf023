// tallivo-run: the calculator's board with its panels on Qt's offscreen
// platform, without pacing and without a display. Runs a code file for a
// number of clock periods after the warm-up, can hold keys and turn the
// switches on a schedule, prints every paper line as it is fed out, and
// reports the final state for scripts and tests.
#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "kernel/board_state.h"
#include "kernel/calculator_app.h"
#include "kernel/data_files.h"
#include "kernel/key_schedule.h"
#include "panel/keyboard_panel.h"
#include "panel/machine_sound.h"
#include "panel/printer_panel.h"
#include "tools/flowchart_view.h"

namespace {

constexpr const char* kUsage =
    "usage: tallivo-run [options]\n"
    "  --code FILE          code file to load (default 4001.code)\n"
    "  --periods N          clock periods to run after the warm-up (default 740000);\n"
    "                       with --type: periods to run after the calculator has taken the\n"
    "                       last key (with --hold or --gap: after the last key is released);\n"
    "                       without it, --type runs until the calculator has printed and\n"
    "                       waits for a key again\n"
    "  --reset-at P         after P periods, hold Reset high for 12 periods as at start-up\n"
    "                       (not counted in the periods; may be given more than once)\n"
    "  --trace FILE         trace file (default 4004out.txt)\n"
    "  --trace-limit M      trace writes allowed, 0 = no tracing (default 0; as -m)\n"
    "  --trace-start HEX    address at which tracing starts (default 0; as -s)\n"
    "  --page3              trace only addresses 0x300-0x3FF (as -v)\n"
    "  --keys SCHEDULE      CAPTION@START-END,...: hold a key for periods START <= p < END\n"
    "  --type \"TAPE\"        type these keys one after the other, as fast as the calculator\n"
    "                       takes them: captions separated by spaces (\"1 2 . 5 + M+ CE\"),\n"
    "                       or text typed through the PC keys (\"12.5+7.25=\")\n"
    "  --hold P             type on a fixed schedule: periods each key is held (default 40000)\n"
    "  --gap P              type on a fixed schedule: periods between keys (default 200000)\n"
    "  --dp INDEX           decimal-point switch position 0-7 (default 0)\n"
    "  --round INDEX        rounding switch position 0-2 (default 1, FL)\n"
    "  --flowchart VALUE    flowchart hit value, as -f (default 0: no flowchart)\n"
    "  --flowchart-png FILE write the flowchart image at the end of the run\n"
    "  --paced              run through the application's own pacing on the event loop\n"
    "  --rate K             clock rate in kHz for --paced, as -c (default 740)\n"
    "  --break HEX          stop the run at the first fetch of an instruction at this\n"
    "                       address and write the dump then (may be given more than once)\n"
    "  --step N             stop the run after N instructions\n"
    "  --dump-state FILE    write the final state as JSON ('-' for standard output)\n"
    "  --audio FILE         write the machine's sound (hammers, paper feed, key clicks)\n"
    "                       as a WAV file, 44100 Hz mono, from the first period on\n"
    "  --paper-pdf FILE     write the paper as a PDF at the end of the run\n"
    "  --stats              print the run's speed on standard error\n"
    "  --help               show this text\n";

struct Options {
    std::string codeFile = "4001.code";
    std::optional<std::uint64_t> periods;
    tallivo::CalculatorApp::Options app;
    std::vector<tallivo::KeyHold> keys;
    std::vector<std::uint64_t> resets;  // periods after which Reset is held, ascending
    std::vector<int> typed;             // keys, in KeyMatrix's numbering
    bool typeGiven = false;
    std::optional<std::uint64_t> hold;
    std::optional<std::uint64_t> gap;
    std::optional<int> decimalPoint;
    std::optional<int> rounding;
    std::optional<std::string> flowchartPng;
    bool paced = false;
    std::optional<std::string> dumpState;
    std::optional<std::string> audio;
    std::optional<std::string> paperPdf;
    bool stats = false;
    std::vector<int> breakpoints;
    std::optional<int> steps;
};

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "tallivo-run: %s\n%s", message.c_str(), kUsage);
    std::exit(2);
}

using tallivo::KeyHold;

KeyHold parseKeyHold(const std::string& item) {
    KeyHold hold;
    if (!tallivo::parseKeyHold(item, hold))
        usageError("bad key hold '" + item + "' (expected CAPTION@START-END)");
    // Refused here, before the windows exist.
    if (tallivo::KeyMatrix::keyIndex(hold.caption) < 0)
        usageError("no key with the caption '" + hold.caption + "'");
    return hold;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    o.app.settings.hitValue = 0;
    o.app.stayOnTop = false;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) usageError("option " + name + " needs a value");
            return args[++i];
        };
        auto number = [&](int base, long long low, long long high) {
            const std::string text = value();
            long long v = 0;
            if (!tallivo::parseWholeNumber(text, base, low, high, v))
                usageError("bad number for " + name + ": '" + text + "'");
            return v;
        };
        auto flag = [&] {
            if (inlineValue) usageError("option " + name + " takes no value");
        };
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (name == "--code") {
            o.codeFile = value();
        } else if (name == "--periods") {
            o.periods = static_cast<std::uint64_t>(number(10, 0, INT64_MAX));
        } else if (name == "--trace") {
            o.app.traceFile = value();
        } else if (name == "--trace-limit") {
            o.app.settings.traceLimit = static_cast<int>(number(10, INT32_MIN, INT32_MAX));
        } else if (name == "--trace-start") {
            o.app.settings.traceStart = static_cast<int>(number(16, INT32_MIN, INT32_MAX));
        } else if (name == "--page3") {
            flag();
            o.app.settings.page3Filter = true;
        } else if (name == "--reset-at") {
            o.resets.push_back(static_cast<std::uint64_t>(number(10, 0, INT64_MAX)));
        } else if (name == "--keys") {
            for (const std::string& item : tallivo::splitList(value(), ','))
                o.keys.push_back(parseKeyHold(item));
        } else if (name == "--type") {
            std::string error;
            if (!tallivo::tapeKeys(value(), o.typed, error)) usageError("--type: " + error);
            o.typeGiven = true;
        } else if (name == "--hold") {
            o.hold = static_cast<std::uint64_t>(number(10, 1, INT32_MAX));
        } else if (name == "--gap") {
            o.gap = static_cast<std::uint64_t>(number(10, 0, INT32_MAX));
        } else if (name == "--dp") {
            o.decimalPoint = static_cast<int>(number(10, 0, 7));
        } else if (name == "--round") {
            o.rounding = static_cast<int>(number(10, 0, 2));
        } else if (name == "--flowchart") {
            o.app.settings.hitValue = static_cast<int>(number(10, INT32_MIN, INT32_MAX));
        } else if (name == "--flowchart-png") {
            o.flowchartPng = value();
        } else if (name == "--paced") {
            flag();
            o.paced = true;
        } else if (name == "--rate") {
            o.app.settings.clockRate = static_cast<int>(number(10, INT32_MIN, INT32_MAX));
        } else if (name == "--break") {
            o.breakpoints.push_back(static_cast<int>(number(16, 0, 0xFFF)));
        } else if (name == "--step") {
            o.steps = static_cast<int>(number(10, 1, INT32_MAX));
        } else if (name == "--dump-state") {
            o.dumpState = value();
        } else if (name == "--audio") {
            o.audio = value();
        } else if (name == "--paper-pdf") {
            o.paperPdf = value();
        } else if (name == "--stats") {
            flag();
            o.stats = true;
        } else {
            usageError("unknown option '" + args[i] + "'");
        }
    }
    std::sort(o.resets.begin(), o.resets.end());
    if (o.audio && o.app.settings.clockRate <= 0)
        usageError("--audio needs a clock rate above 0 (--rate)");
    if (o.flowchartPng && o.app.settings.hitValue == 0)
        usageError("--flowchart-png needs a flowchart: give --flowchart VALUE (for example 512)");
    return o;
}

// What the keyboard is told before the clock period `period` runs.
struct KeyEvent {
    enum Kind : std::uint8_t {
        HoldUp,    // --keys: the button goes up
        Release,   // a typed key is let go
        HoldDown,  // --keys: the button goes down, read exactly while down
        Press,     // a typed key is pressed: it joins the keys' queue
    };
    std::uint64_t period;
    Kind kind;
    int key;
};

// How a run with the panels ends.
enum class RunEnd {
    Periods,     // after a known number of periods
    AfterQueue,  // --periods after the calculator has taken the last typed key
    KeyWait,     // once the calculator has taken every key, printed and waits again
};

// The key events of the options, in the order they happen: releases before
// presses at the same period, so that back-to-back holds of one key work. A
// tape typed as fast as the calculator takes it presses and lets go of each
// key in turn before the first period. Sets how the run ends.
std::vector<KeyEvent> schedule(const Options& o, RunEnd& end, std::uint64_t& totalPeriods) {
    auto events = [](const std::vector<KeyHold>& holds, KeyEvent::Kind down, KeyEvent::Kind up) {
        std::vector<tallivo::KeyChange> changes;
        std::string unknown;
        if (!tallivo::keyChanges(holds, changes, unknown))
            usageError("no key with the caption '" + unknown + "'");
        std::vector<KeyEvent> list;
        for (const tallivo::KeyChange& c : changes)
            list.push_back({c.period, c.down ? down : up, c.key});
        return list;
    };
    const std::vector<KeyEvent> held = events(o.keys, KeyEvent::HoldDown, KeyEvent::HoldUp);
    std::vector<KeyEvent> typed;
    bool taps = false;

    const bool typing = o.typeGiven && !o.typed.empty();
    if (!typing) {
        end = RunEnd::Periods;
        totalPeriods = o.periods.value_or(740000);
    } else if (o.hold || o.gap) {
        std::vector<std::string> captions;
        for (const int key : o.typed) captions.emplace_back(tallivo::KeyMatrix::keyCaption(key));
        std::vector<KeyHold> holds;
        const std::uint64_t typingEnd =
            tallivo::appendTypedHolds(captions, o.hold.value_or(tallivo::kTypedHoldPeriods),
                                      o.gap.value_or(tallivo::kTypedGapPeriods), holds);
        typed = events(holds, KeyEvent::Press, KeyEvent::Release);
        end = o.periods ? RunEnd::Periods : RunEnd::KeyWait;
        totalPeriods = o.periods ? typingEnd + *o.periods : 0;
    } else {
        for (const int key : o.typed) {
            typed.push_back({0, KeyEvent::Press, key});
            typed.push_back({0, KeyEvent::Release, key});
        }
        taps = true;
        end = o.periods ? RunEnd::AfterQueue : RunEnd::KeyWait;
        totalPeriods = 0;
    }
    // The taps come first, in the tape's order. Otherwise both lists are in
    // order; merged, the typed keys come first at a period where both have
    // events.
    std::vector<KeyEvent> all;
    if (taps) {
        all = std::move(typed);
        all.insert(all.end(), held.begin(), held.end());
        return all;
    }
    std::merge(typed.begin(), typed.end(), held.begin(), held.end(), std::back_inserter(all),
               [](const KeyEvent& a, const KeyEvent& b) {
                   const bool aUp = a.kind == KeyEvent::HoldUp || a.kind == KeyEvent::Release;
                   const bool bUp = b.kind == KeyEvent::HoldUp || b.kind == KeyEvent::Release;
                   return a.period != b.period ? a.period < b.period : aUp && !bUp;
               });
    return all;
}

// Why the run stopped before its periods were over, for the dump and the
// message: "breakpoint", "step" (the runner sets no other stop) or "" when
// it ran to the end.
std::string stopReason(const tallivo::RunControl& control) {
    if (!control.paused()) return {};
    return control.lastStop() == tallivo::RunControl::Stop::Breakpoint ? "breakpoint" : "step";
}

// The machine's sound of the run, rendered as the clock runs and written to
// a WAV file whose header is completed at the end.
class AudioFile {
  public:
    AudioFile(const std::string& path, std::uint64_t periodsPerSecond)
        : path_(path), sound_(periodsPerSecond), out_(path, std::ios::binary) {
        const auto header = tallivo::wavHeader(tallivo::MachineSound::kSampleRate, 0);
        out_.write(reinterpret_cast<const char*>(header.data()), header.size());
    }
    tallivo::MachineSound& sound() { return sound_; }
    // Renders up to the drum's clock: called often enough that the sound's
    // queue never fills (a simulated second holds at most a few hundred events).
    void catchUp(const tallivo::PrinterDrum& drum) {
        const std::uint64_t until = sound_.sampleAt(drum.periodsRun());
        std::int16_t block[4096];
        while (sound_.samplesRendered() < until) {
            const auto n = static_cast<std::size_t>(
                std::min<std::uint64_t>(until - sound_.samplesRendered(), std::size(block)));
            sound_.render(block, n);
            // A WAV file holds at most 4 GiB; a longer run's sound is cut there.
            const std::uint64_t room = kMaxSamples - samples_;
            const std::size_t kept = static_cast<std::size_t>(std::min<std::uint64_t>(n, room));
            out_.write(reinterpret_cast<const char*>(block),
                       static_cast<std::streamsize>(kept * 2));
            samples_ += kept;
        }
    }
    // True when the whole file was written.
    bool finish() {
        const auto header = tallivo::wavHeader(tallivo::MachineSound::kSampleRate,
                                               static_cast<std::uint32_t>(samples_));
        out_.seekp(0);
        out_.write(reinterpret_cast<const char*>(header.data()), header.size());
        out_.close();
        return static_cast<bool>(out_);
    }
    bool opened() const { return out_.is_open() && out_.good(); }
    const std::string& path() const { return path_; }

  private:
    static constexpr std::uint64_t kMaxSamples = (0xFFFFFFFFull - 36) / 2;
    std::string path_;
    tallivo::MachineSound sound_;
    std::ofstream out_;
    std::uint64_t samples_ = 0;
};

std::string extraState(tallivo::CalculatorApp& app, std::uint64_t periodsRun) {
    std::vector<std::string> paper;
    for (const QString& line : app.printer()->paperLines()) paper.push_back(line.toStdString());
    return tallivo::runStateJson(periodsRun, stopReason(app.runControl()), app.printer()->sector) +
           "," + tallivo::panelStateJson(*app.keyboard(), paper);
}

}  // namespace

// Standard error carries the calculator's own messages for scripts to read;
// Qt's notes about the session (runtime folders, fonts) would only get in the
// way, so only its critical and fatal messages pass.
static void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tallivo-run: %s\n", message.toLocal8Bit().constData());
}

int main(int argc, char** argv) {
    qInstallMessageHandler(qtMessages);
    // Nothing is shown: the panels live on Qt's offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    Options options = parseOptions(argc, argv);
    QApplication qtApp(argc, argv);
    qtApp.setApplicationName("tallivo-run");
    tallivo::setExecutablePath(argv[0]);
    options.app.codeFile = options.codeFile;

    // Declared after the QApplication, so its windows go before the toolkit does.
    tallivo::CalculatorApp app;
    if (!app.startUp(options.app)) return 1;
    QObject::connect(app.printer(), &tallivo::PrinterPanel::lineEmitted, [](const QString& line) {
        std::fputs((line.toStdString() + "\n").c_str(), stdout);
        std::fflush(stdout);
    });
    if (options.decimalPoint) app.keyboard()->setDecimalPointIndex(*options.decimalPoint);
    if (options.rounding) app.keyboard()->setRoundingIndex(*options.rounding);

    tallivo::KeyboardPanel& keys = *app.keyboard();
    RunEnd end = RunEnd::Periods;
    std::optional<AudioFile> audio;
    if (options.audio) {
        audio.emplace(*options.audio,
                      static_cast<std::uint64_t>(options.app.settings.clockRate) * 1000);
        if (!audio->opened()) {
            std::fprintf(stderr, "tallivo-run: cannot write '%s'\n", options.audio->c_str());
            return 1;
        }
        app.printer()->sound = &audio->sound();
        app.keyboard()->sound = &audio->sound();
    }
    // A simulated second at most between two renderings of the sound.
    const std::uint64_t audioStep =
        static_cast<std::uint64_t>(options.app.settings.clockRate) * 1000;

    std::uint64_t total = 0;
    const std::vector<KeyEvent> events = schedule(options, end, total);
    bool endKnown = end == RunEnd::Periods;
    std::size_t next = 0;
    std::size_t nextReset = 0;
    std::uint64_t ran = 0;
    // The run's period of the last key event or of the last press the
    // calculator took: a typed run waits a limited time after it.
    std::uint64_t lastProgress = 0;
    int typedCount = 0;
    bool refused = false;
    bool gaveUp = false;

    // Key events and resets due by `period`. A reset is the warm-up over
    // again: it runs its own periods, which the run does not count.
    auto applyDue = [&](std::uint64_t period) {
        for (; next < events.size() && events[next].period <= period && !refused; ++next) {
            const KeyEvent& e = events[next];
            const std::string_view caption = tallivo::KeyMatrix::keyCaption(e.key);
            switch (e.kind) {
                case KeyEvent::HoldDown:
                case KeyEvent::HoldUp:
                    keys.keyButton(QString::fromUtf8(caption.data(),
                                                     static_cast<qsizetype>(caption.size())))
                        ->setDown(e.kind == KeyEvent::HoldDown);
                    break;
                case KeyEvent::Press:
                    ++typedCount;
                    if (!keys.pressKey(e.key)) {
                        std::fprintf(stderr,
                                     "tallivo-run: typed key %d ('%.*s') refused: %zu presses were "
                                     "already waiting "
                                     "for the calculator\n",
                                     typedCount, static_cast<int>(caption.size()), caption.data(),
                                     keys.pressesWaiting());
                        refused = true;
                    }
                    break;
                case KeyEvent::Release:
                    keys.releaseKey(e.key);
                    break;
            }
            lastProgress = std::max(lastProgress, e.period);
        }
        for (; nextReset < options.resets.size() && options.resets[nextReset] <= period;
             ++nextReset)
            app.board().warmUp();
    };
    // Whether the run has come to its end. The matrix counts its periods
    // from construction, warm-ups included.
    auto finished = [&] {
        if (refused || app.runControl().paused()) return true;
        if (const std::uint64_t taken = keys.lastPressTakenAt();
            taken != 0 && taken + ran >= keys.periodsSeen())
            lastProgress = std::max(lastProgress, taken + ran - keys.periodsSeen());
        const bool scheduled = next == events.size();
        if (end == RunEnd::AfterQueue && !endKnown && scheduled && keys.pressesWaiting() == 0) {
            total = lastProgress + *options.periods;
            endKnown = true;
        }
        if (endKnown) return ran >= total;
        if (end == RunEnd::KeyWait && scheduled && keys.keyWaitReached()) return true;
        if (ran >= lastProgress + tallivo::kTypingWaitLimit) {
            gaveUp = true;
            return true;
        }
        return false;
    };
    // The next period at which something is due or may end the run: a run
    // that ends when the calculator is back in its key wait stops at the
    // very period it gets there.
    auto nextStop = [&] {
        std::uint64_t until = endKnown ? total : lastProgress + tallivo::kTypingWaitLimit;
        if (next < events.size()) until = std::min(until, events[next].period);
        if (nextReset < options.resets.size()) until = std::min(until, options.resets[nextReset]);
        if (end == RunEnd::KeyWait) {
            if (const std::uint64_t before = keys.periodsBeforeKeyWait(); before != 0)
                until = std::min(until, ran + before);
        }
        // Not past the end, which is known once the last key is taken.
        if (end == RunEnd::AfterQueue && !endKnown)
            until = std::min(until, ran + std::max<std::uint64_t>(*options.periods, 1));
        return std::max(until, ran + 1);
    };

    tallivo::RunControl& control = app.runControl();
    for (int address : options.breakpoints) control.setBreakpoint(address, true);
    if (options.steps) control.step(*options.steps);

    const auto start = std::chrono::steady_clock::now();
    if (options.paced) {
        // The application's own pacing; keys change at the first burst
        // boundary at or after their period. The schedule is applied from
        // the pacing itself, so that the run costs what the calculator costs.
        applyDue(0);
        app.periodsToNextEvent = [&] {
            const std::uint64_t due = nextStop();
            return due - std::min(ran, due);
        };
        std::uint64_t audioAt = 0;
        app.afterBurst = [&] {
            ran = static_cast<std::uint64_t>(app.pacer().cyclesRun);
            if (audio && ran - audioAt >= audioStep / 20) {
                audio->catchUp(*app.printer());
                audioAt = ran;
            }
            applyDue(ran);
            if (finished()) app.board().nets.QuitRequested = 1;
        };
        // exit, not quit: quit asks the windows to close, and the open panels refuse.
        app.onQuit = [] { QCoreApplication::exit(0); };
        if (finished()) app.board().nets.QuitRequested = 1;
        app.startPacing();
        qtApp.exec();
        ran = static_cast<std::uint64_t>(app.pacer().cyclesRun);
    } else {
        for (;;) {
            applyDue(ran);
            if (finished()) break;
            std::uint64_t until = nextStop();
            if (audio) until = std::min(until, ran + audioStep);
            ran += control.run(app.board(), until - ran);
            if (audio) audio->catchUp(*app.printer());
        }
        // The keys and resets as the schedule has them when the run ends: a
        // hold that ends at the last period is over, and a reset due at the
        // very end still happens, so its state can be dumped. A run stopped
        // at an instruction is dumped as it stands.
        if (!control.paused() && !refused) applyDue(ran);
    }
    if (gaveUp && keys.pressesWaiting() != 0) {
        std::fprintf(stderr,
                     "tallivo-run: the calculator took no key for %llu periods; %zu typed %s not "
                     "taken\n",
                     static_cast<unsigned long long>(tallivo::kTypingWaitLimit),
                     keys.pressesWaiting(), keys.pressesWaiting() == 1 ? "key was" : "keys were");
    } else if (gaveUp) {
        std::fprintf(stderr,
                     "tallivo-run: the calculator did not come back to its key wait within %llu "
                     "periods of the last "
                     "key\n",
                     static_cast<unsigned long long>(tallivo::kTypingWaitLimit));
    }
    if (control.paused())
        std::fprintf(stderr, "tallivo-run: stopped by %s at %03X after %llu periods\n",
                     stopReason(control).c_str(), app.board().cpu.pc(),
                     static_cast<unsigned long long>(ran));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    app.board().monitor.flush();

    int status = refused || gaveUp ? 1 : 0;
    if (audio) {
        audio->catchUp(*app.printer());
        if (!audio->finish()) {
            std::fprintf(stderr, "tallivo-run: cannot write '%s'\n", audio->path().c_str());
            status = 1;
        }
    }
    if (options.paperPdf) {
        QString error;
        if (!app.printer()->savePaperPdf(QString::fromStdString(*options.paperPdf), &error)) {
            std::fprintf(stderr, "tallivo-run: cannot write '%s': %s\n", options.paperPdf->c_str(),
                         error.toLocal8Bit().constData());
            status = 1;
        }
    }
    if (options.stats) {
        const double rate = seconds > 0 ? static_cast<double>(ran) / seconds : 0.0;
        std::fprintf(stderr,
                     "periods=%llu seconds=%.3f periods_per_second=%.0f realtime=%.2f "
                     "longest_key_wait=%llu\n",
                     static_cast<unsigned long long>(ran), seconds, rate, rate / 740000.0,
                     static_cast<unsigned long long>(keys.longestWaitPeriods()));
    }
    if (options.flowchartPng && !app.flowchart()->displayedImage().save(
                                    QString::fromStdString(*options.flowchartPng), "PNG")) {
        std::fprintf(stderr, "tallivo-run: cannot write '%s'\n", options.flowchartPng->c_str());
        status = 1;
    }
    if (options.dumpState) {
        const std::string json = tallivo::boardStateJson(app.board(), extraState(app, ran));
        if (*options.dumpState == "-") {
            std::fputs(json.c_str(), stdout);
        } else {
            std::ofstream out(*options.dumpState);
            out << json;
            if (!out) {
                std::fprintf(stderr, "tallivo-run: cannot write '%s'\n",
                             options.dumpState->c_str());
                status = 1;
            }
        }
    }
    app.shutdownAll();
    return status;
}
