#include "asm/disassembler.h"

#include <bitset>
#include <optional>

#include "asm/hex_text.h"
#include "asm/mnemonics.h"

namespace tallivo::assembler {

namespace {

struct Decoded {
    const isa::Instruction* mnemonic = nullptr;  // nullptr: emit the word as db
    int size = 1;
    std::optional<int> target;  // full address of a jump
};

Decoded decodeAt(const RomImage& image, int address) {
    Decoded d;
    const std::uint8_t word = image.at(address);
    const isa::Instruction* m = isa::decode(word);
    if (m == nullptr) return d;
    if (m->words == 2) {
        // A second word outside the image would make the instruction claim
        // a byte the image doesn't have.
        if (address + 1 >= kRomEnd || !image.has(address + 1)) return d;
        d.size = 2;
        const int second = image.at(address + 1);
        if (m->operand == isa::OperandKind::Address12) d.target = (word & 0x0F) << 8 | second;
        // JCN and ISZ stay on the page of the word after the instruction.
        if (m->operand == isa::OperandKind::ConditionAddress ||
            m->operand == isa::OperandKind::RegisterAddress)
            d.target = ((address + 2) & 0xF00) | second;
    }
    d.mnemonic = m;
    return d;
}

std::string labelName(int address) {
    return "L" + hexDigits(address, 3);
}

class Writer {
  public:
    explicit Writer(const RomImage& image) : image_(image) {}

    std::string run(const std::string& title) {
        findLabels();
        out_ = "; disassembly of ";
        // A line end in the title would end the comment early.
        for (char c : title) out_ += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        out_ += "\n";
        int next = -1;
        for (int address = 0; address < kRomEnd;) {
            if (!image_.has(address)) {
                ++address;
                continue;
            }
            if (address != next) out_ += "\n        org 0x" + hexDigits(address, 3) + "\n";
            const Decoded d = decodeAt(image_, address);
            line(address, d);
            address += d.size;
            next = address;
        }
        return out_;
    }

  private:
    // A jump target gets a label only where a line of the output starts.
    void findLabels() {
        std::bitset<kRomEnd> starts;
        std::bitset<kRomEnd> targets;
        for (int address = 0; address < kRomEnd;) {
            if (!image_.has(address)) {
                ++address;
                continue;
            }
            const Decoded d = decodeAt(image_, address);
            starts.set(static_cast<std::size_t>(address));
            if (d.target && *d.target < kRomEnd) targets.set(static_cast<std::size_t>(*d.target));
            address += d.size;
        }
        labels_ = starts & targets;
    }

    std::string address(int target) const {
        if (target < kRomEnd && labels_.test(static_cast<std::size_t>(target)))
            return labelName(target);
        return "0x" + hexDigits(target, 3);
    }

    std::string operands(int at, const Decoded& d) const {
        const int opa = image_.at(at) & 0x0F;
        switch (d.mnemonic->operand) {
            case isa::OperandKind::None:
                return "";
            case isa::OperandKind::Register:
                return "R" + std::to_string(opa);
            case isa::OperandKind::Pair:
                return "P" + std::to_string(opa / 2);
            case isa::OperandKind::Data4:
                return std::to_string(opa);
            case isa::OperandKind::PairData8:
                return "P" + std::to_string(opa / 2) + ", 0x" + hexDigits(image_.at(at + 1), 2);
            case isa::OperandKind::ConditionAddress: {
                const std::string_view letters = conditionLetters(opa);
                return (letters.empty() ? std::to_string(opa) : std::string(letters)) + ", " +
                       address(*d.target);
            }
            case isa::OperandKind::RegisterAddress:
                return "R" + std::to_string(opa) + ", " + address(*d.target);
            case isa::OperandKind::Address12:
                return address(*d.target);
        }
        return "";
    }

    void line(int at, const Decoded& d) {
        std::string text = labels_.test(static_cast<std::size_t>(at)) ? labelName(at) + ":" : "";
        text.resize(8, ' ');
        if (d.mnemonic == nullptr) {
            text += "db 0x" + hexDigits(image_.at(at), 2);
        } else {
            text += std::string(d.mnemonic->name);
            const std::string args = operands(at, d);
            if (!args.empty()) text += " " + args;
        }
        if (text.size() < 32) text.resize(32, ' ');
        text += " ; " + hexDigits(at, 3) + ":";
        for (int i = 0; i < d.size; ++i) text += " " + hexDigits(image_.at(at + i), 2);
        out_ += text + "\n";
    }

    const RomImage& image_;
    std::bitset<kRomEnd> labels_;
    std::string out_;
};

}  // namespace

std::string disassemble(const RomImage& image, const std::string& title) {
    return Writer(image).run(title);
}

}  // namespace tallivo::assembler
