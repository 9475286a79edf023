// What a run sounds like and the paper it leaves, read back from the files
// tallivo-run writes: the WAV of --audio, heard at the drum's sector
// boundaries, and the PDF of --paper-pdf, read with poppler's tools.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_process.h"

namespace tallivo::testing {
namespace {

constexpr std::uint64_t kPeriodsPerSecond = 740000;
constexpr std::uint64_t kPeriodsPerSector = 10000;
constexpr int kSectors = 13;

struct Wav {
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples;
};

// A 16-bit mono PCM file as the runner writes it; empty when it is not one.
Wav readWav(const std::string& bytes) {
    Wav wav;
    auto u32 = [&bytes](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 ||
        bytes.compare(8, 8, "WAVEfmt ") != 0 || bytes.compare(36, 4, "data") != 0)
        return wav;
    const std::uint32_t dataBytes = u32(40);
    if (dataBytes + 44 != bytes.size() || (u32(20) & 0xFFFF) != 1 || (u32(22) & 0xFFFF) != 1)
        return wav;
    wav.rate = u32(24);
    wav.samples.resize(dataBytes / 2);
    for (std::size_t i = 0; i < wav.samples.size(); ++i)
        wav.samples[i] =
            static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[44 + 2 * i]) |
                                      static_cast<std::uint8_t>(bytes[45 + 2 * i]) << 8);
    return wav;
}

// What is heard at each sector boundary of the run: a hammer strike starts
// right at the boundary, loud and bright; a paper feed starts there too, a
// dull thump. A key click is much softer and lands wherever the key went down.
struct Heard {
    std::uint64_t boundary;  // boundaries counted from the run's first period
    bool strike;
    bool feed;
    double loudness;
};

double rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t count) {
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i) sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(count));
}
// The loudness of the signal's steps from sample to sample: high sounds.
double brightness(const std::vector<std::int16_t>& s, std::size_t from, std::size_t count) {
    double sum = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const double step = static_cast<double>(s[i]) - s[i - 1];
        sum += step * step;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

std::vector<Heard> heardAtBoundaries(const Wav& wav) {
    std::vector<Heard> heard;
    const std::size_t first = wav.rate / 1000;  // the first millisecond
    const std::size_t blow = wav.rate / 10000;  // the blow itself
    for (std::uint64_t k = 1;; ++k) {
        const auto at = static_cast<std::size_t>(
            (k * kPeriodsPerSector * wav.rate + kPeriodsPerSecond - 1) / kPeriodsPerSecond);
        if (at + first >= wav.samples.size()) break;
        const double before = rms(wav.samples, at - first, first);
        const double after = rms(wav.samples, at, first);
        if (after < 2000 || after < 4 * before) continue;
        const double bright = brightness(wav.samples, at, first) / after;
        heard.push_back(
            {k, bright > 0.3 && rms(wav.samples, at, blow) > 1000, bright < 0.15, after});
    }
    return heard;
}

TEST(MachineSound, EveryPrintingSectorStrikesAndEveryLineFeeds) {
    // Typed on the fixed schedule, so that each key's click is heard alone.
    const auto r = runProgram("tallivo-run",
                              {"--type", "1 2 3 4 5 6 7 8 +", "--hold", "40000", "--gap", "200000",
                               "--audio", "tape.wav"},
                              "sound_8");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out, "          12345678 +    \n");
    const Wav wav = readWav(r.file("tape.wav"));
    ASSERT_EQ(wav.rate, 44100u);

    // "1" and "+" in sector 1, then one digit in each of sectors 2 to 8:
    // eight strikes in a row, and the feed at the end of the revolution.
    std::vector<int> strikeSectors;
    std::vector<std::uint64_t> strikes, feeds;
    double first = 0, second = 0;
    for (const Heard& h : heardAtBoundaries(wav)) {
        const int sector = static_cast<int>((h.boundary - 1) % kSectors);
        if (h.strike) {
            strikeSectors.push_back(sector);
            strikes.push_back(h.boundary);
            if (sector == 1) first = h.loudness;
            if (sector == 2) second = h.loudness;
        }
        if (h.feed) feeds.push_back(h.boundary);
        EXPECT_TRUE(h.strike || h.feed) << "at boundary " << h.boundary;
    }
    EXPECT_EQ(strikeSectors, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_EQ(feeds.size(), 1u);
    ASSERT_FALSE(strikes.empty());
    EXPECT_EQ(feeds[0], strikes.front() + 11) << "the feed ends sector 12 of the same revolution";
    // Two hammers at once are louder than one.
    EXPECT_GT(first, second * 1.2);

    // Silence while nothing prints: after the feed has died away nothing is
    // heard, and before the first strike only the nine short key clicks.
    const auto feedAt =
        static_cast<std::size_t>(feeds[0] * kPeriodsPerSector * wav.rate / kPeriodsPerSecond);
    const std::size_t feedEnd = feedAt + wav.rate / 10;
    ASSERT_LT(feedEnd, wav.samples.size());
    for (std::size_t i = feedEnd; i < wav.samples.size(); ++i)
        ASSERT_EQ(wav.samples[i], 0) << "sample " << i;
    const auto strikeAt =
        static_cast<std::size_t>(strikes[0] * kPeriodsPerSector * wav.rate / kPeriodsPerSecond);
    int sounds = 0;
    std::size_t soundStart = 0;
    for (std::size_t i = 0, quiet = 1000; i < strikeAt; ++i) {
        if (wav.samples[i] != 0) {
            if (quiet >= 100) {
                ++sounds;
                soundStart = i;
            }
            quiet = 0;
            EXPECT_LT(i - soundStart, wav.rate / 100)
                << "a sound longer than a click before the line";
        } else {
            ++quiet;
        }
    }
    EXPECT_EQ(sounds, 9);
}

TEST(MachineSound, TheSameRunSoundsTheSameAndLongerLinesStrikeMore) {
    const auto a = runProgram("tallivo-run", {"--type", "4 2 +", "--audio", "a.wav"}, "sound_a");
    const auto b = runProgram("tallivo-run", {"--type", "4 2 +", "--audio", "a.wav"}, "sound_b");
    ASSERT_EQ(a.exitCode, 0) << a.err;
    ASSERT_EQ(b.exitCode, 0) << b.err;
    EXPECT_EQ(a.file("a.wav"), b.file("a.wav"));
    int strikes = 0;
    for (const Heard& h : heardAtBoundaries(readWav(a.file("a.wav")))) strikes += h.strike ? 1 : 0;
    // "4", "2" and "+" (sector 1): three sectors strike.
    EXPECT_EQ(strikes, 3);
}

TEST(MachineSound, AnAudioFileThatCannotBeWrittenIsReported) {
    const auto r =
        runProgram("tallivo-run", {"--periods", "1000", "--audio", "missing/x.wav"}, "sound_bad");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write 'missing/x.wav'"), std::string::npos) << r.err;
    const auto rate = runProgram("tallivo-run", {"--rate", "0", "--audio", "x.wav"}, "sound_rate");
    EXPECT_EQ(rate.exitCode, 2);
}

// A PPM picture from pdftoppm: width, height and RGB bytes.
struct Picture {
    int width = 0, height = 0;
    std::string rgb;
};

Picture readPpm(const std::string& bytes) {
    Picture p;
    std::istringstream in(bytes);
    std::string magic;
    int maxValue = 0;
    in >> magic >> p.width >> p.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255) return {};
    p.rgb = bytes.substr(static_cast<std::size_t>(in.tellg()));
    if (p.rgb.size() != static_cast<std::size_t>(p.width * p.height * 3)) return {};
    return p;
}

