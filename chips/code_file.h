#pragma once
// The code file: the firmware as text, one hexadecimal byte per line, with
// "@address" lines and "/" comments. Each ROM reads the whole file and keeps
// the bytes of its own 256-byte page.
#include <array>
#include <cstdint>
#include <functional>
#include <istream>
#include <string>

namespace tallivo {

using RomPage = std::array<std::uint8_t, 256>;

// Reads the text of a code file and reports every byte it gives, in file
// order: its load address (any 32-bit value: the caller decides which
// addresses exist), its value and the physical line (from 1) it stands on.
using CodeByteHandler = std::function<void(std::int32_t address, std::uint8_t value, int line)>;
void scanCodeStream(std::istream& in, const CodeByteHandler& onByte);

// Reads the text of a code file and stores into `image` the bytes whose load
// address falls in page `chipNumber`. Bytes of other pages are skipped.
void loadCodeStream(std::istream& in, int chipNumber, RomPage& image);

// Opens `path` and loads it as above; false when the file cannot be opened
// (the image is then left as it was).
bool loadCodeFile(const std::string& path, int chipNumber, RomPage& image);

}  // namespace tallivo
