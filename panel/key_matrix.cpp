#include "panel/key_matrix.h"

#include <algorithm>
#include <cstring>

#include "resources/dialog_layouts.h"

namespace tallivo {

namespace {

// The keys of the layout in its order, found at compile time.
struct KeyTables {
    std::array<std::string_view, KeyMatrix::kKeyCount> captions{};
    std::array<int, KeyMatrix::kKeyCount> ids{};
    // The key on each row of each key column; -1 where a row always reads 0.
    std::array<std::array<int, layout::kKeyRows>, layout::kKeyColumns> matrix{};
};

constexpr KeyTables makeKeyTables() {
    KeyTables t;
    std::size_t count = 0;
    for (const layout::Control& control : layout::kKeyboardControls) {
        if (control.kind != layout::ControlKind::Key) continue;
        t.captions[count] = control.caption;
        t.ids[count] = control.id;
        ++count;
    }
    for (std::size_t column = 0; column < layout::kKeyColumns; ++column) {
        for (std::size_t row = 0; row < layout::kKeyRows; ++row) {
            t.matrix[column][row] = -1;
            for (std::size_t k = 0; k < count; ++k) {
                if (layout::kKeyMatrix[column][row] != 0 && t.ids[k] == layout::kKeyMatrix[column][row])
                    t.matrix[column][row] = static_cast<int>(k);
            }
        }
    }
    return t;
}

constexpr KeyTables kKeys = makeKeyTables();

bool validKey(int key) { return key >= 0 && key < KeyMatrix::kKeyCount; }

}  // namespace

std::string_view KeyMatrix::keyCaption(int key) {
    return validKey(key) ? kKeys.captions[static_cast<std::size_t>(key)] : std::string_view{};
}

int KeyMatrix::keyIndex(std::string_view caption) {
    for (std::size_t k = 0; k < kKeys.captions.size(); ++k) {
        if (kKeys.captions[k] == caption) return static_cast<int>(k);
    }
    return -1;
}

void KeyMatrix::connect(Net* columnLines, Net* rowLines, Net* lampMLine, Net* lampOvfLine,
                        Net* lampNegLine) {
    columnNets = columnLines;
    rowNets = rowLines;
    lampMNet = lampMLine;
    lampOvfNet = lampOvfLine;
    lampNegNet = lampNegLine;
    lastColumns.fill(0);
    lastLamps.fill(0);
    down_.fill(0);
    lastKeyRows_.fill(0);
}


void KeyMatrix::scanKeyMatrix() {
    // The selected column is the lowest one pulled low. With none low nothing
    // drives the rows, and they keep their levels.
    std::size_t column = 0;
    while (column < lastColumns.size() && columnNets[column] != 0) ++column;
    if (column == lastColumns.size() || rowNets == nullptr) return;

    if (column < kKeys.matrix.size()) {
        std::uint8_t rows = 0;
        for (std::size_t row = 0; row < 4; ++row) {
            rowNets[row] = keyDownForBoard(kKeys.matrix[column][row]) ? 1 : 0;
            rows = static_cast<std::uint8_t>(rows | rowNets[row] << row);
        }
        // A key found down that was up at its column's last scan has just
        // gone down: the period it is heard in is the one under way.
        if (sound != nullptr && (rows & ~lastKeyRows_[column]) != 0) sound->keyWentDown(periodCount_ - 1);
        lastKeyRows_[column] = rows;
        return;
    }

    readSwitches();
    if (column == 8) {
        // The switch's last position is labelled "8": the firmware reads the
        // number printed under the position, not the position.
        if (decimalPointIndex == 7) decimalPointIndex = 8;
        for (std::size_t row = 0; row < 4; ++row) {
            rowNets[row] = static_cast<Net>((decimalPointIndex >> row) & 1);
        }
    } else {
        rowNets[0] = roundingIndex == 0 ? 1 : 0;  // "/N": truncate
        rowNets[1] = 0;
        rowNets[2] = 0;
        rowNets[3] = roundingIndex == 2 ? 1 : 0;  // "5/4": round half up
    }
}

bool KeyMatrix::keyDownForBoard(int key) const {
    if (!validKey(key)) return false;
    // A key stays down for the firmware until its minimum hold has run out,
    // even when the user has let go already.
    const auto k = static_cast<std::size_t>(key);
    return keyHeld(key) || (heldFrom_[k] < periodCount_ && periodCount_ <= heldUntil_[k]);
}

bool KeyMatrix::keyHeld(int key) const { return down_[static_cast<std::size_t>(key)] != 0; }

bool KeyMatrix::keyIsDown(int key) const { return validKey(key) && keyHeld(key); }

void KeyMatrix::setKeyDown(int key, bool down) {
    if (validKey(key)) down_[static_cast<std::size_t>(key)] = down ? 1 : 0;
}

void KeyMatrix::holdForBoard(int key) {
    if (!validKey(key)) return;
    // The press is seen from the next clock period on; the periods already
    // run do not count. Keys pressed while an earlier press has still to
    // reach the board (typed quickly, or while the clock stands still in the
    // inspector) follow one another, each after the earlier one's hold and
    // a scan with no key down: held together, the firmware would take them
    // for two keys at once and keep one.
    std::uint64_t start = periodCount_;
    for (std::size_t other = 0; other < heldUntil_.size(); ++other) {
        if (other != static_cast<std::size_t>(key) && heldUntil_[other] != 0 && heldUntil_[other] >= periodCount_)
            start = std::max(start, heldUntil_[other] + kMinimumHoldPeriods);
    }
    heldFrom_[static_cast<std::size_t>(key)] = start;
    heldUntil_[static_cast<std::size_t>(key)] = start + kMinimumHoldPeriods;
}

bool KeyMatrix::setDecimalPointIndex(int index) {
    if (index < 0 || index > 7) return false;
    decimalPointIndex = index;
    return true;
}

bool KeyMatrix::setRoundingIndex(int index) {
    if (index < 0 || index > 2) return false;
    roundingIndex = index;
    return true;
}

}  // namespace tallivo
