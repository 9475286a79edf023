#include "kernel/platform.h"

#include <chrono>
#include <cstdio>

namespace tallivo {

namespace {

Platform consoleDefaults() {
    Platform p;
    p.showMessage = [](const std::string& text) {
        std::fputs(text.c_str(), stderr);
        std::fputc('\n', stderr);
    };
    p.detail = [](const std::string& text) {
        std::fputs(text.c_str(), stderr);
        std::fputc('\n', stderr);
    };
    p.utcNow = systemUtcNow;
    p.toolkitExit = [] { return 0; };
    return p;
}

}  // namespace

Platform& platform() {
    static Platform instance = consoleDefaults();
    return instance;
}

void resetPlatform() {
    platform() = consoleDefaults();
}

UtcTime systemUtcNow() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    UtcTime t;
    t.seconds = ms / 1000;
    t.milliseconds = static_cast<std::int32_t>(ms % 1000);
    return t;
}

}  // namespace tallivo
