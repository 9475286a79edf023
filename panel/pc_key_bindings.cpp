#include "panel/pc_key_bindings.h"

namespace tallivo {

const std::array<PcKeyBinding, 30> kPcKeyBindings = {{
    {"S", {'S', 0, 0}, "S"},
    {"Ex", {'E', 0, 0}, "E"},
    {"C", {pc_key::kEscape, 0, 0}, "Esc"},
    {"CE", {pc_key::kBackspace, 0, 0}, "Backspace"},
    {"7", {'7', 0, 0}, "7"},
    {"4", {'4', 0, 0}, "4"},
    {"1", {'1', 0, 0}, "1"},
    {"0", {'0', 0, 0}, "0"},
    {"8", {'8', 0, 0}, "8"},
    {"5", {'5', 0, 0}, "5"},
    {"2", {'2', 0, 0}, "2"},
    {"00", {'Z', 0, 0}, "Z"},
    {"9", {'9', 0, 0}, "9"},
    {"6", {'6', 0, 0}, "6"},
    {"3", {'3', 0, 0}, "3"},
    // The keypad's decimal key gives a comma in many layouts.
    {".", {'.', ',', 0}, ". or ,"},
    {"-", {'-', 0, 0}, "-"},
    {"+", {'+', 0, 0}, "+"},
    {"=", {pc_key::kEnter, pc_key::kReturn, '='}, "Enter or ="},
    {"<>", {'D', '<', '>'}, "D, < or >"},
    {"/", {'/', 0, 0}, "/"},
    {"X", {'*', 'X', 0}, "* or X"},
    {"SQRT", {'Q', 0, 0}, "Q"},
    {"%", {'%', 'P', 0}, "% or P"},
    {"M-=", {'J', 0, 0}, "J"},
    {"M+=", {'K', 0, 0}, "K"},
    {"CM", {'L', 0, 0}, "L"},
    {"RM", {'R', 0, 0}, "R"},
    {"M-", {'N', 0, 0}, "N"},
    {"M+", {'M', 0, 0}, "M"},
}};

std::string_view calculatorKeyFor(int keyCode) {
    if (keyCode == 0) return {};
    for (const PcKeyBinding& binding : kPcKeyBindings) {
        for (const int key : binding.keys) {
            if (key == keyCode) return binding.caption;
        }
    }
    return {};
}

std::string_view calculatorKeyForCharacter(unsigned char c) {
    // A letter's key code is its capital.
    return calculatorKeyFor(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

TypedText keysForText(std::string_view text) {
    TypedText typed;
    bool inNumber = false;  // the keys since the last line end typed an entry
    auto endLine = [&] {
        if (inNumber) typed.keys.push_back("+");
        inNumber = false;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            endLine();
            ++i;
            continue;
        }
        if (byte == ' ' || byte == '\t' || byte == '\r') {
            ++i;
            continue;
        }
        std::string_view key;
        std::size_t length = 1;
        if (text.substr(i, 2) == "<>") {
            key = "<>";
            length = 2;
        } else if (byte < 0x80) {
            key = calculatorKeyForCharacter(byte);
        } else {
            // A character beyond ASCII has no key: its whole UTF-8 sequence
            // is skipped.
            while (i + length < text.size() &&
                   (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
                ++length;
        }
        if (key.empty()) {
            const std::string character(text.substr(i, length));
            bool named = false;
            for (const std::string& s : typed.skipped) named = named || s == character;
            if (!named) typed.skipped.push_back(character);
        } else {
            typed.keys.push_back(key);
            inNumber =
                key == "." || key == "00" || (key.size() == 1 && key[0] >= '0' && key[0] <= '9');
        }
        i += length;
    }
    if (text.find('\n') != std::string_view::npos) endLine();
    return typed;
}

std::string pcKeyTooltipText(std::string_view caption) {
    for (const PcKeyBinding& binding : kPcKeyBindings) {
        if (binding.caption != caption) continue;
        const bool several = binding.keys[1] != 0;
        return std::string(several ? "PC keys: " : "PC key: ") + std::string(binding.names);
    }
    return {};
}

}  // namespace tallivo
