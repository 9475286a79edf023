#include "tools/flowchart_recorder.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tallivo {

namespace {

// A cycle recorded right after one whose byte is one of these counts as an
// entry into the code that the picture shows.
constexpr std::array<std::uint8_t, 3> kEntryCodes{0xEF, 0xF1, 0xF3};

bool isEntryCode(std::uint8_t byte) {
    return std::find(kEntryCodes.begin(), kEntryCodes.end(), byte) != kEntryCodes.end();
}

struct Rgb {
    std::uint8_t red, green, blue;
};

enum PixelState { kCurrent = 0, kRecent = 1, kExpired = 2 };

// Colour by state and by pixel type 0 to 3.
constexpr Rgb kColours[3][4] = {
    // current: yellow whatever the type
    {{255, 255, 0}, {255, 255, 0}, {255, 255, 0}, {255, 255, 0}},
    // recent
    {{255, 255, 0}, {8, 96, 168}, {255, 0, 0}, {255, 255, 255}},
    // expired
    {{128, 128, 0}, {102, 102, 102}, {102, 102, 102}, {63, 63, 63}},
};

// A counter at the lowest value stays there rather than wrapping; only a
// negative hit value ever takes one so far down.
void decay(std::int32_t& counter) {
    if (counter != 0 && counter != std::numeric_limits<std::int32_t>::min()) --counter;
}

}  // namespace

void PixelRect::include(std::int32_t px, std::int32_t py) {
    if (isEmpty()) {
        *this = {px, py, 1, 1};
        return;
    }
    const std::int32_t right = std::max(x + width, px + 1);
    const std::int32_t bottom = std::max(y + height, py + 1);
    x = std::min(x, px);
    y = std::min(y, py);
    width = right - x;
    height = bottom - y;
}

void FlowchartRecorder::start(int hit, Net* dataBus, Net* sync, Net* test, Net* reset) {
    freeBuffers();
    hitValue = hit;
    dataBusNet = dataBus;
    syncIn = sync;
    testNet = test;
    resetNet = reset;
    previousAddress = 1;
    visitCounters.fill(0);
    entryCounters.fill(0);
    skipCounters.fill(0);
    lastEntry = lastSkip = lastVisit = 0;
    markerCountdown = 0;
    needsRedraw = false;
}

void FlowchartRecorder::setPicture(ScaledBitmap&& picture, bool fourBytes) {
    pictureWidth = picture.width;
    pictureHeight = picture.height;
    divisor = picture.divisor;
    fourBytePixels = fourBytes;
    pictureBytes = std::move(picture.bytes);

    // The unused byte of a 4-byte pixel is set once here, opaque, and never
    // written again.
    const int pixelBytes = fourBytePixels ? 4 : 3;
    displayRowLength = fourBytePixels ? pictureWidth * 4 : (pictureWidth * 3 + 3) / 4 * 4;
    displayImageSize = displayRowLength * pictureHeight;
    displayImage.assign(static_cast<std::size_t>(displayImageSize), fourBytePixels ? 0xFF : 0x00);
    // A picture whose bytes do not cover its size shows black rather than
    // reading past them.
    const auto pixels =
        static_cast<std::size_t>(pictureWidth) * static_cast<std::size_t>(pictureHeight);
    if (pictureBytes.size() < pixels * 3) return;

    for (int y = 0; y < pictureHeight; ++y) {
        const std::uint8_t* source =
            pictureBytes.data() +
            static_cast<std::size_t>(y) * static_cast<std::size_t>(pictureWidth) * 3;
        std::uint8_t* target = displayImage.data() + static_cast<std::size_t>(y) *
                                                         static_cast<std::size_t>(displayRowLength);
        for (int x = 0; x < pictureWidth; ++x)
            std::memcpy(target + x * pixelBytes, source + x * 3, 3);
    }
}

