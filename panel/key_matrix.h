#pragma once
// The keyboard's logic without a window: the 30 keys, the decimal-point and
// rounding switches and the OVF, NEG and M lamps as the board sees them.
//
// On the board the keyboard is a matrix read through a shift register: the
// firmware pulls one of the ten KeyColumn lines low and reads the four KeyRow
// lines through ROM 1's input port. Columns 0 to 7 carry keys, column 8 the
// decimal-point switch as a binary number, column 9 the rounding switch. The
// lamps follow RAM 1's output port.
//
// A person's presses wait in a queue and reach the board one at a time: each
// is shown until the firmware has scanned its column, however short the
// press (a click, a tap of a PC key, a typed tape), so no press is lost while
// the firmware is busy or its key buffer is full, and none is doubled.
//
// As a component it works in phase 1 only (it is registered first, so it sees
// what the shift register and RAM 1 drove in the previous period) and looks at
// the keys and switches only when the column pattern changes. A window that
// shows the keys overrides the three hooks at the end, so that its own
// controls are what the scan reads and what the lamps light.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "kernel/component.h"
#include "kernel/net.h"
#include "panel/machine_sound.h"

namespace tallivo {

class KeyMatrix : public Component {
  public:
    static constexpr int kKeyCount = 30;
    // Presses that a person has made and the firmware has still to take, the
    // one on the keys included. The firmware's own buffer keeps eight; these
    // wait on the keyboard for it. A press beyond them is refused.
    static constexpr std::size_t kQueueLength = 256;
    // Scan passes that begin at most this many clock periods after the one
    // before run back to back. A pass takes about 1000 periods; the key wait
    // and the printer's wait for a drum sector begin the next one within
    // 1600, while loading a sector's hammers (3400 to 3900 between passes),
    // a multiplication, division or square root (several thousand) and a full key buffer
    // (no pass at all) break the chain.
    static constexpr std::uint64_t kBackToBackPeriods = 2000;
    // Passes back to back for this long, with no press waiting: the firmware
    // is in its key wait. Only the printer's wait for drum sector 0, at most
    // one revolution of 130000 periods, runs passes back to back nearly as
    // long (at most 129960 periods measured).
    static constexpr std::uint64_t kKeyWaitPeriods = 150000;

    // Key k is the k-th key of the panel's layout.
    static std::string_view keyCaption(int key);
    // The key with this caption ("7", "00", "+", "M+=", "SQRT", "CE", ...),
    // or -1 for none.
    static int keyIndex(std::string_view caption);

    // `columnLines` and `rowLines` point at 10 and 4 consecutive Nets. Lets
    // go of every key, empties the queue, forgets the last columns, passes
    // and lamps. Writes no Net.
    void connect(Net* columnLines, Net* rowLines, Net* lampMLine, Net* lampOvfLine,
                 Net* lampNegLine);

    // Final and inline, so that the board's run loop calls them directly.
    int clockPhase1() final;               // key matrix and lamp scan
    int clockPhase2() final { return 0; }  // nothing: the rows are driven in phase 1
    int shutdown() override { return 0; }

    // Clock periods run since construction, as the scan counts them.
    std::uint64_t periodsSeen() const { return periodCount_; }

    // A person presses a key (the mouse, a PC key, a typed tape). The press
    // joins the queue; the keys show the board one press at a time, in
    // order, each from the start of a scan pass until the firmware has
    // selected its column, and for as long after that as the key is still
    // held: a long hold is one press. False, changing nothing, when the
    // queue is full or there is no such key; true for a key already held.
    bool pressKey(int key);
    // The person lets go of the key.
    void releaseKey(int key);
    // Presses the firmware has still to take, the one shown included.
    std::size_t pressesWaiting() const { return count_; }

    // True when the firmware is back in its key wait with every press taken:
    // no press waits, and scan passes have run back to back for
    // kKeyWaitPeriods since the last one was taken. Its lines are printed
    // then, since the printer's waits are shorter.
    bool keyWaitReached() const;
    // Clock periods that can run before keyWaitReached() may turn true (1
    // or more; 0 when it is true): a caller that stops after them finds the
    // key wait at the very period it begins.
    std::uint64_t periodsBeforeKeyWait() const;
    // The period (in periodsSeen's count) at which the last press left the
    // queue, 0 for none; and the longest time, in clock periods, that a
    // press waited from its press until the firmware saw it.
    std::uint64_t lastPressTakenAt() const { return lastTakenAt_; }
    std::uint64_t longestWaitPeriods() const { return longestWait_; }

    // A key held down or let go by a script, exactly while it is held (out-of-range
    // keys change nothing): the runner's --keys. The firmware reads the key
    // at the next pass of its column. A window whose keyHeld reads its own
    // buttons is driven through them instead.
    void setKeyDown(int key, bool down);
    // Whether the key is held now, by a person or a script.
    bool keyIsDown(int key) const;
    // The key the board is shown now from the queue, or -1.
    int keyShown() const;

