#pragma once
// A printer drum that keeps its paper: every line fed, oldest first, with
// whether the red ribbon printed it. The web module, the benchmarks and the
// tests use it; the desktop's printer window shows its lines in a list of
// its own instead.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "panel/printer_drum.h"

namespace tallivo {

class PaperRoll : public PrinterDrum {
  public:
    std::vector<std::string> lines;
    std::vector<std::uint8_t> red;  // 1 where the line is red

  protected:
    void lineFed(std::string_view line, bool isRed) override {
        lines.emplace_back(line);
        red.push_back(isRed ? 1 : 0);
    }
};

}  // namespace tallivo
