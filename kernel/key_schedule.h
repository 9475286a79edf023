#pragma once
// Keys held on a schedule of clock periods, as the runner's --keys and --type
// and the web page's typed tape give them: each key goes down before one
// period runs and up before another.
#include <cstdint>
#include <string>
#include <vector>

namespace tallivo {

class KeyMatrix;

// A typed key is held this long, and the next one follows after the gap:
// the firmware takes a key in a few thousand periods but prints a line in one
// or two drum revolutions (130000 periods each), so with a typed key every
// 240000 periods its eight-key buffer does not fill.
inline constexpr std::uint64_t kTypedHoldPeriods = 40000;
inline constexpr std::uint64_t kTypedGapPeriods = 200000;
// After the last typed key, time for the lines still waiting to print.
inline constexpr std::uint64_t kAfterTypingPeriods = 2000000;

struct KeyHold {
    std::string caption;
    std::uint64_t start = 0;  // the key is down for periods start <= p < end
    std::uint64_t end = 0;
};

// A key going down or up before the clock period `period` runs.
struct KeyChange {
    std::uint64_t period = 0;
    bool down = false;
    int key = 0;  // KeyMatrix's numbering
};

// Whole-string numbers only: "12x", "", " 1" and values outside low..high are
// refused. Base 16 takes an optional "0x".
bool parseWholeNumber(const std::string& text, int base, long long low, long long high, long long& value);

// The parts of `text` between separators, empty parts left out.
std::vector<std::string> splitList(const std::string& text, char separator);

// "CAPTION@START-END" with START <= END; false for anything else. Captions
// may hold '-' and '@'-free text, so the last '@' ends the caption.
bool parseKeyHold(const std::string& item, KeyHold& hold);

// Appends a hold for each caption, one after the other from period 0, each
// `hold` periods long with `gap` periods between them. Returns the period at
// which the last one ends (0 for none).
std::uint64_t appendTypedHolds(const std::vector<std::string>& captions, std::uint64_t hold,
                               std::uint64_t gap, std::vector<KeyHold>& holds);

// The changes of the holds in the order they happen, releases before presses
// at the same period, so that back-to-back holds of one key work. False, with
// the caption in `unknown`, when a hold names no key.
bool keyChanges(const std::vector<KeyHold>& holds, std::vector<KeyChange>& changes, std::string& unknown);

// A typed tape of keys on the board: the changes applied as the periods run.
class KeySchedule {
public:
    // Types these captions (separated by spaces) with the runner's hold and
    // gap, the first key going down before period `start`. False, with a
    // readable reason and nothing changed, when a caption names no key.
    bool type(const std::string& captions, std::uint64_t start, std::string& error);
    // Applies every change due by `period`.
    void applyDue(std::uint64_t period, KeyMatrix& keys);
    // The next period at which a change is due; `limit` when none is due
    // before it.
    std::uint64_t nextDue(std::uint64_t limit) const;
    // The period by which the tape has typed its keys and printed its last
    // lines, as the runner runs it; 0 for an empty tape.
    std::uint64_t end() const { return end_; }
    bool finished() const { return next_ == changes_.size(); }

private:
    std::vector<KeyChange> changes_;
    std::size_t next_ = 0;
    std::uint64_t end_ = 0;
};

}  // namespace tallivo
