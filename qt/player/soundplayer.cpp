#include "qt/player/soundplayer.h"

#include "qt/player/pcm.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <optional>

namespace jbx {

namespace {

// The output reports Idle once it has handed its last bytes to the sound
// service, which still has them to play (a tenth of a second here, more on
// a wireless headset); keep it open this much longer so that the end of the
// sound is heard.
constexpr int kTailMilliseconds = 1000;

std::optional<OutputSampleFormat> SampleFormatFor(QAudioFormat::SampleFormat format)
{
    switch (format) {
    case QAudioFormat::UInt8: return OutputSampleFormat::Unsigned8;
    case QAudioFormat::Int16: return OutputSampleFormat::Signed16;
    case QAudioFormat::Int32: return OutputSampleFormat::Signed32;
    case QAudioFormat::Float: return OutputSampleFormat::Float32;
    default: return std::nullopt;
    }
}

} // namespace

SoundPlayer::SoundPlayer(QObject* parent)
    : QObject(parent)
{
    releaseTimer_.setSingleShot(true);
    connect(&releaseTimer_, &QTimer::timeout, this, &SoundPlayer::stop);
}

SoundPlayer::~SoundPlayer()
{
    stop();
}

void SoundPlayer::play(SoundData image)
{
    stop();
    if (!image)
        return;
    std::optional<Pcm> pcm = DecodeWave(*image);
    image.reset();
    if (!pcm)
        return;

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    QAudioFormat format;
    format.setSampleRate(pcm->sampleRate);
    format.setChannelCount(pcm->channels);
    format.setSampleFormat(QAudioFormat::Int16);
    OutputSampleFormat sampleFormat = OutputSampleFormat::Signed16;
    if (!device.isFormatSupported(format)) {
        format = device.preferredFormat();
        const std::optional<OutputSampleFormat> preferred = SampleFormatFor(format.sampleFormat());
        if (!format.isValid() || !preferred)
            return;
        sampleFormat = *preferred;
        *pcm = ConvertPcm(*pcm, format.sampleRate(), format.channelCount());
    }

    const Bytes bytes = EncodeSamples(*pcm, sampleFormat);
    pcm.reset();
    source_.setData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    if (!source_.open(QIODevice::ReadOnly))
        return;

    sink_ = std::make_unique<QAudioSink>(device, format);
    connect(sink_.get(), &QAudioSink::stateChanged, this, &SoundPlayer::sinkStateChanged);
    sink_->start(&source_);
    if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState)
        stop();
}

void SoundPlayer::stop()
{
    releaseTimer_.stop();
    if (sink_) {
        // Disconnect first: stopping reports a state change that must not
        // come back here while the sink is going away.
        sink_->disconnect(this);
        sink_->reset();
        sink_->stop();
        sink_.reset();
    }
    source_.close();
    source_.setData(QByteArray());
}

void SoundPlayer::sinkStateChanged(QAudio::State state)
{
    switch (state) {
    case QAudio::ActiveState:
        releaseTimer_.stop();
        break;
    case QAudio::IdleState:
        // Idle before the end is an underrun; the sink resumes by itself.
        if (source_.atEnd())
            releaseTimer_.start(kTailMilliseconds);
        break;
    case QAudio::StoppedState:
        // The output failed (a device that went away, a refused stream).
        // The sink is still emitting: release it from the event loop.
        releaseTimer_.start(0);
        break;
    case QAudio::SuspendedState:
        break;
    }
}

} // namespace jbx
