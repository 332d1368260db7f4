#pragma once

// What the editor plays slot sounds through. The player behind it is built
// as a module of its own and loaded at the first sound: Qt Multimedia,
// libsndfile and the codec and sound-server libraries they bring would
// otherwise all be loaded, and paid for, at every start-up.

#include "seam/bytes.h"

namespace jbx {

class SoundOutput {
public:
    virtual ~SoundOutput() = default;

    // Stops whatever plays, then starts playing the WAVE image and returns
    // at once. The output keeps its own copy of what it plays. Anything that
    // does not decode, and a machine without audio, are silence.
    virtual void play(SoundData image) = 0;

    // Silences the sound at once.
    virtual void stop() = 0;

    // True from a play() that reached an audio output until the sound has
    // ended or was stopped.
    virtual bool isPlaying() const = 0;
};

// The module's one exported function: a new SoundOutput that the caller
// owns. The module must stay loaded for as long as the output lives.
using MakeSoundOutputFunction = SoundOutput* (*)();
inline constexpr char kMakeSoundOutputSymbol[] = "jbxMakeSoundOutput";

// The module's file name without the platform's prefix and suffix.
inline constexpr char kSoundOutputModuleName[] = "jbxmaker-player";

} // namespace jbx
