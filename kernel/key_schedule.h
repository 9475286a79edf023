#pragma once
// Typed tapes and keys held on a schedule of clock periods, as the runner's
// --type and --keys and the web page's typed tape give them.
#include <cstdint>
#include <string>
#include <vector>

namespace tallivo {

class KeyMatrix;

// With --hold or --gap, a typed key is held this long and the next one
// follows after the gap (the one not given keeps its value here): the
// firmware takes a key in a few thousand periods but prints a line in one or
// two drum revolutions (130000 periods each).
inline constexpr std::uint64_t kTypedHoldPeriods = 40000;
inline constexpr std::uint64_t kTypedGapPeriods = 200000;
// A typed tape waits at most this long for the calculator to take its next
// press, or to come back to its key wait after the last one, before it gives
// up: far longer than the longest division and two lines printed.
inline constexpr std::uint64_t kTypingWaitLimit = 4000000;

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
bool parseWholeNumber(const std::string& text, int base, long long low, long long high,
                      long long& value);

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
bool keyChanges(const std::vector<KeyHold>& holds, std::vector<KeyChange>& changes,
                std::string& unknown);

// The keys of a tape as --type and the page's ?type= write it, in order:
// tokens separated by spaces, a token that is a key's caption ("7", "00",
// "M+", "CE", "SQRT") that key, any other token typed character by character
// through the PC keys ("12.5+7.25=", "3x4="). False, with a reason naming
// the character, when a character has no key.
bool tapeKeys(const std::string& text, std::vector<int>& keys, std::string& error);

// Types a tape as fast as the calculator takes its keys: every key is
// pressed and let go at once, and the keys' queue shows them to the firmware
// in turn. False, with a reason and nothing pressed, for a character with no
// key or a tape longer than the room left in the queue.
bool typeTape(const std::string& text, KeyMatrix& keys, std::string& error);

}  // namespace tallivo
