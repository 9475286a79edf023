#pragma once
// The flowchart of the firmware's page-3 program, read from the assembler's
// listing and symbol table of the firmware. The flowchart window lights a
// page-3 byte when the CPU fetches it as data right after the FIN at 0x300 or
// 0x302, which is how the interpreter fetches each operation and operand byte
// of the program (and the key-table entry of each key): so a box of the chart
// is a run of those bytes, and each byte is a step that lights on its own.
//
// The chart comes from tags in the comments of the source:
//
//   ; @box TITLE          on a comment line before a label: a box titled
//                         TITLE starts at that label.
//   ; @next LABEL, ...    after a @box (before the next one): arrows from
//                         that box to the boxes that hold those labels (a
//                         label inside a box belongs to that box).
//   @entry                in the comment of a line that places bytes: its
//                         first byte carries an entry mark.
//   @skip                 in the comment of a line that places bytes: its
//                         last byte carries a skip mark.
//
// A box holds the bytes of the db lines from its label on, up to the next
// box, the next org (or align), or the end of its source file: the program's
// operations and operands, and table entries, are data that the FINs fetch;
// the 4004 instructions that may share page 3 with them are code, which the
// window never records. A box without @next is a table, data that the program
// reads (the key table): it is drawn as a grid with a row of cells per source
// line. A table may be written in pieces between other boxes: db lines after
// an org that no @box follows go on the table begun earlier in the same file.
// Each entry is named by the next word of its line's comment (or, when the
// line has none, of the comment line just above it), counting from after a
// word that ends in ":" ("; row 0: CM SQRT <> ..."), when there are no more
// words than bytes; a word in parentheses names nothing. Page-3 db bytes that
// no box takes are reported in a warning.
//
// Entry and skip marks stand where the window can light them. The view
// counts a recording as an entry when the byte recorded before it was 0xEF,
// 0xF1 or 0xF3, and the first recording after reset too; as a skip (of the
// earlier byte) when it lies two above the one before. So, besides the tags:
// the first byte of the first box (where the program starts) is entered at
// power-on; an operation that ends its box with one of those bytes and leaves
// by the arrows, as KEY does through the key table, enters the entries of the
// tables; any other such byte enters the byte after it.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "asm/listing_reader.h"

namespace tallivo {

// The bytes after whose recording the view counts the next one as an entry.
inline constexpr std::array<std::uint8_t, 3> kEntryCodes = {0xEF, 0xF1, 0xF3};

struct ChartStep {
    int address = 0;        // 0x301 to 0x3FF (0x300 cannot be coded in a picture)
    std::uint8_t byte = 0;  // what the listing places there
    int line = 0;           // its source line, counted within the box from 0 (a table's row)
    int column = 0;         // its place in that line (a table's cell)
    std::string name;       // a table entry's name; empty when it has none
    bool entry = false;     // carries an entry mark
    bool skip = false;      // carries a skip mark
};

struct ChartBox {
    std::string title;
    std::string label;
    int start = 0;  // the label's address
    std::vector<ChartStep> steps;
    std::vector<int> next;  // indices of the boxes the arrows go to, in tag order
    bool table = false;     // no arrows leave it

    int lineCount() const { return steps.empty() ? 0 : steps.back().line + 1; }
};

struct Chart {
    std::vector<ChartBox> boxes;  // in source order; boxes[0] is where the program starts
    // A low page-3 address that no step has: the view never records it, so
    // pixels coded with it keep one colour (lines, captions).
    int quietAddress = 0;

    // The box with a step at `address`, else the box whose label is there, or -1.
    int boxAt(int address) const;
};

struct ChartMessages {
    std::vector<std::string> errors;    // the chart cannot be drawn
    std::vector<std::string> warnings;  // it can, but something is lost
};

// Reads the chart from a listing and its symbol table. Each message names the
// file and line that caused it. Returns false when there are errors.
bool readChart(const assembler::Listing& listing,
               const std::map<std::string, std::int64_t>& symbols, Chart& chart,
               ChartMessages& messages);

}  // namespace tallivo
