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
    drum.connect(nets.HammerLine, &nets.PaperAdvance, &nets.HammerFire, &nets.RibbonRed, &nets.DrumIndex,
                 &nets.Test);
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
    rams[0].connect(0, 0, &n.DataBus, &n.Sync, &n.CmRam[0], &n.Reset, &n.RibbonRed,
                    &n.HammerFire, nullptr, &n.PaperAdvance);
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
    Component* const* front = front_.data();
    const int frontCount = frontCount_;
    for (std::uint64_t p = 0; p < periods; ++p) {
        if constexpr (kind == FrontKind::Any) {
            for (int f = 0; f < frontCount; ++f) front[f]->clockPhase1();
        } else {
            // Final phases: direct calls, inlined for the two panels.
            keys_->clockPhase1();
            drum_->clockPhase1();
            if constexpr (kind == FrontKind::PanelsAndRecorder) recorder_->clockPhase1();
        }
        cpu.clockPhase1();
        roms[0].clockPhase1();
        roms[1].clockPhase1();
        roms[2].clockPhase1();
        roms[3].clockPhase1();
        roms[4].clockPhase1();
        rams[0].clockPhase1();
        rams[1].clockPhase1();
        shiftRegisters[0].clockPhase1();
        shiftRegisters[1].clockPhase1();
        shiftRegisters[2].clockPhase1();
        monitor.clockPhase1();

        if constexpr (kind == FrontKind::Any) {
            for (int f = 0; f < frontCount; ++f) front[f]->clockPhase2();
        } else {
            keys_->clockPhase2();
            drum_->clockPhase2();
            if constexpr (kind == FrontKind::PanelsAndRecorder) recorder_->clockPhase2();
        }
        cpu.clockPhase2();
        roms[0].clockPhase2();
        roms[1].clockPhase2();
        roms[2].clockPhase2();
        roms[3].clockPhase2();
        roms[4].clockPhase2();
        rams[0].clockPhase2();
        rams[1].clockPhase2();
        shiftRegisters[0].clockPhase2();
        shiftRegisters[1].clockPhase2();
        shiftRegisters[2].clockPhase2();
        monitor.clockPhase2();
    }
}

}  // namespace tallivo
