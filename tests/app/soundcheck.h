#pragma once

// What the real-sound tests need around the player: a private sound server
// whose null sink is recorded, and a look at what the recording holds.

#include "bank/bytes.h"
#include "tests/app/wavebuilder.h"

#include <QProcess>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jbx::testing {

// Runs the Qt event loop for ms milliseconds, or until done() holds.
void Spin(int ms);
bool SpinUntil(const std::function<bool()>& done, int timeoutMs);

// A PulseAudio server of this process's own, with a null sink "test" as the
// default output; started by scripts/start-test-audio, which stops it again
// if this process dies. Call start() before anything touches Qt Multimedia:
// it points this process at the server through its environment.
class TestAudioServer {
public:
    TestAudioServer() = default;
    ~TestAudioServer();
    TestAudioServer(const TestAudioServer&) = delete;
    TestAudioServer& operator=(const TestAudioServer&) = delete;

    // False, with failure() saying why, when no server could be started.
    bool start();
    const std::string& failure() const { return failure_; }

    // The number of clients connected to the server, or -1 when it does not answer.
    int clientCount() const;

private:
    std::string folder_;
    std::string failure_;
};

// Records the null sink's monitor as 44.1 kHz 16-bit stereo.
class MonitorRecording {
public:
    static constexpr int kRate = 44100;

    ~MonitorRecording();

    // Starts recording into a file in folder; false if parec does not run.
    bool start(const std::string& folder);
    // Stops and returns the left channel.
    std::vector<std::int16_t> stop();

private:
    QProcess parec_;
    std::string path_;
};

// The recording cut into windows of kWindowSeconds: for each, 0 when it is
// silent, else the frequency its zero crossings suggest.
inline constexpr double kWindowSeconds = 0.02;
std::vector<double> WindowPitches(const std::vector<std::int16_t>& samples, int rate);

// Windows that sound, and how long they last together.
std::size_t AudibleWindows(const std::vector<double>& pitches);
double AudibleSeconds(const std::vector<double>& pitches);

// The median frequency of the windows that sound; 0 when none does.
double MedianPitch(const std::vector<double>& pitches);

} // namespace jbx::testing
