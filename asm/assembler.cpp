#include "asm/assembler.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "asm/expression.h"
#include "asm/hex_text.h"
#include "asm/lexer.h"
#include "asm/mnemonics.h"

namespace tallivo::assembler {

namespace {

enum class Directive { None, Org, Db, Align, Include, Equ };

Directive findDirective(std::string_view name) {
    if (equalsIgnoringCase(name, "org")) return Directive::Org;
    if (equalsIgnoringCase(name, "db")) return Directive::Db;
    if (equalsIgnoringCase(name, "align")) return Directive::Align;
    if (equalsIgnoringCase(name, "include")) return Directive::Include;
    if (equalsIgnoringCase(name, "equ")) return Directive::Equ;
    return Directive::None;
}

// A name of the form R<digits> or P<digits> (either case): a register or a
// register pair, or a number too large to be one. -1 when it's neither.
int registerNumber(std::string_view name, char letter) {
    if (name.size() < 2 || std::toupper(static_cast<unsigned char>(name[0])) != letter) return -1;
    int value = 0;
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
        value = std::min(value * 10 + (name[i] - '0'), 1000);
    }
    return value;
}

bool isRegisterName(std::string_view name) {
    return registerNumber(name, 'R') >= 0 || registerNumber(name, 'P') >= 0;
}

// Errors past this many are noise (a binary file fed in by mistake, say).
constexpr int kMaxErrors = 100;
constexpr int kMaxIncludeDepth = 16;

struct Operand {
    enum class Kind { Expression, Register, Pair };
    Kind kind = Kind::Expression;
    Expression expression;
    int number = 0;    // Register: n; Pair: p
    std::string text;  // as written, for messages
};

struct Statement {
    int line = 0;  // index into Assembly::lines
    const isa::Instruction* mnemonic = nullptr;
    std::vector<Operand> operands;
    int address = 0;
    bool placeable = false;  // pass 1 found room for it
};

struct SymbolEntry {
    std::optional<std::int64_t> value;
    SymbolKind kind = SymbolKind::Label;
    int line = 0;                       // where it was defined
    std::optional<Expression> pending;  // a constant waiting for later names
    std::int64_t here = 0;              // the address at its definition
};

std::string hex3(std::int64_t value) {
    return "0x" + hexDigits(value, 3);
}

std::string plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

class Assembler {
  public:
    explicit Assembler(const FileReader& reader) : reader_(reader) { owner_.fill(-1); }

    Assembly run(std::string_view source, const std::string& fileName) {
        result_.files.push_back(fileName);
        includeStack_.push_back(normalPath(fileName));
        readSource(source, 0, 0);
        resolveConstants();
        for (Statement& statement : statements_) {
            if (stopped_) break;
            encode(statement);
        }
        for (const auto& [name, entry] : symbols_) {
            if (entry.value) result_.symbols.push_back({name, *entry.value, entry.kind});
        }
        return std::move(result_);
    }

  private:
    // ---- messages ----

    void report(Severity severity, int line, std::string message) {
        if (stopped_) return;
        const SourceLine& source = result_.lines[static_cast<std::size_t>(line)];
        result_.diagnostics.push_back({severity,
                                       result_.files[static_cast<std::size_t>(source.file)],
                                       source.number, std::move(message)});
        if (severity == Severity::Error && ++errorCount_ >= kMaxErrors) {
            result_.diagnostics.push_back({Severity::Error, result_.diagnostics.back().file,
                                           source.number, "too many errors; giving up"});
            stopped_ = true;
        }
    }
    void error(int line, std::string message) { report(Severity::Error, line, std::move(message)); }

    std::string where(int line) const {
        const SourceLine& source = result_.lines[static_cast<std::size_t>(line)];
        return result_.files[static_cast<std::size_t>(source.file)] + ":" +
               std::to_string(source.number);
    }

    // ---- pass 1: reading, labels, addresses ----

    static std::string normalPath(const std::string& path) {
        return std::filesystem::path(path).lexically_normal().generic_string();
    }

    void readSource(std::string_view text, int file, int depth) {
        std::size_t start = 0;
        int number = 0;
        while (start < text.size() && !stopped_) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            start = end + 1;
            result_.lines.push_back({file, ++number, std::string(line), -1, {}});
            readLine(static_cast<int>(result_.lines.size()) - 1, depth);
        }
    }

