#pragma once
// The board's state as one JSON object: CPU registers, RAM contents and
// ports, and the port, hammer, keyboard and printer lines. Used by the
// runner's --dump-state.
#include <span>
#include <string>
#include <string_view>

#include "kernel/board.h"

namespace tallivo {

class KeyMatrix;

// `extraMembers`, when not empty, is inserted as further members of the
// top-level object (already formatted, without a leading comma).
std::string boardStateJson(const Board& board, const std::string& extraMembers = {});

// The front panel's members of the state: the lamps, the keys held (in the
// panel's order) and the paper, oldest line first.
std::string panelStateJson(const KeyMatrix& keys, std::span<const std::string> paper);

// The run's members of the state: the periods run since the warm-up, why
// the run stopped early ("breakpoint", "step"; empty: null, it ran to its
// end) and the printer drum's sector.
std::string runStateJson(std::uint64_t periodsRun, std::string_view stoppedBy, int drumSector);

// A JSON string literal for `text`.
std::string jsonString(const std::string& text);

}  // namespace tallivo