std::string collapseSpaces(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == ' ' || c == '\f') {
            if (!out.empty() && out.back() != ' ' && out.back() != '\n') out += ' ';
        } else {
            if (c == '\n' && !out.empty() && out.back() == ' ') out.pop_back();
            if (c == '\n' && (out.empty() || out.back() == '\n')) continue;
            out += c;
        }
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
    return out;
}

TEST(PaperPdf, RedLinesAreRedAndTheTextIsThePapers) {
    const bool tools =
        std::system("command -v pdftoppm >/dev/null && command -v pdftotext >/dev/null") == 0;
    ASSERT_TRUE(tools) << "poppler-utils is not installed (scripts/install-deps.sh installs it)";
    // 12.5 - 30 leaves the total negative: the last two lines print red.
    const auto r = runProgram(
        "tallivo-run",
        {"--type", "1 2 . 5 + 3 0 - <> 7 +", "--gap", "150000", "--paper-pdf", "paper.pdf"},
        "paper_pdf");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out,
              "              12.5 +    \n"
              "                30 -    \n"
              "             -17.5 <>   \n"
              "                 7 +    \n");
    const std::string dir = shellQuote(r.dir.string());
    ASSERT_EQ(
        std::system(("pdftotext -layout " + dir + "/paper.pdf " + dir + "/paper.txt").c_str()), 0);
    EXPECT_EQ(collapseSpaces(r.file("paper.txt")), collapseSpaces(r.out));

    ASSERT_EQ(
        std::system(("pdftoppm -r 72 -singlefile " + dir + "/paper.pdf " + dir + "/page").c_str()),
        0);
    const Picture page = readPpm(r.file("page.ppm"));
    ASSERT_GT(page.width, 0);
    // The lines of ink from top to bottom, and whether each has red in it.
    std::vector<bool> lineIsRed;
    bool inLine = false;
    for (int y = 0; y < page.height; ++y) {
        bool ink = false, red = false;
        for (int x = 0; x < page.width; ++x) {
            const auto at = static_cast<std::size_t>((y * page.width + x) * 3);
            const int cr = static_cast<std::uint8_t>(page.rgb[at]);
            const int cg = static_cast<std::uint8_t>(page.rgb[at + 1]);
            const int cb = static_cast<std::uint8_t>(page.rgb[at + 2]);
            if (cr + cg + cb < 600) ink = true;
            if (cr > 120 && cg < 90 && cb < 90) red = true;
        }
        if (ink && !inLine) lineIsRed.push_back(false);
        if (ink && red) lineIsRed.back() = true;
        inLine = ink;
    }
    EXPECT_EQ(lineIsRed, (std::vector<bool>{false, false, true, false}));
}

}  // namespace
}  // namespace tallivo::testing
