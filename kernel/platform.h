#pragma once
// The few services the core needs from its host: modal message boxes and the
// details behind them, the UTC wall clock and the toolkit's exit processing.
// The application installs Qt-backed versions; the runner and the tests keep
// the defaults, which write messages to standard error as lines and never
// wait for anyone.
#include <cstdint>
#include <functional>
#include <string>

namespace tallivo {

// A UTC reading split as the pacing needs it: seconds since the epoch, without
// the milliseconds, and the milliseconds 0..999.
struct UtcTime {
    std::int64_t seconds = 0;
    std::int32_t milliseconds = 0;
};

struct Platform {
    std::function<void(const std::string& text)> showMessage;
    // What a user at a terminal needs beside a box: where a file was looked
    // for, why it was refused. Goes to standard error in every program.
    std::function<void(const std::string& text)> detail;
    std::function<UtcTime()> utcNow;
    std::function<int()> toolkitExit;
};

// The process-wide hooks. Never empty: each starts as the console default.
Platform& platform();

// Puts every hook back to its console default.
void resetPlatform();

UtcTime systemUtcNow();

}  // namespace tallivo
