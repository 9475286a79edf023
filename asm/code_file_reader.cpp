#include "asm/code_file_reader.h"

#include <array>
#include <cstdint>
#include <sstream>
#include <string>

#include "asm/hex_text.h"
#include "chips/code_file.h"

namespace tallivo::assembler {

namespace {

// Past this many, repeated warnings are summed up in one line.
constexpr int kMaxWarningsOfAKind = 20;

class Reader {
  public:
    explicit Reader(const std::string& fileName) : fileName_(fileName) { lineOf_.fill(0); }

    CodeFileContents run(std::string_view text) {
        // The ROMs' own loader reads the text, so both see the same bytes.
        std::istringstream in{std::string(text)};
        scanCodeStream(in, [this](std::int32_t address, std::uint8_t value, int line) {
            byte(address, value, line);
        });
        summarise(outside_, "more bytes outside the ROMs were left out");
        summarise(repeated_, "more addresses were given again");
        return std::move(result_);
    }

  private:
    void warn(int line, std::string message) {
        result_.diagnostics.push_back({Severity::Warning, fileName_, line, std::move(message)});
    }

    void summarise(int count, const char* what) {
        if (count > kMaxWarningsOfAKind)
            warn(0, std::to_string(count - kMaxWarningsOfAKind) + " " + what);
    }

    void byte(std::int32_t address, std::uint8_t value, int line) {
        address_ = address;
        line_ = line;
        if (address_ >= 0 && address_ < kRomEnd) {
            const auto index = static_cast<std::size_t>(address_);
            if (result_.image.has(address_) && ++repeated_ <= kMaxWarningsOfAKind) {
                warn(line_, "address 0x" + hexDigits(address_, 3) + " was given before, at line " +
                                std::to_string(lineOf_[index]) + "; the later byte counts");
            }
            result_.image.set(address_, value);
            lineOf_[index] = line_;
        } else if (++outside_ <= kMaxWarningsOfAKind) {
            const std::string where =
                address_ < 0 ? std::to_string(address_) : "0x" + hexDigits(address_, 3);
            warn(line_, "byte at address " + where +
                            " is outside the ROMs (0x000 to 0x4FF) and is left out");
        }
    }

    const std::string& fileName_;
    CodeFileContents result_;
    std::array<int, kRomEnd> lineOf_{};
    std::int32_t address_ = 0;  // of the byte being looked at
    int line_ = 1;
    int outside_ = 0;
    int repeated_ = 0;
};

}  // namespace

CodeFileContents readCodeFile(std::string_view text, const std::string& fileName) {
    return Reader(fileName).run(text);
}

}  // namespace tallivo::assembler
