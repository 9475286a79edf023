#include "kernel/board.h"

namespace tallivo {

void Board::registerFront(Component* component) {
    if (frontCount_ < kMaxFront) front_[static_cast<std::size_t>(frontCount_++)] = component;
    registry.registerComponent(component);
}

void Board::registerFront(KeyMatrix* keys) {
    keys_ = keys;
    registerFront(static_cast<Component*>(keys));
}

void Board::registerFront(PrinterDrum* drum) {
    drum_ = drum;
    registerFront(static_cast<Component*>(drum));
}

void Board::registerFront(FlowchartRecorder* recorder) {
    recorder_ = recorder;
    registerFront(static_cast<Component*>(recorder));
}

void Board::connectKeyboard(KeyMatrix& keys) {
    keys.connect(nets.KeyColumn, nets.KeyRow, &nets.LampM, &nets.LampOVF, &nets.LampNEG);
    registerFront(&keys);
}

void Board::connectPrinter(PrinterDrum& drum) {
    drum.connect(nets.HammerLine, &nets.PaperAdvance, &nets.HammerFire, &nets.RibbonRed,
                 &nets.DrumIndex, &nets.Test);
    registerFront(&drum);
}

void Board::connectRecorder(FlowchartRecorder& recorder, int hitValue) {
    recorder.start(hitValue, &nets.DataBus, &nets.Sync, &nets.Test, &nets.Reset);
    registerFront(&recorder);
}

int Board::connectChips(const BoardSettings& s) {
    BoardNets& n = nets;
    cpu.connect(&n.DataBus, &n.Sync, &n.Test, &n.CmRom, n.CmRam, &n.Reset);
    registry.registerComponent(&cpu);

    // ROM 0's lines are outputs written by WRR; ROMs 1-4 have input ports.
    if (roms[0].connect(s.codeFile, 0, 15, &n.DataBus, &n.Sync, &n.CmRom, &n.Reset,
                        &n.KeyShiftClock, &n.ShiftData, &n.PrinterShiftClock, nullptr) != 0) {
        return 1;
    }
    roms[1].connect(s.codeFile, 1, 0, &n.DataBus, &n.Sync, &n.CmRom, &n.Reset, &n.KeyRow[0],
                    &n.KeyRow[1], &n.KeyRow[2], &n.KeyRow[3]);
    roms[2].connect(s.codeFile, 2, 0, &n.DataBus, &n.Sync, &n.CmRom, &n.Reset, &n.DrumIndex,
                    nullptr, nullptr, nullptr);
    roms[3].connect(s.codeFile, 3, 0, &n.DataBus, &n.Sync, &n.CmRom, &n.Reset, nullptr, nullptr,
                    nullptr, nullptr);
    roms[4].connect(s.codeFile, 4, 0, &n.DataBus, &n.Sync, &n.CmRom, &n.Reset, nullptr, nullptr,
                    nullptr, nullptr);
    for (Rom4001& rom : roms) registry.registerComponent(&rom);

    // Both RAMs sit on CM-RAM0; P0 tells them apart.
    rams[0].connect(0, 0, &n.DataBus, &n.Sync, &n.CmRam[0], &n.Reset, &n.RibbonRed, &n.HammerFire,
                    nullptr, &n.PaperAdvance);
    rams[1].connect(1, 0, &n.DataBus, &n.Sync, &n.CmRam[0], &n.Reset, &n.LampM, &n.LampOVF,
                    &n.LampNEG, nullptr);
    for (Ram4002& ram : rams) registry.registerComponent(&ram);

    // Registers 0 and 1 form the 20-stage hammer chain; 2 drives the keyboard columns.
    shiftRegisters[0].connect(&n.PrinterShiftClock, &n.ShiftData, &n.ShiftCarry, &n.HammerLine[0]);
    shiftRegisters[1].connect(&n.PrinterShiftClock, &n.ShiftCarry, nullptr, &n.HammerLine[10]);
    shiftRegisters[2].connect(&n.KeyShiftClock, &n.ShiftData, nullptr, n.KeyColumn);
    for (ShiftRegister4003& sr : shiftRegisters) registry.registerComponent(&sr);

    monitor.connect(s.traceFile, s.traceLimit, s.page3Filter, s.traceStart, &n.DataBus, &n.Sync,
                    &n.Reset);
    registry.registerComponent(&monitor);
    return 0;
}

void Board::holdReset(int periods) {
    nets.Reset = 1;
    for (int i = 0; i < periods; ++i) stepClock();
    nets.Reset = 0;
}

bool Board::layoutIsStandard() const {
    constexpr int kChips = 1 + 5 + 2 + 3 + 1;
    if (registry.count() != frontCount_ + kChips) return false;
    int i = 0;
    for (int f = 0; f < frontCount_; ++f)
        if (registry.at(i++) != front_[static_cast<std::size_t>(f)]) return false;
    if (registry.at(i++) != &cpu) return false;
    for (const Rom4001& rom : roms)
        if (registry.at(i++) != &rom) return false;
    for (const Ram4002& ram : rams)
        if (registry.at(i++) != &ram) return false;
    for (const ShiftRegister4003& sr : shiftRegisters)
        if (registry.at(i++) != &sr) return false;
    return registry.at(i) == &monitor;
}

Board::FrontKind Board::frontKind() const {
    const auto at = [this](int f) { return front_[static_cast<std::size_t>(f)]; };
    if (frontCount_ == 0) return FrontKind::None;
    if (keys_ == nullptr || drum_ == nullptr || frontCount_ < 2) return FrontKind::Any;
    if (at(0) != static_cast<Component*>(keys_) || at(1) != static_cast<Component*>(drum_))
        return FrontKind::Any;
    if (frontCount_ == 2) return FrontKind::Panels;
    if (frontCount_ == 3 && recorder_ != nullptr && at(2) == static_cast<Component*>(recorder_))
        return FrontKind::PanelsAndRecorder;
    return FrontKind::Any;
}

void Board::run(std::uint64_t periods) {
    if (!layoutIsStandard()) {
        for (std::uint64_t p = 0; p < periods; ++p) registry.stepClock();
        return;
    }
    switch (frontKind()) {
        case FrontKind::None:
            runFast<FrontKind::None>(periods);
            break;
        case FrontKind::Panels:
            runFast<FrontKind::Panels>(periods);
            break;
        case FrontKind::PanelsAndRecorder:
            runFast<FrontKind::PanelsAndRecorder>(periods);
            break;
        case FrontKind::Any:
            runFast<FrontKind::Any>(periods);
            break;
    }
}

template <Board::FrontKind kind>
void Board::runFast(std::uint64_t periods) {
    if constexpr (kind != FrontKind::Any) {
        // Reset is driven by no component: while it is high the whole run
        // goes period by period, as the chips clear themselves.
        if (nets.Reset == 0) {
            // After Reset, or where something outside the run has moved a
            // Net, a few periods one by one bring the chips into step.
            while (periods > 0 && !cyclesReady<kind>()) {
                runPeriods<kind>(1);
                --periods;
            }
            if (periods == 0) return;
            if (monitor.tracing()) {
                runCycles<kind, true>(periods);
            } else {
                runCycles<kind, false>(periods);
            }
            return;
        }
    }
    runPeriods<kind>(periods);
}

template <Board::FrontKind kind, int clockPhase>
void Board::clockEvery() {
    const auto clock = [](auto& component) {
        if constexpr (clockPhase == 1) {
            component.clockPhase1();
        } else {
            component.clockPhase2();
        }
    };
    if constexpr (kind == FrontKind::Any) {
        for (int f = 0; f < frontCount_; ++f) clock(*front_[static_cast<std::size_t>(f)]);
    } else if constexpr (kind != FrontKind::None) {
        // Final phases: direct calls, inlined for the two panels.
        clock(*keys_);
        clock(*drum_);
        if constexpr (kind == FrontKind::PanelsAndRecorder) clock(*recorder_);
    }
    clock(cpu);
    for (Rom4001& rom : roms) clock(rom);
    for (Ram4002& ram : rams) clock(ram);
    for (ShiftRegister4003& shiftRegister : shiftRegisters) clock(shiftRegister);
    clock(monitor);
}

template <Board::FrontKind kind>
void Board::runPeriods(std::uint64_t periods) {
    for (std::uint64_t p = 0; p < periods; ++p) {
        clockEvery<kind, 1>();
        clockEvery<kind, 2>();
    }
}

template <Board::FrontKind kind>
bool Board::cyclesReady() const {
    // Reset low, and the CPU inside a cycle with Sync as it drove it: high
    // only into X3.
    if (nets.Reset != 0) return false;
    const std::int32_t p = cpu.phase;
    if (p < kA1 || p > kX3 || nets.Sync != (p == kX3 ? 1 : 0)) return false;
    // Every cycle follower at the same phase.
    for (const Rom4001& rom : roms)
        if (rom.phase != p) return false;
    for (const Ram4002& ram : rams)
        if (ram.phase != p) return false;
    if (monitor.phase != p) return false;
    if constexpr (kind == FrontKind::PanelsAndRecorder) {
        const FlowchartRecorder& r = *recorder_;
        if (r.phase != p || r.syncIn != &nets.Sync || r.dataBusNet != &nets.DataBus ||
            r.resetNet != &nets.Reset)
            return false;
    }
    if constexpr (kind == FrontKind::Panels || kind == FrontKind::PanelsAndRecorder) {
        // The panels drive only the key rows and the drum's two lines, none
        // of which a shift register or the bus depends on.
        if (keys_->rowNets != nullptr && keys_->rowNets != nets.KeyRow) return false;
        if (drum_->testNet != nullptr && drum_->testNet != &nets.Test) return false;
        if (drum_->drumIndexNet != nullptr && drum_->drumIndexNet != &nets.DrumIndex) return false;
    }
    // The shift registers' outputs show their stages, and outside the three
    // periods after the port write they are at rest.
    const bool shiftersMove = p == kX3 || p == kA1 || p == kA2;
    for (const ShiftRegister4003& sr : shiftRegisters) {
        if (!sr.outputsShown()) return false;
        if (!shiftersMove && !sr.atRest()) return false;
    }
    return true;
}

template <Board::FrontKind kind, bool tracing, std::int32_t P>
inline void Board::cyclePeriod() {
    // The phase that phase 2 enters: SYNC, driven into X3, starts a cycle.
    constexpr std::int32_t next = P == kX3 ? kA1 : P + 1;
    // ROM 0 writes the shift registers' clock lines only into X3: they see
    // an edge at the end of X3, shift at the end of A1 and settle in A2.
    constexpr bool shiftersMove = P == kX3 || P == kA1 || P == kA2;

    // Phase 1, in registration order. Nothing drives the bus in phase 1.
    if constexpr (kind == FrontKind::Panels || kind == FrontKind::PanelsAndRecorder) {
        keys_->clockPhase1();
        drum_->clockPhase1();
    }
    const Net bus = nets.DataBus;
    if constexpr (kind == FrontKind::PanelsAndRecorder) recorder_->sampleAt<P>(bus);
    cpu.sampleAt<P>(bus);
    roms[0].sampleAt<P>(bus);
    roms[1].sampleAt<P>(bus);
    roms[2].sampleAt<P>(bus);
    roms[3].sampleAt<P>(bus);
    roms[4].sampleAt<P>(bus);
    rams[0].sampleAt<P>(bus);
    rams[1].sampleAt<P>(bus);
    if constexpr (shiftersMove) {
        shiftRegisters[0].clockPhase1();
        shiftRegisters[1].clockPhase1();
        shiftRegisters[2].clockPhase1();
    }
    if constexpr (tracing) {
        monitor.clockPhase1();
    } else {
        monitor.sampleAt<P>(bus);
    }

    // Phase 2.
    if constexpr (kind == FrontKind::Panels || kind == FrontKind::PanelsAndRecorder) {
        keys_->clockPhase2();
        drum_->clockPhase2();
    }
    if constexpr (kind == FrontKind::PanelsAndRecorder) recorder_->followTest();
    cpu.driveAt<next>();
    roms[0].driveAt<next>();
    roms[1].driveAt<next>();
    roms[2].driveAt<next>();
    roms[3].driveAt<next>();
    roms[4].driveAt<next>();
    rams[0].driveAt<next>();
    rams[1].driveAt<next>();
    if constexpr (shiftersMove) {
        shiftRegisters[0].driveChanges();
        shiftRegisters[1].driveChanges();
        shiftRegisters[2].driveChanges();
    }
    if constexpr (tracing) monitor.clockPhase2();
}

template <Board::FrontKind kind, bool tracing>
void Board::runCycles(std::uint64_t periods) {
    // In at the phase the chips hold, round the cycle, out wherever the
    // periods end.
    std::int32_t p = cpu.phase;
#define TALLIVO_PERIOD(P, NEXT)          \
    case P:                              \
        cyclePeriod<kind, tracing, P>(); \
        if (--periods == 0) {            \
            p = NEXT;                    \
            break;                       \
        }                                \
        [[fallthrough]]
    while (periods > 0) {
        switch (p) {
            TALLIVO_PERIOD(kA1, kA2);
            TALLIVO_PERIOD(kA2, kA3);
            TALLIVO_PERIOD(kA3, kM1);
            TALLIVO_PERIOD(kM1, kM2);
            TALLIVO_PERIOD(kM2, kX1);
            TALLIVO_PERIOD(kX1, kX2);
            TALLIVO_PERIOD(kX2, kX3);
            case kX3:
                cyclePeriod<kind, tracing, kX3>();
                --periods;
                p = kA1;
                break;
            default:
                break;
        }
    }
#undef TALLIVO_PERIOD
    // The counters as the skipped calls would have left them: SYNC was
    // latched high in the last period exactly when it was X3's.
    const std::uint8_t latched = p == kA1 ? 1 : 0;
    const auto settle = [p, latched](Component& c) {
        c.phase = p;
        c.syncLatch = latched;
    };
    settle(cpu);
    for (Rom4001& rom : roms) settle(rom);
    for (Ram4002& ram : rams) settle(ram);
    if constexpr (!tracing) settle(monitor);
    if constexpr (kind == FrontKind::PanelsAndRecorder) settle(*recorder_);
}

}  // namespace tallivo
