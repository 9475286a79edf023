#include "kernel/key_schedule.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "panel/key_matrix.h"
#include "panel/pc_key_bindings.h"

namespace tallivo {

bool parseWholeNumber(const std::string& text, int base, long long low, long long high,
                      long long& value) {
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

bool keyChanges(const std::vector<KeyHold>& holds, std::vector<KeyChange>& changes,
                std::string& unknown) {
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

bool tapeKeys(const std::string& text, std::vector<int>& keys, std::string& error) {
    std::vector<int> found;
    for (const std::string& token : splitList(text, ' ')) {
        if (const int key = KeyMatrix::keyIndex(token); key >= 0) {
            found.push_back(key);
            continue;
        }
        for (const char c : token) {
            const std::string_view caption =
                calculatorKeyForCharacter(static_cast<unsigned char>(c));
            if (caption.empty()) {
                error = "no key for '" + std::string(1, c) + "'" +
                        (token.size() > 1 ? " in '" + token + "'" : std::string());
                return false;
            }
            found.push_back(KeyMatrix::keyIndex(caption));
        }
    }
    keys = std::move(found);
    return true;
}

bool typeTape(const std::string& text, KeyMatrix& keys, std::string& error) {
    std::vector<int> typed;
    if (!tapeKeys(text, typed, error)) return false;
    const std::size_t room = KeyMatrix::kQueueLength - keys.pressesWaiting();
    if (typed.size() > room) {
        const std::string tape =
            "the tape has " + std::to_string(typed.size()) + (typed.size() == 1 ? " key" : " keys");
        const std::string most = std::to_string(KeyMatrix::kQueueLength);
        error = room == KeyMatrix::kQueueLength
                    ? tape + ", but the keyboard queues at most " + most + " presses"
                    : tape + ", but the keyboard has room for " + std::to_string(room) +
                          " more presses (it queues at most " + most + ")";
        return false;
    }
    for (const int key : typed) {
        keys.pressKey(key);
        keys.releaseKey(key);
    }
    return true;
}

}  // namespace tallivo
