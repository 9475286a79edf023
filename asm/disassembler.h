#pragma once
// Turns a ROM image back into source that assembles to the same bytes at the
// same addresses: an org at every gap, a label at every jump target that
// starts an instruction, and "db" for the words that name no instruction or
// for a two-word instruction whose second word is missing.
#include <string>

#include "asm/rom_image.h"

namespace tallivo::assembler {

// `title` names the origin of the image in the first comment line.
std::string disassemble(const RomImage& image, const std::string& title);

}  // namespace tallivo::assembler
