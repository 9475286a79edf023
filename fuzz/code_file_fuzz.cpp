// libFuzzer target for the ROM's code-file loader: any text, read for every
// chip of the board and for chip numbers that name no chip, must load without
// a crash or a write outside the 256-byte page.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "chips/code_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (int chip : {0, 1, 2, 3, 4, -1, 7, 15, 16}) {
        tallivo::RomPage first{};
        std::istringstream in(text);
        tallivo::loadCodeStream(in, chip, first);
        // Loading is a function of the text alone: a second load over a page
        // that already holds the result leaves it as it is.
        tallivo::RomPage second = first;
        std::istringstream again(text);
        tallivo::loadCodeStream(again, chip, second);
        if (second != first) std::abort();
    }
    return 0;
}
