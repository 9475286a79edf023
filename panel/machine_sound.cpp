#include "panel/machine_sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tallivo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = MachineSound::kSampleRate;

// A fixed-seed noise source: the same run gives the same samples.
class Noise {
  public:
    explicit Noise(std::uint32_t seed) : state_(seed != 0 ? seed : 1) {}
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    std::uint32_t state_;
};

int samplesOf(double milliseconds) {
    return static_cast<int>(milliseconds * kRate / 1000.0);
}

// A partial that rings and dies away: amplitude, frequency, decay time.
void addRing(std::vector<float>& shape, double amplitude, double hertz, double decayMs,
             double delayMs = 0, double phase = 0) {
    const int from = samplesOf(delayMs);
    for (int i = from; i < static_cast<int>(shape.size()); ++i) {
        const double t = (i - from) / kRate;
        shape[static_cast<std::size_t>(i)] += static_cast<float>(
            amplitude * std::exp(-t * 1000.0 / decayMs) * std::sin(2 * kPi * hertz * t + phase));
    }
}

// A burst of noise, dying away; `lowPass` 0..1 smooths it (1: untouched).
void addBurst(std::vector<float>& shape, Noise& noise, double amplitude, double decayMs,
              double delayMs, double lowPass) {
    const int from = samplesOf(delayMs);
    double smooth = 0;
    double smoother = 0;
    for (int i = from; i < static_cast<int>(shape.size()); ++i) {
        const double t = (i - from) / kRate;
        const double envelope = std::exp(-t * 1000.0 / decayMs);
        if (envelope < 1e-4) break;
        smooth += lowPass * (noise.next() - smooth);
        smoother += lowPass * (smooth - smoother);
        shape[static_cast<std::size_t>(i)] += static_cast<float>(amplitude * envelope * smoother);
    }
}

// The last milliseconds fade to nothing, so a sound ends in silence rather
// than a step.
void fadeOut(std::vector<float>& shape, double milliseconds) {
    const int n = std::min(samplesOf(milliseconds), static_cast<int>(shape.size()));
    for (int i = 0; i < n; ++i) {
        const auto at = shape.size() - static_cast<std::size_t>(n) + static_cast<std::size_t>(i);
        shape[at] *= static_cast<float>(1.0 - static_cast<double>(i + 1) / n);
    }
}

// A hammer hitting the type on the drum through paper and ribbon: a sharp
// tick, the ring of the steel type wheel and the clack of the hammer's arm.
// The variants differ a little in pitch and noise.
std::vector<float> makeStrike(int variant) {
    std::vector<float> shape(static_cast<std::size_t>(samplesOf(24)), 0.0f);
    Noise noise(0x5eed0001u + static_cast<std::uint32_t>(variant) * 7919u);
    const double detune = 1.0 + 0.025 * (variant - 1);
    addBurst(shape, noise, 0.55, 0.35, 0, 1.0);
    addBurst(shape, noise, 0.25, 1.2, 0, 0.35);
    addRing(shape, 0.42, 2350 * detune, 3.2);
    addRing(shape, 0.26, 3810 * detune, 2.1, 0, 1.1);
    addRing(shape, 0.16, 5630 * detune, 1.3, 0, 2.3);
    addRing(shape, 0.30, 820 / detune, 4.5, 0, 0.4);
    addRing(shape, 0.16, 1290 / detune, 3.0, 0.3, 0.9);
    fadeOut(shape, 4);
    return shape;
}

// The paper feed: the solenoid's thump, the platen's ratchet stepping one
// line and the low whirr of the advance.
std::vector<float> makeFeed() {
    std::vector<float> shape(static_cast<std::size_t>(samplesOf(70)), 0.0f);
    Noise noise(0x5eed00f0u);
    addRing(shape, 0.55, 150, 11, 0, 0.0);
    addRing(shape, 0.25, 310, 6, 0.5, 0.7);
    for (int tooth = 0; tooth < 4; ++tooth)
        addBurst(shape, noise, 0.22, 1.4, 6.0 + 8.5 * tooth, 0.12);
    // The whirr swells and fades over the advance.
    const int length = samplesOf(55);
    for (int i = 0; i < length; ++i) {
        const double t = i / kRate;
        const double swell = std::sin(kPi * i / length);
        shape[static_cast<std::size_t>(i)] += static_cast<float>(
            0.16 * swell * (std::sin(2 * kPi * 96 * t) + 0.45 * std::sin(2 * kPi * 192 * t + 0.3)));
    }
    fadeOut(shape, 8);
    return shape;
}

// A key going down: the light snap of the key switch.
std::vector<float> makeClick() {
    std::vector<float> shape(static_cast<std::size_t>(samplesOf(7)), 0.0f);
    Noise noise(0x5eedc11cu);
    addBurst(shape, noise, 0.35, 0.25, 0, 1.0);
    addRing(shape, 0.30, 4300, 0.8);
    addRing(shape, 0.25, 1750, 1.6, 0, 0.5);
    fadeOut(shape, 2);
    return shape;
}

// Louder with more hammers: blows at once add up as unrelated noises do, with
// the square root of their number.
float strikeGain(int hammers) {
    return static_cast<float>(std::min(1.0, 0.3 * std::sqrt(static_cast<double>(hammers))));
}

