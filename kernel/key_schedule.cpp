#include "kernel/key_schedule.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "panel/key_matrix.h"

namespace tallivo {

bool parseWholeNumber(const std::string& text, int base, long long low, long long high, long long& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    const char* begin = text.c_str();
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        begin += 2;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, base);
    if (errno != 0 || end == begin || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

std::vector<std::string> splitList(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

bool parseKeyHold(const std::string& item, KeyHold& hold) {
    const auto at = item.rfind('@');
    const auto dash = at == std::string::npos ? std::string::npos : item.find('-', at);
    long long start = 0, end = 0;
    if (at == 0 || at == std::string::npos || dash == std::string::npos ||
        !parseWholeNumber(item.substr(at + 1, dash - at - 1), 10, 0, INT64_MAX, start) ||
        !parseWholeNumber(item.substr(dash + 1), 10, 0, INT64_MAX, end) || end < start)
        return false;
    hold = {item.substr(0, at), static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(end)};
    return true;
}

std::uint64_t appendTypedHolds(const std::vector<std::string>& captions, std::uint64_t hold,
                               std::uint64_t gap, std::vector<KeyHold>& holds) {
    std::uint64_t t = 0;
    std::uint64_t lastEnd = 0;
    for (const std::string& caption : captions) {
        holds.push_back({caption, t, t + hold});
        lastEnd = t + hold;
        t += hold + gap;
    }
    return lastEnd;
}

bool keyChanges(const std::vector<KeyHold>& holds, std::vector<KeyChange>& changes, std::string& unknown) {
    std::vector<KeyChange> all;
    for (const KeyHold& h : holds) {
        const int key = KeyMatrix::keyIndex(h.caption);
        if (key < 0) {
            unknown = h.caption;
            return false;
        }
        all.push_back({h.start, true, key});
        all.push_back({h.end, false, key});
    }
    std::stable_sort(all.begin(), all.end(), [](const KeyChange& a, const KeyChange& b) {
        return a.period != b.period ? a.period < b.period : (!a.down && b.down);
    });
    changes = std::move(all);
    return true;
}

bool KeySchedule::type(const std::string& captions, std::uint64_t start, std::string& error) {
    std::vector<KeyHold> holds;
    const std::uint64_t lastEnd = appendTypedHolds(splitList(captions, ' '), kTypedHoldPeriods,
                                                   kTypedGapPeriods, holds);
    std::vector<KeyChange> changes;
    std::string unknown;
    if (!keyChanges(holds, changes, unknown)) {
        error = "no key with the caption '" + unknown + "'";
        return false;
    }
    for (KeyChange& change : changes) change.period += start;
    changes_ = std::move(changes);
    next_ = 0;
    end_ = holds.empty() ? 0 : start + lastEnd + kAfterTypingPeriods;
    return true;
}

void KeySchedule::applyDue(std::uint64_t period, KeyMatrix& keys) {
    for (; next_ < changes_.size() && changes_[next_].period <= period; ++next_)
        keys.setKeyDown(changes_[next_].key, changes_[next_].down);
}

std::uint64_t KeySchedule::nextDue(std::uint64_t limit) const {
    return next_ < changes_.size() ? std::min(limit, changes_[next_].period) : limit;
}

}  // namespace tallivo