bool FlowchartRecorder::setTypes(ScaledBitmap&& types) {
    const auto pixels =
        static_cast<std::size_t>(pictureWidth) * static_cast<std::size_t>(pictureHeight);
    if (types.width != pictureWidth || types.height != pictureHeight ||
        types.bytes.size() != pixels || pictureBytes.size() != pixels * 3)
        return false;
    typeMap = std::move(types.bytes);
    indexPixels();
    return true;
}

int FlowchartRecorder::clockPhase1() {
    if (syncIn == nullptr) return 0;  // never connected
    Component::clockPhase1();

    // Reset: the first recording after it counts as an entry.
    if (resetNet != nullptr && *resetNet != 0) {
        recordNext = false;
        previousAddress = 0;
        afterEntryCode = true;
        return 0;
    }

    const Net bus = dataBusNet != nullptr ? *dataBusNet : Net{0};
    sampleAtPhase(*this, phase, bus);
    return 0;
}

void FlowchartRecorder::recordPage3Cycle() {
    const int a = fetchAddress & 0xFF;
    fetchAddress = a;
    if (recordNext) {
        visitCounters[static_cast<std::size_t>(a)] = hitValue;
        lastVisit = a;
        lastSkip = 0;
        lastEntry = 0;
        markerCountdown = hitValue;
        if (a == previousAddress + 2) {
            // The cycle after previousAddress skipped a two-byte step.
            skipCounters[static_cast<std::size_t>(previousAddress)] = hitValue;
            lastSkip = previousAddress;
        } else if (afterEntryCode) {
            entryCounters[static_cast<std::size_t>(a)] = hitValue;
            lastEntry = a;
        }
        needsRedraw = true;
        previousAddress = a;
        afterEntryCode = isEntryCode(fetchByte);
    }
    // A cycle is recorded exactly when the page-3 cycle before it was at
    // 0x300 or 0x302.
    recordNext = a == 0x00 || a == 0x02;
}

int FlowchartRecorder::clockPhase2() {
    if (syncIn == nullptr) return 0;
    Component::clockPhase2();
    followTest();
    return 0;
}

void FlowchartRecorder::tick() {
    // Compared in 64 bits so that the lowest hit value has a predecessor.
    const std::int64_t justRecorded = std::int64_t{hitValue} - 1;
    for (auto* table : {&visitCounters, &entryCounters, &skipCounters}) {
        for (auto& counter : *table) {
            // Leaving "recorded since the last tick", or reaching 0: the
            // pixel changes state.
            if (counter == 1 || counter == justRecorded) needsRedraw = true;
            decay(counter);
        }
    }
    if (markerCountdown == 1) {
        needsRedraw = true;
        lastVisit = lastSkip = lastEntry = 0;
    }
    decay(markerCountdown);
    if (needsRedraw) {
        ++redraws;
        recolour();
        needsRedraw = false;
    }
}

void FlowchartRecorder::indexPixels() {
    // Each mapped pixel belongs to one entry: the event kind and the address
    // named by its first non-zero byte, blue (entry), green (skip) or red
    // (visit). The pixels are grouped by entry, so that a redraw touches
    // only the pixels of the entries whose state has changed.
    const auto pixels =
        static_cast<std::size_t>(pictureWidth) * static_cast<std::size_t>(pictureHeight);
    std::vector<std::uint16_t> entryOf(pixels, kNoEntry);
    std::array<std::uint32_t, kEntries> counts{};
    pixelBounds.fill(PixelRect());
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* bgr = pictureBytes.data() + i * 3;
        int kind = 0;
        while (kind < 3 && bgr[kind] == 0) ++kind;
        if (kind == 3) continue;  // black: belongs to no address
        const auto entry = static_cast<std::uint16_t>(kind * 256 + bgr[kind]);
        entryOf[i] = entry;
        ++counts[entry];
        const auto x = static_cast<std::int32_t>(i % static_cast<std::size_t>(pictureWidth));
        const auto y = static_cast<std::int32_t>(i / static_cast<std::size_t>(pictureWidth));
        pixelBounds[entry].include(x, y);
    }
    entryFirst[0] = 0;
    for (std::size_t e = 0; e < kEntries; ++e) entryFirst[e + 1] = entryFirst[e] + counts[e];
    entryPixels.assign(entryFirst[kEntries], 0);
    std::array<std::uint32_t, kEntries> next{};
    std::copy(entryFirst.begin(), entryFirst.end() - 1, next.begin());
    for (std::size_t i = 0; i < pixels; ++i)
        if (entryOf[i] != kNoEntry) entryPixels[next[entryOf[i]]++] = static_cast<std::uint32_t>(i);
    // Nothing has been coloured by state yet: the first redraw does it all.
    drawnStates.fill(kNotDrawn);
}