    void readLine(int line, int depth) {
        const LexedLine lexed = lexLine(result_.lines[static_cast<std::size_t>(line)].text);
        if (!lexed.error.empty()) {
            error(line, lexed.error);
            return;
        }
        const std::vector<Token>& t = lexed.tokens;
        auto isEqu = [&](std::size_t i) {
            return isPunct(t[i], "=") ||
                   (t[i].kind == TokenKind::Identifier && equalsIgnoringCase(t[i].text, "equ"));
        };
        auto isOperation = [](const std::string& name) {
            return findMnemonic(name) != nullptr || findDirective(name) != Directive::None;
        };

        std::size_t pos = 0;
        std::vector<std::string> labels;
        while (t[pos].kind == TokenKind::Identifier && isPunct(t[pos + 1], ":")) {
            labels.push_back(t[pos].text);
            pos += 2;
        }
        // A name in the first column is a label unless it names an operation
        // (so "NOP" written flush left is still the instruction).
        if (pos == 0 && t[0].kind == TokenKind::Identifier && t[0].column == 0 && !isEqu(1) &&
            !isOperation(t[0].text)) {
            labels.push_back(t[0].text);
            pos = 1;
        }
        std::string constant;
        if (t[pos].kind == TokenKind::Identifier && isEqu(pos + 1)) {
            constant = t[pos].text;
            pos += 2;
        } else if (!labels.empty() && isEqu(pos)) {
            constant = labels.back();
            labels.pop_back();
            pos += 1;
        }
        for (const std::string& label : labels) defineLabel(line, label);
        if (!constant.empty()) {
            defineConstant(line, constant, t, pos);
            return;
        }
        if (t[pos].kind == TokenKind::End) return;
        if (t[pos].kind != TokenKind::Identifier) {
            error(line, "expected a mnemonic or directive, found '" + t[pos].text + "'");
            return;
        }
        const std::string& name = t[pos].text;
        ++pos;
        if (const isa::Instruction* mnemonic = findMnemonic(name)) {
            readInstruction(line, *mnemonic, t, pos);
            return;
        }
        switch (findDirective(name)) {
            case Directive::Include:
                readInclude(line, t, pos, depth);
                return;
            case Directive::Equ:
                error(line, "equ needs a name in front of it");
                return;
            case Directive::None:
                error(line, "unknown mnemonic '" + name + "'");
                return;
            default:
                readDirective(line, findDirective(name), t, pos);
                return;
        }
    }

    bool checkName(int line, const std::string& name) {
        // Register names would be ambiguous as operands. Mnemonics are not:
        // an operand is never a mnemonic, so "sub:" may label a subroutine.
        if (isRegisterName(name)) {
            error(line, "'" + name + "' names a register and can't be a label");
            return false;
        }
        const auto found = symbols_.find(name);
        if (found != symbols_.end()) {
            error(line, "label '" + name + "' is already defined at " + where(found->second.line));
            return false;
        }
        return true;
    }

    void defineLabel(int line, const std::string& name) {
        if (!checkName(line, name)) return;
        SymbolEntry entry;
        entry.value = address_;
        entry.kind = SymbolKind::Label;
        entry.line = line;
        symbols_.emplace(name, std::move(entry));
    }

    void defineConstant(int line, const std::string& name, const std::vector<Token>& t,
                        std::size_t pos) {
        std::string message;
        std::optional<Expression> expression = parseExpression(t, pos, message);
        if (expression && t[pos].kind != TokenKind::End) {
            message = "unexpected '" + t[pos].text + "' after the value";
            expression.reset();
        }
        if (!expression) {
            error(line, message);
            return;
        }
        if (!checkExpression(line, *expression) || !checkName(line, name)) return;
        SymbolEntry entry;
        entry.kind = SymbolKind::Constant;
        entry.line = line;
        entry.here = address_;
        const Evaluation evaluation = evaluate(*expression, lookup(), address_);
        if (evaluation.value) {
            entry.value = evaluation.value;
        } else if (!evaluation.error.empty()) {
            error(line, evaluation.error);
        } else {
            entry.pending = std::move(expression);  // names defined further down
        }
        symbols_.emplace(name, std::move(entry));
    }

    // Register names are operands of their own and can't be computed with.
    bool checkExpression(int line, const Expression& expression) {
        for (const ExpressionNode& node : expression.nodes) {
            if (node.kind == ExpressionNode::Kind::Name && isRegisterName(node.name)) {
                error(line, "register name '" + node.name + "' can't be used in an expression");
                return false;
            }
        }
        return true;
    }

