#pragma once
// Reads a code file the way the ROMs load it, keeping track of which
// addresses it actually gives, and noting what the loader passes over
// silently: bytes outside the five ROMs and bytes given twice.
#include <string>
#include <string_view>
#include <vector>

#include "asm/diagnostic.h"
#include "asm/rom_image.h"

namespace tallivo::assembler {

struct CodeFileContents {
    RomImage image;
    std::vector<Diagnostic> diagnostics;  // warnings only: the loader accepts every text
};

CodeFileContents readCodeFile(std::string_view text, const std::string& fileName);

}  // namespace tallivo::assembler