constexpr float kFeedGain = 0.55f;
constexpr float kClickGain = 0.28f;
// Full scale for a mix of 1.0, with room for several sounds at once.
constexpr double kOutputScale = 0.7 * 32767.0;

// Loud mixes are rounded off rather than clipped.
std::int16_t toSample(double mix) {
    double y = mix;
    const double magnitude = std::fabs(y);
    if (magnitude > 0.6) y = std::copysign(0.6 + 0.4 * std::tanh((magnitude - 0.6) / 0.4), y);
    return static_cast<std::int16_t>(std::lround(y * kOutputScale));
}

}  // namespace

MachineSound::MachineSound(std::uint64_t periodsPerSecond)
    : periodsPerSecond_(periodsPerSecond > 0 ? periodsPerSecond : 1),
      strikes_{makeStrike(0), makeStrike(1), makeStrike(2)},
      feed_(makeFeed()),
      click_(makeClick()) {}

std::uint64_t MachineSound::sampleAt(std::uint64_t period) const {
    // period * rate / periods per second, rounded up, without overflow for
    // any run shorter than centuries.
    const std::uint64_t whole = period / periodsPerSecond_;
    const std::uint64_t part = period % periodsPerSecond_;
    return whole * kSampleRate + (part * kSampleRate + periodsPerSecond_ - 1) / periodsPerSecond_;
}

void MachineSound::hammersStruck(std::uint64_t period, int hammers) {
    if (hammers > 0) queue(period, Kind::Strike, strikeGain(hammers));
}

void MachineSound::paperFed(std::uint64_t period) {
    queue(period, Kind::Feed, kFeedGain);
}

void MachineSound::keyWentDown(std::uint64_t period) {
    queue(period, Kind::Click, kClickGain);
}

void MachineSound::queue(std::uint64_t period, Kind kind, float gain) {
    if (size_ == queue_.size()) {
        ++lost_;
        return;
    }
    queue_[(head_ + size_) % queue_.size()] = {sampleAt(period), kind, gain};
    ++size_;
}

void MachineSound::startVoice(const Event& event) {
    const std::vector<float>* shape = &click_;
    if (event.kind == Kind::Strike) {
        shape = &strikes_[count_ % strikes_.size()];
    } else if (event.kind == Kind::Feed) {
        shape = &feed_;
    }
    ++count_;
    // A free voice, or else the one that began first.
    Voice* slot = &voices_[0];
    for (Voice& voice : voices_) {
        if (voice.shape == nullptr) {
            slot = &voice;
            break;
        }
        if (voice.start < slot->start) slot = &voice;
    }
    *slot = {std::max(event.sample, rendered_), shape, event.gain};
}

void MachineSound::render(std::int16_t* out, std::size_t count) {
    constexpr std::size_t kBlock = 512;
    float mix[kBlock];
    while (count > 0) {
        const std::size_t n = std::min(count, kBlock);
        const std::uint64_t end = rendered_ + n;
        // Sounds due within this block begin at their own sample.
        while (size_ > 0 && queue_[head_].sample < end) {
            startVoice(queue_[head_]);
            head_ = (head_ + 1) % queue_.size();
            --size_;
        }
        std::fill(mix, mix + n, 0.0f);
        for (Voice& voice : voices_) {
            if (voice.shape == nullptr) continue;
            const std::vector<float>& shape = *voice.shape;
            const std::uint64_t from = std::max(voice.start, rendered_);
            const std::uint64_t until = std::min<std::uint64_t>(end, voice.start + shape.size());
            for (std::uint64_t s = from; s < until; ++s)
                mix[s - rendered_] += voice.gain * shape[static_cast<std::size_t>(s - voice.start)];
            if (voice.start + shape.size() <= end) voice.shape = nullptr;
        }
        for (std::size_t i = 0; i < n; ++i) out[i] = toSample(mix[i]);
        out += n;
        count -= n;
        rendered_ = end;
    }
}

void MachineSound::skipTo(std::uint64_t sample) {
    if (sample <= rendered_) return;
    rendered_ = sample;
    for (Voice& voice : voices_) voice.shape = nullptr;
    while (size_ > 0 && queue_[head_].sample < sample) {
        head_ = (head_ + 1) % queue_.size();
        --size_;
    }
}

bool MachineSound::silent() const {
    if (size_ > 0) return false;
    for (const Voice& voice : voices_)
        if (voice.shape != nullptr) return false;
    return true;
}

void MachineSound::clear() {
    for (Voice& voice : voices_) voice.shape = nullptr;
    head_ = 0;
    size_ = 0;
}

std::array<std::uint8_t, 44> wavHeader(std::uint32_t sampleRate, std::uint32_t samples) {
    std::array<std::uint8_t, 44> h{};
    auto put = [&h](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            h[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    const std::uint32_t dataBytes = samples * 2;
    std::memcpy(h.data(), "RIFF", 4);
    put(4, 36 + dataBytes, 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put(16, 16, 4);  // the format chunk's length
    put(20, 1, 2);   // PCM
    put(22, 1, 2);   // mono
    put(24, sampleRate, 4);
    put(28, sampleRate * 2, 4);  // bytes a second
    put(32, 2, 2);               // bytes a sample
    put(34, 16, 2);              // bits a sample
    std::memcpy(h.data() + 36, "data", 4);
    put(40, dataBytes, 4);
    return h;
}

}  // namespace tallivo
