#pragma once
// The calculator's switches and the pacing arithmetic, kept free of Qt so
// they can be tested on their own.
#include <cstdint>
#include <string>

#include "kernel/platform.h"

namespace tallivo {

struct StartSettings {
    int clockRate = 740;       // -c: thousands of clock periods per second
    int hitValue = 512;        // -f: 0 = no flowchart window
    int traceLimit = 0;        // -m
    int traceStart = 0;        // -s (hexadecimal)
    bool page3Filter = false;  // -v
    bool quiet = false;        // -q: start with the sound off
    bool valid = true;
    std::string badSwitch;  // the text from the unrecognised '-' to the end
};

// Scans the text that follows the program's name. Every '-' in it starts a
// switch; c, f, m take a decimal number, s a hexadecimal one, v and q none. A
// missing number (or one that does not fit 32 bits) ends the scan with the
// setting unchanged; any other letter makes the result invalid.
StartSettings parseCommandLine(const std::string& text, StartSettings defaults = {});

// The elapsed time as the pacing measures it: whole seconds between the two
// readings without their milliseconds, plus the signed millisecond difference.
struct Elapsed {
    std::int64_t wholeSeconds = 0;
    std::int32_t milliseconds = 0;  // -999 .. 999
    double seconds() const {
        return static_cast<double>(milliseconds) * 0.001 + static_cast<double>(wholeSeconds);
    }
};
Elapsed elapsedBetween(UtcTime start, UtcTime now);

// How many periods should have run by now, and whether the clock is behind.
class Pacer {
  public:
    static constexpr int kBurst = 100;

    void start(int clockRate, UtcTime now);
    // The 50 ms tick: moves the target from the elapsed time. Does nothing
    // while paused.
    void onTimer(UtcTime now);
    bool behind() const { return !paused && cyclesRun < cycleTarget; }
    void ranBurst() { cyclesRun += kBurst; }
    void ran(std::uint64_t periods) { cyclesRun += static_cast<double>(periods); }

    // While the clock is stopped the target stands still. Resuming starts a
    // new time base from the periods run so far, so the pacing does not try
    // to catch up with the time it was stopped.
    void pause(UtcTime now);
    void resume(UtcTime now);

    // "Exiting, executed ...": periods run and the rate in thousands a second,
    // over the time spent running.
    std::string exitReport(UtcTime now) const;

    int clockRate = 740;
    double cyclesRun = 0;
    double cycleTarget = 0;
    UtcTime startTime;
    bool paused = false;
    // Since the last resume: the time base and the periods run before it.
    UtcTime resumeTime;
    double cyclesAtResume = 0;
    // Seconds spent running before the last pause, and whether there was one.
    double secondsBeforePause = 0;
    bool everPaused = false;
};

}  // namespace tallivo
