#include "kernel/command_line.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace tallivo {

namespace {

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// Reads a number at `pos` as scanf's %d or %x would: white space, a sign, for
// base 16 an optional 0x, then digits. Returns false (pos unchanged) when no
// digit follows or the value does not fit 32 bits.
bool readNumber(const std::string& text, std::size_t& pos, int base, int& value) {
    std::size_t p = pos;
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    if (base == 16 && p + 2 < text.size() && text[p] == '0' &&
        (text[p + 1] == 'x' || text[p + 1] == 'X') && digitValue(text[p + 2], 16) >= 0)
        p += 2;
    if (p >= text.size() || digitValue(text[p], base) < 0) return false;
    long long magnitude = 0;
    bool overflow = false;
    for (int d; p < text.size() && (d = digitValue(text[p], base)) >= 0; ++p) {
        if (magnitude <= (1LL << 32))
            magnitude = magnitude * base + d;
        else
            overflow = true;
    }
    const long long v = negative ? -magnitude : magnitude;
    if (overflow || v > std::numeric_limits<std::int32_t>::max() ||
        v < std::numeric_limits<std::int32_t>::min())
        return false;
    value = static_cast<int>(v);
    pos = p;
    return true;
}

}  // namespace

StartSettings parseCommandLine(const std::string& text, StartSettings s) {
    std::size_t pos = 0;
    while (true) {
        const std::size_t dash = text.find('-', pos);
        if (dash == std::string::npos) return s;
        const char letter = dash + 1 < text.size() ? text[dash + 1] : '\0';
        pos = dash + 2;
        int* target = nullptr;
        int base = 10;
        switch (letter) {
            case 'v':
                s.page3Filter = true;
                continue;
            case 'q':
                s.quiet = true;
                continue;
            case 'c':
                target = &s.clockRate;
                break;
            case 'f':
                target = &s.hitValue;
                break;
            case 'm':
                target = &s.traceLimit;
                break;
            case 's':
                target = &s.traceStart;
                base = 16;
                break;
            default:
                s.valid = false;
                s.badSwitch = text.substr(dash);
                return s;
        }
        if (!readNumber(text, pos, base, *target)) return s;
    }
}

Elapsed elapsedBetween(UtcTime start, UtcTime now) {
    Elapsed e;
    e.wholeSeconds = now.seconds - start.seconds;
    e.milliseconds = now.milliseconds - start.milliseconds;
    return e;
}

void Pacer::start(int rate, UtcTime now) {
    clockRate = rate;
    startTime = now;
    resumeTime = now;
    cyclesRun = 0;
    cyclesAtResume = 0;
    secondsBeforePause = 0;
    paused = false;
    everPaused = false;
    // The periods of one millisecond at this rate: the first bursts run before
    // the first tick.
    cycleTarget = clockRate;
}

void Pacer::onTimer(UtcTime now) {
    if (paused) return;
    const Elapsed e = elapsedBetween(resumeTime, now);
    cycleTarget = cyclesAtResume +
                  (e.milliseconds * 0.001 + static_cast<double>(e.wholeSeconds)) * clockRate * 1000;
}

void Pacer::pause(UtcTime now) {
    if (paused) return;
    paused = true;
    everPaused = true;
    secondsBeforePause += elapsedBetween(resumeTime, now).seconds();
}

void Pacer::resume(UtcTime now) {
    if (!paused) return;
    paused = false;
    resumeTime = now;
    cyclesAtResume = cyclesRun;
    // As at start-up: one millisecond's periods until the first tick.
    cycleTarget = cyclesRun + clockRate;
}

std::string Pacer::exitReport(UtcTime now) const {
    Elapsed e = elapsedBetween(startTime, now);
    if (everPaused) {
        // Only the time spent running counts; it is whole stretches of
        // exact times, so its whole seconds are those of the sum.
        double seconds = secondsBeforePause;
        if (!paused) seconds += elapsedBetween(resumeTime, now).seconds();
        e.wholeSeconds = static_cast<std::int64_t>(seconds);
        e.milliseconds =
            static_cast<std::int32_t>((seconds - static_cast<double>(e.wholeSeconds)) * 1000);
    }
    // Under one whole second the exact elapsed time is the divisor, and with
    // none at all the rate is shown as 0: never "inf" or "nan".
    double divisor = static_cast<double>(e.wholeSeconds);
    if (e.wholeSeconds == 0) divisor = e.seconds();
    const double rate = divisor > 0 ? cyclesRun * 0.001 / divisor : 0.0;
    char text[160];
    std::snprintf(text, sizeof text,
                  "Exiting, executed %.2fM machine cycles in %d seconds\n%.2f kcyc/sec",
                  cyclesRun * 0.000001, static_cast<int>(e.wholeSeconds), rate);
    return text;
}

}  // namespace tallivo
