#pragma once
// The PC keys of the calculator's keys in the desktop windows: the bindings
// and their key codes, which are Qt's, and the keys' tooltips.
#include <QString>
#include <string_view>

#include "panel/pc_key_bindings.h"

namespace tallivo {

// The tooltip of a calculator key: its PC keys ("PC key: S").
QString pcKeyTooltip(std::string_view caption);

}  // namespace tallivo
