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
// As a component it works in phase 1 only (it is registered first, so it sees
// what the shift register and RAM 1 drove in the previous period) and looks at
// the keys and switches only when the column pattern changes. A window that
// shows the keys overrides the three hooks at the end, so that its own
// controls are what the scan reads and what the lamps light.
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "kernel/component.h"
#include "kernel/net.h"
#include "panel/machine_sound.h"

namespace tallivo {

class KeyMatrix : public Component {
public:
    // However short a press of a key is (a click, a tap of a PC key), the
    // firmware sees the key down for at least this many clock periods: the
    // clock runs in bursts between window events, and a press that came and
    // went between two bursts would otherwise never reach the board. 20000
    // periods (27 ms at 740 kHz) cover a full scan of the ten columns.
    static constexpr std::uint64_t kMinimumHoldPeriods = 20000;
    static constexpr int kKeyCount = 30;

    // Key k is the k-th key of the panel's layout.
    static std::string_view keyCaption(int key);
    // The key with this caption ("7", "00", "+", "M+=", "SQRT", "CE", ...),
    // or -1 for none.
    static int keyIndex(std::string_view caption);

    // `columnLines` and `rowLines` point at 10 and 4 consecutive Nets. Lets
    // go of every key, forgets the last columns and lamps. Writes no Net.
    void connect(Net* columnLines, Net* rowLines, Net* lampMLine, Net* lampOvfLine, Net* lampNegLine);

    // Final and inline, so that the board's run loop calls them directly.
    int clockPhase1() final;  // key matrix and lamp scan
    int clockPhase2() final { return 0; }  // nothing: the rows are driven in phase 1
    int shutdown() override { return 0; }

    // Clock periods run since construction, as the scan counts them.
    std::uint64_t periodsSeen() const { return periodCount_; }

    // A key held down or let go (out-of-range keys change nothing). The
    // firmware reads the key at the next pass of its column. A window whose
    // keyHeld reads its own buttons is driven through them instead.
    void setKeyDown(int key, bool down);
    // Whether the key is held now (its minimum hold aside).
    bool keyIsDown(int key) const;
    // Starts the key's minimum hold from the next clock period on.
    void holdForBoard(int key);

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
    // Whether key `key` is held; by default what setKeyDown said.
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
    bool keyDownForBoard(int key) const;

    // Clock periods run so far, and for each key the periods of its minimum
    // hold: after the first, up to and including the last.
    std::uint64_t periodCount_ = 0;
    std::array<std::uint64_t, kKeyCount> heldFrom_{};
    std::array<std::uint64_t, kKeyCount> heldUntil_{};
    std::array<std::uint8_t, kKeyCount> down_{};
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
