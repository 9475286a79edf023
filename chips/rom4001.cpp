#include "chips/rom4001.h"

#include "kernel/platform.h"

namespace tallivo {

int Rom4001::connect(const std::string& codeFile, int chipNumberValue, int ioMaskValue,
                     Net* dataBusNet, Net* syncNet, Net* cmRomNet, Net* resetNet, Net* port0,
                     Net* port1, Net* port2, Net* port3) {
    chipNumber = chipNumberValue;
    ioMask = static_cast<std::uint8_t>(ioMaskValue & 0xFF);
    dataBus = dataBusNet;
    syncIn = syncNet;
    cmRom = cmRomNet;
    reset = resetNet;
    portLines = {port0, port1, port2, port3};
    romSelected = false;
    ioSelected = false;
    updateDrivePhases();
    if (!loadCodeFile(codeFile, chipNumber, image)) {
        platform().showMessage("ERROR: Unable to initialize ROM, does code file exist?");
        return 1;
    }
    return 0;
}

}  // namespace tallivo
