#include "chips/cpu4004.h"

namespace tallivo {

int Cpu4004::connect(Net* dataBusNet, Net* syncNet, Net* testNet, Net* cmRomNet, Net* cmRamNets,
                     Net* resetNet) {
    dataBus = dataBusNet;
    syncIn = syncNet;
    test = testNet;
    cmRom = cmRomNet;
    cmRam = cmRamNets;
    reset = resetNet;
    resetRegisters();
    return 0;
}

void Cpu4004::resetRegisters() {
    *syncIn = 0;
    *dataBus = 0;
    releaseCommandLines();
    accumulator = 0;
    carry = 0;
    indexRegisters.fill(0);
    addressStack.fill(0);
    stackPointer = 0;
    opr = 0;
    opa = 0;
    secondWordPending = false;
    cmRamSelect = 1;
}

void Cpu4004::execute() {
    using namespace isa;
    if (secondWordPending) {
        executeSecondCycle();
        secondWordPending = false;
        return;
    }
    std::uint8_t& reg = indexRegisters[opa];
    switch (opr) {
        case kNop:  // and 0x01-0x0F, which do nothing either
            break;
        case kJcn:
        case kJun:
        case kJms:
        case kIsz:
            secondWordPending = true;
            break;
        case kFimSrc:  // FIM (even) takes its data word next; SRC (odd) did its work on the bus
            if ((opa & 1) == 0) secondWordPending = true;
            break;
        case kFinJin:
            if ((opa & 1) == 0) {
                secondWordPending = true;  // FIN: the next cycle fetches the data byte
            } else {
                // JIN stays in the page of the word after it.
                jumpWithinPage(
                    static_cast<std::uint8_t>(indexRegisters[opa - 1u] << 4 | indexRegisters[opa]));
            }
            break;
        case kInc:
            reg = static_cast<std::uint8_t>((reg + 1) & 15);
            break;
        case kAdd:
            addWithCarryOut(accumulator + reg + carry);
            break;
        case kSub:  // add the complements of the operand and of the borrow
            addWithCarryOut(accumulator + (15u - reg) + (1u - carry));
            break;
        case kLd:
            accumulator = reg;
            break;
        case kXch: {
            const std::uint8_t old = accumulator;
            accumulator = reg;
            reg = old;
            break;
        }
        case kBbl:
            stackPointer = static_cast<std::uint8_t>((stackPointer - 1) & 3);
            accumulator = opa;
            break;
        case kLdm:
            accumulator = opa;
            break;
        case kIoGroup:
            executeIoGroup();
            break;
        default:
            executeAccumulatorGroup();
            break;
    }
}

void Cpu4004::executeSecondCycle() {
    using namespace isa;
    switch (opr) {
        case kJcn: {
            const bool term = ((opa & kConditionAccumulatorZero) && accumulator == 0) ||
                              ((opa & kConditionCarry) && carry == 1) ||
                              ((opa & kConditionTestLow) && *test == 0);
            if (term != ((opa & kConditionInvert) != 0)) jumpWithinPage(secondWord);
            break;
        }
        case kFimSrc:  // FIM
        case kFinJin:  // FIN, with the byte read in its fetch cycle
            indexRegisters[opa] = static_cast<std::uint8_t>(secondWord >> 4);
            indexRegisters[opa + 1u] = static_cast<std::uint8_t>(secondWord & 15);
            break;
        case kJun:
            pcRef() = static_cast<std::uint16_t>(opa << 8 | secondWord);
            break;
        case kJms:  // the old entry keeps the return address
            stackPointer = static_cast<std::uint8_t>((stackPointer + 1) & 3);
            pcRef() = static_cast<std::uint16_t>(opa << 8 | secondWord);
            break;
        case kIsz: {
            std::uint8_t& reg = indexRegisters[opa];
            reg = static_cast<std::uint8_t>((reg + 1) & 15);
            if (reg != 0) jumpWithinPage(secondWord);
            break;
        }
        default:
            break;
    }
}

void Cpu4004::executeIoGroup() {
    using namespace isa;
    // The writes (WRM ... WR3) were carried out by the memory chips from the
    // accumulator on the bus in X2; the reads left their value in x2Latch.
    switch (opa) {
        case kSbm:
            addWithCarryOut(accumulator + (15u - x2Latch) + (1u - carry));
            break;
        case kAdm:
            addWithCarryOut(accumulator + x2Latch + carry);
            break;
        case kRdm:
        case kRdr:
        case kRd0:
        case kRd1:
        case kRd2:
        case kRd3:
            accumulator = x2Latch;
            break;
        default:
            break;
    }
}

void Cpu4004::executeAccumulatorGroup() {
    using namespace isa;
    switch (opa) {
        case kClb:
            accumulator = 0;
            carry = 0;
            break;
        case kClc:
            carry = 0;
            break;
        case kIac:
            addWithCarryOut(accumulator + 1u);
            break;
        case kCmc:
            carry = static_cast<std::uint8_t>(1 - carry);
            break;
        case kCma:
            accumulator = static_cast<std::uint8_t>(15 - accumulator);
            break;
        case kRal:
            addWithCarryOut(accumulator * 2u + carry);
            break;
        case kRar: {
            const std::uint8_t out = accumulator & 1;
            accumulator = static_cast<std::uint8_t>(carry * 8 + accumulator / 2);
            carry = out;
            break;
        }
        case kTcc:
            accumulator = carry;
            carry = 0;
            break;
        case kDac:  // carry 1 means no borrow
            addWithCarryOut(accumulator + 15u);
            break;
        case kTcs:
            accumulator = carry == 1 ? 10 : 9;
            carry = 0;
            break;
        case kStc:
            carry = 1;
            break;
        case kDaa: {
            if (accumulator > 9 || carry == 1) {
                const unsigned sum = accumulator + 6u;
                if (sum > 15) carry = 1;
                accumulator = static_cast<std::uint8_t>(sum & 15);
            }
            break;
        }
        case kKbp: {  // one bit set gives its position plus one
            switch (accumulator) {
                case 0:
                case 1:
                case 2:
                    break;
                case 4:
                    accumulator = 3;
                    break;
                case 8:
                    accumulator = 4;
                    break;
                default:
                    accumulator = 15;
                    break;
            }
            break;
        }
        case kDcl: {  // 0 selects CM-RAM0; otherwise bits 0-2 pick CM-RAM1-3
            const unsigned bank = accumulator & 7u;
            cmRamSelect = static_cast<std::uint8_t>(bank == 0 ? 1 : bank << 1);
            break;
        }
        default:  // 0xFE, 0xFF do nothing
            break;
    }
}

}  // namespace tallivo
