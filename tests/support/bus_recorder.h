#pragma once
// Registered after every chip, this records what the bus held at the end of
// each phase 2, which is what every chip samples in the next phase 1, and the
// levels of the memory chips' port lines, both after every component's phase
// 1 of the period and at its end, so that a write made in the wrong phase or
// a period late shows.
#include <array>
#include <vector>

#include "kernel/board.h"

namespace tallivo::testing {

// A chip's four port lines as bits 0-3; an absent line reads as 0.
inline int portBits(const std::array<Net*, 4>& lines) {
    int bits = 0;
    for (int j = 0; j < 4; ++j)
        if (const Net* line = lines[static_cast<std::size_t>(j)]; line && *line != 0)
            bits |= 1 << j;
    return bits;
}

// ROM 0's output port and the two RAMs' ports: every line that WRR and WMP write.
struct PortLevels {
    int rom0 = 0;
    int ram0 = 0;
    int ram1 = 0;
    bool operator==(const PortLevels&) const = default;
};

struct BusSample {
    int phase;
    int dataBus;
    int cmRom;
    int cmRam0;
    int sync;
    int pc;
    PortLevels ports;             // at the end of the period
    PortLevels portsAfterPhase1;  // once every component's phase 1 has run
};

class BusRecorder final : public Component {
  public:
    explicit BusRecorder(Board& board) : board_(board) { board.registry.registerComponent(this); }
    int clockPhase1() override {
        afterPhase1_ = ports();
        return 0;
    }
    int clockPhase2() override {
        const BoardNets& n = board_.nets;
        samples.push_back({board_.cpu.phase, n.DataBus, n.CmRom, n.CmRam[0], n.Sync,
                           board_.cpu.pc(), ports(), afterPhase1_});
        return 0;
    }
    int shutdown() override { return 0; }

    // The samples of the instruction cycle whose A1 is the k-th A1 recorded.
    std::vector<BusSample> cycle(int k) const {
        std::vector<BusSample> out;
        int seen = -1;
        for (const BusSample& s : samples) {
            if (s.phase == kA1) ++seen;
            if (seen == k) out.push_back(s);
            if (seen > k) break;
        }
        return out;
    }

    std::vector<BusSample> samples;

  private:
    PortLevels ports() const {
        return {portBits(board_.roms[0].portLines), portBits(board_.rams[0].outputLines),
                portBits(board_.rams[1].outputLines)};
    }

    Board& board_;
    PortLevels afterPhase1_;
};

// One field of every sample of a cycle, A1 to X3, for comparing whole rows.
template <typename Field>
std::vector<int> column(const std::vector<BusSample>& cycle, Field field) {
    std::vector<int> out;
    for (const BusSample& s : cycle) out.push_back(field(s));
    return out;
}
inline std::vector<int> dataBusOf(const std::vector<BusSample>& cycle) {
    return column(cycle, [](const BusSample& s) { return s.dataBus; });
}
inline std::vector<int> cmRomOf(const std::vector<BusSample>& cycle) {
    return column(cycle, [](const BusSample& s) { return s.cmRom; });
}

}  // namespace tallivo::testing