    // Turn a switch (index 0 to 7, or 0 to 2); the firmware reads it at the
    // next pass of the switch's column. Out-of-range indices change nothing
    // and return false.
    bool setDecimalPointIndex(int index);
    bool setRoundingIndex(int index);

    // Where a key is heard going down, if anywhere: told when the scan first
    // finds it down in its column.
    MachineSound* sound = nullptr;

    // The lamps as the scan last lit them.
    bool lampM() const { return lastLamps[0] != 0; }
    bool lampOvf() const { return lastLamps[1] != 0; }
    bool lampNeg() const { return lastLamps[2] != 0; }

    std::int32_t decimalPointIndex = 0;  // 0..7; 8 stands for position 7 ("8")
    std::int32_t roundingIndex = 1;      // 0 "/N", 1 "FL", 2 "5/4"
    std::array<Net, 3> lastLamps{};      // LampM, LampOVF, LampNEG at the last change
    std::array<Net, 10> lastColumns{};   // KeyColumn 0..9 at the last change
    Net* columnNets = nullptr;
    Net* rowNets = nullptr;
    Net* lampMNet = nullptr;
    Net* lampOvfNet = nullptr;
    Net* lampNegNet = nullptr;

  protected:
    // Whether key `key` is held down outside the queue; by default what
    // setKeyDown said. A window's buttons that a person holds are in the
    // queue as well, and the queue alone shows them to the board.
    virtual bool keyHeld(int key) const;
    // Called before a switch column is read, to take the switch positions
    // from wherever the user turns them.
    virtual void readSwitches() {}
    // Called when a lamp has changed; lastLamps holds the new levels.
    virtual void lampsChanged() {}

  private:
    static Net level(const Net* line) { return line != nullptr ? *line : Net{0}; }
    // The ten column lines as two words, compared in two instructions: this
    // runs in every clock period.
    static bool sameColumns(const Net* lines, const std::array<Net, 10>& last) {
        std::uint64_t now8, last8;
        std::uint16_t now2, last2;
        std::memcpy(&now8, lines, 8);
        std::memcpy(&last8, last.data(), 8);
        std::memcpy(&now2, lines + 8, 2);
        std::memcpy(&last2, last.data() + 8, 2);
        return now8 == last8 && now2 == last2;
    }
    void scanKeyMatrix();
    void passBegins();
    void finishPress();
    bool chainAlive() const;
    // Held by a script, not by a person through the queue.
    bool heldOutsideQueue(int key) const;

    struct Press {
        std::uint64_t pressedAt = 0;  // periodsSeen when it was pressed
        std::uint8_t key = 0;
        std::uint8_t released = 0;
    };

    std::uint64_t periodCount_ = 0;
    std::array<std::uint8_t, kKeyCount> down_{};
    // The queue, a ring of presses from head_ on, and the keys a person holds.
    std::array<Press, kQueueLength> queue_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::array<std::uint8_t, kKeyCount> heldByPerson_{};
    bool showing_ = false;  // the head press is shown to the board
    bool seen_ = false;     // and the firmware has selected its column
    // What the firmware remembers of the last key it took: it takes a key
    // only when it differs from that, and forgets it after a whole pass that
    // saw no key down.
    int lastKey_ = -1;
    bool lastKeyForgotten_ = true;
    // The pass under way: which column is selected (10: none), whether its
    // columns 0 to 7 have all been selected, and whether any showed a key.
    std::size_t selected_ = 10;
    bool passReachedLastKeys_ = false;
    bool passHadKey_ = false;
    // The chain of passes run back to back: when it began (or the last press
    // was taken in it) and when its last pass began; 0 before the first pass.
    std::uint64_t chainStart_ = 0;
    std::uint64_t lastPassStart_ = 0;
    std::uint64_t lastTakenAt_ = 0;
    std::uint64_t longestWait_ = 0;
    // The rows of each key column at its last scan, for the key clicks.
    std::array<std::uint8_t, 8> lastKeyRows_{};
};

inline int KeyMatrix::clockPhase1() {
    // The usual period costs a count and two comparisons: the keys are
    // looked at only when the firmware has changed the column pattern or a
    // lamp.
    ++periodCount_;
    if (columnNets != nullptr && !sameColumns(columnNets, lastColumns)) {
        scanKeyMatrix();
        std::memcpy(lastColumns.data(), columnNets, lastColumns.size());
    }
    const Net m = level(lampMNet);
    const Net ovf = level(lampOvfNet);
    const Net neg = level(lampNegNet);
    if (m != lastLamps[0] || ovf != lastLamps[1] || neg != lastLamps[2]) {
        lastLamps = {m, ovf, neg};
        lampsChanged();
    }
    return 0;
}

}  // namespace tallivo