    // Operands follow each other separated by a comma or by blanks alone;
    // each one is a register name, a pair name, or the longest expression.
    bool readOperands(int line, const std::vector<Token>& t, std::size_t pos,
                      std::vector<Operand>& out) {
        while (t[pos].kind != TokenKind::End) {
            Operand operand;
            operand.text = t[pos].text;
            const Token& token = t[pos];
            // A register name followed by an operator starts an expression,
            // which then reports the name as out of place there.
            const bool alone = t[pos + 1].kind == TokenKind::End ||
                               !(t[pos + 1].kind == TokenKind::Punct && t[pos + 1].text != "," &&
                                 t[pos + 1].text != "(" && t[pos + 1].text != "$");
            if (token.kind == TokenKind::PairName && alone) {
                operand.kind = Operand::Kind::Pair;
                operand.number = static_cast<int>(token.value);
                ++pos;
            } else if (alone && token.kind == TokenKind::Identifier &&
                       registerNumber(token.text, 'R') >= 0) {
                operand.kind = Operand::Kind::Register;
                operand.number = registerNumber(token.text, 'R');
                ++pos;
            } else if (alone && token.kind == TokenKind::Identifier &&
                       registerNumber(token.text, 'P') >= 0) {
                operand.kind = Operand::Kind::Pair;
                operand.number = registerNumber(token.text, 'P');
                ++pos;
            } else if (token.kind == TokenKind::String) {
                error(line, "a quoted string is only allowed after include");
                return false;
            } else {
                std::string message;
                std::optional<Expression> expression = parseExpression(t, pos, message);
                if (!expression) {
                    error(line, message);
                    return false;
                }
                if (!checkExpression(line, *expression)) return false;
                operand.expression = std::move(*expression);
            }
            out.push_back(std::move(operand));
            if (isPunct(t[pos], ",")) {
                ++pos;
                if (t[pos].kind == TokenKind::End) {
                    error(line, "missing operand after ','");
                    return false;
                }
            }
        }
        return true;
    }

    static std::size_t operandCount(isa::OperandKind operand) {
        switch (operand) {
            case isa::OperandKind::None:
                return 0;
            case isa::OperandKind::PairData8:
            case isa::OperandKind::ConditionAddress:
            case isa::OperandKind::RegisterAddress:
                return 2;
            default:
                return 1;
        }
    }

    void readInstruction(int line, const isa::Instruction& mnemonic, const std::vector<Token>& t,
                         std::size_t pos) {
        Statement statement;
        statement.line = line;
        statement.mnemonic = &mnemonic;
        const bool readable = readOperands(line, t, pos, statement.operands);
        const std::size_t wanted = operandCount(mnemonic.operand);
        if (readable && statement.operands.size() != wanted) {
            error(line, std::string(mnemonic.name) + " takes " + plural(wanted, "operand") +
                            ", found " + std::to_string(statement.operands.size()));
        }
        const bool valid = readable && statement.operands.size() == wanted;
        // The instruction keeps its room even when it is wrong, so that the
        // addresses after it, and the messages about them, stay right.
        place(statement, mnemonic.words, valid);
    }

    void readDirective(int line, Directive directive, const std::vector<Token>& t,
                       std::size_t pos) {
        std::vector<Operand> operands;
        if (!readOperands(line, t, pos, operands)) return;
        if (directive == Directive::Db) {
            if (operands.empty()) {
                error(line, "db needs at least one value");
                return;
            }
            Statement statement;
            statement.line = line;
            const int size = static_cast<int>(operands.size());
            statement.operands = std::move(operands);
            place(statement, size, true);
            return;
        }
        const char* name = directive == Directive::Org ? "org" : "align";
        if (operands.size() != 1) {
            error(line,
                  std::string(name) + " takes 1 operand, found " + std::to_string(operands.size()));
            return;
        }
        const Operand& operand = operands[0];
        if (operand.kind != Operand::Kind::Expression) {
            error(line, std::string(name) + " takes an address, not a register");
            return;
        }
        if (directive == Directive::Align) {
            const std::string* word = operand.expression.bareName();
            if (word == nullptr || !equalsIgnoringCase(*word, "page")) {
                error(line, "align takes the word page");
                return;
            }
            address_ = (address_ + kPageSize - 1) / kPageSize * kPageSize;
            return;
        }
        const Evaluation evaluation = evaluate(operand.expression, lookup(), address_);
        if (!evaluation.value) {
            error(line, !evaluation.error.empty() ? evaluation.error
                                                  : "org needs a value known at this point, but '" +
                                                        evaluation.unknownName +
                                                        "' is defined further down or not at all");
            return;
        }
        if (*evaluation.value < 0 || *evaluation.value >= kRomEnd) {
            error(line, "org " + std::to_string(*evaluation.value) +
                            " is outside the ROMs (0x000 to 0x4FF)");
            return;
        }
        address_ = static_cast<int>(*evaluation.value);
    }

