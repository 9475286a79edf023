#pragma once
// Window layouts of the front panel, in dialog units (one unit is a quarter of
// the dialog font's average character width across and an eighth of its height
// down), with the control ids and texts of the calculator's resources.
#include <array>
#include <string_view>

namespace tallivo::layout {

struct Rect {
    int x;
    int y;
    int width;
    int height;
};

enum class ControlKind {
    Key,             // calculator key: only its held state matters
    QuitButton,      // the one button with a click action
    DecimalSwitch,   // radio button of the decimal-point switch
    RoundingSwitch,  // radio button of the rounding switch
    Lamp,            // indicator driven by the firmware, never by a click
    Label,           // static text
};

struct Control {
    int id;  // -1 for static texts
    std::string_view caption;
    ControlKind kind;
    Rect rect;
};

// String 101, the entry added to the keyboard window's menu, and its command.
inline constexpr std::string_view kAboutMenuText = "&About Tallivo...";
inline constexpr int kAboutCommand = 16;
// The inspector's entry in the same menu (also F2), and its window's caption.
inline constexpr std::string_view kInspectorMenuText = "&Inspector\tF2";
inline constexpr std::string_view kInspectorCaption = "Tallivo 141DU Inspector";

// --- Keyboard (dialog 102) -------------------------------------------------

inline constexpr std::string_view kKeyboardCaption = "Tallivo 141DU Keyboard";
inline constexpr int kKeyboardWidth = 270;
inline constexpr int kKeyboardHeight = 115;

inline constexpr int kQuitId = 1046;
inline constexpr int kEqualsId = 1019;  // the dialog's default button
inline constexpr int kLampOvfId = 1032;
inline constexpr int kLampNegId = 1018;
inline constexpr int kLampMId = 1033;

// The radio buttons of each switch are listed in index order: the position of
// a button within its switch is the value that the firmware reads.
inline constexpr std::array kKeyboardControls = {
    Control{1000, "S", ControlKind::Key, {19, 37, 22, 14}},
    Control{1001, "Ex", ControlKind::Key, {19, 54, 22, 14}},
    Control{1002, "C", ControlKind::Key, {19, 72, 22, 14}},
    Control{1003, "CE", ControlKind::Key, {19, 90, 22, 14}},
    Control{1004, "7", ControlKind::Key, {54, 37, 22, 14}},
    Control{1005, "4", ControlKind::Key, {54, 54, 22, 14}},
    Control{1006, "1", ControlKind::Key, {54, 72, 22, 14}},
    Control{1007, "0", ControlKind::Key, {54, 90, 22, 14}},
    Control{1008, "8", ControlKind::Key, {78, 37, 22, 14}},
    Control{1009, "5", ControlKind::Key, {78, 54, 22, 14}},
    Control{1010, "2", ControlKind::Key, {78, 72, 22, 14}},
    Control{1011, "00", ControlKind::Key, {78, 90, 22, 14}},
    Control{1012, "9", ControlKind::Key, {102, 37, 22, 14}},
    Control{1013, "6", ControlKind::Key, {102, 54, 22, 14}},
    Control{1014, "3", ControlKind::Key, {102, 72, 22, 14}},
    Control{1015, ".", ControlKind::Key, {102, 90, 22, 14}},
    Control{1016, "-", ControlKind::Key, {140, 37, 22, 14}},
    Control{1017, "+", ControlKind::Key, {140, 54, 22, 32}},
    Control{1019, "=", ControlKind::Key, {140, 90, 47, 14}},
    Control{1020, "<>", ControlKind::Key, {165, 37, 22, 14}},
    Control{1021, "/", ControlKind::Key, {165, 54, 22, 14}},
    Control{1022, "X", ControlKind::Key, {165, 72, 22, 14}},
    Control{1024, "SQRT", ControlKind::Key, {205, 37, 22, 14}},
    Control{1025, "%", ControlKind::Key, {205, 55, 22, 14}},
    Control{1026, "M-=", ControlKind::Key, {205, 73, 22, 14}},
    Control{1027, "M+=", ControlKind::Key, {205, 90, 22, 14}},
    Control{1028, "CM", ControlKind::Key, {229, 37, 22, 14}},
    Control{1029, "RM", ControlKind::Key, {229, 55, 22, 14}},
    Control{1030, "M-", ControlKind::Key, {229, 73, 22, 14}},
    Control{1031, "M+", ControlKind::Key, {229, 90, 22, 14}},
    Control{kQuitId, "Quit", ControlKind::QuitButton, {205, 16, 46, 14}},

    Control{1036, "", ControlKind::DecimalSwitch, {17, 19, 11, 8}},
    Control{1037, "", ControlKind::DecimalSwitch, {27, 19, 11, 8}},
    Control{1038, "", ControlKind::DecimalSwitch, {37, 19, 11, 8}},
    Control{1039, "", ControlKind::DecimalSwitch, {47, 19, 11, 8}},
    Control{1040, "", ControlKind::DecimalSwitch, {57, 19, 11, 8}},
    Control{1041, "", ControlKind::DecimalSwitch, {67, 19, 11, 8}},
    Control{1042, "", ControlKind::DecimalSwitch, {77, 19, 11, 8}},
    Control{1043, "", ControlKind::DecimalSwitch, {87, 19, 11, 8}},
    Control{-1, "0", ControlKind::Label, {19, 7, 8, 8}},
    Control{-1, "1", ControlKind::Label, {29, 7, 8, 8}},
    Control{-1, "2", ControlKind::Label, {39, 7, 8, 8}},
    Control{-1, "3", ControlKind::Label, {49, 7, 8, 8}},
    Control{-1, "4", ControlKind::Label, {59, 7, 8, 8}},
    Control{-1, "5", ControlKind::Label, {69, 7, 8, 8}},
    Control{-1, "6", ControlKind::Label, {79, 7, 8, 8}},
    Control{-1, "8", ControlKind::Label, {89, 7, 8, 8}},

    Control{1023, "", ControlKind::RoundingSwitch, {106, 19, 11, 8}},
    Control{1034, "", ControlKind::RoundingSwitch, {119, 19, 11, 8}},
    Control{1035, "", ControlKind::RoundingSwitch, {131, 19, 11, 8}},
    Control{-1, "/N", ControlKind::Label, {106, 7, 12, 8}},
    Control{-1, "FL", ControlKind::Label, {119, 7, 10, 8}},
    Control{-1, "5/4", ControlKind::Label, {130, 7, 14, 8}},

    Control{kLampOvfId, "", ControlKind::Lamp, {152, 19, 11, 8}},
    Control{kLampNegId, "", ControlKind::Lamp, {171, 19, 11, 8}},
    Control{kLampMId, "", ControlKind::Lamp, {189, 19, 11, 8}},
    Control{-1, "OVF", ControlKind::Label, {149, 7, 18, 8}},
    Control{-1, "NEG", ControlKind::Label, {167, 7, 18, 8}},
    Control{-1, "M", ControlKind::Label, {190, 7, 8, 8}},

    // What the two switches are, in the room between them and the keys.
    Control{-1, "Decimals", ControlKind::Label, {17, 28, 81, 8}},
    Control{-1, "Rounding", ControlKind::Label, {106, 28, 38, 8}},
};

// The keyboard matrix: the key id whose held state goes to row line r when
// column c is selected (column c low). 0 marks a row that always reads 0.
// Columns 8 and 9 carry the switches instead of keys.
inline constexpr int kKeyColumns = 8;
inline constexpr int kKeyRows = 4;
inline constexpr int kKeyMatrix[kKeyColumns][kKeyRows] = {
    {1028, 1029, 1030, 1031},  // CM   RM   M-   M+
    {1024, 1025, 1026, 1027},  // SQRT %    M-=  M+=
    {1020, 1021, 1022, 1019},  // <>   /    X    =
    {1016, 1017, 0, 0},        // -    +
    {1012, 1013, 1014, 1015},  // 9    6    3    .
    {1008, 1009, 1010, 1011},  // 8    5    2    00
    {1004, 1005, 1006, 1007},  // 7    4    1    0
    {1000, 1001, 1003, 1002},  // S    Ex   CE   C
};

// --- About box (dialog 100) ------------------------------------------------

inline constexpr std::string_view kAboutCaption = "About Tallivo";
inline constexpr std::string_view kAboutText = "Tallivo Calculator Version 0.1";
inline constexpr int kAboutWidth = 235;
inline constexpr int kAboutHeight = 55;
// The icon keeps its own pixel size; only its corner is in dialog units.
inline constexpr Rect kAboutIcon{11, 17, 0, 0};
inline constexpr int kAboutIconPixels = 32;
inline constexpr Rect kAboutLabel{40, 10, 130, 8};
inline constexpr Rect kAboutOk{178, 7, 50, 14};

// --- Printer (dialog 129) --------------------------------------------------

inline constexpr std::string_view kPrinterCaption = "Tallivo 141DU Printer";
inline constexpr int kPrinterWidth = 142;
inline constexpr int kPrinterHeight = 163;
inline constexpr int kPaperId = 1045;
inline constexpr Rect kPaperList{7, 7, 128, 142};
// A line under the paper for what the window has to say (a pasted character
// with no key, a paper saved).
inline constexpr Rect kPaperStatus{7, 151, 128, 9};
// The paper font: a fixed-pitch face, as small as the printer's type but
// large enough to read, with 24 columns fitting the list.
inline constexpr int kPaperFontPixels = 11;
inline constexpr int kPaperItemHeight = 15;

}  // namespace tallivo::layout
