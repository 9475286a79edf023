#pragma once
// The calculator application with the shipped firmware, for the GUI tests:
// no flowchart window, no trace file, not kept above other windows.
#include <string>

#include "kernel/calculator_app.h"

namespace tallivo::testing {

inline CalculatorApp::Options firmwareOptions() {
    CalculatorApp::Options o;
    o.settings.hitValue = 0;
    o.codeFile = std::string(TALLIVO_BIN_DIR) + "/4001.code";
    o.traceFile.clear();
    o.stayOnTop = false;
    return o;
}

}  // namespace tallivo::testing
