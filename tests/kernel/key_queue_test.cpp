// The keys' queue against a scan that works as the firmware's does: every
// press reaches it once, in order, however the presses and the scan passes
// fall; the key wait is told from the passes alone.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/key_schedule.h"
#include "panel/key_matrix.h"

namespace tallivo {
namespace {

// The firmware's key scan over the model's Nets: a pass walks a low line from
// column 0 to 9, reads columns 0 to 7 until one has a key down, takes that key
// when it differs from the last one taken, and walks the rest without reading
// them; a pass with no key down forgets the last key. With its buffer full it
// walks nothing.
class ScanningFirmware {
  public:
    explicit ScanningFirmware(KeyMatrix& keys) : keys_(keys) {
        columns_.fill(1);
        keys_.connect(columns_.data(), rows_.data(), nullptr, nullptr, nullptr);
    }

    // One pass, `periods` clock periods apart from column to column.
    void pass(int periods = 100) {
        if (bufferFull) {
            idle(10 * periods);
            return;
        }
        bool hit = false;
        for (int column = 0; column < 10; ++column) {
            columns_.fill(1);
            columns_[static_cast<std::size_t>(column)] = 0;
            idle(periods);
            if (hit || column > 7) continue;
            const int row = rowsRead();
            if (row < 0) continue;
            hit = true;
            const int key = column * 4 + row;
            if (key != lastKey_) taken.push_back(key);
            lastKey_ = key;
        }
        if (!hit) lastKey_ = -1;
    }
    void idle(int periods) {
        for (int p = 0; p < periods; ++p) keys_.clockPhase1();
    }

    // The position (column × 4 + row) of a key in the matrix.
    static int position(std::string_view caption) {
        KeyMatrix keys;
        ScanningFirmware probe(keys);
        keys.setKeyDown(KeyMatrix::keyIndex(caption), true);
        probe.pass();
        return probe.taken.empty() ? -1 : probe.taken.front();
    }

    std::vector<int> taken;
    bool bufferFull = false;

  private:
    // The one row read high, or -1 for none.
    int rowsRead() const {
        for (int row = 0; row < 4; ++row) {
            if (rows_[static_cast<std::size_t>(row)] != 0) return row;
        }
        return -1;
    }

