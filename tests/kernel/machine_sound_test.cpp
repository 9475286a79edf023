// The machine's sound without a window: where each event lands in the
// samples, how loud, and what the printer's drum and the keyboard's matrix
// report to it.
#include "panel/machine_sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "panel/key_matrix.h"
#include "panel/paper_roll.h"
#include "panel/printer_drum.h"

namespace tallivo {
namespace {

std::vector<std::int16_t> renderAll(MachineSound& sound, std::size_t count) {
    std::vector<std::int16_t> out(count);
    sound.render(out.data(), count);
    return out;
}

std::size_t firstSound(const std::vector<std::int16_t>& s, std::size_t from = 0) {
    for (std::size_t i = from; i < s.size(); ++i)
        if (s[i] != 0) return i;
    return s.size();
}

int peak(const std::vector<std::int16_t>& s) {
    int p = 0;
    for (const std::int16_t v : s) p = std::max(p, std::abs(static_cast<int>(v)));
    return p;
}

TEST(MachineSoundSynth, EventsSoundAtTheirPeriodAndSilenceElsewhere) {
    MachineSound sound(740000);
    EXPECT_EQ(sound.sampleAt(0), 0u);
    EXPECT_EQ(sound.sampleAt(740000), 44100u);
    EXPECT_EQ(sound.sampleAt(10000), 596u);  // 595.9 rounded up
    sound.hammersStruck(10000, 1);
    sound.paperFed(740000);
    // Rendered in pieces of any length, the samples are the same.
    std::vector<std::int16_t> pieces;
    for (std::size_t n : {100u, 1u, 4000u, 40000u, 20000u}) {
        const auto part = renderAll(sound, n);
        pieces.insert(pieces.end(), part.begin(), part.end());
    }
    EXPECT_EQ(firstSound(pieces), 596u);
    // The strike is over within a few hundredths of a second, then silence
    // until the feed.
    const std::size_t strikeEnd = 596 + 44100 / 20;
    // (The feed's thump rises from nothing: its first sample or two are 0.)
    EXPECT_NEAR(static_cast<double>(firstSound(pieces, strikeEnd)), 44100, 4);
    EXPECT_EQ(sound.samplesRendered(), pieces.size());

    MachineSound again(740000);
    again.hammersStruck(10000, 1);
    again.paperFed(740000);
    EXPECT_EQ(renderAll(again, pieces.size()), pieces) << "the same events give the same samples";
}

TEST(MachineSoundSynth, MoreHammersStrikeLouderAndNoneStrikesNothing) {
    std::vector<int> peaks;
    for (int hammers : {0, 1, 2, 8, 18}) {
        MachineSound sound;
        sound.hammersStruck(0, hammers);
        peaks.push_back(peak(renderAll(sound, 2000)));
    }
    EXPECT_EQ(peaks[0], 0);
    EXPECT_LT(peaks[1], peaks[2]);
    EXPECT_LT(peaks[2], peaks[3]);
    EXPECT_LE(peaks[3], peaks[4]);
    EXPECT_LE(peaks[4], 32767);
    // A key click is softer than a single hammer.
    MachineSound click;
    click.keyWentDown(0);
    EXPECT_LT(peak(renderAll(click, 2000)), peaks[1]);
}

TEST(MachineSoundSynth, SkippingAndClearingDropSoundsAndAFullQueueLosesTheNewest) {
    MachineSound sound;
    sound.hammersStruck(0, 4);
    sound.hammersStruck(74000, 4);  // sample 4410
    sound.skipTo(2000);
    EXPECT_EQ(sound.samplesRendered(), 2000u);
    auto rest = renderAll(sound, 5000);
    EXPECT_EQ(firstSound(rest), 4410u - 2000u) << "only the later strike is left";
    sound.skipTo(10);  // already passed: nothing happens
    EXPECT_EQ(sound.samplesRendered(), 7000u);

    sound.hammersStruck(800000, 1);
    sound.clear();
    EXPECT_EQ(peak(renderAll(sound, 50000)), 0);

    MachineSound full;
    for (std::size_t i = 0; i < MachineSound::kQueueLength + 5; ++i) full.keyWentDown(i * 100000);
    EXPECT_EQ(full.eventsLost(), 5u);
}

TEST(MachineSoundSynth, WavHeaderDescribesSixteenBitMono) {
    const auto h = wavHeader(44100, 1000);
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RIFF");
    EXPECT_EQ(h[4] | h[5] << 8, 36 + 2000);
    EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(h[22], 1);  // one channel
    EXPECT_EQ(h[24] | h[25] << 8 | h[26] << 16, 44100);
    EXPECT_EQ(h[34], 16);                 // bits
    EXPECT_EQ(h[40] | h[41] << 8, 2000);  // data bytes
}

TEST(MachineSoundSources, TheDrumTellsStrikesWithHammersAndFeedsAtTheirBoundary) {
    std::array<Net, 20> hammers{};
    Net advance = 0, fire = 0, red = 0, index = 0, test = 0;
    PaperRoll drum;
    drum.connect(hammers.data(), &advance, &fire, &red, &index, &test);
    MachineSound sound;
    drum.sound = &sound;
    auto run = [&drum](int periods) {
        for (int i = 0; i < periods; ++i) {
            drum.clockPhase1();
            drum.clockPhase2();
        }
    };
    // Sector 0: fired with no hammer up (the firmware fires in every sector
    // of a line): nothing moves. Sector 1: two hammers, and hammers 18 and 19
    // which strike nothing. Sector 2: the feed alone.
    fire = 1;
    run(PrinterDrum::kPeriodsPerSector);
    hammers[5] = hammers[0] = hammers[18] = hammers[19] = 1;
    run(PrinterDrum::kPeriodsPerSector);
    hammers.fill(0);
    fire = 0;
    advance = 1;
    run(PrinterDrum::kPeriodsPerSector);
    EXPECT_EQ(drum.periodsRun(), 30000u);

    auto samples = renderAll(sound, 44100);
    const std::size_t strike = firstSound(samples);
    EXPECT_EQ(strike, sound.sampleAt(20000))
        << "the strike at the end of sector 1, not of sector 0";
    // The same strike with two hammers and the feed, told directly, sound
    // the same: the drum told both at their boundaries.
    MachineSound two;
    two.hammersStruck(20000, 2);
    two.paperFed(30000);
    EXPECT_EQ(renderAll(two, 44100), samples);
}

TEST(MachineSoundSources, AKeyClicksOnceWhenTheScanFirstFindsItDown) {
    std::array<Net, 10> columns{};
    std::array<Net, 4> rows{};
    Net lampM = 0, lampOvf = 0, lampNeg = 0;
    KeyMatrix keys;
    keys.connect(columns.data(), rows.data(), &lampM, &lampOvf, &lampNeg);
    MachineSound sound;
    keys.sound = &sound;
    // The firmware walks column 6 ("7", "4", "1", "0") and column 5 in turn.
    auto scan = [&](int passes) {
        for (int p = 0; p < passes; ++p) {
            for (int column : {6, 5}) {
                columns.fill(1);
                columns[static_cast<std::size_t>(column)] = 0;
                for (int i = 0; i < 1000; ++i) keys.clockPhase1();
            }
        }
    };
    scan(3);
    keys.setKeyDown(KeyMatrix::keyIndex("7"), true);
    const std::uint64_t pressedAt = keys.periodsSeen();
    scan(20);  // held across many scans: one click
    keys.setKeyDown(KeyMatrix::keyIndex("7"), false);
    scan(3);
    keys.setKeyDown(KeyMatrix::keyIndex("5"), true);
    scan(3);
    const auto samples = renderAll(sound, sound.sampleAt(keys.periodsSeen()));
    std::vector<std::size_t> clicks;
    for (std::size_t i = firstSound(samples); i < samples.size(); i = firstSound(samples, i + 441))
        clicks.push_back(i);
    ASSERT_EQ(clicks.size(), 2u);
    // "7" is seen at the next scan of column 6, within one pass.
    EXPECT_GE(clicks[0], sound.sampleAt(pressedAt));
    EXPECT_LE(clicks[0], sound.sampleAt(pressedAt + 2000));
}

}  // namespace
}  // namespace tallivo
