#pragma once
// The PC keys that hold the calculator's keys: every one of the 30 keys has
// at least one, so the calculator can be worked from the PC keyboard alone.
// Keys that have no sign of their own on a PC keyboard take a letter.
#include <QString>

#include <array>
#include <string_view>

namespace tallivo {

struct PcKeyBinding {
    std::string_view caption;  // the calculator key, by its caption
    std::array<int, 3> keys;   // Qt key codes, 0 for unused slots
    std::string_view names;    // how the PC keys are written for the user
};

// One entry per calculator key, in the order of the panel's layout.
extern const std::array<PcKeyBinding, 30> kPcKeyBindings;

// The caption of the calculator key that the PC key `qtKey` holds; empty for
// none.
std::string_view calculatorKeyFor(int qtKey);

// The tooltip of a calculator key: its PC keys ("PC key: S").
QString pcKeyTooltip(std::string_view caption);

}  // namespace tallivo
