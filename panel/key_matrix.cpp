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
    // The column and row of each key.
    std::array<std::uint8_t, KeyMatrix::kKeyCount> column{};
    std::array<std::uint8_t, KeyMatrix::kKeyCount> row{};
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
                if (layout::kKeyMatrix[column][row] != 0 &&
                    t.ids[k] == layout::kKeyMatrix[column][row]) {
                    t.matrix[column][row] = static_cast<int>(k);
                    t.column[k] = static_cast<std::uint8_t>(column);
                    t.row[k] = static_cast<std::uint8_t>(row);
                }
            }
        }
    }
    return t;
}

constexpr KeyTables kKeys = makeKeyTables();

bool validKey(int key) {
    return key >= 0 && key < KeyMatrix::kKeyCount;
}

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
    heldByPerson_.fill(0);
    head_ = count_ = 0;
    showing_ = seen_ = false;
    lastKey_ = -1;
    lastKeyForgotten_ = true;
    selected_ = lastColumns.size();
    passReachedLastKeys_ = passHadKey_ = false;
    chainStart_ = lastPassStart_ = lastTakenAt_ = longestWait_ = 0;
    lastKeyRows_.fill(0);
}

void KeyMatrix::scanKeyMatrix() {
    // The selected column is the lowest one pulled low. With none low nothing
    // drives the rows, and they keep their levels.
    std::size_t column = 0;
    while (column < lastColumns.size() && columnNets[column] != 0) ++column;
    const std::size_t before = selected_;
    selected_ = column;
    // The firmware's scan walks a low line up from column 0: column 0
    // selected anew begins a pass.
    if (column == 0 && before != 0) passBegins();
    if (column == lastColumns.size() || rowNets == nullptr) return;

    if (column < kKeys.matrix.size()) {
        std::array<Net, 4> rows{};
        for (std::size_t row = 0; row < rows.size(); ++row) {
            rows[row] = heldOutsideQueue(kKeys.matrix[column][row]) ? 1 : 0;
        }
        if (showing_) {
            const auto key = static_cast<std::size_t>(queue_[head_].key);
            if (kKeys.column[key] == column) {
                rows[kKeys.row[key]] = 1;
                if (!seen_) {
                    // The firmware reads these rows before it walks on: the
                    // press reaches it now. It remembers the key as the last
                    // one taken, and is busy with it, out of its key wait.
                    seen_ = true;
                    lastKey_ = static_cast<int>(key);
                    lastKeyForgotten_ = false;
                    chainStart_ = periodCount_;
                    longestWait_ = std::max(longestWait_, periodCount_ - queue_[head_].pressedAt);
                }
            }
        }
        std::uint8_t bits = 0;
        for (std::size_t row = 0; row < rows.size(); ++row) {
            rowNets[row] = rows[row];
            bits = static_cast<std::uint8_t>(bits | rows[row] << row);
        }
        if (bits != 0) passHadKey_ = true;
        // A key found down that was up at its column's last scan has just
        // gone down: the period it is heard in is the one under way.
        if (sound != nullptr && (bits & ~lastKeyRows_[column]) != 0)
            sound->keyWentDown(periodCount_ - 1);
        lastKeyRows_[column] = bits;
        if (column == kKeys.matrix.size() - 1) passReachedLastKeys_ = true;
        // Seen and already let go: the next press may follow.
        if (seen_ && queue_[head_].released != 0) finishPress();
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

void KeyMatrix::passBegins() {
    // A whole pass over the key columns that saw no key down makes the
    // firmware forget the last key it took.
    if (passReachedLastKeys_ && !passHadKey_) lastKeyForgotten_ = true;
    passReachedLastKeys_ = false;
    passHadKey_ = false;
    if (!chainAlive()) chainStart_ = periodCount_;
    lastPassStart_ = periodCount_;
    // After a key the firmware walks the later columns without reading them,
    // so the next press is shown only from the start of a pass; the same key
    // again only once the firmware has forgotten it, or it would take the
    // press for the first one still held.
    if (!showing_ && count_ != 0 && (queue_[head_].key != lastKey_ || lastKeyForgotten_)) {
        showing_ = true;
        seen_ = false;
    }
}

void KeyMatrix::finishPress() {
    lastTakenAt_ = periodCount_;
    head_ = (head_ + 1) % kQueueLength;
    --count_;
    showing_ = false;
    seen_ = false;
}

bool KeyMatrix::chainAlive() const {
    return lastPassStart_ != 0 && periodCount_ - lastPassStart_ <= kBackToBackPeriods;
}

bool KeyMatrix::keyWaitReached() const {
    return count_ == 0 && chainAlive() && periodCount_ - chainStart_ >= kKeyWaitPeriods;
}

std::uint64_t KeyMatrix::periodsBeforeKeyWait() const {
    if (keyWaitReached()) return 0;
    // A chain that lasts shows the key wait when it is old enough. Any other
    // way there takes a new chain, or a press taken, from now on.
    const std::uint64_t due = chainStart_ + kKeyWaitPeriods;
    if (count_ == 0 && chainAlive() && due > periodCount_) return due - periodCount_;
    return kKeyWaitPeriods;
}

bool KeyMatrix::pressKey(int key) {
    if (!validKey(key)) return false;
    const auto k = static_cast<std::size_t>(key);
    if (heldByPerson_[k] != 0) return true;
    if (count_ == kQueueLength) return false;
    queue_[(head_ + count_) % kQueueLength] = {periodCount_, static_cast<std::uint8_t>(key), 0};
    ++count_;
    heldByPerson_[k] = 1;
    return true;
}

void KeyMatrix::releaseKey(int key) {
    if (!validKey(key) || heldByPerson_[static_cast<std::size_t>(key)] == 0) return;
    heldByPerson_[static_cast<std::size_t>(key)] = 0;
    // A person holds a key in one press at a time: the latest of that key.
    for (std::size_t i = count_; i-- > 0;) {
        Press& press = queue_[(head_ + i) % kQueueLength];
        if (press.key != key) continue;
        press.released = 1;
        if (i == 0 && seen_) finishPress();
        return;
    }
}

int KeyMatrix::keyShown() const {
    return showing_ ? queue_[head_].key : -1;
}

bool KeyMatrix::heldOutsideQueue(int key) const {
    return validKey(key) && heldByPerson_[static_cast<std::size_t>(key)] == 0 && keyHeld(key);
}

bool KeyMatrix::keyHeld(int key) const {
    return down_[static_cast<std::size_t>(key)] != 0;
}

bool KeyMatrix::keyIsDown(int key) const {
    return validKey(key) && (heldByPerson_[static_cast<std::size_t>(key)] != 0 || keyHeld(key));
}

void KeyMatrix::setKeyDown(int key, bool down) {
    if (validKey(key)) down_[static_cast<std::size_t>(key)] = down ? 1 : 0;
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
