#include "tools/flowchart_chart.h"

#include <algorithm>
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

std::string hex3(int value) { return "0x" + assembler::hexDigits(value, 3); }

// The labels that a source line defines, as the assembler reads them: names
// followed by ":", or a known name flush left; a name given a value with
// "equ" or "=" is a constant, not a label.
std::vector<std::string> labelsOf(const std::string& text,
                                  const std::map<std::string, std::int64_t>& symbols) {
    const auto lexed = assembler::lexLine(text);
    const std::vector<Token>& t = lexed.tokens;
    auto isEqu = [&](std::size_t i) {
        return i < t.size() && (assembler::isPunct(t[i], "=") ||
                                (t[i].kind == TokenKind::Identifier && (t[i].text == "equ" || t[i].text == "EQU")));
    };
    std::vector<std::string> labels;
    std::size_t pos = 0;
    while (t[pos].kind == TokenKind::Identifier && assembler::isPunct(t[pos + 1], ":")) {
        labels.push_back(t[pos].text);
        pos += 2;
    }
    if (pos == 0 && t[0].kind == TokenKind::Identifier && t[0].column == 0 && !isEqu(1) &&
        symbols.count(t[0].text) != 0) {
        labels.push_back(t[0].text);
        pos = 1;
    }
    if (!labels.empty() && isEqu(pos)) labels.pop_back();
    return labels;
}

struct PendingBox {
    ChartBox box;
    std::vector<std::pair<std::string, std::string>> next;  // label, where the tag stands
    std::string where;
    bool labelled = false;
};

}  // namespace

int Chart::boxAt(int address) const {
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const ChartBox& box = boxes[i];
        const int end = i + 1 < boxes.size() ? boxes[i + 1].start : kPageEnd;
        if (address >= box.start && address < end) return static_cast<int>(i);
    }
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

    // Pass 1: the tags, in reading order.
    std::vector<PendingBox> boxes;
    std::map<int, std::string> entryTags, skipTags;  // address, where the tag stands
    for (const SourceLine& line : listing.lines) {
        const std::string comment = trimmed(assembler::commentOf(line.text));
        if (auto title = tagArgument(comment, "@box")) {
            if (!boxes.empty() && !boxes.back().labelled)
                error(boxes.back().where, "@box \"" + boxes.back().box.title + "\" has no label after it");
            if (title->empty()) error(where(line), "@box without a title");
            boxes.push_back({});
            boxes.back().box.title = *title;
            boxes.back().where = where(line);
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
                if (name.empty()) error(where(line), "@next with an empty label");
                else boxes.back().next.emplace_back(name, where(line));
            }
            continue;
        }
        if (!line.bytes.empty()) {
            if (hasWord(comment, "@entry")) entryTags[line.address] = where(line);
            if (hasWord(comment, "@skip"))
                skipTags[line.address + static_cast<int>(line.bytes.size()) - 1] = where(line);
        }
        if (!boxes.empty() && !boxes.back().labelled) {
            const auto labels = labelsOf(line.text, symbols);
            if (!labels.empty()) {
                PendingBox& box = boxes.back();
                box.labelled = true;
                box.box.label = labels.front();
                const auto symbol = symbols.find(labels.front());
                if (symbol == symbols.end()) {
                    error(where(line), "label '" + labels.front() + "' is not in the symbol table");
                    continue;
                }
                box.box.start = static_cast<int>(symbol->second);
                if (box.box.start < kPage3 || box.box.start >= kPageEnd)
                    error(where(line), "box \"" + box.box.title + "\" starts at " + box.box.label + " = " +
                                           hex3(box.box.start) + ", outside page 3 (0x300 to 0x3FF)");
            }
        }
    }
    if (!boxes.empty() && !boxes.back().labelled)
        error(boxes.back().where, "@box \"" + boxes.back().box.title + "\" has no label after it");
    if (boxes.empty()) error("listing", "no @box tags: there is nothing to draw");
    if (!messages.errors.empty()) return false;

    std::stable_sort(boxes.begin(), boxes.end(),
                     [](const PendingBox& a, const PendingBox& b) { return a.box.start < b.box.start; });
    for (std::size_t i = 1; i < boxes.size(); ++i) {
        if (boxes[i].box.start == boxes[i - 1].box.start)
            error(boxes[i].where, "box \"" + boxes[i].box.title + "\" starts where \"" +
                                      boxes[i - 1].box.title + "\" does, at " + hex3(boxes[i].box.start));
    }
    if (!messages.errors.empty()) return false;
    for (const PendingBox& pending : boxes) chart.boxes.push_back(pending.box);

    // Pass 2: the bytes of each box, line by line.
    std::vector<int> lastLine(chart.boxes.size(), -1);
    for (std::size_t l = 0; l < listing.lines.size(); ++l) {
        const SourceLine& line = listing.lines[l];
        const auto names = words(assembler::commentOf(line.text));
        for (std::size_t b = 0; b < line.bytes.size(); ++b) {
            const int address = line.address + static_cast<int>(b);
            const int index = chart.boxAt(address);
            if (index < 0) continue;
            ChartBox& box = chart.boxes[static_cast<std::size_t>(index)];
            if ((address & 0xFF) == 0) {
                messages.warnings.push_back(where(line) + ": warning: 0x300 cannot be shown (a pixel of three zero "
                                                          "bytes names no address)");
                continue;
            }
            // A new source line in this box starts a new column of a table.
            const bool newLine = lastLine[static_cast<std::size_t>(index)] != static_cast<int>(l);
            lastLine[static_cast<std::size_t>(index)] = static_cast<int>(l);
            ChartStep step;
            step.address = address;
            step.byte = line.bytes[b];
            step.line = box.steps.empty() ? 0 : box.steps.back().line + (newLine ? 1 : 0);
            if (names.size() <= line.bytes.size() && b < names.size()) step.name = names[b];
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
                error(at, "@next names '" + name + "' at " + hex3(static_cast<int>(symbol->second)) +
                              ", which lies in no box");
                continue;
            }
            if (std::find(box.next.begin(), box.next.end(), target) == box.next.end())
                box.next.push_back(target);
        }
        box.table = box.next.empty();
        if (box.steps.empty())
            messages.warnings.push_back(boxes[i].where + ": warning: box \"" + box.title +
                                        "\" holds no bytes and can never light");
    }
    if (!messages.errors.empty()) return false;

    // The marks.
    auto stepAt = [&](int address) -> ChartStep* {
        const int index = chart.boxAt(address);
        if (index < 0) return nullptr;
        for (ChartStep& step : chart.boxes[static_cast<std::size_t>(index)].steps)
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
        if (ChartStep* step = stepAt(address)) step->entry = true;
        else messages.warnings.push_back(at + ": warning: @entry on a byte that lies in no box");
    }
    for (const auto& [address, at] : skipTags) {
        if (ChartStep* step = stepAt(address)) step->skip = true;
        else messages.warnings.push_back(at + ": warning: @skip on a byte that lies in no box");
    }

    // A quiet address: the lowest one that no step lights.
    std::array<bool, 256> used{};
    for (const ChartBox& box : chart.boxes)
        for (const ChartStep& step : box.steps) used[static_cast<std::size_t>(step.address & 0xFF)] = true;
    for (int a = 1; a < 256 && chart.quietAddress == 0; ++a)
        if (!used[static_cast<std::size_t>(a)]) chart.quietAddress = a;
    if (chart.quietAddress == 0) {
        error("listing", "every page-3 address lies in a box: none is left to draw the lines with");
        return false;
    }
    return true;
}

}  // namespace tallivo
