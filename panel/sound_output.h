#pragma once
// The calculator's noise on the computer's speakers: the machine's sound,
// rendered as far as the board's clock has run, pushed into the default audio
// output a little ahead of time. The sound follows the clock and never holds
// it up: when the output cannot take more, or the clock runs ahead of the
// output, the sound skips rather than waits. With no audio output (a server
// without sound, a test display) there is nothing to play and nothing is said.
#include <QObject>
#include <memory>
#include <vector>

#include "panel/machine_sound.h"

class QAudioSink;
class QIODevice;

namespace tallivo {

class PrinterDrum;

class SoundOutput final : public QObject {
    Q_OBJECT
  public:
    // `clock` is the drum whose periods the sound follows.
    SoundOutput(const PrinterDrum& clock, MachineSound& sound);
    ~SoundOutput() override;

    // Whether there is an audio output to play on.
    bool available() const { return available_; }
    // Starts or stops playing; the board's events are heard from now on.
    // Does nothing without an output.
    void setPlaying(bool on);

    // Renders what the clock has run since the last time into the output.
    // The pacing calls it at every tick, right after the clock has run what
    // was due, so the sound wakes the program no more often than the clock
    // does. Does nothing while not playing.
    void pump();

    // How far ahead of the output the sound is written (more than the 50 ms
    // between two ticks, so the output does not run dry while the clock
    // waits for the next one), and the most it may fall behind the clock
    // before it skips.
    static constexpr int kLeadMilliseconds = 80;
    static constexpr int kMaxLagMilliseconds = 300;
    static constexpr int kCloseAfterMilliseconds = 1000;

  private:
    void writeSilence(int milliseconds);
    // The output stream is closed after a second of silence, so a
    // calculator that prints nothing costs the sound service nothing, and
    // opened again for the next sound.
    void openStream();
    void closeStream();

    const PrinterDrum& clock_;
    MachineSound& sound_;
    bool available_ = false;
    bool playing_ = false;
    std::uint64_t silentFrom_ = 0;  // the sample from which all was silence
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr;
    std::vector<std::int16_t> samples_;
};

}  // namespace tallivo
