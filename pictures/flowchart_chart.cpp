#include "pictures/flowchart_chart.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <sstream>

#include "asm/hex_text.h"
#include "asm/lexer.h"

namespace tallivo {

namespace {

using assembler::Listing;
using assembler::SourceLine;
using assembler::Token;
using assembler::TokenKind;

constexpr int kPage3 = 0x300;
constexpr int kPageEnd = 0x400;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// The rest of `comment` after the tag `tag` ("@box"), or nullopt when the
// comment does not start with that tag.
std::optional<std::string> tagArgument(const std::string& comment, std::string_view tag) {
    if (comment.rfind(tag, 0) != 0) return std::nullopt;
    if (comment.size() > tag.size() && comment[tag.size()] != ' ' && comment[tag.size()] != '\t')
        return std::nullopt;
    return trimmed(std::string_view(comment).substr(tag.size()));
}

std::vector<std::string> words(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool hasWord(std::string_view text, std::string_view word) {
    const auto all = words(text);
    return std::find(all.begin(), all.end(), word) != all.end();
}

std::string hex3(int value) {
    return "0x" + assembler::hexDigits(value, 3);
}

using assembler::isWord;

// What a source line is, as the assembler reads it: the labels it defines
// (names followed by ":", or a known name flush left; a name given a value
// with "equ" or "=" is a constant), and whether its statement places data
// (db) or moves the place of what follows (org, align).
struct Statement {
    std::vector<std::string> labels;
    bool data = false;
    bool moves = false;
    std::string comment;  // trimmed
};

Statement lineStatement(const std::string& text,
                        const std::map<std::string, std::int64_t>& symbols) {
    const auto lexed = assembler::lexLine(text);
    const std::vector<Token>& t = lexed.tokens;
    Statement s;
    if (lexed.commentColumn != std::string::npos)
        s.comment = trimmed(std::string_view(text).substr(lexed.commentColumn + 1));
    std::size_t pos = 0;
    s.labels = assembler::lineLabels(t, symbols, pos);
    s.data = isWord(t[pos], "db");
    s.moves = isWord(t[pos], "org") || isWord(t[pos], "align");
    return s;
}

// The names of a table line's entries, from a comment that lists them: the
// words after the last one that ends in ":" ("row 0: CM SQRT ..."), one per
// byte; a word in parentheses names no entry. None when there are more
// words than bytes (the comment says something else).
std::vector<std::string> tableNames(std::string_view comment, std::size_t bytes) {
    std::vector<std::string> all = words(comment);
    for (std::size_t i = all.size(); i-- > 0;)
        if (all[i].size() > 1 && all[i].back() == ':') {
            all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            break;
        }
    if (all.size() > bytes) return {};
    for (std::string& name : all)
        if (name.front() == '(' && name.back() == ')') name.clear();
    return all;
}

struct PendingBox {
    ChartBox box;
    std::vector<std::pair<std::string, std::string>> next;  // label, where the tag stands
    std::string where;
    int file = 0;   // the source file of its tag
    int line = -1;  // the listing line that defines its label
    bool labelled = false;
};

}  // namespace

int Chart::boxAt(int address) const {
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (const ChartStep& step : boxes[i].steps)
            if (step.address == address) return static_cast<int>(i);
    for (std::size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i].start == address) return static_cast<int>(i);
    return -1;
}

bool readChart(const Listing& listing, const std::map<std::string, std::int64_t>& symbols,
               Chart& chart, ChartMessages& messages) {
    chart = Chart{};
    auto where = [&](const SourceLine& line) {
        const std::string& file = listing.files[static_cast<std::size_t>(line.file)];
        const std::string name = std::filesystem::path(file).filename().string();
        return (name.empty() ? std::string("listing") : name) + ":" + std::to_string(line.number);
    };
    auto error = [&](const std::string& at, const std::string& text) {
        messages.errors.push_back(at + ": error: " + text);
    };
    auto warn = [&](const std::string& at, const std::string& text) {
        messages.warnings.push_back(at + ": warning: " + text);
    };

    // Each line read once, as the assembler reads it.
    std::vector<Statement> statements;
    statements.reserve(listing.lines.size());
    for (const SourceLine& line : listing.lines)
        statements.push_back(lineStatement(line.text, symbols));

    // Pass 1: the tags, in reading order.
    std::vector<PendingBox> boxes;
    std::map<int, std::string> entryTags, skipTags;  // address, where the tag stands
    for (std::size_t l = 0; l < listing.lines.size(); ++l) {
        const SourceLine& line = listing.lines[l];
        const std::string& comment = statements[l].comment;
        if (auto title = tagArgument(comment, "@box")) {
            if (!boxes.empty() && !boxes.back().labelled)
                error(boxes.back().where,
                      "@box \"" + boxes.back().box.title + "\" has no label after it");
            if (title->empty()) error(where(line), "@box without a title");
            boxes.push_back({});
            boxes.back().box.title = *title;
            boxes.back().where = where(line);
            boxes.back().file = line.file;
            continue;
        }
        if (auto targets = tagArgument(comment, "@next")) {
            if (boxes.empty()) {
                error(where(line), "@next before any @box");
                continue;
            }
            std::string item;
            std::istringstream list(*targets);
            while (std::getline(list, item, ',')) {
                const std::string name = trimmed(item);
                if (name.empty())
                    error(where(line), "@next with an empty label");
                else
                    boxes.back().next.emplace_back(name, where(line));
            }
            continue;
        }
        if (!line.bytes.empty()) {
            if (hasWord(comment, "@entry")) entryTags[line.address] = where(line);
            if (hasWord(comment, "@skip"))
                skipTags[line.address + static_cast<int>(line.bytes.size()) - 1] = where(line);
        }
        if (!boxes.empty() && !boxes.back().labelled) {
            const auto& labels = statements[l].labels;
            if (!labels.empty()) {
                PendingBox& box = boxes.back();
                box.labelled = true;
                box.line = static_cast<int>(l);
                box.box.label = labels.front();
                const auto symbol = symbols.find(labels.front());
                if (symbol == symbols.end()) {
                    error(where(line), "label '" + labels.front() + "' is not in the symbol table");
                    continue;
                }
                box.box.start = static_cast<int>(symbol->second);
                if (box.box.start < kPage3 || box.box.start >= kPageEnd)
                    error(where(line), "box \"" + box.box.title + "\" starts at " + box.box.label +
                                           " = " + hex3(box.box.start) +
                                           ", outside page 3 (0x300 to 0x3FF)");
            }
        }
    }
    if (!boxes.empty() && !boxes.back().labelled)
        error(boxes.back().where, "@box \"" + boxes.back().box.title + "\" has no label after it");
    if (boxes.empty()) error("listing", "no @box tags: there is nothing to draw");
    for (std::size_t i = 0; i < boxes.size() && messages.errors.empty(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (boxes[i].box.start == boxes[j].box.start)
                error(boxes[i].where, "box \"" + boxes[i].box.title + "\" starts where \"" +
                                          boxes[j].box.title + "\" does, at " +
                                          hex3(boxes[i].box.start));
    if (!messages.errors.empty()) return false;
    for (const PendingBox& pending : boxes) chart.boxes.push_back(pending.box);

    // Pass 2: the bytes of each box, in reading order. A box takes the bytes
    // of the db lines from its label on, until the next box, an org (or
    // align), or the end of its file. The db lines after such an end that no
    // box takes go on the table begun earlier in the same file, if there is
    // one: a table may be written in pieces between other boxes.
    int current = -1;
    int file = -1;
    for (std::size_t l = 0; l < listing.lines.size(); ++l) {
        const SourceLine& line = listing.lines[l];
        if (line.file != file) {
            file = line.file;
            current = -1;
        }
        for (std::size_t b = 0; b < boxes.size(); ++b)
            if (boxes[b].line == static_cast<int>(l)) current = static_cast<int>(b);
        const Statement& statement = statements[l];
        if (statement.moves) current = -1;
        if (!statement.data || line.bytes.empty()) continue;
        int owner = current;
        if (owner < 0)
            for (std::size_t b = 0; b < boxes.size(); ++b)
                if (boxes[b].next.empty() && boxes[b].file == line.file &&
                    boxes[b].line < static_cast<int>(l))
                    owner = static_cast<int>(b);
        std::vector<std::string> names = tableNames(statement.comment, line.bytes.size());
        if (names.empty() && l > 0 && listing.lines[l - 1].file == line.file &&
            trimmed(listing.lines[l - 1].text).rfind(";", 0) == 0)
            names = tableNames(statements[l - 1].comment, line.bytes.size());
        if (owner < 0) {
            // Bytes the window can fetch but no box shows.
            if (line.address >= kPage3 && line.address < kPageEnd)
                warn(where(line),
                     "page-3 bytes " + hex3(line.address) + " to " +
                         hex3(line.address + static_cast<int>(line.bytes.size()) - 1) +
                         " are in no box (no @box since the last org or the start of the file)");
            continue;
        }
        bool newLine = true;
        const bool table = boxes[static_cast<std::size_t>(owner)].next.empty();
        for (std::size_t b = 0; b < line.bytes.size(); ++b) {
            const int address = line.address + static_cast<int>(b);
            if (address < kPage3 || address >= kPageEnd) continue;
            if ((address & 0xFF) == 0) {
                warn(where(line),
                     "0x300 cannot be shown (a pixel of three zero bytes names no address)");
                continue;
            }
            ChartBox& box = chart.boxes[static_cast<std::size_t>(owner)];
            ChartStep step;
            step.address = address;
            step.byte = line.bytes[b];
            if (box.steps.empty()) {
                step.line = 0;
            } else if (!newLine) {
                step.line = box.steps.back().line;
                step.column = box.steps.back().column + 1;
            } else {
                // A table's line that starts within the row begun above, as
                // wide as its widest row, goes on in that row at its own
                // place: a row written in pieces around bytes of other boxes
                // keeps its columns, with holes where those bytes are.
                const ChartStep& last = box.steps.back();
                const int rowStart = last.address - last.column;
                int widest = 0;
                for (const ChartStep& s : box.steps) widest = std::max(widest, s.column + 1);
                if (table && address > last.address && address < rowStart + widest) {
                    step.line = last.line;
                    step.column = address - rowStart;
                } else {
                    step.line = last.line + 1;
                }
            }
            newLine = false;
            if (b < names.size()) step.name = names[b];
            box.steps.push_back(step);
        }
    }

    // The arrows.
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        ChartBox& box = chart.boxes[i];
        for (const auto& [name, at] : boxes[i].next) {
            const auto symbol = symbols.find(name);
            if (symbol == symbols.end()) {
                error(at, "@next names '" + name + "', which is no label");
                continue;
            }
            const int target = chart.boxAt(static_cast<int>(symbol->second));
            if (target < 0) {
                error(at, "@next names '" + name + "' at " +
                              hex3(static_cast<int>(symbol->second)) + ", which lies in no box");
                continue;
            }
            if (std::find(box.next.begin(), box.next.end(), target) == box.next.end())
                box.next.push_back(target);
        }
        box.table = box.next.empty();
        if (box.steps.empty())
            warn(boxes[i].where, "box \"" + box.title + "\" holds no bytes and can never light");
    }
    if (!messages.errors.empty()) return false;

    // The marks.
    auto stepAt = [&](int address) -> ChartStep* {
        for (ChartBox& box : chart.boxes)
            for (ChartStep& step : box.steps)
                if (step.address == address) return &step;
        return nullptr;
    };
    auto isEntryCode = [](std::uint8_t byte) {
        return std::find(kEntryCodes.begin(), kEntryCodes.end(), byte) != kEntryCodes.end();
    };
    if (!chart.boxes[0].steps.empty()) chart.boxes[0].steps.front().entry = true;
    bool dispatches = false;
    for (const ChartBox& box : chart.boxes) {
        for (std::size_t s = 0; s < box.steps.size(); ++s) {
            if (!isEntryCode(box.steps[s].byte)) continue;
            if (!box.table && s + 1 == box.steps.size()) {
                dispatches = true;
            } else if (ChartStep* after = stepAt(box.steps[s].address + 1)) {
                after->entry = true;
            }
        }
    }
    if (dispatches) {
        for (ChartBox& box : chart.boxes)
            if (box.table)
                for (ChartStep& step : box.steps) step.entry = true;
    }
    for (const auto& [address, at] : entryTags) {
        if (ChartStep* step = stepAt(address))
            step->entry = true;
        else
            warn(at, "@entry on a byte that lies in no box");
    }
    for (const auto& [address, at] : skipTags) {
        if (ChartStep* step = stepAt(address))
            step->skip = true;
        else
            warn(at, "@skip on a byte that lies in no box");
    }

    // A quiet address: the lowest one that no step lights.
    std::array<bool, 256> used{};
    for (const ChartBox& box : chart.boxes)
        for (const ChartStep& step : box.steps)
            used[static_cast<std::size_t>(step.address & 0xFF)] = true;
    for (int a = 1; a < 256 && chart.quietAddress == 0; ++a)
        if (!used[static_cast<std::size_t>(a)]) chart.quietAddress = a;
    if (chart.quietAddress == 0) {
        error("listing", "every page-3 address lies in a box: none is left to draw the lines with");
        return false;
    }
    return true;
}

}  // namespace tallivo
