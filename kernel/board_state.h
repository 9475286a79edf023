#pragma once
// The board's state as one JSON object: CPU registers, RAM contents and
// ports, and the port, hammer, keyboard and printer lines. Used by the
// runner's --dump-state.
#include <string>

#include "kernel/board.h"

namespace tallivo {

// `extraMembers`, when not empty, is inserted as further members of the
// top-level object (already formatted, without a leading comma).
std::string boardStateJson(const Board& board, const std::string& extraMembers = {});

// A JSON string literal for `text`.
std::string jsonString(const std::string& text);

}  // namespace tallivo
