#pragma once
// The assembler's reading of the 4004's instruction table
// (chips/instruction_set.h): mnemonics in any letter case, and the letters
// that write a JCN condition.
#include <optional>
#include <string_view>

#include "chips/instruction_set.h"

namespace tallivo::assembler {

// Whether two names are the same in any letter case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The instruction named `name` in any letter case, or nullptr.
const isa::Instruction* findMnemonic(std::string_view name);

// Parses the letter form of a JCN condition: an optional leading N (invert)
// and one or more of T, C, Z in any order and letter case, each at most once.
std::optional<int> parseConditionLetters(std::string_view text);

// The letter form of a condition, N first, then T, C, Z; empty when no test
// bit is set (conditions 0 and 8), which only a number can write.
std::string_view conditionLetters(int condition);

}  // namespace tallivo::assembler
