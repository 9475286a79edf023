#include "panel/pc_keys.h"

#include <Qt>

namespace tallivo {

const std::array<PcKeyBinding, 30> kPcKeyBindings = {{
    {"S", {Qt::Key_S, 0, 0}, "S"},
    {"Ex", {Qt::Key_E, 0, 0}, "E"},
    {"C", {Qt::Key_Escape, 0, 0}, "Esc"},
    {"CE", {Qt::Key_Backspace, 0, 0}, "Backspace"},
    {"7", {Qt::Key_7, 0, 0}, "7"},
    {"4", {Qt::Key_4, 0, 0}, "4"},
    {"1", {Qt::Key_1, 0, 0}, "1"},
    {"0", {Qt::Key_0, 0, 0}, "0"},
    {"8", {Qt::Key_8, 0, 0}, "8"},
    {"5", {Qt::Key_5, 0, 0}, "5"},
    {"2", {Qt::Key_2, 0, 0}, "2"},
    {"00", {Qt::Key_Z, 0, 0}, "Z"},
    {"9", {Qt::Key_9, 0, 0}, "9"},
    {"6", {Qt::Key_6, 0, 0}, "6"},
    {"3", {Qt::Key_3, 0, 0}, "3"},
    // The keypad's decimal key gives a comma in many layouts.
    {".", {Qt::Key_Period, Qt::Key_Comma, 0}, ". or ,"},
    {"-", {Qt::Key_Minus, 0, 0}, "-"},
    {"+", {Qt::Key_Plus, 0, 0}, "+"},
    {"=", {Qt::Key_Enter, Qt::Key_Return, Qt::Key_Equal}, "Enter or ="},
    {"<>", {Qt::Key_D, Qt::Key_Less, Qt::Key_Greater}, "D, < or >"},
    {"/", {Qt::Key_Slash, 0, 0}, "/"},
    {"X", {Qt::Key_Asterisk, Qt::Key_X, 0}, "* or X"},
    {"SQRT", {Qt::Key_Q, 0, 0}, "Q"},
    {"%", {Qt::Key_Percent, Qt::Key_P, 0}, "% or P"},
    {"M-=", {Qt::Key_J, 0, 0}, "J"},
    {"M+=", {Qt::Key_K, 0, 0}, "K"},
    {"CM", {Qt::Key_L, 0, 0}, "L"},
    {"RM", {Qt::Key_R, 0, 0}, "R"},
    {"M-", {Qt::Key_N, 0, 0}, "N"},
    {"M+", {Qt::Key_M, 0, 0}, "M"},
}};

std::string_view calculatorKeyFor(int qtKey) {
    if (qtKey == 0) return {};
    for (const PcKeyBinding& binding : kPcKeyBindings) {
        for (const int key : binding.keys) {
            if (key == qtKey) return binding.caption;
        }
    }
    return {};
}

QString pcKeyTooltip(std::string_view caption) {
    for (const PcKeyBinding& binding : kPcKeyBindings) {
        if (binding.caption != caption) continue;
        const bool several = binding.keys[1] != 0;
        return QString::fromLatin1(several ? "PC keys: " : "PC key: ") +
               QString::fromUtf8(binding.names.data(), static_cast<qsizetype>(binding.names.size()));
    }
    return {};
}

}  // namespace tallivo