    void readInclude(int line, const std::vector<Token>& t, std::size_t pos, int depth) {
        if (t[pos].kind != TokenKind::String || t[pos + 1].kind != TokenKind::End) {
            error(line, "include takes one file name in double quotes");
            return;
        }
        const SourceLine& source = result_.lines[static_cast<std::size_t>(line)];
        const std::filesystem::path name(t[pos].text);
        const std::filesystem::path includer(result_.files[static_cast<std::size_t>(source.file)]);
        const std::string path = normalPath(
            name.is_absolute() ? name.string() : (includer.parent_path() / name).string());
        if (std::find(includeStack_.begin(), includeStack_.end(), path) != includeStack_.end()) {
            error(line, "'" + path + "' includes itself");
            return;
        }
        if (depth + 1 > kMaxIncludeDepth) {
            error(line, "includes nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
            return;
        }
        const std::optional<std::string> text = reader_ ? reader_(path) : std::nullopt;
        if (!text) {
            error(line, "can't read included file '" + path + "'");
            return;
        }
        result_.files.push_back(path);
        includeStack_.push_back(path);
        readSource(*text, static_cast<int>(result_.files.size()) - 1, depth + 1);
        includeStack_.pop_back();
    }

    // Gives a statement its address and claims its bytes, refusing bytes past
    // the last ROM or on top of earlier ones.
    void place(Statement& statement, int size, bool valid) {
        statement.address = address_;
        statement.placeable = valid;
        if (address_ + size > kRomEnd) {
            error(statement.line,
                  "code at " + hex3(address_) + " passes 0x4FF, the last ROM address");
            statement.placeable = false;
        } else {
            for (int a = address_; a < address_ + size; ++a) {
                const int previous = owner_[static_cast<std::size_t>(a)];
                if (previous >= 0) {
                    error(statement.line, "code at " + hex3(a) +
                                              " overlaps the code placed there by " +
                                              where(previous));
                    statement.placeable = false;
                    break;
                }
            }
            if (statement.placeable) {
                for (int a = address_; a < address_ + size; ++a)
                    owner_[static_cast<std::size_t>(a)] = statement.line;
            }
        }
        // Past the end every further statement is reported too; the clamp
        // only keeps the arithmetic bounded.
        address_ = std::min(address_ + size, 0x10000);
        statements_.push_back(std::move(statement));
    }

    NameLookup lookup() const {
        return [this](const std::string& name) -> std::optional<std::int64_t> {
            const auto found = symbols_.find(name);
            if (found == symbols_.end()) return std::nullopt;
            return found->second.value;
        };
    }

    // Constants that named labels further down get their values now; one
    // round per level of dependence, until no round makes progress.
    void resolveConstants() {
        bool progress = true;
        while (progress) {
            progress = false;
            for (auto& [name, entry] : symbols_) {
                if (!entry.pending) continue;
                const Evaluation evaluation = evaluate(*entry.pending, lookup(), entry.here);
                if (evaluation.value || !evaluation.error.empty()) {
                    if (!evaluation.error.empty()) error(entry.line, evaluation.error);
                    entry.value = evaluation.value;
                    entry.pending.reset();
                    progress = true;
                }
            }
        }
        for (auto& [name, entry] : symbols_) {
            if (!entry.pending) continue;
            const std::string unknown = evaluate(*entry.pending, lookup(), entry.here).unknownName;
            error(entry.line, dependsOnItself(name) ? "'" + name + "' is defined in terms of itself"
                                                    : "can't give '" + name +
                                                          "' a value: " + unknownMessage(unknown));
        }
    }

    // Follows the first unknown name of each pending definition from `start`;
    // true when the chain comes back to `start`.
    bool dependsOnItself(const std::string& start) const {
        std::string current = start;
        for (std::size_t steps = 0; steps <= symbols_.size(); ++steps) {
            const auto found = symbols_.find(current);
            if (found == symbols_.end() || !found->second.pending) return false;
            current = evaluate(*found->second.pending, lookup(), found->second.here).unknownName;
            if (current == start) return true;
        }
        return false;
    }

    std::string unknownMessage(const std::string& name) const {
        if (symbols_.count(name)) return "'" + name + "' has no value";
        return "undefined label '" + name + "'";
    }

    // ---- pass 2: operands and encoding ----

    std::optional<std::int64_t> value(const Statement& s, const Operand& operand, const char* what,
                                      std::int64_t low, std::int64_t high) {
        const std::string name = s.mnemonic ? std::string(s.mnemonic->name) : "db";
        if (operand.kind != Operand::Kind::Expression) {
            const char* article =
                std::string_view("aeiou").find(what[0]) != std::string_view::npos ? "an " : "a ";
            error(s.line, name + " takes " + article + what + ", not the register name '" +
                              operand.text + "'");
            return std::nullopt;
        }
        const Evaluation evaluation = evaluate(operand.expression, lookup(), s.address);
        if (!evaluation.value) {
            error(s.line, !evaluation.error.empty() ? evaluation.error
                                                    : unknownMessage(evaluation.unknownName));
            return std::nullopt;
        }
        if (*evaluation.value < low || *evaluation.value > high) {
            error(s.line, std::string(what) + " " + std::to_string(*evaluation.value) +
                              " out of range for " + name + " (" + std::to_string(low) + " to " +
                              std::to_string(high) + ")");
            return std::nullopt;
        }
        return evaluation.value;
    }

    std::optional<int> registerOperand(const Statement& s, const Operand& operand) {
        if (operand.kind == Operand::Kind::Register) {
            if (operand.number <= 15) return operand.number;
            error(s.line, "'" + operand.text + "' is no register (R0 to R15)");
            return std::nullopt;
        }
        if (operand.kind == Operand::Kind::Pair) {
            error(s.line, std::string(s.mnemonic->name) + " takes a register, not the pair '" +
                              operand.text + "'");
            return std::nullopt;
        }
        const auto v = value(s, operand, "register", 0, 15);
        return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
    }

    std::optional<int> pairOperand(const Statement& s, const Operand& operand) {
        if (operand.kind == Operand::Kind::Pair) {
            if (operand.number <= 7) return operand.number;
            error(s.line, "'" + operand.text + "' is no register pair (P0 to P7)");
            return std::nullopt;
        }
        const std::string how =
            " names no register pair: use P0 to P7 or an even register (0 to 14)";
        if (operand.kind == Operand::Kind::Register) {
            if (operand.number <= 14 && operand.number % 2 == 0) return operand.number / 2;
            error(s.line, "'" + operand.text + "'" + how);
            return std::nullopt;
        }
        const auto v = value(s, operand, "register", 0, 15);
        if (!v) return std::nullopt;
        if (*v % 2 != 0) {
            error(s.line, "register " + std::to_string(*v) + how);
            return std::nullopt;
        }
        return static_cast<int>(*v / 2);
    }

    std::optional<int> conditionOperand(const Statement& s, const Operand& operand) {
        if (operand.kind == Operand::Kind::Expression) {
            if (const std::string* name = operand.expression.bareName()) {
                if (const std::optional<int> letters = parseConditionLetters(*name)) return letters;
            }
        }
        const auto v = value(s, operand, "condition", 0, 15);
        return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
    }

    // JCN and ISZ load only the low eight bits into the PC, which at that
    // moment already points at the word after the instruction; the page of
    // that word is the page of the jump.
    std::optional<int> inPageTarget(const Statement& s, const Operand& operand) {
        const auto target = value(s, operand, "address", 0, 0xFFF);
        if (!target) return std::nullopt;
        const int following = s.address + 2;
        const int page = following & 0xF00;
        if ((*target & 0xF00) != page) {
            std::string message = std::string(s.mnemonic->name) + " target " + hex3(*target) +
                                  " is not on page " + hex3(page) +
                                  ", the page of the word after the instruction";
            if ((following & 0xFF) == 0) {
                message += " (its second word ends page " + hex3(page - kPageSize) +
                           ", so it jumps within the next page)";
            }
            error(s.line, message);
            return std::nullopt;
        }
        return *target & 0xFF;
    }

    void encode(const Statement& s) {
        if (!s.placeable) return;
        std::vector<std::uint8_t> bytes;
        if (s.mnemonic == nullptr) {
            for (const Operand& operand : s.operands) {
                // Negative values down to -128 stand for their two's complement byte.
                const auto v = value(s, operand, "byte", -128, 255);
                if (!v) return;
                bytes.push_back(static_cast<std::uint8_t>(*v & 0xFF));
            }
        } else if (!encodeInstruction(s, bytes)) {
            return;
        }
        SourceLine& line = result_.lines[static_cast<std::size_t>(s.line)];
        line.address = s.address;
        line.bytes = bytes;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            result_.image.set(s.address + static_cast<int>(i), bytes[i]);
    }

    bool encodeInstruction(const Statement& s, std::vector<std::uint8_t>& bytes) {
        const isa::Instruction& m = *s.mnemonic;
        const std::vector<Operand>& ops = s.operands;
        auto word = [](int opcode, int opa) { return static_cast<std::uint8_t>(opcode | opa); };
        switch (m.operand) {
            case isa::OperandKind::None:
                bytes = {m.opcode};
                return true;
            case isa::OperandKind::Register: {
                const auto r = registerOperand(s, ops[0]);
                if (!r) return false;
                bytes = {word(m.opcode, *r)};
                return true;
            }
            case isa::OperandKind::Pair: {
                const auto p = pairOperand(s, ops[0]);
                if (!p) return false;
                // A page ends after this word: the PC has moved to the next
                // page when FIN fetches or JIN jumps.
                if ((s.address & 0xFF) == 0xFF) {
                    const char* what = m.opcode == isa::firstWord(isa::kFinJin)
                                           ? "reads its byte from"
                                           : "jumps within";
                    report(Severity::Warning, s.line,
                           std::string(m.name) + " at " + hex3(s.address) +
                               " ends its page, so it " + what + " page " +
                               hex3((s.address + 1) & 0xF00) + ", not page " +
                               hex3(s.address & 0xF00));
                }
                bytes = {word(m.opcode, 2 * *p)};
                return true;
            }
            case isa::OperandKind::Data4: {
                const auto v = value(s, ops[0], "value", 0, 15);
                if (!v) return false;
                bytes = {word(m.opcode, static_cast<int>(*v))};
                return true;
            }
            case isa::OperandKind::PairData8: {
                const auto p = pairOperand(s, ops[0]);
                const auto v = value(s, ops[1], "value", -128, 255);
                if (!p || !v) return false;
                bytes = {word(m.opcode, 2 * *p), static_cast<std::uint8_t>(*v & 0xFF)};
                return true;
            }
            case isa::OperandKind::ConditionAddress:
            case isa::OperandKind::RegisterAddress: {
                const auto first = m.operand == isa::OperandKind::ConditionAddress
                                       ? conditionOperand(s, ops[0])
                                       : registerOperand(s, ops[0]);
                const auto target = inPageTarget(s, ops[1]);
                if (!first || !target) return false;
                bytes = {word(m.opcode, *first), static_cast<std::uint8_t>(*target)};
                return true;
            }
            case isa::OperandKind::Address12: {
                const auto v = value(s, ops[0], "address", 0, 0xFFF);
                if (!v) return false;
                bytes = {word(m.opcode, static_cast<int>(*v >> 8)),
                         static_cast<std::uint8_t>(*v & 0xFF)};
                return true;
            }
        }
        return false;
    }

    const FileReader& reader_;
    Assembly result_;
    std::vector<Statement> statements_;
    std::map<std::string, SymbolEntry> symbols_;
    std::vector<std::string> includeStack_;
    std::array<int, kRomEnd> owner_{};  // line that placed each byte, -1 for none
    int address_ = 0;
    int errorCount_ = 0;
    bool stopped_ = false;
};

}  // namespace

FileReader fileSystemReader() {
    return [](const std::string& path) -> std::optional<std::string> {
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::nullopt;
        std::ostringstream text;
        text << in.rdbuf();
        if (in.bad()) return std::nullopt;
        return text.str();
    };
}

Assembly assemble(std::string_view source, const std::string& fileName,
                  const FileReader& readFile) {
    return Assembler(readFile).run(source, fileName);
}

}  // namespace tallivo::assembler
