#pragma once
// A Net is one wire of the board: a single byte that several components reach
// through plain pointers. A line carries 0 or 1 (any non-zero value reads as
// high); the data bus carries a 4-bit value. There is no floating state and no
// resolution between drivers: the last write in call order stands.
#include <cstdint>

namespace tallivo {

using Net = std::uint8_t;

}  // namespace tallivo
