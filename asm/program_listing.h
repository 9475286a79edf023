#pragma once
// What a program's listing and symbol table say about each program address:
// the source line that placed the byte there and the labels defined at it.
// The inspector reads them from beside the code file to name the lines of its
// disassembly and the instruction at the program counter.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tallivo::assembler {

class ProgramListing {
  public:
    static constexpr int kAddresses = 4096;

    struct Line {
        std::string file;  // the source file's name without its folder
        int number = 0;
        std::string text;
        int address = -1;  // of its first byte
        int byteCount = 0;
        bool data = false;  // a db line: bytes, not instructions
    };

    // Reads the listing and the symbol table. False, with the reason and the
    // file in `error`, when either cannot be read or is not in its form;
    // the object is empty then.
    bool load(const std::string& listingPath, const std::string& symbolsPath, std::string& error);
    // The same from the two files' texts.
    bool read(std::string_view listingText, std::string_view symbolsText, std::string& error);
    bool empty() const { return lines_.empty(); }

    // The lines that place bytes, in address order.
    const std::vector<Line>& lines() const { return lines_; }
    // The line that placed the byte at `address`, or nullptr.
    const Line* lineAt(int address) const;
    // The labels defined at `address` (empty when none).
    const std::vector<std::string>& labelsAt(int address) const;
    // The nearest label at or before `address` in the same page, and how far
    // past it the address is: "adds", "adds+3"; empty when there is none.
    std::string placeOf(int address) const;
    // A symbol's value, when the symbol table has it.
    bool symbol(const std::string& name, std::int64_t& value) const;

  private:
    std::vector<Line> lines_;
    std::array<int, kAddresses> lineIndex_{};  // index into lines_ + 1; 0: none
    std::map<int, std::vector<std::string>> labels_;
    std::map<std::string, std::int64_t> symbols_;
};

}  // namespace tallivo::assembler
