#include "asm/output_files.h"

#include <array>
#include <filesystem>
#include <map>

#include "asm/hex_text.h"

namespace tallivo::assembler {

namespace {

// The loader takes a physical line in pieces of 255 characters; a piece that
// happened to start with a hex digit would load as an extra byte. Comments
// are cut well before that.
constexpr std::size_t kMaxCodeLine = 200;

std::string shortName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string hexValue(std::int64_t value) {
    return value < 0 ? "-0x" + hexDigits(value, 3).substr(1) : "0x" + hexDigits(value, 3);
}

}  // namespace

std::string formatCodeFile(const Assembly& assembly) {
    std::array<int, kRomEnd> lineOf{};
    lineOf.fill(-1);
    for (std::size_t i = 0; i < assembly.lines.size(); ++i) {
        const SourceLine& line = assembly.lines[i];
        for (std::size_t b = 0; b < line.bytes.size(); ++b) {
            const std::size_t address = static_cast<std::size_t>(line.address) + b;
            if (address < lineOf.size()) lineOf[address] = static_cast<int>(i);
        }
    }
    std::multimap<std::int64_t, const std::string*> labels;
    for (const Symbol& symbol : assembly.symbols) {
        if (symbol.kind == SymbolKind::Label) labels.emplace(symbol.value, &symbol.name);
    }

    std::string out =
        "/ assembled from " + shortName(assembly.files.empty() ? "" : assembly.files[0]);
    out.resize(std::min(out.size(), kMaxCodeLine));
    out += '\n';
    int next = -1;  // the address the loader will store the next byte at
    for (int address = 0; address < kRomEnd; ++address) {
        if (!assembly.image.has(address)) continue;
        if (address != next) out += "@" + hexDigits(address, 3) + "\n";
        next = address + 1;
        std::string text = hexDigits(assembly.image.at(address), 2) + " / " + hexDigits(address, 3);
        const int lineIndex = lineOf[static_cast<std::size_t>(address)];
        if (lineIndex >= 0) {
            const SourceLine& line = assembly.lines[static_cast<std::size_t>(lineIndex)];
            text += " ";
            if (line.file != 0)
                text += shortName(assembly.files[static_cast<std::size_t>(line.file)]) + " ";
            text += "line " + std::to_string(line.number);
        }
        const auto [first, last] = labels.equal_range(address);
        for (auto it = first; it != last; ++it) text += " " + *it->second;
        text.resize(std::min(text.size(), kMaxCodeLine));
        out += text + "\n";
    }
    return out;
}

std::string formatListing(const Assembly& assembly) {
    constexpr std::size_t kBytesPerRow = 4;
    std::string out;
    int file = 0;
    for (const SourceLine& line : assembly.lines) {
        if (line.file != file) {
            file = line.file;
            out += "; file " + assembly.files[static_cast<std::size_t>(file)] + "\n";
        }
        std::size_t shown = 0;
        do {
            std::string row;
            if (line.address >= 0) {
                row = hexDigits(line.address + static_cast<int>(shown), 3) + "  ";
            } else {
                row = "     ";
            }
            std::string bytes;
            for (std::size_t b = shown; b < line.bytes.size() && b < shown + kBytesPerRow; ++b) {
                bytes += hexDigits(line.bytes[b], 2) + " ";
            }
            bytes.resize(3 * kBytesPerRow, ' ');
            row += bytes;
            if (shown == 0) {
                std::string number = std::to_string(line.number);
                row += std::string(number.size() < 5 ? 5 - number.size() : 0, ' ') + number + "  " +
                       line.text;
            }
            while (!row.empty() && row.back() == ' ') row.pop_back();
            out += row + "\n";
            shown += kBytesPerRow;
        } while (shown < line.bytes.size());
    }
    return out;
}

std::string formatSymbols(const Assembly& assembly) {
    std::string out;
    for (const Symbol& symbol : assembly.symbols)
        out += symbol.name + " " + hexValue(symbol.value) + "\n";
    return out;
}

}  // namespace tallivo::assembler
