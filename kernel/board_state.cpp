#include "kernel/board_state.h"

#include <cstdio>
#include <sstream>

#include "panel/key_matrix.h"

namespace tallivo {

namespace {

template <typename Range, typename Convert>
void writeArray(std::ostringstream& out, const Range& values, Convert convert) {
    out << '[';
    bool first = true;
    for (const auto& v : values) {
        if (!first) out << ',';
        first = false;
        out << convert(v);
    }
    out << ']';
}

int asInt(unsigned v) {
    return static_cast<int>(v);
}
// An absent line reads as 0.
int lineLevel(const Net* line) {
    return line ? *line : 0;
}

template <std::size_t N>
void writeNets(std::ostringstream& out, const Net (&nets)[N]) {
    out << '[';
    for (std::size_t i = 0; i < N; ++i) out << (i ? "," : "") << int{nets[i]};
    out << ']';
}

}  // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string boardStateJson(const Board& board, const std::string& extraMembers) {
    const Cpu4004& cpu = board.cpu;
    const BoardNets& n = board.nets;
    std::ostringstream out;
    out << "{\"cpu\":{\"accumulator\":" << int{cpu.accumulator} << ",\"carry\":" << int{cpu.carry}
        << ",\"indexRegisters\":";
    writeArray(out, cpu.indexRegisters, asInt);
    out << ",\"addressStack\":";
    writeArray(out, cpu.addressStack, asInt);
    out << ",\"stackPointer\":" << int{cpu.stackPointer} << ",\"pc\":" << cpu.pc()
        << ",\"cmRamSelect\":" << int{cpu.cmRamSelect} << "},\"ram\":[";
    for (std::size_t r = 0; r < board.rams.size(); ++r) {
        const Ram4002& ram = board.rams[r];
        out << (r ? "," : "") << "{\"mainMemory\":";
        writeArray(out, ram.mainMemory, asInt);
        out << ",\"statusMemory\":";
        writeArray(out, ram.statusMemory, asInt);
        out << ",\"outputLines\":";
        writeArray(out, ram.outputLines, lineLevel);
        out << '}';
    }
    out << "],\"romPortLines\":[";
    for (std::size_t r = 0; r < board.roms.size(); ++r) {
        out << (r ? "," : "");
        writeArray(out, board.roms[r].portLines, lineLevel);
    }
    out << "],\"hammerLines\":";
    writeNets(out, n.HammerLine);
    out << ",\"keyColumns\":";
    writeNets(out, n.KeyColumn);
    out << ",\"keyRows\":";
    writeNets(out, n.KeyRow);
    out << ",\"nets\":{\"Test\":" << int{n.Test} << ",\"DrumIndex\":" << int{n.DrumIndex}
        << ",\"RibbonRed\":" << int{n.RibbonRed} << ",\"HammerFire\":" << int{n.HammerFire}
        << ",\"PaperAdvance\":" << int{n.PaperAdvance} << ",\"LampM\":" << int{n.LampM}
        << ",\"LampOVF\":" << int{n.LampOVF} << ",\"LampNEG\":" << int{n.LampNEG} << '}';
    if (!extraMembers.empty()) out << ',' << extraMembers;
    out << "}\n";
    return out.str();
}

std::string runStateJson(std::uint64_t periodsRun, std::string_view stoppedBy, int drumSector) {
    return "\"periodsRun\":" + std::to_string(periodsRun) + ",\"stoppedBy\":" +
           (stoppedBy.empty() ? std::string("null") : jsonString(std::string(stoppedBy))) +
           ",\"drumSector\":" + std::to_string(drumSector);
}

std::string panelStateJson(const KeyMatrix& keys, std::span<const std::string> paper) {
    std::string json = "\"lamps\":{\"M\":" + std::to_string(keys.lampM() ? 1 : 0) +
                       ",\"OVF\":" + std::to_string(keys.lampOvf() ? 1 : 0) +
                       ",\"NEG\":" + std::to_string(keys.lampNeg() ? 1 : 0) + "},\"keysDown\":[";
    bool first = true;
    for (int key = 0; key < KeyMatrix::kKeyCount; ++key) {
        if (!keys.keyIsDown(key)) continue;
        if (!first) json += ',';
        json += jsonString(std::string(KeyMatrix::keyCaption(key)));
        first = false;
    }
    json += "],\"paper\":[";
    for (std::size_t i = 0; i < paper.size(); ++i) {
        if (i != 0) json += ',';
        json += jsonString(paper[i]);
    }
    return json + "]";
}

}  // namespace tallivo
