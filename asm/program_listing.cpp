#include "asm/program_listing.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "asm/lexer.h"
#include "asm/listing_reader.h"

namespace tallivo::assembler {

namespace {

// A listing of five 256-byte ROMs is a few hundred kilobytes; anything far
// larger is not a listing of this machine's program.
constexpr std::uintmax_t kLargestFile = 16u << 20;

bool readFile(const std::string& path, std::string& text, std::string& error) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "cannot read '" + path + "'";
        return false;
    }
    if (size > kLargestFile) {
        error = "'" + path + "' is too large to be a listing";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in && !in.eof()) {
        error = "cannot read '" + path + "'";
        return false;
    }
    text = content.str();
    return true;
}

std::string baseName(const std::string& path) {
    return path.empty() ? std::string() : std::filesystem::path(path).filename().string();
}

}  // namespace

bool ProgramListing::load(const std::string& listingPath, const std::string& symbolsPath,
                          std::string& error) {
    *this = ProgramListing{};
    std::string listingText, symbolsText, why;
    if (!readFile(listingPath, listingText, error) || !readFile(symbolsPath, symbolsText, error))
        return false;
    if (read(listingText, symbolsText, why)) return true;
    error = "'" + (why.rfind("listing", 0) == 0 ? listingPath : symbolsPath) + "': " + why;
    return false;
}

bool ProgramListing::read(std::string_view listingText, std::string_view symbolsText,
                          std::string& error) {
    *this = ProgramListing{};
    Listing listing;
    if (!readListing(listingText, listing, error)) return false;
    if (!readSymbols(symbolsText, symbols_, error)) {
        error = "symbol table: " + error;
        symbols_.clear();
        return false;
    }
    for (const SourceLine& source : listing.lines) {
        std::size_t next = 0;
        const LexedLine lexed = lexLine(source.text);
        // A label on a line of its own names the address of the next byte.
        for (std::string& name : lineLabels(lexed.tokens, symbols_, next)) {
            const auto value = symbols_.find(name);
            if (value != symbols_.end() && value->second >= 0 && value->second < kAddresses)
                labels_[static_cast<int>(value->second)].push_back(std::move(name));
        }
        if (source.address < 0 || source.bytes.empty()) continue;
        Line line;
        const auto file = static_cast<std::size_t>(source.file);
        line.file = file < listing.files.size() ? baseName(listing.files[file]) : std::string();
        line.number = source.number;
        line.text = source.text;
        line.address = source.address;
        line.byteCount = static_cast<int>(source.bytes.size());
        line.data = next < lexed.tokens.size() && isWord(lexed.tokens[next], "db");
        lines_.push_back(std::move(line));
    }
    std::stable_sort(lines_.begin(), lines_.end(),
                     [](const Line& a, const Line& b) { return a.address < b.address; });
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        for (int b = 0; b < line.byteCount; ++b) {
            const int address = line.address + b;
            if (address >= kAddresses) break;
            lineIndex_[static_cast<std::size_t>(address)] = static_cast<int>(i) + 1;
        }
    }
    return true;
}

const ProgramListing::Line* ProgramListing::lineAt(int address) const {
    if (address < 0 || address >= kAddresses) return nullptr;
    const int index = lineIndex_[static_cast<std::size_t>(address)];
    return index == 0 ? nullptr : &lines_[static_cast<std::size_t>(index - 1)];
}

const std::vector<std::string>& ProgramListing::labelsAt(int address) const {
    static const std::vector<std::string> none;
    const auto found = labels_.find(address);
    return found == labels_.end() ? none : found->second;
}

std::string ProgramListing::placeOf(int address) const {
    auto after = labels_.upper_bound(address);
    if (after == labels_.begin()) return {};
    const auto at = std::prev(after);
    // A label of another page is no help to a reader of this one.
    if ((at->first >> 8) != (address >> 8) || at->second.empty()) return {};
    const int offset = address - at->first;
    return offset == 0 ? at->second.front() : at->second.front() + "+" + std::to_string(offset);
}

bool ProgramListing::symbol(const std::string& name, std::int64_t& value) const {
    const auto found = symbols_.find(name);
    if (found == symbols_.end()) return false;
    value = found->second;
    return true;
}

}  // namespace tallivo::assembler