    KeyMatrix& keys_;
    std::array<Net, 10> columns_{};
    std::array<Net, 4> rows_{};
    int lastKey_ = -1;
};

std::vector<int> positions(const std::vector<const char*>& captions) {
    std::vector<int> result;
    for (const char* caption : captions) result.push_back(ScanningFirmware::position(caption));
    return result;
}

int key(const char* caption) {
    return KeyMatrix::keyIndex(caption);
}

TEST(KeyQueue, TapsTypedAtOnceReachTheFirmwareEachOnceInOrder) {
    KeyMatrix keys;
    ScanningFirmware firmware(keys);
    const std::vector<const char*> tape = {"7", "7", "+", "CM", "C", "C", "C", "00", "=", "7"};
    for (const char* caption : tape) {
        ASSERT_TRUE(keys.pressKey(key(caption)));
        keys.releaseKey(key(caption));
    }
    EXPECT_EQ(keys.pressesWaiting(), tape.size());
    for (int p = 0; p < 40; ++p) firmware.pass();
    EXPECT_EQ(firmware.taken, positions(tape));
    EXPECT_EQ(keys.pressesWaiting(), 0u);
}

TEST(KeyQueue, APressWaitsWhileTheBufferIsFullAndIsShownUntilScanned) {
    KeyMatrix keys;
    ScanningFirmware firmware(keys);
    firmware.bufferFull = true;
    keys.pressKey(key("5"));
    keys.releaseKey(key("5"));
    for (int p = 0; p < 20; ++p) firmware.pass();
    EXPECT_TRUE(firmware.taken.empty());
    EXPECT_EQ(keys.pressesWaiting(), 1u);
    firmware.bufferFull = false;
    firmware.pass();
    EXPECT_EQ(firmware.taken, positions({"5"}));
    EXPECT_EQ(keys.pressesWaiting(), 0u);
    EXPECT_EQ(keys.keyShown(), -1);
}

TEST(KeyQueue, AHeldKeyCountsOnceAndHoldsBackTheNextPress) {
    KeyMatrix keys;
    ScanningFirmware firmware(keys);
    keys.pressKey(key("9"));
    keys.pressKey(key("+"));  // pressed while 9 is held
    keys.releaseKey(key("+"));
    for (int p = 0; p < 30; ++p) firmware.pass();
    EXPECT_EQ(firmware.taken, positions({"9"}));
    EXPECT_EQ(keys.keyShown(), key("9"));
    EXPECT_TRUE(keys.keyIsDown(key("9")));
    keys.releaseKey(key("9"));
    EXPECT_EQ(keys.keyShown(), -1);
    for (int p = 0; p < 3; ++p) firmware.pass();
    EXPECT_EQ(firmware.taken, positions({"9", "+"}));
}

TEST(KeyQueue, ANewPressWaitsForTheStartOfAPass) {
    // Pressed in the middle of a pass, after the firmware has read column 6:
    // shown only from the next pass on, never to the columns walked unread.
    KeyMatrix keys;
    std::array<Net, 10> columns{};
    std::array<Net, 4> rows{};
    columns.fill(1);
    keys.connect(columns.data(), rows.data(), nullptr, nullptr, nullptr);
    auto select = [&](int column) {
        columns.fill(1);
        columns[static_cast<std::size_t>(column)] = 0;
        keys.clockPhase1();
        return rows[0] | rows[1] << 1 | rows[2] << 2 | rows[3] << 3;
    };
    for (int column = 0; column <= 6; ++column) select(column);
    keys.pressKey(key("S"));  // column 7, row 0
    keys.releaseKey(key("S"));
    EXPECT_EQ(select(7), 0);
    for (int column = 8; column < 10; ++column) select(column);
    for (int column = 0; column < 7; ++column) EXPECT_EQ(select(column), 0) << column;
    EXPECT_EQ(select(7), 1);
    EXPECT_EQ(keys.pressesWaiting(), 0u);
}

TEST(KeyQueue, RandomPressesAndPassesLoseAndDoubleNothing) {
    std::mt19937 random(19);
    for (int round = 0; round < 50; ++round) {
        KeyMatrix keys;
        ScanningFirmware firmware(keys);
        std::vector<int> pressed;
        std::vector<int> held;
        for (int step = 0; step < 200; ++step) {
            switch (random() % 5) {
                case 0:
                case 1: {
                    const int k = static_cast<int>(random() % KeyMatrix::kKeyCount);
                    if (keys.keyIsDown(k)) break;
                    ASSERT_TRUE(keys.pressKey(k));
                    pressed.push_back(ScanningFirmware::position(KeyMatrix::keyCaption(k)));
                    held.push_back(k);
                    break;
                }
                case 2:
                    if (!held.empty()) {
                        const std::size_t i = random() % held.size();
                        keys.releaseKey(held[i]);
                        held.erase(held.begin() + static_cast<std::ptrdiff_t>(i));
                    }
                    break;
                case 3:
                    firmware.bufferFull = random() % 3 == 0;
                    break;
                default:
                    firmware.pass(static_cast<int>(random() % 300) + 1);
                    break;
            }
        }
        for (const int k : held) keys.releaseKey(k);
        firmware.bufferFull = false;
        for (int p = 0; p < 2 * static_cast<int>(pressed.size()) + 2; ++p) firmware.pass();
        ASSERT_EQ(firmware.taken, pressed) << "round " << round;
        EXPECT_EQ(keys.pressesWaiting(), 0u);
    }
}

TEST(KeyQueue, BeyondItsLengthAPressIsRefusedAndTheQueueKept) {
    KeyMatrix keys;
    ScanningFirmware firmware(keys);
    for (std::size_t i = 0; i < KeyMatrix::kQueueLength; ++i) {
        const int k = key(i % 2 == 0 ? "1" : "2");
        ASSERT_TRUE(keys.pressKey(k)) << i;
        keys.releaseKey(k);
    }
    EXPECT_FALSE(keys.pressKey(key("3")));
    EXPECT_FALSE(keys.keyIsDown(key("3")));
    EXPECT_FALSE(keys.pressKey(-1));
    EXPECT_FALSE(keys.pressKey(KeyMatrix::kKeyCount));
    EXPECT_EQ(keys.pressesWaiting(), KeyMatrix::kQueueLength);
    std::string error;
    EXPECT_FALSE(typeTape("4", keys, error));
    EXPECT_EQ(
        error,
        "the tape has 1 key, but the keyboard has room for 0 more presses (it queues at most 256)");
    // Once the firmware has taken one, there is room for one more.
    firmware.pass();
    EXPECT_EQ(keys.pressesWaiting(), KeyMatrix::kQueueLength - 1);
    EXPECT_TRUE(keys.pressKey(key("3")));
}

TEST(KeyQueue, TheKeyWaitIsPassesBackToBackForLongerThanADrumRevolution) {
    KeyMatrix keys;
    ScanningFirmware firmware(keys);
    EXPECT_FALSE(keys.keyWaitReached());
    EXPECT_EQ(keys.periodsBeforeKeyWait(), KeyMatrix::kKeyWaitPeriods);
    // Passes of 1000 periods back to back: the key wait once they have run
    // for kKeyWaitPeriods, at the very period that says.
    firmware.pass();
    const std::uint64_t chainStart = keys.periodsSeen() - 1000 + 1;
    while (keys.periodsSeen() + 1000 < chainStart + KeyMatrix::kKeyWaitPeriods) {
        EXPECT_FALSE(keys.keyWaitReached());
        EXPECT_EQ(keys.periodsBeforeKeyWait(),
                  chainStart + KeyMatrix::kKeyWaitPeriods - keys.periodsSeen());
        firmware.pass();
    }
    firmware.idle(static_cast<int>(keys.periodsBeforeKeyWait()) - 1);
    EXPECT_FALSE(keys.keyWaitReached());
    firmware.idle(1);
    EXPECT_TRUE(keys.keyWaitReached());
    EXPECT_EQ(keys.periodsBeforeKeyWait(), 0u);

    // A press taken starts the wait again, as does a gap between passes
    // (hammers loaded, a digit of a division).
    keys.pressKey(key("+"));
    keys.releaseKey(key("+"));
    EXPECT_FALSE(keys.keyWaitReached());
    firmware.pass();
    EXPECT_EQ(keys.pressesWaiting(), 0u);
    for (int p = 0; p < 100; ++p) firmware.pass();
    EXPECT_FALSE(keys.keyWaitReached());
    firmware.idle(static_cast<int>(KeyMatrix::kBackToBackPeriods));
    for (int p = 0; p < 145; ++p) firmware.pass();
    EXPECT_FALSE(keys.keyWaitReached());
    for (int p = 0; p < 10; ++p) firmware.pass();
    EXPECT_TRUE(keys.keyWaitReached());
    // Without passes it is over.
    firmware.idle(static_cast<int>(KeyMatrix::kBackToBackPeriods) + 1);
    EXPECT_FALSE(keys.keyWaitReached());
}

TEST(TapeKeys, CaptionsAndTextTypedThroughThePcKeys) {
    std::vector<int> keys;
    std::string error;
    ASSERT_TRUE(tapeKeys("  1 2 . 5 +  M+ CE 00 SQRT C <>", keys, error));
    EXPECT_EQ(keys, (std::vector<int>{key("1"), key("2"), key("."), key("5"), key("+"), key("M+"),
                                      key("CE"), key("00"), key("SQRT"), key("C"), key("<>")}));
    ASSERT_TRUE(tapeKeys("12.5+7,25= 3x4*z%m", keys, error));
    EXPECT_EQ(keys, (std::vector<int>{key("1"), key("2"), key("."), key("5"), key("+"), key("7"),
                                      key("."), key("2"), key("5"), key("="), key("3"), key("X"),
                                      key("4"), key("X"), key("00"), key("%"), key("M+")}));
    keys = {7};
    EXPECT_FALSE(tapeKeys("1 NOPE", keys, error));
    EXPECT_EQ(error, "no key for 'O' in 'NOPE'");
    EXPECT_EQ(keys, std::vector<int>{7});
    EXPECT_FALSE(tapeKeys("w", keys, error));
    EXPECT_EQ(error, "no key for 'w'");
    ASSERT_TRUE(tapeKeys("", keys, error));
    EXPECT_TRUE(keys.empty());
}

TEST(TapeKeys, ATapeTooLongForTheQueueTypesNothing) {
    KeyMatrix keys;
    std::string error;
    EXPECT_FALSE(typeTape(std::string(KeyMatrix::kQueueLength + 1, '7'), keys, error));
    EXPECT_EQ(error, "the tape has 257 keys, but the keyboard queues at most 256 presses");
    EXPECT_EQ(keys.pressesWaiting(), 0u);
    EXPECT_FALSE(typeTape("1 + Y", keys, error));
    EXPECT_EQ(keys.pressesWaiting(), 0u);
    ASSERT_TRUE(typeTape(std::string(KeyMatrix::kQueueLength, '7'), keys, error));
    EXPECT_EQ(keys.pressesWaiting(), KeyMatrix::kQueueLength);
    EXPECT_FALSE(keys.keyIsDown(key("7")));
}

}  // namespace
}  // namespace tallivo
