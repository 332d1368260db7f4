#pragma once

// Plays a slot's WAVE image from memory through the desktop's default audio
// output, in the background of the Qt event loop. The editor reaches it
// only through the player module (qt/player/playermodule.cpp).

#include "qt/player/soundoutput.h"

#include <QBuffer>
#include <QObject>
#include <QTimer>
#include <QAudio>

#include <memory>

class QAudioSink;

namespace jbx {

class SoundPlayer final : public QObject, public SoundOutput {
    Q_OBJECT

public:
    // Creates no audio output: the first play() does, so that a program
    // start-up never waits for the sound service.
    explicit SoundPlayer(QObject* parent = nullptr);
    ~SoundPlayer() override;

    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Stops whatever plays, then starts playing the WAVE image in image and
    // returns at once; the sound goes on while the event loop runs. The image
    // is decoded before this returns into the player's own buffer, so the
    // caller may change or release the bytes straight away. A null or empty
    // image, anything that does not decode, and a machine without an audio
    // output are silence, without a message.
    void play(SoundData image) override;

    // Silences the sound at once and releases the audio output.
    void stop() override;

    // True from a play() that reached an audio output until the sound has
    // been heard to its end or stopped.
    bool isPlaying() const override { return sink_ != nullptr; }

private:
    void sinkStateChanged(QAudio::State state);

    QBuffer source_;
    std::unique_ptr<QAudioSink> sink_;   // declared after source_: it reads it
    QTimer releaseTimer_;
};

} // namespace jbx
