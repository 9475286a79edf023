// The board's run loop against stepClock through the registry, on random
// programs with the keyboard, the printer and the flowchart recorder in front
// and keys pressed at random periods: every Net and every component's state
// must agree after every stretch that the run loop runs, however short.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "panel/paper_roll.h"
#include "tests/support/files.h"
#include "tests/support/test_board.h"

namespace tallivo::testing {
namespace {

// A program for the five ROMs, built from pieces that make the board busy:
// port writes that walk the key columns, load and fire the hammers and feed
// the paper; RAM reads and writes; key row and drum reads; tests of TEST;
// jumps and calls anywhere in the five ROMs and into 0x300 and 0x302, where
// the recorder starts counting; and plain random bytes between them.
Blocks randomProgram(std::mt19937& random) {
    std::vector<std::uint8_t> image(0x500);
    const auto pick = [&random](unsigned n) { return static_cast<std::uint8_t>(random() % n); };
    const auto anywhere = [&] { return static_cast<std::uint16_t>(random() % 0x500); };
    std::size_t a = 0;
    const auto put = [&](std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes)
            if (a < image.size()) image[a++] = b;
    };
    while (a < image.size()) {
        switch (pick(12)) {
            case 0:
            case 1:
            case 2:
            case 3:
            case 4: {
                // FIM P1 to a chip and register; SRC P1; LDM; an I/O
                // instruction. ROM 0's port (the shift registers' clocks and
                // data) and RAM 0's and RAM 1's (hammers, paper, lamps) most.
                static constexpr std::uint8_t kIo[] = {0xE0, 0xE1, 0xE4, 0xE7, 0xE8,
                                                       0xE9, 0xEA, 0xEB, 0xEC, 0xEF};
                const unsigned kind = pick(4);
                std::uint8_t chip = static_cast<std::uint8_t>(pick(8) << 4 | pick(16));
                std::uint8_t io = kIo[pick(sizeof kIo)];
                if (kind == 0) {
                    chip = 0x00;  // ROM 0: WRR
                    io = 0xE2;
                } else if (kind == 1) {
                    chip = static_cast<std::uint8_t>(pick(8) << 4);  // RAM 0 or 1: WMP
                    io = 0xE1;
                }
                put({0x22, chip, 0x23, static_cast<std::uint8_t>(0xD0 | pick(16)), io});
                break;
            }
            case 5: {
                const std::uint16_t target =
                    pick(3) == 0 ? static_cast<std::uint16_t>(0x300 + 2 * pick(2)) : anywhere();
                put({static_cast<std::uint8_t>((pick(2) == 0 ? 0x40 : 0x50) | target >> 8),
                     static_cast<std::uint8_t>(target & 0xFF)});
                break;
            }
            case 6:
                // JCN on TEST (either sense) or on the accumulator, within the page.
                put({static_cast<std::uint8_t>(0x10 | (pick(2) == 0 ? 0x1 : 0x9) | (pick(2) << 2)),
                     pick(256)});
                break;
            case 7:
                put({static_cast<std::uint8_t>(0xC0 | pick(16))});  // BBL: back from a call
                break;
            default: {
                // JUN and JMS stay in the five ROMs: the pages above them
                // answer nothing, and a run there would test little. The
                // loops of JCN, JIN and ISZ come only from the pieces above,
                // so that the program keeps moving through its port writes.
                auto byte = pick(256);
                const int opr = byte >> 4;
                if (opr == 4 || opr == 5) byte = static_cast<std::uint8_t>((byte & 0xF0) | pick(5));
                if (opr == 1 || opr == 7 || (opr == 3 && (byte & 1) != 0))
                    byte = static_cast<std::uint8_t>(byte & 0x0F);
                put({byte});
                break;
            }
        }
    }
    // The last page runs on into the first rather than past the ROMs.
    image[0x4FE] = 0x40;
    image[0x4FF] = 0x00;
    Blocks blocks;
    blocks.push_back({0, image});
    return blocks;
}

// Everything that the two ways of running may differ in, as text.
std::string snapshot(const Board& b, const KeyMatrix& keys, const PaperRoll& paper,
                     const FlowchartRecorder& recorder) {
    std::ostringstream out;
    const auto base = [&out](const char* name, const Component& c) {
        out << name << " phase " << c.phase << " sync " << int{c.syncLatch} << '\n';
    };
    const auto bytes = [&out](const char* name, const std::uint8_t* data, std::size_t size) {
        out << name;
        for (std::size_t i = 0; i < size; ++i) out << ' ' << int{data[i]};
        out << '\n';
    };
    bytes("nets", reinterpret_cast<const std::uint8_t*>(&b.nets), sizeof b.nets);

    const Cpu4004& c = b.cpu;
    base("cpu", c);
    out << "cpu " << int{c.carry} << ' ' << int{c.secondWord} << ' ' << int{c.accumulator} << ' '
        << int{c.stackPointer} << ' ' << int{c.opr} << ' ' << int{c.opa} << ' ' << int{c.x2Latch}
        << ' ' << c.secondWordPending << ' ' << int{c.cmRamSelect};
    for (auto e : c.addressStack) out << ' ' << e;
    out << '\n';
    bytes("registers", c.indexRegisters.data(), c.indexRegisters.size());
    for (const Rom4001& r : b.roms) {
        base("rom", r);
        out << "rom " << r.pageAddress << ' ' << r.romSelected << ' ' << r.ioSelected << ' '
            << r.ioOpa << ' ' << r.ioCommand << ' ' << r.portData << '\n';
    }
    for (const Ram4002& r : b.rams) {
        base("ram", r);
        out << "ram " << r.srcHigh << ' ' << r.characterIndex << ' ' << r.srcPending << ' '
            << r.ioOpa << ' ' << r.selected << '\n';
        bytes("main", r.mainMemory.data(), r.mainMemory.size());
        bytes("status", r.statusMemory.data(), r.statusMemory.size());
    }
    for (const ShiftRegister4003& s : b.shiftRegisters) {
        base("shift", s);
        bytes("stages", s.stages.data(), s.stages.size());
        out << "shift " << int{s.previousClock} << ' ' << s.edgePending << ' ' << s.shifted << '\n';
    }
    const Monitor& m = b.monitor;
    base("monitor", m);
    out << "monitor " << m.addressLatch << ' ' << m.instructionByte << ' ' << m.firstOpr << ' '
        << m.firstOpa << ' ' << m.x2Nibble << ' ' << m.x3Nibble << ' ' << m.continuationPending
        << ' ' << m.recording << ' ' << m.lineLimit << ' ' << m.cycleCount << ' '
        << int{m.previousReset} << '\n';

    base("keys", keys);
    out << "keys " << keys.periodsSeen() << ' ' << keys.decimalPointIndex << ' '
        << keys.roundingIndex << '\n';
    bytes("lamps", keys.lastLamps.data(), keys.lastLamps.size());
    bytes("columns", keys.lastColumns.data(), keys.lastColumns.size());
    base("paper", paper);
    out << "paper " << int{paper.redPending} << ' ' << paper.sector << ' ' << paper.sectorClock
        << " [" << paper.printLine << "] " << paper.lines.size() << '\n';
    base("recorder", recorder);
    out << "recorder " << recorder.markerCountdown << ' ' << recorder.lastEntry << ' '
        << recorder.lastSkip << ' ' << recorder.lastVisit << ' ' << int{recorder.fetchByte} << ' '
        << recorder.afterEntryCode << ' ' << recorder.needsRedraw << ' '
        << int{recorder.previousTest} << ' ' << recorder.previousAddress << ' '
        << recorder.recordNext << ' ' << recorder.fetchAddress << '\n';
    for (const auto* table :
         {&recorder.visitCounters, &recorder.entryCounters, &recorder.skipCounters}) {
        out << "counters";
        for (std::int32_t v : *table) out << ' ' << v;
        out << '\n';
    }
    return out.str();
}

// The calculator's front in front of the chips, registered by type, so that
// the board's run loop calls them directly.
struct FrontedBoard {
    FrontedBoard(const Blocks& program, const BoardSettings& settings)
        : t(program, settings, extras()) {}
    BoardExtras extras() {
        BoardExtras e;
        e.connectFront = [this](Board& b) {
            b.connectKeyboard(keys);
            b.connectPrinter(paper);
            b.connectRecorder(recorder, 3);
        };
        return e;
    }
    std::string state() const { return snapshot(t.board, keys, paper, recorder); }

