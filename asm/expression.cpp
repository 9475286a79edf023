#include "asm/expression.h"

#include <limits>

namespace tallivo::assembler {

namespace {

// Binding strength of a binary operator, 0 when the token is none.
int precedence(const Token& token) {
    if (token.kind != TokenKind::Punct) return 0;
    const std::string& t = token.text;
    if (t == "|") return 1;
    if (t == "&") return 2;
    if (t == "<<" || t == ">>") return 3;
    if (t == "+" || t == "-") return 4;
    if (t == "*" || t == "/") return 5;
    return 0;
}

// Nesting deeper than this is no real program; the limit keeps the
// recursive descent from exhausting the stack on hostile input.
constexpr int kMaxDepth = 64;

class Parser {
  public:
    Parser(const std::vector<Token>& tokens, std::size_t& pos, std::string& error)
        : tokens_(tokens), pos_(pos), error_(error) {}

    std::optional<Expression> parse() {
        const int root = binary(1, 0);
        if (root < 0) return std::nullopt;
        expression_.root = root;
        return std::move(expression_);
    }

  private:
    const Token& peek() const { return tokens_[pos_]; }

    int add(ExpressionNode node) {
        expression_.nodes.push_back(std::move(node));
        return static_cast<int>(expression_.nodes.size()) - 1;
    }

    int fail(std::string message) {
        error_ = std::move(message);
        return -1;
    }

    int binary(int minPrecedence, int depth) {
        int left = unary(depth);
        while (left >= 0) {
            const int p = precedence(peek());
            if (p == 0 || p < minPrecedence) break;
            ExpressionNode node;
            node.kind = ExpressionNode::Kind::Binary;
            node.name = peek().text;
            ++pos_;
            const int right = binary(p + 1, depth + 1);
            if (right < 0) return -1;
            node.left = left;
            node.right = right;
            left = add(std::move(node));
        }
        return left;
    }

    int unary(int depth) {
        if (depth > kMaxDepth) return fail("expression nested too deeply");
        const Token& token = peek();
        if (isPunct(token, "-") || isPunct(token, "+")) {
            const bool negate = token.text == "-";
            ++pos_;
            const int operand = unary(depth + 1);
            if (operand < 0 || !negate) return operand;
            ExpressionNode node;
            node.kind = ExpressionNode::Kind::Negate;
            node.left = operand;
            return add(std::move(node));
        }
        return primary(depth);
    }

    int primary(int depth) {
        const Token& token = peek();
        ExpressionNode node;
        switch (token.kind) {
            case TokenKind::Number:
                node.kind = ExpressionNode::Kind::Number;
                node.value = token.value;
                ++pos_;
                return add(std::move(node));
            case TokenKind::Identifier:
                node.kind = ExpressionNode::Kind::Name;
                node.name = token.text;
                ++pos_;
                return add(std::move(node));
            case TokenKind::Punct:
                // Where an operand is expected, "*" is the current address,
                // not a multiplication.
                if (token.text == "$" || token.text == "*") {
                    node.kind = ExpressionNode::Kind::Here;
                    ++pos_;
                    return add(std::move(node));
                }
                if (token.text == "(") {
                    ++pos_;
                    const int inner = binary(1, depth + 1);
                    if (inner < 0) return -1;
                    if (!isPunct(peek(), ")")) return fail("missing ')'");
                    ++pos_;
                    return inner;
                }
                return fail("expected a value, found '" + token.text + "'");
            case TokenKind::End:
                return fail("expected a value at the end of the line");
            default:
                return fail("expected a value, found '" + token.text + "'");
        }
    }

    const std::vector<Token>& tokens_;
    std::size_t& pos_;
    std::string& error_;
    Expression expression_;
};

class Evaluator {
  public:
    Evaluator(const Expression& expression, const NameLookup& lookup, std::int64_t here)
        : expression_(expression), lookup_(lookup), here_(here) {}

    Evaluation run() {
        const std::optional<std::int64_t> value = node(expression_.root);
        if (value) result_.value = value;
        return std::move(result_);
    }

  private:
    std::optional<std::int64_t> fail(std::string message) {
        if (result_.error.empty()) result_.error = std::move(message);
        return std::nullopt;
    }

    // Nodes are added after their operands, so indexes only go down and the
    // recursion depth is bounded by the parser's nesting limit.
    std::optional<std::int64_t> node(int index) {
        const ExpressionNode& n = expression_.nodes[static_cast<std::size_t>(index)];
        switch (n.kind) {
            case ExpressionNode::Kind::Number:
                return n.value;
            case ExpressionNode::Kind::Here:
                return here_;
            case ExpressionNode::Kind::Name: {
                std::optional<std::int64_t> value = lookup_(n.name);
                if (!value && result_.unknownName.empty()) result_.unknownName = n.name;
                return value;
            }
            case ExpressionNode::Kind::Negate: {
                const std::optional<std::int64_t> operand = node(n.left);
                if (!operand) return std::nullopt;
                if (*operand == std::numeric_limits<std::int64_t>::min())
                    return fail("value overflows");
                return -*operand;
            }
            case ExpressionNode::Kind::Binary: {
                const std::optional<std::int64_t> a = node(n.left);
                const std::optional<std::int64_t> b = node(n.right);
                if (!a || !b) return std::nullopt;
                return apply(n.name, *a, *b);
            }
        }
        return std::nullopt;
    }

    std::optional<std::int64_t> apply(const std::string& op, std::int64_t a, std::int64_t b) {
        std::int64_t r = 0;
        if (op == "+") {
            if (__builtin_add_overflow(a, b, &r)) return fail("value overflows");
            return r;
        }
        if (op == "-") {
            if (__builtin_sub_overflow(a, b, &r)) return fail("value overflows");
            return r;
        }
        if (op == "*") {
            if (__builtin_mul_overflow(a, b, &r)) return fail("value overflows");
            return r;
        }
        if (op == "/") {
            if (b == 0) return fail("division by zero");
            if (a == std::numeric_limits<std::int64_t>::min() && b == -1)
                return fail("value overflows");
            return a / b;
        }
        if (op == "&") return a & b;
        if (op == "|") return a | b;
        // Shifts: counts outside 0..63 are undefined in C++, so refuse them;
        // a left shift is done unsigned so that it can't overflow.
        if (b < 0 || b > 63)
            return fail("shift count " + std::to_string(b) + " out of range (0 to 63)");
        if (op == "<<") return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) << b);
        return a >> b;
    }

    const Expression& expression_;
    const NameLookup& lookup_;
    std::int64_t here_;
    Evaluation result_;
};

}  // namespace

const std::string* Expression::bareName() const {
    if (root < 0) return nullptr;
    const ExpressionNode& n = nodes[static_cast<std::size_t>(root)];
    return n.kind == ExpressionNode::Kind::Name ? &n.name : nullptr;
}

std::optional<Expression> parseExpression(const std::vector<Token>& tokens, std::size_t& pos,
                                          std::string& error) {
    return Parser(tokens, pos, error).parse();
}

Evaluation evaluate(const Expression& expression, const NameLookup& lookup, std::int64_t here) {
    return Evaluator(expression, lookup, here).run();
}

}  // namespace tallivo::assembler
