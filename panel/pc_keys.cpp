#include "panel/pc_keys.h"

#include <Qt>

namespace tallivo {

// The bindings' key codes are the ones Qt's key events carry.
static_assert(pc_key::kEscape == Qt::Key_Escape && pc_key::kBackspace == Qt::Key_Backspace &&
              pc_key::kReturn == Qt::Key_Return && pc_key::kEnter == Qt::Key_Enter);
static_assert('S' == Qt::Key_S && 'Z' == Qt::Key_Z && '0' == Qt::Key_0 && '+' == Qt::Key_Plus &&
              '*' == Qt::Key_Asterisk && '%' == Qt::Key_Percent && '<' == Qt::Key_Less &&
              '>' == Qt::Key_Greater && ',' == Qt::Key_Comma && '.' == Qt::Key_Period &&
              '=' == Qt::Key_Equal && '/' == Qt::Key_Slash && '-' == Qt::Key_Minus);

QString pcKeyTooltip(std::string_view caption) {
    return QString::fromStdString(pcKeyTooltipText(caption));
}

}  // namespace tallivo
