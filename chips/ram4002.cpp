#include "chips/ram4002.h"

namespace tallivo {

int Ram4002::connect(int pinP0Value, int metalOptionValue, Net* dataBusNet, Net* syncNet,
                     Net* cmRamNet, Net* resetNet, Net* out0, Net* out1, Net* out2, Net* out3) {
    pinP0 = static_cast<std::uint8_t>(pinP0Value);
    metalOption = static_cast<std::uint8_t>(metalOptionValue);
    dataBus = dataBusNet;
    syncIn = syncNet;
    cmRam = cmRamNet;
    reset = resetNet;
    outputLines = {out0, out1, out2, out3};
    selected = false;
    return 0;
}

void Ram4002::writeAtX2() {
    const Net value = *dataBus;
    if (ioOpa == isa::kWrm) {
        mainMemory[mainIndex()] = value;
    } else if (ioOpa == isa::kWmp) {  // every present line, no mask
        for (int j = 0; j < 4; ++j) {
            if (Net* line = outputLines[static_cast<std::size_t>(j)])
                *line = static_cast<Net>((value >> j) & 1);
        }
    } else if (ioOpa >= isa::kWr0 && ioOpa <= isa::kWr3) {
        statusMemory[statusIndex(ioOpa - isa::kWr0)] = value;
    }
}

void Ram4002::resetChip() {
    for (Net* line : outputLines)
        if (line) *line = 0;
    mainMemory.fill(0);
    statusMemory.fill(0);
    srcHigh = 0;
    characterIndex = 0;
    selected = false;
    srcPending = false;
}

}  // namespace tallivo
