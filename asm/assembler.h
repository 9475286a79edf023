#pragma once
// A two-pass assembler for 4004 source in Intel's mnemonics.
//
// One statement a line: optional labels ("name:", or a name in the first
// column that is no mnemonic or directive), then a mnemonic or a directive and
// its operands, separated by commas or blanks; ";" starts a comment.
// Mnemonics, directives, register names and JCN condition letters may be in
// either case; labels are case-sensitive and may not look like a register
// name (R0, P3, ...).
//
// Operands: registers R0-R15 or a number; register pairs P0-P7, 0P-7P, or the
// even register number (R0, R2, ... or 0, 2, ... 14); JCN conditions 0-15 or
// letters (T: TEST is 0, C: carry is 1, Z: accumulator is 0, a leading N
// inverts); values as expressions (see expression.h). Addresses of JUN, JMS,
// JCN and ISZ are full 12-bit addresses; JCN and ISZ keep only the low eight
// bits, so their target must lie on the page of the word after the
// instruction. In the condition position letters win over a label of the
// same name.
//
// Directives: org ADDRESS, db VALUE[, VALUE...], NAME equ VALUE (or
// NAME = VALUE), align page, include "file" (relative to the including file).
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "asm/diagnostic.h"
#include "asm/rom_image.h"

namespace tallivo::assembler {

// Returns the text of the file at `path`, or nullopt when it can't be read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// Reads files from the file system.
FileReader fileSystemReader();

enum class SymbolKind { Label, Constant };

struct Symbol {
    std::string name;
    std::int64_t value = 0;
    SymbolKind kind = SymbolKind::Label;
};

// One line of source as read, with what it placed in memory.
struct SourceLine {
    int file = 0;  // index into Assembly::files
    int number = 0;
    std::string text;
    int address = -1;  // address of its first byte; -1 when it places none
    std::vector<std::uint8_t> bytes;
};

struct Assembly {
    std::vector<std::string> files;  // [0] is the main source, then includes
    std::vector<SourceLine> lines;   // in reading order, includes where they stand
    std::vector<Symbol> symbols;     // sorted by name
    std::vector<Diagnostic> diagnostics;
    RomImage image;

    bool ok() const { return !hasErrors(diagnostics); }
};

// Assembles `source`, which is read from `fileName` (used in messages and to
// find included files, which come through `readFile`).
Assembly assemble(std::string_view source, const std::string& fileName, const FileReader& readFile);

}  // namespace tallivo::assembler