    KeyMatrix keys;
    PaperRoll paper;
    FlowchartRecorder recorder;
    TestBoard t;
};

// What the user does between two stretches of the clock.
void press(std::mt19937& random, FrontedBoard& a, FrontedBoard& b) {
    const int key = static_cast<int>(random() % KeyMatrix::kKeyCount);
    switch (random() % 6) {
        case 0:  // a person's press, through the queue
            for (FrontedBoard* f : {&a, &b}) f->keys.pressKey(key);
            break;
        case 1:  // a key held by a script
            for (FrontedBoard* f : {&a, &b}) f->keys.setKeyDown(key, true);
            break;
        case 2:
            for (FrontedBoard* f : {&a, &b}) {
                f->keys.releaseKey(key);
                f->keys.setKeyDown(key, false);
            }
            break;
        case 3: {
            const int dp = static_cast<int>(random() % 8), round = static_cast<int>(random() % 3);
            for (FrontedBoard* f : {&a, &b}) {
                f->keys.setDecimalPointIndex(dp);
                f->keys.setRoundingIndex(round);
            }
            break;
        }
        default:
            break;
    }
}

struct Exercised {
    std::size_t lines = 0;
    bool recorded = false;
    bool columnsWalked = false;
    bool lampLit = false;
};

// Runs `periods` periods through the run loop in stretches of random length
// and through stepClock one period at a time, and compares after every
// stretch, or after every period of the short ones. A Reset in the middle, as the runner's
// --reset-at gives one, is taken by both.
void compareRuns(std::uint32_t seed, const BoardSettings& settings, std::uint64_t periods,
                 Exercised& seen) {
    std::mt19937 random(seed);
    const Blocks program = randomProgram(random);
    FrontedBoard fast(program, settings), slow(program, settings);
    ASSERT_EQ(fast.state(), slow.state());
    std::uint64_t ran = 0;
    const std::uint64_t resetAt = periods / 2 + random() % 1000;
    bool reset = false;
    while (ran < periods) {
        if (random() % 4 == 0) press(random, fast, slow);
        if (!reset && ran >= resetAt) {
            // Short enough, now and then, that the cycle goes on.
            const int held = 3 + static_cast<int>(random() % 12);
            fast.t.board.holdReset(held);
            slow.t.board.holdReset(held);
            reset = true;
        }
        // A long stretch, compared at its end; or a short one run period
        // by period, compared after each.
        const bool byPeriod = random() % 3 == 0;
        const std::uint64_t stretch = byPeriod ? 1 + random() % 48 : 1 + random() % 400;
        for (std::uint64_t done = 0; done < stretch;) {
            const std::uint64_t step = byPeriod ? 1 : stretch;
            fast.t.board.run(step);
            slow.t.run(step, true);
            done += step;
            ASSERT_EQ(fast.state(), slow.state())
                << "seed " << seed << ", after " << ran + done << " periods";
        }
        ran += stretch;
        seen.columnsWalked = seen.columnsWalked || fast.t.board.nets.KeyColumn[0] != 0;
        seen.lampLit =
            seen.lampLit || fast.keys.lampM() || fast.keys.lampOvf() || fast.keys.lampNeg();
    }
    seen.lines += slow.paper.lines.size();
    seen.recorded = seen.recorded || slow.recorder.previousAddress > 1;
}

TEST(RunLoopEquivalence, RandomProgramsWithThePanelsInFrontAgreeWithStepClockAfterEveryStretch) {
    Exercised seen;
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(seed);
        compareRuns(seed, BoardSettings{}, 100000, seen);
        if (HasFatalFailure()) return;
    }
    // The programs did what the comparison is for.
    EXPECT_GT(seen.lines, 0u) << "no line was printed";
    EXPECT_TRUE(seen.recorded) << "the recorder recorded nothing";
    EXPECT_TRUE(seen.columnsWalked) << "no key column was driven";
    EXPECT_TRUE(seen.lampLit) << "no lamp was lit";
}

TEST(RunLoopEquivalence, TracingWritesTheSameTraceAsStepClock) {
    BoardSettings fastSettings, slowSettings;
    fastSettings.traceFile = temporaryPath("equivalence_fast.txt");
    slowSettings.traceFile = temporaryPath("equivalence_slow.txt");
    // A limit that runs out on the way: the monitor's note, then no more lines.
    fastSettings.traceLimit = slowSettings.traceLimit = 3000;
    std::mt19937 random(99);
    const Blocks program = randomProgram(random);
    {
        FrontedBoard fast(program, fastSettings), slow(program, slowSettings);
        for (int i = 0; i < 200; ++i) {
            const std::uint64_t stretch = 1 + random() % 300;
            fast.t.board.run(stretch);
            slow.t.run(stretch, true);
            ASSERT_EQ(fast.state(), slow.state()) << "after stretch " << i;
        }
    }
    const std::string trace = readText(fastSettings.traceFile);
    EXPECT_GT(trace.size(), 1000u);
    EXPECT_EQ(trace, readText(slowSettings.traceFile));
}

}  // namespace
}  // namespace tallivo::testing
