#pragma once
// The calculator's mechanical noise, made from what the board does: the
// printer's hammers striking at the end of a drum sector, the paper feed, and
// the keys going down. The printer's drum and the keyboard's matrix report
// each event with the clock period it happened in; this turns the events into
// 16-bit mono samples at a fixed sample rate, the period mapped to the sample
// at the clock rate the board runs at. Every sound is synthesized here (no
// recording), from a fixed seed, so the same run gives the same samples.
//
// The events wait in a fixed queue until the samples they fall in are
// rendered: the simulation only appends, at sector boundaries and key
// presses, and never waits for the sound. A host renders as far as the
// board's clock has gone (the desktop's audio output, the runner's WAV file,
// the web page's audio) and may skip ahead when it falls behind.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tallivo {

class MachineSound {
  public:
    static constexpr int kSampleRate = 44100;
    // Events not yet rendered; a host that renders less often than this
    // many events happen loses the newest (the simulation is never held up).
    static constexpr std::size_t kQueueLength = 1024;
    // Sounds that may ring at once; the oldest makes way for a new one.
    static constexpr std::size_t kVoices = 24;

    enum class Kind : std::uint8_t { Strike, Feed, Click };

    // `periodsPerSecond` is the board's clock rate (740000 at 740 kHz); it
    // must be positive.
    explicit MachineSound(std::uint64_t periodsPerSecond = 740000);

    // The events, in the order the board makes them (periods never go back).
    // `hammers` is the number of hammers that struck a character: the more,
    // the louder; none strikes nothing and makes no sound.
    void hammersStruck(std::uint64_t period, int hammers);
    void paperFed(std::uint64_t period);
    void keyWentDown(std::uint64_t period);

    // The first sample at or after the start of clock period `period`.
    std::uint64_t sampleAt(std::uint64_t period) const;

    // Renders the next `count` samples after those already rendered.
    void render(std::int16_t* out, std::size_t count);
    // Samples rendered (or skipped) so far: the next one to render.
    std::uint64_t samplesRendered() const { return rendered_; }
    // Jumps ahead to `sample` without rendering: sounds that began before it
    // are dropped. Nothing happens for a sample already passed.
    void skipTo(std::uint64_t sample);
    // Drops every sound not yet rendered (the sound was turned off).
    void clear();

    // Nothing rings and nothing waits to: what is rendered now is silence.
    bool silent() const;

    // Events lost because the queue was full.
    std::uint64_t eventsLost() const { return lost_; }

  private:
    struct Event {
        std::uint64_t sample;
        Kind kind;
        float gain;
    };
    struct Voice {
        std::uint64_t start = 0;
        const std::vector<float>* shape = nullptr;
        float gain = 0;
    };
    void queue(std::uint64_t period, Kind kind, float gain);
    void startVoice(const Event& event);

    std::uint64_t periodsPerSecond_;
    std::uint64_t rendered_ = 0;
    std::uint64_t lost_ = 0;
    std::uint32_t count_ = 0;  // events taken, to vary the strikes
    std::array<Event, kQueueLength> queue_{};
    std::size_t head_ = 0;  // oldest event
    std::size_t size_ = 0;
    std::array<Voice, kVoices> voices_{};
    // Each sound's waveform, made once: a few strikes that differ a little,
    // as no two hammer blows do, the feed and the key click.
    std::array<std::vector<float>, 3> strikes_;
    std::vector<float> feed_;
    std::vector<float> click_;
};

// A WAV file's header for 16-bit mono samples at `sampleRate`, `samples`
// long: 44 bytes.
std::array<std::uint8_t, 44> wavHeader(std::uint32_t sampleRate, std::uint32_t samples);

}  // namespace tallivo
