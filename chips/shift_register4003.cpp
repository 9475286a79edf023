#include "chips/shift_register4003.h"

namespace tallivo {

int ShiftRegister4003::connect(Net* clockNet, Net* dataNet, Net* serialOutNet,
                               Net* parallelOutNets) {
    clockIn = clockNet;
    dataIn = dataNet;
    serialOut = serialOutNet;
    parallelOut = parallelOutNets;
    stages.fill(0);
    // A clock already high at the first period is not a rising edge.
    previousClock = 1;
    edgePending = false;
    shifted = false;
    if (serialOut) *serialOut = 0;
    return 0;
}

}  // namespace tallivo
