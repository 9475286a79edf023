#pragma once
// The three files an assembly produces: the code file that the ROMs load, the
// listing and the symbol table.
#include <string>

#include "asm/assembler.h"

namespace tallivo::assembler {

// One byte a line in address order, an "@" line at the start and at every gap,
// and after each byte a "/" comment with its address, its source line and the
// labels at that address. Every line stays well below the 255 characters at
// which the loader would cut it into pieces.
std::string formatCodeFile(const Assembly& assembly);

// Address, bytes, line number and text of every source line.
std::string formatListing(const Assembly& assembly);

// "name value" a line, sorted by name, values in hex.
std::string formatSymbols(const Assembly& assembly);

}  // namespace tallivo::assembler
