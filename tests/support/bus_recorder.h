#pragma once
// Registered after every chip, this records what the bus held at the end of
// each phase 2, which is what every chip samples in the next phase 1.
#include <vector>

#include "kernel/board.h"

namespace tallivo::testing {

struct BusSample {
    int phase;
    int dataBus;
    int cmRom;
    int cmRam0;
    int sync;
    int pc;
};

class BusRecorder final : public Component {
public:
    explicit BusRecorder(Board& board) : board_(board) { board.registry.registerComponent(this); }
    int clockPhase1() override { return 0; }
    int clockPhase2() override {
        const BoardNets& n = board_.nets;
        samples.push_back({board_.cpu.phase, n.DataBus, n.CmRom, n.CmRam[0], n.Sync, board_.cpu.pc()});
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
    Board& board_;
};

}  // namespace tallivo::testing
