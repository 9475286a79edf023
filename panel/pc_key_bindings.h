#pragma once
// The PC keys that hold the calculator's keys: every one of the 30 keys has
// at least one, so the calculator can be worked from the PC keyboard alone.
// Keys that have no sign of their own on a PC keyboard take a letter.
//
// A PC key is known by its key code: the upper-case character for a key that
// types one ('S', '+', '*'), and the codes below for the keys that type none.
// These are the codes that Qt gives its key events, so the desktop windows
// use them as they come; a web page maps its key names onto them.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tallivo {

namespace pc_key {
inline constexpr int kEscape = 0x01000000;
inline constexpr int kBackspace = 0x01000003;
inline constexpr int kReturn = 0x01000004;
inline constexpr int kEnter = 0x01000005;  // the keypad's Enter
}  // namespace pc_key

struct PcKeyBinding {
    std::string_view caption;  // the calculator key, by its caption
    std::array<int, 3> keys;   // key codes, 0 for unused slots
    std::string_view names;    // how the PC keys are written for the user
};

// One entry per calculator key, in the order of the panel's layout.
extern const std::array<PcKeyBinding, 30> kPcKeyBindings;

// The caption of the calculator key that the PC key `keyCode` holds; empty
// for none.
std::string_view calculatorKeyFor(int keyCode);
// The caption of the calculator key that typing the character `c` holds (a
// letter types its capital's key); empty for none.
std::string_view calculatorKeyForCharacter(unsigned char c);

// Text typed through the PC keys, as a paste does: the keys in order, by
// caption, and the characters no key types (each named once, in order).
// Blanks are only separators. A line that ends in the middle of a number
// (its last key a digit, "00" or the point) is added: the end of the line
// types "+", so a column of numbers, one a line, is summed; so is the end of
// a text of several lines. "<>" is the one key of that name.
struct TypedText {
    std::vector<std::string_view> keys;
    std::vector<std::string> skipped;
};
TypedText keysForText(std::string_view utf8);

// The tooltip of a calculator key: its PC keys ("PC key: S"); empty for no
// such key.
std::string pcKeyTooltipText(std::string_view caption);

}  // namespace tallivo
