#include "panel/sound_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>

#include "panel/printer_drum.h"

namespace tallivo {

namespace {

// Asking for the audio outputs makes the toolkit's sound service look for a
// sound server; with none it says so on standard error. A calculator with
// no speakers is silent, and says nothing about it either.
QtMessageHandler previousHandler = nullptr;
void quietAudioProbe(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg || type == QtInfoMsg || type == QtDebugMsg) return;
    if (previousHandler != nullptr) previousHandler(type, context, message);
}

QAudioDevice defaultOutput() {
    previousHandler = qInstallMessageHandler(quietAudioProbe);
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    qInstallMessageHandler(previousHandler);
    return device;
}

constexpr qsizetype kBytesPerSample = 2;

qsizetype samplesIn(int milliseconds) {
    return static_cast<qsizetype>(MachineSound::kSampleRate) * milliseconds / 1000;
}

}  // namespace

SoundOutput::SoundOutput(const PrinterDrum& clock, MachineSound& sound)
    : clock_(clock), sound_(sound) {
    const QAudioDevice device = defaultOutput();
    QAudioFormat format;
    format.setSampleRate(MachineSound::kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    available_ = !device.isNull() && device.isFormatSupported(format);
    if (!available_) return;
    sink_ = std::make_unique<QAudioSink>(device, format);
    // Room for the lead and a tick of the pacing's clock beyond it.
    sink_->setBufferSize(samplesIn(kLeadMilliseconds * 3) * kBytesPerSample);
}

SoundOutput::~SoundOutput() {
    setPlaying(false);
}

void SoundOutput::setPlaying(bool on) {
    if (!available_ || on == playing_) return;
    playing_ = on;
    // What rang before is not heard: the sound starts at the clock's now.
    sound_.clear();
    sound_.skipTo(sound_.sampleAt(clock_.periodsRun()));
    if (!on) closeStream();
}

void SoundOutput::openStream() {
    device_ = sink_->start();
    if (device_ != nullptr) writeSilence(kLeadMilliseconds);
}

void SoundOutput::closeStream() {
    if (device_ == nullptr) return;
    sink_->stop();
    device_ = nullptr;
}

void SoundOutput::writeSilence(int milliseconds) {
    const QByteArray silence(samplesIn(milliseconds) * kBytesPerSample, '\0');
    device_->write(silence.left(std::min<qsizetype>(silence.size(), sink_->bytesFree())));
}

void SoundOutput::pump() {
    if (!playing_) return;
    const std::uint64_t now = sound_.sampleAt(clock_.periodsRun());
    if (now <= sound_.samplesRendered()) return;
    if (sound_.silent()) {
        // Nothing to hear: after a while the stream is closed, and while it
        // is the sound just follows the clock.
        const auto closeAfter = static_cast<std::uint64_t>(samplesIn(kCloseAfterMilliseconds));
        if (device_ == nullptr || now - silentFrom_ >= closeAfter) {
            closeStream();
            sound_.skipTo(now);
            return;
        }
    } else {
        silentFrom_ = now;
        if (device_ == nullptr) openStream();
        if (device_ == nullptr) return;
    }
    // The clock ran on while the output could not keep up: what is too late
    // to be worth hearing is skipped.
    const auto maxLag = static_cast<std::uint64_t>(samplesIn(kMaxLagMilliseconds));
    if (now - sound_.samplesRendered() > maxLag) sound_.skipTo(now - maxLag / 2);
    // The output ran dry (the clock stood still): the lead again first.
    if (sink_->state() == QAudio::IdleState) writeSilence(kLeadMilliseconds);
    const auto room = static_cast<std::uint64_t>(sink_->bytesFree() / kBytesPerSample);
    const auto count = static_cast<std::size_t>(std::min(now - sound_.samplesRendered(), room));
    if (count == 0) return;
    samples_.resize(count);
    sound_.render(samples_.data(), count);
    device_->write(reinterpret_cast<const char*>(samples_.data()),
                   static_cast<qint64>(count) * kBytesPerSample);
}

}  // namespace tallivo
