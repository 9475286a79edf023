#pragma once
// Operand expressions: numbers, names, the current address ("$" or "*" where
// an operand is expected) and the operators, lowest binding first:
// |  &  << >>  + -  * /  and unary minus. Arithmetic is on 64-bit signed
// integers; overflow, division by zero and wild shifts are errors, never
// undefined behaviour.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "asm/lexer.h"

namespace tallivo::assembler {

struct ExpressionNode {
    enum class Kind { Number, Name, Here, Negate, Binary };
    Kind kind = Kind::Number;
    std::int64_t value = 0;  // Number
    std::string name;        // Name; Binary: the operator
    int left = -1;           // Negate, Binary: index of the operand nodes
    int right = -1;
};

class Expression {
  public:
    // The name when the whole expression is one bare name, else nullptr.
    const std::string* bareName() const;

    std::vector<ExpressionNode> nodes;
    int root = -1;
};

// Parses the longest expression starting at tokens[pos]; advances `pos` past
// it. On failure returns nullopt and sets `error`.
std::optional<Expression> parseExpression(const std::vector<Token>& tokens, std::size_t& pos,
                                          std::string& error);

// Looks a name up: its value, or nullopt when it has none (yet).
using NameLookup = std::function<std::optional<std::int64_t>(const std::string& name)>;

struct Evaluation {
    std::optional<std::int64_t> value;
    std::string unknownName;  // set when a name had no value
    std::string error;        // set on an arithmetic fault
};

Evaluation evaluate(const Expression& expression, const NameLookup& lookup, std::int64_t here);

}  // namespace tallivo::assembler
