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
    if (secondWordPending) {
        executeSecondCycle();
        secondWordPending = false;
        return;
    }
    std::uint8_t& reg = indexRegisters[opa];
    switch (opr) {
        case 0:  // NOP; 0x01-0x0F do nothing either
            break;
        case 1:  // JCN
        case 4:  // JUN
        case 5:  // JMS
        case 7:  // ISZ
            secondWordPending = true;
            break;
        case 2:  // FIM (even) takes its data word next; SRC (odd) did its work on the bus
            if ((opa & 1) == 0) secondWordPending = true;
            break;
        case 3:
            if ((opa & 1) == 0) {
                secondWordPending = true;  // FIN: the next cycle fetches the data byte
            } else {
                // JIN stays in the page of the word after it.
                jumpWithinPage(
                    static_cast<std::uint8_t>(indexRegisters[opa - 1u] << 4 | indexRegisters[opa]));
            }
            break;
        case 6:  // INC
            reg = static_cast<std::uint8_t>((reg + 1) & 15);
            break;
        case 8:  // ADD
            addWithCarryOut(accumulator + reg + carry);
            break;
        case 9:  // SUB: add the complements of the operand and of the borrow
            addWithCarryOut(accumulator + (15u - reg) + (1u - carry));
            break;
        case 10:  // LD
            accumulator = reg;
            break;
        case 11: {  // XCH
            const std::uint8_t old = accumulator;
            accumulator = reg;
            reg = old;
            break;
        }
        case 12:  // BBL
            stackPointer = static_cast<std::uint8_t>((stackPointer - 1) & 3);
            accumulator = opa;
            break;
        case 13:  // LDM
            accumulator = opa;
            break;
        case 14:
            executeIoGroup();
            break;
        default:
            executeAccumulatorGroup();
            break;
    }
}

void Cpu4004::executeSecondCycle() {
    switch (opr) {
        case 1: {  // JCN
            const bool term = ((opa & 4) && accumulator == 0) || ((opa & 2) && carry == 1) ||
                              ((opa & 1) && *test == 0);
            // C1 inverts the condition.
            if (term != ((opa & 8) != 0)) jumpWithinPage(secondWord);
            break;
        }
        case 2:  // FIM
        case 3:  // FIN, with the byte read in its fetch cycle
            indexRegisters[opa] = static_cast<std::uint8_t>(secondWord >> 4);
            indexRegisters[opa + 1u] = static_cast<std::uint8_t>(secondWord & 15);
            break;
        case 4:  // JUN
            pcRef() = static_cast<std::uint16_t>(opa << 8 | secondWord);
            break;
        case 5:  // JMS: the old entry keeps the return address
            stackPointer = static_cast<std::uint8_t>((stackPointer + 1) & 3);
            pcRef() = static_cast<std::uint16_t>(opa << 8 | secondWord);
            break;
        case 7: {  // ISZ
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
    // The writes (WRM ... WR3) were carried out by the memory chips from the
    // accumulator on the bus in X2; the reads left their value in x2Latch.
    switch (opa) {
        case 8:  // SBM
            addWithCarryOut(accumulator + (15u - x2Latch) + (1u - carry));
            break;
        case 11:  // ADM
            addWithCarryOut(accumulator + x2Latch + carry);
            break;
        case 9:   // RDM
        case 10:  // RDR
        case 12:
        case 13:
        case 14:
        case 15:  // RD0-RD3
            accumulator = x2Latch;
            break;
        default:
            break;
    }
}

void Cpu4004::executeAccumulatorGroup() {
    switch (opa) {
        case 0:  // CLB
            accumulator = 0;
            carry = 0;
            break;
        case 1:  // CLC
            carry = 0;
            break;
        case 2:  // IAC
            addWithCarryOut(accumulator + 1u);
            break;
        case 3:  // CMC
            carry = static_cast<std::uint8_t>(1 - carry);
            break;
        case 4:  // CMA
            accumulator = static_cast<std::uint8_t>(15 - accumulator);
            break;
        case 5:  // RAL
            addWithCarryOut(accumulator * 2u + carry);
            break;
        case 6: {  // RAR
            const std::uint8_t out = accumulator & 1;
            accumulator = static_cast<std::uint8_t>(carry * 8 + accumulator / 2);
            carry = out;
            break;
        }
        case 7:  // TCC
            accumulator = carry;
            carry = 0;
            break;
        case 8:  // DAC: carry 1 means no borrow
            addWithCarryOut(accumulator + 15u);
            break;
        case 9:  // TCS
            accumulator = carry == 1 ? 10 : 9;
            carry = 0;
            break;
        case 10:  // STC
            carry = 1;
            break;
        case 11: {  // DAA
            if (accumulator > 9 || carry == 1) {
                const unsigned sum = accumulator + 6u;
                if (sum > 15) carry = 1;
                accumulator = static_cast<std::uint8_t>(sum & 15);
            }
            break;
        }
        case 12: {  // KBP: one bit set gives its position plus one
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
        case 13: {  // DCL: 0 selects CM-RAM0; otherwise bits 0-2 pick CM-RAM1-3
            const unsigned bank = accumulator & 7u;
            cmRamSelect = static_cast<std::uint8_t>(bank == 0 ? 1 : bank << 1);
            break;
        }
        default:  // 0xFE, 0xFF do nothing
            break;
    }
}

}  // namespace tallivo
