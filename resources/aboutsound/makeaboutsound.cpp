// Writes the About sound of the Options sheet: a short rising chime made
// here from nothing but arithmetic, so the program carries no one else's
// audio. The output depends on nothing but this file.
//
// The result is committed as resources/sounds/about.wav; the build target
// `about_sound` runs this program to remake it, and a test checks that the
// committed file is still what this program writes.
//
// Usage: makeaboutsound OUT.wav

#include "seam/bytes.h"
#include "resources/synthwave.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr std::uint32_t kSampleRate = 22050;
// A little under 1.4 seconds of 8-bit mono samples.
constexpr std::uint32_t kSampleCount = 30808;
constexpr double kTwoPi = 2 * std::numbers::pi;

// The sound fades in over the first few milliseconds so it does not start
// with a click, and out over its last part so the last note does not stop
// short.
constexpr double kFadeInSeconds = 0.004;
constexpr double kFadeOutSeconds = 0.25;

struct Note {
    double start;      // seconds
    double hertz;
    double level;
};

// G, C, E, then G an octave up, each ringing on under the next.
constexpr Note kNotes[] = {
    {0.00, 392.00, 0.30},
    {0.12, 523.25, 0.28},
    {0.24, 659.25, 0.26},
    {0.36, 783.99, 0.30},
};

// A struck, bell-like tone: a few partials, the higher ones dying sooner.
double Chime(double hertz, double t)
{
    struct Partial {
        double ratio, level, decay;
    };
    constexpr Partial partials[] = {{1.0, 1.0, 0.45}, {2.0, 0.35, 0.20}, {3.01, 0.15, 0.10}};
    double v = 0;
    for (const Partial& p : partials)
        v += p.level * std::exp(-t / p.decay) * std::sin(kTwoPi * hertz * p.ratio * t);
    // A short attack instead of a hard edge.
    return v * std::min(1.0, t / 0.005);
}

std::vector<double> Render()
{
    std::vector<double> wave(kSampleCount);
    for (std::uint32_t i = 0; i < kSampleCount; ++i) {
        const double t = double(i) / kSampleRate;
        double v = 0;
        for (const Note& note : kNotes)
            if (t >= note.start)
                v += note.level * Chime(note.hertz, t - note.start);
        wave[i] = v;
    }
    const auto fadeIn = std::size_t(kFadeInSeconds * kSampleRate);
    for (std::size_t i = 0; i < fadeIn; ++i)
        wave[i] *= double(i) / double(fadeIn);
    const auto fadeOut = std::size_t(kFadeOutSeconds * kSampleRate);
    for (std::size_t i = 0; i < fadeOut; ++i)
        wave[wave.size() - 1 - i] *= double(i) / double(fadeOut);
    return wave;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: makeaboutsound OUT.wav\n");
        return 2;
    }
    const jbx::Bytes image = jbx::EightBitMonoWave(Render(), kSampleRate);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "makeaboutsound: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), out) == image.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "makeaboutsound: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