void FlowchartRecorder::recolour() {
    const auto pixels =
        static_cast<std::size_t>(pictureWidth) * static_cast<std::size_t>(pictureHeight);
    // Nothing to colour until both pictures are in.
    if (pixels == 0 || pictureBytes.size() != pixels * 3 || typeMap.size() != pixels) return;

    const std::int64_t justRecorded = std::int64_t{hitValue} - 1;
    const int pixelBytes = fourBytePixels ? 4 : 3;
    const std::array<const std::array<std::int32_t, 256>*, 3> tables{&entryCounters, &skipCounters,
                                                                     &visitCounters};
    const std::array<std::int32_t, 3> markers{lastEntry, lastSkip, lastVisit};
    std::size_t changedCount = 0;
    for (std::size_t kind = 0; kind < 3; ++kind) {
        // Index 0 names no pixel: a pixel's index is its first non-zero byte.
        for (std::size_t index = 1; index < 256; ++index) {
            const std::size_t entry = kind * 256 + index;
            if (entryFirst[entry] == entryFirst[entry + 1]) continue;
            const std::int32_t counter = (*tables[kind])[index];
            PixelState state = kRecent;
            if (static_cast<std::int32_t>(index) == markers[kind] || counter == justRecorded)
                state = kCurrent;
            else if (counter == 0)
                state = kExpired;
            // A pixel's colour follows from its entry's state and its type
            // alone: an entry whose state is unchanged keeps its colours.
            if (drawnStates[entry] == state) continue;
            drawnStates[entry] = static_cast<std::uint8_t>(state);
            for (std::uint32_t n = entryFirst[entry]; n < entryFirst[entry + 1]; ++n) {
                const std::uint32_t i = entryPixels[n];
                const Rgb colour = kColours[state][typeMap[i] & 3];
                const std::size_t x = i % static_cast<std::size_t>(pictureWidth);
                const std::size_t y = i / static_cast<std::size_t>(pictureWidth);
                std::uint8_t* p = displayImage.data() +
                                  y * static_cast<std::size_t>(displayRowLength) +
                                  x * static_cast<std::size_t>(pixelBytes);
                p[0] = colour.blue;
                p[1] = colour.green;
                p[2] = colour.red;
            }
            changed_[changedCount++] = pixelBounds[entry];
        }
    }
    // Only what was recoloured is shown again.
    if (changedCount != 0)
        pictureChanged(std::span<const PixelRect>(changed_.data(), changedCount));
}

int FlowchartRecorder::shutdown() {
    freeBuffers();
    return 0;
}

void FlowchartRecorder::freeBuffers() {
    std::vector<std::uint8_t>().swap(pictureBytes);
    std::vector<std::uint8_t>().swap(displayImage);
    std::vector<std::uint8_t>().swap(typeMap);
    std::vector<std::uint32_t>().swap(entryPixels);
    entryFirst.fill(0);
    displayImageSize = 0;
    pictureWidth = 0;
    pictureHeight = 0;
    divisor = 1;
    displayRowLength = 0;
}

}  // namespace tallivo
