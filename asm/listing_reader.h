#pragma once
// Reads back what an assembly wrote beside its code file: the listing and the
// symbol table (see output_files.h), so that tools such as the flowchart
// picture generator work from the build's outputs rather than assembling the
// source again.
//
// A listing row is "AAA  BB BB BB BB  NNNNN  text": the address of the row's
// first byte (blank when the line places none), up to four bytes, the line
// number right-aligned in five columns and the source text. A line of more
// than four bytes goes on in rows of address and bytes only. "; file PATH"
// rows stand between the lines of different files.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "asm/assembler.h"
#include "asm/lexer.h"

namespace tallivo::assembler {

struct Listing {
    // The files named by "; file" rows, in order of first appearance; [0] is
    // the one the listing starts in, whose name the listing does not give.
    std::vector<std::string> files;
    std::vector<SourceLine> lines;
};

// Parses a listing. Returns false and says why (with the listing's row
// number) in `error` when a row is not in the form above.
bool readListing(std::string_view text, Listing& listing, std::string& error);

// Parses "NAME 0xVALUE" lines (a negative value as "-0x..."). Returns false and
// says why in `error` when a line is not in that form.
bool readSymbols(std::string_view text, std::map<std::string, std::int64_t>& symbols,
                 std::string& error);

// True when `token` is the word `word` (lower case) in any case.
bool isWord(const Token& token, std::string_view word);

// The labels a lexed source line defines, as the assembler reads it: names
// followed by ":", or a name of the symbol table flush left; a name given a
// value with "equ" or "=" is a constant, not a label. `next` gets the index
// of the first token after them.
std::vector<std::string> lineLabels(const std::vector<Token>& tokens,
                                    const std::map<std::string, std::int64_t>& symbols,
                                    std::size_t& next);

}  // namespace tallivo::assembler
